// TMainForm: the main window. Its controls, menus and handlers, the start-up
// and closing of the program, and the host through which the render thread
// reaches the window.
#pragma once

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <functional>
#include <memory>

#include "command.h"
#include "handoff.h"
#include "player.h"
#include "player_model.h"
#include "playlist.h"
#include "playthr.h"
#include "seekbar.h"
#include "texts.h"
#include "uicall.h"

class QHBoxLayout;

namespace sonivel {

class TMRUFileList;
class TDropFile;
class TProgLink;
class TPlaylistForm;
class UiServices;
class Clock;
class SoundDevice;

// What the program runs on: replaced in the tests.
struct MainFormDeps {
    UiServices* services = nullptr;
    SoundDevice* device = nullptr;
    Clock* clock = nullptr;
    // The folder the legacy settings file is looked for in; the program's.
    QString programFolder;
    // How long a starting instance waits for a running one to answer.
    int handoffWaitMs = 200;
    // The running program's file, for the launcher and the association.
    QString programPath;
    // Opens a document or address with the desktop; false when it could not.
    std::function<bool(const QUrl&)> openUrl;
};

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    TMainForm(MainFormDeps deps, QStringList arguments, QWidget* parent = nullptr);
    ~TMainForm() override;

    // The creation steps: hand-off check, settings, render thread. False
    // when this instance must end at once (another one runs, or the render
    // thread could not start).
    bool FormCreate();
    void SetWindows(QWidget* aboutBox, TPlaylistForm* playlistForm);

    // The current file and the save target (the dialogs' FileName).
    QString CurrentFile() const { return model_.CurrentFile(); }
    QString SaveTarget() const { return model_.SaveTarget(); }

    // The player the window's controls give their intents to, and its state,
    // which the controls show.
    sonivel::Player& Player() { return player_; }
    const PlayerModel& Model() const { return model_; }
    bool IsPlaying() const { return model_.Playing(); }
    CommandChannel& Tag() { return player_.Channel(); }
    PlayThread* RenderThread() { return thread_.get(); }
    TMRUFileList* MRUFileList1() { return mru_; }

    // Opening one file: the common sequence.
    void OpenOne(const QString& file) { player_.OpenOne(file); }
    // A file handed over or named on the command line: opened, then played,
    // whatever was playing before.
    void OpenAndPlay(const QString& file) { OpenNames({file}, true); }
    // Names given as one choice (a command line, a hand-off, a dropped
    // folder): a folder stands for the wave files below it, a playlist file
    // for its entries; the first file
    // is opened as one file is, and all of them form the playlist, in order.
    // `play`: it plays, whatever was playing before. `join`: the files join
    // the playlist instead, and the first of them becomes current.
    void OpenNames(const QStringList& names, bool play, bool join = false);
    // The playlist holds two files or more: Next and Previous are on.
    bool SeveralTracks() const { return player_.SeveralTracks(); }
    // A hand-off taken from the store. One made soon after the window
    // started or after the previous hand-off (a file manager starting one
    // instance per file) joins the playlist and plays its first file; a
    // later one is opened as OpenNames opens names.
    void TakeHandOff(const QStringList& names);
    // Moves the bar without restarting playback.
    void SetBarPosition(int position) { player_.ShowBarAt(position); }
    // The time label, when shown, reads the bar's position.
    void ShowBarTime();
    // Moves the bar as the person would: playback restarts there.
    void SeekTo(int position) { player_.SeekTo(position); }
    void SwitchLanguage(int language);

    // The intents the button, the keys and the media controls give alike:
    // play (or stop), stop and go back to the start, step a track.
    void RequestPlaying(bool play) { player_.RequestPlaying(play); }
    void RequestRewind() { player_.RequestRewind(); }
    void RequestStep(bool next) { player_.RequestStep(next); }

    // Handlers.
    void PlayStopClick();
    void RewindClick();
    void NextTrackClick();
    void PrevTrackClick();
    void TrackBar2Change();
    void OutputFormatClick(QAction* clicked);
    void Open1Click();
    void SaveAs1Click();
    void Openplaylist1Click();
    void MRUFileList1MRUItemClick(const QString& file);
    void Timer1Timer();
    // Something for the hand-off may wait in the store: the timer runs soon.
    void LookAtStoreSoon();
    void PlaylistShowClick();
    void About1Click();
    void AssociatewavefileswithSonivel1Click();
    void CreateshortcutinStartMenu1Click();
    void UsingSonivel1Click() { OpenHelp("help.htm", kTextNoBrowser); }
    void Intextformat1Click() { OpenHelp("help.txt", kTextNoHelpText); }
    // Where a help document is: beside the program, or where it is installed.
    QString HelpPath(const QString& name) const;
    void E1Click() { close(); }
    void EnglishClick() { SwitchLanguage(0); }
    void FrenchClick() { SwitchLanguage(1); }

    // Controls, under the names tests and the help use.
    TSeekBar* TrackBar2 = nullptr;
    QPushButton* PlayStop = nullptr;
    QPushButton* Rewind = nullptr;
    QPushButton* PrevTrack = nullptr;
    QPushButton* NextTrack = nullptr;
    QPushButton* PlaylistShow = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPixmap Image1, Image2;
    QMenu *File1, *Options1, *Options2, *Language1, *Help1;
    QAction *Open1, *SaveAs1, *Openplaylist1, *Editplaylist1, *N4, *E1;
    QAction *N1, *N44100Hz1, *N8bitspersample1, *N16bitspersample1, *Mono1, *Stereo1, *StereoEffects;
    QAction* HighQualityInterpolation;  // the band-limited in-betweens (else the classic ones)
    QAction *PlayonSave, *AutoRepeat, *English, *French, *CreateshortcutinStartMenu1,
        *AssociatewavefileswithSonivel1, *UsingSonivel1, *Intextformat1, *About1;
    QTimer* Timer1 = nullptr;
    TDropFile* DropFile = nullptr;
    TProgLink* ProgLink1 = nullptr;

signals:
    // Playing, the current file or the track buttons changed.
    void StateChanged();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    class Host;
    void BuildControls();
    void BuildMenus();
    void BuildFileAndFormatMenus();
    void BuildOptionsAndHelpMenus();
    void ConnectMenus();
    QHBoxLayout* BuildButtons(QWidget* central);
    QHBoxLayout* BuildLabels(QWidget* central);
    void LoadSettings();
    void MigrateLegacySettings();
    void SaveSettings();
    void StartRenderThread();
    // What the player's signals redraw.
    void ConnectPlayer();
    void FileLoadedUpdate();
    void NoFileState();
    void UpdateTrackButtons();
    void DrawBar(int position);
    // The time and the "Time:" label, shown or hidden.
    void DrawTimeLabels(bool shown);
    void SetPlayingLook(bool playing);
    // The output menus and the options drawn from the model.
    void ShowOutput();
    // A click on Play while saving or Auto repeat.
    void OptionClick(QAction* clicked);
    void SetButtonCaptions(bool playing);
    void FitSize();
    // Names that stood for wave files gave none: says so, naming them.
    void ShowNoWaveFiles(const QStringList& folders);
    void OpenHelp(const QString& name, int failureText);
    QString TextOf(int id) const;

    MainFormDeps deps_;
    sonivel::Player player_;
    PlayerModel& model_ = player_.Model();
    QStringList arguments_;
    bool StartFileHandled = false;
    bool settingBar_ = false;
    bool created_ = false;
    bool ready_ = false;  // start-up complete: hand-offs are taken
    QElapsedTimer lastIntake_;  // since the start-up file or the last hand-off
    QString programFolder_;
    UiCallQueue calls_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<PlayThread> thread_;
    TMRUFileList* mru_ = nullptr;
    QWidget* aboutBox_ = nullptr;
    TPlaylistForm* playlist_ = nullptr;
    InstanceHandoff handoff_;
    QTranslator qtFrench_;
    bool qtFrenchInstalled_ = false;
};

}  // namespace sonivel
