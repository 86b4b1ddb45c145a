// HTTP transfer over a loopback server that misbehaves on purpose.

#include "tests/support/httpfixture.h"
#include "tests/support/temphome.h"
#include "voices/downloadutil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// "hello world" and its MD5.
const std::string kBody = "hello world";
const std::string kBodyMd5 = "5eb63bbbe01eeed093cb22bb8f5acdc3";

class TransferTest : public testing::Test {
protected:
    void SetUp() override {
        server.on("/file", [](HttpExchange& ex) { ex.body = kBody; });
        ASSERT_TRUE(server.start());
        dest = fs::path(home.path()) / "out.bin";
    }

    bool download(const std::string& path, std::string& err, const std::string& md5 = std::string()) {
        return downloadFile(ctx, server.url() + path, dest.string(), md5, err);
    }

    // Cancels ctx once the server has begun stalling; bounded so a broken server cannot hang the test.
    std::thread cancelWhenStalled() {
        return std::thread([this] {
            for (int i = 0; i < 500 && !server.stalling(); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ctx.curl.cancelled = true;
        });
    }

    TempHome home;
    LoopbackHttpServer server;
    DownloadContext ctx;
    fs::path dest;
};

TEST(CurlUrlEncode, EncodesLikeAFormField) {
    const std::pair<std::string, std::string> cases[] = {
        {"a b&c", "a+b%26c"}, {"\xC3", "%C3"},          {"-._~azAZ09", "-._~azAZ09"},
        {"\n", "%0A"},        {"a/b?=", "a%2Fb%3F%3D"}, {std::string("ab\0cd", 5), "ab"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(curlUrlEncode(c.first), c.second) << c.first;
    }
    EXPECT_EQ(CURLHelper2::encodeUrlData({{"b", "x y"}, {"a", "1&2"}}), "a=1%262&b=x+y");
}

TEST_F(TransferTest, ExistingDestinationIsTakenWithoutARequest) {
    writeFile(dest, "cached");
    std::string err;
    EXPECT_TRUE(download("file", err, "00000000000000000000000000000000"));
    EXPECT_EQ(server.hits("/file"), 0);
    EXPECT_EQ(readFile(dest), "cached");
}

TEST_F(TransferTest, DownloadWritesBodyAndLeavesNoTemporaryFile) {
    std::vector<std::pair<int, std::string>> reports;
    ctx.progress = [&reports](int percent, const std::string& text) { reports.emplace_back(percent, text); };
    std::string err;
    ASSERT_TRUE(download("file", err)) << err;
    EXPECT_EQ(readFile(dest), kBody);
    EXPECT_FALSE(fs::exists(dest.string() + ".downloading"));
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().first, 100);
    EXPECT_NE(reports.back().second.find(" - 11 B of 11 B"), std::string::npos) << reports.back().second;
}

TEST_F(TransferTest, UnknownLengthReportsZeroPercent) {
    server.on("/chunked", [](HttpExchange& ex) {
        ex.body = kBody;
        ex.chunked = true;
    });
    std::vector<std::pair<int, std::string>> reports;
    ctx.progress = [&reports](int percent, const std::string& text) { reports.emplace_back(percent, text); };
    std::string err;
    ASSERT_TRUE(download("chunked", err)) << err;
    ASSERT_FALSE(reports.empty());
    for (const auto& r : reports) {
        EXPECT_EQ(r.first, 0);
        EXPECT_EQ(r.second.substr(r.second.size() - 6), "of 0 B") << r.second;
    }
}

TEST_F(TransferTest, RedirectsAreFollowedAndOnlyTheLastBodyKept) {
    // Absolute and relative targets; the redirect pages carry bodies of their own.
    server.on("/hop1", [this](HttpExchange& ex) {
        ex.status = 302;
        ex.headers = {{"Location", server.url() + "hop2"}};
        ex.body = "first redirect page";
    });
    server.on("/hop2", [](HttpExchange& ex) {
        ex.status = 301;
        ex.headers = {{"Location", "/file"}};
        ex.body = "second";
    });
    std::string err;
    ASSERT_TRUE(download("hop1", err, kBodyMd5)) << err;
    EXPECT_EQ(readFile(dest), kBody);
    EXPECT_EQ(server.hits("/file"), 1);
}

TEST_F(TransferTest, FailuresLeaveNoDestination) {
    server.on("/nolocation", [](HttpExchange& ex) { ex.status = 302; });
    server.on("/loop", [](HttpExchange& ex) {
        ex.status = 302;
        ex.headers = {{"Location", "/loop"}};
    });
    // A server must not send the download to another scheme, such as a local file.
    server.on("/tofile", [](HttpExchange& ex) {
        ex.status = 302;
        ex.headers = {{"Location", "file:///etc/hostname"}};
    });
    struct Case {
        const char* path;
        const char* error;
    };
    const Case cases[] = {
        {"missing", "CURL: HTTP response code said error"},
        {"nolocation", "CURL: URL using bad/illegal format or missing URL"},
        {"loop", "CURL: Number of redirects hit maximum amount"},
        {"tofile", "CURL: Unsupported protocol"},
    };
    for (const Case& c : cases) {
        std::string err;
        EXPECT_FALSE(download(c.path, err)) << c.path;
        EXPECT_EQ(err, c.error) << c.path;
        EXPECT_FALSE(fs::exists(dest)) << c.path;
    }
    EXPECT_EQ(server.hits("/loop"), kMaxRedirects + 1);
}

TEST_F(TransferTest, ExpectedMd5IsCheckedByItsFirst32Digits) {
    std::string upper = kBodyMd5;
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const std::pair<std::string, bool> cases[] = {
        {kBodyMd5, true},
        {upper, true},
        {kBodyMd5 + "7", true},
        {kBodyMd5.substr(0, 31), false},
        {"00000000000000000000000000000000", false},
        {"zz" + kBodyMd5.substr(2), false},
    };
    for (const auto& c : cases) {
        fs::remove(dest);
        std::string err;
        EXPECT_EQ(download("file", err, c.first), c.second) << c.first;
        EXPECT_EQ(fs::exists(dest), c.second) << c.first;
        if (!c.second) {
            EXPECT_EQ(err, "invalid md5sum.");
        }
    }
}

TEST_F(TransferTest, UnwritableTemporaryFileFailsBeforeAnyRequest) {
    dest = fs::path(home.path()) / "no-such-folder" / "out.bin";
    std::string err;
    EXPECT_FALSE(download("file", err));
    EXPECT_EQ(err, "create file failed. No such file or directory");
    EXPECT_EQ(server.hits("/file"), 0);
}

TEST_F(TransferTest, CancelStopsABodyThatStalls) {
    server.on("/stall", [](HttpExchange& ex) {
        ex.body = "partial";
        ex.stallAfterBody = true;
        ex.declaredLength = 1000000;
    });
    std::thread canceller = cancelWhenStalled();
    std::string err;
    EXPECT_FALSE(download("stall", err));
    canceller.join();
    EXPECT_EQ(err.rfind("CURL: ", 0), 0u) << err;
    EXPECT_FALSE(fs::exists(dest));
}

TEST_F(TransferTest, CancelStopsAWaitForTheFirstByte) {
    server.on("/silent", [this](HttpExchange&) { server.holdUntilStopped(); });
    std::thread canceller = cancelWhenStalled();
    std::string err;
    EXPECT_FALSE(download("silent", err));
    canceller.join();
    EXPECT_EQ(err, "CURL: Operation was aborted by an application callback");
}

TEST_F(TransferTest, StalledTransferEndsOnItsOwn) {
    server.on("/silent", [this](HttpExchange&) { server.holdUntilStopped(); });
    ctx.curl.stallSeconds = 1;
    std::string err;
    EXPECT_FALSE(download("silent", err));
    EXPECT_EQ(err.rfind("CURL: Timeout", 0), 0u) << err;
}

TEST_F(TransferTest, HelperParsesStatusAndHeaders) {
    server.on("/headers", [](HttpExchange& ex) {
        ex.status = 203;
        ex.headers = {{"X-Twice", "first"}, {"X-Twice", "second"}, {"X-Spaced", "a: b"}};
        ex.body = "ok";
    });
    CURLHelper2 curl;
    ASSERT_TRUE(curl.request(server.url() + "headers"));
    EXPECT_EQ(curl.response(), "ok");
    EXPECT_EQ(curl.respCode, 203);
    EXPECT_EQ(curl.respStatus, "Non-Authoritative Information");
    EXPECT_EQ(curl.respHeaders["X-Twice"], "second");
    EXPECT_EQ(curl.respHeaders["X-Spaced"], "a: b");
    EXPECT_TRUE(curl.errMsg.empty());

    // The same helper again: per-transfer state starts afresh.
    ASSERT_TRUE(curl.request(server.url() + "missing"));
    EXPECT_EQ(curl.response(), "not found");
    EXPECT_EQ(curl.respCode, 404);
    EXPECT_EQ(curl.respHeaders.count("X-Twice"), 0u);
}

TEST_F(TransferTest, PostSendsEncodedFields) {
    std::string received;
    server.on("/post", [&received](HttpExchange& ex) {
        received = ex.method + " " + ex.requestBody;
        ex.body = "done";
    });
    CURLHelper2 curl;
    ASSERT_TRUE(curl.request(server.url() + "post", std::map<std::string, std::string>{{"k", "a b"}}, {}));
    EXPECT_EQ(curl.response(), "done");
    EXPECT_EQ(received, "POST k=a+b");
    // The same helper then sends a plain GET again.
    ASSERT_TRUE(curl.request(server.url() + "post"));
    curl.response();
    EXPECT_EQ(received, "GET ");
}

TEST(CurlHelper, FailedCollectingResponseIsEmptyWithReason) {
    // Bind and release a port so that nothing listens on it.
    std::string url;
    {
        LoopbackHttpServer closed;
        ASSERT_TRUE(closed.start());
        url = closed.url();
    }
    CURLHelper2 curl;
    ASSERT_TRUE(curl.request(url + "langs.php"));
    EXPECT_EQ(curl.response(), "");
    EXPECT_EQ(curl.respCode, -1);
    EXPECT_EQ(curl.errMsg, "CURL: Couldn't connect to server");
}

} // namespace
