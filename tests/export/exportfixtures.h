#pragma once
// Test data for the export tests: WAV files in the system audio format, decoded facts of an encoded
// file, and whole-file reads.

#include <cstdint>
#include <string>

// Writes a 22050 Hz mono 16-bit WAV (44-byte header) holding a tone of the given length.
bool writeTestWav(const std::string& path, int samples, int toneHz = 440);

std::string readFileBytes(const std::string& path);
bool writeFileBytes(const std::string& path, const std::string& bytes);

// What an audio file decodes to; valid is false when it cannot be opened or decoded.
struct DecodedAudio {
    bool valid = false;
    std::string format;
    std::string codec;
    int channels = 0;
    int sampleRate = 0;
    int64_t samples = 0; // per channel, after the decoder's own skipping
    int frameSize = 0;
};
DecodedAudio decodeAudio(const std::string& path);
