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
    FitSize();
}

TMainForm::~TMainForm() {
    tag_.RequestStop();
    calls_.Shutdown();
    player_.reset();  // joins: the thread ends at its next poll
}

void TMainForm::SetBarPosition(int position) {
    settingBar_ = true;
    TrackBar2->setValue(position);
    settingBar_ = false;
    // While a run plays, it reports the time itself, more finely than the
    // bar can; otherwise the time shown is the bar's.
    if (!IsPlaying()) ShowBarTime();
}

void TMainForm::ShowBarTime() {
    if (!model_.TimeShown() || !player_) return;
    Label2->setText(QString::fromStdString(FormatTime(
        SecondsAtBar(model_.BarPosition(), model_.BarMax(), player_->HeldDataBytes(), player_->HeldByteRate()))));
}

void TMainForm::SetPlayingLook(bool playing) {
    model_.SetPlaying(playing);
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
    tag_.Store(kCmdPlayStop);
    host_->startupPhase = true;
    player_ = std::make_unique<PlayThread>(*host_, *deps_.device, *deps_.clock, tag_);
    player_->Start();
    // Wait until the thread has done its device check and has its buffers;
    // meanwhile carry out what it asks of the window.
    while (tag_.Load() == kCmdPlayStop && player_->StartupState() == PlayThread::Startup::Pending) {
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
    tag_.RequestStop();
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
    if (join && playlist_) {
        // Every file joins once; the first becomes current, and is
        // remembered as an opened file is.
        playlist_->AddNames(files);
        mru_->AddItem(files.front());
        LoadTrack(files.front());
    } else {
        OpenOne(files.front());
        if (playlist_ && files.size() > 1) playlist_->AppendAll(files.mid(1));
        model_.SetListed(files.size() > 1);
    }
    if (play) Send(CommandRequest::PlayStop(PlayIntent::PlayNew));
}

bool TMainForm::SeveralTracks() const { return playlist_ && playlist_->Count() > 1; }

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

void TMainForm::Send(CommandRequest request) {
    // A command that may start a run brings the run's set-up, as the model
    // holds it now, the moment the person acted.
    const bool mayStart = request.code != kCmdPlayStop || request.intent != PlayIntent::Stop;
    if (mayStart) request.setup = model_.SetupNow();
    lastSent_ = tag_.Send(std::move(request));
}

bool TMainForm::ReportIsCurrent(std::uint32_t takenSerial) const { return takenSerial >= lastSent_; }

void TMainForm::RestartIfPlaying() {
    // A silent save ignores restarts; none is given, so its progress shows.
    if (!IsPlaying() || (player_ && player_->SilentSaveRunning())) return;
    Send(CommandRequest::Restart(model_.BarPosition()));
}

void TMainForm::OpenOne(const QString& file) {
    model_.SetCurrentFile(file);
    if (playlist_) {
        playlist_->Clear();
        playlist_->Append(file);
    } else {
        NoFileState();
    }
    RewindClick();
    FileLoadedUpdate();
}

void TMainForm::LoadTrack(const QString& file) {
    model_.SetCurrentFile(file, true);
    FileLoadedUpdate();
}

void TMainForm::LoadFirstTrack(const QString& file) {
    model_.SetCurrentFile(file, true);
    RewindClick();
    FileLoadedUpdate();
}

void TMainForm::UpdateTrackButtons() {
    NextTrack->setEnabled(SeveralTracks());
    PrevTrack->setEnabled(SeveralTracks());
    emit StateChanged();
}

// Shown: the time value first, then the "Time:" label.
void TMainForm::ShowTimeLabels(bool shown) {
    model_.SetTimeShown(shown);
    Label2->setVisible(shown);
    Label1->setVisible(shown);
}

void TMainForm::FileLoadedUpdate() {
    model_.SetLoaded(true);
    TrackBar2->setEnabled(true);
    SaveAs1->setEnabled(true);
    Rewind->setEnabled(true);
    PlayStop->setEnabled(true);
    SetBarPosition(0);
    Label3->setVisible(false);
    ShowTimeLabels(false);
    UpdateTrackButtons();
    setWindowTitle("Sonivel - " + model_.CurrentFile());
    if (playlist_) playlist_->Model->SetCurrent(model_.CurrentFile());
    // A file opened by itself is remembered; a step through the playlist is not.
    if (!SeveralTracks()) mru_->AddItem(model_.CurrentFile());
    emit StateChanged();
}

void TMainForm::NoFileState() {
    model_.SetLoaded(false);
    if (playlist_) playlist_->Model->SetCurrent({});
    RewindClick();
    Label3->setVisible(false);
    ShowTimeLabels(false);
    for (QWidget* w : {static_cast<QWidget*>(TrackBar2), static_cast<QWidget*>(NextTrack),
                       static_cast<QWidget*>(PrevTrack), static_cast<QWidget*>(Rewind),
                       static_cast<QWidget*>(PlayStop)})
        w->setEnabled(false);
    SaveAs1->setEnabled(false);
    setWindowTitle("Sonivel");
    emit StateChanged();
}

void TMainForm::PlayStopClick() { RequestPlaying(!IsPlaying()); }

void TMainForm::RequestPlaying(bool play) {
    // At the end of the file the first request only brings the bar back.
    if (model_.BarAtEnd()) {
        SetBarPosition(0);
        return;
    }
    Send(CommandRequest::PlayStop(play ? PlayIntent::Play : PlayIntent::Stop));
}

void TMainForm::RewindClick() { RequestRewind(); }

void TMainForm::RequestRewind() {
    if (IsPlaying()) Send(CommandRequest::PlayStop(PlayIntent::Stop));
    SetBarPosition(0);
}

void TMainForm::NextTrackClick() { RequestStep(true); }
void TMainForm::PrevTrackClick() { RequestStep(false); }

// A step counts from the file the person sees as current: the window makes
// the entry current at once, and the command brings it to the thread, which
// plays it when the person saw a run going on (also when the track ended as
// they clicked).
void TMainForm::RequestStep(bool next) {
    const bool sawPlaying = IsPlaying();
    if (playlist_) playlist_->StepTrack(next, model_.CurrentFile());
    Send(CommandRequest::Step(next, sawPlaying));
}

void TMainForm::SeekTo(int position) {
    if (model_.BarPosition() == position) TrackBar2Change();
    else TrackBar2->setValue(position);
}

void TMainForm::TrackBar2Change() {
    // A move is complete when the bar is not held (a drag ends on release).
    if (!TrackBar2->isSliderDown()) emit Seeked();
    if (!model_.TimeShown() || !player_) return;
    ShowBarTime();
    // While the bar is held, only the time follows it; the restart comes
    // when it is let go, and starts where the bar was left.
    if (TrackBar2->isSliderDown()) return;
    RestartIfPlaying();
}

void TMainForm::OutputFormatClick(QAction* clicked) {
    OutputChoice c = model_.Output();
    if (clicked == N1 || clicked == N44100Hz1) c.rate44100 = clicked == N44100Hz1;
    else if (clicked == N8bitspersample1 || clicked == N16bitspersample1) c.bits16 = clicked == N16bitspersample1;
    else if (clicked == Mono1 || clicked == Stereo1) c.stereo = clicked == Stereo1;
    else if (clicked == StereoEffects) c.effects = !c.effects;
    else if (clicked == HighQualityInterpolation) c.bandLimited = !c.bandLimited;
    model_.SetOutput(c);
    ShowOutput();
    RestartIfPlaying();
}

void TMainForm::OptionClick(QAction* clicked) {
    if (clicked == PlayonSave) model_.SetPlayOnSave(!model_.PlayOnSave());
    else if (clicked == AutoRepeat) model_.SetAutoRepeat(!model_.AutoRepeat());
    ShowOutput();
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
