#pragma once
// Typed values bound to the positional placeholders of a statement. Text and blobs are bound without a
// copy, so a parameter must outlive the stepping of its statement (Sqlite3Sql owns its parameters).

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

class Sqlite3Param {
public:
    virtual ~Sqlite3Param() = default;
    // SQLite's result code of the bind call, 0 on success.
    virtual int bind(sqlite3* db, sqlite3_stmt* stmt, int index) = 0;
};

class Sqlite3IntParam : public Sqlite3Param {
public:
    explicit Sqlite3IntParam(int value) : value_(value) {}
    int bind(sqlite3* db, sqlite3_stmt* stmt, int index) override;

private:
    int value_;
};

class Sqlite3Int64Param : public Sqlite3Param {
public:
    explicit Sqlite3Int64Param(int64_t value) : value_(value) {}
    int bind(sqlite3* db, sqlite3_stmt* stmt, int index) override;

private:
    int64_t value_;
};

class Sqlite3DoubleParam : public Sqlite3Param {
public:
    explicit Sqlite3DoubleParam(double value) : value_(value) {}
    int bind(sqlite3* db, sqlite3_stmt* stmt, int index) override;

private:
    double value_;
};

// Bound up to its first NUL byte.
class Sqlite3TextParam : public Sqlite3Param {
public:
    explicit Sqlite3TextParam(std::string value) : value_(std::move(value)) {}
    int bind(sqlite3* db, sqlite3_stmt* stmt, int index) override;

private:
    std::string value_;
};

class Sqlite3BlobParam : public Sqlite3Param {
public:
    explicit Sqlite3BlobParam(std::string bytes) : value_(std::move(bytes)) {}
    int bind(sqlite3* db, sqlite3_stmt* stmt, int index) override;

private:
    std::string value_;
};

class Sqlite3NullParam : public Sqlite3Param {
public:
    int bind(sqlite3* db, sqlite3_stmt* stmt, int index) override;
};
