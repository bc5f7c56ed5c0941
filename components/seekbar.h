// TSeekBar: the position slider. While a file plays its value moves ten
// times a second, mostly by less than a pixel; it repaints only when the
// handle moves, and then only the span between the old and the new handle.
// A left click goes where it is clicked, as the desktop's sliders do: the
// handle jumps under the pointer and is held there until the release, so a
// click is one move, like a drag let go at that place; Page Up/Down and the
// arrows keep their steps.
#pragma once

#include <QSlider>

namespace sonivel {

class TSeekBar : public QSlider {
    Q_OBJECT
public:
    explicit TSeekBar(Qt::Orientation orientation, QWidget* parent = nullptr);
    // Where the handle is drawn for the current value, in the bar's pixels.
    QRect HandleRect() const;
    // The value whose handle is centred at `x`, in the bar's pixels.
    int ValueAt(int x) const;

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRect painted_;  // the handle as last drawn or asked to be drawn
    bool jumped_ = false;  // the press moved the handle under the pointer
};

}  // namespace sonivel
