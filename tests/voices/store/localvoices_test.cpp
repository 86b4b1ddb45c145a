#include "voices/localvoices.h"

#include "common/qt_osdirs.h"
#include "tests/support/temphome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string descriptor(const std::string& uid, int spk) {
    return "{\"uid\":\"" + uid + "\",\"spk\":" + std::to_string(spk) + ",\"name\":\"" + uid + "\"}";
}

class LocalVoicesTest : public ::testing::Test {
protected:
    fs::path root() const { return fs::u8path(voicesRoot()); }

    // A voice folder with model, configuration and one descriptor per listed speaker.
    fs::path addVoice(const std::string& uid, std::initializer_list<int> speakers) {
        const fs::path dir = root() / uid;
        writeFile(dir / (uid + ".onnx"), "model");
        writeFile(dir / (uid + ".onnx.json"), "{}");
        for (int spk : speakers) {
            writeFile(dir / "speakers" / ("spk-" + std::to_string(spk) + ".json"), descriptor(uid, spk));
        }
        return dir;
    }

    std::vector<LocalVoice> list() const {
        std::vector<LocalVoice> voices;
        localVoices(voices);
        return voices;
    }

    TempHome home_;
};

TEST_F(LocalVoicesTest, EmptyStoreListsNothing) {
    EXPECT_TRUE(list().empty());
    LocalVoice voice;
    EXPECT_FALSE(findLocalVoice("none", 0, voice));
}

TEST_F(LocalVoicesTest, DescriptorReadsEveryKeyWithConversions) {
    const fs::path dir = addVoice("en_US-amy-low", {});
    writeFile(dir / "speakers" / "spk-3.json",
              R"j({"uid":"en_US-amy-low","spk":"3","lang":"en_US","eng":"English","native":"English (US)",)j"
              R"("name":"amy","user_name":"Amy","sex":"2","quality":true,"downloaded":12,"clicked":7.9,)"
              R"("fav_amount":"x","fav_persons":4,"extra":[1,2]})");
    LocalVoice voice;
    voice.seq = 42;
    ASSERT_TRUE(findLocalVoice("en_US-amy-low", 3, voice));
    EXPECT_EQ(voice.seq, 42);
    EXPECT_EQ(voice.uid, "en_US-amy-low");
    EXPECT_EQ(voice.spk, 3);
    EXPECT_EQ(voice.lang, "en_US");
    EXPECT_EQ(voice.eng, "English");
    EXPECT_EQ(voice.native, "English (US)");
    EXPECT_EQ(voice.name, "amy");
    EXPECT_EQ(voice.user_name, "Amy");
    EXPECT_EQ(voice.sex, 2);
    EXPECT_EQ(voice.quality, 1);
    EXPECT_EQ(voice.downloaded, 12);
    EXPECT_EQ(voice.clicked, 7);
    EXPECT_EQ(voice.fav_amount, 0);
    EXPECT_EQ(voice.fav_persons, 4);
    EXPECT_EQ(voice.dir, dir);
    EXPECT_EQ(voice.modelPath, dir / "en_US-amy-low.onnx");
    EXPECT_EQ(voice.configPath, dir / "en_US-amy-low.onnx.json");
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    EXPECT_NEAR(static_cast<double>(voice.mtime), static_cast<double>(now), 5.0);
}

TEST_F(LocalVoicesTest, NumberReadAsTextBecomesDecimal) {
    const fs::path dir = addVoice("v", {});
    writeFile(dir / "speakers" / "spk-0.json", R"({"uid":"v","name":17,"lang":null})");
    LocalVoice voice;
    ASSERT_TRUE(findLocalVoice("v", 0, voice));
    EXPECT_EQ(voice.name, "17");
    EXPECT_EQ(voice.lang, "");
    EXPECT_EQ(voice.spk, 0);
}

TEST_F(LocalVoicesTest, InvalidDescriptorsAreSkipped) {
    const fs::path dir = addVoice("v", {1});
    const struct {
        const char* file;
        const char* text;
    } cases[] = {
        {"spk-2.json", R"({"uid":""})"},
        {"spk-3.json", R"({"spk":3})"},
        {"spk-4.json", "not json"},
        {"spk-5.json", R"(["v"])"},
        {"spk-6.json", ""},
    };
    for (const auto& c : cases) {
        writeFile(dir / "speakers" / c.file, c.text);
    }
    const auto voices = list();
    ASSERT_EQ(voices.size(), 1u);
    EXPECT_EQ(voices[0].spk, 1);
    for (int spk = 2; spk <= 6; ++spk) {
        LocalVoice voice;
        EXPECT_FALSE(findLocalVoice("v", spk, voice)) << spk;
    }
}

TEST_F(LocalVoicesTest, OnlyExactSpeakerFileNamesAreListed) {
    const fs::path dir = addVoice("v", {});
    for (const char* name : {"spk-1.json.bak", "SPK-1.json", "spk-.json", "spk-1a.json", "xspk-1.json"}) {
        writeFile(dir / "speakers" / name, descriptor("v", 1));
    }
    EXPECT_TRUE(list().empty());

    writeFile(dir / "speakers" / "spk-01.json", descriptor("v", 1));
    const auto voices = list();
    ASSERT_EQ(voices.size(), 1u);
    EXPECT_EQ(voices[0].spk, 1);
    LocalVoice voice;
    EXPECT_FALSE(findLocalVoice("v", 1, voice)); // only spk-1.json is looked for
}

TEST_F(LocalVoicesTest, FolderNeedsBothModelAndConfiguration) {
    const struct {
        const char* uid;
        const char* file;
    } cases[] = {{"only-model", "m.onnx"}, {"only-config", "m.onnx.json"}, {"other", "m.onnx.bak"}};
    for (const auto& c : cases) {
        writeFile(root() / c.uid / c.file, "x");
        writeFile(root() / c.uid / "speakers" / "spk-0.json", descriptor(c.uid, 0));
        LocalVoice voice;
        EXPECT_FALSE(findLocalVoice(c.uid, 0, voice)) << c.uid;
        fs::path model;
        fs::path config;
        EXPECT_FALSE(loadVoiceBase(root() / c.uid, model, config)) << c.uid;
    }
    writeFile(root() / "stray.onnx", "x");
    EXPECT_TRUE(list().empty());
}

TEST_F(LocalVoicesTest, ListingTakesUidFromDescriptorAndFillsPaths) {
    const fs::path dir = root() / "folder-name";
    writeFile(dir / "a.onnx", "m");
    writeFile(dir / "a.onnx.json", "{}");
    writeFile(dir / "speakers" / "spk-0.json", descriptor("real-uid", 0));
    const auto voices = list();
    ASSERT_EQ(voices.size(), 1u);
    EXPECT_EQ(voices[0].uid, "real-uid");
    EXPECT_EQ(voices[0].seq, 0);
    EXPECT_EQ(voices[0].dir, dir);
    EXPECT_EQ(voices[0].modelPath, dir / "a.onnx");
    EXPECT_EQ(voices[0].configPath, dir / "a.onnx.json");
}

TEST_F(LocalVoicesTest, ListIsNewestFirstAndAppendsToExisting) {
    addVoice("old", {0});
    addVoice("new", {0, 1});
    const auto setAge = [this](const std::string& uid, int spk, int secondsAgo) {
        fs::last_write_time(root() / uid / "speakers" / ("spk-" + std::to_string(spk) + ".json"),
                            fs::file_time_type::clock::now() - std::chrono::seconds(secondsAgo));
    };
    setAge("old", 0, 100);
    setAge("new", 0, 10);
    setAge("new", 1, 50);

    std::vector<LocalVoice> voices(1);
    voices[0].uid = "caller";
    voices[0].mtime = 1;
    localVoices(voices);
    ASSERT_EQ(voices.size(), 4u);
    EXPECT_EQ(voices[0].uid, "new");
    EXPECT_EQ(voices[0].spk, 0);
    EXPECT_EQ(voices[1].uid, "new");
    EXPECT_EQ(voices[1].spk, 1);
    EXPECT_EQ(voices[2].uid, "old");
    EXPECT_EQ(voices[3].uid, "caller");
    EXPECT_EQ(voices[0].mtime - voices[1].mtime, 40);
}

TEST_F(LocalVoicesTest, UidCannotLeaveTheStore) {
    addVoice("v", {0});
    const fs::path outside = fs::path(home_.path()) / "outside";
    writeFile(outside / "o.onnx", "m");
    writeFile(outside / "o.onnx.json", "{}");
    writeFile(outside / "speakers" / "spk-0.json", descriptor("outside", 0));
    for (const char* uid : {"", ".", "..", "../../../../outside", "v/../v"}) {
        LocalVoice voice;
        EXPECT_FALSE(findLocalVoice(uid, 0, voice)) << uid;
    }
}

TEST_F(LocalVoicesTest, RemovingSpeakersKeepsModelUntilTheLastOne) {
    const fs::path dir = addVoice("v", {0, 1});
    LocalVoice first;
    ASSERT_TRUE(findLocalVoice("v", 0, first));
    LocalVoice second;
    ASSERT_TRUE(findLocalVoice("v", 1, second));

    EXPECT_TRUE(removeLocalVocie(first));
    EXPECT_FALSE(fs::exists(dir / "speakers" / "spk-0.json"));
    EXPECT_TRUE(fs::exists(dir / "v.onnx"));
    EXPECT_EQ(list().size(), 1u);

    EXPECT_TRUE(removeLocalVocie(first)); // already gone: nothing changes
    EXPECT_TRUE(fs::exists(dir / "speakers" / "spk-1.json"));

    EXPECT_TRUE(removeLocalVocie(second));
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_TRUE(list().empty());
}

TEST_F(LocalVoicesTest, RemoveReportsUndeletableDescriptor) {
    const fs::path dir = addVoice("v", {0});
    LocalVoice voice;
    ASSERT_TRUE(findLocalVoice("v", 0, voice));
    // A non-empty directory in the descriptor's place cannot be removed with a plain delete.
    fs::remove(dir / "speakers" / "spk-0.json");
    writeFile(dir / "speakers" / "spk-0.json" / "inner", "x");
    EXPECT_FALSE(removeLocalVocie(voice));
    EXPECT_TRUE(fs::exists(dir / "v.onnx"));
}

} // namespace
