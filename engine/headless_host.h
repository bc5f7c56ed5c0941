// The host of a render thread that has no windows: the command-line
// converter's. What the thread asks comes from the run's snapshot
// (ConversionRun); the messages go to a stream; the progress of a save goes
// to a callback; the end of the run is the thread's RunEnded.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "host.h"
#include "position.h"
#include "save.h"

namespace sonivel {

class HeadlessHost final : public Host {
public:
    HeadlessHost(ConversionRun run, std::ostream& messages,
                 std::function<void(int position, int max)> progress = {});

    // Blocks until the thread has ended what it was asked (a save, or a
    // load that failed): the thread says so (RunEnded).
    void WaitForRunEnd();
    // The same, for at most `ms` milliseconds; true when the run has ended.
    bool WaitForRunEndFor(int ms);
    // True when any message was shown (the run failed or was refused).
    bool Failed() const;
    // The texts shown, in order.
    std::vector<int> Messages() const;

    std::string CurrentFileName() override { return run_.input; }
    std::string SaveTargetName() override { return run_.output; }
    OutputChoice ReadOutputChoice() override;
    bool PlayOnSaveChecked() override { return false; }
    void RaiseOutputChoice(const QualityShortfall& shortfall) override;
    void ApplyDeviceLimits(const DeviceLimits&) override {}
    int SeekBarPosition() override { return run_.startPosition; }
    int SeekBarMax() override { return kSeekBarMax; }
    void SetSeekBarPosition(int position) override;
    void ShowTime(double) override {}
    void ShowTimeLabels() override {}
    void SetWritingLabelVisible(bool) override {}
    void SetPlaying(bool) override {}
    void RunEnded() override;
    void ShowError(int textId) override;
    bool AskRaiseQuality() override;
    void StepTrack(bool, const std::string&) override {}
    bool AdvanceAfterTrack() override { return false; }
    std::string PeekNextTrack(const std::string&) override { return {}; }
    bool AdvanceToTrack(const std::string&) override { return false; }
    void DropUnopenableFile(const std::string&) override {}
    // Without a playlist nothing is gone past; a refusal is said as any.
    void SkipTrack(const std::string&, int textId) override { ShowError(textId); }
    void QuitProgram() override;

private:
    void Print(int textId);

    ConversionRun run_;
    std::ostream& messages_;
    std::function<void(int, int)> progress_;
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool runEnded_ = false;
    bool failed_ = false;
    std::vector<int> shown_;
};

}  // namespace sonivel
