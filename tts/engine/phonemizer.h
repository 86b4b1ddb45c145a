#pragma once
// Text to phonemes to model ids, the way Piper voices were trained.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct PhonemeConfig;

// Starts espeak-ng with the data folder (unset: the library's own default) and selects the voice.
// espeak-ng is process-global and not thread safe: it is initialised once and every call here is
// serialised; a different data folder restarts it.
bool espeakPrepare(const std::optional<std::filesystem::path>& dataPath, const std::string& voice,
                   std::string& err);

// IPA phonemes per sentence. Each clause is followed by its punctuation (, . ; : ! ?) and clauses
// are joined by a space; a sentence ends after . ? or !. Language-switch marks are removed and
// the result is in Unicode NFD, as Piper voices were trained.
bool espeakPhonemes(const std::string& text, const std::string& voice, std::vector<std::u32string>& sentences,
                    std::string& err);

// phoneme_type "text": the text's code points after Unicode NFD, as one sentence.
std::u32string textPhonemes(const std::string& text);

// The phonemes of one sentence with phoneme_map applied, then ^ _ (ids _)... $; unknown phonemes
// are skipped.
std::vector<int64_t> phonemesToIds(const std::u32string& phonemes, const PhonemeConfig& config);

// All of the above for one text: the ids of each of its sentences.
bool phonemizeToIds(const std::string& text, const PhonemeConfig& config,
                    std::vector<std::vector<int64_t>>& ids, std::string& err);
