// TPlaylistForm: the playlist editor. Its list `Playlist` shows the program's
// one playlist, which the player holds; its buttons and drops are the
// player's intents.
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
class Player;
class UiServices;

class TPlaylistForm : public QDialog {
    Q_OBJECT
public:
    TPlaylistForm(Player& player, UiServices& services, QWidget* parent = nullptr);

    QListView* Playlist = nullptr;     // shows Model
    PlaylistModel* Model = nullptr;    // the program's one playlist, the player's
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
    // Adds names not yet listed, in order (Add, Add all, a drop, whose
    // folders are first replaced by the wave files below them).
    void AddNames(const QStringList& names);

    void Button1Click();  // Add all
    void Button2Click();  // Remove all
    void Button3Click();  // Add the selected files
    void Button4Click();  // Remove the selected entries
    void Button5Click();  // Open playlist
    void Button6Click();  // Save playlist
    // The close action (Close): shown or not, the dialog ends, and its
    // close handler makes the first entry current.
    void CloseAction() { reject(); }

    // Captions and control names in the current language (at every showing).
    void SetCaptions();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QVBoxLayout* BuildButtons();
    QVBoxLayout* BuildBrowser();
    void ConnectControls();
    void FormClose();
    // A box naming the names a playlist file cannot hold.
    void RefuseNames(const QStringList& names);
    void AddFiles(bool selectedOnly);
    void ListFiles();
    void DriveChanged();
    Player& player_;
    UiServices& services_;
    QString folder_;
    bool sized_ = false;  // given its first size
    bool closing_ = false;  // the close handler runs
    void ListFolders();
};

}  // namespace sonivel
