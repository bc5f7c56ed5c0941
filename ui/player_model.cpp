#include "player_model.h"

#include "file_names.h"
#include "texts.h"

namespace sonivel {

void PlayerModel::ApplyLimits(const DeviceLimits& limits) {
    limits_.monoOnly = limits_.monoOnly || limits.monoOnly;
    limits_.no16Bits = limits_.no16Bits || limits.no16Bits;
    limits_.no44100Hz = limits_.no44100Hz || limits.no44100Hz;
    if (limits.monoOnly) output_.stereo = false;
    if (limits.no16Bits) output_.bits16 = false;
    if (limits.no44100Hz) output_.rate44100 = false;
}

int PlayerModel::Language() const { return CurrentLanguage().load(); }

void PlayerModel::SetLanguage(int language) { CurrentLanguage().store(language == kFrench ? kFrench : kEnglish); }

RunSetup PlayerModel::SetupNow() const {
    RunSetup setup;
    setup.file = FileNameBytes(currentFile_);
    setup.saveTarget = FileNameBytes(saveTarget_);
    setup.choice = output_;
    setup.position = barPosition_;
    setup.barMax = BarMax();
    setup.playOnSave = playOnSave_;
    setup.listed = listed_;
    return setup;
}

}  // namespace sonivel
