// TArtLabel: a caption drawn raised, with a grey shadow three pixels long, a
// white outline, and a fill of horizontal stripes two pixels wide in three
// dark greys down to black, on the button-face colour.
#pragma once

#include <QWidget>

namespace sonivel {

class TArtLabel : public QWidget {
    Q_OBJECT
public:
    explicit TArtLabel(const QString& text, QWidget* parent = nullptr);
    QString Text() const { return text_; }
    void SetText(const QString& text);
    QSize sizeHint() const override;

    static constexpr int kShadow = 3;
    static constexpr int kStripe = 2;
    static const QColor kStripeColors[3];

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
};

}  // namespace sonivel
