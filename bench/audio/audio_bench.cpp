// Figures for the audio player: full decode time of 10-minute files, the longest stall of the main
// thread while such a file starts, and how long after the real end a sound is reported as ended.
// Run by hand: bench_audio [minutes]. Uses SDL's dummy driver unless SDL_AUDIODRIVER is set.

#include "audio/audiodecoder.h"
#include "audio/audioplayer.h"
#include "audio/audioplayerfile.h"
#include "audio/audiosound.h"

#include "tests/support/eventloop.h"
#include "tests/support/testaudio.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double decodeMs(const std::string& file, AudioSound& sound) {
    AudioPlayerFile f;
    f.setFileName(QString::fromStdString(file));
    if (!f.open()) {
        return -1;
    }
    std::string error;
    QElapsedTimer t;
    t.start();
    bool ok = decodeAudioFile(f, sound, error);
    double ms = t.nsecsElapsed() / 1e6;
    return ok ? ms : -1;
}

// Longest gap between 2 ms ticks of the main loop from play() until the sound is current.
double startStallMs(const std::string& file) {
    AudioPlayer player;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start();
    player.play(QString::fromStdString(file), nullptr, nullptr);
    waitUntil([&]() { return player.currentSeconds() > 0.0; }, 60000);
    return worst / 1e6;
}

double endLatencyMs(const std::string& file, double seconds) {
    AudioPlayer player;
    bool done = false;
    QElapsedTimer t;
    player.play(
        QString::fromStdString(file), [&](bool, const QString&) { done = true; }, [&]() { t.start(); });
    waitUntil([&]() { return done; }, 60000);
    return t.elapsed() - seconds * 1000.0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("SDL_AUDIODRIVER")) {
        qputenv("SDL_AUDIODRIVER", "dummy");
    }
    const double minutes = argc > 1 ? std::atof(argv[1]) : 10.0;
    QTemporaryDir dir;
    const std::string wav = dir.filePath("long.wav").toStdString();
    const std::string mp3 = dir.filePath("long.mp3").toStdString();
    const std::string mp3Stereo = dir.filePath("long44.mp3").toStdString();
    writeTestWav(wav, testTone(minutes * 60.0, 22050, 220.0, 0.4), 22050, 1);
    convertWithFfmpeg(wav, mp3, {"-c:a", "libmp3lame", "-b:a", "64k"});
    convertWithFfmpeg(wav, mp3Stereo, {"-c:a", "libmp3lame", "-ar", "44100", "-ac", "2", "-b:a", "128k"});

    std::printf("decode of a %.0f-minute file (best of 3):\n", minutes);
    struct Item {
        const char* name;
        std::string file;
    };
    for (const Item& item : {Item{"WAV 22050 Hz mono 16-bit", wav}, Item{"MP3 22050 Hz mono 64k", mp3},
                             Item{"MP3 44100 Hz stereo 128k", mp3Stereo}}) {
        double best = 1e300;
        AudioSound sound;
        for (int i = 0; i < 3; ++i) {
            best = std::min(best, decodeMs(item.file, sound));
        }
        std::printf("  %-26s %8.1f ms  (%.1f MB in memory)\n", item.name, best,
                    sound.samples.size() * sizeof(float) / 1e6);
    }
    std::printf("longest main-thread stall while starting:\n");
    for (const Item& item : {Item{"WAV", wav}, Item{"MP3 stereo", mp3Stereo}}) {
        std::printf("  %-26s %8.1f ms\n", item.name, startStallMs(item.file));
    }
    // Lengths spread over one polling period, so the figures cover every phase of the 500 ms poll.
    std::vector<double> lat;
    for (double seconds : {1.0, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.9}) {
        const std::string file = dir.filePath("short.wav").toStdString();
        writeTestWav(file, testTone(seconds, 22050, 220.0, 0.4), 22050, 1);
        lat.push_back(endLatencyMs(file, seconds));
    }
    std::sort(lat.begin(), lat.end());
    std::printf("end reported after the real end (10 sounds of 1.0 to 1.9 s): min %.0f ms, median %.0f ms, "
                "max %.0f ms\n",
                lat.front(), lat[lat.size() / 2], lat.back());
    return 0;
}
