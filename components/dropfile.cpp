#include "dropfile.h"

#include <QAbstractScrollArea>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace sonivel {

TDropFile::TDropFile(QWidget* owner) : QObject(owner), owner_(owner) {
    InitControl();
    SetEnabled(enabled_);
}

TDropFile::~TDropFile() { DestroyControl(); }

QList<QWidget*> TDropFile::Receivers() const {
    QList<QWidget*> receivers;
    if (!target_) return receivers;
    receivers << target_.data();
    // A list's drops arrive at its viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target_.data())) receivers << area->viewport();
    return receivers;
}

void TDropFile::InitControl() {
    if (!target_) target_ = owner_;
    for (QWidget* w : Receivers()) w->installEventFilter(this);
}

void TDropFile::DestroyControl() {
    for (QWidget* w : Receivers()) {
        w->removeEventFilter(this);
        w->setAcceptDrops(false);
    }
}

void TDropFile::SetEnabled(bool enabled) {
    enabled_ = enabled;
    for (QWidget* w : Receivers()) w->setAcceptDrops(enabled);
}

void TDropFile::SetDropTarget(QWidget* target) {
    DestroyControl();
    target_ = target;
    InitControl();
    SetEnabled(enabled_);
}

QString TDropFile::FileNameOf(const QString& fileWithPath) {
    const int at = std::max(fileWithPath.lastIndexOf('/'), fileWithPath.lastIndexOf('\\'));
    return at < 0 ? QString() : fileWithPath.mid(at + 1);
}

QString TDropFile::ExtensionOf(const QString& fileName) {
    const int at = fileName.lastIndexOf('.');
    return at < 0 ? QString() : fileName.mid(at + 1);
}

namespace {
QStringList LocalFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << QDir::toNativeSeparators(url.toLocalFile());
    return files;
}
}  // namespace

bool TDropFile::eventFilter(QObject* watched, QEvent* event) {
    if (!enabled_) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (LocalFiles(drag->mimeData()).isEmpty()) return false;
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const QStringList files = LocalFiles(drop->mimeData());
            if (files.isEmpty()) return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (QWidget* window = target_ ? target_->window() : nullptr) {
                window->raise();
                window->activateWindow();
            }
            for (const QString& file : files) {
                const QString name = FileNameOf(file);
                emit DropFile(file, name, ExtensionOf(name));
            }
            emit FilesDropped(files);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace sonivel
