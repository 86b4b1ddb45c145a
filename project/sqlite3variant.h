#pragma once
// A dynamically typed column value; conversions never fail, they fall back.

#include <cstdint>
#include <string>

class Sqlite3Variant {
public:
    enum Kind { Null = 0, Int = 1, Int64 = 2, Double = 3, Blob = 4, Text = 5 };

    Sqlite3Variant() = default;
    Sqlite3Variant(int kind, std::string bytes) : kind(kind), bytes(std::move(bytes)) {}

    static Sqlite3Variant fromInt(int value);
    static Sqlite3Variant fromInt64(int64_t value);
    static Sqlite3Variant fromDouble(double value);
    static Sqlite3Variant fromText(const std::string& text); // kept up to its first NUL byte
    static Sqlite3Variant fromBlob(std::string bytes);

    int toInt(int fallback) const;
    int64_t toInt64(int64_t fallback) const;
    double toDouble(double fallback) const;
    std::string toText() const;

    int kind = Null;
    std::string bytes; // numbers in the machine's little-endian representation
};
