// PlayerModel: the player's state on the windows' thread, in one place. The
// window's controls show it (menu checks, enabled items, the Play/Stop
// caption and picture); the player's intents change it (ui/player); a
// command takes the run's set-up from it; the media controls read it too.
// No widget holds state the program decides on.
#pragma once

#include <QString>

#include "command.h"
#include "convert.h"
#include "host.h"
#include "position.h"
#include "texts.h"

namespace sonivel {

class PlayerModel {
public:
    // The output format the menus show and the render thread reads when a
    // run is set up.
    const OutputChoice& Output() const { return output_; }
    void SetOutput(const OutputChoice& choice) { output_ = choice; }
    // The Yes to the quality question: each failing part moves up.
    void Raise(const QualityShortfall& shortfall) { output_ = RaiseOutput(output_, shortfall); }
    // What the sound device cannot play, found at start-up: each such part
    // of the choice is moved down once, and its item stays off.
    const DeviceLimits& Limits() const { return limits_; }
    void ApplyLimits(const DeviceLimits& limits);

    bool PlayOnSave() const { return playOnSave_; }
    void SetPlayOnSave(bool on) { playOnSave_ = on; }
    bool AutoRepeat() const { return autoRepeat_; }
    void SetAutoRepeat(bool on) { autoRepeat_ = on; }

    // The language of the windows and the render thread's messages: held
    // here and in the program-wide value the texts are looked up by.
    int Language() const;
    void SetLanguage(int language);

    // The file played, shown in the title (the dialogs' FileName), and
    // where Save As writes.
    const QString& CurrentFile() const { return currentFile_; }
    // `listed`: chosen by the playlist (a folder, a list, a step), not alone.
    void SetCurrentFile(const QString& file, bool listed = false) {
        currentFile_ = file;
        listed_ = listed;
    }
    void SetListed(bool listed) { listed_ = listed; }
    const QString& SaveTarget() const { return saveTarget_; }
    void SetSaveTarget(const QString& target) { saveTarget_ = target; }

    // A file is loaded: Play, Rewind, the bar and Save As are on.
    bool Loaded() const { return loaded_; }
    void SetLoaded(bool loaded) { loaded_ = loaded; }

    // The seek bar: where it stands (as the person set it, or as the run
    // last reported) and its maximum.
    int BarPosition() const { return barPosition_; }
    void SetBarPosition(int position) { barPosition_ = position; }
    int BarMax() const { return kSeekBarMax; }
    bool BarAtEnd() const { return barPosition_ >= kSeekBarMax; }

    // The time and its "Time:" label show: a run was set up for the file
    // loaded, so the bar's moves have a time to show and restart it.
    bool TimeShown() const { return timeShown_; }
    void SetTimeShown(bool shown) { timeShown_ = shown; }

    // What a run set up now would be set up with: a command that starts one
    // carries it, and the render thread's question is answered with it.
    RunSetup SetupNow() const;

    // Playing, as the render thread last reported it: the Play/Stop button
    // is drawn from this, never the other way round.
    bool Playing() const { return playing_; }
    void SetPlaying(bool playing) { playing_ = playing; }

private:
    QString currentFile_;
    bool listed_ = false;
    QString saveTarget_;
    OutputChoice output_;
    DeviceLimits limits_;
    bool playOnSave_ = false;
    bool autoRepeat_ = false;
    bool loaded_ = false;
    bool playing_ = false;
    int barPosition_ = 0;
    bool timeShown_ = false;
};

}  // namespace sonivel
