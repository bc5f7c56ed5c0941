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

#include "playlist_model.h"
#include "playlist_rules.h"
#include "playlist_file.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {
namespace {
// Open offers every kind a playlist is read as, together first; Save the
// two it is written as, Sonivel's own first (the default).
constexpr const char* kOpenPlaylistFilter =
    "All playlists (*.snl *.m3u *.m3u8 *.pls);;Sonivel Playlist (*.snl);;M3U Playlist (*.m3u *.m3u8);;"
    "PLS Playlist (*.pls)";
constexpr const char* kSavePlaylistFilter = "Sonivel Playlist (*.snl);;M3U8 Playlist (*.m3u8)";

// A regular file that starts as a wave file does ("RIFF", a size, "WAVE").
bool LooksLikeWaveFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

// At most this many names in one box; the rest are counted.
constexpr int kNamesShown = 20;

QString NamedList(const QStringList& names) {
    QStringList shown = names.mid(0, kNamesShown);
    if (names.size() > kNamesShown)
        shown << Q(FormatText(kTextAndMore, {std::to_string(names.size() - kNamesShown)}, CurrentLanguage().load()));
    return shown.join('\n');
}
}  // namespace

TPlaylistForm::TPlaylistForm(PlaylistOwner& owner, UiServices& services, QWidget* parent)
    : QDialog(parent), owner_(owner), services_(services) {
    setObjectName("PlaylistForm");
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    auto* row = new QHBoxLayout(this);

    Model = new PlaylistModel(this);
    Model->setObjectName("PlaylistModel");
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

void TPlaylistForm::AddNames(const QStringList& names) {
    QSet<QString> present;
    present.reserve(Model->Count() + names.size());
    for (const QString& entry : Model->Entries()) present.insert(FileNameKey(entry));
    QStringList added, refused;
    for (const QString& name : names) {
        if (!FitsPlaylistLine(name)) {
            refused << name;
            continue;
        }
        const QString key = FileNameKey(name);
        if (present.contains(key)) continue;
        present.insert(key);
        added << name;
    }
    if (!added.isEmpty()) {
        Model->Append(added);
        owner_.PlaylistChanged();
    }
    if (refused.isEmpty()) return;
    // One line a name; the line break itself shown as \n.
    QStringList shown;
    for (QString name : refused) shown << name.replace('\r', "\\r").replace('\n', "\\n").replace(QChar(0), "\\0");
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

void TPlaylistForm::Append(const QString& path) { AppendAll({path}); }

void TPlaylistForm::AppendAll(const QStringList& paths) {
    // A name that cannot be stored in a playlist file still plays; it is
    // only not listed.
    QStringList fit;
    for (const QString& path : paths)
        if (FitsPlaylistLine(path)) fit << path;
    Model->Append(fit);
    owner_.PlaylistChanged();
}

int TPlaylistForm::Find(const QString& name) const { return FindEntry(Entries(), name, FileNameCase()); }

bool TPlaylistForm::NotInPlaylist(const QString& path) const { return Find(path) < 0; }

void TPlaylistForm::Clear() {
    Model->Clear();
    owner_.PlaylistEmptied();
}

void TPlaylistForm::Button2Click() { Clear(); }

void TPlaylistForm::Button4Click() {
    QList<int> rows;
    for (const QModelIndex& index : Playlist->selectionModel()->selectedRows()) rows << index.row();
    Remove(rows);
}

void TPlaylistForm::Remove(const QList<int>& rows) {
    // Every entry (an empty list too) is Remove all.
    if (rows.size() == Model->Count()) {
        Clear();
        return;
    }
    Model->Remove(rows);
    owner_.PlaylistChanged();
}

bool TPlaylistForm::OpenPlaylist() {
    Registry store;
    const QString path =
        services_.OpenFile(this, "Open Playlist", StartFolder({store.ReadString("LastPlayListFolder")}), kOpenPlaylistFilter, "snl");
    if (path.isEmpty()) return true;
    QStringList entries;
    QString error;
    PlaylistKind kind = PlaylistKind::Snl;
    if (!ReadPlaylistFile(path, entries, &error, &kind)) {
        services_.Message(this, ErrorBoxCaption(ErrorSource::Framework), error, UiServices::Icon::Error);
        return false;
    }
    // Another program's list may name anything, anywhere: what is not a
    // wave file there is left out, and said so. Sonivel's own lists are
    // taken as they stand; an entry is dropped when it cannot be opened.
    QStringList kept, left;
    if (kind == PlaylistKind::Snl) kept = entries;
    else
        for (const QString& entry : entries) (LooksLikeWaveFile(entry) ? kept : left) << entry;
    Model->Set(kept);
    owner_.PlaylistChanged();
    if (!left.isEmpty()) {
        const QString why = Q(Text(kTextListNamesLeftOut));
        services_.Message(this, ErrorBoxCaption(ErrorSource::Program), why + "\n" + NamedList(left),
                          UiServices::Icon::Warning);
    }
    store.WriteString("LastPlayListFolder", FolderOf(path));
    store.Sync();
    return true;
}

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

void TPlaylistForm::CloseAction() { Finish(); }

// Shown or not, the dialog's end runs the close handler (done).
void TPlaylistForm::Finish() { reject(); }

void TPlaylistForm::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TPlaylistForm::FormClose() {
    if (Count() > 0) {
        owner_.LoadFirstTrack(Model->Entries().front());
    }
    Registry store;
    store.WriteString("LastPlayListSelectionFolder", QDir::toNativeSeparators(folder_));
    store.Sync();
}

void TPlaylistForm::StepTrack(bool next, const QString& from) {
    const int chosen = StepIndex(Entries(), from, owner_.CurrentFile(), next);
    if (chosen >= 0) owner_.LoadTrack(Model->Entries()[chosen]);
}

bool TPlaylistForm::AdvanceAfterTrack() {
    const int chosen = AdvanceIndex(Entries(), owner_.CurrentFile(), owner_.AutoRepeatOn());
    if (chosen < 0) return false;
    owner_.LoadTrack(Model->Entries()[chosen]);
    return true;
}

QString TPlaylistForm::NextAfterTrack(const QString& after) const {
    const int chosen = AdvanceIndex(Entries(), after, owner_.AutoRepeatOn());
    return chosen < 0 ? QString() : Model->Entries()[chosen];
}

bool TPlaylistForm::AdvanceAfterTrackTo(const QString& expected) {
    // The name itself decides, not its place: an entry moved or a list
    // rebuilt with the same next file still leads to what was prepared.
    if (expected.isEmpty() || NextAfterTrack(owner_.CurrentFile()) != expected) return false;
    return AdvanceAfterTrack();
}

void TPlaylistForm::DropUnopenableFile(const QString& name) {
    const int at = Find(name);
    Remove(at >= 0 ? QList<int>{at} : QList<int>{});
    Finish();
}

}  // namespace sonivel
