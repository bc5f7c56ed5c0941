#include "artlabel.h"

#include <QPainter>
#include <QPainterPath>

namespace sonivel {

const QColor TArtLabel::kStripeColors[3] = {QColor(192, 192, 192), QColor(128, 128, 128), QColor(0, 0, 0)};

TArtLabel::TArtLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    setAccessibleName(text);
}

void TArtLabel::SetText(const QString& text) {
    text_ = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

QSize TArtLabel::sizeHint() const {
    const QFontMetrics m(font());
    return QSize(m.horizontalAdvance(text_) + kShadow + 4, m.height() + kShadow + 2);
}

void TArtLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().button());
    p.setRenderHint(QPainter::Antialiasing, false);
    QPainterPath path;
    path.addText(QPointF(2, 1 + QFontMetrics(font()).ascent()), font(), text_);
    // The shadow: the letters again, down and to the right, one pixel at a time.
    for (int d = kShadow; d >= 1; --d) p.fillPath(path.translated(d, d), QColor(128, 128, 128));
    // The raised edge: light above and left.
    p.fillPath(path.translated(-1, -1), Qt::white);
    // The fill: stripes across the letters.
    p.save();
    p.setClipPath(path);
    for (int y = 0, k = 0; y < height(); y += kStripe, ++k)
        p.fillRect(QRect(0, y, width(), kStripe), kStripeColors[k % 3]);
    p.restore();
    // The outline.
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

}  // namespace sonivel
