// The host of a render thread that has no windows: the command-line
// converter's. Menu state, seek position and answers are plain values; the
// messages go to a stream; the progress of a save goes to a callback.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "host.h"
#include "position.h"

namespace sonivel {

class HeadlessHost final : public Host {
public:
    struct Settings {
        std::string input;
        std::string output;
        OutputChoice choice;
        int seekPosition = 0;  // 0..1000
        bool raiseQuality = false;  // the answer to the quality question
    };

    HeadlessHost(Settings settings, std::ostream& messages,
                 std::function<void(int position, int max)> progress = {});

    // Blocks until the run that was started has ended (or failed to start).
    void WaitForRunEnd();
    // The same, for at most `ms` milliseconds; true when the run has ended.
    bool WaitForRunEndFor(int ms);
    // True when any message was shown (the run failed or was refused).
    bool Failed() const;
    // The texts shown, in order.
    std::vector<int> Messages() const;

    std::string CurrentFileName() override { return settings_.input; }
    std::string SaveTargetName() override { return settings_.output; }
    OutputChoice ReadOutputChoice() override;
    bool PlayOnSaveChecked() override { return false; }
    void RaiseOutputChoice(const QualityShortfall& shortfall) override;
    void ApplyDeviceLimits(const DeviceLimits&) override {}
    int SeekBarPosition() override { return settings_.seekPosition; }
    int SeekBarMax() override { return kSeekBarMax; }
    void SetSeekBarPosition(int position) override;
    void ShowTime(double) override {}
    void ShowTimeLabels() override {}
    void SetWritingLabelVisible(bool) override {}
    void SetPlaying(bool playing) override;
    void ShowError(int textId) override;
    bool AskRaiseQuality() override;
    void StepTrack(bool, const std::string&) override {}
    bool AdvanceAfterTrack() override { return false; }
    std::string PeekNextTrack() override { return {}; }
    bool AdvanceToTrack(const std::string&) override { return false; }
    void DropUnopenableFile(const std::string&) override {}
    void QuitProgram() override;

private:
    void Print(int textId);

    Settings settings_;
    std::ostream& messages_;
    std::function<void(int, int)> progress_;
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool runEnded_ = false;
    bool failed_ = false;
    std::vector<int> shown_;
};

}  // namespace sonivel
