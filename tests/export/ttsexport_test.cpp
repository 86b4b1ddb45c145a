#include "exportfixtures.h"

#include "export/ffmpegcmd.h"
#include "export/ttsexport.h"
#include "project/ttsproject.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A project folder with converted segments 3, 5 and 7 of different lengths and an export folder.
class TTSExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        project_.load(dir_.filePath("project").toStdString());
        out_ = dir_.filePath("export").toStdString();
        fs::create_directories(out_);
        for (int id : {3, 5, 7}) {
            ProjectSeg s;
            s.id = id;
            s.text = "Segment " + std::to_string(id);
            segs_.push_back(s);
            ASSERT_TRUE(writeTestWav(project_.segWav(id).string(), 2205 * id, 200 + 50 * id));
        }
    }
    std::string exported(const std::string& name) const { return (fs::path(out_) / name).string(); }
    std::vector<std::string> exportedNames() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(out_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    void run(const std::vector<ProjectSeg>& segs, const std::string& audioExt, bool combine,
             bool withText = false, const std::string& textExt = ".txt") {
        tts_export(project_, segs, voiceOf, out_, audioExt, combine, withText, textExt, true, ctx_);
    }
    static ProjectVoice voiceOf(int) {
        ProjectVoice v;
        v.name = "Anna";
        v.color = "#A22A2B";
        return v;
    }

    QTemporaryDir dir_;
    TTSProject project_;
    std::string out_;
    std::vector<ProjectSeg> segs_;
    TTSExportContext ctx_;
};

TEST_F(TTSExportTest, WavExportCopiesEachSegmentByteForByte) {
    ASSERT_TRUE(writeFileBytes(exported("audio5.wav"), "an older export"));
    run(segs_, ".wav", false);
    EXPECT_TRUE(ctx_.ok) << ctx_.error;
    EXPECT_EQ(exportedNames(), (std::vector<std::string>{"audio3.wav", "audio5.wav", "audio7.wav"}));
    for (int id : {3, 5, 7}) {
        EXPECT_EQ(readFileBytes(exported("audio" + std::to_string(id) + ".wav")),
                  readFileBytes(project_.segWav(id).string()));
    }
}

TEST_F(TTSExportTest, CombinedOnlyWithMoreThanOneSegment) {
    ASSERT_TRUE(writeTestWav(project_.wavPath().string(), 22050, 300));
    run(segs_, ".wav", true);
    EXPECT_TRUE(ctx_.ok) << ctx_.error;
    EXPECT_EQ(exportedNames(), std::vector<std::string>{"audio.wav"});
    EXPECT_EQ(readFileBytes(exported("audio.wav")), readFileBytes(project_.wavPath().string()));

    fs::remove(exported("audio.wav"));
    run({segs_[1]}, ".wav", true);
    EXPECT_TRUE(ctx_.ok) << ctx_.error;
    EXPECT_EQ(exportedNames(), std::vector<std::string>{"audio5.wav"});
}

TEST_F(TTSExportTest, Mp3ExportIsStereoAt22050) {
    run({segs_[0]}, ".mp3", false);
    ASSERT_TRUE(ctx_.ok) << ctx_.error;
    const DecodedAudio out = decodeAudio(exported("audio3.mp3"));
    ASSERT_TRUE(out.valid);
    EXPECT_EQ(out.format, "mp3");
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.sampleRate, 22050);
}

TEST_F(TTSExportTest, MissingJoinedAudioFailsAtOnceWithoutTranscript) {
    struct Case {
        const char* ext;
        std::string error;
    };
    const std::vector<Case> cases = {
        {".wav", "No such file or directory"},
        {".mp3", project_.wavPath().string() + ": No such file or directory\n"},
        {".aac", project_.wavPath().string() + ": No such file or directory\n"},
    };
    for (const Case& c : cases) {
        run(segs_, c.ext, true, true, ".txt");
        EXPECT_FALSE(ctx_.ok) << c.ext;
        const std::string expected = c.error.size() > 100 ? c.error.substr(c.error.size() - 100) : c.error;
        EXPECT_EQ(ctx_.error, expected) << c.ext;
        EXPECT_TRUE(exportedNames().empty()) << c.ext;
    }
}

TEST_F(TTSExportTest, StopsAtTheFirstFailedSegment) {
    fs::remove(project_.segWav(5));
    run(segs_, ".wav", false, true, ".txt");
    EXPECT_FALSE(ctx_.ok);
    EXPECT_EQ(ctx_.error, "No such file or directory");
    EXPECT_EQ(exportedNames(), std::vector<std::string>{"audio3.wav"});

    // The next export starts afresh.
    run({segs_[0]}, ".wav", false);
    EXPECT_TRUE(ctx_.ok);
    EXPECT_TRUE(ctx_.error.empty());
}

TEST_F(TTSExportTest, LongFFmpegFailureLogGivesItsLast100Characters) {
    const fs::path deep = fs::path(dir_.path().toStdString()) / std::string(150, 'd');
    project_.load(deep);
    ASSERT_FALSE(fs::exists(project_.wavPath()));
    std::string log;
    ASSERT_NE(ffmpeg_main({"-vn", "-i", project_.wavPath().string(), "-ac", "2", "-ar", "22050", "-y",
                           exported("probe.mp3")},
                          &log),
              0);
    ASSERT_GT(log.size(), 100u);

    run(segs_, ".mp3", true);
    EXPECT_FALSE(ctx_.ok);
    EXPECT_EQ(ctx_.error, log.substr(log.size() - 100));
}

TEST_F(TTSExportTest, TranscriptWriterFollowsTheExtension) {
    struct Case {
        const char* ext;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {".txt", "Anna:\nSegment 3\n\n"},
        {".docx", "Anna:\nSegment 3\n\n"},
        {".html", "<!DOCTYPE html>\n"},
        {".pdf", "%PDF-"},
    };
    for (const Case& c : cases) {
        run(segs_, ".wav", false, true, c.ext);
        EXPECT_TRUE(ctx_.ok) << c.ext << ": " << ctx_.error;
        const std::string text = readFileBytes(exported(std::string("text") + c.ext));
        EXPECT_EQ(text.substr(0, c.prefix.size()), c.prefix) << c.ext;
    }
    EXPECT_EQ(readFileBytes(exported("text.docx")), readFileBytes(exported("text.txt")));
}

TEST_F(TTSExportTest, TranscriptFailureBecomesTheResult) {
    fs::create_directories(exported("text.txt"));
    run(segs_, ".wav", false, true, ".txt");
    EXPECT_FALSE(ctx_.ok);
    EXPECT_EQ(ctx_.error, "Is a directory");
    EXPECT_TRUE(fs::exists(exported("audio7.wav")));
}

TEST_F(TTSExportTest, NoSegmentsWritesNothing) {
    ctx_.ok = false;
    ctx_.error = "earlier";
    run({}, ".wav", true, true, ".txt");
    EXPECT_TRUE(ctx_.ok);
    EXPECT_TRUE(ctx_.error.empty());
    EXPECT_TRUE(exportedNames().empty());
}

// Segment 5's audio is a pipe: the export blocks on it until the test has set the cancel flag, so the
// flag is raised exactly while the second file is being converted.
TEST_F(TTSExportTest, CancelDuringAFileStopsBeforeTheNextOne) {
    const std::string wav5 = readFileBytes(project_.segWav(5).string());
    fs::remove(project_.segWav(5));
    ASSERT_EQ(mkfifo(project_.segWav(5).c_str(), 0600), 0);
    ctx_.cancel = true; // reset by the export itself
    std::thread feeder([&] {
        FILE* pipe = std::fopen(project_.segWav(5).c_str(), "wb");
        ctx_.cancel = true;
        std::fwrite(wav5.data(), 1, wav5.size(), pipe);
        std::fclose(pipe);
    });
    run(segs_, ".mp3", false, true, ".txt");
    feeder.join();
    EXPECT_TRUE(ctx_.ok) << ctx_.error;
    EXPECT_EQ(exportedNames(), (std::vector<std::string>{"audio3.mp3", "audio5.mp3"}));
    EXPECT_TRUE(decodeAudio(exported("audio5.mp3")).valid);
}

} // namespace
