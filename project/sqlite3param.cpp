#include "project/sqlite3param.h"

#include <sqlite3.h>

int Sqlite3IntParam::bind(sqlite3*, sqlite3_stmt* stmt, int index) {
    return sqlite3_bind_int(stmt, index, value_);
}

int Sqlite3Int64Param::bind(sqlite3*, sqlite3_stmt* stmt, int index) {
    return sqlite3_bind_int64(stmt, index, value_);
}

int Sqlite3DoubleParam::bind(sqlite3*, sqlite3_stmt* stmt, int index) {
    return sqlite3_bind_double(stmt, index, value_);
}

int Sqlite3TextParam::bind(sqlite3*, sqlite3_stmt* stmt, int index) {
    return sqlite3_bind_text(stmt, index, value_.c_str(), -1, SQLITE_STATIC);
}

int Sqlite3BlobParam::bind(sqlite3*, sqlite3_stmt* stmt, int index) {
    return sqlite3_bind_blob(stmt, index, value_.data(), static_cast<int>(value_.size()), SQLITE_STATIC);
}

int Sqlite3NullParam::bind(sqlite3*, sqlite3_stmt* stmt, int index) {
    return sqlite3_bind_null(stmt, index);
}
