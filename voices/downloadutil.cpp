#include "voices/downloadutil.h"

#include "common/stringformat.h"
#include "common/tsfsys.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>

namespace {

std::once_flag curlInitOnce;

// Lets a cancel end a transfer that is connecting or stalled, not only one that receives data.
int cancelXferinfo(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CURLHelper2*>(clientp)->cancelled.load() ? 1 : 0;
}

std::string curlError(CURLcode code) {
    return std::string("CURL: ") + curl_easy_strerror(code);
}

void parseHeaderBlock(const std::string& block, CURLHelper2& helper) {
    static const std::regex statusLine("^HTTP[^ ]+ (\\d+) ?(.*)$", std::regex::icase);
    static const std::regex headerLine("(.+?): *(.+)");
    helper.respHeaders.clear();
    helper.respCode = 0;
    helper.respStatus.clear();
    std::string text = block;
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    std::istringstream lines(text);
    std::string line;
    std::smatch m;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, m, statusLine)) {
            helper.respCode = static_cast<int32_t>(std::strtol(m[1].str().c_str(), nullptr, 10));
            helper.respStatus = m[2].str();
        } else if (std::regex_search(line, m, headerLine)) {
            helper.respHeaders[m[1].str()] = m[2].str();
        }
    }
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Decodes pairs of hex digits; a last single digit is ignored. False on a non-hex digit.
bool decodeHex(const std::string& hex, std::string& out) {
    out.clear();
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        const int hi = hexValue(hex[i]);
        const int lo = hexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return true;
}

struct DigestDeleter {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

} // namespace

void initNetwork() {
    std::call_once(curlInitOnce, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

CURLHelper2::CURLHelper2() {
    initNetwork();
}

CURLHelper2::~CURLHelper2() {
    if (headerList) {
        curl_slist_free_all(headerList);
    }
    if (handle) {
        curl_easy_cleanup(handle);
    }
}

bool CURLHelper2::request(const std::string& address, const std::vector<std::string>& headers) {
    if (!handle) {
        handle = curl_easy_init();
        if (!handle) {
            return false;
        }
    }
    CURL* h = handle;
    respHeaders.clear();
    respCode = 0;
    respStatus.clear();
    cancelled = false;
    if (headerList) {
        curl_slist_free_all(headerList);
        headerList = nullptr;
    }
    errMsg.clear();

    // Certificates and host names are always verified; only plain and TLS HTTP are allowed, also
    // as redirect targets, so a server cannot send us to file:// or other schemes.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, connectSeconds);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, stallSeconds);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, cancelXferinfo);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);

    // A handle reused after a POST must go back to GET.
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    postData.clear();
    url = address;
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    for (const std::string& line : headers) {
        curl_slist* next = curl_slist_append(headerList, line.c_str());
        if (next) {
            headerList = next;
        }
    }
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headerList);
    return true;
}

bool CURLHelper2::request(const std::string& address, const std::string& body,
                          const std::vector<std::string>& headers) {
    std::vector<std::string> lines = headers;
    if (!body.empty()) {
        lines.push_back("Content-Length: " + std::to_string(body.size()));
    }
    if (!request(address, lines)) {
        return false;
    }
    postData = body;
    if (!postData.empty()) {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE, static_cast<long>(postData.size()));
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, postData.c_str());
    }
    return true;
}

bool CURLHelper2::request(const std::string& address, const std::map<std::string, std::string>& fields,
                          const std::vector<std::string>& headers) {
    return request(address, encodeUrlData(fields), headers);
}

bool CURLHelper2::response(const BodyConsumer& consumer) {
    writeFn = consumer;
    std::string headerBlock;
    CURL* h = handle;
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CURLHelper2::writeDataIO);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &headerBlock);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CURLHelper2::headerCallback);
    if (!cookieFile.empty()) {
        curl_easy_setopt(h, CURLOPT_COOKIEFILE, cookieFile.c_str());
        curl_easy_setopt(h, CURLOPT_COOKIEJAR, cookieFile.c_str());
    }
    const CURLcode code = curl_easy_perform(h);
    parseHeaderBlock(headerBlock, *this);
    writeFn = nullptr;
    if (code != CURLE_OK) {
        errMsg = curlError(code);
        return false;
    }
    return true;
}

std::string CURLHelper2::response() {
    std::string body;
    const bool ok = response([&body](const char* data, int length) {
        body.append(data, static_cast<size_t>(length));
        return length;
    });
    if (!ok) {
        respCode = -1;
        return std::string();
    }
    return body;
}

std::string CURLHelper2::encodeUrlData(const std::map<std::string, std::string>& fields) {
    std::string out;
    for (const auto& field : fields) {
        if (!out.empty()) {
            out += '&';
        }
        out += curlUrlEncode(field.first) + "=" + curlUrlEncode(field.second);
    }
    return out;
}

size_t CURLHelper2::writeDataIO(char* data, size_t size, size_t count, void* helper) {
    auto* self = static_cast<CURLHelper2*>(helper);
    const size_t bytes = size * count;
    if (self->cancelled.load() || !self->writeFn) {
        return bytes == 0 ? 1 : 0;
    }
    return static_cast<size_t>(self->writeFn(data, static_cast<int>(bytes)));
}

size_t CURLHelper2::headerCallback(char* data, size_t size, size_t count, void* text) {
    static_cast<std::string*>(text)->append(data, size * count);
    return size * count;
}

std::string curlUrlEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == 0) {
            break;
        }
        if (c == ' ') {
            out += '+';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                   c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int download_xferinfo(void* clientp, int64_t dltotal, int64_t dlnow, int64_t, int64_t) {
    auto* ctx = static_cast<DownloadContext*>(clientp);
    if (ctx->progress) {
        curl_off_t speed = 0;
        curl_easy_getinfo(static_cast<CURL*>(ctx->curl.curlHandle()), CURLINFO_SPEED_DOWNLOAD_T, &speed);
        const std::string text = string_format("%s/s - %s of %s", sizeDisplay(speed).c_str(),
                                               sizeDisplay(dlnow).c_str(), sizeDisplay(dltotal).c_str());
        const int percent = dltotal > 0 ? static_cast<int>(dlnow * 100 / dltotal) : 0;
        ctx->progress(percent, text);
    }
    // A cancel must also end a transfer that receives nothing.
    return ctx->curl.cancelled.load() ? 1 : 0;
}

bool downloadFile(DownloadContext& ctx, const std::string& url, const std::string& dest,
                  const std::string& expectedMd5, std::string& err) {
    std::error_code ec;
    if (tsfsys::exists(dest, ec)) {
        return true;
    }
    const std::string tmpPath = dest + ".downloading";
    std::string address = url;
    std::string error;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLen = 0;
    bool ok = false;
    for (int hop = 0;; ++hop) {
        ok = false;
        std::ofstream file(tmpPath, std::ios::binary | std::ios::trunc);
        if (!file) {
            err = string_format("create file failed. %s", std::strerror(errno));
            return false;
        }
        // A cancel that arrived between hops would otherwise be cleared by request().
        if (hop > 0 && ctx.curl.cancelled.load()) {
            error = curlError(CURLE_ABORTED_BY_CALLBACK);
            break;
        }
        ctx.curl.request(address, std::string(), {});
        CURL* h = static_cast<CURL*>(ctx.curl.curlHandle());
        if (!h) {
            error = curlError(CURLE_OUT_OF_MEMORY);
            break;
        }
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &ctx);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, download_xferinfo);

        std::unique_ptr<EVP_MD_CTX, DigestDeleter> md(EVP_MD_CTX_new());
        EVP_DigestInit_ex(md.get(), EVP_md5(), nullptr);
        ok = ctx.curl.response([&](const char* data, int length) {
            file.write(data, length);
            if (!file) {
                error = std::strerror(errno);
                return -1;
            }
            EVP_DigestUpdate(md.get(), data, static_cast<size_t>(length));
            return length;
        });
        file.flush();
        file.close();
        if (ok && ctx.curl.respCode >= 300 && ctx.curl.respCode <= 399) {
            if (hop + 1 > kMaxRedirects) {
                ok = false;
                error = curlError(CURLE_TOO_MANY_REDIRECTS);
                break;
            }
            // curl resolves a relative Location against the current address.
            address.clear();
            if (ctx.curl.respHeaders.count("Location")) {
                char* target = nullptr;
                curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &target);
                address = target ? target : ctx.curl.respHeaders["Location"];
            }
            continue;
        }
        EVP_DigestFinal_ex(md.get(), digest, &digestLen);
        break;
    }
    if (!ok) {
        err = error.empty() ? ctx.curl.errMsg : error;
        return false;
    }
    if (!expectedMd5.empty()) {
        std::string expected;
        if (!decodeHex(expectedMd5, expected) || expected.size() != 16 || digestLen != 16 ||
            std::memcmp(expected.data(), digest, 16) != 0) {
            err = "invalid md5sum.";
            return false;
        }
    }
    tsfsys::rename(tmpPath, dest, ec);
    if (ec) {
        err = string_format("rename file failed. %s", tmpPath.c_str());
        return false;
    }
    return true;
}
