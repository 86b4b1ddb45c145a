#include "project/projectdb.h"

namespace {

const char kIdeographicSpace[] = "\xE3\x80\x80";

// Length of the blank at position i (0 when none): one ASCII blank byte or the whole U+3000 sequence.
size_t blankAt(const std::string& s, size_t i) {
    const char c = s[i];
    if (c == '\r' || c == '\n' || c == '\t' || c == ' ') {
        return 1;
    }
    return s.compare(i, 3, kIdeographicSpace) == 0 ? 3 : 0;
}

// Length of the blank that ends at position end (exclusive), 0 when none.
size_t blankBefore(const std::string& s, size_t end) {
    const char c = s[end - 1];
    if (c == '\r' || c == '\n' || c == '\t' || c == ' ') {
        return 1;
    }
    return end >= 3 && s.compare(end - 3, 3, kIdeographicSpace) == 0 ? 3 : 0;
}

} // namespace

std::string trim_text(const std::string& text) {
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t n = blankAt(text, begin);
        if (n == 0) {
            break;
        }
        begin += n;
    }
    size_t end = text.size();
    while (end > begin) {
        const size_t n = blankBefore(text, end);
        if (n == 0 || end - n < begin) {
            break;
        }
        end -= n;
    }
    return text.substr(begin, end - begin);
}
