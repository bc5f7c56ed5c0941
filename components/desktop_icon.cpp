#include "desktop_icon.h"

#include <QDir>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStandardPaths>
#include <cmath>

namespace sonivel {

namespace {

// Painted straight onto the pixmap shown or the image saved: converting one
// into the other would run in Qt's thread pool for nothing.
void PaintIcon(QPaintDevice& device, int size) {
    QPainter p(&device);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    // A rounded square in deep blue, a rising wave across it, three bars of
    // a level meter: a small wave becoming a bigger one.
    QLinearGradient back(0, 0, 0, s);
    back.setColorAt(0, QColor(40, 90, 170));
    back.setColorAt(1, QColor(15, 40, 95));
    p.setPen(Qt::NoPen);
    p.setBrush(back);
    p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.18, s * 0.18);
    QPainterPath wave;
    const int steps = std::max(16, size);
    for (int i = 0; i <= steps; ++i) {
        const double x = 0.12 + 0.76 * i / steps;
        const double amplitude = 0.06 + 0.22 * i / steps;
        const double y = 0.5 - amplitude * std::sin((x - 0.12) * 2 * M_PI * 2.25);
        if (i == 0) wave.moveTo(x * s, y * s);
        else wave.lineTo(x * s, y * s);
    }
    QPen pen(QColor(255, 210, 70), std::max(1.0, s * 0.07), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    for (int i = 0; i < 3; ++i) {
        const double h = s * (0.08 + 0.06 * i);
        p.drawRoundedRect(QRectF(s * (0.62 + 0.09 * i), s * 0.86 - h, s * 0.06, h), s * 0.02, s * 0.02);
    }
}

}  // namespace

QPixmap DrawProgramIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    PaintIcon(pixmap, size);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) icon.addPixmap(DrawProgramIcon(size));
    return icon;
}

QString InstallDesktopIcon() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/icons/hicolor";
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString folder = QString("%1/%2x%2/apps").arg(base).arg(size);
        const QString path = folder + "/sonivel.png";
        if (QFile::exists(path)) continue;
        QDir().mkpath(folder);
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        PaintIcon(image, size);
        image.save(path, "PNG");
    }
    return "sonivel";
}

namespace {

// A glyph of our own: simple shapes in the text colour on transparency.
QIcon Glyph(const char* themeName, void (*draw)(QPainter&, double)) {
    const QIcon themed = QIcon::fromTheme(themeName);
    if (!themed.isNull()) return themed;
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 40, 40));
        draw(p, size);
        icon.addPixmap(pm);
    }
    return icon;
}

void Triangle(QPainter& p, double x0, double s, bool right) {
    QPolygonF t;
    if (right) t << QPointF(x0, s * 0.2) << QPointF(x0 + s * 0.45, s * 0.5) << QPointF(x0, s * 0.8);
    else t << QPointF(x0 + s * 0.45, s * 0.2) << QPointF(x0, s * 0.5) << QPointF(x0 + s * 0.45, s * 0.8);
    p.drawPolygon(t);
}

}  // namespace

QIcon PlayGlyph() {
    return Glyph("media-playback-start", [](QPainter& p, double s) { Triangle(p, s * 0.3, s * 1.2, true); });
}
QIcon StopGlyph() {
    return Glyph("media-playback-stop", [](QPainter& p, double s) { p.drawRect(QRectF(s * 0.25, s * 0.25, s * 0.5, s * 0.5)); });
}
QIcon RewindGlyph() {
    return Glyph("media-seek-backward", [](QPainter& p, double s) {
        Triangle(p, s * 0.05, s, false);
        Triangle(p, s * 0.45, s, false);
    });
}
QIcon PreviousGlyph() {
    return Glyph("media-skip-backward", [](QPainter& p, double s) {
        p.drawRect(QRectF(s * 0.2, s * 0.2, s * 0.1, s * 0.6));
        Triangle(p, s * 0.32, s, false);
    });
}
QIcon NextGlyph() {
    return Glyph("media-skip-forward", [](QPainter& p, double s) {
        Triangle(p, s * 0.22, s, true);
        p.drawRect(QRectF(s * 0.7, s * 0.2, s * 0.1, s * 0.6));
    });
}
QIcon PlaylistGlyph() {
    return Glyph("view-media-playlist", [](QPainter& p, double s) {
        for (int i = 0; i < 3; ++i) p.drawRect(QRectF(s * 0.2, s * (0.25 + 0.2 * i), s * 0.6, s * 0.1));
    });
}

}  // namespace sonivel
