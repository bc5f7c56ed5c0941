// Everything the render thread reads from or changes in the windows and the
// playlist. The main window implements it by running each call on the user
// interface thread; the headless converter and the tests implement it
// directly. A call whose answer the thread needs (names, menu checks, the bar
// at run set-up, the quality answer, the playlist) blocks the render thread
// until the windows answered it (a message box blocks it until the user
// closes the box), but never the windows. Calls that only show something (the
// bar, the time, the labels) must not wait for the windows: the window shows
// the latest value when it gets to it.
#pragma once

#include <string>

#include "command.h"
#include "convert.h"

namespace sonivel {

// What the start-up device check found missing, applied to the Output format
// menu in this order: channels, 16 bits, 44100 Hz.
struct DeviceLimits {
    bool monoOnly = false;      // Stereo1 disabled and unchecked, Mono1 checked
    bool no16Bits = false;      // N16bitspersample1 disabled and unchecked, 8 bits checked
    bool no44100Hz = false;     // N44100Hz1 disabled and unchecked, N1 checked
};

class Host {
public:
    virtual ~Host() = default;

    // The current file (empty when none) and the save target.
    virtual std::string CurrentFileName() = 0;
    virtual std::string SaveTargetName() = 0;

    // The Output format and Options menus.
    virtual OutputChoice ReadOutputChoice() = 0;
    virtual bool PlayOnSaveChecked() = 0;
    // Moves the checks up for each failing condition: rate, channels, bits.
    virtual void RaiseOutputChoice(const QualityShortfall& shortfall) = 0;
    virtual void ApplyDeviceLimits(const DeviceLimits& limits) = 0;

    // The seek bar (0..SeekBarMax) and the time text.
    virtual int SeekBarPosition() = 0;
    virtual int SeekBarMax() = 0;

    // What a run is set up with, for a run its command did not bring it to
    // (a step, the next track of the playlist, a caller without a window):
    // the file, the save target, the output choice, the bar's position (only
    // when `withPosition`) and maximum, and play while saving. A host whose
    // values live on another thread answers in one round trip; this one asks
    // the single questions.
    using RunSetup = sonivel::RunSetup;
    virtual RunSetup ReadRunSetup(bool withPosition) {
        RunSetup setup;
        setup.file = CurrentFileName();
        setup.saveTarget = SaveTargetName();
        setup.choice = ReadOutputChoice();
        if (withPosition) setup.position = SeekBarPosition();
        setup.playOnSave = PlayOnSaveChecked();
        setup.barMax = SeekBarMax();
        return setup;
    }
    virtual void SetSeekBarPosition(int position) = 0;
    virtual void ShowTime(double seconds) = 0;
    // Where a playing run has got to: the bar and the time in one report.
    virtual void ShowPosition(int barPosition, double seconds) {
        SetSeekBarPosition(barPosition);
        ShowTime(seconds);
    }
    // Makes the time value visible, then the "Time:" label.
    virtual void ShowTimeLabels() = 0;
    // The "Writing to disk" label.
    virtual void SetWritingLabelVisible(bool visible) = 0;
    // The Play/Stop button: "Stop" with its picture while a run goes on.
    virtual void SetPlaying(bool playing) = 0;

    // An error box (caption "Error", OK) with text `textId` in the language
    // current when it is shown. Returns when the user closed it.
    virtual void ShowError(int textId) = 0;
    // The same for a failure about one file (the track read, the file
    // written): the box names it after the text.
    virtual void ShowFileError(int textId, const std::string& file) {
        (void)file;
        ShowError(textId);
    }
    // The output-quality question (text 47, Yes and No); true for Yes.
    virtual bool AskRaiseQuality() = 0;

    // Track sequencing, each carried out as one unit on the windows' side:
    // choose the entry after (or before) `from` (the current file when empty
    // or no longer listed), make it current and run the file-loaded update.
    virtual void StepTrack(bool next, const std::string& from) = 0;
    // After a track played to its end: true when an entry was chosen and made
    // current (it then plays at once).
    virtual bool AdvanceAfterTrack() = 0;
    // For a track that flows into the next: the entry AdvanceAfterTrack
    // would choose once `after` is current, without choosing it (empty when
    // there is none). `after` is the current file, or the entry that is
    // about to follow it...
    virtual std::string PeekNextTrack(const std::string& after) = 0;
    // ...and, when that next track starts to sound, AdvanceAfterTrack's
    // change if it would still choose `expected`. False, changing nothing,
    // when the playlist now leads elsewhere, and while a command the run
    // takes (1, 2, 4, 5) waits: it was given for the track still shown.
    virtual bool AdvanceToTrack(const std::string& expected) = 0;
    // A file that cannot be opened leaves the playlist: deselect all, select
    // its first entry (compared without regard to case), remove, then the
    // editor's close action.
    virtual void DropUnopenableFile(const std::string& name) = 0;
    // The playlist reached `name` at a track's end and it cannot be played
    // (text `textId` says why): it is gone past, and the next entry plays.
    // The person hears of what was skipped once, when the run ends.
    virtual void SkipTrack(const std::string& name, int textId) = 0;

    // The sample buffers could not be allocated: the program ends.
    virtual void QuitProgram() = 0;

    // The thread waits for a command again: what it was asked (a run, a
    // save, a load that failed) has ended. Comes after SetPlaying(false).
    virtual void RunEnded() {}
};

}  // namespace sonivel
