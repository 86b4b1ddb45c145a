#include "tts/ttssay.h"

#include "common/stringformat.h"
#include "common/tsfsys.h"
#include "tts/ttsconverter.h"
#include "tts/ttssentences.h"
#include "tts/ttsworker.h"
#include "voices/localvoices.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* const kSayUsage = "Usage: parlona --say \"text\" --voice UID[:SPK] [--speed S] --out file.wav\n";

struct SayOptions {
    std::string text;
    std::string uid;
    int spk = 0;
    float speed = 1.0f;
    std::string out;
};

bool parseNumber(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text, &end);
    return errno == 0 && end != text && *end == '\0';
}

bool parseArgs(int argc, char* argv[], SayOptions& options, std::string& error) {
    bool haveText = false;
    bool haveVoice = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            error = "Missing value after " + arg + ".";
            return false;
        }
        const char* value = argv[++i];
        if (arg == "--say") {
            options.text = value;
            haveText = true;
        } else if (arg == "--voice") {
            const std::string voice = value;
            const size_t colon = voice.rfind(':');
            options.uid = voice.substr(0, colon);
            double spk = 0;
            if (colon != std::string::npos &&
                (!parseNumber(voice.c_str() + colon + 1, spk) || spk < 0 || spk != static_cast<int>(spk))) {
                error = "Invalid speaker number in --voice " + voice + ".";
                return false;
            }
            options.spk = static_cast<int>(spk);
            haveVoice = !options.uid.empty();
        } else if (arg == "--speed") {
            double speed = 0;
            if (!parseNumber(value, speed) || speed < 0.1 || speed > 2.0) {
                error = std::string("Invalid speed ") + value + ": use a number from 0.1 to 2.0.";
                return false;
            }
            options.speed = static_cast<float>(speed);
        } else if (arg == "--out") {
            options.out = value;
        } else {
            error = "Unknown option " + arg + ".";
            return false;
        }
    }
    if (!haveText || !haveVoice || options.out.empty()) {
        error = "--say, --voice and --out are required.";
        return false;
    }
    return true;
}

// Converts every sentence with worker processes; false with `error` at the first failure.
bool convertSentences(const LocalVoice& voice, float speed, const std::vector<std::string>& sentences,
                      const std::vector<std::string>& files, std::string& error) {
    TTSTaskMgr mgr;
    size_t reported = 0;
    bool failed = false;
    QEventLoop loop;
    for (size_t i = 0; i < sentences.size(); ++i) {
        tts_convert_process_client(
            mgr, voice, speed, {sentences[i]}, files[i], [&, i](bool ok, const std::string& message, double) {
                ++reported;
                if (!ok && !failed) {
                    failed = true;
                    error = string_format("Sentence %d failed: %s", static_cast<int>(i + 1), message.c_str());
                    mgr.clearPending();
                }
            });
    }
    // The last report may come from a task that was dropped by clearPending: wait for idleness.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if ((reported == sentences.size() || failed) && mgr.isIdle()) {
            loop.quit();
        }
    });
    poll.start(20);
    loop.exec();
    return !failed;
}

} // namespace

int tts_say_main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    SayOptions options;
    std::string error;
    if (!parseArgs(argc, argv, options, error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), kSayUsage);
        return 1;
    }
    LocalVoice voice;
    if (!findLocalVoice(options.uid, options.spk, voice)) {
        std::fprintf(stderr, "Voice %s:%d is not installed.\n", options.uid.c_str(), options.spk);
        return 1;
    }
    const std::vector<std::string> sentences = tts_sentences(options.text);
    if (sentences.empty()) {
        std::fprintf(stderr, "There is no text to speak.\n");
        return 1;
    }
    // Sentence files go into a folder beside the output, which is replaced only once complete.
    const fs::path out = fs::u8path(options.out);
    const fs::path parts = fs::u8path(options.out + ".parts.tmp");
    const fs::path partial = fs::u8path(options.out + ".tmp");
    std::error_code ec;
    const fs::path folder = out.has_parent_path() ? out.parent_path() : fs::path(".");
    if (!fs::is_directory(tsfsys::status(folder, ec))) {
        std::fprintf(stderr, "%s(%s)\n", std::strerror(ENOENT), folder.u8string().c_str());
        return 1;
    }
    tsfsys::removeAll(parts, ec);
    if (!tsfsys::createDirectories(parts, ec) && ec) {
        std::fprintf(stderr, "%s(%s)\n", ec.message().c_str(), parts.u8string().c_str());
        return 1;
    }
    std::vector<std::string> files;
    for (size_t i = 0; i < sentences.size(); ++i) {
        files.push_back((parts / string_format("%d.wav", static_cast<int>(i))).u8string());
    }
    double seconds = 0;
    bool ok = convertSentences(voice, options.speed, sentences, files, error) &&
              tts_merge(files, partial.u8string(), seconds, error);
    if (ok) {
        tsfsys::rename(partial, out, ec);
        if (ec) {
            error = ec.message() + "(" + options.out + ")";
            ok = false;
        }
    }
    tsfsys::removeAll(parts, ec);
    if (!ok) {
        tsfsys::remove(partial, ec);
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("Wrote %s: %d sentences, %.2f seconds.\n", options.out.c_str(),
                static_cast<int>(sentences.size()), seconds);
    return 0;
}
