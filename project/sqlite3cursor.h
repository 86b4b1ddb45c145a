#pragma once
// A compiled query and its current row; columns are read by (lower-case) name. A cursor belongs to
// the thread that made it.

#include <cstdint>
#include <map>
#include <string>

struct sqlite3;
struct sqlite3_stmt;
class Sqlite3Sql;

class Sqlite3Cursor {
public:
    Sqlite3Cursor() = default;
    Sqlite3Cursor(const Sqlite3Cursor&) = delete;
    Sqlite3Cursor& operator=(const Sqlite3Cursor&) = delete;
    ~Sqlite3Cursor();

    // Compiles and binds; the statement's parameters must outlive the iteration.
    bool init(sqlite3* db, Sqlite3Sql* sql);
    // Steps to the next row; false at the end or on an error.
    bool next();
    // True when the iteration ended on an error rather than after the last row.
    bool failed() const { return failed_; }

    // Index of the column, -1 when absent. The name is lower-cased before the lookup.
    int colIdByName(std::string name);

    // NULL and unknown columns read as zero / empty.
    int getInt(const char* name);
    int64_t getInt64(const char* name);
    double getDouble(const char* name);
    std::string getText(const char* name);
    std::string getText(int index);

    int row() const { return row_; }

private:
    void release();
    bool isNull(int index) const;

    sqlite3_stmt* stmt_ = nullptr;
    std::map<std::string, int> columns_;
    int row_ = -1;
    bool failed_ = false;
};
