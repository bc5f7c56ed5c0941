// The File menu's commands: a wave file opened, a playlist opened, the
// converted sound saved as a new wave file.
#include <QDialog>

#include "file_names.h"
#include "mainform.h"
#include "playlist.h"
#include "playlist_open.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {
namespace {

constexpr const char* kWaveFilter = "Wave files (*.WAV *.wav *.Wav)";

}  // namespace

void TMainForm::Open1Click() {
    // Where the person works: the current file's folder, else the last one
    // a file was opened from.
    const QString folder = StartFolder({model_.CurrentFile(), Registry().ReadString("LastOpenFolder")});
    const QString file = deps_.services->OpenFile(this, QString(), folder, kWaveFilter, "wav");
    if (file.isEmpty()) return;
    OpenOne(file);
    Registry store;
    store.WriteString("LastOpenFolder", FolderOf(file));
    store.Sync();
}

void TMainForm::MRUFileList1MRUItemClick(const QString& file) { OpenOne(file); }

void TMainForm::Openplaylist1Click() {
    player_.RequestStop();
    // A playlist that cannot be read leaves everything as it was.
    if (OpenPlaylistFile(playlist_ ? static_cast<QWidget*>(playlist_) : this, *deps_.services, player_))
        player_.FinishList();
}

void TMainForm::SaveAs1Click() {
    if (IsPlaying()) {
        deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Program), TextOf(kTextStopBeforeSaving), UiServices::Icon::None);
        return;
    }
    const QString folder = StartFolder({model_.CurrentFile(), Registry().ReadString("LastSaveFolder")});
    const QString target = deps_.services->SaveFile(this, QString(), folder, kWaveFilter, "wav");
    if (target.isEmpty()) return;
    // The file being read is never the target: the same name (as the file
    // system compares names), or the same file under another name.
    const bool same = SameFileName(target, model_.CurrentFile()) || SameFile(FileNameBytes(target), FileNameBytes(model_.CurrentFile()));
    if (same) {
        deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Program), NamingFile(TextOf(kTextOverwriteOpenFile), target),
                                UiServices::Icon::Error);
        return;
    }
    Registry store;
    store.WriteString("LastSaveFolder", FolderOf(target));
    store.Sync();
    player_.Save(target);
}

}  // namespace sonivel
