#include "common/jsonobject.h"
#include "tests/tts/engine/enginevoice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <json-c/json.h>

namespace {

std::vector<std::string> keysInOrder(const JSONObject& o) {
    std::vector<std::string> keys;
    if (o.isObject()) {
        json_object_object_foreach(o.value(), key, val) {
            (void)val;
            keys.emplace_back(key);
        }
    }
    return keys;
}

// The store layout the voice list and the worker read: model, configuration, one descriptor per
// installed speaker with the installer's nine keys in order.
TEST(VoicegenTest, WritesVoiceFolderAndDescriptors) {
    EngineVoices voices;
    TestVoiceSpec spec;
    spec.uid = "de_DE-test-x";
    spec.sampleRate = 16000;
    spec.speakers = 3;
    spec.installed = {0, 2};
    spec.espeakVoice = "de";
    spec.lang = "de_DE";
    spec.eng = "German";
    spec.native = "Deutsch";
    spec.name = "Testa";
    spec.sex = 1;
    spec.quality = 3;
    const GeneratedVoice voice = voices.make(spec);
    ASSERT_FALSE(voice.model.empty()) << voices.error;

    const QDir dir(QString::fromStdString(voice.dir));
    EXPECT_EQ(dir.entryList(QDir::Files, QDir::Name),
              (QStringList{"de_DE-test-x.onnx", "de_DE-test-x.onnx.json"}));
    EXPECT_EQ(QDir(dir.filePath("speakers")).entryList(QDir::Files, QDir::Name),
              (QStringList{"spk-0.json", "spk-2.json"}));

    const JSONObject spk = JSONObject::parseFile(voice.dir + "/speakers/spk-2.json");
    EXPECT_EQ(keysInOrder(spk), (std::vector<std::string>{"uid", "spk", "lang", "eng", "native", "name",
                                                          "user_name", "sex", "quality"}));
    EXPECT_EQ(spk.get("uid").asString(), "de_DE-test-x");
    EXPECT_EQ(spk.get("spk").asInt(), 2);
    EXPECT_EQ(spk.get("native").asString(), "Deutsch");
    EXPECT_EQ(spk.get("user_name").asString(), "Speaker 2");
    EXPECT_EQ(spk.get("sex").asInt(), 1);
    EXPECT_EQ(spk.get("quality").asInt(), 3);

    const JSONObject config = JSONObject::parseFile(voice.config);
    EXPECT_EQ(config.get("audio").get("sample_rate").asInt(), 16000);
    EXPECT_EQ(config.get("espeak").get("voice").asString(), "de");
    EXPECT_EQ(config.get("num_speakers").asInt(), 3);
    EXPECT_EQ(config.get("speaker_id_map").size(), 3);
    const JSONObject reference = JSONObject::parseFile(std::string(PARLONA_SOURCE_DIR) +
                                                       "/../shared/fixtures/piper/reference_voice.onnx.json");
    ASSERT_TRUE(reference.isObject());
    EXPECT_STREQ(json_object_to_json_string(config.get("phoneme_id_map").value()),
                 json_object_to_json_string(reference.get("phoneme_id_map").value()));
}

TEST(VoicegenTest, BadArgumentsReportTheGeneratorsMessage) {
    EngineVoices voices;
    TestVoiceSpec spec;
    spec.speakers = 0;
    EXPECT_TRUE(voices.make(spec).model.empty());
    EXPECT_NE(voices.error.find("--speakers"), std::string::npos) << voices.error;
}

} // namespace
