#include "tests/support/testaudio.h"

#include "tts/engine/piperhelper.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

#include <cmath>

std::vector<int16_t> testTone(double seconds, int sampleRate, double frequency, double amplitude) {
    const double twoPi = 6.28318530717958647692;
    std::vector<int16_t> out(static_cast<size_t>(seconds * sampleRate));
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<int16_t>(
            std::lround(amplitude * 32767.0 * std::sin(twoPi * frequency * i / sampleRate)));
    }
    return out;
}

bool writeTestWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate,
                  int channels) {
    QByteArray b = QByteArray::fromStdString(pp_wavheader(
        sampleRate, 2, channels, static_cast<uint32_t>(samples.size() / static_cast<size_t>(channels))));
    b.append(reinterpret_cast<const char*>(samples.data()), static_cast<int>(samples.size() * 2));
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::WriteOnly) && f.write(b) == b.size();
}

bool convertWithFfmpeg(const std::string& input, const std::string& output,
                       const std::vector<std::string>& args) {
    QStringList argv{"-nostdin", "-loglevel", "error", "-y", "-i", QString::fromStdString(input)};
    for (const std::string& a : args) {
        argv << QString::fromStdString(a);
    }
    argv << QString::fromStdString(output);
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), argv);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        return false;
    }
    return QFile(QString::fromStdString(output)).size() > 0;
}
