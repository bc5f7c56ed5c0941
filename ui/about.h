// TAboutBox: the about window (its pages and links come with the desktop
// integration; for now the product, the version and what it does).
#pragma once

#include <QDialog>

namespace sonivel {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace sonivel
