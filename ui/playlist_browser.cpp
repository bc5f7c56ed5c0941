// The playlist editor's browser: the drives, the current folder's wave
// files, and the folder list beside them.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QStorageInfo>
#include <QVBoxLayout>

#include "file_names.h"
#include "folder_files.h"
#include "playlist.h"

namespace sonivel {

// The browser: the current folder's wave files over the drives, and the
// folder list that stands beside them.
QVBoxLayout* TPlaylistForm::BuildBrowser() {
    auto* files = new QVBoxLayout;
    FileListBox1 = new QListWidget(this);
    FileListBox1->setObjectName("FileListBox1");
    FileListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FileListBox1->setMinimumWidth(170);
    files->addWidget(FileListBox1, 1);
    DriveComboBox1 = new QComboBox(this);
    DriveComboBox1->setObjectName("DriveComboBox1");
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        if (DriveComboBox1->findData(root) < 0) DriveComboBox1->addItem(QDir::toNativeSeparators(root), root);
    }
    if (DriveComboBox1->findData(QDir::rootPath()) < 0)
        DriveComboBox1->insertItem(0, QDir::toNativeSeparators(QDir::rootPath()), QDir::rootPath());
    files->addWidget(DriveComboBox1);

    DirectoryListBox1 = new QListWidget(this);
    DirectoryListBox1->setObjectName("DirectoryListBox1");
    DirectoryListBox1->setMinimumWidth(170);
    return files;
}

bool TPlaylistForm::GoToFolder(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir()) return false;
    folder_ = QDir::cleanPath(info.absoluteFilePath());
    const QStorageInfo volume(folder_);
    const int drive = DriveComboBox1->findData(volume.isValid() ? volume.rootPath() : QDir::rootPath());
    if (drive >= 0) DriveComboBox1->setCurrentIndex(drive);
    ListFolders();
    ListFiles();
    return true;
}

// The folder list of the current drive: the path down to the current
// folder, one level of indent each, then the folders inside it.
void TPlaylistForm::ListFolders() {
    DirectoryListBox1->clear();
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    QStringList chain;
    for (QDir d(folder_);; ) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp()) break;
    }
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& path : chain) {
        const QString name = QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, ' ') + name, DirectoryListBox1);
        item->setData(Qt::UserRole, path);
        current = item;
        ++depth;
    }
    const QString base = folder_.endsWith('/') ? folder_ : folder_ + '/';
    for (const QString& sub : QDir(folder_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, ' ') + sub, DirectoryListBox1);
        item->setData(Qt::UserRole, base + sub);
    }
    if (current) DirectoryListBox1->setCurrentItem(current);
}

void TPlaylistForm::DriveChanged() {
    const QString root = DriveComboBox1->currentData().toString();
    if (!root.isEmpty()) GoToFolder(root);
}

void TPlaylistForm::ListFiles() {
    FileListBox1->clear();
    // "*.wav" in any letter case.
    const QStringList names = QDir(folder_).entryList({"*.wav"}, QDir::Files | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    // Each name with the desktop's file icon, one shared picture.
    const QIcon icon = style()->standardIcon(QStyle::SP_FileIcon);
    for (const QString& name : names) new QListWidgetItem(icon, name, FileListBox1);
}

}  // namespace sonivel
