#include "voices/servervoices.h"

#include "common/jsonobject.h"
#include "common/qt_osdirs.h"
#include "common/stringformat.h"
#include "common/threadutil.h"
#include "voices/downloadutil.h"
#include "voices/serverurls.h"

#include <filesystem>
#include <map>

namespace {

// GET base + path and return the body; false with helper's error when nothing came back.
bool fetchCatalog(const std::string& path, std::string& body, std::string& err) {
    CURLHelper2 curl;
    if (!curl.request(catalogBaseUrl() + path, std::string(), {})) {
        err = curl.errMsg;
        return false;
    }
    body = curl.response();
    if (body.empty()) {
        err = curl.errMsg;
        return false;
    }
    return true;
}

} // namespace

bool serverVoiceLangs(std::vector<ServerVoiceLang>& out, std::string& err) {
    std::string body;
    if (!fetchCatalog("langs.php", body, err)) {
        return false;
    }
    const JSONObject list = JSONObject::parse(body);
    const int count = list.size();
    for (int i = 0; i < count; ++i) {
        const JSONObject item = list.at(i);
        ServerVoiceLang lang;
        lang.seq = i + 1;
        lang.lang = item.get("lang").asString();
        lang.name = item.get("name").asString();
        lang.native = item.get("native").asString();
        out.push_back(std::move(lang));
    }
    return true;
}

bool serverVoices(const std::string& lang, std::vector<ServerVoice>& out, std::string& err) {
    std::string body;
    if (!fetchCatalog("voices.php?lang=" + lang, body, err)) {
        return false;
    }
    const JSONObject table = JSONObject::parse(body);
    if (!table.isObject()) {
        return true;
    }
    std::map<std::string, int> columns;
    const JSONObject cols = table.get("cols");
    const int count = cols.size();
    for (int i = 0; i < count; ++i) {
        columns[cols.at(i).asString()] = i;
    }
    const JSONObject rows = table.get("rows");
    const int rowCount = rows.size();
    for (int r = 0; r < rowCount; ++r) {
        const JSONObject row = rows.at(r);
        auto cell = [&](const char* column) {
            const auto it = columns.find(column);
            return it == columns.end() ? JSONObject() : row.at(it->second);
        };
        ServerVoice v;
        v.seq = r + 1;
        v.uid = cell("uid").asString();
        v.lang = cell("lang").asString();
        v.eng = cell("eng").asString();
        v.native = cell("native").asString();
        v.spk = cell("spk").asInt();
        v.name = cell("name").asString();
        v.user_name = cell("user_name").asString();
        v.sex = cell("sex").asInt();
        v.quality = cell("quality").asInt();
        v.downloaded = cell("downloaded").asInt();
        v.clicked = cell("clicked").asInt();
        v.fav_amount = cell("fav_amount").asInt();
        v.fav_persons = cell("fav_persons").asInt();
        out.push_back(std::move(v));
    }
    return true;
}

bool isSafeVoiceUid(const std::string& uid) {
    return !uid.empty() && uid != "." && uid != ".." &&
           uid.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::string voiceSamplePath(const std::string& uid, int spk) {
    return (std::filesystem::path(sysTempDir()) /
            string_format("parlona_voice_%s-spk%d.mp3", uid.c_str(), spk))
        .string();
}

std::string downloadServerVoiceSample(const std::string& uid, int spk, std::string& err,
                                      ServerCanceler* canceler) {
    if (!isSafeVoiceUid(uid)) {
        err = "Invalid voice uid. " + uid;
        return std::string();
    }
    DownloadContext ctx;
    if (canceler) {
        canceler->setCancelAction([&ctx] { ctx.curl.cancelled = true; });
    }
    const std::string url =
        catalogBaseUrl() + string_format("voice_sample.php?uid=%s&spk=%d", uid.c_str(), spk);
    const std::string dest = voiceSamplePath(uid, spk);
    const bool ok = downloadFile(ctx, url, dest, std::string(), err);
    if (canceler) {
        canceler->setCancelAction(nullptr);
    }
    return ok ? dest : std::string();
}
