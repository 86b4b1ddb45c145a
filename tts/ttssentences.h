#pragma once
// Cutting text into the sentences that are synthesised one per worker.

#include <string>
#include <vector>

// The boundary kinds of ICU's break iterators (same order as ICU's own).
enum class TTSBreakKind { Character, Word, Line, Sentence };

// Appends the pieces between consecutive boundaries of `kind`; single white-space pieces are dropped.
// Malformed UTF-8 gives no pieces.
void icuTokens(std::vector<std::string>& tokens, const std::string& text, TTSBreakKind kind);

// The sentences of a UTF-8 text (read up to its first NUL), in order, untrimmed.
std::vector<std::string> tts_sentences(const std::string& text);
