#include "voices/servervoices.h"

#include "common/jsonobject.h"
#include "common/qt_osdirs.h"
#include "common/stringformat.h"
#include "common/threadutil.h"
#include "common/tsfsys.h"
#include "voices/downloadutil.h"
#include "voices/serverurls.h"
#include "voices/ziphelper.h"

#include <json-c/json.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kMaxHeaderLength = 65535;

std::string systemError() {
    return std::strerror(errno);
}

std::string descriptorPath(const fs::path& voiceDir, int spk) {
    return (voiceDir / "speakers" / string_format("spk-%d.json", spk)).string();
}

// Clears the token's cancel hook on every way out, before the state it points at goes away.
class CancelHook {
public:
    CancelHook(ServerCanceler* canceler, std::function<void()> action) : canceler_(canceler) {
        if (canceler_) {
            canceler_->setCancelAction(std::move(action));
        }
    }
    ~CancelHook() { clear(); }
    CancelHook(const CancelHook&) = delete;
    CancelHook& operator=(const CancelHook&) = delete;

    void clear() {
        if (canceler_) {
            canceler_->setCancelAction(nullptr);
            canceler_ = nullptr;
        }
    }

private:
    ServerCanceler* canceler_;
};

std::string descriptorText(const ServerVoice& voice) {
    json_object* obj = json_object_new_object();
    jsonbuild::addString(obj, "uid", voice.uid);
    jsonbuild::addInt(obj, "spk", voice.spk);
    jsonbuild::addString(obj, "lang", voice.lang);
    jsonbuild::addString(obj, "eng", voice.eng);
    jsonbuild::addString(obj, "native", voice.native);
    jsonbuild::addString(obj, "name", voice.name);
    jsonbuild::addString(obj, "user_name", voice.user_name);
    jsonbuild::addInt(obj, "sex", voice.sex);
    jsonbuild::addInt(obj, "quality", voice.quality);
    std::string text = jsonbuild::toString(obj);
    json_object_put(obj);
    return text;
}

} // namespace

bool installServerVoice(const ServerVoice& voice, std::string& err, const InstallProgress& progress,
                        ServerCanceler* canceler) {
    if (!isSafeVoiceUid(voice.uid)) {
        err = "Invalid voice uid. " + voice.uid;
        return false;
    }
    const fs::path root(voicesRoot());
    const fs::path voiceDir = root / voice.uid;
    std::error_code ec;
    if (!tsfsys::exists(voiceDir, ec)) {
        DownloadContext ctx;
        ctx.progress = progress;
        CancelHook hook(canceler, [&ctx] { ctx.curl.cancelled = true; });
        const std::string url = catalogBaseUrl() + string_format("voice_path.php?uid=%s&spk=%d&import",
                                                                 voice.uid.c_str(), voice.spk);
        const std::string package = (root / (voice.uid + ".pnvoice")).string();
        const bool downloaded = downloadFile(ctx, url, package, std::string(), err);
        hook.clear();
        if (!downloaded) {
            return false;
        }
        if (!importServerVoice(package, err, progress, canceler)) {
            return false;
        }
        tsfsys::removeAll(package, ec);
    }
    return saveSpkConf(descriptorPath(voiceDir, voice.spk), descriptorText(voice), err);
}

bool importServerVoice(const std::string& package, std::string& err, const InstallProgress& progress,
                       ServerCanceler* canceler) {
    std::atomic<bool> cancelled{false};
    CancelHook hook(canceler, [&cancelled] { cancelled = true; });

    std::ifstream in(package, std::ios::binary);
    if (!in) {
        err = "Open pnvoice failed. " + systemError();
        return false;
    }
    std::error_code ec;
    const auto fileSize = fs::file_size(package, ec);
    unsigned char lenBytes[4] = {0, 0, 0, 0};
    in.read(reinterpret_cast<char*>(lenBytes), 4);
    const uint32_t headerLen =
        lenBytes[0] | (lenBytes[1] << 8) | (lenBytes[2] << 16) | (static_cast<uint32_t>(lenBytes[3]) << 24);
    // The header must also fit in the file, so a short package cannot pass a truncated header.
    if (in.gcount() != 4 || headerLen == 0 || headerLen > kMaxHeaderLength || ec ||
        uint64_t(headerLen) + 4 > fileSize) {
        err = "Invalid pnvoice file(header-len). " + systemError();
        return false;
    }
    std::string header(headerLen, '\0');
    in.read(header.data(), headerLen);
    const JSONObject head = JSONObject::parse(header);
    if (!head.isObject()) {
        err = "Invalid pnvoice file(header). " + systemError();
        return false;
    }
    const std::string uid = head.get("uid").asString();
    if (!isSafeVoiceUid(uid)) {
        err = "Invalid voice uid. " + systemError();
        return false;
    }
    const int spk = head.get("spk").asInt();

    const fs::path root(voicesRoot());
    const fs::path voiceDir = root / uid;
    if (!tsfsys::exists(voiceDir, ec)) {
        const int64_t total = static_cast<int64_t>(fileSize) - headerLen - 4;
        const fs::path extractDir = root / ".tmp";
        if (!tsfsys::exists(extractDir, ec)) {
            tsfsys::createDirectories(extractDir, ec);
        }
        auto reader = [&](char* buffer, int capacity) -> int {
            if (cancelled) {
                return -1;
            }
            if (!in.read(buffer, capacity) && in.gcount() == 0) {
                return 0;
            }
            return static_cast<int>(in.gcount());
        };
        auto onEntry = [&](const std::string&, int64_t position, int64_t size) {
            if (progress) {
                progress(size > 0 ? static_cast<int>(position * 100 / size) : 0, "Extracting...");
            }
            return !cancelled;
        };
        bool success = false;
        const std::string extracted =
            ziphelper::unzip(reader, total, extractDir.string(), success, &err, onEntry);
        if (!success) {
            return false;
        }
        tsfsys::rename(extracted, voiceDir, ec);
        if (ec) {
            err = "serverInstallVoice rename extracted failed. " + ec.message();
            std::error_code ignored;
            tsfsys::removeAll(extracted, ignored);
            return false;
        }
    }
    return saveSpkConf(descriptorPath(voiceDir, spk), header, err);
}

bool saveSpkConf(const std::string& path, const std::string& text, std::string& err) {
    std::error_code ec;
    if (tsfsys::exists(path, ec)) {
        return true;
    }
    const fs::path parent = fs::path(path).parent_path();
    if (!tsfsys::exists(parent, ec)) {
        tsfsys::createDirectories(parent, ec);
    }
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) {
            err = "Write config file failed. " + systemError();
            return false;
        }
        out.flush();
    }
    tsfsys::rename(tmp, path, ec);
    if (ec) {
        err = "Rename config file failed. " + ec.message();
        return false;
    }
    return true;
}
