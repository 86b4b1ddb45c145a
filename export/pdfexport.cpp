#include "export/pdfexport.h"

#include "common/q2str.h"
#include "common/threadutil.h"
#include "export/printmsgs.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QThread>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

using PdfDone = std::function<void(bool ok)>;

// Opens the PDF on the calling (GUI) thread and prints it from the event loop; onDone follows the end.
void startPdfJob(const QList<PrintMsgsItem>& items, const QString& path, bool showSpeaker, PdfDone onDone) {
    auto* writer = new QPdfWriter(path);
    writer->setResolution(120);
    writer->setPageSize(QPageSize(QPageSize::A4));
    writer->setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Point);
    auto* exec = new PrintMsgsExec();
    exec->init(writer, items, showSpeaker);
    QObject::connect(exec, &PrintMsgsExec::finished, exec, [writer, exec, onDone = std::move(onDone)]() {
        writer->deleteLater();
        exec->deleteLater();
        onDone(exec->ok());
    });
    exec->start();
}

struct Completion {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    bool ok = false;
};

} // namespace

bool tts_export_text_pdf(const std::vector<ProjectSeg>& segs, const TTSVoiceLookup& voiceOf,
                         const std::string& path, bool withSpeaker, std::string& error) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        error = "No application to paint the PDF with";
        return false;
    }
    // The PDF engine does not say why a file cannot be opened; ask the system first.
    std::FILE* probe = std::fopen(path.c_str(), "wb");
    if (!probe) {
        error = std::strerror(errno);
        return false;
    }
    std::fclose(probe);

    QList<PrintMsgsItem> items;
    for (const ProjectSeg& seg : segs) {
        const ProjectVoice voice = voiceOf(seg.voice_id);
        items.append(
            {str2q(htmlEncode(seg.text)), QStringLiteral("/"), str2q(voice.color), str2q(voice.name)});
    }
    const QString qpath = str2q(path);

    bool ok = false;
    if (QThread::currentThread() == app->thread()) {
        QEventLoop loop;
        bool done = false;
        startPdfJob(items, qpath, withSpeaker, [&](bool result) {
            ok = result;
            done = true;
            loop.quit();
        });
        if (!done) {
            loop.exec();
        }
    } else {
        auto completion = std::make_shared<Completion>();
        postToThread2(
            [items, qpath, withSpeaker, completion]() {
                startPdfJob(items, qpath, withSpeaker, [completion](bool result) {
                    std::lock_guard<std::mutex> lock(completion->mutex);
                    completion->ok = result;
                    completion->done = true;
                    completion->cv.notify_all();
                });
            },
            nullptr, app->thread());
        std::unique_lock<std::mutex> lock(completion->mutex);
        completion->cv.wait(lock, [&] { return completion->done; });
        ok = completion->ok;
    }
    if (!ok) {
        error = "Cannot write the PDF file (" + path + ")";
    }
    return ok;
}
