#include "tts/engine/piperhelper.h"
#include "tts/engine/wavconvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

TEST(WavConvertTest, ScalesToFullLevelUnlessQuiet) {
    struct Case {
        std::vector<float> in;
        std::vector<int16_t> out;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Case> cases{
        {{0.5f, -0.25f, 0.0f}, {32767, -16383, 0}},
        {{-2.0f, 1.0f}, {-32767, 16383}},
        {{0.005f, -0.0025f}, {16383, -8191}}, // gain of a 0.01 peak
        {{0.0f, 0.0f}, {0, 0}},
        {{nan, 0.5f, INFINITY}, {0, 32767, 0}},
        {{}, {}},
    };
    for (const Case& k : cases) {
        std::vector<int16_t> out{7};
        appendPcm16(k.in, out);
        std::vector<int16_t> expected{7};
        expected.insert(expected.end(), k.out.begin(), k.out.end());
        EXPECT_EQ(out, expected);
    }
}

TEST(WavConvertTest, AcceptsThePiperOutputShapes) {
    EXPECT_TRUE(isAudioShape({1, 1, 1, 100}));
    EXPECT_TRUE(isAudioShape({1, 1, 100}));
    EXPECT_TRUE(isAudioShape({1, 100}));
    EXPECT_FALSE(isAudioShape({2, 100}));
    EXPECT_FALSE(isAudioShape({1, 2, 100}));
    EXPECT_FALSE(isAudioShape({}));
    EXPECT_FALSE(isAudioShape({1, 1, 1, 1, 100}));
}

uint32_t le32(const std::string& s, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

uint16_t le16(const std::string& s, size_t at) {
    uint16_t v = 0;
    std::memcpy(&v, s.data() + at, 2);
    return v;
}

TEST(WavConvertTest, WavHeaderIsCanonicalPcm) {
    const std::string h = pp_wavheader(22050, 2, 1, 1000);
    ASSERT_EQ(h.size(), 44u);
    EXPECT_EQ(h.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(h, 4), 36u + 2000u);
    EXPECT_EQ(h.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(h, 16), 16u);
    EXPECT_EQ(le16(h, 20), 1u);
    EXPECT_EQ(le16(h, 22), 1u);
    EXPECT_EQ(le32(h, 24), 22050u);
    EXPECT_EQ(le32(h, 28), 44100u);
    EXPECT_EQ(le16(h, 32), 2u);
    EXPECT_EQ(le16(h, 34), 16u);
    EXPECT_EQ(h.substr(36, 4), "data");
    EXPECT_EQ(le32(h, 40), 2000u);

    const std::string stereo = pp_wavheader(16000, 2, 2, 10);
    EXPECT_EQ(le32(stereo, 28), 64000u);
    EXPECT_EQ(le16(stereo, 32), 4u);
    EXPECT_EQ(le32(stereo, 40), 40u);
    EXPECT_EQ(le32(pp_wavheader(22050, 2, 1, 0), 40), 0u);
}

} // namespace
