#pragma once
// Reading and writing system-format WAV files (44-byte header, 22050 Hz mono 16-bit) in the tests,
// independently of the code under test.

#include <cstdint>
#include <string>
#include <vector>

struct WavFile {
    bool ok = false;       // the file was read and has a canonical 44-byte PCM header
    uint32_t riffSize = 0; // RIFF chunk size from the header
    uint32_t rate = 0;
    uint16_t channels = 0;
    uint16_t bits = 0;
    uint32_t dataBytes = 0; // data chunk size from the header
    uint64_t fileBytes = 0;
    std::vector<int16_t> samples; // everything after byte 44

    // Header consistent with the file: system format and the data size equal to the bytes present.
    bool isSystemFormatAndComplete() const {
        return ok && rate == 22050 && channels == 1 && bits == 16 && dataBytes + 44 == fileBytes &&
               riffSize == dataBytes + 36;
    }
    double seconds() const { return samples.size() / 22050.0; }
};

WavFile readWav(const std::string& path);

// A system-format file with the given samples and a header of our own.
void writeWav(const std::string& path, const std::vector<int16_t>& samples);

// Raw bytes of a file; empty when it cannot be read.
std::string readBytes(const std::string& path);
