#pragma once
// SQL text with its parameters, bound to placeholders 1, 2, 3 ... in the order they were added.

#include "project/sqlite3param.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Sqlite3Sql {
public:
    explicit Sqlite3Sql(const char* text = "") : text(text ? text : "") {}
    explicit Sqlite3Sql(std::string text) : text(std::move(text)) {}
    Sqlite3Sql(const Sqlite3Sql&) = delete;
    Sqlite3Sql& operator=(const Sqlite3Sql&) = delete;
    ~Sqlite3Sql();

    void addTextParam(std::string value);
    void addTextParam(const char* value);
    void addBlobParam(const void* bytes, int length);
    void addIntParam(int value);
    void addInt64Param(int64_t value);
    void addDoubleParam(double value);
    void addNullParam();

    std::string text;
    std::vector<std::unique_ptr<Sqlite3Param>> params;
};
