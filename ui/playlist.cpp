#include "playlist.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "mainform.h"
#include "playlist_file.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {
namespace {
QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }
constexpr const char* kPlaylistFilter = "Sonivel Playlist (*.snl)";
}  // namespace

TPlaylistForm::TPlaylistForm(TMainForm& main, UiServices& services, QWidget* parent)
    : QDialog(parent), main_(main), services_(services) {
    setObjectName("PlaylistForm");
    setModal(true);
    auto* row = new QHBoxLayout(this);
    Playlist = new QListWidget(this);
    Playlist->setObjectName("Playlist");
    Playlist->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Playlist->setMinimumWidth(320);
    row->addWidget(Playlist, 1);
    auto* buttons = new QVBoxLayout;
    auto button = [&](QPushButton*& b, const char* name, void (TPlaylistForm::*handler)()) {
        b = new QPushButton(this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, handler);
    };
    button(Button2, "Button2", &TPlaylistForm::Button2Click);
    button(Button4, "Button4", &TPlaylistForm::Button4Click);
    button(Button5, "Button5", &TPlaylistForm::Button5Click);
    button(Button6, "Button6", &TPlaylistForm::Button6Click);
    buttons->addStretch(1);
    button(Button7, "Button7", &TPlaylistForm::CloseAction);
    row->addLayout(buttons);
    connect(Playlist, &QListWidget::itemDoubleClicked, this, [this] { Button4Click(); });
    SetCaptions();
}

void TPlaylistForm::SetCaptions() {
    setWindowTitle(Q(Text(50)));
    Button2->setText(Q(Text(52)));
    Button4->setText(Q(Text(54)));
    Button5->setText(Q(Text(55)));
    Button6->setText(Q(Text(56)));
    Button7->setText(Q(Text(57)));
}

void TPlaylistForm::showEvent(QShowEvent* event) {
    SetCaptions();
    QDialog::showEvent(event);
}

QStringList TPlaylistForm::Entries() const {
    QStringList entries;
    for (int i = 0; i < Playlist->count(); ++i) entries << Playlist->item(i)->text();
    return entries;
}

void TPlaylistForm::Append(const QString& path) {
    Playlist->addItem(path);
    main_.UpdateTrackButtons();
}

int TPlaylistForm::Find(const QString& name, bool ignoreCase) const {
    for (int i = 0; i < Playlist->count(); ++i)
        if (QString::compare(Playlist->item(i)->text(), name, ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0)
            return i;
    return -1;
}

bool TPlaylistForm::NotInPlaylist(const QString& path) const { return Find(path, true) < 0; }

void TPlaylistForm::Button2Click() {
    Playlist->clear();
    main_.NoFileState();
}

void TPlaylistForm::Button4Click() {
    const int selected = static_cast<int>(Playlist->selectedItems().size());
    if (selected == Playlist->count()) {
        Button2Click();
        return;
    }
    for (int i = 0; i < Playlist->count();) {
        if (Playlist->item(i)->isSelected()) delete Playlist->takeItem(i);
        else ++i;
    }
    main_.UpdateTrackButtons();
}

void TPlaylistForm::Button5Click() {
    Registry store;
    const QString path = services_.OpenFile(this, store.ReadString("LastPlayListFolder"), kPlaylistFilter);
    if (path.isEmpty()) return;
    QStringList entries;
    QString error;
    if (!ReadPlaylistFile(path, entries, &error)) {
        services_.Message(this, "Sonivel", error, UiServices::Icon::Error);
        return;
    }
    Playlist->clear();
    Playlist->addItems(entries);
    main_.UpdateTrackButtons();
    store.WriteString("LastPlayListFolder", FolderOf(path));
    store.Sync();
}

void TPlaylistForm::Button6Click() {
    if (Count() == 0) {
        services_.Message(this, Q(Text(31)), Q(Text(58)), UiServices::Icon::Error);
        return;
    }
    Registry store;
    const QString path = services_.SaveFile(this, store.ReadString("LastPlayListFolder"), kPlaylistFilter, "snl");
    if (path.isEmpty()) return;
    QString error;
    if (!WritePlaylistFile(path, Entries(), &error)) {
        services_.Message(this, "Sonivel", error, UiServices::Icon::Error);
        return;
    }
    store.WriteString("LastPlayListFolder", FolderOf(path));
    store.Sync();
}

void TPlaylistForm::CloseAction() {
    if (isVisible()) reject();
    else FormClose();
}

void TPlaylistForm::done(int result) {
    FormClose();
    QDialog::done(result);
}

void TPlaylistForm::FormClose() {
    if (Count() > 0) {
        main_.SetCurrentFile(Playlist->item(0)->text());
        main_.RewindClick();
        main_.FileLoadedUpdate();
    }
}

void TPlaylistForm::StepTrack(bool next) {
    const int count = Count();
    if (count == 0) return;
    const int at = Find(main_.CurrentFile(), true);
    int chosen;
    if (next) chosen = (at < 0 || at == count - 1) ? 0 : at + 1;
    else chosen = (at <= 0) ? count - 1 : at - 1;
    main_.SetCurrentFile(Playlist->item(chosen)->text());
    main_.FileLoadedUpdate();
}

bool TPlaylistForm::AdvanceAfterTrack() {
    const int count = Count();
    const int at = Find(main_.CurrentFile(), false);
    int chosen = -1;
    if (at >= 0 && at == count - 1 && main_.AutoRepeat->isChecked()) chosen = 0;
    else if (at >= 0 && at < count - 1) chosen = at + 1;
    if (chosen < 0) return false;
    main_.SetCurrentFile(Playlist->item(chosen)->text());
    main_.FileLoadedUpdate();
    return true;
}

void TPlaylistForm::DropUnopenableFile(const QString& name) {
    Playlist->clearSelection();
    const int at = Find(name, true);
    if (at >= 0) Playlist->item(at)->setSelected(true);
    Button4Click();
    CloseAction();
}

}  // namespace sonivel
