#include "tts/ttsworker.h"

#include "common/qt_osdirs.h"
#include "tests/support/eventloop.h"
#include "tests/support/temphome.h"
#include "tests/support/testvoices.h"
#include "tests/tts/wavtestutil.h"
#include "voices/localvoices.h"

#include <QDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

struct Report {
    bool ok = false;
    std::string message;
    double seconds = -1;
};

// Live (not yet exited) child processes of this test.
int liveChildren() {
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : entries) {
        std::ifstream stat("/proc/" + pid.toStdString() + "/stat");
        std::string line;
        if (!std::getline(stat, line)) {
            continue;
        }
        const size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        long ppid = 0;
        rest >> state >> ppid;
        if (ppid == ::getpid() && state != 'Z' && state != 'X') {
            ++count;
        }
    }
    return count;
}

class TTSTaskMgrTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestVoiceSpec spec;
        spec.uid = "v";
        std::string err;
        ASSERT_TRUE(makeTestVoice(voicesRoot(), spec, err)) << err;
        ASSERT_TRUE(findLocalVoice("v", 0, voice_));
    }

    // Queues `count` conversions; reports land in reports_ in arrival order.
    void queue(TTSTaskMgr& mgr, int count, const LocalVoice& voice,
               std::vector<std::string> sentences = {"Hi."}) {
        for (int i = 0; i < count; ++i) {
            const std::string wav = home_.path() + "/s" + std::to_string(queued_++) + ".wav";
            tts_convert_process_client(mgr, voice, 1.0f, sentences, wav,
                                       [this](bool ok, const std::string& message, double seconds) {
                                           reports_.push_back({ok, message, seconds});
                                       });
        }
    }

    TTSTaskMgr& manager(int max) {
        mgr_ = std::make_unique<TTSTaskMgr>(max);
        mgr_->setWorkerProgram(QStringLiteral(PARLONA_EXECUTABLE));
        return *mgr_;
    }

    TempHome home_;
    LocalVoice voice_;
    std::vector<Report> reports_;
    int queued_ = 0;
    std::unique_ptr<TTSTaskMgr> mgr_;
};

TEST(TTSThreads, LimitFollowsMemoryAndProcessors) {
    const int64_t gib = int64_t(1) << 30;
    const struct {
        int64_t memory;
        int threads;
        int expected;
    } cases[] = {{16 * gib, 8, 6}, {8 * gib, 4, 3},      {2 * gib, 1, 1}, {0, 0, 1},
                 {64 * gib, 2, 1}, {5 * gib - 1, 64, 2}, {3 * gib, 16, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(tts_threads_for(c.memory, c.threads), c.expected) << c.memory << " " << c.threads;
    }
    EXPECT_GE(tts_threads(), 1);
}

TEST(TTSThreads, PhysicalMemoryMatchesTheKernel) {
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    int64_t kib = 0;
    meminfo >> key >> kib;
    ASSERT_EQ(key, "MemTotal:");
    EXPECT_EQ(tts_physical_memory(), kib * 1024);
}

// A worker creates its file when it starts converting and has finished once it reported.
TEST_F(TTSTaskMgrTest, LimitHoldsAndEveryCallbackArrives) {
    for (bool prestart : {true, false}) {
        reports_.clear();
        queued_ = 0;
        QDir home(QString::fromStdString(home_.path()));
        for (const QString& f : home.entryList({QStringLiteral("s*.wav")})) {
            home.remove(f);
        }
        TTSTaskMgr& mgr = manager(2);
        mgr.setPrestart(prestart);
        EXPECT_TRUE(mgr.isIdle());
        int mostConverting = 0;
        int mostAlive = 0;
        QTimer sampler;
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const int files = static_cast<int>(home.entryList({QStringLiteral("s*.wav")}).size());
            mostConverting = std::max(mostConverting, files - static_cast<int>(reports_.size()));
            mostAlive = std::max(mostAlive, liveChildren());
        });
        sampler.start(2);
        queue(mgr, 5, voice_);
        EXPECT_FALSE(mgr.isIdle());
        ASSERT_TRUE(waitUntil([this] { return reports_.size() == 5; }, 60000));
        sampler.stop();
        EXPECT_EQ(mostConverting, 2) << prestart;
        // One more worker may wait for its request while two convert.
        EXPECT_LE(mostAlive, prestart ? 3 : 2);
        for (const Report& r : reports_) {
            EXPECT_TRUE(r.ok) << r.message;
            EXPECT_TRUE(r.message.empty());
            EXPECT_GT(r.seconds, 0.1);
        }
        for (int i = 0; i < 5; ++i) {
            const WavFile wav = readWav(home_.path() + "/s" + std::to_string(i) + ".wav");
            EXPECT_TRUE(wav.isSystemFormatAndComplete()) << i;
            EXPECT_DOUBLE_EQ(wav.seconds(), reports_[0].seconds);
        }
        EXPECT_TRUE(mgr.isIdle());
        // Nothing is left waiting once the queue is done.
        EXPECT_TRUE(waitUntil([] { return liveChildren() == 0; }, 5000));
    }
}

TEST_F(TTSTaskMgrTest, ClearPendingLetsRunningTasksFinish) {
    TTSTaskMgr& mgr = manager(2);
    queue(mgr, 5, voice_);
    mgr.clearPending();
    EXPECT_FALSE(mgr.isIdle());
    ASSERT_TRUE(waitUntil([&mgr] { return mgr.isIdle(); }, 60000));
    EXPECT_EQ(reports_.size(), 2u);
    spinFor(300);
    EXPECT_EQ(reports_.size(), 2u);
    EXPECT_TRUE(waitUntil([] { return liveChildren() == 0; }, 5000));
    EXPECT_FALSE(QDir(QString::fromStdString(home_.path())).exists(QStringLiteral("s2.wav")));
}

TEST_F(TTSTaskMgrTest, FailuresDoNotStallTheQueue) {
    TTSTaskMgr& mgr = manager(1);
    LocalVoice missing = voice_;
    missing.uid = "gone";
    missing.spk = 4;
    queue(mgr, 4, missing);
    queue(mgr, 1, voice_);
    ASSERT_TRUE(waitUntil([this] { return reports_.size() == 5; }, 60000));
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(reports_[static_cast<size_t>(i)].ok);
        EXPECT_EQ(reports_[static_cast<size_t>(i)].message, "Invalid voice: gone(4).");
        EXPECT_EQ(reports_[static_cast<size_t>(i)].seconds, 0);
    }
    EXPECT_TRUE(reports_[4].ok) << reports_[4].message;
    EXPECT_TRUE(mgr.isIdle());
}

TEST_F(TTSTaskMgrTest, WorkerThatCannotStartReportsAndFreesItsSlot) {
    TTSTaskMgr& mgr = manager(1);
    mgr.setWorkerProgram(QString::fromStdString(home_.path() + "/no-such-program"));
    queue(mgr, 3, voice_);
    ASSERT_EQ(reports_.size(), 3u);
    for (const Report& r : reports_) {
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.message.empty());
    }
    EXPECT_TRUE(mgr.isIdle());
}

TEST_F(TTSTaskMgrTest, HeaderOnlyFileReportsZeroSeconds) {
    TTSTaskMgr& mgr = manager(2);
    queue(mgr, 1, voice_, {});
    ASSERT_TRUE(waitUntil([this] { return reports_.size() == 1; }, 60000));
    EXPECT_TRUE(reports_[0].ok) << reports_[0].message;
    EXPECT_EQ(reports_[0].seconds, 0);
}

// Destroying the manager with workers still running must neither hang nor call back into its owner.
TEST_F(TTSTaskMgrTest, DestructionWaitsForRunningWorkersWithoutReports) {
    queue(manager(2), 4, voice_);
    mgr_.reset();
    EXPECT_EQ(liveChildren(), 0);
    spinFor(200);
    EXPECT_TRUE(reports_.empty());
}

} // namespace
