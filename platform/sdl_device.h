// The sound device on SDL2's audio subsystem (PipeWire, PulseAudio, ALSA on
// Linux; WASAPI on Windows). SDL_AUDIODRIVER=dummy plays silently in real
// time; SDL_AUDIODRIVER=disk writes exactly what was played to a file.
//
// What is played lags what SDL's callback took by the buffers on the way
// (SDL's own and the sound server's). The device counts that lag in
// callbacks: the bytes taken `kLatencyFills` callbacks ago are playing now.
// A header is done, and the position passes it, only then, so the end of a
// track is heard in full before the run closes the device; a reset still
// stops at once.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "device.h"

namespace sonivel {

class SdlDevice final : public SoundDevice {
public:
    SdlDevice();
    ~SdlDevice() override;
    SdlDevice(const SdlDevice&) = delete;
    SdlDevice& operator=(const SdlDevice&) = delete;

    bool GetCaps(WaveOutCaps& caps) override;
    bool Open(const WAVEFORMATEX& format) override;
    bool Prepare(WaveHeader& header) override;
    bool Unprepare(WaveHeader& header) override;
    bool Write(WaveHeader& header) override;
    bool IsDone(const WaveHeader& header) override;
    void SetDoneSignal(std::function<void()> signal) override;
    bool GetPosition(std::uint32_t& bytes) override;
    bool Reset() override;
    bool Close() override;

    // Called on SDL's audio thread.
    void Fill(std::uint8_t* stream, int length);

private:
    bool InitAudio();

    static constexpr std::size_t kLatencyFills = 2;
    static_assert(kLatencyFills >= 2, "the position between callbacks needs the one after");

    struct Queued {
        const WaveHeader* header;
        const std::uint8_t* data;
        std::uint32_t length;
        std::uint32_t consumed;
    };
    // Marks done every header whose last byte has been played; true when
    // one became done.
    bool MarkPlayed(std::uint64_t played);

    bool initialised_ = false;
    std::uint32_t deviceId_ = 0;
    WAVEFORMATEX format_{};
    std::uint8_t silence_ = 0;
    std::uint32_t bufferBytes_ = 0;

    std::mutex mutex_;  // guards everything below, shared with Fill
    std::function<void()> doneSignal_;
    std::deque<Queued> queue_;
    // Queued and not done yet: the byte count at which each ends.
    std::unordered_map<const WaveHeader*, std::uint64_t> pending_;
    std::uint64_t consumed_ = 0;      // bytes handed to SDL from our queue
    std::uint64_t queuedTotal_ = 0;   // bytes ever queued since open
    // consumed_ after each of the last callbacks, the latest first.
    std::array<std::uint64_t, kLatencyFills> takenAfter_{};
    std::uint64_t playedAtFill_ = 0;  // played at the last callback
    std::uint64_t playedCap_ = 0;     // played at the next one, at the latest
    std::int64_t lastFillNanos_ = 0;
    bool filledOnce_ = false;
    std::uint32_t lastReported_ = 0;
};

}  // namespace sonivel
