#include "tts/engine/phonemizer.h"

#include "tts/engine/utf8.h"
#include "tts/engine/voiceconfig.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>

#include <cstring>
#include <mutex>
#include <string_view>

namespace {

struct Espeak {
    std::mutex mu;
    bool ready = false;
    std::string dataPath; // as initialised; empty: the library default
    std::string voice;    // currently selected
};

Espeak& espeak() {
    static Espeak* e = new Espeak;
    return *e;
}

std::string statusText(espeak_ng_STATUS status) {
    char buf[512] = {};
    espeak_ng_GetStatusCodeMessage(status, buf, sizeof(buf));
    return buf;
}

bool startLocked(Espeak& e, const std::string& dataPath, std::string& err) {
    if (e.ready && e.dataPath == dataPath) {
        return true;
    }
    if (e.ready) {
        espeak_ng_Terminate();
        e.ready = false;
        e.voice.clear();
    }
    espeak_ng_InitializePath(dataPath.empty() ? nullptr : dataPath.c_str());
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    if (context) {
        espeak_ng_ClearErrorContext(&context);
    }
    if (status == ENS_OK) {
        status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
    }
    if (status != ENS_OK) {
        err = "espeak-ng could not start with the data folder " +
              (dataPath.empty() ? "(default)" : dataPath) + ": " + statusText(status);
        return false;
    }
    e.ready = true;
    e.dataPath = dataPath;
    return true;
}

bool selectVoiceLocked(Espeak& e, const std::string& voice, std::string& err) {
    if (!e.ready) {
        err = "espeak-ng is not initialised";
        return false;
    }
    if (e.voice == voice) {
        return true;
    }
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) {
        err = "espeak-ng voice not found: " + voice;
        return false;
    }
    e.voice = voice;
    return true;
}

// Spaces and closing quotes or brackets that may follow a clause's punctuation.
constexpr std::u32string_view kTrailing = U" \t\n\r\u00A0\"')]}\u00BB\u2019\u201D\u203A";

// Clause punctuation, including full-width and Arabic forms, as the symbol the voices know.
struct Punctuation {
    char32_t mark;
    char32_t symbol;
};
constexpr Punctuation kPunctuation[] = {
    {U'.', U'.'},      {U'\u3002', U'.'}, {U'\u2026', U'.'}, {U',', U','},      {U'\uFF0C', U','},
    {U'\u060C', U','}, {U'\u3001', U','}, {U';', U';'},      {U'\uFF1B', U';'}, {U'\u061B', U';'},
    {U':', U':'},      {U'\uFF1A', U':'}, {U'!', U'!'},      {U'\uFF01', U'!'}, {U'?', U'?'},
    {U'\uFF1F', U'?'}, {U'\u061F', U'?'},
};

// The punctuation that ended a clause, from the text espeak consumed for it; 0 when none.
char32_t clauseTerminator(const std::u32string& consumed) {
    for (auto it = consumed.rbegin(); it != consumed.rend(); ++it) {
        if (kTrailing.find(*it) != std::u32string_view::npos) {
            continue;
        }
        for (const Punctuation& p : kPunctuation) {
            if (p.mark == *it) {
                return p.symbol;
            }
        }
        return 0;
    }
    return 0;
}

// espeak-ng marks a change of language inside a clause as "(en)" ... "(de)"; the voices never saw them.
std::u32string withoutLanguageMarks(const std::u32string& in) {
    std::u32string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        if (in[i] == U'(') {
            const size_t close = in.find(U')', i);
            if (close != std::u32string::npos) {
                i = close + 1;
                continue;
            }
        }
        out.push_back(in[i++]);
    }
    return out;
}

// Drops the last code point of a UTF-8 span (espeak reads one character past the clause end).
size_t withoutLastCodePoint(const char* begin, size_t len) {
    while (len > 0) {
        --len;
        if ((static_cast<unsigned char>(begin[len]) & 0xC0) != 0x80) {
            break;
        }
    }
    return len;
}

// Piper's phonemes are in NFD: a precomposed character like ç is its base letter and a mark.
std::u32string nfdCodePoints(const std::string& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::UnicodeString source = icu::UnicodeString::fromUTF8(text);
    icu::UnicodeString normal = U_SUCCESS(status) ? nfd->normalize(source, status) : source;
    if (U_FAILURE(status)) {
        normal = source;
    }
    std::u32string out;
    for (int32_t i = 0; i < normal.length(); i = normal.moveIndex32(i, 1)) {
        out.push_back(static_cast<char32_t>(normal.char32At(i)));
    }
    return out;
}

} // namespace

bool espeakPrepare(const std::optional<std::filesystem::path>& dataPath, const std::string& voice,
                   std::string& err) {
    if (dataPath) {
        std::error_code ec;
        if (!std::filesystem::is_directory(*dataPath, ec)) {
            err = "espeak-ng data folder not found: " + dataPath->string();
            return false;
        }
    }
    Espeak& e = espeak();
    std::lock_guard<std::mutex> lock(e.mu);
    return startLocked(e, dataPath ? dataPath->string() : std::string(), err) &&
           selectVoiceLocked(e, voice, err);
}

bool espeakPhonemes(const std::string& text, const std::string& voice, std::vector<std::u32string>& sentences,
                    std::string& err) {
    sentences.clear();
    Espeak& e = espeak();
    std::lock_guard<std::mutex> lock(e.mu);
    if (!selectVoiceLocked(e, voice, err)) {
        return false;
    }
    const char* const textEnd = text.c_str() + text.size();
    const void* pos = text.c_str();
    const char* clauseStart = text.c_str();
    std::u32string* current = nullptr;
    while (pos) {
        const char* phonemes = espeak_TextToPhonemes(&pos, espeakCHARS_UTF8, espeakPHONEMES_IPA);
        const char* next = pos ? static_cast<const char*>(pos) : textEnd;
        size_t len = static_cast<size_t>(next - clauseStart);
        if (pos) {
            len = withoutLastCodePoint(clauseStart, len);
        }
        const char32_t terminator = clauseTerminator(utf8ToU32(std::string(clauseStart, len)));
        clauseStart += len;

        if (!current) {
            sentences.emplace_back();
            current = &sentences.back();
        } else if (!current->empty()) {
            current->push_back(U' ');
        }
        current->append(withoutLanguageMarks(nfdCodePoints(phonemes ? phonemes : "")));
        if (terminator) {
            current->push_back(terminator);
        }
        if (terminator == U'.' || terminator == U'?' || terminator == U'!') {
            current = nullptr;
        }
    }
    return true;
}

std::u32string textPhonemes(const std::string& text) {
    return nfdCodePoints(text);
}

std::vector<int64_t> phonemesToIds(const std::u32string& phonemes, const PhonemeConfig& config) {
    const std::vector<int64_t>& bos = config.idMap.at(U'^');
    const std::vector<int64_t>& pad = config.idMap.at(U'_');
    const std::vector<int64_t>& eos = config.idMap.at(U'$');
    std::vector<int64_t> ids(bos);
    ids.insert(ids.end(), pad.begin(), pad.end());
    auto add = [&](char32_t phoneme) {
        const auto it = config.idMap.find(phoneme);
        if (it == config.idMap.end()) {
            return;
        }
        ids.insert(ids.end(), it->second.begin(), it->second.end());
        ids.insert(ids.end(), pad.begin(), pad.end());
    };
    for (char32_t p : phonemes) {
        const auto mapped = config.phonemeMap.find(p);
        if (mapped == config.phonemeMap.end()) {
            add(p);
            continue;
        }
        for (char32_t q : mapped->second) {
            add(q);
        }
    }
    ids.insert(ids.end(), eos.begin(), eos.end());
    return ids;
}

bool phonemizeToIds(const std::string& text, const PhonemeConfig& config,
                    std::vector<std::vector<int64_t>>& ids, std::string& err) {
    ids.clear();
    std::vector<std::u32string> sentences;
    if (config.textPhonemes) {
        sentences.push_back(textPhonemes(text));
    } else if (!espeakPhonemes(text, config.espeakVoice, sentences, err)) {
        return false;
    }
    for (const std::u32string& s : sentences) {
        ids.push_back(phonemesToIds(s, config));
    }
    return true;
}
