#include "services.h"

#include <QFileDialog>
#include <QFontMetrics>
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

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogSpec& spec) {
    if (!spec.title.isEmpty()) dialog.setWindowTitle(spec.title);
    dialog.setDirectory(spec.folder);
    dialog.setNameFilter(spec.filter);
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.save);
    // Name, size, type and date side by side need about a hundred average
    // characters; Qt's own default cuts the columns.
    const QFontMetrics metrics(dialog.font());
    dialog.resize(qMax(dialog.width(), metrics.averageCharWidth() * 110),
                  qMax(dialog.height(), metrics.height() * 30));
}

namespace {

QString RunFileDialog(QWidget* parent, const FileDialogSpec& spec) {
    QFileDialog dialog(parent);
    dialog.setObjectName(spec.save ? "SaveDialog" : "OpenDialog");
    ConfigureFileDialog(dialog, spec);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
}

}  // namespace

QString QtUiServices::OpenFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                               const QString& defaultSuffix) {
    return RunFileDialog(parent, {false, title, folder, filter, defaultSuffix});
}

QString QtUiServices::SaveFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter,
                               const QString& defaultSuffix) {
    return RunFileDialog(parent, {true, title, folder, filter, defaultSuffix});
}

}  // namespace sonivel
