#include "services.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QDateTime>
#include <QFileSystemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLocale>
#include <QRegularExpression>
#include <QTreeView>

#include "texts.h"
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
    switch (icon) {
        case UiServices::Icon::Error:
            return QMessageBox::Critical;
        case UiServices::Icon::Warning:
            return QMessageBox::Warning;
        default:
            return QMessageBox::NoIcon;
    }
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

QString ErrorBoxCaption(ErrorSource source) {
    if (source == ErrorSource::Framework) return QStringLiteral("Sonivel");
    const std::string_view caption = ErrorCaption(CurrentLanguage().load());
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

QString NamingFile(const QString& text, const QString& file) {
    if (file.isEmpty()) return text;
    // About the width of a message box's line.
    constexpr qsizetype kShortPath = 60;
    const QString shown = QDir::toNativeSeparators(file);
    if (shown.size() <= kShortPath) return text + "\n" + shown;
    const QFileInfo info(file);
    return text + "\n" + info.fileName() + "\n" + QDir::toNativeSeparators(info.path());
}

QString StartFolder(const QStringList& candidates) {
    for (const QString& candidate : candidates) {
        const QFileInfo info(QDir::fromNativeSeparators(candidate));
        if (candidate.isEmpty() || info.isRelative()) continue;  // relative to nothing the person chose
        if (info.isDir()) return QDir::cleanPath(info.absoluteFilePath());
        if (info.isFile()) return info.absolutePath();
        // A file since removed: the folder it was in, where that is still there.
        if (!info.exists() && !info.fileName().isEmpty() && info.dir().exists()) return info.absolutePath();
    }
    return QDir::homePath();
}

void ConfigureFileDialog(QFileDialog& dialog, const FileDialogSpec& spec) {
    if (!spec.title.isEmpty()) dialog.setWindowTitle(spec.title);
    dialog.setDirectory(StartFolder({spec.folder}));
    dialog.setNameFilter(spec.filter);
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(spec.defaultSuffix);
    // With a choice of kinds, a name typed without a suffix gets the chosen
    // filter's (its first pattern's).
    if (!spec.defaultSuffix.isEmpty() && spec.filter.contains(";;")) {
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
            const qsizetype at = filter.indexOf("(*.");
            if (at < 0) return;
            const QString suffix = filter.mid(at + 3).section(QRegularExpression("[ )]"), 0, 0);
            if (!suffix.isEmpty() && !suffix.contains('*')) dialog.setDefaultSuffix(suffix);
        });
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.save);
    // The detail view's columns as wide as what they show (Qt's defaults
    // cut the size and the date), and the dialog as wide as its columns.
    const QFontMetrics metrics(dialog.font());
    int width = metrics.averageCharWidth() * 110;
    if (auto* tree = dialog.findChild<QTreeView*>("treeView")) {
        QHeaderView* header = tree->header();
        const QFontMetrics cells(tree->font());
        const int pad = cells.averageCharWidth() * 4;
        const QDateTime late(QDate(2000, 12, 28), QTime(23, 59, 59));
        const int columns[] = {
            cells.averageCharWidth() * 40,
            cells.horizontalAdvance(QStringLiteral("1,023.9 MiB")) + pad,
            cells.horizontalAdvance(QStringLiteral("Wave audio file")) + pad,
            cells.horizontalAdvance(QLocale::system().toString(late, QLocale::ShortFormat)) + pad,
        };
        int total = 0;
        for (int i = 0; i < 4 && i < header->count(); ++i) {
            header->resizeSection(i, columns[i]);
            total += columns[i];
        }
        // The side bar, the frames and the dialog's margins.
        width = qMax(width, total + metrics.averageCharWidth() * 30);
        // Once a folder is read, the size, type and date columns also fit
        // what it shows (a type can be a long description).
        if (auto* model = dialog.findChild<QFileSystemModel*>()) {
            QObject::connect(model, &QFileSystemModel::directoryLoaded, tree, [tree] {
                for (int column = 1; column < tree->header()->count(); ++column) {
                    const int before = tree->header()->sectionSize(column);
                    tree->resizeColumnToContents(column);
                    if (tree->header()->sectionSize(column) < before) tree->header()->resizeSection(column, before);
                }
            });
        }
    }
    dialog.resize(qMax(dialog.width(), width), qMax(dialog.height(), metrics.height() * 30));
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
