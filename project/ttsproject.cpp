#include "project/ttsproject.h"

#include "common/qt_osdirs.h"
#include "common/stringformat.h"
#include "common/tsfsys.h"
#include "project/spkcolor.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace fs = std::filesystem;

namespace {

const char kManifest[] = "manifest";
const char kDatabase[] = "ttsdata";

fs::path ensureDir(const fs::path& dir) {
    std::error_code ec;
    if (!tsfsys::exists(dir, ec)) {
        tsfsys::createDirectories(dir, ec);
    }
    return dir;
}

// Writes the whole text and flushes it to disk; false with errno set on failure.
bool writeFile(const fs::path& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0 &&
              fsync(fileno(file)) == 0;
    const int error = errno;
    ok = std::fclose(file) == 0 && ok;
    if (!ok && errno == 0) {
        errno = error;
    }
    return ok;
}

} // namespace

bool TTSProject::create(const fs::path& folder, const std::string& name, const ProjectVoice& voice,
                        float speed) {
    path_ = folder;
    ensureDir(path_);
    if (!db.open((path_ / kDatabase).string())) {
        lastError_ = db.lastError();
        return false;
    }
    manifest_ = JSONObject::parse("{}");
    jsonbuild::addString(manifest_.value(), "project_name", name);
    const int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    jsonbuild::addInt64(manifest_.value(), "created", now);
    if (!saveManifest()) {
        lastError_ = "Save manifest failed. " + lastError_;
        return false;
    }
    if (!db.setDefaultVoice(voice, speed, spkcolor(0))) {
        lastError_ = "set_default_voice failed. " + db.lastError();
        return false;
    }
    return true;
}

bool TTSProject::open(const fs::path& folder) {
    path_ = folder;
    const fs::path database = path_ / kDatabase;
    std::error_code ec;
    if (!tsfsys::exists(database, ec)) {
        lastError_ = "Invalid database.";
        return false;
    }
    if (!db.open(database.string())) {
        lastError_ = db.lastError();
        return false;
    }
    load(path_);
    return true;
}

bool TTSProject::load(const fs::path& folder) {
    path_ = folder;
    manifest_ = JSONObject::parseFile((path_ / kManifest).string());
    return manifest_.isObject();
}

bool TTSProject::saveManifest() {
    if (path_.empty()) {
        lastError_ = std::strerror(ENOENT); // no folder yet: never write into the working directory
        return false;
    }
    const std::string text = manifest_.isNull() ? std::string() : jsonbuild::toString(manifest_.value());
    const fs::path target = path_ / kManifest;
    // Written beside and renamed into place, so a crash never leaves a half-written manifest.
    fs::path temporary = target;
    temporary += ".tmp";
    errno = 0;
    if (!writeFile(temporary, text)) {
        lastError_ = std::strerror(errno);
        std::error_code ec;
        tsfsys::remove(temporary, ec);
        return false;
    }
    std::error_code ec;
    tsfsys::rename(temporary, target, ec);
    if (ec) {
        lastError_ = ec.message();
        tsfsys::remove(temporary, ec);
        return false;
    }
    return true;
}

void TTSProject::setProjectName(const std::string& name) {
    if (manifest_.isObject()) {
        jsonbuild::addString(manifest_.value(), "project_name", name);
    }
}

std::string TTSProject::projectName() const {
    return manifest_.get("project_name").asString();
}

int64_t TTSProject::created() const {
    return manifest_.get("created").asInt64();
}

fs::path TTSProject::audioDir() const {
    return ensureDir(path_ / "audio");
}

fs::path TTSProject::wavPath() const {
    return audioDir() / "audio.wav";
}

fs::path TTSProject::segWav(int segId) const {
    return audioDir() / string_format("seg%d.wav", segId);
}

fs::path TTSProject::segSentencesDir(int segId) const {
    return ensureDir(audioDir() / string_format("seg%d-sentences", segId));
}

fs::path TTSProject::segSentencesWav(int segId, int sentence) const {
    return segSentencesDir(segId) / string_format("%d.wav", sentence);
}

void TTSProject::removeSegWav(int segId) const {
    const fs::path dir = audioDir();
    std::error_code ec;
    tsfsys::remove(dir / "audio.wav", ec);
    tsfsys::remove(dir / string_format("seg%d.wav", segId), ec);
    tsfsys::removeAll(dir / string_format("seg%d-sentences", segId), ec);
}

void ttsprojects(std::vector<TTSProjectInfo>& list) {
    list.clear();
    std::vector<fs::path> folders;
    {
        std::lock_guard<std::mutex> lock(tsfsys::mu);
        std::error_code ec;
        for (fs::directory_iterator it(projectsDir(), ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code typeError;
            if (it->is_directory(typeError)) {
                folders.push_back(it->path());
            }
        }
    }
    for (const auto& folder : folders) {
        TTSProject project;
        if (!project.load(folder)) {
            continue;
        }
        list.push_back({project.projectName(), folder.string(), project.created()});
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const TTSProjectInfo& a, const TTSProjectInfo& b) { return a.created > b.created; });
}
