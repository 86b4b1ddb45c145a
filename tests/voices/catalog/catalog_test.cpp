// Catalogue lists and samples, read from a loopback server that sends what each case needs.

#include "common/threadutil.h"
#include "tests/support/httpfixture.h"
#include "tests/support/temphome.h"
#include "voices/servervoices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class CatalogTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        setenv("PARLONA_CATALOG_URL", server.url().c_str(), 1);
    }
    void TearDown() override { unsetenv("PARLONA_CATALOG_URL"); }

    void answer(const std::string& path, const std::string& body, int status = 200) {
        server.on(path, [body, status](HttpExchange& ex) {
            ex.status = status;
            ex.body = body;
        });
    }

    TempHome home;
    LoopbackHttpServer server;
};

TEST_F(CatalogTest, LanguagesAreNumberedInServerOrder) {
    answer("/langs.php", R"([{"lang":"de_DE","name":"German","native":"Deutsch"},)"
                         R"({"lang":"en_US","name":"English","native":"English"}, 7,)"
                         R"({"lang":"fr_FR","name":"French","native":"Français","extra":1}])");
    std::vector<ServerVoiceLang> langs;
    std::string err;
    ASSERT_TRUE(serverVoiceLangs(langs, err));
    ASSERT_EQ(langs.size(), 4u);
    EXPECT_EQ(langs[0].seq, 1);
    EXPECT_EQ(langs[0].lang, "de_DE");
    EXPECT_EQ(langs[0].native, "Deutsch");
    EXPECT_EQ(langs[2].seq, 3);
    EXPECT_EQ(langs[2].lang, ""); // not an object: a record of empty texts
    EXPECT_EQ(langs[3].seq, 4);
    EXPECT_EQ(langs[3].native, "Français");
}

TEST_F(CatalogTest, VoiceColumnsAreReadByName) {
    std::string query;
    server.on("/voices.php", [&query](HttpExchange& ex) {
        query = ex.query;
        ex.body = R"({"cols":["extra","spk","uid","sex","user_name","lang","downloaded"],)"
                  R"("rows":[[0,1,"en-a","2","Amy","pt-BR",5],[0,"3",7],"not a row"]})";
    });
    std::vector<ServerVoice> voices;
    std::string err;
    ASSERT_TRUE(serverVoices("pt-BR", voices, err)) << err;
    EXPECT_EQ(query, "lang=pt-BR");
    ASSERT_EQ(voices.size(), 3u);
    EXPECT_EQ(voices[0].seq, 1);
    EXPECT_EQ(voices[0].uid, "en-a");
    EXPECT_EQ(voices[0].spk, 1);
    EXPECT_EQ(voices[0].sex, 2); // sent as text
    EXPECT_EQ(voices[0].user_name, "Amy");
    EXPECT_EQ(voices[0].downloaded, 5);
    EXPECT_EQ(voices[0].quality, 0); // no such column
    EXPECT_EQ(voices[1].spk, 3);
    EXPECT_EQ(voices[1].uid, "7");      // a number read as text
    EXPECT_EQ(voices[1].user_name, ""); // beyond the short row
    EXPECT_EQ(voices[2].seq, 3);
    EXPECT_EQ(voices[2].uid, "");
}

TEST_F(CatalogTest, LanguageCodeIsNotEncoded) {
    // libcurl refuses an address holding a space, so such a code fails without a request.
    std::vector<ServerVoice> voices;
    std::string err;
    EXPECT_FALSE(serverVoices("en US", voices, err));
    EXPECT_EQ(err, "CURL: URL using bad/illegal format or missing URL");
    EXPECT_EQ(server.hits("/voices.php"), 0);
}

TEST_F(CatalogTest, ErrorPagesAndEmptyAnswers) {
    answer("/langs.php", "", 200);
    answer("/voices.php", "<html>Internal error</html>", 500);
    std::vector<ServerVoiceLang> langs;
    std::string err = "untouched";
    EXPECT_FALSE(serverVoiceLangs(langs, err));
    EXPECT_EQ(err, ""); // the transfer itself succeeded
    std::vector<ServerVoice> voices;
    EXPECT_TRUE(serverVoices("en", voices, err));
    EXPECT_TRUE(voices.empty());
}

TEST_F(CatalogTest, UnreachableServerGivesTheTransferError) {
    setenv("PARLONA_CATALOG_URL", "http://127.0.0.1:1/", 1);
    std::vector<ServerVoiceLang> langs;
    std::string err;
    EXPECT_FALSE(serverVoiceLangs(langs, err));
    EXPECT_EQ(err, "CURL: Couldn't connect to server");
}

TEST_F(CatalogTest, SampleIsFetchedOnceThenServedFromTheCache) {
    server.on("/voice_sample.php", [](HttpExchange& ex) {
        ex.body = "ID3 sample of " + ex.params["uid"] + "/" + ex.params["spk"];
    });
    const std::string path = voiceSamplePath("en-a", 2);
    EXPECT_EQ(fs::path(path).filename(), "parlona_voice_en-a-spk2.mp3");
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(home.path()) / "tmp");
    std::string err;
    ASSERT_EQ(downloadServerVoiceSample("en-a", 2, err, nullptr), path) << err;
    // Even a damaged cached file is reused as it is.
    std::ofstream(path, std::ios::trunc) << "damaged";
    ServerCanceler token;
    EXPECT_EQ(downloadServerVoiceSample("en-a", 2, err, &token), path);
    EXPECT_EQ(server.hits("/voice_sample.php"), 1);
    token.cancel(); // the hook is gone: nothing to call into
}

TEST_F(CatalogTest, MissingSampleLeavesNothingUnderTheCacheName) {
    std::string err;
    EXPECT_EQ(downloadServerVoiceSample("en-a", 0, err, nullptr), "");
    EXPECT_EQ(err, "CURL: HTTP response code said error");
    EXPECT_FALSE(fs::exists(voiceSamplePath("en-a", 0)));
}

TEST_F(CatalogTest, UnsafeUidsAreRefusedWithoutARequest) {
    const std::pair<std::string, bool> cases[] = {
        {"en_US-amy-medium", true},
        {"", false},
        {".", false},
        {"..", false},
        {"../x", false},
        {"a/b", false},
        {"a\\b", false},
        {std::string("a\0b", 3), false},
        {"..x", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isSafeVoiceUid(c.first), c.second) << c.first;
    }
    std::string err;
    EXPECT_EQ(downloadServerVoiceSample("../../escape", 0, err, nullptr), "");
    EXPECT_EQ(server.hits("/voice_sample.php"), 0);
}

} // namespace
