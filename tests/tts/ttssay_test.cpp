#include "common/qt_osdirs.h"
#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "tests/tts/wavtestutil.h"
#include "tests/tts/workerprocess.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

TEST(TTSSay, SpeaksTextThroughWorkersIntoOneFile) {
    TempHome home;
    TestVoiceSpec spec;
    spec.uid = "v";
    spec.sampleRate = 16000;
    spec.speakers = 2;
    std::string err;
    ASSERT_TRUE(makeTestVoice(voicesRoot(), spec, err)) << err;
    const QString out = QString::fromStdString(home.path() + "/said.wav");
    const QString first = QString::fromStdString(home.path() + "/first.wav");

    const WorkerRun both =
        runParlona({"--say", "Hello there. How are you today?", "--voice", "v:1", "--out", out});
    ASSERT_EQ(both.exitCode, 0) << both.err.constData();
    EXPECT_TRUE(both.out.contains("2 sentences")) << both.out.constData();
    const WorkerRun one =
        runParlona({"--say", "Hello there. ", "--voice", "v:1", "--speed", "1", "--out", first});
    ASSERT_EQ(one.exitCode, 0) << one.err.constData();

    const WavFile whole = readWav(out.toStdString());
    const WavFile part = readWav(first.toStdString());
    EXPECT_TRUE(whole.isSystemFormatAndComplete());
    EXPECT_TRUE(part.isSystemFormatAndComplete());
    EXPECT_GT(whole.seconds(), part.seconds() + 0.5);
    // Only the result is left behind.
    EXPECT_EQ(
        QDir(QString::fromStdString(home.path())).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
        (QStringList{"first.wav", "said.wav", "tmp"}));

    const struct {
        QStringList args;
        std::string message;
    } failures[] = {
        {{"--say", "Hi.", "--voice", "nope:3", "--out", out}, "Voice nope:3 is not installed."},
        {{"--say", "Hi.", "--voice", "v", "--speed", "9", "--out", out}, "Invalid speed 9"},
        {{"--say", "Hi.", "--voice", "v:x", "--out", out}, "Invalid speaker number"},
        {{"--say", "Hi.", "--voice", "v"}, "--say, --voice and --out are required."},
        {{"--say", "", "--voice", "v", "--out", out}, "There is no text to speak."},
        {{"--say", "Hi.", "--voice", "v", "--out", QString::fromStdString(home.path() + "/no/such/x.wav")},
         "No such file or directory"},
    };
    for (const auto& f : failures) {
        const WorkerRun run = runParlona(f.args);
        EXPECT_EQ(run.exitCode, 1) << f.message;
        EXPECT_TRUE(run.err.contains(f.message.c_str())) << run.err.constData();
    }
    // A failed run leaves the earlier result alone.
    EXPECT_TRUE(readWav(out.toStdString()).isSystemFormatAndComplete());
}

} // namespace
