#include "seekbar.h"

#include <QStyleOptionSlider>

namespace sonivel {

TSeekBar::TSeekBar(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {}

QRect TSeekBar::HandleRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
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
