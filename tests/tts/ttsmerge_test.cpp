#include "tts/ttsconverter.h"

#include "tests/tts/wavtestutil.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

class TTSMergeTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }

    std::string wav(const std::string& name, size_t samples, int16_t value) {
        const std::string p = path(name);
        writeWav(p, std::vector<int16_t>(samples, value));
        return p;
    }

    QTemporaryDir dir_;
};

TEST_F(TTSMergeTest, ConcatenatesDataWithACorrectHeader) {
    const std::string a = wav("a.wav", 1000, 1);
    const std::string b = wav("b.wav", 0, 0);
    const std::string c = wav("c.wav", 22050, 3);
    // Shorter than a header: contributes nothing.
    std::ofstream(path("short.wav"), std::ios::binary) << "RIFF";
    double seconds = -1;
    std::string error;
    ASSERT_TRUE(tts_merge({a, b, path("short.wav"), c, a}, path("out.wav"), seconds, error)) << error;
    const WavFile out = readWav(path("out.wav"));
    EXPECT_TRUE(out.isSystemFormatAndComplete());
    ASSERT_EQ(out.samples.size(), 24050u);
    EXPECT_EQ(out.samples[999], 1);
    EXPECT_EQ(out.samples[1000], 3);
    EXPECT_EQ(out.samples[23049], 3);
    EXPECT_EQ(out.samples[23050], 1);
    EXPECT_DOUBLE_EQ(seconds, 24050 / 22050.0);
}

TEST_F(TTSMergeTest, EmptyListGivesHeaderOnly) {
    double seconds = -1;
    std::string error;
    ASSERT_TRUE(tts_merge({}, path("out.wav"), seconds, error));
    const WavFile out = readWav(path("out.wav"));
    EXPECT_TRUE(out.isSystemFormatAndComplete());
    EXPECT_EQ(out.fileBytes, 44u);
    EXPECT_EQ(seconds, 0);
}

TEST_F(TTSMergeTest, FailuresNameTheFile) {
    const std::string a = wav("a.wav", 100, 1);
    const std::string missing = path("missing.wav");
    const std::string folder = path("folder");
    QDir(QString::fromStdString(path(""))).mkpath(QStringLiteral("folder"));
    const struct {
        std::vector<std::string> inputs;
        std::string output;
        std::string error;
    } cases[] = {
        {{a, missing}, path("out.wav"), std::string(std::strerror(ENOENT)) + "(" + missing + ")"},
        // A folder opens but cannot be read: the copy ends with an error instead of looping.
        {{a, folder}, path("out.wav"), std::string(std::strerror(EISDIR)) + "(" + folder + ")"},
        {{a},
         path("no/such/out.wav"),
         std::string(std::strerror(ENOENT)) + "(" + path("no/such/out.wav") + ")"},
    };
    for (const auto& c : cases) {
        double seconds = 0;
        std::string error;
        EXPECT_FALSE(tts_merge(c.inputs, c.output, seconds, error));
        EXPECT_EQ(error, c.error);
    }
    // Inputs before the failing one were already copied.
    EXPECT_EQ(readBytes(path("out.wav")).size(), 44u + 200u);
}

} // namespace
