#include "project/sqlite3db.h"

#include "project/sqlite3cursor.h"
#include "project/sqlite3param.h"
#include "project/sqlite3sql.h"

#include <sqlite3.h>

Sqlite3DB::~Sqlite3DB() {
    close();
}

void Sqlite3DB::close() {
    if (connection) {
        sqlite3_close_v2(connection);
        connection = nullptr;
    }
}

int Sqlite3DB::exec(const char* script, std::string* error) {
    if (!connection) {
        return SQLITE_MISUSE;
    }
    char* message = nullptr;
    const int rc = sqlite3_exec(connection, script, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error) {
        *error = message ? message : sqlite3_errstr(rc);
    }
    sqlite3_free(message);
    return rc;
}

bool Sqlite3DB::query(const char* sql, Sqlite3Cursor& cursor) {
    Sqlite3Sql statement(sql);
    return cursor.init(connection, &statement);
}

bool Sqlite3DB::execute(Sqlite3Sql* sql) {
    if (!connection) {
        return false; // SQLite does not check for a null connection here
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(connection, sql->text.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    bool ok = true;
    int index = 1;
    for (const auto& param : sql->params) {
        if (param->bind(connection, stmt, index++) != SQLITE_OK) {
            ok = false;
            break;
        }
    }
    if (ok) {
        ok = sqlite3_step(stmt) == SQLITE_DONE;
    }
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    sqlite3_finalize(stmt);
    return ok;
}

std::string Sqlite3DB::errorMessage() const {
    return connection ? sqlite3_errmsg(connection) : std::string();
}

int64_t Sqlite3DB::lastInsertRowId() const {
    return connection ? sqlite3_last_insert_rowid(connection) : 0;
}
