// parlona-catalog-server: serves a folder of Piper voices as a Parlona voice catalogue.

#include "common/qt_osdirs.h"
#include "tools/catalogserver/catalogserver.h"
#include "tools/catalogserver/voicefolder.h"
#include "voices/serverurls.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <thread>

namespace fs = std::filesystem;

namespace {

const char* const kUsage =
    "usage: parlona-catalog-server --voices DIR [--port N] [--host ADDR] [--cache DIR] [--espeak-data DIR]\n"
    "  --voices DIR       folder with Piper voices (X.onnx + X.onnx.json, sub-folders too); the uid is X\n"
    "  --port N           port to listen on (default %d; 0 picks a free port)\n"
    "  --host ADDR        address to bind (default 127.0.0.1)\n"
    "  --cache DIR        where packages and made samples are kept (default DIR/.catalog-cache)\n"
    "  --espeak-data DIR  espeak-ng data for made samples (default: the bundle's, else the system's)\n"
    "Optional X.catalog.json beside a model adds what Piper lacks: {\"sex\": 2, \"user_name\": \"...\",\n"
    "\"sample_text\": \"...\", \"speakers\": {\"1\": {\"sex\": 1, \"user_name\": \"...\"}}} and may replace\n"
    "lang, eng, native, name, quality. Samples X.spkN.mp3 or X.spkN.wav beside a model are served as\n"
    "they are; otherwise one is made with the engine on first request and cached.\n"
    "Prints \"listening on http://ADDR:PORT/\" once ready; logs each request on standard error.\n";

void usage(FILE* out) {
    std::fprintf(out, kUsage, kDefaultCatalogPort);
}

fs::path defaultEspeakData() {
    const fs::path bundled = eSpeakDataPath();
    std::error_code ec;
    return fs::exists(bundled, ec) ? bundled : fs::path("/usr/lib/x86_64-linux-gnu/espeak-ng-data");
}

} // namespace

int main(int argc, char** argv) {
    fs::path voicesDir;
    CatalogServerOptions options;
    options.port = kDefaultCatalogPort;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--voices" && hasValue) {
            voicesDir = argv[++i];
        } else if (arg == "--port" && hasValue) {
            char* end = nullptr;
            const long port = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) {
                std::fprintf(stderr, "invalid port %s\n", argv[i]);
                return 2;
            }
            options.port = static_cast<int>(port);
        } else if (arg == "--host" && hasValue) {
            options.host = argv[++i];
        } else if (arg == "--cache" && hasValue) {
            options.cacheDir = argv[++i];
        } else if (arg == "--espeak-data" && hasValue) {
            options.espeakData = argv[++i];
        } else {
            usage(stderr);
            return 2;
        }
    }
    std::error_code ec;
    if (voicesDir.empty() || !fs::is_directory(voicesDir, ec)) {
        std::fprintf(stderr, "--voices must name a folder\n");
        usage(stderr);
        return 2;
    }
    voicesDir = fs::absolute(voicesDir, ec);
    if (options.cacheDir.empty()) {
        options.cacheDir = voicesDir / ".catalog-cache";
    }
    if (options.espeakData.empty()) {
        options.espeakData = defaultEspeakData();
    }
    fs::create_directories(options.cacheDir, ec);

    std::vector<std::string> warnings;
    std::vector<CatalogVoice> voices = scanVoiceFolder(voicesDir, options.cacheDir, warnings);
    for (const std::string& w : warnings) {
        std::fprintf(stderr, "warning: %s\n", w.c_str());
    }
    std::fprintf(stderr, "serving %zu voices from %s\n", voices.size(), voicesDir.c_str());

    // The server threads must not take the stop signals; the main thread waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const std::string host = options.host;
    CatalogServer server(std::move(voices), std::move(options));
    std::string err;
    const int port = server.bind(err);
    if (port < 0) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return 1;
    }
    std::printf("listening on http://%s:%d/\n", host.c_str(), port);
    std::fflush(stdout);

    bool served = true;
    std::thread serving([&] { served = server.run(); });
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    serving.join();
    return served ? 0 : 1;
}
