#include "voices/localvoices.h"

#include "common/jsonobject.h"
#include "common/qt_osdirs.h"
#include "common/stringformat.h"
#include "common/tsfsys.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Exactly "spk-<digits>.json".
bool isSpeakerFileName(const std::string& name) {
    const std::string prefix = "spk-";
    const std::string suffix = ".json";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        !endsWith(name, suffix)) {
        return false;
    }
    const auto first = name.begin() + static_cast<std::ptrdiff_t>(prefix.size());
    const auto last = name.end() - static_cast<std::ptrdiff_t>(suffix.size());
    return std::all_of(first, last, [](char c) { return c >= '0' && c <= '9'; });
}

fs::path speakerFile(const fs::path& dir, int spk) {
    return dir / "speakers" / string_format("spk-%d.json", spk);
}

int64_t toSystemSeconds(fs::file_time_type fileTime) {
    const auto systemTime = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        fileTime - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
    return std::chrono::duration_cast<std::chrono::seconds>(systemTime.time_since_epoch()).count();
}

} // namespace

bool loadVoiceBase(const fs::path& dir, fs::path& modelPath, fs::path& configPath) {
    fs::path model;
    fs::path config;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string full = it->path().string();
        if (endsWith(full, ".onnx")) {
            model = it->path();
        } else if (endsWith(full, ".onnx.json")) {
            config = it->path();
        }
    }
    if (model.empty() || config.empty()) {
        return false;
    }
    modelPath = model;
    configPath = config;
    return true;
}

bool loadSpkInfo(const fs::path& descriptor, LocalVoice& voice) {
    std::ifstream in(descriptor, std::ios::binary);
    if (!in) {
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    JSONObject info = JSONObject::parse(text);
    if (!info.isObject()) {
        info = JSONObject();
    }
    const std::string uid = info.get("uid").asString();
    if (uid.empty()) {
        return false;
    }
    voice.uid = uid;
    voice.spk = info.get("spk").asInt();
    voice.lang = info.get("lang").asString();
    voice.eng = info.get("eng").asString();
    voice.native = info.get("native").asString();
    voice.name = info.get("name").asString();
    voice.user_name = info.get("user_name").asString();
    voice.sex = info.get("sex").asInt();
    voice.quality = info.get("quality").asInt();
    voice.downloaded = info.get("downloaded").asInt();
    voice.clicked = info.get("clicked").asInt();
    voice.fav_amount = info.get("fav_amount").asInt();
    voice.fav_persons = info.get("fav_persons").asInt();
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(descriptor, ec);
    voice.mtime = ec ? 0 : toSystemSeconds(written);
    return true;
}

void localVoices(std::vector<LocalVoice>& voices) {
    std::error_code ec;
    for (fs::directory_iterator it(fs::u8path(voicesRoot()), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_directory(typeEc)) {
            continue;
        }
        const fs::path dir = it->path();
        fs::path modelPath;
        fs::path configPath;
        if (!loadVoiceBase(dir, modelPath, configPath)) {
            continue;
        }
        std::error_code spkEc;
        for (fs::directory_iterator spk(dir / "speakers", spkEc), spkEnd; !spkEc && spk != spkEnd;
             spk.increment(spkEc)) {
            if (!isSpeakerFileName(spk->path().filename().string())) {
                continue;
            }
            LocalVoice voice;
            if (!loadSpkInfo(spk->path(), voice)) {
                continue;
            }
            voice.dir = dir;
            voice.modelPath = modelPath;
            voice.configPath = configPath;
            voices.push_back(std::move(voice));
        }
    }
    std::sort(voices.begin(), voices.end(),
              [](const LocalVoice& a, const LocalVoice& b) { return a.mtime > b.mtime; });
}

bool findLocalVoice(const std::string& uid, int spk, LocalVoice& voice) {
    // The uid arrives in worker requests: it must name a folder inside the store, never outside it.
    if (uid.empty() || uid == "." || uid == ".." || uid.find('/') != std::string::npos) {
        return false;
    }
    const fs::path dir = fs::u8path(voicesRoot()) / fs::u8path(uid);
    fs::path modelPath;
    fs::path configPath;
    if (!loadVoiceBase(dir, modelPath, configPath)) {
        return false;
    }
    LocalVoice found = voice;
    if (!loadSpkInfo(speakerFile(dir, spk), found)) {
        return false;
    }
    found.dir = dir;
    found.modelPath = modelPath;
    found.configPath = configPath;
    voice = std::move(found);
    return true;
}

bool removeLocalVocie(const LocalVoice& voice) {
    const fs::path descriptor = speakerFile(voice.dir, voice.spk);
    std::error_code ec;
    const fs::file_status st = tsfsys::status(descriptor, ec);
    if (ec || !fs::exists(st)) {
        return true;
    }
    if (!tsfsys::remove(descriptor, ec) || ec) {
        return false;
    }
    std::error_code listEc;
    fs::directory_iterator rest(voice.dir / "speakers", listEc);
    // A folder we cannot list may still hold speakers: keep the model then.
    if (listEc || rest != fs::directory_iterator()) {
        return true;
    }
    tsfsys::removeAll(voice.dir, ec);
    return true;
}
