#include "exportfixtures.h"

#include "export/avloger.h"
#include "export/ffmpegcmd.h"

extern "C" {
#include <libavutil/log.h>
}

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace {

class FFmpegCmdTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const {
        return dir_.filePath(QString::fromStdString(name)).toStdString();
    }
    std::vector<std::string> exportArgs(const std::string& source, const std::string& target) const {
        return {"-vn", "-i", source, "-ac", "2", "-ar", "22050", "-y", target};
    }

    QTemporaryDir dir_;
};

struct EncodeCase {
    const char* ext;
    const char* format;
    const char* codecPrefix;
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.ext;
}

class FFmpegEncodeTest : public FFmpegCmdTest, public ::testing::WithParamInterface<EncodeCase> {};

TEST_P(FFmpegEncodeTest, EncodesStereoAt22050WithTheSourceDuration) {
    const EncodeCase c = GetParam();
    const int samples = 2 * 22050 + 333; // not a multiple of any frame size
    ASSERT_TRUE(writeTestWav(file("in.wav"), samples));
    // An existing target is replaced, as with -y.
    ASSERT_TRUE(writeFileBytes(file(std::string("out") + c.ext), "stale"));

    std::string log;
    ASSERT_EQ(ffmpeg_main(exportArgs(file("in.wav"), file(std::string("out") + c.ext)), &log), 0) << log;

    const DecodedAudio out = decodeAudio(file(std::string("out") + c.ext));
    ASSERT_TRUE(out.valid);
    EXPECT_EQ(out.format, c.format);
    EXPECT_EQ(out.codec.rfind(c.codecPrefix, 0), 0u) << out.codec;
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.sampleRate, 22050);
    ASSERT_GT(out.frameSize, 0);
    // ADTS cannot carry the AAC encoder's priming frame, so the decoder plays it; beyond that the
    // length may differ by the padding of the last frame only.
    const int64_t priming = std::string(c.ext) == ".aac" ? out.frameSize : 0;
    EXPECT_NEAR(static_cast<double>(out.samples - priming), samples, out.frameSize);
    EXPECT_FALSE(std::filesystem::exists(file(std::string("out") + c.ext + ".tmp")));
}

INSTANTIATE_TEST_SUITE_P(Formats, FFmpegEncodeTest,
                         ::testing::Values(EncodeCase{".mp3", "mp3", "mp3"},
                                           EncodeCase{".aac", "aac", "aac"}),
                         [](const auto& info) { return std::string(info.param.ext + 1); });

TEST_F(FFmpegCmdTest, RefusesEveryOtherCommandLine) {
    ASSERT_TRUE(writeTestWav(file("in.wav"), 2205));
    const std::string in = file("in.wav");
    const std::string out = file("out.mp3");
    const std::vector<std::vector<std::string>> refused = {
        {},
        {"-i", in, out},
        {"-vn", "-i", in, "-ac", "2", "-ar", "22050", out},
        {"-vn", "-i", in, "-ar", "22050", "-ac", "2", "-y", out},
        {"-vn", "-i", in, "-ac", "2", "-ar", "22050", "-y", out, "extra"},
        {"-vn", "-i", in, "-ac", "0", "-ar", "22050", "-y", out},
        {"-vn", "-i", in, "-ac", "3", "-ar", "22050", "-y", out},
        {"-vn", "-i", in, "-ac", "2", "-ar", "fast", "-y", out},
        {"-vn", "-i", in, "-ac", "2", "-ar", "-22050", "-y", out},
        {"-vn", "-i", "", "-ac", "2", "-ar", "22050", "-y", out},
    };
    for (const auto& args : refused) {
        std::string log;
        EXPECT_NE(ffmpeg_main(args, &log), 0) << ::testing::PrintToString(args);
        EXPECT_FALSE(log.empty()) << ::testing::PrintToString(args);
        EXPECT_FALSE(std::filesystem::exists(out)) << ::testing::PrintToString(args);
    }
}

TEST_F(FFmpegCmdTest, FailuresAreLoggedAndLeaveTheOldTargetInPlace) {
    ASSERT_TRUE(writeTestWav(file("in.wav"), 2205));
    ASSERT_TRUE(writeFileBytes(file("garbage.wav"), std::string(5000, 'x')));
    ASSERT_TRUE(writeFileBytes(file("old.mp3"), "previous export"));
    struct Case {
        std::string source;
        std::string target;
        std::string logPart;
    };
    const std::vector<Case> cases = {
        {file("missing.wav"), file("old.mp3"), file("missing.wav") + ": No such file or directory\n"},
        {file("garbage.wav"), file("old.mp3"), file("garbage.wav")},
        {file("in.wav"), file("out.xyz"),
         "Unable to find a suitable output format for '" + file("out.xyz") + "'"},
        {file("in.wav"), file("no/such/folder/out.mp3"), "No such file or directory"},
    };
    for (const Case& c : cases) {
        std::string log;
        EXPECT_NE(ffmpeg_main(exportArgs(c.source, c.target), &log), 0) << c.source;
        EXPECT_NE(log.find(c.logPart), std::string::npos) << log;
    }
    EXPECT_EQ(readFileBytes(file("old.mp3")), "previous export");
    EXPECT_FALSE(std::filesystem::exists(file("old.mp3.tmp")));
    EXPECT_FALSE(std::filesystem::exists(file("out.xyz")));
}

TEST(AVLogerTest, KeepsTheLast65536CharactersOfThisThreadAboveTheLogLevel) {
    AVLoger::tdbuf.clear();
    AVLoger::registerCallback();
    std::string all;
    for (int i = 0; i < 1000; ++i) {
        const std::string line = std::to_string(i) + std::string(95, '.') + "\n";
        av_log(nullptr, AV_LOG_ERROR, "%s", line.c_str());
        all += line;
    }
    av_log(nullptr, AV_LOG_DEBUG, "below the level\n");
    std::thread([] { av_log(nullptr, AV_LOG_ERROR, "from another thread\n"); }).join();
    AVLoger::unregisterCallback();
    av_log(nullptr, AV_LOG_ERROR, "after unregistering\n");

    ASSERT_EQ(AVLoger::tdbuf.size(), 65536u);
    EXPECT_EQ(AVLoger::tdbuf, all.substr(all.size() - 65536));
    AVLoger::tdbuf.clear();
}

TEST_F(FFmpegCmdTest, LogIsCapturedOnlyWhenAsked) {
    AVLoger::tdbuf = "left over";
    std::string log = "untouched";
    EXPECT_NE(ffmpeg_main(exportArgs(file("missing.wav"), file("out.mp3")), nullptr), 0);
    EXPECT_EQ(AVLoger::tdbuf, "left over");
    EXPECT_NE(ffmpeg_main(exportArgs(file("missing.wav"), file("out.mp3")), &log), 0);
    EXPECT_EQ(log, file("missing.wav") + ": No such file or directory\n");
    EXPECT_TRUE(AVLoger::tdbuf.empty());
}

} // namespace
