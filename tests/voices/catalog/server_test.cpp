// The catalogue server as a real process on loopback, driven through the catalogue client.

#include "tests/support/eventloop.h"
#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "voices/downloadutil.h"
#include "voices/localvoices.h"
#include "voices/servervoices.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string kDuo = "en_US-duo-medium";
const std::string kSolo = "de_DE-solo-low";

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class CatalogServerTest : public testing::Test {
protected:
    void SetUp() override {
        const fs::path catalog = fs::path(home.path()) / "catalog";
        std::string err;
        TestVoiceSpec duo;
        duo.uid = kDuo;
        duo.speakers = 2;
        ASSERT_TRUE(makeTestVoice(catalog.string(), duo, err)) << err;
        TestVoiceSpec solo;
        solo.uid = kSolo;
        solo.espeakVoice = "de";
        solo.lang = "de_DE";
        solo.eng = "German";
        solo.native = "Deutsch";
        solo.quality = 1;
        ASSERT_TRUE(makeTestVoice(catalog.string(), solo, err)) << err;
        // What Piper configurations lack comes from a side file; a sample may sit beside the model.
        std::ofstream(catalog / kSolo / (kSolo + ".catalog.json")) << R"({"sex": 1, "user_name": "Klaus"})";
        std::ofstream(catalog / kSolo / (kSolo + ".spk0.mp3"), std::ios::binary) << "ID3 folder sample";

        server.setProgram(QStringLiteral(PARLONA_BINARY_DIR "/bin/parlona-catalog-server"));
        server.setArguments({QStringLiteral("--voices"), QString::fromStdString(catalog.string()),
                             QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--cache"),
                             QString::fromStdString(home.path() + "/cache")});
        QObject::connect(&server, &QProcess::readyReadStandardError,
                         [this] { log += server.readAllStandardError().toStdString(); });
        server.start();
        ASSERT_TRUE(server.waitForStarted(10000));
        ASSERT_TRUE(waitUntil(
            [this] { return server.canReadLine() || server.state() == QProcess::NotRunning; }, 20000));
        const std::string line = server.readLine().trimmed().toStdString();
        ASSERT_EQ(line.rfind("listening on http://127.0.0.1:", 0), 0u) << line << log;
        baseUrl = line.substr(std::string("listening on ").size());
        setenv("PARLONA_CATALOG_URL", baseUrl.c_str(), 1);
    }

    void TearDown() override {
        unsetenv("PARLONA_CATALOG_URL");
        server.terminate();
        if (!server.waitForFinished(10000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    }

    ServerVoice catalogRow(const std::string& lang, int index) {
        std::vector<ServerVoice> voices;
        std::string err;
        EXPECT_TRUE(serverVoices(lang, voices, err)) << err;
        return index < static_cast<int>(voices.size()) ? voices[static_cast<size_t>(index)] : ServerVoice();
    }

    int status(const std::string& path) {
        CURLHelper2 curl;
        curl.request(baseUrl + path);
        curl.response();
        return curl.respCode;
    }

    TempHome home;
    QProcess server;
    std::string log;
    std::string baseUrl;
};

TEST_F(CatalogServerTest, ListsLanguagesAndVoicesOfTheFolder) {
    std::vector<ServerVoiceLang> langs;
    std::string err;
    ASSERT_TRUE(serverVoiceLangs(langs, err)) << err;
    ASSERT_EQ(langs.size(), 2u);
    EXPECT_EQ(langs[0].lang, "de_DE");
    EXPECT_EQ(langs[0].name, "German");
    EXPECT_EQ(langs[0].native, "Deutsch");
    EXPECT_EQ(langs[1].lang, "en_US");
    EXPECT_EQ(langs[1].seq, 2);

    std::vector<ServerVoice> voices;
    ASSERT_TRUE(serverVoices("en_US", voices, err)) << err;
    ASSERT_EQ(voices.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(voices[i].uid, kDuo);
        EXPECT_EQ(voices[i].spk, i);
        EXPECT_EQ(voices[i].user_name, "speaker_" + std::to_string(i));
        EXPECT_EQ(voices[i].quality, 2);
        EXPECT_EQ(voices[i].eng, "English");
    }
    const ServerVoice solo = catalogRow("de_DE", 0);
    EXPECT_EQ(solo.uid, kSolo);
    EXPECT_EQ(solo.user_name, "Klaus");
    EXPECT_EQ(solo.sex, 1);
    EXPECT_EQ(solo.quality, 1);
    EXPECT_EQ(solo.native, "Deutsch");

    EXPECT_TRUE(waitUntil([this] { return log.find("GET /voices.php?lang=de_DE 200") != std::string::npos; }))
        << log;
}

TEST_F(CatalogServerTest, SamplesAreFetchedOnceThenCached) {
    std::string err;
    // Made with the engine on the server.
    const std::string made = downloadServerVoiceSample(kDuo, 1, err, nullptr);
    ASSERT_FALSE(made.empty()) << err << log;
    EXPECT_EQ(readFile(made).substr(0, 4), "RIFF");
    EXPECT_GT(fs::file_size(made), 44u);
    EXPECT_EQ(downloadServerVoiceSample(kDuo, 1, err, nullptr), made);
    // Served from the folder as it is.
    const std::string kept = downloadServerVoiceSample(kSolo, 0, err, nullptr);
    EXPECT_EQ(readFile(kept), "ID3 folder sample");

    // The server counts every sample request as a click.
    EXPECT_EQ(catalogRow("en_US", 1).clicked, 1);
    EXPECT_EQ(catalogRow("en_US", 0).clicked, 0);
}

TEST_F(CatalogServerTest, InstallsTwoSpeakersOfOneModelAndRemovesThem) {
    const ServerVoice first = catalogRow("en_US", 0);
    const ServerVoice second = catalogRow("en_US", 1);
    std::string err;
    ASSERT_TRUE(installServerVoice(first, err, nullptr, nullptr)) << err << log;
    ASSERT_TRUE(installServerVoice(second, err, nullptr, nullptr)) << err;
    EXPECT_EQ(catalogRow("en_US", 0).downloaded, 1); // one package for both speakers

    LocalVoice installed;
    ASSERT_TRUE(findLocalVoice(kDuo, 0, installed));
    EXPECT_EQ(installed.user_name, "speaker_0");
    EXPECT_EQ(installed.modelPath.filename(), kDuo + ".onnx");
    EXPECT_EQ(installed.downloaded, 1); // the package header carries the statistics
    std::vector<LocalVoice> all;
    localVoices(all);
    ASSERT_EQ(all.size(), 2u);

    ASSERT_TRUE(findLocalVoice(kDuo, 1, installed));
    EXPECT_TRUE(removeLocalVocie(installed));
    EXPECT_TRUE(fs::exists(installed.modelPath)); // speaker 0 still needs the model
    ASSERT_TRUE(findLocalVoice(kDuo, 0, installed));
    EXPECT_TRUE(removeLocalVocie(installed));
    EXPECT_FALSE(fs::exists(installed.dir));
}

TEST_F(CatalogServerTest, RefusesUnknownNamesAndPathTricks) {
    const std::pair<std::string, int> cases[] = {
        {"voice_path.php?uid=" + kDuo + "&spk=0&import", 302},
        {"voice_path.php?uid=nobody&spk=0&import", 404},
        {"voice_path.php?uid=" + kDuo + "&spk=2&import", 404},
        {"voice_sample.php?uid=" + kDuo + "&spk=-1", 404},
        {"voice_sample.php?uid=../" + kDuo + "&spk=0", 400},
        {"packages/..%2F..%2Fetc/0.pnvoice", 400},
        {kDuo + "/" + kDuo + ".onnx", 404},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(status(c.first), c.second) << c.first;
    }
}

} // namespace
