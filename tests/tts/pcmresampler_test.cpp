#include "tts/pcmresampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

std::vector<int16_t> sine(int rate, int samples, double hz = 440) {
    std::vector<int16_t> out(static_cast<size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        out[static_cast<size_t>(i)] = static_cast<int16_t>(10000 * std::sin(2 * M_PI * hz * i / rate));
    }
    return out;
}

struct Collected {
    std::vector<int16_t> samples;
    int calls = 0;
    PCMResampler::Sink sink() {
        return [this](const uint8_t* const* planes, int count) {
            ++calls;
            const auto* p = reinterpret_cast<const int16_t*>(planes[0]);
            samples.insert(samples.end(), p, p + count);
        };
    }
};

TEST(PCMResampler, SameRateIsLossless) {
    PCMResampler r;
    ASSERT_TRUE(r.init(1, PCMSampleFormat::S16, 22050, false, 1, PCMSampleFormat::S16, 22050, 0));
    const auto in = sine(22050, 30000);
    Collected out;
    ASSERT_TRUE(r.update(in.data(), in.size() * 2, out.sink()));
    r.final(out.sink());
    r.flush(out.sink());
    EXPECT_EQ(out.samples, in);
}

TEST(PCMResampler, ChunkOfOneSecondIsConvertedByUpdateTheRestByFinal) {
    PCMResampler r;
    ASSERT_TRUE(r.init(1, PCMSampleFormat::S16, 22050, false, 1, PCMSampleFormat::S16, 22050, 0));
    Collected out;
    const auto shortBlock = sine(22050, 22049);
    ASSERT_TRUE(r.update(shortBlock.data(), shortBlock.size() * 2, out.sink()));
    EXPECT_EQ(out.calls, 0);
    const auto rest = sine(22050, 3);
    ASSERT_TRUE(r.update(rest.data(), rest.size() * 2, out.sink()));
    EXPECT_EQ(out.samples.size(), 22050u);
    r.final(out.sink());
    EXPECT_EQ(out.samples.size(), 22052u);
}

// Without draining the converter's delay line the end of the audio would be lost.
TEST(PCMResampler, UpsamplingKeepsTheWholeDurationAfterFlush) {
    for (int inRate : {16000, 24000, 8000}) {
        PCMResampler r;
        ASSERT_TRUE(r.init(1, PCMSampleFormat::S16, inRate, false, 1, PCMSampleFormat::S16, 22050, 0));
        const int n = inRate * 5 / 2;
        const auto in = sine(inRate, n);
        Collected out;
        ASSERT_TRUE(r.update(in.data(), in.size() * 2, out.sink()));
        r.final(out.sink());
        const size_t beforeFlush = out.samples.size();
        r.flush(out.sink());
        const double expected = n * 22050.0 / inRate;
        EXPECT_NEAR(static_cast<double>(out.samples.size()), expected, 2.0) << inRate;
        EXPECT_LE(beforeFlush, out.samples.size()) << inRate;
    }
}

TEST(PCMResampler, BigEndianInputIsSwapped) {
    const auto in = sine(22050, 1000);
    std::vector<int16_t> swapped(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const auto u = static_cast<uint16_t>(in[i]);
        swapped[i] = static_cast<int16_t>(static_cast<uint16_t>((u >> 8) | (u << 8)));
    }
    PCMResampler r;
    ASSERT_TRUE(r.init(1, PCMSampleFormat::S16, 22050, true, 1, PCMSampleFormat::S16, 22050, 0));
    Collected out;
    ASSERT_TRUE(r.update(swapped.data(), swapped.size() * 2, out.sink()));
    r.final(out.sink());
    EXPECT_EQ(out.samples, in);
}

TEST(PCMResampler, OtherInputFormatsScaleToSigned16) {
    const struct {
        PCMSampleFormat format;
        std::vector<uint8_t> bytes;
        int16_t expected;
    } cases[] = {
        {PCMSampleFormat::U8, {0xc0, 0xc0}, 16384},
        {PCMSampleFormat::S32, {0, 0, 0, 0x40, 0, 0, 0, 0x40}, 16384},
        {PCMSampleFormat::S32, {0, 0, 0, 0xc0, 0, 0, 0, 0xc0}, -16384},
    };
    for (const auto& c : cases) {
        PCMResampler r;
        ASSERT_TRUE(r.init(1, c.format, 22050, false, 1, PCMSampleFormat::S16, 22050, 0));
        Collected out;
        ASSERT_TRUE(r.update(c.bytes.data(), c.bytes.size(), out.sink()));
        r.final(out.sink());
        ASSERT_EQ(out.samples.size(), 2u);
        EXPECT_EQ(out.samples[0], c.expected);
    }
}

TEST(PCMResampler, FailuresSayWhy) {
    PCMResampler r;
    Collected out;
    const int16_t sample = 0;
    EXPECT_FALSE(r.update(&sample, 2, out.sink()));
    EXPECT_EQ(r.lastError, "null swr.");
    r.final(out.sink());
    EXPECT_EQ(out.calls, 0);

    EXPECT_FALSE(r.init(1, PCMSampleFormat::None, 22050, false, 1, PCMSampleFormat::S16, 22050, 0));
    EXPECT_EQ(r.lastError, "swr_init failed.");
    EXPECT_FALSE(r.isInitialised());
    EXPECT_FALSE(r.update(&sample, 2, out.sink()));
}

} // namespace
