#include "export/ffmpegcmd.h"

#include "export/audiotranscode.h"
#include "export/avloger.h"

extern "C" {
#include <libavutil/log.h>
}

#include <cstdlib>
#include <cstring>

namespace {

bool parsePositive(const char* text, int maxValue, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!*text || *end || v <= 0 || v > maxValue) {
        return false;
    }
    value = static_cast<int>(v);
    return true;
}

// The command line proper, as the ffmpeg program would take it (argv[0] is the program name).
int runCommandLine(int argc, char** argv) {
    const bool shapeOk = argc == 10 && std::strcmp(argv[1], "-vn") == 0 && std::strcmp(argv[2], "-i") == 0 &&
                         std::strcmp(argv[4], "-ac") == 0 && std::strcmp(argv[6], "-ar") == 0 &&
                         std::strcmp(argv[8], "-y") == 0 && *argv[3] && *argv[9];
    if (!shapeOk) {
        std::string given;
        for (int i = 1; i < argc; ++i) {
            given += std::string(" ") + argv[i];
        }
        av_log(nullptr, AV_LOG_ERROR,
               "Unsupported command line:%s (expected -vn -i SOURCE -ac N -ar RATE -y TARGET)\n",
               given.c_str());
        return 1;
    }
    int channels = 0;
    if (!parsePositive(argv[5], 2, channels)) {
        av_log(nullptr, AV_LOG_ERROR, "Invalid channel count '%s' (1 or 2)\n", argv[5]);
        return 1;
    }
    int rate = 0;
    if (!parsePositive(argv[7], 384000, rate)) {
        av_log(nullptr, AV_LOG_ERROR, "Invalid sample rate '%s'\n", argv[7]);
        return 1;
    }
    return transcodeAudio(argv[3], argv[9], channels, rate);
}

} // namespace

int ffmpeg_main(std::vector<std::string> args, std::string* log) {
    if (log) {
        AVLoger::tdbuf.clear();
        AVLoger::registerCallback();
    }
    args.insert(args.begin(), std::string());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int status = runCommandLine(static_cast<int>(args.size()), argv.data());
    if (log) {
        *log = AVLoger::tdbuf;
        AVLoger::tdbuf.clear();
        AVLoger::unregisterCallback();
    }
    return status;
}
