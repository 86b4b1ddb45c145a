#include "common/stringformat.h"

std::string sizeDisplay(int64_t n) {
    if (n > 1073741824) {
        return string_format("%d %s", static_cast<int>(n >> 30), "G");
    }
    if (n > 1048576) {
        return string_format("%d %s", static_cast<int>(n >> 20), "M");
    }
    if (n > 1024) {
        return string_format("%d %s", static_cast<int>(n >> 10), "kB");
    }
    return string_format("%d %s", static_cast<int>(n), "B");
}
