#include "tts/engine/wavconvert.h"

#include "tts/engine/piperhelper.h"

#include <algorithm>
#include <cmath>

bool isAudioShape(const std::vector<int64_t>& shape) {
    if (shape.empty() || shape.size() > 4) {
        return false;
    }
    return std::all_of(shape.begin(), shape.end() - 1, [](int64_t d) { return d == 1; });
}

void appendPcm16(const std::vector<float>& samples, std::vector<int16_t>& out) {
    float peak = 0.0f;
    for (float s : samples) {
        if (std::isfinite(s)) {
            peak = std::max(peak, std::fabs(s));
        }
    }
    // Quiet output is not blown up to full level: below 0.01 the gain stays at 32767 / 0.01.
    const float scale = 32767.0f / std::max(0.01f, peak);
    out.reserve(out.size() + samples.size());
    for (float s : samples) {
        const float v = std::isfinite(s) ? std::clamp(s * scale, -32767.0f, 32767.0f) : 0.0f;
        out.push_back(static_cast<int16_t>(v));
    }
}

namespace {

void putLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

} // namespace

std::string pp_wavheader(int rate, int width, int channels, uint32_t sampleCount) {
    const uint32_t blockAlign = static_cast<uint32_t>(width * channels);
    const uint32_t dataBytes = sampleCount * blockAlign;
    std::string h;
    h.reserve(44);
    h += "RIFF";
    putLE(h, 36 + dataBytes, 4);
    h += "WAVEfmt ";
    putLE(h, 16, 4);
    putLE(h, 1, 2); // PCM
    putLE(h, static_cast<uint32_t>(channels), 2);
    putLE(h, static_cast<uint32_t>(rate), 4);
    putLE(h, static_cast<uint32_t>(rate) * blockAlign, 4);
    putLE(h, blockAlign, 2);
    putLE(h, static_cast<uint32_t>(width * 8), 2);
    h += "data";
    putLE(h, dataBytes, 4);
    return h;
}
