#include "mainform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QStyle>
#include <QThread>
#include <QVBoxLayout>
#include <filesystem>

#include "desktop_icon.h"
#include "dropfile.h"
#include "file_names.h"
#include "keyboard.h"
#include "proglink.h"
#include "shell.h"
#include "mrufilelist.h"
#include "playlist.h"
#include "position.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {

namespace {

constexpr const char* kWaveFilter = "Wave files (*.WAV *.wav *.Wav)";

std::string ToPath(const QString& s) { return FileNameBytes(s); }


}  // namespace

// The render thread's way into the window: every call runs on the windows'
// thread, in the order the thread makes them. The thread waits for the calls
// whose answer it needs; what only shows something is posted, so a busy
// window never holds up the sound. Results travel in shared state so a call
// released by shutdown never writes into a stack the render thread has left.
class TMainForm::Host final : public sonivel::Host {
public:
    explicit Host(TMainForm& form) : form_(form) {}

    bool startupPhase = false;  // the window waits for the thread's start-up
    bool quitRequested = false;

    std::string CurrentFileName() override {
        return Get<std::string>([this] { return ToPath(form_.currentFile_); });
    }
    std::string SaveTargetName() override {
        return Get<std::string>([this] { return ToPath(form_.saveTarget_); });
    }
    OutputChoice ReadOutputChoice() override {
        return Get<OutputChoice>([this] {
            return OutputChoice{form_.N44100Hz1->isChecked(), form_.N16bitspersample1->isChecked(),
                                form_.Stereo1->isChecked(), form_.StereoEffects->isChecked()};
        });
    }
    bool PlayOnSaveChecked() override {
        return Get<bool>([this] { return form_.PlayonSave->isChecked(); });
    }
    void RaiseOutputChoice(const QualityShortfall& s) override {
        form_.calls_.CallSync([this, s] {
            if (s.rate) Pair(form_.N44100Hz1, form_.N1);
            if (s.channels) Pair(form_.Stereo1, form_.Mono1);
            if (s.bits) Pair(form_.N16bitspersample1, form_.N8bitspersample1);
        });
    }
    void ApplyDeviceLimits(const DeviceLimits& limits) override {
        form_.calls_.CallSync([this, limits] {
            if (limits.monoOnly) Disable(form_.Stereo1, form_.Mono1);
            if (limits.no16Bits) Disable(form_.N16bitspersample1, form_.N8bitspersample1);
            if (limits.no44100Hz) Disable(form_.N44100Hz1, form_.N1);
        });
    }
    int SeekBarPosition() override {
        return Get<int>([this] { return form_.TrackBar2->value(); });
    }
    int SeekBarMax() override {
        return Get<int>([this] { return form_.TrackBar2->maximum(); });
    }
    // A report carries the serial of the last command the thread had taken
    // when it made the report; one made before the thread saw the window's
    // latest command is stale and not shown.
    void SetSeekBarPosition(int position) override {
        const std::uint32_t seen = form_.tag_.TakenSerial();
        form_.calls_.Post(kBarReport, [this, position, seen] {
            // The user's hand on the bar wins over the progress display.
            if (form_.ReportIsCurrent(seen) && !form_.TrackBar2->isSliderDown()) form_.SetBarPosition(position);
        });
    }
    void ShowTime(double seconds) override {
        const std::uint32_t seen = form_.tag_.TakenSerial();
        form_.calls_.Post(kTimeReport, [this, seconds, seen] {
            if (form_.ReportIsCurrent(seen)) form_.Label2->setText(QString::fromStdString(FormatTime(seconds)));
        });
    }
    void ShowTimeLabels() override {
        form_.calls_.Post(0, [this] {
            form_.Label2->setVisible(true);
            form_.Label1->setVisible(true);
        });
    }
    void SetWritingLabelVisible(bool visible) override {
        form_.calls_.Post(0, [this, visible] { form_.Label3->setVisible(visible); });
    }
    void SetPlaying(bool playing) override {
        form_.calls_.Post(0, [this, playing] { form_.SetPlayingLook(playing); });
    }
    void ShowError(int textId) override {
        form_.calls_.Call([this, textId](UiCallQueue::Done done) {
            const QString caption = ErrorBoxCaption(ErrorSource::Program);
            const QString text = Q(Text(textId));
            if (startupPhase) {
                form_.deps_.services->Message(&form_, caption, text, UiServices::Icon::Error);
                done();
            } else {
                form_.deps_.services->MessageAsync(&form_, caption, text, UiServices::Icon::Error, done);
            }
        });
    }
    bool AskRaiseQuality() override {
        auto yes = std::make_shared<bool>(false);
        form_.calls_.Call([this, yes](UiCallQueue::Done done) {
            const QString caption = ErrorBoxCaption(ErrorSource::Program);
            form_.deps_.services->QuestionAsync(&form_, caption, Q(Text(kTextQualityTooLow)),
                                                [yes, done](bool answer) {
                                                    *yes = answer;
                                                    done();
                                                });
        });
        return *yes;
    }
    void StepTrack(bool next, const std::string& from) override {
        const QString origin = DecodeFileName(QByteArray::fromStdString(from));
        form_.calls_.CallSync([this, next, origin] {
            if (form_.playlist_) form_.playlist_->StepTrack(next, origin);
        });
    }
    bool AdvanceAfterTrack() override {
        return Get<bool>([this] { return form_.playlist_ && form_.playlist_->AdvanceAfterTrack(); });
    }
    void DropUnopenableFile(const std::string& name) override {
        const QString file = DecodeFileName(QByteArray::fromStdString(name));
        form_.calls_.CallSync([this, file] {
            if (form_.playlist_) form_.playlist_->DropUnopenableFile(file);
        });
    }
    void QuitProgram() override {
        form_.calls_.CallSync([this] {
            quitRequested = true;
            QMetaObject::invokeMethod(qApp, &QApplication::quit, Qt::QueuedConnection);
        });
    }

private:
    enum PostKey { kBarReport = 1, kTimeReport = 2 };
    template <class T, class F>
    T Get(F read) {
        auto result = std::make_shared<T>();
        form_.calls_.CallSync([result, read] { *result = read(); });
        return *result;
    }
    static void Pair(QAction* on, QAction* off) {
        off->setChecked(false);
        on->setChecked(true);
    }
    static void Disable(QAction* item, QAction* partner) {
        item->setEnabled(false);
        item->setChecked(false);
        partner->setChecked(true);
    }
    TMainForm& form_;
};

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
    connect(DropFile, &TDropFile::DropFile, this, [this](const QString& path) {
        OpenOne(path);
        StartFileHandled = true;
    });
    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
    FitSize();
}

TMainForm::~TMainForm() {
    tag_.RequestStop();
    calls_.Shutdown();
    player_.reset();  // joins: the thread ends at its next poll
}

void TMainForm::BuildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 4);
    column->setSpacing(2);

    TrackBar2 = new QSlider(Qt::Horizontal, central);
    TrackBar2->setObjectName("TrackBar2");
    TrackBar2->setRange(0, kSeekBarMax);
    TrackBar2->setPageStep(100);
    TrackBar2->setTickInterval(100);
    TrackBar2->setTickPosition(QSlider::TicksBelow);
    TrackBar2->setEnabled(false);
    TrackBar2->setAccessibleName("Position");
    column->addWidget(TrackBar2);
    connect(TrackBar2, &QSlider::valueChanged, this, [this] {
        if (!settingBar_) TrackBar2Change();
    });
    connect(TrackBar2, &QSlider::sliderReleased, this, &TMainForm::TrackBar2Change);

    Image1 = PlayGlyph().pixmap(16, 16);
    Image2 = StopGlyph().pixmap(16, 16);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(8, 0, 8, 0);
    auto button = [&](QPushButton*& b, const char* name, const QString& caption, const QIcon& icon) {
        b = new QPushButton(icon, caption, central);
        b->setObjectName(name);
        buttons->addWidget(b);
    };
    button(PlayStop, "PlayStop", "Play", QIcon(Image1));
    button(Rewind, "Rewind", "Rewind", RewindGlyph());
    button(PrevTrack, "PrevTrack", "Previous Track", PreviousGlyph());
    button(NextTrack, "NextTrack", "Next Track", NextGlyph());
    buttons->addStretch(1);
    button(PlaylistShow, "PlaylistShow", "Playlist...", PlaylistGlyph());
    PlayStop->setEnabled(false);
    Rewind->setEnabled(false);
    PrevTrack->setEnabled(false);
    NextTrack->setEnabled(false);
    column->addLayout(buttons);
    connect(PlayStop, &QPushButton::clicked, this, &TMainForm::PlayStopClick);
    connect(Rewind, &QPushButton::clicked, this, &TMainForm::RewindClick);
    connect(PrevTrack, &QPushButton::clicked, this, &TMainForm::PrevTrackClick);
    connect(NextTrack, &QPushButton::clicked, this, &TMainForm::NextTrackClick);
    connect(PlaylistShow, &QPushButton::clicked, this, &TMainForm::PlaylistShowClick);
    setTabOrder(PlayStop, Rewind);
    setTabOrder(Rewind, PrevTrack);
    setTabOrder(PrevTrack, NextTrack);
    setTabOrder(NextTrack, PlaylistShow);
    setTabOrder(PlaylistShow, TrackBar2);

    auto* labels = new QHBoxLayout;
    labels->setContentsMargins(8, 0, 8, 0);
    Label1 = new QLabel("Time:", central);
    Label1->setObjectName("Label1");
    Label2 = new QLabel("0", central);
    Label2->setObjectName("Label2");
    Label2->setMinimumWidth(Label2->fontMetrics().horizontalAdvance("00:00:00.0"));
    Label3 = new QLabel("Writing to disk", central);
    Label3->setObjectName("Label3");
    Label3->setStyleSheet("color: red;");
    // Hidden labels keep their room, so the window does not jump.
    for (QLabel* l : {Label1, Label2, Label3}) {
        QSizePolicy p = l->sizePolicy();
        p.setRetainSizeWhenHidden(true);
        l->setSizePolicy(p);
        l->setVisible(false);
    }
    labels->addStretch(1);
    labels->addWidget(Label1);
    labels->addWidget(Label2);
    labels->addSpacing(24);
    labels->addWidget(Label3);
    labels->addStretch(1);
    column->addLayout(labels);
    setCentralWidget(central);
}

void TMainForm::BuildMenus() {
    auto item = [this](QMenu* menu, QAction*& a, const char* name, const QString& caption, bool checkable = false,
                       bool checked = false) {
        a = menu->addAction(caption);
        a->setObjectName(name);
        a->setCheckable(checkable);
        a->setChecked(checked);
        return a;
    };
    File1 = menuBar()->addMenu("&File");
    File1->setObjectName("File1");
    item(File1, Open1, "Open1", "&Open...");
    item(File1, SaveAs1, "SaveAs1", "&Save As...");
    SaveAs1->setEnabled(false);
    item(File1, Openplaylist1, "Openplaylist1", "Open play&list...");
    item(File1, Editplaylist1, "Editplaylist1", "&Edit playlist...");
    N4 = File1->addSeparator();
    N4->setObjectName("N4");
    item(File1, E1, "E1", "E&xit");
    Open1->setShortcut(QKeySequence::Open);
    E1->setShortcut(QKeySequence::Quit);

    Options1 = menuBar()->addMenu("&Output format");
    Options1->setObjectName("Options1");
    item(Options1, N1, "N1", "&22050 Hz", true, false);
    item(Options1, N44100Hz1, "N44100Hz1", "&44100 Hz", true, true);
    Options1->addSeparator()->setObjectName("N2");
    item(Options1, N8bitspersample1, "N8bitspersample1", "&8 bits per sample", true, false);
    item(Options1, N16bitspersample1, "N16bitspersample1", "1&6 bits per sample", true, true);
    Options1->addSeparator()->setObjectName("N3");
    item(Options1, Mono1, "Mono1", "&Mono", true, false);
    item(Options1, Stereo1, "Stereo1", "&Stereo", true, true);
    item(Options1, StereoEffects, "StereoEffects", "Stereo &effects", true, true);

    Options2 = menuBar()->addMenu("O&ptions");
    Options2->setObjectName("Options2");
    item(Options2, PlayonSave, "PlayonSave", "&Play while saving to disk", true, false);
    item(Options2, AutoRepeat, "AutoRepeat", "&Auto repeat", true, false);
    Language1 = Options2->addMenu("&Language");
    Language1->setObjectName("Language1");
    item(Language1, English, "English", "&English", true, true);
    item(Language1, French, "French", "&Fran\u00e7ais", true, false);
    Options2->addSeparator()->setObjectName("N6");
    item(Options2, CreateshortcutinStartMenu1, "CreateshortcutinStartMenu1", "&Create shortcut in Start Menu");
    item(Options2, AssociatewavefileswithSonivel1, "AssociatewavefileswithSonivel1",
         "Associate &wave files with Sonivel");

    Help1 = menuBar()->addMenu("&Help");
    Help1->setObjectName("Help1");
    item(Help1, UsingSonivel1, "UsingSonivel1", "In &HTML format");
    item(Help1, Intextformat1, "Intextformat1", "In &text format");
    Help1->addSeparator()->setObjectName("N5");
    item(Help1, About1, "About1", "&About...");
    UsingSonivel1->setShortcut(QKeySequence::HelpContents);

    connect(Open1, &QAction::triggered, this, &TMainForm::Open1Click);
    connect(SaveAs1, &QAction::triggered, this, &TMainForm::SaveAs1Click);
    connect(Openplaylist1, &QAction::triggered, this, &TMainForm::Openplaylist1Click);
    connect(Editplaylist1, &QAction::triggered, this, &TMainForm::PlaylistShowClick);
    connect(E1, &QAction::triggered, this, &TMainForm::E1Click);
    for (QAction* a : {N1, N44100Hz1, N8bitspersample1, N16bitspersample1, Mono1, Stereo1, StereoEffects})
        connect(a, &QAction::triggered, this, [this, a] { OutputFormatClick(a); });
    connect(English, &QAction::triggered, this, &TMainForm::EnglishClick);
    connect(French, &QAction::triggered, this, &TMainForm::FrenchClick);
    connect(About1, &QAction::triggered, this, &TMainForm::About1Click);
    connect(AssociatewavefileswithSonivel1, &QAction::triggered, this, &TMainForm::AssociatewavefileswithSonivel1Click);
    connect(CreateshortcutinStartMenu1, &QAction::triggered, this, &TMainForm::CreateshortcutinStartMenu1Click);
    connect(UsingSonivel1, &QAction::triggered, this, &TMainForm::UsingSonivel1Click);
    connect(Intextformat1, &QAction::triggered, this, &TMainForm::Intextformat1Click);
}

void TMainForm::FitSize() {
    // One fixed size that holds every caption in the current language.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    const QSize hint = sizeHint().expandedTo(QSize(500, 79 + menuBar()->sizeHint().height()));
    setFixedSize(hint);
}

QString TMainForm::TextOf(int id) const { return Q(Text(id)); }

bool TMainForm::IsPlaying() const { return StripMnemonics(PlayStop->text()) == TextOf(kTextStop); }

void TMainForm::SetButtonCaptions(bool playing) {
    // Play and Stop both keep their keys, so the other buttons' keys do not
    // move when playback starts or stops.
    QStringList texts;
    for (const int id : {kTextPlay, kTextStop, kTextRewind, kTextPreviousTrack, kTextNextTrack, kTextPlaylistButton})
        texts << TextOf(id);
    const QStringList marked = AddMnemonics(texts, MenuBarMnemonics(menuBar()));
    PlayStop->setText(marked[playing ? 1 : 0]);
    Rewind->setText(marked[2]);
    PrevTrack->setText(marked[3]);
    NextTrack->setText(marked[4]);
    PlaylistShow->setText(marked[5]);
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
    if (Label2->isHidden() || !player_) return;
    Label2->setText(QString::fromStdString(FormatTime(
        SecondsAtBar(TrackBar2->value(), TrackBar2->maximum(), player_->HeldDataBytes(), player_->HeldByteRate()))));
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
    // The name is made absolute here, against this instance's working folder:
    // a running instance may work in another one.
    if (!arguments_.isEmpty() && !arguments_.front().isEmpty())
        arguments_.front() = QFileInfo(arguments_.front()).absoluteFilePath();
    // Another instance answers: hand the file over and end.
    const QString first = arguments_.isEmpty() ? QString() : arguments_.front();
    if (handoff_.HandOff(first, deps_.handoffWaitMs)) return false;
    Timer1->start();
    StartFileHandled = false;
    programFolder_ = deps_.programFolder;
    if (!programFolder_.isEmpty() && !programFolder_.endsWith('/')) programFolder_ += '/';
    if (Registry().ValueExists("44100Hz")) LoadSettings();
    else MigrateLegacySettings();
    mru_->SetAutoSaveName("\\Software\\Korvath\\Sonivel\\");
    mru_->SetAutoSaveKey("MRU Items");
    mru_->SetFileMenu(N4);
    StartRenderThread();
    created_ = !host_->quitRequested;
    return created_;
}

void TMainForm::LoadSettings() {
    Registry store;
    QString error;
    struct Item {
        const char* name;
        QAction* on;
        QAction* off;
    };
    const Item items[] = {{"44100Hz", N44100Hz1, N1},
                          {"16Bits", N16bitspersample1, N8bitspersample1},
                          {"Stereo", Stereo1, Mono1},
                          {"PlayOnSave", PlayonSave, nullptr},
                          {"StereoEffects", StereoEffects, nullptr},
                          {"AutoRepeat", AutoRepeat, nullptr}};
    for (const Item& it : items) {
        const std::optional<int> v = store.ReadInteger(it.name, &error);
        if (!v) {
            // What could not be read keeps its default, as do the values
            // after it; start-up goes on.
            deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Framework), error, UiServices::Icon::Error);
            return;
        }
        it.on->setChecked(*v != 0);
        if (it.off) it.off->setChecked(*v == 0);
    }
    if (store.ReadString("Language") == "French") SwitchLanguage(kFrench);
}

void TMainForm::MigrateLegacySettings() {
    const QString workPath = programFolder_ + "sonivl.cfg";
    QFile legacy(workPath);
    if (!legacy.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = legacy.read(4);
    legacy.close();
    // A short file: each missing byte counts as the one before it; an empty
    // file changes nothing.
    if (!bytes.isEmpty()) {
        auto byte = [&](int i) { return bytes[std::min<qsizetype>(i, bytes.size() - 1)] != 0; };
        N44100Hz1->setChecked(byte(0));
        N1->setChecked(!byte(0));
        N16bitspersample1->setChecked(byte(1));
        N8bitspersample1->setChecked(!byte(1));
        Stereo1->setChecked(byte(2));
        Mono1->setChecked(!byte(2));
        PlayonSave->setChecked(byte(3));
    }
    Registry store;
    if (!store.ValueExists("AskedIfDeleteConfigFile")) {
        if (deps_.services->Question(this, TextOf(kTextThankYou), TextOf(kTextDeleteLegacyConfig))) QFile::remove(workPath);
        store.WriteString("AskedIfDeleteConfigFile", "Hi! Thanks for using Sonivel!");
        store.Sync();
    }
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
        OpenAndPlay(arguments_.front());
        StartFileHandled = true;
    }
    // Start-up is complete: names handed over meanwhile are taken now, after
    // the command-line file.
    ready_ = true;
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

void TMainForm::SaveSettings() {
    Registry store;
    store.WriteInteger("44100Hz", N44100Hz1->isChecked() ? 1 : 0);
    store.WriteInteger("16Bits", N16bitspersample1->isChecked() ? 1 : 0);
    store.WriteInteger("Stereo", Stereo1->isChecked() ? 1 : 0);
    store.WriteInteger("PlayOnSave", PlayonSave->isChecked() ? 1 : 0);
    store.WriteInteger("StereoEffects", StereoEffects->isChecked() ? 1 : 0);
    store.WriteInteger("AutoRepeat", AutoRepeat->isChecked() ? 1 : 0);
    store.WriteString("Language", French->isChecked() ? "French" : "English");
    store.Sync();
    mru_->Save();
}

void TMainForm::Timer1Timer() {
    // Until start-up is complete (its boxes answered, the playlist and the
    // recent files there) the timer only answers; names wait in the store.
    for (const QString& name : handoff_.Heartbeat(ready_)) OpenAndPlay(name);
}

void TMainForm::OpenAndPlay(const QString& file) {
    OpenOne(file);
    Send(CommandRequest::PlayStop(PlayIntent::PlayNew));
}

void TMainForm::Send(CommandRequest request) { lastSent_ = tag_.Send(std::move(request)); }

bool TMainForm::ReportIsCurrent(std::uint32_t takenSerial) const { return takenSerial >= lastSent_; }

void TMainForm::RestartIfPlaying() {
    // A silent save ignores restarts; none is given, so its progress shows.
    if (!IsPlaying() || (player_ && player_->SilentSaveRunning())) return;
    Send(CommandRequest::Restart(TrackBar2->value()));
}

void TMainForm::OpenOne(const QString& file) {
    currentFile_ = file;
    if (playlist_) {
        playlist_->Button2Click();
        playlist_->Append(file);
    } else {
        NoFileState();
    }
    RewindClick();
    FileLoadedUpdate();
}

void TMainForm::UpdateTrackButtons() {
    const bool several = playlist_ && playlist_->Count() > 1;
    NextTrack->setEnabled(several);
    PrevTrack->setEnabled(NextTrack->isEnabled());
    emit StateChanged();
}

void TMainForm::FileLoadedUpdate() {
    TrackBar2->setEnabled(true);
    SaveAs1->setEnabled(true);
    Rewind->setEnabled(true);
    PlayStop->setEnabled(true);
    SetBarPosition(0);
    Label3->setVisible(false);
    Label2->setVisible(false);
    Label1->setVisible(false);
    UpdateTrackButtons();
    setWindowTitle("Sonivel - " + currentFile_);
    if (!PrevTrack->isEnabled()) mru_->AddItem(currentFile_);
    emit StateChanged();
}

void TMainForm::NoFileState() {
    RewindClick();
    Label3->setVisible(false);
    Label2->setVisible(false);
    Label1->setVisible(false);
    for (QWidget* w : {static_cast<QWidget*>(TrackBar2), static_cast<QWidget*>(NextTrack),
                       static_cast<QWidget*>(PrevTrack), static_cast<QWidget*>(Rewind),
                       static_cast<QWidget*>(PlayStop)})
        w->setEnabled(false);
    SaveAs1->setEnabled(false);
    setWindowTitle("Sonivel");
    emit StateChanged();
}

void TMainForm::PlayStopClick() {
    if (TrackBar2->value() == TrackBar2->maximum()) {
        SetBarPosition(0);
        return;
    }
    Send(CommandRequest::PlayStop(IsPlaying() ? PlayIntent::Stop : PlayIntent::Play));
}

void TMainForm::RewindClick() {
    if (IsPlaying()) Send(CommandRequest::PlayStop(PlayIntent::Stop));
    SetBarPosition(0);
}

// A step counts from the file the person sees as current, even when the
// playlist moves on by itself before the thread takes the step, and plays
// when they saw it playing, even when the track ended as they clicked.
void TMainForm::NextTrackClick() { Send(CommandRequest::Step(true, ToPath(currentFile_), IsPlaying())); }
void TMainForm::PrevTrackClick() { Send(CommandRequest::Step(false, ToPath(currentFile_), IsPlaying())); }

void TMainForm::SeekTo(int position) {
    if (TrackBar2->value() == position) TrackBar2Change();
    else TrackBar2->setValue(position);
}

void TMainForm::TrackBar2Change() {
    // A move is complete when the bar is not held (a drag ends on release).
    if (!TrackBar2->isSliderDown()) emit Seeked();
    if (Label2->isHidden() || !player_) return;
    ShowBarTime();
    // While the bar is held, only the time follows it; the restart comes
    // when it is let go, and starts where the bar was left.
    if (TrackBar2->isSliderDown()) return;
    RestartIfPlaying();
}

void TMainForm::OutputFormatClick(QAction* clicked) {
    auto pair = [&](QAction* on, QAction* off) {
        off->setChecked(false);
        on->setChecked(true);
    };
    if (clicked == N1) pair(N1, N44100Hz1);
    else if (clicked == N44100Hz1) pair(N44100Hz1, N1);
    else if (clicked == N8bitspersample1) pair(N8bitspersample1, N16bitspersample1);
    else if (clicked == N16bitspersample1) pair(N16bitspersample1, N8bitspersample1);
    else if (clicked == Mono1) pair(Mono1, Stereo1);
    else if (clicked == Stereo1) pair(Stereo1, Mono1);
    // StereoEffects toggles itself (checkable).
    RestartIfPlaying();
}

void TMainForm::Open1Click() {
    const QString folder = Registry().ReadString("LastOpenFolder");
    const QString file = deps_.services->OpenFile(this, QString(), folder, kWaveFilter, "wav");
    if (file.isEmpty()) return;
    OpenOne(file);
    Registry store;
    store.WriteString("LastOpenFolder", FolderOf(file));
    store.Sync();
}

void TMainForm::MRUFileList1MRUItemClick(const QString& file) { OpenOne(file); }

void TMainForm::Openplaylist1Click() {
    if (IsPlaying()) Send(CommandRequest::PlayStop(PlayIntent::Stop));
    if (!playlist_) return;
    // A playlist that cannot be read leaves everything as it was.
    if (playlist_->OpenPlaylist()) playlist_->CloseAction();
}

void TMainForm::SaveAs1Click() {
    if (IsPlaying()) {
        deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Program), TextOf(kTextStopBeforeSaving), UiServices::Icon::None);
        return;
    }
    const QString folder = Registry().ReadString("LastSaveFolder");
    const QString target = deps_.services->SaveFile(this, QString(), folder, kWaveFilter, "wav");
    if (target.isEmpty()) return;
    // The file being read is never the target: the same name (as the file
    // system compares names), or the same file under another name.
    const bool same = SameFileName(target, currentFile_) || SameFile(ToPath(target), ToPath(currentFile_));
    if (same) {
        deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Program), TextOf(kTextOverwriteOpenFile),
                                UiServices::Icon::Error);
        return;
    }
    Registry store;
    store.WriteString("LastSaveFolder", FolderOf(target));
    store.Sync();
    saveTarget_ = target;
    Send(CommandRequest::Plain(kCmdSave));
}

void TMainForm::PlaylistShowClick() {
    if (playlist_) playlist_->exec();
}

void TMainForm::About1Click() {
    if (auto* dialog = qobject_cast<QDialog*>(aboutBox_)) dialog->exec();
}

void TMainForm::AssociatewavefileswithSonivel1Click() {
    if (!AssociateWaveFiles(deps_.programPath, InstallDesktopIcon()))
        deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Framework), Registry::SetDataFailed(QString()),
                                UiServices::Icon::Error);
}

void TMainForm::CreateshortcutinStartMenu1Click() {
    ProgLink1->SourceName = deps_.programPath;
    // A link that cannot be written has no visible effect: the command
    // reports nothing, as it always did.
    [[maybe_unused]] const bool written = ProgLink1->CreateLink();
}

QString TMainForm::HelpPath(const QString& name) const {
    const QString beside = programFolder_ + name;
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = programFolder_ + "../share/sonivel/" + name;
    if (QFileInfo::exists(installed)) return QFileInfo(installed).absoluteFilePath();
    return beside;
}

void TMainForm::OpenHelp(const QString& name, int failureText) {
    if (CurrentLanguage().load() == kFrench) {
        Registry store;
        if (!store.ValueExists("NoFrenchManual")) {
            deps_.services->Message(this, QString(), TextOf(kTextNoFrenchManual), UiServices::Icon::None);
            store.WriteString("NoFrenchManual", "");
            store.Sync();
        }
    }
    if (!deps_.openUrl(QUrl::fromLocalFile(HelpPath(name))))
        deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Program), TextOf(failureText),
                                UiServices::Icon::Error);
}

void TMainForm::SwitchLanguage(int language) {
    const bool playing = IsPlaying();
    English->setChecked(language == kEnglish);
    French->setChecked(language == kFrench);
    const std::pair<QObject*, int> captions[] = {
        {File1, kTextMenuFile}, {Open1, kTextMenuOpen}, {SaveAs1, kTextMenuSaveAs},
        {Openplaylist1, kTextMenuOpenPlaylist}, {Editplaylist1, kTextMenuEditPlaylist}, {E1, kTextMenuExit},
        {Options1, kTextMenuOutputFormat}, {N8bitspersample1, kTextMenu8Bits}, {N16bitspersample1, kTextMenu16Bits},
        {Mono1, kTextMenuMono}, {Stereo1, kTextMenuStereo}, {StereoEffects, kTextMenuStereoEffects},
        {Options2, kTextMenuOptions}, {PlayonSave, kTextMenuPlayWhileSaving}, {AutoRepeat, kTextMenuAutoRepeat},
        {Language1, kTextMenuLanguage}, {CreateshortcutinStartMenu1, kTextMenuCreateShortcut},
        {AssociatewavefileswithSonivel1, kTextMenuAssociate}, {Help1, kTextMenuHelp},
        {UsingSonivel1, kTextMenuHelpHtml}, {Intextformat1, kTextMenuHelpText}, {About1, kTextMenuAbout}};
    for (const auto& [object, id] : captions) {
        const QString text = Q(Text(id, language));
        if (auto* menu = qobject_cast<QMenu*>(object)) menu->setTitle(text);
        else if (auto* action = qobject_cast<QAction*>(object)) action->setText(text);
    }
    CurrentLanguage().store(language);
    SetButtonCaptions(playing);
    Label1->setText(TextOf(kTextTimeLabel));
    Label3->setText(TextOf(kTextWritingLabel));
    // Qt's own buttons (Yes, No, Cancel) follow the language too.
    if (language == kFrench && !qtFrenchInstalled_) {
        if (qtFrench_.load("qtbase_fr", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            qtFrenchInstalled_ = QApplication::installTranslator(&qtFrench_);
    } else if (language == kEnglish && qtFrenchInstalled_) {
        QApplication::removeTranslator(&qtFrench_);
        qtFrenchInstalled_ = false;
    }
    FitSize();
}

}  // namespace sonivel
