#include "mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "desktop_icon.h"
#include "dropfile.h"
#include "file_names.h"
#include "folder_files.h"
#include "keyboard.h"
#include "mainform_host.h"
#include "mrufilelist.h"
#include "proglink.h"
#include "shell.h"
#include "playlist.h"
#include "playlist_model.h"
#include "position.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {

TMainForm::TMainForm(MainFormDeps deps, QStringList arguments, QWidget* parent)
    : QMainWindow(parent), deps_(std::move(deps)), arguments_(std::move(arguments)) {
    setObjectName("MainForm");
    setWindowTitle("Sonivel");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    host_ = std::make_unique<Host>(*this);
    BuildControls();
    BuildMenus();
    SetButtonCaptions(false);
    mru_ = new TMRUFileList(this);
    mru_->setObjectName("MRUFileList1");
    mru_->RemoveOnClick = false;
    mru_->SetSubmenuName("Reopen");
    mru_->ClearItemName = "&Clear MRU List";
    mru_->ShowClearItem = false;
    mru_->ShowRemoveObsolete = false;
    mru_->RemoveObsoleteName = "&Remove Obsolete";
    connect(mru_, &TMRUFileList::MRUItemClick, this, &TMainForm::MRUFileList1MRUItemClick);
    if (deps_.programPath.isEmpty()) deps_.programPath = QCoreApplication::applicationFilePath();
    if (!deps_.openUrl) deps_.openUrl = [](const QUrl& url) { return OpenWithDesktop(url); };
    ProgLink1 = new TProgLink(this);
    ProgLink1->setObjectName("ProgLink1");
    ProgLink1->LinkName = "Sonivel.lnk";
    DropFile = new TDropFile(this);
    DropFile->setObjectName("DropFile");
    // Each dropped file is opened in turn; a dropped folder or playlist file
    // is one choice.
    connect(DropFile, &TDropFile::DropFile, this, [this](const QString& path) {
        if (QFileInfo(path).isDir() || HasPlaylistSuffix(path)) OpenNames({path}, false);
        else OpenOne(path);
        StartFileHandled = true;
    });
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    handoff_.SetChangeSignal([this] { LookAtStoreSoon(); });
    ConnectPlayer();
    FitSize();
}

void TMainForm::ConnectPlayer() {
    using P = sonivel::Player;
    connect(&player_, &P::Loaded, this, &TMainForm::FileLoadedUpdate);
    connect(&player_, &P::Unloaded, this, &TMainForm::NoFileState);
    connect(&player_, &P::TracksChanged, this, &TMainForm::UpdateTrackButtons);
    connect(&player_, &P::BarMoved, this, &TMainForm::DrawBar);
    connect(&player_, &P::Seeked, this, &TMainForm::ShowBarTime);
    connect(&player_, &P::TimeShownChanged, this, &TMainForm::DrawTimeLabels);
    connect(&player_, &P::PlayingChanged, this, &TMainForm::SetPlayingLook);
    connect(&player_, &P::OutputChanged, this, &TMainForm::ShowOutput);
}

TMainForm::~TMainForm() {
    player_.Channel().RequestStop();
    calls_.Shutdown();
    thread_.reset();  // joins: the thread ends at its next poll
}

void TMainForm::DrawBar(int position) {
    settingBar_ = true;
    TrackBar2->setValue(position);
    settingBar_ = false;
    // While a run plays, it reports the time itself, more finely than the
    // bar can; otherwise the time shown is the bar's.
    if (!IsPlaying()) ShowBarTime();
}

void TMainForm::ShowBarTime() {
    if (!model_.TimeShown() || !thread_) return;
    Label2->setText(QString::fromStdString(FormatTime(
        SecondsAtBar(model_.BarPosition(), model_.BarMax(), thread_->HeldDataBytes(), thread_->HeldByteRate()))));
}

void TMainForm::SetPlayingLook(bool playing) {
    PlayStop->setIcon(QIcon(playing ? Image2 : Image1));
    SetButtonCaptions(playing);
    // A run that ended may have moved the bar (to the start at the end of
    // a track) without a time of its own.
    if (!playing) ShowBarTime();
    emit StateChanged();
}

void TMainForm::SetWindows(QWidget* aboutBox, TPlaylistForm* playlistForm) {
    aboutBox_ = aboutBox;
    playlist_ = playlistForm;
}

bool TMainForm::FormCreate() {
    // The names are made absolute here, against this instance's working
    // folder: a running instance may work in another one.
    for (QString& name : arguments_)
        if (!name.isEmpty()) name = QFileInfo(name).absoluteFilePath();
    arguments_.removeAll(QString());
    // Another instance answers: hand the names over and end.
    if (handoff_.HandOff(arguments_, deps_.handoffWaitMs)) return false;
    Timer1->start();
    StartFileHandled = false;
    programFolder_ = deps_.programFolder;
    if (!programFolder_.isEmpty() && !programFolder_.endsWith('/')) programFolder_ += '/';
    // The stored language decides; a first start follows the desktop's,
    // from its first box on.
    if (!Registry().ValueExists("Language") && DesktopLanguage() == kFrench) SwitchLanguage(kFrench);
    if (Registry().ValueExists("44100Hz")) LoadSettings();
    else MigrateLegacySettings();
    mru_->SetAutoSaveName("\\Software\\Korvath\\Sonivel\\");
    mru_->SetAutoSaveKey("MRU Items");
    mru_->SetFileMenu(N4);
    StartRenderThread();
    created_ = !host_->quitRequested;
    return created_;
}

void TMainForm::StartRenderThread() {
    CommandChannel& channel = player_.Channel();
    channel.Store(kCmdPlayStop);
    host_->startupPhase = true;
    thread_ = std::make_unique<PlayThread>(*host_, *deps_.device, *deps_.clock, channel);
    player_.AttachThread(thread_.get());
    thread_->Start();
    // Wait until the thread has done its device check and has its buffers;
    // meanwhile carry out what it asks of the window.
    while (channel.Load() == kCmdPlayStop && thread_->StartupState() == PlayThread::Startup::Pending) {
        calls_.Pump();
        calls_.WaitForWork(5);
    }
    calls_.Pump();
    host_->startupPhase = false;
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!arguments_.isEmpty() && !StartFileHandled) {
        OpenNames(arguments_, true);
        StartFileHandled = true;
        lastIntake_.start();
    }
    // Start-up is complete: names handed over meanwhile are taken now, after
    // the command-line file.
    ready_ = true;
    LookAtStoreSoon();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    player_.Channel().RequestStop();
    SaveSettings();
    // A render thread waiting for the window is let go, and its open boxes
    // close with the window, so the program ends.
    calls_.Shutdown();
    for (QDialog* box : findChildren<QDialog*>())
        if (box->isVisible() && box != aboutBox_) box->close();
    QMainWindow::closeEvent(event);
}

void TMainForm::OpenNames(const QStringList& names, bool play, bool join) {
    const QStringList files = ExpandFolders(names);
    if (files.isEmpty()) {
        ShowNoWaveFiles(names);
        return;
    }
    // A joining file is remembered as an opened file is.
    if (join) mru_->AddItem(files.front());
    player_.OpenFiles(files, play, join);
}

void TMainForm::ShowNoWaveFiles(const QStringList& folders) {
    QStringList shown;
    for (const QString& f : folders) shown << QDir::toNativeSeparators(f);
    const QString text = Q(Text(kTextNoWaveFilesInFolder));
    // Not modal: this can come as the window first shows, before the
    // program's event loop runs, where a modal box's own loop would keep a
    // request to end (a logout) from ending the program.
    deps_.services->MessageAsync(this, ErrorBoxCaption(ErrorSource::Program), text + "\n" + shown.join('\n'),
                                 UiServices::Icon::Warning, [] {});
}

void TMainForm::UpdateTrackButtons() {
    NextTrack->setEnabled(SeveralTracks());
    PrevTrack->setEnabled(SeveralTracks());
    emit StateChanged();
}

// Shown: the time value first, then the "Time:" label.
void TMainForm::DrawTimeLabels(bool shown) {
    Label2->setVisible(shown);
    Label1->setVisible(shown);
}

// The player loaded a file: its bar at the start and its time hidden.
void TMainForm::FileLoadedUpdate() {
    TrackBar2->setEnabled(true);
    SaveAs1->setEnabled(true);
    Rewind->setEnabled(true);
    PlayStop->setEnabled(true);
    Label3->setVisible(false);
    UpdateTrackButtons();
    setWindowTitle("Sonivel - " + model_.CurrentFile());
    // A file opened by itself is remembered; a step through the playlist is not.
    if (!SeveralTracks()) mru_->AddItem(model_.CurrentFile());
    emit StateChanged();
}

void TMainForm::NoFileState() {
    Label3->setVisible(false);
    for (QWidget* w : {static_cast<QWidget*>(TrackBar2), static_cast<QWidget*>(NextTrack),
                       static_cast<QWidget*>(PrevTrack), static_cast<QWidget*>(Rewind),
                       static_cast<QWidget*>(PlayStop)})
        w->setEnabled(false);
    SaveAs1->setEnabled(false);
    setWindowTitle("Sonivel");
    emit StateChanged();
}

void TMainForm::PlayStopClick() { RequestPlaying(!IsPlaying()); }

void TMainForm::RewindClick() { RequestRewind(); }
void TMainForm::NextTrackClick() { RequestStep(true); }
void TMainForm::PrevTrackClick() { RequestStep(false); }

void TMainForm::TrackBar2Change() {
    // A move is complete when the bar is not held (a drag ends on release);
    // while it is held, only the time follows it.
    player_.MoveBar(TrackBar2->value(), TrackBar2->isSliderDown());
    ShowBarTime();
}

void TMainForm::OutputFormatClick(QAction* clicked) {
    OutputChoice c = model_.Output();
    if (clicked == N1 || clicked == N44100Hz1) c.rate44100 = clicked == N44100Hz1;
    else if (clicked == N8bitspersample1 || clicked == N16bitspersample1) c.bits16 = clicked == N16bitspersample1;
    else if (clicked == Mono1 || clicked == Stereo1) c.stereo = clicked == Stereo1;
    else if (clicked == StereoEffects) c.effects = !c.effects;
    else if (clicked == HighQualityInterpolation) c.bandLimited = !c.bandLimited;
    player_.SetOutput(c);
}

void TMainForm::OptionClick(QAction* clicked) {
    if (clicked == PlayonSave) player_.SetPlayOnSave(!model_.PlayOnSave());
    else if (clicked == AutoRepeat) player_.SetAutoRepeat(!model_.AutoRepeat());
}

void TMainForm::ShowOutput() {
    const OutputChoice& c = model_.Output();
    const DeviceLimits& limits = model_.Limits();
    const auto pair = [](QAction* on, QAction* off, bool first) {
        on->setChecked(first);
        off->setChecked(!first);
    };
    pair(N44100Hz1, N1, c.rate44100);
    pair(N16bitspersample1, N8bitspersample1, c.bits16);
    pair(Stereo1, Mono1, c.stereo);
    StereoEffects->setChecked(c.effects);
    HighQualityInterpolation->setChecked(c.bandLimited);
    N44100Hz1->setEnabled(!limits.no44100Hz);
    N16bitspersample1->setEnabled(!limits.no16Bits);
    Stereo1->setEnabled(!limits.monoOnly);
    PlayonSave->setChecked(model_.PlayOnSave());
    AutoRepeat->setChecked(model_.AutoRepeat());
}

void TMainForm::PlaylistShowClick() {
    if (playlist_) playlist_->exec();
}

void TMainForm::About1Click() {
    if (auto* dialog = qobject_cast<QDialog*>(aboutBox_)) dialog->exec();
}

}  // namespace sonivel
