// A sound device that plays on the real clock, for tests of what crosses
// threads at real moments: each queued block starts when the one before it
// ends (or at once) and lasts its length at the open format's byte rate. It
// records every block: when it was queued, when it plays, and its first bytes.
// A thread of its own gives the done signal when a block's time is over.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "device.h"

namespace sonivel::test {

class RealClockDevice final : public SoundDevice {
public:
    RealClockDevice();
    ~RealClockDevice() override;
    RealClockDevice(const RealClockDevice&) = delete;
    RealClockDevice& operator=(const RealClockDevice&) = delete;

    struct Block {
        double queued = 0;         // milliseconds since the device was made
        double start = 0, end = 0; // when it plays
        bool firstOfRun = false;   // the first block after an opening
        std::vector<std::uint8_t> head;  // its first bytes
    };

    double Now() const;
    // Copies, taken under the device's lock.
    std::vector<Block> Blocks() const;
    int Opens() const;
    bool IsOpen() const;
    // The head of the first block of the latest run, and that run's number
    // (1 for the first opening); 0 when no block was queued yet.
    int LatestRunHead(std::vector<std::uint8_t>& head) const;

    bool GetCaps(WaveOutCaps& caps) override;
    bool Open(const WAVEFORMATEX& format) override;
    bool Prepare(WaveHeader&) override { return true; }
    bool Unprepare(WaveHeader&) override { return true; }
    bool Write(WaveHeader& header) override;
    bool IsDone(const WaveHeader& header) override;
    void SetDoneSignal(std::function<void()> signal) override;
    bool GetPosition(std::uint32_t& bytes) override;
    bool Reset() override;
    bool Close() override;

private:
    const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
    mutable std::mutex mutex_;
    WAVEFORMATEX format_{};
    bool open_ = false;
    int opens_ = 0;
    std::size_t runFirst_ = 0;  // index of the current run's first block
    double lastEnd_ = 0;
    std::map<const WaveHeader*, double> ends_;
    std::vector<Block> blocks_;
    int headRun_ = 0;
    std::vector<std::uint8_t> runHead_;
    // The signalling thread: block ends still to signal.
    void SignalLoop();
    std::function<void()> signal_;
    std::multiset<double> alarms_;
    bool quit_ = false;
    std::condition_variable changed_;
    std::thread signaller_;
};

}  // namespace sonivel::test
