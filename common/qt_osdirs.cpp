#include "common/qt_osdirs.h"

#include "common/q2str.h"
#include "common/tsfsys.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

std::string joinPath(const std::string& a, const std::string& b) {
    if (!a.empty() && a.back() == '/') {
        return a + b;
    }
    return a + "/" + b;
}

bool missing(const fs::file_status& st, const std::error_code& ec) {
    return ec || st.type() == fs::file_type::not_found || st.type() == fs::file_type::none;
}

std::string ensureDir(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (missing(st, ec)) {
        fs::create_directories(path, ec);
    }
    return path;
}

} // namespace

std::string homeDir() {
    return q2str(QDir(QDir::homePath()).absolutePath());
}

std::string sysTempDir() {
    std::error_code ec;
    const fs::path p = fs::temp_directory_path(ec);
    return ec ? std::string() : p.string();
}

std::string appDataRoot() {
#ifdef __APPLE__
    return joinPath(homeDir(), "Library/Application Support");
#else
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') {
        return xdg;
    }
    return joinPath(homeDir(), ".local/share");
#endif
}

std::string appDataDir() {
    const std::string path = joinPath(appDataRoot(), "parlona_text2speech_mac");
    std::lock_guard<std::mutex> lock(tsfsys::mu);
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (missing(st, ec)) {
        fs::create_directories(path, ec);
    }
    return path;
}

std::string voicesRoot() {
    return ensureDir(joinPath(appDataDir(), "voices"));
}

std::string projectsDir() {
    return ensureDir(joinPath(homeDir(), "parlona_text2speech_projects"));
}

std::string executableDir() {
    if (QCoreApplication::instance()) {
        return q2str(QCoreApplication::applicationDirPath());
    }
    // Before the application object exists (or in plain unit tests) ask the platform directly.
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    return q2str(QFileInfo(self.symLinkTarget()).absolutePath());
}

std::string eSpeakDataPath() {
    return joinPath(executableDir(), "../Resources/espeak-ng-data");
}

std::string tashkeelModelPath() {
    return joinPath(executableDir(), "../Resources/libtashkeel_model.ort");
}
