#include "project/sqlite3row.h"

#include "project/sqlite3sql.h"

#include <cctype>
#include <vector>

namespace {

std::string lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

} // namespace

void Sqlite3Row::insertSql(Sqlite3Sql& out, const std::string& table, std::set<std::string> excluded,
                           const std::string& verb) const {
    std::set<std::string> skip;
    for (const auto& name : excluded) {
        skip.insert(lower(name));
    }
    std::vector<std::string> columns;
    std::vector<std::string> marks;
    for (const auto& [name, value] : *this) {
        const std::string column = lower(name);
        if (skip.count(column)) {
            continue;
        }
        columns.push_back("[" + column + "]");
        marks.push_back("?");
        switch (value.kind) {
        case Sqlite3Variant::Int:
            out.addIntParam(value.toInt(0));
            break;
        case Sqlite3Variant::Int64:
            out.addInt64Param(value.toInt64(0));
            break;
        case Sqlite3Variant::Double:
            out.addDoubleParam(value.toDouble(0));
            break;
        case Sqlite3Variant::Blob:
            out.addBlobParam(value.bytes.data(), static_cast<int>(value.bytes.size()));
            break;
        case Sqlite3Variant::Text:
            out.addTextParam(value.toText());
            break;
        default:
            out.addNullParam();
            break;
        }
    }
    out.text = verb + " [" + table + "](" + sqlite3helper_strings_join(columns.begin(), columns.end(), ",") +
               ") " + "VALUES(" + sqlite3helper_strings_join(marks.begin(), marks.end(), ",") + ")";
}
