#include "about.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "texts.h"

namespace sonivel {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    auto* column = new QVBoxLayout(this);
    auto* title = new QLabel("<h2>Sonivel</h2><p>Version 2.0</p>", this);
    title->setObjectName("ProductName");
    column->addWidget(title);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    column->addWidget(buttons);
}

void TAboutBox::showEvent(QShowEvent* event) {
    setWindowTitle(CurrentLanguage().load() == kFrench ? "A propos de Sonivel" : "About Sonivel");
    QDialog::showEvent(event);
}

}  // namespace sonivel
