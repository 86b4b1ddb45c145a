#include "audio/audioplayer.h"

#include "common/q2str.h"
#include "tests/support/eventloop.h"
#include "tests/support/testaudio.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// Generous bounds for things that must happen; never a measure of speed.
constexpr int kWaitMs = 10000;

class AudioPlayerTest : public ::testing::Test {
protected:
    // SDL reads the driver when the first player opens its device; tests that need another one set
    // it before their first play.
    void SetUp() override { qputenv("SDL_AUDIODRIVER", "dummy"); }

    std::string path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }

    QString tone(const std::string& name, double seconds, int rate = 22050) {
        const std::string file = path(name);
        EXPECT_TRUE(writeTestWav(file, testTone(seconds, rate, 440.0, 0.3), rate, 1));
        return QString::fromStdString(file);
    }

    AudioPlayer::FinishedFn finished(const std::string& name) {
        return [this, name](bool ok, const QString& message) {
            log_.push_back(name + ".finished(" + (ok ? "true" : "false") + "," + q2str(message) + ")");
        };
    }

    AudioPlayer::StartFn started(const std::string& name) {
        return [this, name]() { log_.push_back(name + ".start"); };
    }

    bool logged(const std::string& entry) const {
        for (const std::string& e : log_) {
            if (e == entry) {
                return true;
            }
        }
        return false;
    }

    bool waitFor(const std::string& entry) {
        return waitUntil([&]() { return logged(entry); }, kWaitMs);
    }

    QTemporaryDir dir_;
    std::vector<std::string> log_;
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(AudioPlayerTest, StopWithoutSoundCallsNothing) {
    AudioPlayer player;
    player.stop();
    spinFor(100);
    EXPECT_TRUE(log_.empty());

    player.play(tone("a.wav", 0.2), finished("a"), started("a"));
    ASSERT_TRUE(waitFor("a.finished(true,)"));
    player.stop();
    spinFor(100);
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)"}));
    EXPECT_EQ(player.currentSeconds(), 0.0);
    EXPECT_EQ(player.currentTime(), 0.0);
    player.seekSeconds(1);
    player.setPause(true);
}

TEST_F(AudioPlayerTest, SoundPlaysToItsEndAndReportsOnce) {
    AudioPlayer player;
    bool played = false;
    player.play(tone("a.wav", 0.5), finished("a"), started("a"));
    EXPECT_TRUE(log_.empty()); // nothing is called from inside play
    ASSERT_TRUE(waitUntil(
        [&]() {
            played = played || player.currentSeconds() > 0.1;
            return logged("a.finished(true,)");
        },
        kWaitMs));
    EXPECT_TRUE(played);
    spinFor(600);
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)"}));
}

TEST_F(AudioPlayerTest, UnplayableFilesReportAfterStart) {
    const std::string missing = path("missing.wav");
    QFile probe(QString::fromStdString(missing));
    ASSERT_FALSE(probe.open(QIODevice::ReadOnly));
    const std::string text = path("text.wav");
    {
        QFile f(QString::fromStdString(text));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a sound\n");
    }
    struct Case {
        std::string file;
        std::string message;
    };
    const Case cases[] = {
        {missing, "Can not open WAV File!" + q2str(probe.errorString())},
        {text, "Can not open WAV File!"},
    };
    AudioPlayer player;
    for (const Case& c : cases) {
        log_.clear();
        player.play(QString::fromStdString(c.file), finished("a"), started("a"));
        ASSERT_TRUE(waitFor("a.finished(false," + c.message + ")")) << c.file;
        spinFor(100);
        EXPECT_EQ(log_, (Log{"a.start", "a.finished(false," + c.message + ")"}));
        EXPECT_EQ(player.currentSeconds(), 0.0);
    }
}

TEST_F(AudioPlayerTest, ReplacingPlayingSoundTellsOldCallbackFirst) {
    AudioPlayer player;
    player.play(tone("a.wav", 5.0), finished("a"), started("a"));
    ASSERT_TRUE(waitUntil([&]() { return player.currentSeconds() > 0.05; }, kWaitMs));
    player.play(tone("b.wav", 0.5), finished("b"), started("b"));
    ASSERT_TRUE(waitFor("b.start"));
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)", "b.start"}));
    ASSERT_TRUE(waitFor("b.finished(true,)"));
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)", "b.start", "b.finished(true,)"}));
}

TEST_F(AudioPlayerTest, StopThenPlayTellsOnlyTheStoppedCallback) {
    AudioPlayer player;
    player.play(tone("a.wav", 5.0), finished("a"), started("a"));
    ASSERT_TRUE(waitUntil([&]() { return player.currentSeconds() > 0.05; }, kWaitMs));
    player.stop();
    player.play(tone("b.wav", 5.0), finished("b"), started("b"));
    ASSERT_TRUE(waitUntil([&]() { return logged("b.start") && player.currentSeconds() > 0.05; }, kWaitMs));
    spinFor(600);
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)", "b.start"}));
}

// Both plays are queued before the first file is decoded: the first counts as replaced.
TEST_F(AudioPlayerTest, PlayRightAfterPlayReplacesTheLoadingSound) {
    AudioPlayer player;
    player.play(tone("a.wav", 5.0), finished("a"), started("a"));
    player.play(tone("b.wav", 0.3), finished("b"), started("b"));
    ASSERT_TRUE(waitFor("b.finished(true,)"));
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)", "b.start", "b.finished(true,)"}));
}

// A stop queued before the file is decoded ends that playback; its sound never starts.
TEST_F(AudioPlayerTest, StopRightAfterPlayEndsTheLoadingSound) {
    AudioPlayer player;
    player.play(tone("a.wav", 5.0), finished("a"), started("a"));
    player.stop();
    ASSERT_TRUE(waitFor("a.finished(true,)"));
    spinFor(300);
    EXPECT_EQ(player.currentSeconds(), 0.0);
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)"}));
}

TEST_F(AudioPlayerTest, PausedSoundIsNeverReportedAsEnded) {
    AudioPlayer player;
    player.play(tone("a.wav", 0.4), finished("a"), started("a"));
    ASSERT_TRUE(waitUntil([&]() { return player.currentSeconds() > 0.0; }, kWaitMs));
    player.setPause(true);
    const double pausedAt = player.currentSeconds();
    spinFor(1500);
    EXPECT_EQ(log_, (Log{"a.start"}));
    EXPECT_EQ(player.currentSeconds(), pausedAt);
    player.setPause(false);
    ASSERT_TRUE(waitFor("a.finished(true,)"));
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)"}));
}

TEST_F(AudioPlayerTest, SeekMovesStreamPositionNotPlayTime) {
    AudioPlayer player;
    player.play(tone("a.wav", 3.0), finished("a"), started("a"));
    ASSERT_TRUE(waitUntil([&]() { return player.currentSeconds() > 0.0; }, kWaitMs));
    player.seekSeconds(2);
    EXPECT_GE(player.currentSeconds(), 2.0);
    EXPECT_LT(player.currentTime(), player.currentSeconds() - 1.0);
    ASSERT_TRUE(waitFor("a.finished(true,)"));
}

// The end found for one sound must not stop the sound that replaced it.
TEST_F(AudioPlayerTest, EndOfReplacedSoundNeverStopsTheNext) {
    AudioPlayer player;
    player.play(tone("a.wav", 0.1), finished("a"), started("a"));
    ASSERT_TRUE(waitUntil([&]() { return player.currentTime() > 0.0; }, kWaitMs));
    // The voice has ended but the next poll is still far away: the sound is still current.
    ASSERT_TRUE(waitUntil([&]() { return player.currentTime() == 0.0; }, kWaitMs));
    player.checkEnd();
    player.play(tone("b.wav", 1.0), finished("b"), started("b"));
    bool bPlayed = false;
    ASSERT_TRUE(waitUntil(
        [&]() {
            bPlayed = bPlayed || player.currentSeconds() > 0.3;
            return logged("b.finished(true,)");
        },
        kWaitMs));
    EXPECT_TRUE(bPlayed);
    EXPECT_EQ(log_, (Log{"a.start", "a.finished(true,)", "b.start", "b.finished(true,)"}));
}

TEST_F(AudioPlayerTest, DeviceFailureIsReportedAndNextPlayRetries) {
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    AudioPlayer player;
    player.play(tone("a.wav", 0.2), finished("a"), started("a"));
    ASSERT_TRUE(waitFor("a.finished(false,Player init failed!)"));
    spinFor(100);
    EXPECT_EQ(log_, (Log{"a.finished(false,Player init failed!)"}));
    EXPECT_EQ(player.currentSeconds(), 0.0);

    qputenv("SDL_AUDIODRIVER", "dummy");
    player.play(tone("b.wav", 0.2), finished("b"), started("b"));
    ASSERT_TRUE(waitFor("b.finished(true,)"));
    EXPECT_EQ(log_, (Log{"a.finished(false,Player init failed!)", "b.start", "b.finished(true,)"}));
}

TEST_F(AudioPlayerTest, DestroyedPlayerCallsNothingMore) {
    {
        AudioPlayer player;
        player.play(tone("a.wav", 5.0), finished("a"), started("a"));
        ASSERT_TRUE(waitUntil([&]() { return player.currentSeconds() > 0.0; }, kWaitMs));
        player.play(tone("b.wav", 5.0), finished("b"), started("b"));
    }
    spinFor(300);
    EXPECT_EQ(log_, (Log{"a.start"}));
}

// The samples written by SDL's disk driver are the file's samples at volume 2.0 through the mixer's
// pan and clipping curve, none lost, none added, and the end is reported only after all of them.
TEST_F(AudioPlayerTest, DeviceReceivesScaledAndClippedSamples) {
    const std::string output = path("device.raw");
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QByteArray::fromStdString(output));
    const int rate = 44100;
    std::vector<int16_t> samples = testTone(0.3, rate, 441.0, 0.9);
    samples[0] = 1000; // a first sample that is not silence marks where the sound starts
    const std::string file = path("known.wav");
    ASSERT_TRUE(writeTestWav(file, samples, rate, 1));

    AudioPlayer player;
    player.play(QString::fromStdString(file), finished("a"), started("a"));
    ASSERT_TRUE(waitFor("a.finished(true,)"));

    QFile raw(QString::fromStdString(output));
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    const auto* out = reinterpret_cast<const float*>(bytes.constData());
    const size_t frames = static_cast<size_t>(bytes.size()) / (2 * sizeof(float));
    size_t first = 0;
    while (first < frames && out[2 * first] == 0.0f) {
        ++first;
    }
    ASSERT_LE(first + samples.size(), frames) << "the end was reported before every sample was played";
    const float side = 2.0f * 0.70710678f;
    for (size_t i = 0; i < samples.size(); ++i) {
        float v = side * samples[i] / 32768.0f;
        float clipped = v >= 1.65f ? 0.9862875f : v <= -1.65f ? -0.9862875f : 0.87f * v - 0.1f * v * v * v;
        ASSERT_NEAR(out[2 * (first + i)], 0.95f * clipped, 1e-5) << "frame " << i;
        ASSERT_EQ(out[2 * (first + i)], out[2 * (first + i) + 1]) << "frame " << i;
    }
    for (size_t i = first + samples.size(); i < frames; ++i) {
        ASSERT_EQ(out[2 * i], 0.0f) << "frame " << i << " after the sound";
    }
}
