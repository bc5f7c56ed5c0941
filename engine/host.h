// What the render thread tells the windows and the little it asks them.
//
// What it tells are events, posted: Post returns at once and the windows
// show each when they get to it, in the order they were posted, so a busy
// window never delays the sound. What it asks waits for the answer on the
// windows' thread (never the other way round): the quality question, which
// waits for the person, and, for callers without windows, the set-up of a
// run whose command did not bring one. What follows a track it reads from
// the plan the windows publish in the command channel (FollowPlan), and
// tells them where it went.
//
// The main window implements it by running each call on its own thread; the
// tests implement it directly.
#pragma once

#include <optional>
#include <string>
#include <variant>

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

namespace event {

// A run goes on (from its start until the thread is idle again, also across
// a restart or a change of track), or it has ended.
struct Playing {
    bool on = false;
};
// A run writes the output file.
struct Writing {
    bool on = false;
};
// Where a run has got to: the bar (0..the run's bar maximum) and, while
// sound plays, the time.
struct Position {
    int bar = 0;
    std::optional<double> seconds;
};
// A run's sound begins, or a track that followed gaplessly became current:
// its time is shown.
struct TimeShown {};
// Something failed (text `textId`); `file` is the file it concerns, empty
// when it concerns none (the sound device).
struct Failed {
    int textId = 0;
    std::string file;
};
// The playlist reached `file` at a track's end and it cannot be played
// (text `textId` says why): it was gone past. The person hears of what was
// skipped once, when the run ends.
struct Skipped {
    std::string file;
    int textId = 0;
};
// A file the person chose cannot be opened: it leaves the playlist.
struct Dropped {
    std::string file;
};
// The device check found outputs the device cannot play.
struct Limited {
    DeviceLimits limits;
};
// After a Yes to the quality question, each failing condition's check moved
// up (rate, channels, bits): the run uses the raised output.
struct Raised {
    QualityShortfall shortfall;
};
// A track played to its end (`from`, the one the window shows), and the
// playlist goes on to `to` (empty: playback stops there); `joined`: `to`
// flowed on gaplessly and sounds already.
struct Advanced {
    std::string from;
    std::string to;
    bool joined = false;
};
// The thread waits for a command again: what it was asked (a run, a save, a
// load that failed) has ended. Comes after Playing{false}.
struct RunEnded {};
// The sample buffers could not be had: the program ends.
struct Quit {};

}  // namespace event

using Event = std::variant<event::Playing, event::Writing, event::Position, event::TimeShown, event::Failed,
                           event::Skipped, event::Dropped, event::Limited, event::Raised, event::Advanced,
                           event::RunEnded, event::Quit>;

class Host {
public:
    virtual ~Host() = default;

    // Hands an event to the windows without waiting.
    virtual void Post(Event event) = 0;

    // The output-quality question (text 47, Yes and No); true for Yes.
    // Waits until the person answered.
    virtual bool AskRaiseQuality() = 0;

    // What a run is set up with, for a command that starts one without
    // bringing it: callers that drive the thread by its codes alone (tests,
    // tools) answer with the current file, the save target, the output
    // choice, the bar's position (only when `withPosition`) and maximum, and
    // play while saving. The windows bring the set-up with every command
    // and never reach this; by default there is nothing to play.
    virtual RunSetup ReadRunSetup(bool /*withPosition*/) { return {}; }
};

}  // namespace sonivel
