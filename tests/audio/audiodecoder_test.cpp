#include "audio/audiodecoder.h"
#include "audio/audioplayerfile.h"
#include "audio/audiosound.h"

#include "tests/support/testaudio.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

class AudioDecoderTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }

    bool decode(const std::string& file, AudioSound& sound, std::string& error) {
        AudioPlayerFile f;
        f.setFileName(QString::fromStdString(file));
        if (!f.open()) {
            error = "open failed";
            return false;
        }
        return decodeAudioFile(f, sound, error);
    }

    void writeBytes(const std::string& file, const QByteArray& bytes) {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    static double rms(const AudioSound& s) {
        double sum = 0;
        for (float v : s.samples) {
            sum += static_cast<double>(v) * v;
        }
        return s.samples.empty() ? 0.0 : std::sqrt(sum / s.samples.size());
    }

    QTemporaryDir dir_;
};

} // namespace

TEST_F(AudioDecoderTest, PcmWavSamplesArriveUnchanged) {
    const std::vector<int16_t> mono = {0, 1, -1, 16384, -16384, 32767, -32768};
    const std::vector<int16_t> stereo = {100, -100, 200, -200, 32767, -32768};
    struct Case {
        const std::vector<int16_t>* samples;
        int rate;
        int channels;
    };
    for (const Case& c : {Case{&mono, 22050, 1}, Case{&stereo, 48000, 2}}) {
        const std::string file = path("pcm.wav");
        ASSERT_TRUE(writeTestWav(file, *c.samples, c.rate, c.channels));
        AudioSound sound;
        std::string error;
        ASSERT_TRUE(decode(file, sound, error)) << error;
        EXPECT_EQ(sound.sampleRate, c.rate);
        EXPECT_EQ(sound.channels, c.channels);
        ASSERT_EQ(sound.samples.size(), c.samples->size());
        for (size_t i = 0; i < sound.samples.size(); ++i) {
            EXPECT_FLOAT_EQ(sound.samples[i], (*c.samples)[i] / 32768.0f) << "sample " << i;
        }
    }
}

// Formats are recognised by content: every fixture carries a misleading extension.
TEST_F(AudioDecoderTest, CompressedFormatsAreRecognisedByContent) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int channels;
    };
    const Case cases[] = {
        {"mp3", {"-f", "mp3", "-c:a", "libmp3lame", "-b:a", "128k"}, 1},
        {"ogg", {"-f", "ogg", "-c:a", "libvorbis"}, 1},
        {"flac", {"-f", "flac"}, 1},
        {"stereo mp3", {"-f", "mp3", "-c:a", "libmp3lame", "-ac", "2"}, 2},
        {"5.1 wav", {"-f", "wav", "-ac", "6"}, 2},
    };
    const std::string source = path("tone.wav");
    ASSERT_TRUE(writeTestWav(source, testTone(1.0, 44100, 440.0, 0.5), 44100, 1));
    AudioSound reference;
    std::string error;
    ASSERT_TRUE(decode(source, reference, error)) << error;
    for (const Case& c : cases) {
        const std::string file = path("fixture.wav.txt");
        ASSERT_TRUE(convertWithFfmpeg(source, file, c.args)) << c.name;
        AudioSound sound;
        ASSERT_TRUE(decode(file, sound, error)) << c.name << ": " << error;
        EXPECT_EQ(sound.sampleRate, 44100) << c.name;
        EXPECT_EQ(sound.channels, c.channels) << c.name;
        EXPECT_NEAR(sound.lengthSeconds(), 1.0, 0.06) << c.name;
        EXPECT_GT(rms(sound), 0.5 * rms(reference)) << c.name;
        EXPECT_LT(rms(sound), 1.5 * rms(reference)) << c.name;
    }
}

TEST_F(AudioDecoderTest, ContentWithoutPlayableAudioIsRejected) {
    const std::string source = path("tone.wav");
    ASSERT_TRUE(writeTestWav(source, testTone(0.5, 22050, 440.0, 0.5), 22050, 1));
    const std::string aac = path("aac.m4a");
    ASSERT_TRUE(convertWithFfmpeg(source, aac, {"-c:a", "aac"}));
    const std::string headerOnly = path("empty.wav");
    ASSERT_TRUE(writeTestWav(headerOnly, {}, 22050, 1));
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QFile aacFile(QString::fromStdString(aac));
    ASSERT_TRUE(aacFile.open(QIODevice::ReadOnly));
    QFile headerFile(QString::fromStdString(headerOnly));
    ASSERT_TRUE(headerFile.open(QIODevice::ReadOnly));
    QByteArray noise(64 * 1024, '\0');
    for (int i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919 + 13) % 251);
    }
    const Case cases[] = {
        {"empty file", QByteArray()},
        {"text", QByteArray("Hello, this is not a sound at all.\nSecond line.\n").repeated(50)},
        {"wav header without data", headerFile.readAll()},
        {"noise", noise},
        {"aac in mp4", aacFile.readAll()},
    };
    for (const Case& c : cases) {
        const std::string file = path("bad.wav");
        writeBytes(file, c.bytes);
        AudioSound sound;
        std::string error;
        EXPECT_FALSE(decode(file, sound, error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_TRUE(sound.samples.empty()) << c.name;
    }
}

TEST_F(AudioDecoderTest, TruncatedWavGivesTheFramesPresent) {
    const std::string file = path("cut.wav");
    ASSERT_TRUE(writeTestWav(file, testTone(1.0, 22050, 440.0, 0.5), 22050, 1));
    ASSERT_TRUE(QFile::resize(QString::fromStdString(file), 44 + 22050)); // half of the data
    AudioSound sound;
    std::string error;
    ASSERT_TRUE(decode(file, sound, error)) << error;
    EXPECT_NEAR(sound.lengthSeconds(), 0.5, 0.01);
}

TEST_F(AudioDecoderTest, CanceledDecodeFails) {
    const std::string file = path("tone.wav");
    ASSERT_TRUE(writeTestWav(file, testTone(1.0, 22050, 440.0, 0.5), 22050, 1));
    AudioPlayerFile f;
    f.setFileName(QString::fromStdString(file));
    ASSERT_TRUE(f.open());
    std::atomic<bool> cancel{true};
    AudioSound sound;
    std::string error;
    EXPECT_FALSE(decodeAudioFile(f, sound, error, &cancel));
    EXPECT_TRUE(sound.samples.empty());
}
