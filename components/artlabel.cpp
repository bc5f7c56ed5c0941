#include "artlabel.h"

#include <QPainter>
#include <QPainterPath>

namespace sonivel {

// Dark enough that every stripe stands out 4.5:1 or more from the white
// edge around the letters and the button face, at a caption's small size too.
const QColor TArtLabel::kStripeColors[3] = {QColor(96, 96, 96), QColor(48, 48, 48), QColor(0, 0, 0)};

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
    // The outline, under the fill: its outer pixel rings the letters, so no
    // stripe touches the shadow, and it does not eat into the strokes,
    // which at a small size are two or three pixels.
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    // The fill: stripes across the letters.
    p.setClipPath(path);
    for (int y = 0, k = 0; y < height(); y += kStripe, ++k)
        p.fillRect(QRect(0, y, width(), kStripe), kStripeColors[k % 3]);
}

}  // namespace sonivel
