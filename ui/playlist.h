// TPlaylistForm: the playlist editor. It holds the program's one playlist in
// its list `Playlist` for the whole run, and carries out the track steps.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPushButton>

namespace sonivel {

class TMainForm;
class UiServices;

class TPlaylistForm : public QDialog {
    Q_OBJECT
public:
    TPlaylistForm(TMainForm& main, UiServices& services, QWidget* parent = nullptr);

    QListWidget* Playlist = nullptr;
    QPushButton* Button2 = nullptr;  // Remove all
    QPushButton* Button4 = nullptr;  // Remove
    QPushButton* Button5 = nullptr;  // Open playlist
    QPushButton* Button6 = nullptr;  // Save playlist
    QPushButton* Button7 = nullptr;  // Close

    int Count() const { return Playlist->count(); }
    QStringList Entries() const;
    void Append(const QString& path);
    // No entry equal to `path` in any letter case.
    bool NotInPlaylist(const QString& path) const;

    void Button2Click();  // Remove all
    void Button4Click();  // Remove the selected entries
    void Button5Click();  // Open playlist
    void Button6Click();  // Save playlist
    // The close action: closes the window, or only runs its close handler
    // when the window is not shown.
    void CloseAction();

    // Track sequencing, on behalf of the render thread.
    void StepTrack(bool next);
    bool AdvanceAfterTrack();
    void DropUnopenableFile(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void FormClose();
    void SetCaptions();
    int Find(const QString& name, bool ignoreCase) const;

    TMainForm& main_;
    UiServices& services_;
};

}  // namespace sonivel
