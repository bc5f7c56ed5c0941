// The main window's commands that go to the desktop: the wave-file
// association, the menu launcher and the help documents.
#include "mainform.h"

#include <QFileInfo>
#include <QUrl>

#include "proglink.h"
#include "registry.h"
#include "services.h"
#include "shell.h"
#include "desktop_icon.h"
#include "texts.h"

namespace sonivel {

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

}  // namespace sonivel
