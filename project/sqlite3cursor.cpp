#include "project/sqlite3cursor.h"

#include "project/sqlite3param.h"
#include "project/sqlite3sql.h"

#include <sqlite3.h>

#include <cctype>

Sqlite3Cursor::~Sqlite3Cursor() {
    release();
}

void Sqlite3Cursor::release() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

bool Sqlite3Cursor::init(sqlite3* db, Sqlite3Sql* sql) {
    release();
    columns_.clear();
    row_ = -1;
    failed_ = false;
    if (!db) {
        return false; // SQLite does not check for a null connection here
    }
    if (sqlite3_prepare_v2(db, sql->text.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        return false;
    }
    int index = 1;
    for (const auto& param : sql->params) {
        if (param->bind(db, stmt_, index++) != SQLITE_OK) {
            // Nothing may be stepped with a half-bound statement.
            release();
            return false;
        }
    }
    return true;
}

bool Sqlite3Cursor::next() {
    if (!stmt_) {
        return false;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW) {
        failed_ = rc != SQLITE_DONE;
        return false;
    }
    ++row_;
    return true;
}

int Sqlite3Cursor::colIdByName(std::string name) {
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (columns_.empty() && stmt_) {
        const int count = sqlite3_column_count(stmt_);
        for (int i = 0; i < count; ++i) {
            const char* column = sqlite3_column_name(stmt_, i);
            if (column) {
                columns_[column] = i;
            }
        }
    }
    const auto it = columns_.find(name);
    return it == columns_.end() ? -1 : it->second;
}

bool Sqlite3Cursor::isNull(int index) const {
    return !stmt_ || index < 0 || sqlite3_column_type(stmt_, index) == SQLITE_NULL;
}

int Sqlite3Cursor::getInt(const char* name) {
    const int index = colIdByName(name);
    return isNull(index) ? 0 : sqlite3_column_int(stmt_, index);
}

int64_t Sqlite3Cursor::getInt64(const char* name) {
    const int index = colIdByName(name);
    return isNull(index) ? 0 : sqlite3_column_int64(stmt_, index);
}

double Sqlite3Cursor::getDouble(const char* name) {
    const int index = colIdByName(name);
    return isNull(index) ? 0.0 : sqlite3_column_double(stmt_, index);
}

std::string Sqlite3Cursor::getText(const char* name) {
    return getText(colIdByName(name));
}

std::string Sqlite3Cursor::getText(int index) {
    if (isNull(index)) {
        return std::string();
    }
    const unsigned char* text = sqlite3_column_text(stmt_, index);
    return text ? std::string(reinterpret_cast<const char*>(text)) : std::string();
}
