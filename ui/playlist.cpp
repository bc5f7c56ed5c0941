#include "playlist.h"

#include <QShortcut>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScreen>
#include <QSet>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "dropfile.h"
#include "file_names.h"
#include "folder_files.h"
#include "keyboard.h"
#include "player.h"
#include "playlist_open.h"

#include "playlist_model.h"
#include "playlist_file.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {
namespace {
// Save offers the two kinds a playlist is written as, Sonivel's own first
// (the default).
constexpr const char* kSavePlaylistFilter = "Sonivel Playlist (*.snl);;M3U8 Playlist (*.m3u8)";

}  // namespace

TPlaylistForm::TPlaylistForm(Player& player, UiServices& services, QWidget* parent)
    : QDialog(parent), player_(player), services_(services) {
    setObjectName("PlaylistForm");
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    auto* row = new QHBoxLayout(this);

    Model = &player_.Playlist();
    Playlist = new QListView(this);
    Playlist->setObjectName("Playlist");
    Playlist->setModel(Model);
    Playlist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Playlist->setUniformItemSizes(true);  // one line a name: long lists lay out at once
    Playlist->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Playlist->setMinimumSize(260, 240);
    // Delete in the list removes the selected entries, as Remove does.
    new QShortcut(QKeySequence::Delete, Playlist, this, &TPlaylistForm::Button4Click, Qt::WidgetShortcut);
    row->addWidget(Playlist, 2);
    row->addLayout(BuildButtons());
    row->addLayout(BuildBrowser(), 1);
    row->addWidget(DirectoryListBox1, 1);
    ConnectControls();
    GoToFolder(QDir::homePath());
    SetCaptions();
}

// The column of buttons between the playlist and the browser.
QVBoxLayout* TPlaylistForm::BuildButtons() {
    auto* buttons = new QVBoxLayout;
    auto button = [&](QPushButton*& b, const char* name, void (TPlaylistForm::*handler)()) {
        b = new QPushButton(this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, handler);
    };
    auto line = [&](QFrame*& f, const char* name) {
        f = new QFrame(this);
        f->setObjectName(name);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        buttons->addWidget(f);
    };
    button(Button1, "Button1", &TPlaylistForm::Button1Click);
    button(Button2, "Button2", &TPlaylistForm::Button2Click);
    button(Button3, "Button3", &TPlaylistForm::Button3Click);
    button(Button4, "Button4", &TPlaylistForm::Button4Click);
    line(Panel1, "Panel1");
    button(Button5, "Button5", &TPlaylistForm::Button5Click);
    button(Button6, "Button6", &TPlaylistForm::Button6Click);
    line(Panel2, "Panel2");
    button(Button7, "Button7", &TPlaylistForm::CloseAction);
    buttons->addStretch(1);
    return buttons;
}

void TPlaylistForm::ConnectControls() {
    connect(Playlist, &QListView::doubleClicked, this, [this] { Button4Click(); });
    connect(FileListBox1, &QListWidget::itemDoubleClicked, this, [this] { Button3Click(); });
    connect(DriveComboBox1, &QComboBox::activated, this, [this] { DriveChanged(); });
    // The browser's folder is folder_; the tree follows it (the model loads
    // folders in the background) and only the user's moves in the tree change it.
    // A folder opens when clicked or on Enter; the list is rebuilt after the
    // click has been handled, not under it.
    const auto open = [this](QListWidgetItem* item) {
        const QString path = item->data(Qt::UserRole).toString();
        if (path == folder_) return;
        QTimer::singleShot(0, this, [this, path] { GoToFolder(path); });
    };
    connect(DirectoryListBox1, &QListWidget::itemActivated, this, open);
    connect(DirectoryListBox1, &QListWidget::itemClicked, this, open);

    DropFile = new TDropFile(this);
    DropFile->setObjectName("DropFile");
    DropFile->SetDropTarget(Playlist);
    // A dropped folder stands for the wave files below it: an entry can only play a file.
    connect(DropFile, &TDropFile::FilesDropped, this, [this](const QStringList& paths) { AddNames(ExpandFolders(paths)); });
    connect(&player_, &Player::NamesRefused, this, &TPlaylistForm::RefuseNames);
    // The list was finished elsewhere (a playlist file opened, an entry
    // that could not play dropped): the dialog ends too.
    connect(&player_, &Player::ListFinished, this, [this] {
        if (!closing_) reject();
    });

    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, Button5);
    setTabOrder(Button5, Button6);
    setTabOrder(Button6, Button7);
    setTabOrder(Button7, Playlist);
    setTabOrder(Playlist, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, DriveComboBox1);
    setTabOrder(DriveComboBox1, FileListBox1);
}

void TPlaylistForm::SetCaptions() {
    setWindowTitle(Q(Text(kTextPlaylistCaption)));
    QStringList texts;
    for (const int id : {kTextAddAll, kTextRemoveAll, kTextAdd, kTextRemove, kTextOpenPlaylist, kTextSavePlaylist, kTextClose})
        texts << Q(Text(id));
    const QStringList marked = AddMnemonics(texts);
    QPushButton* const buttons[] = {Button1, Button2, Button3, Button4, Button5, Button6, Button7};
    for (int i = 0; i < 7; ++i) buttons[i]->setText(marked[i]);
    // What a screen reader calls the lists that have no caption of their own.
    Playlist->setAccessibleName(Q(Text(kTextPlaylistCaption)));
    FileListBox1->setAccessibleName(Q(Text(kTextWaveFilesList)));
    // Qt names a combo box after its current item (the drive shown), so what
    // the box is for goes into its description and its drop-down list's name.
    const QString drive = Q(Text(kTextDrive));
    DriveComboBox1->setAccessibleName(drive);
    DriveComboBox1->setAccessibleDescription(drive);
    DriveComboBox1->view()->setAccessibleName(drive);
    DirectoryListBox1->setAccessibleName(Q(Text(kTextFolders)));
    // At least the designed layout, the least that holds every control and
    // caption of the current language; it opens at that size the first time
    // and can be made larger, the lists taking the room.
    setMinimumSize(0, 0);
    layout()->activate();
    const QSize least = minimumSizeHint();
    setMinimumSize(least);
    resize(sized_ ? size().expandedTo(least) : least);
    sized_ = true;
}

void TPlaylistForm::AddFiles(bool selectedOnly) {
    // One separator between the folder and the name, also after a root.
    const QString base = folder_.endsWith('/') ? folder_ : folder_ + '/';
    QStringList names;
    for (int i = 0; i < FileListBox1->count(); ++i) {
        QListWidgetItem* item = FileListBox1->item(i);
        if (selectedOnly && !item->isSelected()) continue;
        names << QDir::toNativeSeparators(base + item->text());
    }
    AddNames(names);
}

void TPlaylistForm::Button1Click() { AddFiles(false); }
void TPlaylistForm::Button3Click() { AddFiles(true); }

void TPlaylistForm::AddNames(const QStringList& names) { player_.AddNames(names); }

void TPlaylistForm::RefuseNames(const QStringList& names) {
    // One line a name; the line break itself shown as \n.
    QStringList shown;
    for (QString name : names) shown << name.replace('\r', "\\r").replace('\n', "\\n").replace(QChar(0), "\\0");
    const QString why = Q(Text(kTextNameHasLineBreak));
    services_.Message(this, ErrorBoxCaption(ErrorSource::Program), why + "\n" + shown.join('\n'),
                      UiServices::Icon::Error);
}

void TPlaylistForm::showEvent(QShowEvent* event) {
    SetCaptions();
    // A remembered folder that no longer exists leaves the browser where it is.
    const QString remembered = Registry().ReadString("LastPlayListSelectionFolder");
    if (!GoToFolder(remembered) && !QFileInfo(folder_).isDir()) GoToFolder(QDir::homePath());
    QDialog::showEvent(event);
    // Centred on the screen the main window is on, not on the main window;
    // a screen too small for it shows its top left corner.
    if (QScreen* screen = parentWidget() ? parentWidget()->screen() : this->screen()) {
        const QRect available = screen->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(available.center());
        frame.moveLeft(qMax(frame.left(), available.left()));
        frame.moveTop(qMax(frame.top(), available.top()));
        move(frame.topLeft());
    }
}

QStringList TPlaylistForm::Entries() const { return Model->Entries(); }
int TPlaylistForm::Count() const { return Model->Count(); }

void TPlaylistForm::Button2Click() { player_.ClearPlaylist(); }

void TPlaylistForm::Button4Click() {
    QList<int> rows;
    for (const QModelIndex& index : Playlist->selectionModel()->selectedRows()) rows << index.row();
    player_.RemoveEntries(rows);
}


void TPlaylistForm::Button5Click() { OpenPlaylistFile(this, services_, player_); }

void TPlaylistForm::Button6Click() {
    if (Count() == 0) {
        services_.Message(this, ErrorBoxCaption(ErrorSource::Program), Q(Text(kTextEmptyPlaylist)), UiServices::Icon::Warning);
        return;
    }
    Registry store;
    const QString path =
        services_.SaveFile(this, "Save Playlist", StartFolder({store.ReadString("LastPlayListFolder")}), kSavePlaylistFilter, "snl");
    if (path.isEmpty()) return;
    QString error;
    if (!WritePlaylistFile(path, Entries(), &error)) {
        services_.Message(this, ErrorBoxCaption(ErrorSource::Framework), error, UiServices::Icon::Error);
        return;
    }
    store.WriteString("LastPlayListFolder", FolderOf(path));
    store.Sync();
}

void TPlaylistForm::done(int result) {
    closing_ = true;
    FormClose();
    closing_ = false;
    QDialog::done(result);
}

void TPlaylistForm::FormClose() {
    player_.FinishList();
    Registry store;
    store.WriteString("LastPlayListSelectionFolder", QDir::toNativeSeparators(folder_));
    store.Sync();
}

}  // namespace sonivel
