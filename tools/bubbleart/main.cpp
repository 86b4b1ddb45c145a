// Draws the bubble images used by the HTML and PDF transcripts. Their nine-part border slices are
// fixed by the style sheet (bb1: 19 8 8 22, bb2: 19 19 8 6, round: 5 7 7 7, top right bottom left),
// so every corner shape stays inside its slice and the middle rows and columns are plain fill.

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

namespace {

bool save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!image.save(path, "PNG")) {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return false;
    }
    return true;
}

// A rounded body with a pointer at its upper left; mirrored, the pointer sits at the upper right.
QImage bubble(const QColor& fill, const QColor& outline, bool pointerRight) {
    QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (pointerRight) {
        p.translate(40, 0);
        p.scale(-1, 1);
    }
    QPainterPath body;
    body.addRoundedRect(QRectF(14.5, 0.5, 25, 29), 5, 5);
    QPainterPath pointer;
    pointer.moveTo(0.5, 0.5);
    pointer.lineTo(24, 0.5);
    pointer.lineTo(14.5, 14);
    pointer.closeSubpath();
    const QPainterPath shape = body.united(pointer).simplified();
    p.setPen(QPen(outline, 1));
    p.setBrush(fill);
    p.drawPath(shape);
    return image;
}

QImage roundBox() {
    QImage image(16, 19, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(150, 170, 190), 1));
    p.setBrush(QColor(231, 244, 255));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 18), 4, 4);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const bool ok = save(bubble(QColor(247, 247, 247), QColor(204, 204, 204), false), folder, "bb1.png") &&
                    save(bubble(QColor(222, 244, 232), QColor(120, 190, 140), true), folder, "bb2.png") &&
                    save(roundBox(), folder, "round.png");
    return ok ? 0 : 1;
}
