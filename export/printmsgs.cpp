#include "export/printmsgs.h"

#include <QFont>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPixmap>
#include <QTextDocument>
#include <QUrl>
#include <QtWidgets/qdrawutil.h>

#include <algorithm>

namespace {

const QColor kPageNumberColor(146, 146, 165);
// Border widths of the bubble image: left, top, right, bottom.
const QMargins kBubbleBorders(22, 19, 8, 8);
const int kTextIndent = 25;

QFont defTextFont() {
    static const QFont font = [] {
        QFont f(QStringLiteral("Arial"));
        f.setPixelSize(12);
        return f;
    }();
    return font;
}

const QPixmap& bubblePixmap() {
    static const QPixmap pixmap(QStringLiteral(":/res/bb1.png"));
    return pixmap;
}

} // namespace

bool PrintMsgsCore::begin() {
    const QPageLayout layout = device->pageLayout();
    const QMarginsF margins = layout.margins(QPageLayout::Point);
    const QRect paint = layout.paintRectPixels(device->logicalDpiX());
    // The margins count once more, as pixels, inside the printable area.
    left = int(margins.left());
    top = int(margins.top());
    right = left + int(paint.width() - margins.left() - margins.right()) - 1;
    bottom = top + int(paint.height() - margins.top() - margins.bottom()) - 1;
    y = top;
    page = 1;
    if (!painter.begin(device)) {
        return false;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    drawPageNumber();
    return true;
}

bool PrintMsgsCore::end() {
    return !painter.isActive() || painter.end();
}

void PrintMsgsCore::drawPageNumber() {
    painter.setFont(defTextFont());
    painter.setPen(kPageNumberColor);
    painter.drawText(QRect(left, bottom + 2, right - left + 1, 18), Qt::AlignRight, QString::number(page));
}

void PrintMsgsCore::checkAndNextPage(int h) {
    if (bottom - top - y + 1 >= h) {
        return;
    }
    device->newPage();
    y = top;
    ++page;
    drawPageNumber();
}

void PrintMsgsCore::printMsgPart(const PrintMsgsItem& item) {
    QString rich = QStringLiteral("<div>");
    if (showSpeaker) {
        // The speaker comes from the voice catalogue: plain text, never markup.
        rich += QStringLiteral("<p style=\"color:%1; text-align:%2\">%3</p>")
                    .arg(item.color.toHtmlEscaped(), QStringLiteral("left"), item.name.toHtmlEscaped());
    }
    rich += item.html + QStringLiteral("</div>");

    QTextDocument doc;
    doc.setDefaultStyleSheet(QStringLiteral("*{text-decoration:none; color:#333333;}"));
    doc.setDefaultFont(defTextFont());
    doc.setBaseUrl(QUrl(item.baseUrl));
    doc.setHtml(rich);

    const int wrapWidth = int(0.8 * (right - left + 1));
    const QFontMetrics metrics(doc.defaultFont());
    const int w =
        metrics.boundingRect(QRect(0, 0, wrapWidth, 1 << 20), Qt::TextWordWrap, doc.toPlainText()).width();
    const int minWidth = rich.contains(QStringLiteral("<img")) ? 220 : 100;
    doc.setTextWidth(std::max(w + 10, minWidth));
    const int dw = qRound(doc.size().width());
    const int dh = qRound(doc.size().height());
    const int h = std::max(dh, 20);

    checkAndNextPage(h + 30);

    const int bw = std::max(dw, minWidth);
    qDrawBorderPixmap(&painter, QRect(left, y + 5, bw + 36, h + 20), kBubbleBorders, bubblePixmap(),
                      bubblePixmap().rect(), kBubbleBorders, QTileRules(Qt::StretchTile));
    painter.save();
    painter.translate(left + kTextIndent, y + 15);
    doc.drawContents(&painter, QRectF(0, 0, bw, h));
    painter.restore();
    y += h + 30;
}

void PrintMsgsExec::init(QPagedPaintDevice* device, const QList<PrintMsgsItem>& items, bool showSpeaker) {
    core_.device = device;
    core_.showSpeaker = showSpeaker;
    items_ = items;
}

void PrintMsgsExec::start() {
    ok_ = core_.begin();
    next_ = 0;
    // A document that cannot be opened gets no bubbles; it finishes at once with ok() false.
    count_ = ok_ ? items_.size() : 0;
    QMetaObject::invokeMethod(this, "printNextContinue", Qt::QueuedConnection);
}

void PrintMsgsExec::printNextContinue() {
    if (printNext()) {
        QMetaObject::invokeMethod(this, "printNextContinue", Qt::QueuedConnection);
    }
}

bool PrintMsgsExec::printNext() {
    if (next_ < count_) {
        core_.printMsgPart(items_.at(next_));
        emit updateProgress(next_, count_);
        ++next_;
        return true;
    }
    if (!core_.end()) {
        ok_ = false;
    }
    emit finished();
    return false;
}
