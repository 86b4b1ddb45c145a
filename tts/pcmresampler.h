#pragma once
// Converts PCM audio between sample rates, formats and channel counts (libswresample inside).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The sample formats the converter accepts, packed (interleaved) only.
enum class PCMSampleFormat { None, U8, S16, S32, Float };

class PCMResampler {
public:
    // Receives converted audio in the output format: one pointer per plane and the sample count.
    using Sink = std::function<void(const uint8_t* const* planes, int samples)>;

    PCMResampler();
    ~PCMResampler();
    PCMResampler(const PCMResampler&) = delete;
    PCMResampler& operator=(const PCMResampler&) = delete;

    // A chunk of 0 means one second of input.
    bool init(int inChannels, PCMSampleFormat inFormat, int inRate, bool inBigEndian, int outChannels,
              PCMSampleFormat outFormat, int outRate, int chunk);
    bool isInitialised() const;

    // Queues the input and converts at most one chunk of it.
    bool update(const void* data, size_t bytes, const Sink& sink);
    // Converts every whole sample still queued; the converter keeps its state for the next block.
    void final(const Sink& sink);
    // Drains the converter's delay line; call once after the last block.
    void flush(const Sink& sink);

    std::string lastError;

private:
    bool convert(const uint8_t* input, int samples, const Sink& sink);

    struct Impl;
    std::unique_ptr<Impl> impl_;
};
