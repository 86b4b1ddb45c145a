#include "common/qt_osdirs.h"
#include "tests/support/temphome.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

TEST(OsDirsTest, VoicesRootCreatesTheWholeChainInOneCall) {
    TempHome home;
    const std::string dataRoot = home.path() + "/.local/share";
    ASSERT_FALSE(fs::exists(dataRoot));
    EXPECT_EQ(homeDir(), home.path());
    EXPECT_EQ(appDataRoot(), dataRoot);
    EXPECT_EQ(voicesRoot(), dataRoot + "/parlona_text2speech_mac/voices");
    EXPECT_TRUE(fs::is_directory(dataRoot + "/parlona_text2speech_mac/voices"));
}

TEST(OsDirsTest, XdgDataHomeIsHonoured) {
    TempHome home;
    const std::string xdg = home.path() + "/xdg";
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(xdg));
    EXPECT_EQ(appDataDir(), xdg + "/parlona_text2speech_mac");
    EXPECT_TRUE(fs::is_directory(xdg + "/parlona_text2speech_mac"));
}

TEST(OsDirsTest, ProjectsLiveInTheHomeNotUnderAppData) {
    TempHome home;
    EXPECT_EQ(projectsDir(), home.path() + "/parlona_text2speech_projects");
    EXPECT_TRUE(fs::is_directory(home.path() + "/parlona_text2speech_projects"));
    EXPECT_FALSE(
        fs::exists(home.path() + "/.local/share/parlona_text2speech_mac/parlona_text2speech_projects"));
}

TEST(OsDirsTest, ExistingFoldersAreKept) {
    TempHome home;
    const std::string voices = voicesRoot();
    std::ofstream(voices + "/marker").put('x');
    EXPECT_EQ(voicesRoot(), voices);
    EXPECT_TRUE(fs::exists(voices + "/marker"));
}

TEST(OsDirsTest, ConcurrentCallersAllGetTheFolder) {
    TempHome home;
    std::vector<std::thread> threads;
    std::vector<std::string> results(8);
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, i] { results[i] = appDataDir(); });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (const auto& r : results) {
        EXPECT_EQ(r, results.front());
    }
    EXPECT_TRUE(fs::is_directory(results.front()));
}

TEST(OsDirsTest, BundleResourcesAreBesideTheExecutable) {
    const std::string exeDir = QCoreApplication::applicationDirPath().toStdString();
    EXPECT_EQ(executableDir(), exeDir);
    EXPECT_EQ(eSpeakDataPath(), exeDir + "/../Resources/espeak-ng-data");
    EXPECT_EQ(tashkeelModelPath(), exeDir + "/../Resources/libtashkeel_model.ort");
    // The build lays out the bundle's resources, so the phoneme data is really there.
    EXPECT_TRUE(fs::is_directory(eSpeakDataPath()));
}

TEST(OsDirsTest, TempDirFollowsTheEnvironment) {
    TempHome home;
    EXPECT_EQ(sysTempDir(), home.path() + "/tmp");
}
