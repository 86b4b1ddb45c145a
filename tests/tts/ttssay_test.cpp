#include "common/qt_osdirs.h"
#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "tests/tts/wavtestutil.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct SayRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

SayRun say(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(PARLONA_EXECUTABLE), args);
    SayRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

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

    const SayRun both = say({"--say", "Hello there. How are you today?", "--voice", "v:1", "--out", out});
    ASSERT_EQ(both.exitCode, 0) << both.err;
    EXPECT_NE(both.out.find("2 sentences"), std::string::npos) << both.out;
    const SayRun one = say({"--say", "Hello there. ", "--voice", "v:1", "--speed", "1", "--out", first});
    ASSERT_EQ(one.exitCode, 0) << one.err;

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
        const SayRun run = say(f.args);
        EXPECT_EQ(run.exitCode, 1) << f.message;
        EXPECT_NE(run.err.find(f.message), std::string::npos) << run.err;
    }
    // A failed run leaves the earlier result alone.
    EXPECT_TRUE(readWav(out.toStdString()).isSystemFormatAndComplete());
}

} // namespace
