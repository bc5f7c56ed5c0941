#include "seekbar.h"

#include <utility>

#include <QMouseEvent>
#include <QStyleOptionSlider>

namespace sonivel {

TSeekBar::TSeekBar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

QRect TSeekBar::HandleRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

int TSeekBar::ValueAt(int x) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), x - handle.width() / 2 - groove.x(), span,
                                           option.upsideDown);
}

void TSeekBar::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || event->buttons() != Qt::LeftButton || maximum() == minimum() ||
        HandleRect().contains(at)) {
        QSlider::mousePressEvent(event);
        return;
    }
    // Held first, so the jump is not a move of its own; then the press is
    // the handle's, and a drag goes on from there.
    jumped_ = true;
    setSliderDown(true);
    setSliderPosition(ValueAt(at.x()));
    const QPointF centre = HandleRect().center();
    QMouseEvent onHandle(event->type(), centre, mapToGlobal(centre), event->button(), event->buttons(),
                         event->modifiers(), event->pointingDevice());
    QSlider::mousePressEvent(&onHandle);
    event->accept();
}

void TSeekBar::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    // Let go however the slider took the press: the move ends here.
    if (std::exchange(jumped_, false) && isSliderDown()) setSliderDown(false);
}

void TSeekBar::sliderChange(SliderChange change) {
    if (change != SliderValueChange || painted_.isNull()) {
        QSlider::sliderChange(change);
        return;
    }
    const QRect now = HandleRect();
    if (now == painted_) return;
    // The groove between the two places changes too (styles fill it up to
    // the handle): the rectangle joining both handles covers it, with a
    // margin for the handle's outline and shadow.
    update(painted_.united(now).adjusted(-2, -2, 2, 2));
    painted_ = now;
}

void TSeekBar::paintEvent(QPaintEvent* event) {
    painted_ = HandleRect();
    QSlider::paintEvent(event);
}

void TSeekBar::resizeEvent(QResizeEvent* event) {
    painted_ = {};
    QSlider::resizeEvent(event);
}

}  // namespace sonivel
