// Our phonemes and ids against Piper's own output for the same sentences and voice configuration.

#include "common/jsonobject.h"
#include "common/qt_osdirs.h"
#include "tts/engine/phonemizer.h"
#include "tts/engine/utf8.h"
#include "tts/engine/voiceconfig.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iostream>

namespace {

const std::string kFixtures = std::string(PARLONA_SOURCE_DIR) + "/../shared/fixtures/piper";

struct ConformanceCase {
    const char* language; // espeak voice and file suffix
    double floor;         // share of sentences that must match exactly
};

class ConformanceTest : public ::testing::TestWithParam<ConformanceCase> {};

TEST_P(ConformanceTest, IdsMatchPiperReference) {
    const ConformanceCase& c = GetParam();
    VoiceConfig config;
    std::string err;
    ASSERT_TRUE(loadVoiceConfig(kFixtures + "/reference_voice.onnx.json", config, err)) << err;
    config.phonemes.espeakVoice = c.language;
    ASSERT_TRUE(espeakPrepare(eSpeakDataPath(), c.language, err)) << err;

    std::ifstream in(kFixtures + "/test_" + c.language + ".jsonl");
    ASSERT_TRUE(in) << "fixture missing for " << c.language;
    int total = 0;
    int matched = 0;
    std::string line;
    while (std::getline(in, line)) {
        const JSONObject ref = JSONObject::parse(line);
        if (!ref.isObject()) {
            continue;
        }
        ++total;
        std::vector<int64_t> expected;
        const JSONObject ids = ref.get("phoneme_ids");
        for (int i = 0; i < ids.size(); ++i) {
            expected.push_back(ids.at(i).asInt64());
        }
        const std::string text = ref.get("text").asString();
        std::vector<std::vector<int64_t>> got;
        ASSERT_TRUE(phonemizeToIds(text, config.phonemes, got, err)) << err;
        if (got.size() == 1 && got[0] == expected) {
            ++matched;
            continue;
        }
        std::vector<std::u32string> ours;
        espeakPhonemes(text, c.language, ours, err);
        std::string expectedPhonemes;
        const JSONObject phonemes = ref.get("phonemes");
        for (int i = 0; i < phonemes.size(); ++i) {
            expectedPhonemes += phonemes.at(i).asString();
        }
        std::cout << "mismatch [" << c.language << "] " << text << "\n  piper: " << expectedPhonemes
                  << "\n  ours:  " << (ours.empty() ? std::string() : u32ToUtf8(ours[0])) << "\n";
    }
    ASSERT_GT(total, 0);
    const double rate = static_cast<double>(matched) / total;
    std::cout << "conformance " << c.language << ": " << matched << "/" << total << " sentences identical ("
              << rate * 100.0 << "%)\n";
    EXPECT_GE(rate, c.floor);
}

INSTANTIATE_TEST_SUITE_P(Languages, ConformanceTest,
                         ::testing::Values(ConformanceCase{"en-us", 1.0}, ConformanceCase{"de", 1.0}),
                         [](const ::testing::TestParamInfo<ConformanceCase>& info) {
                             return std::string(info.param.language) == "en-us" ? "English" : "German";
                         });

} // namespace
