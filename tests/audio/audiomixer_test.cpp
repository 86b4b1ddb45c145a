#include "audio/audiomixer.h"
#include "audio/audiosound.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

constexpr int kRate = 44100;

std::shared_ptr<AudioSound> makeSound(std::vector<float> samples, int rate = kRate, int channels = 1) {
    auto s = std::make_shared<AudioSound>();
    s->sampleRate = rate;
    s->channels = channels;
    s->samples = std::move(samples);
    return s;
}

std::vector<float> mixFrames(AudioMixer& mixer, int frames) {
    std::vector<float> out(2 * static_cast<size_t>(frames), -7.0f);
    mixer.mix(out.data(), frames);
    return out;
}

} // namespace

// What reaches the device for one mono sample: pan 0 gives 0.7071 per side, then the voice volume,
// round-off clipping and the 0.95 post-clip scale. Figures worked out by hand.
TEST(AudioMixerTest, MonoSampleReachesBothSidesScaledAndSoftClipped) {
    struct Case {
        float sample;
        float volume;
        float expected;
    };
    const Case cases[] = {
        {0.0f, 2.0f, 0.0f},        {0.1f, 2.0f, 0.116616f},   {0.5f, 2.0f, 0.550836f},
        {0.9f, 2.0f, 0.856080f},   {-1.0f, 2.0f, -0.900147f}, {1.0f, 4.0f, 0.936973f},
        {-1.0f, 4.0f, -0.936973f}, {0.25f, 1.0f, 0.145581f},  {0.5f, -1.0f, 0.288013f}, // default volume
    };
    for (const Case& c : cases) {
        AudioMixer mixer(kRate);
        mixer.play(makeSound({c.sample}), c.volume, 0.0f, false);
        std::vector<float> out = mixFrames(mixer, 1);
        EXPECT_NEAR(out[0], c.expected, 2e-6) << c.sample << " at volume " << c.volume;
        EXPECT_NEAR(out[1], c.expected, 2e-6) << c.sample << " at volume " << c.volume;
    }
}

TEST(AudioMixerTest, ClippedOutputStaysMonotoneAndBelowFullScale) {
    AudioMixer mixer(kRate);
    std::vector<float> ramp;
    for (int i = -400; i <= 400; ++i) {
        ramp.push_back(i / 100.0f);
    }
    mixer.play(makeSound(ramp), 1.0f, -1.0f, false); // all on the left, gain 1
    std::vector<float> out = mixFrames(mixer, static_cast<int>(ramp.size()));
    for (size_t i = 1; i < ramp.size(); ++i) {
        EXPECT_GE(out[2 * i], out[2 * (i - 1)]) << "at input " << ramp[i];
        EXPECT_LT(out[2 * i], 1.0f);
        EXPECT_GT(out[2 * i], -1.0f);
        EXPECT_EQ(out[2 * i + 1], 0.0f);
    }
}

TEST(AudioMixerTest, StereoChannelsStaySeparate) {
    AudioMixer mixer(kRate);
    mixer.play(makeSound({0.5f, 0.0f, 0.0f, -1.0f}, kRate, 2), 2.0f, 0.0f, false);
    std::vector<float> out = mixFrames(mixer, 2);
    EXPECT_NEAR(out[0], 0.550836f, 2e-6);
    EXPECT_EQ(out[1], 0.0f);
    EXPECT_EQ(out[2], 0.0f);
    EXPECT_NEAR(out[3], -0.900147f, 2e-6);
}

// A sound at half the output rate plays each source frame twice as long, linearly interpolated.
TEST(AudioMixerTest, LowerRateSoundIsInterpolatedToOutputRate) {
    AudioMixer half(kRate);
    half.play(makeSound({0.0f, 0.2f, 0.4f}, kRate / 2), 1.0f, 0.0f, false);
    AudioMixer same(kRate);
    same.play(makeSound({0.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.4f}), 1.0f, 0.0f, false);
    std::vector<float> a = mixFrames(half, 8);
    std::vector<float> b = mixFrames(same, 8);
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_NEAR(a[i], b[i], 1e-6) << "sample " << i;
    }
    EXPECT_EQ(half.activeVoiceCount(), 0);
}

TEST(AudioMixerTest, VoiceEndsAtItsLastFrameAndLeavesSilence) {
    AudioMixer mixer(kRate);
    uint32_t h = mixer.play(makeSound(std::vector<float>(100, 0.5f)), 1.0f, 0.0f, false);
    EXPECT_TRUE(mixer.isValid(h));
    std::vector<float> out = mixFrames(mixer, 256);
    EXPECT_NE(out[2 * 99], 0.0f);
    for (size_t i = 2 * 100; i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0.0f) << "sample " << i;
    }
    EXPECT_FALSE(mixer.isValid(h));
    EXPECT_EQ(mixer.activeVoiceCount(), 0);
    EXPECT_EQ(mixer.streamPosition(h), 0.0);
    EXPECT_EQ(mixer.streamTime(h), 0.0);
}

TEST(AudioMixerTest, PausedVoiceStaysActiveAndDoesNotAdvance) {
    AudioMixer mixer(kRate);
    uint32_t h = mixer.play(makeSound(std::vector<float>(kRate, 0.5f)), 1.0f, 0.0f, false);
    mixFrames(mixer, 4410);
    mixer.setPause(h, true);
    std::vector<float> out = mixFrames(mixer, 44100);
    EXPECT_EQ(out[0], 0.0f);
    EXPECT_EQ(mixer.activeVoiceCount(), 1);
    EXPECT_TRUE(mixer.isPaused(h));
    EXPECT_NEAR(mixer.streamPosition(h), 0.1, 1e-9);
    EXPECT_NEAR(mixer.streamTime(h), 0.1, 1e-9);
    mixer.setPause(h, false);
    mixFrames(mixer, 4410);
    EXPECT_NEAR(mixer.streamPosition(h), 0.2, 1e-9);
}

// The stream position follows seeks; the play time counts only what was played.
TEST(AudioMixerTest, SeekMovesStreamPositionButNotPlayTime) {
    AudioMixer mixer(kRate);
    uint32_t h = mixer.play(makeSound(std::vector<float>(2 * kRate, 0.5f)), 1.0f, 0.0f, false);
    mixer.seek(h, 1.0);
    EXPECT_NEAR(mixer.streamPosition(h), 1.0, 1e-9);
    EXPECT_EQ(mixer.streamTime(h), 0.0);
    mixFrames(mixer, 4410);
    EXPECT_NEAR(mixer.streamPosition(h), 1.1, 1e-9);
    EXPECT_NEAR(mixer.streamTime(h), 0.1, 1e-9);
    mixer.seek(h, -5.0);
    EXPECT_EQ(mixer.streamPosition(h), 0.0);
    mixer.seek(h, 3.0);
    mixFrames(mixer, 16);
    EXPECT_FALSE(mixer.isValid(h));
}

TEST(AudioMixerTest, StopRemovesOnlyThatVoice) {
    AudioMixer mixer(kRate);
    uint32_t a = mixer.play(makeSound({0.5f, 0.5f}), 1.0f, 0.0f, true);
    uint32_t b = mixer.play(makeSound({0.5f, 0.5f}), 1.0f, 0.0f, true);
    EXPECT_NE(a, b);
    mixer.stop(a);
    mixer.stop(a);
    mixer.stop(0);
    EXPECT_FALSE(mixer.isValid(a));
    EXPECT_TRUE(mixer.isValid(b));
    EXPECT_EQ(mixer.activeVoiceCount(), 1);
    mixer.stopAll();
    EXPECT_EQ(mixer.activeVoiceCount(), 0);
}
