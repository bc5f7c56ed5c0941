// The mappings between the device position, the seek bar, the time text and
// file offsets.
#pragma once

#include <cstdint>
#include <string>

namespace sonivel {

constexpr int kSeekBarMax = 1000;

// The time text H:MM:SS.T for `seconds`: tenths truncated, hours without
// leading zeros. Negative input reads as 0.
std::string FormatTime(double seconds);

// Where the device's byte count puts the seek bar and the time text.
struct PositionReport {
    std::int64_t fileOffset = 0;  // the input byte now playing
    int barPosition = 0;          // 0..max
    double seconds = 0;
};

PositionReport MapDevicePosition(std::uint32_t playedBytes, std::int32_t expansionFactor,
                                 std::int32_t startOffset, std::int32_t dataBytes,
                                 std::uint32_t avgBytesPerSec, int max = kSeekBarMax,
                                 std::int32_t expansionDivisor = 1);

// The seek bar's position for a file offset (progress of a silent save).
int BarPositionForOffset(std::int64_t fileOffset, std::int32_t dataBytes, int max = kSeekBarMax);

// The time a seek-bar position stands for, counted from the start of the data.
double SecondsAtBar(int position, int max, std::uint32_t dataBytes, std::uint32_t avgBytesPerSec);

// What the window last showed of a playing run's position, so that a report
// that would show the same (the same bar value and the same tenth of a
// second, for the same latest command) is not handed to the window at all:
// each one handed over wakes the windows' thread.
class ShownPosition {
public:
    // True when the report differs from the last one handed over, which it
    // then becomes.
    bool Changed(int barPosition, const std::string& timeText, std::uint32_t serial) {
        if (known_ && barPosition == bar_ && serial == serial_ && timeText == text_) return false;
        known_ = true;
        bar_ = barPosition;
        serial_ = serial;
        text_ = timeText;
        return true;
    }
    // The window may show something else now: the next report is handed over.
    void Forget() { known_ = false; }

private:
    bool known_ = false;
    int bar_ = 0;
    std::uint32_t serial_ = 0;
    std::string text_;
};

// Where a run starts for a seek-bar position. The start is always on a whole
// frame of the data, and Remaining (the input bytes from there to the end of
// the data) is a whole number of frames, so no output ever ends in a partial
// frame.
struct SeekPlan {
    std::int32_t offset = 0;       // bytes into the data
    std::int32_t StartOffset = 0;  // file offset of the run's first input byte
    std::int32_t Remaining = 0;    // may be negative: nothing to play
};

SeekPlan PlanSeek(int position, int max, std::int32_t dataBytes, std::int32_t dataStart,
                  std::uint16_t blockAlign);

}  // namespace sonivel
