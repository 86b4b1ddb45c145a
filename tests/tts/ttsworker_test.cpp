#include "tts/ttsworker.h"

#include "common/qt_osdirs.h"
#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "tests/tts/wavtestutil.h"
#include "tests/tts/workerprocess.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace {

const char* const kSentence = "The quick brown fox jumps over the lazy dog.";

double zeroCrossings(const std::vector<int16_t>& samples) {
    int count = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        count += (samples[i - 1] < 0) != (samples[i] < 0);
    }
    return count;
}

class WorkerProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [uid, rate, speakers] :
             {std::make_tuple("single", 22050, 1), std::make_tuple("multi", 16000, 3)}) {
            TestVoiceSpec spec;
            spec.uid = uid;
            spec.sampleRate = rate;
            spec.speakers = speakers;
            std::string err;
            ASSERT_TRUE(makeTestVoice(voicesRoot(), spec, err)) << err;
        }
    }

    std::string out(const std::string& name) const { return home_.path() + "/" + name; }

    TempHome home_;
};

TEST_F(WorkerProtocolTest, GoodRequestsWriteSystemFormatFiles) {
    const struct {
        const char* name;
        const char* uid;
        QByteArray spk;
        QByteArray srate;
    } cases[] = {
        {"single", "single", "0", "1"},       {"single-slow", "single", "0", "0.5"},
        {"multi", "multi", "1", "1.0"},       {"multi-text-spk", "multi", "\"2\"", "1"},
        {"multi-spk2", "multi", "2", "1"},    {"multi-fast", "multi", "2", "2"},
        {"multi-no-srate", "multi", "2", ""},
    };
    for (const auto& c : cases) {
        const std::string wav = out(std::string(c.name) + ".wav");
        const WorkerRun run = runWorker(framed(requestBody(c.uid, c.spk, c.srate, wav, {kSentence})));
        ASSERT_TRUE(run.finished) << c.name;
        EXPECT_EQ(run.exitCode, 0) << c.name << ": " << run.err.constData();
        EXPECT_TRUE(run.err.isEmpty()) << c.name;
        EXPECT_TRUE(run.out.isEmpty()) << c.name;
        EXPECT_TRUE(readWav(wav).isSystemFormatAndComplete()) << c.name;
    }
    const double normal = readWav(out("single.wav")).seconds();
    EXPECT_GT(normal, 1.0);
    EXPECT_NEAR(readWav(out("single-slow.wav")).seconds() / normal, 1.25, 0.01);
    EXPECT_NEAR(readWav(out("multi.wav")).seconds() / normal, 1.0, 0.01);
    EXPECT_NEAR(readWav(out("multi-fast.wav")).seconds() / normal, 0.5, 0.01);
    // A missing speed reads as 0, which maps to a length scale of 1.5.
    EXPECT_NEAR(readWav(out("multi-no-srate.wav")).seconds() / normal, 1.5, 0.01);
    // The speaker sets the pitch: speaker 2 given as text sounds like speaker 2, not like speaker 1.
    const double spk1 = zeroCrossings(readWav(out("multi.wav")).samples);
    const double spk2 = zeroCrossings(readWav(out("multi-spk2.wav")).samples);
    const double text2 = zeroCrossings(readWav(out("multi-text-spk.wav")).samples);
    EXPECT_GT(std::abs(spk2 - spk1) / spk1, 0.05);
    EXPECT_LT(std::abs(text2 - spk2) / spk2, 0.01);
}

TEST_F(WorkerProtocolTest, FailuresExitWithOneAndExactMessage) {
    const std::string wav = out("fail.wav");
    const std::string missingDirWav = out("no/such/fail.wav");
    QByteArray announcedMore = framed("{\"voice_uid\":\"single\"}");
    announcedMore[0] = static_cast<char>(100);
    const struct {
        const char* name;
        QByteArray input;
        std::string message;
    } cases[] = {
        {"empty input", QByteArray(), "Invalid input(0)."},
        {"short prefix", QByteArray("\x05\x00", 2), "Invalid input(0)."},
        {"short body", announcedMore, "Invalid input(1)."},
        {"negative length", QByteArray("\xfb\xff\xff\xff{}", 6), "Invalid input(1)."},
        {"not json", framed("voice"), "Invalid input(2)."},
        {"not an object", framed("[\"single\"]"), "Invalid input(2)."},
        {"unknown voice", framed(requestBody("nope", "3", "1", wav, {kSentence})), "Invalid voice: nope(3)."},
        {"uninstalled speaker", framed(requestBody("single", "1", "1", wav, {kSentence})),
         "Invalid voice: single(1)."},
        {"missing folder", framed(requestBody("single", "0", "1", missingDirWav, {kSentence})),
         "Convert sentence failed. Resample failed. " + std::string(std::strerror(ENOENT)) + "(" +
             missingDirWav + ")"},
    };
    for (const auto& c : cases) {
        const WorkerRun run = runWorker(c.input);
        ASSERT_TRUE(run.finished) << c.name;
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_EQ(run.err.toStdString(), c.message) << c.name;
        EXPECT_TRUE(run.out.isEmpty()) << c.name;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(wav))) << c.name;
    }
}

TEST_F(WorkerProtocolTest, EngineRefusalRemovesTheFile) {
    std::filesystem::resize_file(std::filesystem::path(voicesRoot()) / "single" / "single.onnx", 16);
    const std::string wav = out("refused.wav");
    const WorkerRun run = runWorker(framed(requestBody("single", "0", "1", wav, {kSentence})));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith("Load failed. ")) << run.err.constData();
    EXPECT_GT(run.err.size(), 13);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(wav)));
}

// A copy of the program outside the build has no phoneme data beside it.
TEST_F(WorkerProtocolTest, MissingPhonemeDataFails) {
    const QString bin = QString::fromStdString(out("bundle/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    const QString copy = bin + QStringLiteral("/parlona");
    ASSERT_TRUE(QFile::copy(QStringLiteral(PARLONA_EXECUTABLE), copy));
    const std::string wav = out("x.wav");
    const WorkerRun run = runWorker(framed(requestBody("single", "0", "1", wav, {kSentence})), copy);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.toStdString(),
              "Invalid eSpeakDataPath." + bin.toStdString() + "/../Resources/espeak-ng-data");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(wav)));
}

} // namespace
