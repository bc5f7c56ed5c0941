// How far a callback-driven sound output has really played. What SDL's
// callback takes is heard only after the buffers on the way (SDL's own and
// the sound server's); the count treats that lag as `kLatencyFills`
// callbacks: the bytes taken that many callbacks ago are playing now. A
// queued block is done only when its last byte has been played, so the end
// of a track is heard in full before the device is closed.
//
// Plain bookkeeping, no locking: the device calls it under its own lock.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_map>

namespace sonivel {

class PlayoutCount {
public:
    static constexpr std::size_t kLatencyFills = 2;
    static_assert(kLatencyFills >= 2, "the position between callbacks needs the one after");

    // Forgets everything: a new opening.
    void Clear() {
        takenAfter_.fill(0);
        pending_.clear();
        taken_ = queued_ = played_ = cap_ = 0;
    }
    // A block of `bytes` queued behind the others.
    void Queue(const void* block, std::uint64_t bytes) {
        queued_ += bytes;
        pending_[block] = queued_;
    }
    // A block no longer waited for (unprepared, or every block on a reset).
    void Forget(const void* block) { pending_.erase(block); }
    bool ForgetAll() {
        const bool any = !pending_.empty();
        pending_.clear();
        return any;
    }
    bool IsDone(const void* block) const { return pending_.find(block) == pending_.end(); }

    // At the start of a callback: what the callback `kLatencyFills` ago took
    // is now played. True when a block became done.
    bool BeginFill() {
        played_ = takenAfter_[kLatencyFills - 1];
        cap_ = takenAfter_[kLatencyFills - 2];
        bool any = false;
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (it->second <= played_) {
                it = pending_.erase(it);
                any = true;
            } else {
                ++it;
            }
        }
        return any;
    }
    // At its end: `bytes` of the queued blocks were taken by this callback.
    void EndFill(std::uint64_t bytes) {
        taken_ += bytes;
        for (std::size_t i = kLatencyFills - 1; i > 0; --i) takenAfter_[i] = takenAfter_[i - 1];
        takenAfter_[0] = taken_;
    }
    // Bytes played, `sinceFill` bytes' worth of time after the last callback
    // began; never past what the next callback will count.
    std::uint64_t Played(std::uint64_t sinceFill) const {
        const std::uint64_t p = played_ + sinceFill;
        return p < cap_ ? p : cap_;
    }

private:
    std::array<std::uint64_t, kLatencyFills> takenAfter_{};  // taken_ after recent callbacks, latest first
    std::unordered_map<const void*, std::uint64_t> pending_;  // queued, not played: where each ends
    std::uint64_t taken_ = 0;   // bytes taken by callbacks since the opening
    std::uint64_t queued_ = 0;  // bytes queued since the opening
    std::uint64_t played_ = 0;  // played when the last callback began
    std::uint64_t cap_ = 0;     // played when the next one begins
};

}  // namespace sonivel
