// The command code and the stop request: the only two values the windows and
// the render thread share without going through the host. Both are atomic
// integers with plain loads and stores; the condition variable only wakes an
// idle render thread early and carries no state of its own.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace sonivel {

// Command codes written by the windows; the render thread writes only 0.
enum Command : std::int32_t {
    kCmdNone = 0,
    kCmdPlayStop = 1,
    kCmdRestart = 2,
    kCmdSave = 3,
    kCmdNextTrack = 4,
    kCmdPreviousTrack = 5,
};

class CommandChannel {
public:
    std::int32_t Load() const { return code_.load(); }
    void Store(std::int32_t code) {
        {
            std::lock_guard lock(mutex_);
            code_.store(code);
        }
        wake_.notify_all();
    }
    // Clears the code if it is still `code`; one written since stays.
    void Consume(std::int32_t code) {
        std::int32_t expected = code;
        std::lock_guard lock(mutex_);
        code_.compare_exchange_strong(expected, kCmdNone);
    }
    void RequestStop() {
        {
            std::lock_guard lock(mutex_);
            stop_.store(true);
        }
        wake_.notify_all();
    }
    bool StopRequested() const { return stop_.load(); }

    // Blocks until the code is not 0, a stop is requested, or maxMs passed.
    void WaitForCommand(std::uint32_t maxMs) {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, std::chrono::milliseconds(maxMs),
                       [this] { return code_.load() != 0 || stop_.load(); });
    }

private:
    std::atomic<std::int32_t> code_{0};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

}  // namespace sonivel
