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
    OutputChoice c = model_.Output();
    bool playOnSave = model_.PlayOnSave(), autoRepeat = model_.AutoRepeat();
    struct Item {
        const char* name;
        bool* value;
        bool mayBeMissing = false;  // settings of older versions lack it
    };
    const Item items[] = {{"44100Hz", &c.rate44100},
                          {"16Bits", &c.bits16},
                          {"Stereo", &c.stereo},
                          {"PlayOnSave", &playOnSave},
                          {"StereoEffects", &c.effects},
                          {"AutoRepeat", &autoRepeat},
                          {"HighQualityInterpolation", &c.bandLimited, true}};
    const auto apply = [&] {
        model_.SetOutput(c);
        model_.SetPlayOnSave(playOnSave);
        model_.SetAutoRepeat(autoRepeat);
        ShowOutput();
    };
    for (const Item& it : items) {
        if (it.mayBeMissing && !store.ValueExists(it.name)) continue;
        const std::optional<int> v = store.ReadInteger(it.name, &error);
        if (!v) {
            // What could not be read keeps its default, as do the values
            // after it; start-up goes on.
            apply();
            deps_.services->Message(this, ErrorBoxCaption(ErrorSource::Framework), error, UiServices::Icon::Error);
            return;
        }
        *it.value = *v != 0;
    }
    apply();
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
        OutputChoice c = model_.Output();
        c.rate44100 = byte(0);
        c.bits16 = byte(1);
        c.stereo = byte(2);
        model_.SetOutput(c);
        model_.SetPlayOnSave(byte(3));
        ShowOutput();
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
    const OutputChoice& c = model_.Output();
    store.WriteInteger("44100Hz", c.rate44100 ? 1 : 0);
    store.WriteInteger("16Bits", c.bits16 ? 1 : 0);
    store.WriteInteger("Stereo", c.stereo ? 1 : 0);
    store.WriteInteger("PlayOnSave", model_.PlayOnSave() ? 1 : 0);
    store.WriteInteger("StereoEffects", c.effects ? 1 : 0);
    store.WriteInteger("AutoRepeat", model_.AutoRepeat() ? 1 : 0);
    store.WriteInteger("HighQualityInterpolation", c.bandLimited ? 1 : 0);
    store.WriteString("Language", model_.Language() == kFrench ? "French" : "English");
    store.Sync();
    mru_->Save();
}

}  // namespace sonivel
