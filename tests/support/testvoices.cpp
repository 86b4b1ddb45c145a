#include "tests/support/testvoices.h"

#include <QProcess>
#include <QStringList>

namespace {

QString num(int v) {
    return QString::number(v);
}

QStringList generatorArgs(const std::string& script, const std::string& voicesDir, const TestVoiceSpec& s) {
    QStringList args{QString::fromStdString(script),
                     QStringLiteral("--voices-dir"),
                     QString::fromStdString(voicesDir),
                     QStringLiteral("--uid"),
                     QString::fromStdString(s.uid),
                     QStringLiteral("--sample-rate"),
                     num(s.sampleRate),
                     QStringLiteral("--speakers"),
                     num(s.speakers),
                     QStringLiteral("--espeak-voice"),
                     QString::fromStdString(s.espeakVoice),
                     QStringLiteral("--phoneme-type"),
                     QString::fromStdString(s.phonemeType),
                     QStringLiteral("--lang"),
                     QString::fromStdString(s.lang),
                     QStringLiteral("--eng"),
                     QString::fromStdString(s.eng),
                     QStringLiteral("--native"),
                     QString::fromStdString(s.native),
                     QStringLiteral("--name"),
                     QString::fromStdString(s.name),
                     QStringLiteral("--user-name"),
                     QString::fromStdString(s.userName),
                     QStringLiteral("--sex"),
                     num(s.sex),
                     QStringLiteral("--quality"),
                     num(s.quality),
                     QStringLiteral("--amplitude"),
                     QString::number(s.amplitude, 'g', 9),
                     QStringLiteral("--output-rank"),
                     num(s.outputRank)};
    QStringList installed;
    for (int spk : s.installed) {
        installed << num(spk);
    }
    args << QStringLiteral("--installed") << installed.join(QLatin1Char(','));
    if (s.bench) {
        args << QStringLiteral("--bench");
    }
    return args;
}

} // namespace

bool makeTestVoiceWith(const std::string& script, const std::string& voicesDir, const TestVoiceSpec& spec,
                       std::string& err) {
    QProcess proc;
    proc.setProcessChannelMode(QProcess::MergedChannels);
    // Debian's python3-onnx lives with the system interpreter, not with any python on PATH.
    proc.start(QStringLiteral("/usr/bin/python3"), generatorArgs(script, voicesDir, spec));
    if (!proc.waitForStarted(10000)) {
        err = "voicegen did not start: " + proc.errorString().toStdString();
        return false;
    }
    if (!proc.waitForFinished(120000)) {
        proc.kill();
        proc.waitForFinished(5000);
        err = "voicegen did not finish";
        return false;
    }
    if (proc.exitStatus() != QProcess::NormalExit || proc.exitCode() != 0) {
        err = "voicegen failed: " + proc.readAll().toStdString();
        return false;
    }
    err.clear();
    return true;
}
