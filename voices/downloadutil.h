#pragma once
// Synchronous HTTP over libcurl: one helper per operation, file downloads with progress, redirects,
// an optional MD5 check and an atomic rename.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct curl_slist;

// Initialises libcurl for the whole process; call once at start, before any thread makes a request.
// Safe to call again; the first CURLHelper2 calls it too.
void initNetwork();

// One HTTP client for one operation (a request/response pair or several on the same connection).
class CURLHelper2 {
public:
    using BodyConsumer = std::function<int(const char* data, int length)>;

    CURLHelper2();
    ~CURLHelper2();
    CURLHelper2(const CURLHelper2&) = delete;
    CURLHelper2& operator=(const CURLHelper2&) = delete;

    bool request(const std::string& url, const std::vector<std::string>& headers = {});
    bool request(const std::string& url, const std::string& body, const std::vector<std::string>& headers);
    bool request(const std::string& url, const std::map<std::string, std::string>& fields,
                 const std::vector<std::string>& headers);

    // Runs the prepared request; consumer's result is the count taken (anything else aborts).
    bool response(const BodyConsumer& consumer);
    // Runs the prepared request and returns the whole body; empty (and respCode -1) on failure.
    std::string response();

    static std::string encodeUrlData(const std::map<std::string, std::string>& fields);

    // The easy handle (a CURL*), for callers that add transfer options of their own.
    void* curlHandle() const { return handle; }

    static size_t writeDataIO(char* data, size_t size, size_t count, void* helper);
    static size_t headerCallback(char* data, size_t size, size_t count, void* text);

    std::string url;
    std::string postData;
    std::map<std::string, std::string> respHeaders;
    int32_t respCode = 0;
    std::string respStatus;
    std::string cookieFile;
    std::atomic<bool> cancelled{false};
    std::string errMsg;
    // A transfer slower than one byte a second for this long is abandoned, so none hangs for ever.
    long stallSeconds = 60;
    // Connection set-up (name lookup, connect, TLS) must finish within this.
    long connectSeconds = 30;

private:
    void* handle = nullptr;
    curl_slist* headerList = nullptr;
    BodyConsumer writeFn;
};

// One download: the helper that performs it and an optional progress receiver.
struct DownloadContext {
    CURLHelper2 curl;
    std::function<void(int percent, const std::string& text)> progress;
};

// Percent-encodes text for a query string (space becomes "+").
std::string curlUrlEncode(const std::string& text);

// Downloads url into dest through dest + ".downloading"; an existing dest is taken as done without a
// request. expectedMd5 (hex) may be empty. err is written only on failure.
bool downloadFile(DownloadContext& ctx, const std::string& url, const std::string& dest,
                  const std::string& expectedMd5, std::string& err);

// libcurl progress callback of downloadFile; clientp is the DownloadContext.
int download_xferinfo(void* clientp, int64_t dltotal, int64_t dlnow, int64_t ultotal, int64_t ulnow);

// At most this many redirects are followed by one download.
constexpr int kMaxRedirects = 10;
