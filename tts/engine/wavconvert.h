#pragma once
// The model's float audio as the engine delivers it: 16-bit PCM scaled to full level.

#include <cstdint>
#include <vector>

// [1, 1, 1, T], [1, 1, T], [1, T] (or a plain [T]).
bool isAudioShape(const std::vector<int64_t>& shape);

// Appends the samples scaled by 32767 / max(0.01, largest |sample|) and clamped to +-32767.
// Samples that are not numbers count as silence.
void appendPcm16(const std::vector<float>& samples, std::vector<int16_t>& out);
