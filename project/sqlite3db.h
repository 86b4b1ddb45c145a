#pragma once
// One SQLite connection: runs scripts and single statements. It keeps no error text; its owner asks
// errorMessage() after a failure.

#include <cstdint>
#include <string>

struct sqlite3;
class Sqlite3Cursor;
class Sqlite3Sql;

class Sqlite3DB {
public:
    Sqlite3DB() = default;
    Sqlite3DB(const Sqlite3DB&) = delete;
    Sqlite3DB& operator=(const Sqlite3DB&) = delete;
    virtual ~Sqlite3DB();

    // Runs a script of several statements; SQLite's result code, 0 on success.
    int exec(const char* script, std::string* error);
    // Compiles a parameterless query into the cursor.
    bool query(const char* sql, Sqlite3Cursor& cursor);
    // Runs a statement that returns no rows; a statement that yields a row counts as a failure.
    bool execute(Sqlite3Sql* sql);

    // SQLite's message for the last failure; empty when there is no connection.
    std::string errorMessage() const;
    int64_t lastInsertRowId() const;
    void close();

    sqlite3* connection = nullptr;
    std::string path;
};
