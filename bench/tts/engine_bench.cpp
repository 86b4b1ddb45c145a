// Model load time and synthesis real-time factor of the speech engine alone.
//
//   engine_bench [--model X.onnx --config X.onnx.json] [--runs N] [--sid N]
//
// Without --model it generates the ~60 MB benchmark voice (tools/voicegen --bench) into a
// temporary folder. The first load includes starting ONNX Runtime and espeak-ng; later loads are
// what each further model load in one process costs. A worker process always pays the first.

#include "common/qt_osdirs.h"
#include "tests/support/testvoices.h"
#include "tts/engine/ortsession.h"
#include "tts/engine/piperhelper.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* const kSentences[] = {
    "A rainbow is a meteorological phenomenon that is caused by reflection, refraction and dispersion of "
    "light in water droplets resulting in a spectrum of light appearing in the sky.",
    "It takes the form of a multi-colored circular arc.",
    "Rainbows caused by sunlight always appear in the section of sky directly opposite the Sun.",
};

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

struct Args {
    std::string model;
    std::string config;
    int runs = 5;
    long sid = -1;
};

bool parseArgs(int argc, char** argv, Args& a) {
    for (int i = 1; i < argc; ++i) {
        const std::string k = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        if (k == "--model" && v) {
            a.model = v;
        } else if (k == "--config" && v) {
            a.config = v;
        } else if (k == "--runs" && v) {
            a.runs = std::max(1, std::atoi(v));
        } else if (k == "--sid" && v) {
            a.sid = std::atol(v);
        } else {
            std::fprintf(stderr,
                         "usage: engine_bench [--model X.onnx --config X.onnx.json] [--runs N] [--sid N]\n");
            return false;
        }
        ++i;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Args args;
    if (!parseArgs(argc, argv, args)) {
        return 2;
    }
    QTemporaryDir tmp;
    if (args.model.empty()) {
        TestVoiceSpec spec;
        spec.uid = "bench";
        spec.bench = true;
        std::string err;
        const auto start = Clock::now();
        if (!makeTestVoice(tmp.path().toStdString(), spec, err)) {
            std::fprintf(stderr, "cannot generate the benchmark voice: %s\n", err.c_str());
            return 1;
        }
        std::printf("generated benchmark voice in %.0f ms\n", msSince(start));
        args.model = tmp.path().toStdString() + "/bench/bench.onnx";
        args.config = args.model + ".json";
    }
    if (args.config.empty()) {
        args.config = args.model + ".json";
    }

    PiperHelper::RunConfig config;
    config.modelPath = args.model;
    config.modelConfigPath = args.config;
    config.eSpeakDataPath = std::filesystem::path(eSpeakDataPath());
    if (args.sid >= 0) {
        config.speakerId = args.sid;
    }

    std::error_code ec;
    std::printf("model %s (%.1f MB)\n", args.model.c_str(),
                static_cast<double>(std::filesystem::file_size(args.model, ec)) / 1e6);
    std::vector<double> loads;
    std::vector<double> rtfs;
    double firstLoad = 0;
    for (int run = 0; run < args.runs; ++run) {
        PiperHelper engine;
        size_t samples = 0;
        auto start = Clock::now();
        if (!engine.load(config, [&](const std::vector<int16_t>& s) { samples += s.size(); })) {
            std::fprintf(stderr, "load failed: %s\n", engine.error.c_str());
            return 1;
        }
        const double loadMs = msSince(start);
        if (run == 0) {
            firstLoad = loadMs;
        } else {
            loads.push_back(loadMs);
        }
        for (const char* sentence : kSentences) {
            samples = 0;
            start = Clock::now();
            if (!engine.update(sentence)) {
                std::fprintf(stderr, "synthesis failed: %s\n", engine.error.c_str());
                return 1;
            }
            const double ms = msSince(start);
            const double audioMs = 1000.0 * static_cast<double>(samples) / engine.voiceConf().sampleRate;
            rtfs.push_back(ms / audioMs);
            if (run == 0) {
                std::printf("  %5.0f ms for %5.0f ms of audio (RTF %.3f)\n", ms, audioMs, ms / audioMs);
            }
        }
    }
    std::printf("ONNX Runtime %s, 1 intra-op and 1 inter-op thread, full graph optimisation\n",
                ortVersion().c_str());
    std::printf("first load (runtime + espeak-ng + model): %.0f ms\n", firstLoad);
    if (!loads.empty()) {
        std::printf("later loads (model only), median of %zu: %.0f ms\n", loads.size(), median(loads));
    }
    std::printf("synthesis real-time factor, median of %zu sentences: %.3f\n", rtfs.size(), median(rtfs));
    return 0;
}
