// The command channel and the stop request: the only values the windows and
// the render thread share without going through the host.
//
// The command code itself is an atomic integer with plain loads, so the
// render thread polls it for nothing. A command carries what it needs along
// with its code: what a Play/Stop click meant (judged by the caption the
// person saw), the bar position a restart begins at, whether a track step
// was clicked while the person saw a run going on. A command replaces one that was not taken yet, so the last
// thing the person did is what happens; a command that starts a run also
// carries what the run is set up with, as the window had it when the person
// acted, so the thread need not ask for it; the render thread takes a command
// whole, and only by taking it does the code read 0 again, so nothing given
// after it is ever cleared away. Every command has a serial number, and the
// thread publishes the serial of the last one it took: the window uses it to
// tell a position report made before the thread saw its latest command (a
// stale one) from a current one.
//
// The channel is also the render thread's alarm: every command, a stop
// request and every Wake (the sound device's "a block is done") count one
// wake, and the thread sleeps until the count moves or a deadline passes.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert.h"

namespace sonivel {

// What a run is set up with: the file, where a save writes, the output
// choice, the bar position it starts at and the bar's maximum, and play
// while saving.
struct RunSetup {
    std::string file;
    std::string saveTarget;
    OutputChoice choice;
    int position = 0;
    int barMax = 0;
    bool playOnSave = false;
    // The file is an entry of a list or folder the person opened, not one
    // chosen alone: if it cannot play, the list goes on past it.
    bool listed = false;
};

// Command codes written by the windows; the render thread writes only 0.
enum Command : std::int32_t {
    kCmdNone = 0,
    kCmdPlayStop = 1,
    kCmdRestart = 2,
    kCmdSave = 3,
    kCmdNextTrack = 4,
    kCmdPreviousTrack = 5,
};

// What a code 1 asks for.
enum class PlayIntent : std::uint8_t {
    Toggle,   // play when idle, stop when playing (callers without a caption)
    Play,     // the person saw Play: start, or nothing when a run goes on
    Stop,     // the person saw Stop: stop, or nothing when idle
    PlayNew,  // a file was just loaded to play: end any run, then play it
};

struct CommandRequest {
    std::int32_t code = kCmdNone;
    PlayIntent intent = PlayIntent::Toggle;
    // Code 2: the bar position the new run starts at; -1 reads the bar.
    int startPosition = -1;
    // Codes 4 and 5, given once the window has made the entry current:
    // whether the person saw a run going on. A step taken by an idle thread
    // then plays the entry too (the run ended as they clicked).
    bool sawPlaying = false;
    // Codes 1 to 5: the run's set-up as the window had it (for a step, the
    // entry stepped to); without it (a caller that gives codes alone) the
    // thread asks the host at the run's set-up.
    std::optional<RunSetup> setup;
    std::uint32_t serial = 0;

    static CommandRequest Plain(std::int32_t code) {
        CommandRequest r;
        r.code = code;
        return r;
    }
    static CommandRequest PlayStop(PlayIntent intent) {
        CommandRequest r = Plain(kCmdPlayStop);
        r.intent = intent;
        return r;
    }
    static CommandRequest Restart(int startPosition) {
        CommandRequest r = Plain(kCmdRestart);
        r.startPosition = startPosition;
        return r;
    }
    static CommandRequest Step(bool next, bool sawPlaying) {
        CommandRequest r = Plain(next ? kCmdNextTrack : kCmdPreviousTrack);
        r.sawPlaying = sawPlaying;
        return r;
    }
};

// What follows a track, as the windows last published it: the playlist's
// entries in order, whether it starts again after the last, and what a run
// of the entry that follows is set up with (its file filled in). The render
// thread reads it at a track's end and for a gapless join, so it asks the
// windows nothing to go on to the next track.
struct FollowPlan {
    std::vector<std::string> entries;
    bool autoRepeat = false;
    RunSetup setup;
};

// The entry that plays when the track `current` ends: the one after it, or
// the first again after the last with auto repeat; -1 when playback stops
// there (the last entry without repeat, or a file not listed). The ended
// track is found by its exact name, the first entry of that name counting.
inline int FollowingIndex(const std::vector<std::string>& entries, const std::string& current, bool autoRepeat) {
    const auto found = std::find(entries.begin(), entries.end(), current);
    if (found == entries.end()) return -1;
    const auto at = found - entries.begin();
    if (at + 1 < static_cast<std::ptrdiff_t>(entries.size())) return static_cast<int>(at + 1);
    return autoRepeat ? 0 : -1;
}

class CommandChannel {
public:
    // The pending code, 0 when none.
    std::int32_t Load() const { return code_.load(); }

    // Gives a command, replacing one not taken yet. Returns its serial.
    std::uint32_t Send(CommandRequest request) {
        std::uint32_t serial;
        {
            std::lock_guard lock(mutex_);
            serial = ++lastSerial_;
            request.serial = serial;
            pending_ = std::move(request);
            code_.store(pending_.code);
            wakes_.fetch_add(1);
        }
        wake_.notify_all();
        return serial;
    }
    void Store(std::int32_t code) { Send(CommandRequest::Plain(code)); }

    // Render thread: takes the pending command when `wanted(code)` holds for
    // it; the code then reads 0.
    template <class Wanted>
    std::optional<CommandRequest> TakeIf(Wanted wanted) {
        std::lock_guard lock(mutex_);
        const std::int32_t code = code_.load();
        if (code == kCmdNone || !wanted(code)) return std::nullopt;
        CommandRequest taken = std::move(pending_);
        pending_ = CommandRequest{};
        code_.store(kCmdNone);
        takenSerial_.store(taken.serial);
        return taken;
    }
    std::optional<CommandRequest> Take() {
        return TakeIf([](std::int32_t) { return true; });
    }
    // The serial of the last command the render thread took.
    std::uint32_t TakenSerial() const { return takenSerial_.load(); }

    void RequestStop() {
        {
            std::lock_guard lock(mutex_);
            stop_.store(true);
            wakes_.fetch_add(1);
        }
        wake_.notify_all();
    }
    // Something the render thread waits for happened (a block finished
    // playing). Any thread; cheap enough for a sound callback.
    void Wake() {
        {
            std::lock_guard lock(mutex_);
            wakes_.fetch_add(1);
        }
        wake_.notify_all();
    }
    // How many wakes there were: read before looking at what the thread
    // waits for, then passed to WaitForWake, so none is missed in between.
    std::uint32_t WakeCount() const { return wakes_.load(); }
    // Blocks until the wake count differs from `seen` or maxMs passed.
    void WaitForWake(std::uint32_t seen, std::uint32_t maxMs) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(maxMs), [this, seen] { return wakes_.load() != seen; });
    }
    bool StopRequested() const { return stop_.load(); }

    // The windows: what follows a track from now on.
    void PublishPlan(FollowPlan plan) {
        std::lock_guard lock(planMutex_);
        plan_ = std::move(plan);
    }
    // The render thread: the set-up of the entry that plays when `after`
    // ends (from its start, as a listed entry), or nothing.
    std::optional<RunSetup> Following(const std::string& after) {
        std::lock_guard lock(planMutex_);
        const int at = FollowingIndex(plan_.entries, after, plan_.autoRepeat);
        if (at < 0) return std::nullopt;
        RunSetup setup = plan_.setup;
        setup.file = plan_.entries[static_cast<std::size_t>(at)];
        setup.position = 0;
        setup.listed = true;
        return setup;
    }

    // Blocks until the code is not 0 or a stop is requested (both are set
    // under the lock and notified, so neither is slept through).
    void WaitForCommand() {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return code_.load() != 0 || stop_.load(); });
    }

private:
    std::atomic<std::int32_t> code_{0};
    std::atomic<bool> stop_{false};
    std::atomic<std::uint32_t> takenSerial_{0};
    std::atomic<std::uint32_t> wakes_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    CommandRequest pending_;        // guarded by mutex_
    std::uint32_t lastSerial_ = 0;  // guarded by mutex_
    std::mutex planMutex_;
    FollowPlan plan_;  // guarded by planMutex_
};

}  // namespace sonivel
