#pragma once
// A sound decoded completely into memory: interleaved float frames at the file's own rate.

#include <cstdint>
#include <vector>

struct AudioSound {
    int sampleRate = 0;
    int channels = 0; // 1 or 2
    std::vector<float> samples;

    int64_t frames() const { return channels > 0 ? static_cast<int64_t>(samples.size()) / channels : 0; }
    double lengthSeconds() const { return sampleRate > 0 ? static_cast<double>(frames()) / sampleRate : 0.0; }
};
