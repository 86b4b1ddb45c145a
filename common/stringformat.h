#pragma once
// printf-style formatting into byte strings, and byte counts as short texts.

#include <cstdint>
#include <cstdio>
#include <string>

template <typename... Args> std::string string_format(const char* format, Args... args) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int size = std::snprintf(nullptr, 0, format, args...);
    if (size < 1) {
        return std::string();
    }
    std::string out(static_cast<size_t>(size), '\0');
    std::snprintf(out.data(), out.size() + 1, format, args...);
#pragma GCC diagnostic pop
    return out;
}

// "512 B", "1 kB", "3 M", "1 G"; truncated, never rounded.
std::string sizeDisplay(int64_t bytes);
