#pragma once
// Sound fixtures for tests: canonical 16-bit PCM WAV files and other formats made from them with
// the ffmpeg command.

#include <cstdint>
#include <string>
#include <vector>

// A mono sine of the given amplitude (0..1 of full scale).
std::vector<int16_t> testTone(double seconds, int sampleRate, double frequency, double amplitude);

// Writes interleaved samples with the 44-byte canonical header; false when the file cannot be written.
bool writeTestWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate, int channels);

// Runs ffmpeg -i input <args> output quietly; false when it fails or writes nothing.
bool convertWithFfmpeg(const std::string& input, const std::string& output,
                       const std::vector<std::string>& args);
