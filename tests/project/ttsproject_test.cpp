#include "project/ttsproject.h"

#include "common/qt_osdirs.h"
#include "project/spkcolor.h"
#include "tests/project/rawdb.h"
#include "tests/support/temphome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

ProjectVoice defaultVoice() {
    ProjectVoice v;
    v.uid = "en_US-test";
    v.spk = 1;
    v.name = "Tester";
    return v;
}

int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class TTSProjectTest : public ::testing::Test {
protected:
    fs::path folder(const std::string& name) const { return fs::path(projectsDir()) / name; }

    // A project folder holding only the given manifest text.
    fs::path manifestOnly(const std::string& name, const std::string& manifest) const {
        const fs::path f = folder(name);
        fs::create_directories(f);
        writeBytes((f / "manifest").string(), manifest);
        return f;
    }

    TempHome home;
};

TEST_F(TTSProjectTest, CreateWritesFolderManifestDatabaseAndDefaultVoice) {
    const int64_t before = nowSeconds();
    TTSProject project;
    const fs::path f = folder("My: Project") / "nested";
    ASSERT_TRUE(project.create(f, "My: Project", defaultVoice(), 1.25f)) << project.lastError();
    EXPECT_EQ(project.path(), f);
    EXPECT_TRUE(fs::is_regular_file(f / "ttsdata"));

    const std::string manifest = fileBytes((f / "manifest").string());
    EXPECT_EQ(manifest.find("\"project_name\""), 2u) << manifest; // written first
    EXPECT_FALSE(fs::exists(f / "manifest.tmp"));

    TTSProject opened;
    ASSERT_TRUE(opened.open(f)) << opened.lastError();
    EXPECT_EQ(opened.projectName(), "My: Project");
    EXPECT_GE(opened.created(), before);
    EXPECT_LE(opened.created(), nowSeconds());
    std::vector<ProjectVoice> voices;
    ASSERT_TRUE(opened.db.voices([&](const ProjectVoice& v) { voices.push_back(v); }, -1));
    ASSERT_EQ(voices.size(), 1u);
    EXPECT_EQ(voices[0].id, 0);
    EXPECT_EQ(voices[0].uid, "en_US-test");
    EXPECT_EQ(voices[0].color, "#A22A2B");
    EXPECT_FLOAT_EQ(voices[0].srate, 1.25f);
}

TEST_F(TTSProjectTest, CreateWhereNoFolderCanBeMadeFails) {
    writeBytes((fs::path(projectsDir()) / "plain").string(), "x");
    TTSProject project;
    EXPECT_FALSE(project.create(folder("plain") / "p", "p", defaultVoice(), 1.0f));
    EXPECT_EQ(project.lastError(), "unable to open database file");
}

TEST_F(TTSProjectTest, OpenWithoutDatabaseFailsEvenWithAManifest) {
    const fs::path f = manifestOnly("nodb", R"({"project_name": "x", "created": 5})");
    TTSProject project;
    EXPECT_FALSE(project.open(f));
    EXPECT_EQ(project.lastError(), "Invalid database.");
    EXPECT_FALSE(fs::exists(f / "ttsdata"));
}

TEST_F(TTSProjectTest, OpenRefusesAForeignDatabaseFileAndKeepsIt) {
    const fs::path f = manifestOnly("foreign", R"({"project_name": "x", "created": 5})");
    writeBytes((f / "ttsdata").string(), "these are someone's notes, not a database\n");
    TTSProject project;
    EXPECT_FALSE(project.open(f));
    EXPECT_NE(project.lastError().find("Invalid database. "), std::string::npos) << project.lastError();
    EXPECT_EQ(fileBytes((f / "ttsdata").string()), "these are someone's notes, not a database\n");
}

TEST_F(TTSProjectTest, ABrokenManifestStillOpensButIsNotListed) {
    for (const char* manifest : {"not json {", "[1, 2]", ""}) {
        SCOPED_TRACE(manifest);
        const fs::path f = folder("broken");
        fs::remove_all(f);
        {
            TTSProject project;
            ASSERT_TRUE(project.create(f, "Broken", defaultVoice(), 1.0f));
            ProjectSeg seg;
            seg.text = "still here";
            std::vector<ProjectSeg> out;
            ASSERT_TRUE(project.db.updateAndSplitSeg(seg, seg.text, out));
        }
        writeBytes((f / "manifest").string(), manifest);
        TTSProject project;
        ASSERT_TRUE(project.open(f)) << project.lastError();
        EXPECT_EQ(project.projectName(), "");
        EXPECT_EQ(project.created(), 0);
        std::vector<std::string> texts;
        ASSERT_TRUE(project.db.segs([&](const ProjectSeg& s) { texts.push_back(s.text); }));
        EXPECT_EQ(texts, std::vector<std::string>{"still here"});
        std::vector<TTSProjectInfo> list;
        ttsprojects(list);
        EXPECT_TRUE(list.empty());
    }
}

TEST_F(TTSProjectTest, ProjectsAreListedNewestFirstSkippingPlainFiles) {
    manifestOnly("old", R"({"project_name": "Old", "created": 100})");
    manifestOnly("new", R"({"project_name": "New", "created": 300})");
    manifestOnly("mid", R"({"project_name": "Mid", "created": 200})");
    writeBytes((fs::path(projectsDir()) / "stray.txt").string(),
               R"({"project_name": "File", "created": 999})");
    const fs::path elsewhere = fs::path(home.path()) / "elsewhere";
    fs::create_directories(elsewhere);
    writeBytes((elsewhere / "manifest").string(), R"({"project_name": "Linked", "created": 250})");
    fs::create_directory_symlink(elsewhere, folder("link"));

    std::vector<TTSProjectInfo> list = {{"stale", "x", 1}};
    ttsprojects(list);
    std::vector<std::string> names;
    for (const auto& info : list) {
        names.push_back(info.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"New", "Linked", "Mid", "Old"}));
    EXPECT_EQ(list[0].path, folder("new").string());
    EXPECT_EQ(list[0].created, 300);
}

TEST_F(TTSProjectTest, SavingKeepsUnknownManifestMembersInOrder) {
    const fs::path f = manifestOnly("keep", R"({"x": 1, "project_name": "A", "created": 7})");
    TTSProject project;
    ASSERT_TRUE(project.load(f));
    project.setProjectName("B");
    ASSERT_TRUE(project.saveManifest()) << project.lastError();
    TTSProject again;
    ASSERT_TRUE(again.load(f));
    EXPECT_EQ(again.projectName(), "B");
    EXPECT_EQ(again.created(), 7);
    const std::string text = fileBytes((f / "manifest").string());
    EXPECT_LT(text.find("\"x\""), text.find("\"project_name\"")) << text;
}

TEST_F(TTSProjectTest, SaveManifestReportsTheSystemError) {
    TTSProject unloaded;
    EXPECT_FALSE(unloaded.saveManifest()); // no folder: nothing lands in the working directory
    EXPECT_FALSE(fs::exists("manifest.tmp"));
    TTSProject project;
    project.load(folder("missing-folder"));
    EXPECT_FALSE(project.saveManifest());
    EXPECT_EQ(project.lastError(), "No such file or directory");
    project.setProjectName("ignored without a manifest object");
    EXPECT_EQ(project.projectName(), "");
}

TEST_F(TTSProjectTest, AudioPathsAndTheirSideEffects) {
    TTSProject project;
    const fs::path f = folder("audio");
    ASSERT_TRUE(project.create(f, "Audio", defaultVoice(), 1.0f));
    const fs::path audio = f / "audio";
    EXPECT_FALSE(fs::exists(audio));
    EXPECT_EQ(project.wavPath(), audio / "audio.wav");
    EXPECT_TRUE(fs::is_directory(audio));
    EXPECT_EQ(project.segWav(12), audio / "seg12.wav");
    EXPECT_FALSE(fs::exists(audio / "seg3-sentences"));
    EXPECT_EQ(project.segSentencesWav(3, 0), audio / "seg3-sentences" / "0.wav");
    EXPECT_TRUE(fs::is_directory(audio / "seg3-sentences")); // made even though nothing is written yet
    EXPECT_EQ(project.segSentencesDir(3), audio / "seg3-sentences");

    writeBytes(project.wavPath().string(), "joined");
    writeBytes(project.segWav(3).string(), "seg");
    writeBytes(project.segSentencesWav(3, 1).string(), "sentence");
    writeBytes(project.segWav(4).string(), "other");
    project.removeSegWav(3);
    EXPECT_FALSE(fs::exists(audio / "audio.wav"));
    EXPECT_FALSE(fs::exists(audio / "seg3.wav"));
    EXPECT_FALSE(fs::exists(audio / "seg3-sentences"));
    EXPECT_TRUE(fs::exists(audio / "seg4.wav"));

    writeBytes(project.wavPath().string(), "joined");
    project.removeSegWav(99); // never converted: still drops the joined file
    EXPECT_FALSE(fs::exists(audio / "audio.wav"));
}

} // namespace
