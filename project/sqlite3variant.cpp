#include "project/sqlite3variant.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

template <typename T> std::string numberBytes(T value) {
    std::string bytes(sizeof(T), '\0');
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

template <typename T> bool readNumber(const std::string& bytes, T& value) {
    if (bytes.size() != sizeof(T)) {
        return false;
    }
    std::memcpy(&value, bytes.data(), sizeof(T));
    return true;
}

// Start of the leading number: white space skipped, a '+' dropped (from_chars takes only '-').
const char* numberStart(const std::string& text) {
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) {
        ++p;
    }
    if (p < end && *p == '+' && p + 1 < end && *(p + 1) != '-') {
        ++p;
    }
    return p;
}

// Locale-independent, since the GUI process runs under the user's locale.
template <typename T> bool parseLeading(const std::string& text, T& value) {
    const char* end = text.c_str() + text.size();
    const auto result = std::from_chars(numberStart(text), end, value);
    return result.ec == std::errc();
}

// Casting a double outside the target range is undefined; such values fall back.
template <typename T> bool truncateDouble(double d, T& value) {
    if (!std::isfinite(d)) {
        return false;
    }
    const double t = std::trunc(d);
    if (t < static_cast<double>(std::numeric_limits<T>::min()) ||
        t >= -static_cast<double>(std::numeric_limits<T>::min())) {
        return false;
    }
    value = static_cast<T>(t);
    return true;
}

std::string fixedText(double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0.000000");
}

} // namespace

Sqlite3Variant Sqlite3Variant::fromInt(int value) {
    return Sqlite3Variant(Int, numberBytes(value));
}

Sqlite3Variant Sqlite3Variant::fromInt64(int64_t value) {
    return Sqlite3Variant(Int64, numberBytes(value));
}

Sqlite3Variant Sqlite3Variant::fromDouble(double value) {
    return Sqlite3Variant(Double, numberBytes(value));
}

Sqlite3Variant Sqlite3Variant::fromText(const std::string& text) {
    return Sqlite3Variant(Text, std::string(text.c_str()));
}

Sqlite3Variant Sqlite3Variant::fromBlob(std::string bytes) {
    return Sqlite3Variant(Blob, std::move(bytes));
}

int Sqlite3Variant::toInt(int fallback) const {
    int i = 0;
    int64_t l = 0;
    double d = 0;
    switch (kind) {
    case Int:
        return readNumber(bytes, i) ? i : fallback;
    case Int64:
        return readNumber(bytes, l) ? static_cast<int>(static_cast<uint32_t>(l)) : fallback;
    case Double:
        return readNumber(bytes, d) && truncateDouble(d, i) ? i : fallback;
    case Blob:
    case Text:
        return !bytes.empty() && parseLeading(bytes, i) ? i : fallback;
    default:
        return fallback;
    }
}

int64_t Sqlite3Variant::toInt64(int64_t fallback) const {
    int i = 0;
    int64_t l = 0;
    double d = 0;
    switch (kind) {
    case Int:
        return readNumber(bytes, i) ? i : fallback;
    case Int64:
        return readNumber(bytes, l) ? l : fallback;
    case Double:
        return readNumber(bytes, d) && truncateDouble(d, l) ? l : fallback;
    case Blob:
    case Text:
        if (bytes.empty()) {
            return 0;
        }
        return parseLeading(bytes, l) ? l : fallback;
    default:
        return fallback;
    }
}

double Sqlite3Variant::toDouble(double fallback) const {
    int i = 0;
    int64_t l = 0;
    double d = 0;
    switch (kind) {
    case Int:
        return readNumber(bytes, i) ? i : fallback;
    case Int64:
        return readNumber(bytes, l) ? static_cast<double>(l) : fallback;
    case Double:
        return readNumber(bytes, d) ? d : fallback;
    case Blob:
    case Text:
        if (bytes.empty()) {
            return 0.0;
        }
        return parseLeading(bytes, d) ? d : fallback;
    default:
        return fallback;
    }
}

std::string Sqlite3Variant::toText() const {
    int i = 0;
    int64_t l = 0;
    double d = 0;
    switch (kind) {
    case Int:
        return std::to_string(readNumber(bytes, i) ? i : 0);
    case Int64:
        return std::to_string(readNumber(bytes, l) ? l : 0);
    case Double:
        return fixedText(readNumber(bytes, d) ? d : 0.0);
    case Blob:
    case Text:
        return bytes;
    default:
        return std::string();
    }
}
