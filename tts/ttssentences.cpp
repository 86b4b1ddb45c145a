#include "tts/ttssentences.h"

#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <cstring>

namespace {

UBreakIteratorType toIcu(TTSBreakKind kind) {
    switch (kind) {
    case TTSBreakKind::Character:
        return UBRK_CHARACTER;
    case TTSBreakKind::Word:
        return UBRK_WORD;
    case TTSBreakKind::Line:
        return UBRK_LINE;
    case TTSBreakKind::Sentence:
        break;
    }
    return UBRK_SENTENCE;
}

bool toUtf16(const std::string& text, std::u16string& out) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        return false;
    }
    out.assign(static_cast<size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(out.data()), length + 1, nullptr, text.data(),
                  static_cast<int32_t>(text.size()), &status);
    return U_SUCCESS(status);
}

bool toUtf8(const UChar* text, int32_t length, std::string& out) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t bytes = 0;
    u_strToUTF8(nullptr, 0, &bytes, text, length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        return false;
    }
    out.assign(static_cast<size_t>(bytes), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), bytes + 1, nullptr, text, length, &status);
    return U_SUCCESS(status);
}

} // namespace

void icuTokens(std::vector<std::string>& tokens, const std::string& text, TTSBreakKind kind) {
    std::u16string utf16;
    if (!toUtf16(text, utf16)) {
        return;
    }
    const UChar* units = reinterpret_cast<const UChar*>(utf16.c_str());
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* it = ubrk_open(toIcu(kind), "", units, -1, &status);
    if (U_FAILURE(status)) {
        ubrk_close(it);
        return;
    }
    int32_t start = ubrk_first(it);
    for (int32_t end = ubrk_next(it); end != UBRK_DONE; start = end, end = ubrk_next(it)) {
        if (end - start == 1 && u_isspace(units[start])) {
            continue;
        }
        std::string piece;
        if (toUtf8(units + start, end - start, piece)) {
            tokens.push_back(std::move(piece));
        }
    }
    ubrk_close(it);
}

std::vector<std::string> tts_sentences(const std::string& text) {
    std::vector<std::string> sentences;
    icuTokens(sentences, std::string(text.c_str(), std::strlen(text.c_str())), TTSBreakKind::Sentence);
    return sentences;
}
