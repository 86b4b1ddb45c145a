#pragma once
// A readable, seekable byte source the decoder reads a sound from.

#include <cstdint>

class AudioFile {
public:
    virtual ~AudioFile() = default;

    virtual bool eof() = 0;
    // Copies up to bytes into dst; returns how many were read.
    virtual int64_t read(unsigned char* dst, int64_t bytes) = 0;
    virtual int64_t length() = 0;
    // Absolute offset from the start.
    virtual bool seek(int64_t offset) = 0;
    virtual int64_t pos() = 0;
};
