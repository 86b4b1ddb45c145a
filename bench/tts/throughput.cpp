// Conversion throughput of a 50-sentence text: through TTSTaskMgr and worker processes (the path the
// interface uses), and the same sentences synthesised in one process by PiperHelper alone.
//
//   tts_throughput [--workers N] [--sentences N]
//
// Figures are audio seconds per wall second. The benchmark voice (tools/voicegen --bench) is
// generated into a temporary home; N workers default to tts_threads().

#include "common/qt_osdirs.h"
#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "tts/engine/piperhelper.h"
#include "tts/ttsconverter.h"
#include "tts/ttssentences.h"
#include "tts/ttsworker.h"
#include "voices/localvoices.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* const kPhrases[] = {
    "The morning train left the station a few minutes late.",
    "She opened the window and listened to the rain on the roof.",
    "Every chapter of the report ends with a short summary.",
    "Please remember to switch off the lights before you leave.",
    "The museum is open every day except on public holidays.",
};

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string benchText(int sentences) {
    std::string text;
    for (int i = 0; i < sentences; ++i) {
        text += kPhrases[i % 5];
        text += ' ';
    }
    return text;
}

struct Figures {
    double wall = 0;
    double audio = 0;
    int failures = 0;
};

Figures throughWorkers(const LocalVoice& voice, const std::vector<std::string>& sentences, int workers,
                       bool prestart, const std::string& dir) {
    Figures f;
    TTSTaskMgr mgr(workers);
    mgr.setPrestart(prestart);
    mgr.setWorkerProgram(QStringLiteral(PARLONA_EXECUTABLE));
    size_t reported = 0;
    QEventLoop loop;
    const auto start = Clock::now();
    for (size_t i = 0; i < sentences.size(); ++i) {
        const std::string wav = dir + "/s" + std::to_string(i) + ".wav";
        tts_convert_process_client(mgr, voice, 1.0f, {sentences[i]}, wav,
                                   [&](bool ok, const std::string& message, double seconds) {
                                       f.audio += seconds;
                                       if (!ok) {
                                           ++f.failures;
                                           std::fprintf(stderr, "worker failed: %s\n", message.c_str());
                                       }
                                       if (++reported == sentences.size()) {
                                           loop.quit();
                                       }
                                   });
    }
    if (reported < sentences.size()) {
        loop.exec();
    }
    f.wall = secondsSince(start);
    return f;
}

Figures inOneProcess(const LocalVoice& voice, const std::vector<std::string>& sentences) {
    Figures f;
    const auto start = Clock::now();
    PiperHelper engine;
    PiperHelper::RunConfig config;
    config.modelPath = voice.modelPath;
    config.modelConfigPath = voice.configPath;
    config.speakerId = voice.spk;
    config.eSpeakDataPath = eSpeakDataPath();
    if (!engine.load(config, [](const std::vector<int16_t>&) {})) {
        std::fprintf(stderr, "load failed: %s\n", engine.error.c_str());
        f.failures = 1;
        return f;
    }
    for (const std::string& sentence : sentences) {
        f.failures += engine.update(sentence) ? 0 : 1;
    }
    f.wall = secondsSince(start);
    f.audio = engine.sampleCount / static_cast<double>(engine.voiceConf().sampleRate);
    return f;
}

void print(const char* label, const Figures& f, size_t sentences) {
    std::printf("%-40s %6.2f s wall  %6.2f s audio  %6.2f audio s / wall s  %6.0f ms / sentence%s\n", label,
                f.wall, f.audio, f.wall > 0 ? f.audio / f.wall : 0.0,
                1000 * f.wall / static_cast<double>(sentences), f.failures ? "  (FAILURES)" : "");
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    int workers = tts_threads();
    int count = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--workers") == 0) {
            workers = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--sentences") == 0) {
            count = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    TempHome home;
    TestVoiceSpec spec;
    spec.uid = "bench";
    spec.bench = true;
    std::string err;
    if (!makeTestVoice(voicesRoot(), spec, err)) {
        std::fprintf(stderr, "cannot generate the benchmark voice: %s\n", err.c_str());
        return 1;
    }
    LocalVoice voice;
    if (!findLocalVoice("bench", 0, voice)) {
        std::fprintf(stderr, "benchmark voice not found\n");
        return 1;
    }
    const std::vector<std::string> sentences = tts_sentences(benchText(count));
    std::printf("%zu sentences, %d worker(s) at a time, tts_threads() = %d\n", sentences.size(), workers,
                tts_threads());
    const Figures one = inOneProcess(voice, sentences);
    const Figures cold = throughWorkers(voice, sentences, workers, false, home.path());
    const Figures warm = throughWorkers(voice, sentences, workers, true, home.path());
    print("PiperHelper in one process:", one, sentences.size());
    print("TTSTaskMgr, workers started on demand:", cold, sentences.size());
    print("TTSTaskMgr, next worker started ahead:", warm, sentences.size());
    return one.failures || cold.failures || warm.failures ? 1 : 0;
}
