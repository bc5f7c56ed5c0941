// Test doubles for the render thread: a virtual clock with scheduled
// actions, a sound device that plays on that clock and records every call and
// every queued byte, and a host that records what the thread asked of the
// windows.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "clock.h"
#include "command.h"
#include "device.h"
#include "host.h"

namespace sonivel::test {

// Open file descriptors of this process: a leaked file shows as one more.
int OpenDescriptors();

class FakeClock final : public Clock {
public:
    std::uint32_t now = 1000;

    // Runs `action` once the virtual time reaches `time`.
    void At(std::uint32_t time, std::function<void()> action) { timed_.emplace(time, std::move(action)); }
    // Runs the actions one by one, each when the thread next goes idle. When
    // none is left, the next idle wait requests the stop that ends the test.
    void WhenIdle(std::function<void()> action) { idle_.push_back(std::move(action)); }

    std::uint32_t TickCount() override { return now; }
    void Sleep(std::uint32_t ms) override;
    void WaitForWake(CommandChannel& channel, std::uint32_t seen, std::uint32_t maxMs) override;
    void WaitForCommand(CommandChannel& channel) override;

    int idleWaits = 0;

private:
    void RunDue();
    std::multimap<std::uint32_t, std::function<void()>> timed_;
    std::deque<std::function<void()>> idle_;
};

class FakeDevice final : public SoundDevice {
public:
    explicit FakeDevice(FakeClock& clock) : clock_(clock) {}

    struct Queued {
        std::uint32_t time;  // when it was queued
        double start, end;   // when it plays, in virtual milliseconds
        std::vector<std::uint8_t> bytes;
        const WaveHeader* header;
    };

    // Failure injection.
    bool capsOk = true;
    WaveOutCaps caps;
    bool openOk = true;
    int failPrepareOn = 0;  // 1 or 2: that preparation fails
    bool stall = false;     // queued headers never finish

    std::vector<std::string> calls;
    std::vector<Queued> queued;   // every header queued, across runs
    std::vector<WAVEFORMATEX> opened;
    bool isOpen = false;
    int overwrittenWhilePlaying = 0;
    int positionLooks = 0;  // calls of GetPosition

    // Clears the injected failures and what was recorded; only while closed.
    void Heal() {
        openOk = true;
        failPrepareOn = 0;
        stall = false;
        queued.clear();
        calls.clear();
        runStart_ = 0;
    }
    // Every byte queued since the test began, in order.
    std::vector<std::uint8_t> AllQueuedBytes() const;

    bool GetCaps(WaveOutCaps& c) override;
    bool Open(const WAVEFORMATEX& format) override;
    bool Prepare(WaveHeader& header) override;
    bool Unprepare(WaveHeader& header) override;
    bool Write(WaveHeader& header) override;
    bool IsDone(const WaveHeader& header) override;
    void SetDoneSignal(std::function<void()> signal) override { signal_ = std::move(signal); }
    bool GetPosition(std::uint32_t& bytes) override;
    bool Reset() override;
    bool Close() override;

private:
    void CheckBuffersUntouched();
    FakeClock& clock_;
    std::function<void()> signal_;
    WAVEFORMATEX format_{};
    std::size_t runStart_ = 0;  // index into queued of this opening's first header
    int prepares_ = 0;
};

class TestHost final : public Host {
public:
    std::string currentFile;
    std::string saveTarget;
    OutputChoice choice;
    bool playOnSave = false;
    int seekPosition = 0;
    bool answerYes = true;
    std::vector<std::string> playlist;
    bool autoRepeat = false;
    bool listed = false;  // the current file is a list's entry (RunSetup::listed)

    std::function<void(int)> onBar;   // called for every seek-bar move
    std::function<void(const std::string&)> onEvent;  // called for every event
    std::vector<std::string> events;  // every call that changes something
    std::vector<int> errors;
    int questions = 0;
    int positionReports = 0;
    std::vector<std::string> lastTimes;

    bool Saw(const std::string& event) const;
    std::size_t Count(const std::string& event) const;

    // The window's set-up of a run, as TMainForm's model has it now.
    RunSetup SetupNow(bool withPosition = true) const;
    // What the window does on Next or Previous: makes the entry after (or
    // before) the current one current, then gives the step, bringing it.
    CommandRequest StepCommand(bool next);

    void Post(Event event) override;
    bool AskRaiseQuality() override;
    RunSetup ReadRunSetup(bool withPosition) override {
        ++setupReads;
        return SetupNow(withPosition);
    }
    int setupReads = 0;  // calls of ReadRunSetup: the thread waited for the window
    // Where the plan of what follows a track is published: as the window
    // publishes it when its list changes, here before every event is shown
    // (the thread posts one before each look at the plan).
    CommandChannel* channel = nullptr;
    void PublishPlan();

private:
    void Record(const std::string& event);
    void Show(const event::Playing& e);
    void Show(const event::Writing& e);
    void Show(const event::Position& e);
    void Show(const event::TimeShown&) { Record("TimeLabels"); }
    void Show(const event::Failed& e);
    void Show(const event::Skipped& e);
    void Show(const event::Dropped& e);
    void Show(const event::Limited& e);
    void Show(const event::Raised& e);
    void Show(const event::Advanced& e);
    void Show(const event::RunEnded&) {}
    void Show(const event::Quit&) { Record("Quit"); }
    bool shownPlaying_ = false;  // what the Play/Stop button shows
};

}  // namespace sonivel::test
