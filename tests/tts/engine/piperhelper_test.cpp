#include "tests/tts/engine/enginevoice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

const char* const kSentence = "The quick brown fox jumps over the lazy dog.";

// Samples each id lasts in the generated model: floor(0.03 s * rate * length scale).
size_t samplesPerId(int rate, double lengthScale) {
    return static_cast<size_t>(std::floor(static_cast<float>(lengthScale) * static_cast<float>(0.03 * rate)));
}

int16_t peak(const std::vector<int16_t>& s) {
    int peak = 0;
    for (int16_t v : s) {
        peak = std::max(peak, std::abs(static_cast<int>(v)));
    }
    return static_cast<int16_t>(peak);
}

class PiperHelperTest : public ::testing::Test {
protected:
    GeneratedVoice make(const TestVoiceSpec& spec) {
        GeneratedVoice v = voices.make(spec);
        EXPECT_FALSE(v.model.empty()) << voices.error;
        return v;
    }
    EngineVoices voices;
};

struct RateCase {
    int rate;
    int outputRank;
};

class PiperHelperRateTest : public PiperHelperTest, public ::testing::WithParamInterface<RateCase> {};

// The whole road from text to samples: ids from espeak, the model's own rate and any of the three
// output shapes; the sample count is exact because the test model gives every id a fixed length.
TEST_P(PiperHelperRateTest, DeliversTheModelsRateAndLength) {
    TestVoiceSpec spec;
    spec.sampleRate = GetParam().rate;
    spec.outputRank = GetParam().outputRank;
    const GeneratedVoice voice = make(spec);
    bool ok = false;
    std::string err;
    PiperHelper::VoiceConf conf;
    const std::vector<int16_t> audio = speak(runConfigFor(voice), kSentence, ok, err, &conf);
    ASSERT_TRUE(ok) << err;
    EXPECT_EQ(conf.sampleRate, spec.sampleRate);
    EXPECT_EQ(conf.sampleWidth, 2);
    EXPECT_EQ(conf.channels, 1);
    const size_t ids = idCount(voice, kSentence);
    ASSERT_GT(ids, 20u);
    EXPECT_EQ(audio.size(), ids * samplesPerId(spec.sampleRate, 1.0));
}

INSTANTIATE_TEST_SUITE_P(Rates, PiperHelperRateTest,
                         ::testing::Values(RateCase{16000, 3}, RateCase{22050, 4}, RateCase{24000, 2},
                                           RateCase{44100, 3}));

TEST_F(PiperHelperTest, LengthScaleStretchesDurationProportionally) {
    const GeneratedVoice voice = make(TestVoiceSpec{});
    const size_t ids = idCount(voice, kSentence);
    for (float scale : {0.5f, 1.0f, 1.45f, 2.0f}) {
        PiperHelper::RunConfig c = runConfigFor(voice);
        c.lengthScale = scale;
        bool ok = false;
        std::string err;
        const std::vector<int16_t> audio = speak(c, kSentence, ok, err);
        ASSERT_TRUE(ok) << err;
        EXPECT_EQ(audio.size(), ids * samplesPerId(22050, scale)) << "length scale " << scale;
    }
}

TEST_F(PiperHelperTest, VoiceLengthScaleIsTheDefault) {
    const GeneratedVoice voice = make(TestVoiceSpec{});
    // A voice that speaks slowly by itself (inference.length_scale 2) unless the caller says otherwise.
    QFile f(QString::fromStdString(voice.config));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray json = f.readAll();
    f.close();
    json.replace("\"length_scale\": 1", "\"length_scale\": 2");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(json);
    f.close();

    bool ok = false;
    std::string err;
    const size_t ids = idCount(voice, kSentence);
    EXPECT_EQ(speak(runConfigFor(voice), kSentence, ok, err).size(), ids * samplesPerId(22050, 2.0));
    PiperHelper::RunConfig c = runConfigFor(voice);
    c.lengthScale = 1.0f;
    EXPECT_EQ(speak(c, kSentence, ok, err).size(), ids * samplesPerId(22050, 1.0));
}

TEST_F(PiperHelperTest, SpeakerIdChangesPitchOfMultiSpeakerVoice) {
    TestVoiceSpec spec;
    spec.speakers = 3;
    const GeneratedVoice voice = make(spec);
    std::vector<double> rates;
    for (int64_t sid : {0, 2}) {
        PiperHelper::RunConfig c = runConfigFor(voice);
        c.speakerId = sid;
        bool ok = false;
        std::string err;
        const std::vector<int16_t> audio = speak(c, kSentence, ok, err);
        ASSERT_TRUE(ok) << err;
        rates.push_back(zeroCrossingRate(audio));
    }
    // Speaker 2 of the test model speaks 1.5 times higher.
    EXPECT_NEAR(rates[1] / rates[0], 1.5, 0.1);
}

TEST_F(PiperHelperTest, SpeakerOutsideTheVoiceIsRefused) {
    TestVoiceSpec spec;
    spec.speakers = 3;
    const GeneratedVoice voice = make(spec);
    PiperHelper::RunConfig c = runConfigFor(voice);
    c.speakerId = 3;
    PiperHelper engine;
    EXPECT_FALSE(engine.load(c, nullptr));
    EXPECT_NE(engine.error.find("Speaker 3"), std::string::npos) << engine.error;
}

TEST_F(PiperHelperTest, SingleSpeakerVoiceIgnoresSpeakerId) {
    const GeneratedVoice voice = make(TestVoiceSpec{});
    PiperHelper::RunConfig c = runConfigFor(voice);
    c.speakerId = 4;
    bool ok = false;
    std::string err;
    EXPECT_FALSE(speak(c, kSentence, ok, err).empty());
    EXPECT_TRUE(ok) << err;
}

// Full level for normal output; quiet output keeps the gain of a 0.01 peak instead of having its
// noise floor blown up.
TEST_F(PiperHelperTest, ScalesFloatOutputToInt16) {
    struct Case {
        double amplitude;
        int expectedPeak;
    };
    for (const Case& k : {Case{0.5, 32767}, Case{0.004, 13107}}) {
        TestVoiceSpec spec;
        spec.uid = "amp" + std::to_string(k.expectedPeak);
        spec.amplitude = k.amplitude;
        const GeneratedVoice voice = make(spec);
        bool ok = false;
        std::string err;
        const std::vector<int16_t> audio = speak(runConfigFor(voice), kSentence, ok, err);
        ASSERT_TRUE(ok) << err;
        EXPECT_NEAR(peak(audio), k.expectedPeak, k.expectedPeak * 0.01) << "amplitude " << k.amplitude;
    }
}

TEST_F(PiperHelperTest, SentenceSilenceFollowsEachSentence) {
    const GeneratedVoice voice = make(TestVoiceSpec{});
    PiperHelper::RunConfig c = runConfigFor(voice);
    bool ok = false;
    std::string err;
    const size_t plain = speak(c, "One. Two.", ok, err).size();
    ASSERT_TRUE(ok) << err;
    c.sentenceSilenceSeconds = 0.5f;
    const std::vector<int16_t> audio = speak(c, "One. Two.", ok, err);
    ASSERT_TRUE(ok) << err;
    EXPECT_EQ(audio.size(), plain + 2 * 11025);
    EXPECT_TRUE(std::all_of(audio.end() - 11025, audio.end(), [](int16_t s) { return s == 0; }));
}

TEST_F(PiperHelperTest, CountsSamplesAcrossUpdatesAndSkipsSilentText) {
    const GeneratedVoice voice = make(TestVoiceSpec{});
    PiperHelper engine;
    size_t delivered = 0;
    int calls = 0;
    ASSERT_TRUE(engine.load(runConfigFor(voice), [&](const std::vector<int16_t>& s) {
        delivered += s.size();
        ++calls;
    })) << engine.error;
    ASSERT_TRUE(engine.update("Hello there."));
    ASSERT_TRUE(engine.update("   "));
    ASSERT_TRUE(engine.update("Good bye."));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(engine.sampleCount, delivered);
}

TEST_F(PiperHelperTest, TextPhonemeVoiceSpeaksCodePointsWithoutEspeak) {
    TestVoiceSpec spec;
    spec.phonemeType = "text";
    const GeneratedVoice voice = make(spec);
    PiperHelper::RunConfig c = runConfigFor(voice);
    c.eSpeakDataPath.reset();
    bool ok = false;
    std::string err;
    // ^ _ a _ b _ c _ $
    EXPECT_EQ(speak(c, "abc", ok, err).size(), 9 * samplesPerId(22050, 1.0));
    EXPECT_TRUE(ok) << err;
}

TEST_F(PiperHelperTest, MissingTashkeelModelIsNoError) {
    const GeneratedVoice voice = make(TestVoiceSpec{});
    PiperHelper::RunConfig c = runConfigFor(voice);
    c.tashkeelModelPath = std::filesystem::path(voices.root()) / "libtashkeel_model.ort";
    PiperHelper engine;
    EXPECT_TRUE(engine.load(c, nullptr)) << engine.error;
}

TEST_F(PiperHelperTest, UpdateWithoutLoadFails) {
    PiperHelper engine;
    EXPECT_FALSE(engine.update("Hello."));
    EXPECT_FALSE(engine.error.empty());
}

// Every broken input stops `load` with a text that names what is wrong.
TEST_F(PiperHelperTest, LoadFailuresSayWhy) {
    const GeneratedVoice voice = make(TestVoiceSpec{});
    const std::string root = voices.root();
    auto writeFile = [](const std::string& path, const QByteArray& data) {
        QFile f(QString::fromStdString(path));
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    };
    ASSERT_TRUE(writeFile(root + "/garbage.onnx", "not a model"));
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(root + "/speakers-none")));
    ASSERT_TRUE(writeFile(root + "/broken.onnx.json", "{\"audio\": "));
    ASSERT_TRUE(writeFile(root + "/nomap.onnx.json", "{\"audio\": {\"sample_rate\": 22050}}"));
    ASSERT_TRUE(writeFile(root + "/badtype.onnx.json", "{\"phoneme_type\": \"pinyin\", \"phoneme_id_map\": "
                                                       "{\"^\": [1], \"_\": [0], \"$\": [2]}}"));

    struct Case {
        const char* what;
        std::string model;
        std::string config;
        std::string espeak;
        const char* expected;
    };
    const std::string data = runConfigFor(voice).eSpeakDataPath->string();
    const std::vector<Case> cases{
        {"missing model", root + "/none.onnx", voice.config, data, "none.onnx"},
        {"model not ONNX", root + "/garbage.onnx", voice.config, data, "model"},
        {"missing config", voice.model, root + "/none.onnx.json", data, "none.onnx.json"},
        {"config not JSON", voice.model, root + "/broken.onnx.json", data, "not valid JSON"},
        {"config without id map", voice.model, root + "/nomap.onnx.json", data, "phoneme_id_map"},
        {"unknown phoneme type", voice.model, root + "/badtype.onnx.json", data, "pinyin"},
        {"missing espeak data", voice.model, voice.config, root + "/no-espeak-data", "no-espeak-data"},
        {"empty espeak data", voice.model, voice.config, root + "/speakers-none", "speakers-none"},
    };
    for (const Case& k : cases) {
        PiperHelper::RunConfig c;
        c.modelPath = k.model;
        c.modelConfigPath = k.config;
        c.eSpeakDataPath = std::filesystem::path(k.espeak);
        PiperHelper engine;
        EXPECT_FALSE(engine.load(c, nullptr)) << k.what;
        EXPECT_NE(engine.error.find(k.expected), std::string::npos) << k.what << ": " << engine.error;
    }
}

} // namespace
