#include "project/sqlite3sql.h"

#include "project/sqlite3param.h"

Sqlite3Sql::~Sqlite3Sql() = default;

void Sqlite3Sql::addTextParam(std::string value) {
    // Bound with length -1, so keep only what SQLite will see.
    value.resize(std::char_traits<char>::length(value.c_str()));
    params.push_back(std::make_unique<Sqlite3TextParam>(std::move(value)));
}

void Sqlite3Sql::addTextParam(const char* value) {
    addTextParam(std::string(value ? value : ""));
}

void Sqlite3Sql::addBlobParam(const void* bytes, int length) {
    std::string copy;
    if (bytes && length > 0) {
        copy.assign(static_cast<const char*>(bytes), static_cast<size_t>(length));
    }
    params.push_back(std::make_unique<Sqlite3BlobParam>(std::move(copy)));
}

void Sqlite3Sql::addIntParam(int value) {
    params.push_back(std::make_unique<Sqlite3IntParam>(value));
}

void Sqlite3Sql::addInt64Param(int64_t value) {
    params.push_back(std::make_unique<Sqlite3Int64Param>(value));
}

void Sqlite3Sql::addDoubleParam(double value) {
    params.push_back(std::make_unique<Sqlite3DoubleParam>(value));
}

void Sqlite3Sql::addNullParam() {
    params.push_back(std::make_unique<Sqlite3NullParam>());
}
