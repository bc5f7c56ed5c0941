#include "real_clock_device.h"

#include <algorithm>

namespace sonivel::test {

RealClockDevice::RealClockDevice() : signaller_([this] { SignalLoop(); }) {}

RealClockDevice::~RealClockDevice() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    changed_.notify_all();
    signaller_.join();
}

void RealClockDevice::SetDoneSignal(std::function<void()> signal) {
    std::lock_guard lock(mutex_);
    signal_ = std::move(signal);
}

void RealClockDevice::SignalLoop() {
    std::unique_lock lock(mutex_);
    while (!quit_) {
        if (alarms_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const double due = *alarms_.begin();
        const double now = Now();
        if (now < due) {
            changed_.wait_for(lock, std::chrono::duration<double, std::milli>(due - now));
            continue;
        }
        alarms_.erase(alarms_.begin());
        const std::function<void()> signal = signal_;
        lock.unlock();
        if (signal) signal();
        lock.lock();
    }
}

double RealClockDevice::Now() const {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - origin_).count();
}

std::vector<RealClockDevice::Block> RealClockDevice::Blocks() const {
    std::lock_guard lock(mutex_);
    return blocks_;
}

int RealClockDevice::Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
}

bool RealClockDevice::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

int RealClockDevice::LatestRunHead(std::vector<std::uint8_t>& head) const {
    std::lock_guard lock(mutex_);
    head = runHead_;
    return headRun_;
}

bool RealClockDevice::GetCaps(WaveOutCaps& caps) {
    caps = WaveOutCaps{};
    return true;
}

bool RealClockDevice::Open(const WAVEFORMATEX& format) {
    std::lock_guard lock(mutex_);
    format_ = format;
    open_ = true;
    ++opens_;
    runFirst_ = blocks_.size();
    lastEnd_ = Now();
    ends_.clear();
    return true;
}

bool RealClockDevice::Write(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    if (!open_ || format_.nAvgBytesPerSec == 0) return false;
    Block b;
    b.queued = Now();
    b.start = std::max(b.queued, lastEnd_);
    b.end = b.start + header.length * 1000.0 / format_.nAvgBytesPerSec;
    b.firstOfRun = blocks_.size() == runFirst_;
    b.head.assign(header.data, header.data + std::min<std::uint32_t>(header.length, 64));
    if (b.firstOfRun) {
        runHead_ = b.head;
        headRun_ = opens_;
    }
    lastEnd_ = b.end;
    ends_[&header] = b.end;
    alarms_.insert(b.end);
    changed_.notify_all();
    blocks_.push_back(std::move(b));
    return true;
}

bool RealClockDevice::IsDone(const WaveHeader& header) {
    std::lock_guard lock(mutex_);
    const auto it = ends_.find(&header);
    return it == ends_.end() || Now() >= it->second;
}

bool RealClockDevice::GetPosition(std::uint32_t& bytes) {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
    const double now = Now();
    double played = 0;
    for (std::size_t i = runFirst_; i < blocks_.size(); ++i) {
        const Block& b = blocks_[i];
        played += (std::clamp(now, b.start, b.end) - b.start) * format_.nAvgBytesPerSec / 1000.0;
    }
    // In steps of 100 bytes, like the real device (every frame size divides 100).
    bytes = static_cast<std::uint32_t>(played);
    bytes -= bytes % 100;
    return true;
}

bool RealClockDevice::Reset() {
    std::lock_guard lock(mutex_);
    ends_.clear();
    lastEnd_ = Now();
    return true;
}

bool RealClockDevice::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    ends_.clear();
    return true;
}

}  // namespace sonivel::test
