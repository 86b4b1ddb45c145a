#include "export/pdfexport.h"
#include "export/printmsgs.h"

#include "tests/support/eventloop.h"

#include <QPdfWriter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// Reads a PDF back with poppler's tools: its page count and the text of each page.
class PdfExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty() ||
            QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            GTEST_SKIP() << "poppler-utils not installed";
        }
    }
    std::string file(const char* name) const { return dir_.filePath(name).toStdString(); }

    static QString run(const QString& program, const QStringList& args) {
        QProcess p;
        p.start(program, args);
        p.waitForFinished(30000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
    static int pageCount(const std::string& path) {
        const QString info = run("pdfinfo", {QString::fromStdString(path)});
        for (const QString& line : info.split('\n')) {
            if (line.startsWith("Pages:")) {
                return line.mid(6).trimmed().toInt();
            }
        }
        return -1;
    }
    // Each page's text lines, without empty ones.
    static std::vector<QStringList> pageLines(const std::string& path) {
        const QString text = run("pdftotext", {"-layout", QString::fromStdString(path), "-"});
        std::vector<QStringList> pages;
        QStringList parts = text.split('\f');
        parts.removeLast(); // pdftotext ends every page with a form feed
        for (const QString& page : parts) {
            QStringList lines;
            for (const QString& line : page.split('\n')) {
                if (!line.trimmed().isEmpty()) {
                    lines << line.trimmed();
                }
            }
            pages.push_back(lines);
        }
        return pages;
    }
    static std::vector<ProjectSeg> segments(int count, int linesEach) {
        std::vector<ProjectSeg> segs;
        for (int i = 0; i < count; ++i) {
            ProjectSeg s;
            s.id = i + 1;
            s.voice_id = i % 2;
            for (int l = 0; l < linesEach; ++l) {
                s.text += (l ? "\n" : "") + std::string("seg") + std::to_string(i + 1) + " line" +
                          std::to_string(l + 1);
            }
            segs.push_back(s);
        }
        return segs;
    }
    static ProjectVoice voiceOf(int id) {
        ProjectVoice v;
        v.name = id == 0 ? "Speaker Zero" : "Speaker <One>";
        v.color = id == 0 ? "#A22A2B" : "#2B6CA2";
        return v;
    }

    QTemporaryDir dir_;
};

TEST_F(PdfExportTest, EmptyTranscriptIsOnePageWithItsNumber) {
    std::string error;
    ASSERT_TRUE(tts_export_text_pdf({}, voiceOf, file("text.pdf"), true, error)) << error;
    EXPECT_EQ(pageCount(file("text.pdf")), 1);
    const auto pages = pageLines(file("text.pdf"));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0], QStringList{"1"});
}

// Bubbles of 50 lines are taller than half the page, so each gets a page of its own.
TEST_F(PdfExportTest, TallBubblesMoveToNewPagesWithNumbersAndSpeakers) {
    std::string error;
    ASSERT_TRUE(tts_export_text_pdf(segments(3, 50), voiceOf, file("text.pdf"), true, error)) << error;
    ASSERT_EQ(pageCount(file("text.pdf")), 3);
    const auto pages = pageLines(file("text.pdf"));
    ASSERT_EQ(pages.size(), 3u);
    for (int p = 0; p < 3; ++p) {
        const QStringList& lines = pages[p];
        ASSERT_EQ(lines.size(), 52) << p; // speaker, 50 lines of text, page number
        EXPECT_EQ(lines.first(), p % 2 ? "Speaker <One>" : "Speaker Zero");
        EXPECT_EQ(lines.at(1), QString("seg%1 line1").arg(p + 1));
        EXPECT_EQ(lines.at(50), QString("seg%1 line50").arg(p + 1));
        EXPECT_EQ(lines.last(), QString::number(p + 1));
    }
}

TEST_F(PdfExportTest, ManySmallBubblesFlowOverNumberedPagesInOrder) {
    std::string error;
    ASSERT_TRUE(tts_export_text_pdf(segments(120, 1), voiceOf, file("text.pdf"), false, error)) << error;
    const int count = pageCount(file("text.pdf"));
    ASSERT_GT(count, 1);
    const auto pages = pageLines(file("text.pdf"));
    ASSERT_EQ(static_cast<int>(pages.size()), count);
    QStringList texts;
    for (int p = 0; p < count; ++p) {
        ASSERT_FALSE(pages[p].isEmpty());
        EXPECT_EQ(pages[p].last(), QString::number(p + 1));
        texts << pages[p].mid(0, pages[p].size() - 1);
    }
    ASSERT_EQ(texts.size(), 120);
    for (int i = 0; i < 120; ++i) {
        EXPECT_EQ(texts.at(i), QString("seg%1 line1").arg(i + 1));
    }
    EXPECT_FALSE(texts.join('\n').contains("Speaker"));
}

TEST_F(PdfExportTest, WorkerThreadWaitsWhileTheGuiThreadPaints) {
    std::atomic<bool> done{false};
    bool ok = false;
    std::string error;
    std::thread worker([&] {
        ok = tts_export_text_pdf(segments(5, 2), voiceOf, file("text.pdf"), true, error);
        done = true;
    });
    const bool finished = waitUntil([&] { return done.load(); }, 60000);
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_TRUE(ok) << error;
    EXPECT_EQ(pageCount(file("text.pdf")), 1);
    EXPECT_EQ(pageLines(file("text.pdf"))[0].first(), "Speaker Zero");
}

// The renderer prints from the event loop: nothing before it runs, then one progress report per item.
TEST_F(PdfExportTest, RendererReportsEachItemThenFinishes) {
    QPdfWriter writer(QString::fromStdString(file("text.pdf")));
    PrintMsgsExec exec;
    exec.init(&writer,
              {{"one", "/", "#000000", "A"}, {"two", "/", "#000000", "B"}, {"three", "/", "#000000", "C"}},
              true);
    QSignalSpy progress(&exec, &PrintMsgsExec::updateProgress);
    QSignalSpy finished(&exec, &PrintMsgsExec::finished);
    exec.start();
    EXPECT_EQ(progress.count(), 0);
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }, 10000));
    ASSERT_EQ(progress.count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(progress.at(i).at(0).toInt(), i);
        EXPECT_EQ(progress.at(i).at(1).toInt(), 3);
    }
    EXPECT_TRUE(exec.ok());
    EXPECT_EQ(pageCount(file("text.pdf")), 1);
}

TEST_F(PdfExportTest, UnwritableFileIsReported) {
    std::string error;
    EXPECT_FALSE(tts_export_text_pdf(segments(2, 1), voiceOf, file("missing/text.pdf"), true, error));
    EXPECT_EQ(error, "No such file or directory");
}

} // namespace
