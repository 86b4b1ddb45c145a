#include "tests/support/testaudio.h"

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

namespace {

void put16(QByteArray& b, uint16_t v) {
    b.append(static_cast<char>(v & 0xff));
    b.append(static_cast<char>(v >> 8));
}

void put32(QByteArray& b, uint32_t v) {
    put16(b, static_cast<uint16_t>(v & 0xffff));
    put16(b, static_cast<uint16_t>(v >> 16));
}

} // namespace

bool writeTestWav(const std::string& path, const std::vector<int16_t>& samples, int sampleRate,
                  int channels) {
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    QByteArray b;
    b.append("RIFF");
    put32(b, 36 + dataBytes);
    b.append("WAVEfmt ");
    put32(b, 16);
    put16(b, 1);
    put16(b, static_cast<uint16_t>(channels));
    put32(b, static_cast<uint32_t>(sampleRate));
    put32(b, static_cast<uint32_t>(sampleRate * channels * 2));
    put16(b, static_cast<uint16_t>(channels * 2));
    put16(b, 16);
    b.append("data");
    put32(b, dataBytes);
    for (int16_t s : samples) {
        put16(b, static_cast<uint16_t>(s));
    }
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
