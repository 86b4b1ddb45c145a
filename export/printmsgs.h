#pragma once
// A small paged renderer that prints messages as speech bubbles, one bubble per event-loop turn, so
// long transcripts never freeze the interface. Used on the GUI thread only.

#include <QList>
#include <QObject>
#include <QPainter>
#include <QString>

class QPagedPaintDevice;

// One bubble: a rich-text fragment and the speaker shown above it.
struct PrintMsgsItem {
    QString html;
    QString baseUrl;
    QString color;
    QString name;
};

// Layout state of one document: the content box, the next free line and the page number.
class PrintMsgsCore {
public:
    QPagedPaintDevice* device = nullptr;
    QPainter painter;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int y = 0;
    int page = 1;
    bool showSpeaker = false;

    // Opens the document and numbers its first page; false when the device cannot be painted on.
    bool begin();
    // Closes the document; false when it could not be finished.
    bool end();
    // Starts a new page unless a block of height h still fits on this one.
    void checkAndNextPage(int h);
    void printMsgPart(const PrintMsgsItem& item);

private:
    void drawPageNumber();
};

// Drives a PrintMsgsCore through a list of items from the event loop.
class PrintMsgsExec : public QObject {
    Q_OBJECT
public:
    explicit PrintMsgsExec(QObject* parent = nullptr) : QObject(parent) {}

    void init(QPagedPaintDevice* device, const QList<PrintMsgsItem>& items, bool showSpeaker);
    // False once the document could not be opened or finished.
    bool ok() const { return ok_; }

public slots:
    void start();

signals:
    // After each printed item: its index (from 0) and the item count.
    void updateProgress(int cur, int total);
    void finished();

private slots:
    void printNextContinue();
    bool printNext();

private:
    PrintMsgsCore core_;
    QList<PrintMsgsItem> items_;
    int next_ = 0;
    int count_ = 0;
    bool ok_ = true;
};
