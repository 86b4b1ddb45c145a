// Voice package import and installation, with packages made in memory and served on loopback.

#include "common/qt_osdirs.h"
#include "common/threadutil.h"
#include "tests/support/httpfixture.h"
#include "tests/support/temphome.h"
#include "tests/voices/catalog/testpackage.h"
#include "voices/localvoices.h"
#include "voices/servervoices.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

class InstallTest : public testing::Test {
protected:
    void SetUp() override {
        root = voicesRoot();
        package = root / "pkg.pnvoice";
    }

    // Imports bytes as a package file; returns the result and leaves the error in err.
    bool importBytes(const std::string& bytes, const InstallProgress& progress = nullptr,
                     ServerCanceler* token = nullptr) {
        writeFile(package, bytes);
        return importServerVoice(package.string(), err, progress, token);
    }

    ServerVoice catalogRow(const std::string& uid, int spk) {
        ServerVoice v;
        v.uid = uid;
        v.spk = spk;
        v.lang = "en_US";
        v.eng = "English";
        v.native = "English";
        v.name = "test";
        v.user_name = "Speaker " + std::to_string(spk);
        v.sex = 1;
        v.quality = 3;
        v.downloaded = 42; // statistics are not stored
        return v;
    }

    TempHome home;
    fs::path root;
    fs::path package;
    std::string err;
};

TEST_F(InstallTest, BadPackagesAreRefusedBeforeExtraction) {
    const std::string zip = makeTestZip(testVoiceEntries("v"));
    auto withLength = [](uint32_t n, const std::string& rest) {
        std::string out;
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<char>((n >> shift) & 0xff));
        }
        return out + rest;
    };
    struct Case {
        const char* what;
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"length 0", withLength(0, "{}" + zip), "Invalid pnvoice file(header-len). "},
        {"length 70000", withLength(70000, std::string(70000, ' ')), "Invalid pnvoice file(header-len). "},
        {"length beyond the file", withLength(500, "{\"uid\":\"v\"}"), "Invalid pnvoice file(header-len). "},
        {"short length", std::string("\x05\x00", 2), "Invalid pnvoice file(header-len). "},
        {"array header", makeTestPackage("[1,2]", zip), "Invalid pnvoice file(header). "},
        {"not json", makeTestPackage("{uid", zip), "Invalid pnvoice file(header). "},
        {"empty uid", makeTestPackage("{\"uid\":\"\",\"spk\":0}", zip), "Invalid voice uid. "},
        {"climbing uid", makeTestPackage("{\"uid\":\"../v\",\"spk\":0}", zip), "Invalid voice uid. "},
    };
    for (const Case& c : cases) {
        err.clear();
        EXPECT_FALSE(importBytes(c.bytes)) << c.what;
        EXPECT_TRUE(startsWith(err, c.error)) << c.what << ": " << err;
    }
    EXPECT_FALSE(fs::exists(root / "v"));
    EXPECT_FALSE(fs::exists(root / ".tmp" / "v"));

    EXPECT_FALSE(importServerVoice((root / "absent.pnvoice").string(), err, nullptr, nullptr));
    EXPECT_EQ(err, "Open pnvoice failed. No such file or directory");
}

TEST_F(InstallTest, ImportUnpacksTheFolderAndStoresTheHeader) {
    // A "." entry first must not make the extraction folder itself the voice.
    std::vector<TestArchiveEntry> entries{{".", "", true}};
    for (const TestArchiveEntry& e : testVoiceEntries("./voice")) {
        entries.push_back(e);
    }
    entries.push_back({"./voice/a:b*c.txt", "x"});
    const std::string header = testPackageHeader("en-amy", 3);
    std::vector<int> percents;
    const InstallProgress progress = [&percents](int percent, const std::string& text) {
        EXPECT_EQ(text, "Extracting...");
        percents.push_back(percent);
    };
    ASSERT_TRUE(importBytes(makeTestPackage(header, makeTestZip(entries)), progress)) << err;

    const fs::path dir = root / "en-amy";
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_FALSE(fs::exists(root / ".tmp" / "voice"));
    EXPECT_EQ(readFile(dir / "voice.onnx").size(), 600000u);
    EXPECT_TRUE(fs::exists(dir / "abc.txt"));
    EXPECT_EQ(readFile(dir / "speakers" / "spk-3.json"), header);
    EXPECT_FALSE(percents.empty());

    LocalVoice voice;
    ASSERT_TRUE(findLocalVoice("en-amy", 3, voice));
    EXPECT_EQ(voice.user_name, "Amy");
    EXPECT_EQ(voice.modelPath, dir / "voice.onnx");
}

TEST_F(InstallTest, EntriesLeavingTheExtractionFolderAreRefused) {
    const std::string outside = (fs::path(home.path()) / "abs.onnx").string();
    const std::string cases[] = {"../escape.onnx", "v/../../escape.onnx", "v/sub/../../../escape.onnx",
                                 outside};
    for (const std::string& hostile : cases) {
        std::vector<TestArchiveEntry> entries = testVoiceEntries("v");
        entries.push_back({hostile, "evil"});
        err.clear();
        EXPECT_FALSE(importBytes(makeTestPackage(testPackageHeader("v", 0), makeTestZip(entries))))
            << hostile;
        EXPECT_TRUE(startsWith(err, "create ")) << hostile << ": " << err;
        EXPECT_NE(err.find("leave the extraction folder"), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists(root / "escape.onnx"));
    EXPECT_FALSE(fs::exists(root.parent_path() / "escape.onnx"));
    EXPECT_FALSE(fs::exists(outside));
    EXPECT_FALSE(fs::exists(root / "v"));
}

TEST_F(InstallTest, EmptyOrDamagedArchivesInstallNothing) {
    EXPECT_FALSE(importBytes(makeTestPackage(testPackageHeader("v", 0), makeTestZip({}))));
    EXPECT_TRUE(startsWith(err, "serverInstallVoice rename extracted failed. ")) << err;

    // Cut inside the model's data: the walk ends on a read error, never as a success.
    const std::string zip =
        makeTestZip({{"v/", "", true}, {"v/voice.onnx", std::string(300000, 'q') + "tail"}});
    err.clear();
    EXPECT_FALSE(importBytes(makeTestPackage(testPackageHeader("v", 0), zip.substr(0, zip.size() / 2))));
    EXPECT_FALSE(err.empty());
    EXPECT_FALSE(fs::exists(root / "v"));
}

TEST_F(InstallTest, SaveSpkConfNeverReplacesADescriptor) {
    const fs::path path = root / "x" / "speakers" / "spk-0.json";
    ASSERT_TRUE(saveSpkConf(path.string(), "{\"uid\":\"x\"}", err)) << err;
    EXPECT_TRUE(saveSpkConf(path.string(), "{\"uid\":\"other\"}", err));
    EXPECT_EQ(readFile(path), "{\"uid\":\"x\"}");
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}

// installServerVoice against a catalogue whose voice_path.php redirects to the package.
class ServerInstallTest : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        server.on("/voice_path.php", [this](HttpExchange& ex) {
            query = ex.query;
            ex.status = 302;
            ex.headers = {{"Location", server.url() + "pkg/voice.pnvoice"}};
        });
        server.on("/pkg/voice.pnvoice", [this](HttpExchange& ex) {
            ex.body = packageBytes;
            if (stallOnce) {
                stallOnce = false;
                ex.body = packageBytes.substr(0, 100);
                ex.stallAfterBody = true;
                ex.declaredLength = packageBytes.size();
            }
        });
        ASSERT_TRUE(server.start());
        setenv("PARLONA_CATALOG_URL", server.url().c_str(), 1);
        packageBytes =
            makeTestPackage(testPackageHeader("en-amy", 0), makeTestZip(testVoiceEntries("en-amy")));
    }
    void TearDown() override { unsetenv("PARLONA_CATALOG_URL"); }

    int packageHits() const { return server.hits("/pkg/voice.pnvoice"); }

    LoopbackHttpServer server;
    std::string query;
    std::string packageBytes;
    std::atomic<bool> stallOnce{false};
};

TEST_F(ServerInstallTest, InstallsOnceAndAddsFurtherSpeakersWithoutRequests) {
    ASSERT_TRUE(installServerVoice(catalogRow("en-amy", 0), err, nullptr, nullptr)) << err;
    EXPECT_EQ(query, "uid=en-amy&spk=0&import");
    EXPECT_EQ(packageHits(), 1);
    EXPECT_FALSE(fs::exists(root / "en-amy.pnvoice"));
    EXPECT_FALSE(fs::exists(root / "en-amy.pnvoice.downloading"));
    // A fresh install keeps the package's header as the descriptor.
    EXPECT_EQ(readFile(root / "en-amy" / "speakers" / "spk-0.json"), testPackageHeader("en-amy", 0));

    ASSERT_TRUE(installServerVoice(catalogRow("en-amy", 1), err, nullptr, nullptr)) << err;
    ASSERT_TRUE(installServerVoice(catalogRow("en-amy", 0), err, nullptr, nullptr)) << err;
    EXPECT_EQ(server.hits("/voice_path.php"), 1);
    EXPECT_EQ(readFile(root / "en-amy" / "speakers" / "spk-0.json"), testPackageHeader("en-amy", 0));
    EXPECT_EQ(readFile(root / "en-amy" / "speakers" / "spk-1.json"),
              R"({ "uid": "en-amy", "spk": 1, "lang": "en_US", "eng": "English", "native": "English", )"
              R"("name": "test", "user_name": "Speaker 1", "sex": 1, "quality": 3 })");

    std::vector<LocalVoice> voices;
    localVoices(voices);
    EXPECT_EQ(voices.size(), 2u);
}

TEST_F(ServerInstallTest, CancelledDownloadIsRetriedInFull) {
    stallOnce = true;
    ServerCanceler token;
    std::thread canceller([&] {
        for (int i = 0; i < 500 && !server.stalling(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        token.cancel();
    });
    EXPECT_FALSE(installServerVoice(catalogRow("en-amy", 0), err, nullptr, &token));
    canceller.join();
    EXPECT_TRUE(startsWith(err, "CURL: ")) << err;
    EXPECT_FALSE(fs::exists(root / "en-amy.pnvoice"));
    EXPECT_FALSE(fs::exists(root / "en-amy"));

    ServerCanceler fresh;
    ASSERT_TRUE(installServerVoice(catalogRow("en-amy", 0), err, nullptr, &fresh)) << err;
    EXPECT_EQ(packageHits(), 2);
    EXPECT_TRUE(fs::exists(root / "en-amy" / "speakers" / "spk-0.json"));
}

TEST_F(ServerInstallTest, CancelledExtractionResumesFromTheKeptPackage) {
    ServerCanceler token;
    bool sawDownload = false;
    const InstallProgress cancelOnExtract = [&](int, const std::string& text) {
        if (text == "Extracting...") {
            token.cancel();
        } else {
            sawDownload = true;
        }
    };
    err = "before";
    EXPECT_FALSE(installServerVoice(catalogRow("en-amy", 0), err, cancelOnExtract, &token));
    EXPECT_EQ(err, "before"); // a cancelled extraction leaves the error text alone
    EXPECT_TRUE(sawDownload);
    EXPECT_TRUE(fs::exists(root / "en-amy.pnvoice"));
    EXPECT_FALSE(fs::exists(root / "en-amy"));

    ASSERT_TRUE(installServerVoice(catalogRow("en-amy", 0), err, nullptr, nullptr)) << err;
    EXPECT_EQ(packageHits(), 1);
    EXPECT_FALSE(fs::exists(root / "en-amy.pnvoice"));
    EXPECT_EQ(readFile(root / "en-amy" / "voice.onnx").size(), 600000u);
}

TEST_F(ServerInstallTest, UnsafeCatalogueUidIsRefused) {
    EXPECT_FALSE(installServerVoice(catalogRow("../outside", 0), err, nullptr, nullptr));
    EXPECT_TRUE(startsWith(err, "Invalid voice uid. ")) << err;
    EXPECT_EQ(server.hits("/voice_path.php"), 0);
}

} // namespace
