#pragma once
// A second, plain connection to a test's database, to look behind ProjectDb or to plant faults.

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;

class RawDb {
public:
    explicit RawDb(const std::string& path);
    // Makes a new database file from a script.
    static bool create(const std::string& path, const std::string& script);
    ~RawDb();
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    // Runs a script; SQLite's message on failure, empty on success.
    std::string exec(const std::string& sql);
    // The first column of the first row as text ("" when none or NULL).
    std::string text(const std::string& sql);
    int64_t number(const std::string& sql);
    // The first column of every row, as text.
    std::vector<std::string> column(const std::string& sql);

private:
    sqlite3* db_ = nullptr;
};

// The whole content of a file ("" when it cannot be read).
std::string fileBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
