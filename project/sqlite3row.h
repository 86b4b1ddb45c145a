#pragma once
// A row of named values; its (byte-ordered) names give the column order of the statements built from it.

#include "project/sqlite3variant.h"

#include <map>
#include <set>
#include <string>

class Sqlite3Sql;

class Sqlite3Row : public std::map<std::string, Sqlite3Variant> {
public:
    // Fills a fresh Sqlite3Sql with "<verb> [table](cols) VALUES(?,...)" and one parameter per column
    // not excluded (names compared in lower case).
    void insertSql(Sqlite3Sql& out, const std::string& table, std::set<std::string> excluded,
                   const std::string& verb) const;
};

// Joins the range, putting the separator only after text already built.
template <typename It> std::string sqlite3helper_strings_join(It first, It last, const std::string& sep) {
    std::string out;
    for (; first != last; ++first) {
        if (!out.empty()) {
            out += sep;
        }
        out += *first;
    }
    return out;
}
