// TPlaylistForm: the playlist editor. It holds the program's one playlist in
// its list `Playlist` for the whole run, and carries out the track steps.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonivel {

class TDropFile;
class PlaylistModel;
class UiServices;

// What the editor needs of the window that plays the list, and all it tells
// that window.
class PlaylistOwner {
public:
    virtual QString CurrentFile() const = 0;
    virtual bool AutoRepeatOn() const = 0;
    // `file` becomes the current file, shown loaded (a track step).
    virtual void LoadTrack(const QString& file) = 0;
    // `file` becomes the current file from its start (the editor closing).
    virtual void LoadFirstTrack(const QString& file) = 0;
    // Entries were added or removed.
    virtual void PlaylistChanged() = 0;
    // The list was emptied: no file is loaded any more.
    virtual void PlaylistEmptied() = 0;

protected:
    ~PlaylistOwner() = default;
};

class TPlaylistForm : public QDialog {
    Q_OBJECT
public:
    TPlaylistForm(PlaylistOwner& owner, UiServices& services, QWidget* parent = nullptr);

    QListView* Playlist = nullptr;     // shows Model
    PlaylistModel* Model = nullptr;    // the program's one playlist
    QPushButton* Button1 = nullptr;  // Add all
    QPushButton* Button2 = nullptr;  // Remove all
    QPushButton* Button3 = nullptr;  // Add
    QPushButton* Button4 = nullptr;  // Remove
    QPushButton* Button5 = nullptr;  // Open playlist
    QPushButton* Button6 = nullptr;  // Save playlist
    QPushButton* Button7 = nullptr;  // Close
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QListWidget* FileListBox1 = nullptr;       // the current folder's wave files
    QComboBox* DriveComboBox1 = nullptr;       // mounted volumes
    QListWidget* DirectoryListBox1 = nullptr;  // the current folder's ancestors and subfolders
    TDropFile* DropFile = nullptr;             // drops on Playlist

    // The folder the browser shows.
    QString CurrentFolder() const { return folder_; }
    // Shows `folder` (and its drive); false when it does not exist.
    bool GoToFolder(const QString& folder);

    int Count() const;
    QStringList Entries() const;
    // Appends one name (a file opened in the main window).
    void Append(const QString& path);
    // Appends names in order, as they come (a command line, a folder).
    void AppendAll(const QStringList& paths);
    // Adds names not yet listed, in order (Add, Add all, a drop, whose
    // folders are first replaced by the wave files below them). Names a
    // playlist file cannot hold are refused with a message naming them.
    void AddNames(const QStringList& names);
    // No entry names the same file as `path` (names compared as the file
    // system compares them).
    bool NotInPlaylist(const QString& path) const;

    void Button1Click();  // Add all
    void Button2Click();  // Remove all
    void Button3Click();  // Add the selected files
    void Button4Click();  // Remove the selected entries
    void Button5Click() { OpenPlaylist(); }  // Open playlist
    // Open playlist; false only when the chosen file could not be read.
    bool OpenPlaylist();
    void Button6Click();  // Save playlist
    // The close action (Close).
    void CloseAction();
    // The editor is done with: it closes where it is shown, and its close
    // handler makes the first entry current.
    void Finish();
    // Empties the list: no file is loaded any more.
    void Clear();

    // Captions and control names in the current language (at every showing).
    void SetCaptions();

    // Track sequencing: the steps the window takes, and what follows a
    // track's end, which the render thread asks.
    void StepTrack(bool next, const QString& from = {});
    bool AdvanceAfterTrack();
    // The entry AdvanceAfterTrack would choose (empty: none), and its change
    // made only while it would still choose `expected`.
    QString NextAfterTrack(const QString& after) const;
    bool AdvanceAfterTrackTo(const QString& expected);
    void DropUnopenableFile(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QVBoxLayout* BuildButtons();
    QVBoxLayout* BuildBrowser();
    void ConnectControls();
    void FormClose();
    // Removes these entries; all of them is Remove all.
    void Remove(const QList<int>& rows);
    void AddFiles(bool selectedOnly);
    void ListFiles();
    void DriveChanged();
    // The first entry with this name, as the file system compares names.
    int Find(const QString& name) const;

    PlaylistOwner& owner_;
    UiServices& services_;
    QString folder_;
    bool sized_ = false;  // given its first size
    void ListFolders();
};

}  // namespace sonivel
