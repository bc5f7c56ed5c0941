#include "services.h"

#include <QFileDialog>
#include <QMessageBox>

namespace sonivel {
namespace {

QMessageBox* MakeBox(QWidget* parent, const QString& caption, const QString& text,
                     QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) {
    auto* box = new QMessageBox(icon, caption, text, buttons, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

QMessageBox::Icon ToQt(UiServices::Icon icon) {
    return icon == UiServices::Icon::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
}

}  // namespace

void QtUiServices::Message(QWidget* parent, const QString& caption, const QString& text, Icon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void QtUiServices::MessageAsync(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                                std::function<void()> closed) {
    QMessageBox* box = MakeBox(parent, caption, text, ToQt(icon), QMessageBox::Ok);
    // Not modal: the windows stay usable while the box waits for the user.
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QMessageBox::finished, box, [closed] { closed(); });
    box->show();
}

bool QtUiServices::Question(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

void QtUiServices::QuestionAsync(QWidget* parent, const QString& caption, const QString& text,
                                 std::function<void(bool)> answered) {
    QMessageBox* box = MakeBox(parent, caption, text, QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No);
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QMessageBox::finished, box,
                     [answered](int result) { answered(result == QMessageBox::Yes); });
    box->show();
}

QString QtUiServices::OpenFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix("wav");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

QString QtUiServices::SaveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                               const QString& defaultSuffix) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

}  // namespace sonivel
