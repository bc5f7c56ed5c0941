// The main window's controls and menus, made and connected once: the seek
// bar, the transport buttons, the labels, the menus and their groups, and
// the window's one size.
#include <QActionGroup>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStyle>
#include <QVBoxLayout>

#include "desktop_icon.h"
#include "mainform.h"
#include "mrufilelist.h"
#include "services.h"
#include "texts.h"

namespace sonivel {

void TMainForm::BuildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 4);
    column->setSpacing(2);

    TrackBar2 = new TSeekBar(Qt::Horizontal, central);
    TrackBar2->setObjectName("TrackBar2");
    TrackBar2->setRange(0, model_.BarMax());
    TrackBar2->setPageStep(100);
    TrackBar2->setTickInterval(100);
    TrackBar2->setTickPosition(QSlider::TicksBelow);
    TrackBar2->setEnabled(false);
    TrackBar2->setAccessibleName("Position");
    column->addWidget(TrackBar2);
    // The bar shows the model's position, and where the person moves it
    // is the model's position.
    connect(TrackBar2, &QSlider::valueChanged, this, [this] {
        if (!settingBar_) TrackBar2Change();
    });
    connect(TrackBar2, &QSlider::sliderReleased, this, &TMainForm::TrackBar2Change);
    column->addLayout(BuildButtons(central));
    column->addLayout(BuildLabels(central));
    setCentralWidget(central);
}

// The transport buttons, in the order of the row and of the Tab key.
QHBoxLayout* TMainForm::BuildButtons(QWidget* central) {
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
    return buttons;
}

// The time and the writing notice under the buttons.
QHBoxLayout* TMainForm::BuildLabels(QWidget* central) {
    auto* labels = new QHBoxLayout;
    labels->setContentsMargins(8, 0, 8, 0);
    Label1 = new QLabel("Time:", central);
    Label1->setObjectName("Label1");
    Label2 = new QLabel("0", central);
    Label2->setObjectName("Label2");
    // A fixed size and plain text: the time changes ten times a second while
    // playing, and a label that could change size would lay the window out
    // again each time.
    Label2->setTextFormat(Qt::PlainText);
    Label2->setFixedSize(Label2->fontMetrics().horizontalAdvance("00:00:00.0") + 2, Label2->sizeHint().height());
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
    return labels;
}

namespace {
QAction* item(QMenu* menu, QAction*& a, const char* name, const QString& caption, bool checkable = false,
              bool checked = false) {
    a = menu->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    a->setChecked(checked);
    return a;
}
}  // namespace

void TMainForm::BuildMenus() {
    BuildFileAndFormatMenus();
    BuildOptionsAndHelpMenus();
    ConnectMenus();
}

void TMainForm::BuildFileAndFormatMenus() {
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
    Options1->addSeparator()->setObjectName("N7");
    item(Options1, HighQualityInterpolation, "HighQualityInterpolation", "&High-quality interpolation", true, false);
}

void TMainForm::BuildOptionsAndHelpMenus() {
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
}

void TMainForm::ConnectMenus() {
    // Each either-or pair is one choice, drawn with radio marks; what is
    // checked still follows the model alone (ShowOutput, SwitchLanguage).
    for (const auto& [one, other] : {std::pair{N1, N44100Hz1}, std::pair{N8bitspersample1, N16bitspersample1},
                                     std::pair{Mono1, Stereo1}, std::pair{English, French}}) {
        auto* group = new QActionGroup(this);
        group->setExclusive(true);
        group->addAction(one);
        group->addAction(other);
    }
    connect(Open1, &QAction::triggered, this, &TMainForm::Open1Click);
    connect(SaveAs1, &QAction::triggered, this, &TMainForm::SaveAs1Click);
    connect(Openplaylist1, &QAction::triggered, this, &TMainForm::Openplaylist1Click);
    connect(Editplaylist1, &QAction::triggered, this, &TMainForm::PlaylistShowClick);
    connect(E1, &QAction::triggered, this, &TMainForm::E1Click);
    for (QAction* a : {N1, N44100Hz1, N8bitspersample1, N16bitspersample1, Mono1, Stereo1, StereoEffects,
                       HighQualityInterpolation})
        connect(a, &QAction::triggered, this, [this, a] { OutputFormatClick(a); });
    for (QAction* a : {PlayonSave, AutoRepeat}) connect(a, &QAction::triggered, this, [this, a] { OptionClick(a); });
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

}  // namespace sonivel
