// TSeekBar: the position slider. While a file plays its value moves ten
// times a second, mostly by less than a pixel; it repaints only when the
// handle moves, and then only the span between the old and the new handle.
#pragma once

#include <QSlider>

namespace sonivel {

class TSeekBar : public QSlider {
    Q_OBJECT
public:
    explicit TSeekBar(Qt::Orientation orientation, QWidget* parent = nullptr);
    // Where the handle is drawn for the current value, in the bar's pixels.
    QRect HandleRect() const;

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect painted_;  // the handle as last drawn or asked to be drawn
};

}  // namespace sonivel
