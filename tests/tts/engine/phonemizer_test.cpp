#include "common/jsonobject.h"
#include "common/qt_osdirs.h"
#include "tts/engine/phonemizer.h"
#include "tts/engine/utf8.h"
#include "tts/engine/voiceconfig.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> espeakSentences(const std::string& voice, const std::string& text) {
    std::string err;
    std::vector<std::u32string> sentences;
    EXPECT_TRUE(espeakPrepare(eSpeakDataPath(), voice, err)) << err;
    EXPECT_TRUE(espeakPhonemes(text, voice, sentences, err)) << err;
    std::vector<std::string> out;
    for (const std::u32string& s : sentences) {
        out.push_back(u32ToUtf8(s));
    }
    return out;
}

TEST(PhonemizerTest, ClausePunctuationIsKeptAndSentencesSplit) {
    const std::vector<std::string> s =
        espeakSentences("en-us", "Hello, world; \"quoted.\" Is it? Yes!  It is: fine");
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], "həlˈoʊ, wˈɜːld; kwˈoʊɾᵻd.");
    EXPECT_EQ(s[1], "ɪz ɪt?");
    EXPECT_EQ(s[2], "jˈɛs!");
    EXPECT_EQ(s[3], "ɪɾ ˈɪz: fˈaɪn");
}

TEST(PhonemizerTest, LanguageSwitchMarksAreRemoved) {
    const std::vector<std::string> s = espeakSentences("de", "Das ist cool.");
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].find('('), std::string::npos) << s[0];
    EXPECT_EQ(s[0], "das ɪst kˈuːl.");
}

TEST(PhonemizerTest, UnknownEspeakVoiceIsAnError) {
    std::string err;
    EXPECT_FALSE(espeakPrepare(eSpeakDataPath(), "xx-no-such-voice", err));
    EXPECT_NE(err.find("xx-no-such-voice"), std::string::npos) << err;
}

TEST(PhonemizerTest, TextPhonemesAreNfdCodePoints) {
    struct Case {
        std::string text;
        std::u32string phonemes;
    };
    const std::vector<Case> cases{
        {"abc", U"abc"},
        {"\xC3\xA9", U"e\u0301"},               // é precomposed
        {"e\xCC\x81", U"e\u0301"},              // é already decomposed
        {"\xEF\xAC\x81", U"\uFB01"},            // the ligature fi stays: NFD is not compatibility
        {"\xE1\xBA\xA5 x", U"a\u0302\u0301 x"}, // ấ: two marks in canonical order
    };
    for (const Case& k : cases) {
        EXPECT_EQ(textPhonemes(k.text), k.phonemes) << k.text;
    }
}

VoiceConfig smallConfig(const char* json) {
    VoiceConfig c;
    std::string err;
    EXPECT_TRUE(parseVoiceConfig(JSONObject::parse(json), c, err)) << err;
    return c;
}

TEST(PhonemizerTest, IdsInterleavePadAndApplyPhonemeMap) {
    const VoiceConfig c = smallConfig(R"({"phoneme_type": "text",
        "phoneme_map": {"x": ["a", "b"], "long key": ["a"]},
        "phoneme_id_map": {"_": [0], "^": [1], "$": [2], "a": [5], "b": [6, 7], " ": [3], "ab": [9]}})");
    struct Case {
        std::u32string phonemes;
        std::vector<int64_t> ids;
    };
    const std::vector<Case> cases{
        {U"", {1, 0, 2}},
        {U"a", {1, 0, 5, 0, 2}},
        {U"b a", {1, 0, 6, 7, 0, 3, 0, 5, 0, 2}},
        {U"azq", {1, 0, 5, 0, 2}},        // phonemes missing from the map are skipped
        {U"x", {1, 0, 5, 0, 6, 7, 0, 2}}, // mapped to two phonemes
    };
    for (const Case& k : cases) {
        EXPECT_EQ(phonemesToIds(k.phonemes, c.phonemes), k.ids) << u32ToUtf8(k.phonemes);
    }
}

TEST(PhonemizerTest, ConfigDefaultsAndValues) {
    const VoiceConfig d = smallConfig(R"({"phoneme_id_map": {"_": [0], "^": [1], "$": [2]}})");
    EXPECT_EQ(d.sampleRate, 22050);
    EXPECT_FLOAT_EQ(d.noiseScale, 0.667f);
    EXPECT_FLOAT_EQ(d.lengthScale, 1.0f);
    EXPECT_FLOAT_EQ(d.noiseW, 0.8f);
    EXPECT_EQ(d.numSpeakers, 1);
    EXPECT_EQ(d.phonemes.espeakVoice, "en-us");
    EXPECT_FALSE(d.phonemes.textPhonemes);

    const VoiceConfig v = smallConfig(R"({"audio": {"sample_rate": 16000}, "espeak": {"voice": "de"},
        "inference": {"noise_scale": 0.5, "length_scale": 1.2, "noise_w": 0.6}, "num_speakers": 4,
        "phoneme_id_map": {"_": [0], "^": [1], "$": [2]}})");
    EXPECT_EQ(v.sampleRate, 16000);
    EXPECT_FLOAT_EQ(v.noiseScale, 0.5f);
    EXPECT_FLOAT_EQ(v.lengthScale, 1.2f);
    EXPECT_FLOAT_EQ(v.noiseW, 0.6f);
    EXPECT_EQ(v.numSpeakers, 4);
    EXPECT_EQ(v.phonemes.espeakVoice, "de");
}

TEST(PhonemizerTest, Utf8RoundTripAndMalformedBytes) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(utf8ToU32(text), U"a\u00E9\u20AC\U0001F600");
    EXPECT_EQ(u32ToUtf8(utf8ToU32(text)), text);
    EXPECT_EQ(utf8ToU32("a\xFF"
                        "b"),
              U"a\uFFFDb");
    EXPECT_EQ(utf8ToU32("a\xE2\x82"), U"a\uFFFD");
    EXPECT_EQ(utf8ToU32("\xC3(x"), U"\uFFFD(x");
}

} // namespace
