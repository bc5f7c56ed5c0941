// The main window in the current language: the menus' and buttons'
// captions, the labels, Qt's own buttons, and the window's size to fit them.
#include "mainform.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMenu>

#include "keyboard.h"
#include "services.h"
#include "texts.h"

namespace sonivel {

QString TMainForm::TextOf(int id) const { return Q(Text(id)); }

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

void TMainForm::SwitchLanguage(int language) {
    model_.SetLanguage(language);
    English->setChecked(model_.Language() == kEnglish);
    French->setChecked(model_.Language() == kFrench);
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
    HighQualityInterpolation->setText(Q(Text(kTextMenuHighQuality, language)));
    SetButtonCaptions(IsPlaying());
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
