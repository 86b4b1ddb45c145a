// Times the catalogue path a user waits on: package build, download and unpack, and samples.
// Prints one line per figure; run by hand (bin/bench_voices_catalog).

#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "voices/localvoices.h"
#include "voices/servervoices.h"

#include <QCoreApplication>
#include <QProcess>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

double seconds(const std::function<bool()>& work, bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    ok = work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TempHome home;
    const std::string catalog = home.path() + "/catalog";
    TestVoiceSpec spec;
    spec.uid = "en_US-bench-medium";
    spec.speakers = 2;
    spec.bench = true;
    std::string err;
    if (!makeTestVoice(catalog, spec, err)) {
        std::fprintf(stderr, "voice generation failed: %s\n", err.c_str());
        return 1;
    }
    const auto modelBytes = fs::file_size(fs::path(catalog) / spec.uid / (spec.uid + ".onnx"));

    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QStringLiteral(PARLONA_BINARY_DIR "/bin/parlona-catalog-server"),
                 {QStringLiteral("--voices"), QString::fromStdString(catalog), QStringLiteral("--port"),
                  QStringLiteral("0"), QStringLiteral("--cache"),
                  QString::fromStdString(home.path() + "/cache")});
    if (!server.waitForStarted(10000) || !server.waitForReadyRead(20000)) {
        std::fprintf(stderr, "server did not start\n");
        return 1;
    }
    const std::string line = server.readLine().trimmed().toStdString();
    const std::string url = line.substr(line.find("http://"));
    setenv("PARLONA_CATALOG_URL", url.c_str(), 1);

    ServerVoice voice;
    voice.uid = spec.uid;
    bool ok = false;
    const double first = seconds([&] { return installServerVoice(voice, err, nullptr, nullptr); }, ok);
    std::printf("model %.1f MB\n", modelBytes / 1048576.0);
    std::printf("install, package built on the server: %.2f s (%s)\n", first, ok ? "ok" : err.c_str());

    LocalVoice installed;
    findLocalVoice(spec.uid, 0, installed);
    removeLocalVocie(installed);
    const double second = seconds([&] { return installServerVoice(voice, err, nullptr, nullptr); }, ok);
    std::printf("install, package cached on the server: %.2f s, %.0f MB/s (%s)\n", second,
                modelBytes / 1048576.0 / second, ok ? "ok" : err.c_str());

    voice.spk = 1;
    const double more = seconds([&] { return installServerVoice(voice, err, nullptr, nullptr); }, ok);
    std::printf("install of a second speaker: %.4f s (%s)\n", more, ok ? "ok" : err.c_str());

    std::string path;
    const double made =
        seconds([&] { return !(path = downloadServerVoiceSample(spec.uid, 1, err, nullptr)).empty(); }, ok);
    std::printf("sample made by the server's engine: %.2f s (%s)\n", made, ok ? "ok" : err.c_str());
    fs::remove(path);
    const double cached =
        seconds([&] { return !downloadServerVoiceSample(spec.uid, 1, err, nullptr).empty(); }, ok);
    std::printf("sample cached on the server: %.4f s (%s)\n", cached, ok ? "ok" : err.c_str());

    server.terminate();
    server.waitForFinished(10000);
    return 0;
}
