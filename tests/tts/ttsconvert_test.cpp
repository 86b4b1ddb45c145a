#include "tts/ttsconverter.h"

#include "common/qt_osdirs.h"
#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "tests/tts/wavtestutil.h"
#include "voices/localvoices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

const char* const kShort = "Hello.";
const char* const kLong =
    "This sentence is long enough to last well over one second when it is spoken aloud.";

struct Result {
    int calls = 0;
    bool ok = false;
    std::string message;
    double seconds = -1;
};

class TTSConvertTest : public ::testing::Test {
protected:
    LocalVoice voice(int rate, int speakers = 1, int spk = 0) {
        TestVoiceSpec spec;
        spec.uid = "v" + std::to_string(rate) + "-" + std::to_string(speakers);
        spec.sampleRate = rate;
        spec.speakers = speakers;
        std::string err;
        EXPECT_TRUE(makeTestVoice(voicesRoot(), spec, err)) << err;
        LocalVoice v;
        EXPECT_TRUE(findLocalVoice(spec.uid, spk, v));
        return v;
    }

    Result convert(const LocalVoice& v, float speed, const std::vector<std::string>& sentences,
                   const std::string& wav) {
        Result r;
        tts_convert(v, speed, sentences, wav, [&r](bool ok, const std::string& message, double seconds) {
            ++r.calls;
            r.ok = ok;
            r.message = message;
            r.seconds = seconds;
        });
        return r;
    }

    std::string out(const std::string& name) const { return home_.path() + "/" + name; }

    TempHome home_;
};

TEST_F(TTSConvertTest, LengthScaleFollowsSpeed) {
    const struct {
        float speed;
        float scale;
    } cases[] = {{1.0f, 1.0f}, {0.5f, 1.25f}, {2.0f, 0.5f}, {0.1f, 1.45f}, {0.0f, 1.5f}, {1.5f, 0.75f}};
    for (const auto& c : cases) {
        const auto scale = tts_length_scale(c.speed);
        ASSERT_TRUE(scale.has_value());
        EXPECT_FLOAT_EQ(*scale, c.scale) << c.speed;
    }
    EXPECT_FALSE(tts_length_scale(std::nanf("")).has_value());
}

// The header must describe exactly the samples on disk, at 22050 Hz, whatever the model's own rate.
TEST_F(TTSConvertTest, WritesCompleteSystemFormatFiles) {
    for (int rate : {22050, 16000}) {
        const LocalVoice v = voice(rate);
        const std::string wav = out("r" + std::to_string(rate) + ".wav");
        const Result r = convert(v, 1.0f, {kLong}, wav);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.calls, 1);
        const WavFile file = readWav(wav);
        EXPECT_TRUE(file.isSystemFormatAndComplete()) << rate;
        EXPECT_GT(file.seconds(), 1.0);
        EXPECT_DOUBLE_EQ(r.seconds, file.seconds());
    }
    // Same text, same seconds per phoneme id: both rates give the same duration.
    EXPECT_NEAR(readWav(out("r16000.wav")).seconds(), readWav(out("r22050.wav")).seconds(), 0.01);
}

// Every sentence's audio follows the previous one instead of overwriting it.
TEST_F(TTSConvertTest, SentencesAreAppended) {
    for (int rate : {22050, 16000}) {
        const LocalVoice v = voice(rate);
        const Result one = convert(v, 1.0f, {kShort}, out("one.wav"));
        const Result two = convert(v, 1.0f, {kLong}, out("two.wav"));
        const Result both = convert(v, 1.0f, {kShort, kLong}, out("both.wav"));
        ASSERT_TRUE(one.ok && two.ok && both.ok) << both.message;
        EXPECT_TRUE(readWav(out("both.wav")).isSystemFormatAndComplete());
        EXPECT_NEAR(both.seconds, one.seconds + two.seconds, 0.002) << rate;
    }
}

TEST_F(TTSConvertTest, SpeedChangesDuration) {
    const LocalVoice v = voice(22050);
    const Result normal = convert(v, 1.0f, {kLong}, out("n.wav"));
    const Result slow = convert(v, 0.5f, {kLong}, out("s.wav"));
    const Result fast = convert(v, 2.0f, {kLong}, out("f.wav"));
    ASSERT_TRUE(normal.ok && slow.ok && fast.ok);
    EXPECT_NEAR(slow.seconds / normal.seconds, 1.25, 0.01);
    EXPECT_NEAR(fast.seconds / normal.seconds, 0.5, 0.01);
}

TEST_F(TTSConvertTest, MultiSpeakerVoiceUsesTheSpeaker) {
    const LocalVoice v0 = voice(22050, 3, 0);
    LocalVoice v2;
    ASSERT_TRUE(findLocalVoice(v0.uid, 2, v2));
    const Result a = convert(v0, 1.0f, {kShort}, out("a.wav"));
    const Result b = convert(v2, 1.0f, {kShort}, out("b.wav"));
    ASSERT_TRUE(a.ok && b.ok) << b.message;
    EXPECT_NEAR(a.seconds, b.seconds, 0.001);
    // The speaker shifts the pitch, so the audio differs.
    EXPECT_NE(readWav(out("a.wav")).samples, readWav(out("b.wav")).samples);
}

TEST_F(TTSConvertTest, NoSentencesGivesHeaderOnly) {
    const Result r = convert(voice(22050), 1.0f, {}, out("empty.wav"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.seconds, 0);
    const WavFile file = readWav(out("empty.wav"));
    EXPECT_TRUE(file.isSystemFormatAndComplete());
    EXPECT_EQ(file.fileBytes, 44u);
}

TEST_F(TTSConvertTest, WriteFailuresRemoveTheFile) {
    const LocalVoice v = voice(16000);
    const std::string wav = out("missing/x.wav");
    const std::string sys = std::string(std::strerror(ENOENT)) + "(" + wav + ")";
    const struct {
        std::vector<std::string> sentences;
        std::string message;
    } cases[] = {
        // Under a second the write happens while the rest of the block is converted.
        {{kShort}, "Convert sentence failed. " + sys},
        {{kLong}, "Convert sentence failed. Resample failed. " + sys},
        // Nothing to write still cannot produce a file there.
        {{}, sys},
    };
    for (const auto& c : cases) {
        const Result r = convert(v, 1.0f, c.sentences, wav);
        EXPECT_EQ(r.calls, 1);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, c.message);
        EXPECT_EQ(r.seconds, 0);
    }
}

TEST_F(TTSConvertTest, EngineRefusalIsReportedAndFileRemoved) {
    LocalVoice v = voice(22050);
    std::filesystem::resize_file(v.modelPath, 10);
    const std::string wav = out("x.wav");
    const Result r = convert(v, 1.0f, {kShort}, wav);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.rfind("Load failed. ", 0), 0u) << r.message;
    EXPECT_GT(r.message.size(), std::strlen("Load failed. "));
    EXPECT_FALSE(std::filesystem::exists(wav));
}

} // namespace
