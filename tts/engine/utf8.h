#pragma once
// UTF-8 and code point conversions for phoneme texts; malformed bytes become U+FFFD.

#include <string>

std::u32string utf8ToU32(const std::string& text);
std::string u32ToUtf8(const std::u32string& text);
