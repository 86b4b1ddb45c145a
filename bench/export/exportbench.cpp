// Times the in-process audio export of a 10-minute project file against the ffmpeg program running
// the same command line, in the same run, and prints the ratio (below 1: ours is faster).
//   bench_export [minutes] [rounds]

#include "export/ttsexport.h"
#include "project/ttsproject.h"
#include "tts/engine/piperhelper.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// Speech-like test audio: a gliding tone with pauses, 22050 Hz mono 16-bit.
bool writeProjectWav(const std::string& path, int seconds) {
    const uint32_t samples = static_cast<uint32_t>(seconds) * 22050;
    std::string bytes = pp_wavheader(22050, 2, 1, samples);
    bytes.reserve(bytes.size() + samples * 2);
    double phase = 0;
    for (uint32_t i = 0; i < samples; ++i) {
        const double t = i / 22050.0;
        const bool pause = std::fmod(t, 3.0) > 2.4;
        phase += 2 * M_PI * (180 + 60 * std::sin(t * 2.1)) / 22050.0;
        const double v = pause ? 0 : 9000 * std::sin(phase) + 2000 * std::sin(3.1 * phase);
        const auto sample = static_cast<int16_t>(std::lround(v));
        bytes.append(reinterpret_cast<const char*>(&sample), 2);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

double secondsOf(const std::function<bool()>& work, bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    ok = work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

} // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir dir;
    TTSProject project;
    project.load(dir.filePath("project").toStdString());
    const std::string source = project.wavPath().string();
    if (!writeProjectWav(source, minutes * 60)) {
        std::fprintf(stderr, "cannot write %s\n", source.c_str());
        return 1;
    }
    // Two segments and combine: the export converts the joined project file, as the editor does.
    std::vector<ProjectSeg> segs(2);
    segs[0].id = 1;
    segs[1].id = 2;
    const auto voiceOf = [](int) { return ProjectVoice(); };

    std::printf("%d-minute project file, best of %d rounds\n", minutes, rounds);
    std::printf("%-6s %12s %12s %8s\n", "format", "export (s)", "ffmpeg (s)", "ratio");
    for (const std::string ext : {".mp3", ".aac"}) {
        double ours = 1e9;
        double theirs = 1e9;
        for (int r = 0; r < rounds; ++r) {
            TTSExportContext ctx;
            bool ok = false;
            const double t1 = secondsOf(
                [&] {
                    tts_export(project, segs, voiceOf, dir.path().toStdString(), ext, true, false, ".txt",
                               false, ctx);
                    return ctx.ok;
                },
                ok);
            if (!ok) {
                std::fprintf(stderr, "export failed: %s\n", ctx.error.c_str());
                return 1;
            }
            const std::string target = dir.filePath(QString::fromStdString("cli" + ext)).toStdString();
            const std::string command = "ffmpeg -nostdin -loglevel error -vn -i " + quoted(source) +
                                        " -ac 2 -ar 22050 -y " + quoted(target);
            const double t2 = secondsOf([&] { return std::system(command.c_str()) == 0; }, ok);
            if (!ok) {
                std::fprintf(stderr, "ffmpeg failed: %s\n", command.c_str());
                return 1;
            }
            ours = std::min(ours, t1);
            theirs = std::min(theirs, t2);
        }
        std::printf("%-6s %12.3f %12.3f %8.3f\n", ext.c_str() + 1, ours, theirs, ours / theirs);
    }
    return 0;
}
