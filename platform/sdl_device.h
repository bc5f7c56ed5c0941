// The sound device on SDL2's audio subsystem (PipeWire, PulseAudio, ALSA on
// Linux; WASAPI on Windows). SDL_AUDIODRIVER=dummy plays silently in real
// time; SDL_AUDIODRIVER=disk writes exactly what was played to a file.
// A header is done, and the position passes it, only once it has been
// played (platform/playout.h), so the end of a track is heard in full
// before the run closes the device; a reset still stops at once.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "device.h"
#include "playout.h"

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

    struct Queued {
        const WaveHeader* header;
        const std::uint8_t* data;
        std::uint32_t length;
        std::uint32_t consumed;
    };

    bool initialised_ = false;
    std::uint32_t deviceId_ = 0;
    WAVEFORMATEX format_{};
    std::uint8_t silence_ = 0;
    // SDL has no 24-bit or 64-bit float samples: those are handed to it as
    // 32-bit integers (the 24 bits on top, exactly) and 32-bit floats.
    enum class Repack { None, Int24To32, Float64To32 };
    Repack repack_ = Repack::None;

    std::mutex mutex_;  // guards everything below, shared with Fill
    std::function<void()> doneSignal_;
    std::deque<Queued> queue_;
    PlayoutCount playout_;
    std::int64_t lastFillNanos_ = 0;
    bool filledOnce_ = false;
    std::uint32_t lastReported_ = 0;
};

}  // namespace sonivel
