#include "tests/project/rawdb.h"

#include <sqlite3.h>

#include <fstream>
#include <sstream>

RawDb::RawDb(const std::string& path) {
    sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
}

bool RawDb::create(const std::string& path, const std::string& script) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    return ok;
}

RawDb::~RawDb() {
    sqlite3_close_v2(db_);
}

std::string RawDb::exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    std::string error = rc == SQLITE_OK ? "" : (message ? message : "error");
    sqlite3_free(message);
    return error;
}

std::vector<std::string> RawDb::column(const std::string& sql) {
    std::vector<std::string> values;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* value = sqlite3_column_text(stmt, 0);
            values.push_back(value ? reinterpret_cast<const char*>(value) : "");
        }
    }
    sqlite3_finalize(stmt);
    return values;
}

std::string RawDb::text(const std::string& sql) {
    const auto values = column(sql);
    return values.empty() ? std::string() : values.front();
}

int64_t RawDb::number(const std::string& sql) {
    const std::string value = text(sql);
    return value.empty() ? 0 : std::stoll(value);
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
