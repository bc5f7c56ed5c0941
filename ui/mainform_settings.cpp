// The main window's settings: read at start-up (or taken over once from the
// old configuration file beside the program), written when it closes.
#include "mainform.h"

#include <QFile>

#include "mrufilelist.h"
#include "registry.h"
#include "services.h"
#include "texts.h"

namespace sonivel {

void TMainForm::LoadSettings() {
    Registry store;
    QString error;
    struct Item {
        const char* name;
        QAction* on;
        QAction* off;
        bool mayBeMissing = false;  // settings of older versions lack it
    };
    const Item items[] = {{"44100Hz", N44100Hz1, N1},
                          {"16Bits", N16bitspersample1, N8bitspersample1},
                          {"Stereo", Stereo1, Mono1},
                          {"PlayOnSave", PlayonSave, nullptr},
                          {"StereoEffects", StereoEffects, nullptr},
                          {"AutoRepeat", AutoRepeat, nullptr},
                          {"HighQualityInterpolation", HighQualityInterpolation, nullptr, true}};
    for (const Item& it : items) {
        if (it.mayBeMissing && !store.ValueExists(it.name)) continue;
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

void TMainForm::SaveSettings() {
    Registry store;
    store.WriteInteger("44100Hz", N44100Hz1->isChecked() ? 1 : 0);
    store.WriteInteger("16Bits", N16bitspersample1->isChecked() ? 1 : 0);
    store.WriteInteger("Stereo", Stereo1->isChecked() ? 1 : 0);
    store.WriteInteger("PlayOnSave", PlayonSave->isChecked() ? 1 : 0);
    store.WriteInteger("StereoEffects", StereoEffects->isChecked() ? 1 : 0);
    store.WriteInteger("AutoRepeat", AutoRepeat->isChecked() ? 1 : 0);
    store.WriteInteger("HighQualityInterpolation", HighQualityInterpolation->isChecked() ? 1 : 0);
    store.WriteString("Language", French->isChecked() ? "French" : "English");
    store.Sync();
    mru_->Save();
}

}  // namespace sonivel
