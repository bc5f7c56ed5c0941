// The sound device a desktop program uses: the sound server's own stream
// (PulseAudio, or PipeWire's pipewire-pulse) whenever a server answers, SDL2
// otherwise (machines without a server, and SDL's dummy and disk drivers,
// which SDL_AUDIODRIVER chooses). SONIVEL_AUDIO=pulse or =sdl forces one.
// The choice is made at each opening, so a server that appears or goes away
// is found or left at the next Play; finding it waits at most a second, and
// nothing is asked of a server before the first opening.
#pragma once

#include <memory>

#include "device.h"

namespace sonivel {

class AutoDevice final : public SoundDevice {
public:
    AutoDevice();
    ~AutoDevice() override;

    bool GetCaps(WaveOutCaps& caps) override;
    bool Open(const WAVEFORMATEX& format) override;
    bool Prepare(WaveHeader& header) override { return current_->Prepare(header); }
    bool Unprepare(WaveHeader& header) override { return current_->Unprepare(header); }
    bool Write(WaveHeader& header) override { return current_->Write(header); }
    bool IsDone(const WaveHeader& header) override { return current_->IsDone(header); }
    void SetDoneSignal(std::function<void()> signal) override;
    bool GetPosition(std::uint32_t& bytes) override { return current_->GetPosition(bytes); }
    bool Reset() override { return current_->Reset(); }
    bool Close() override { return current_->Close(); }
    void EndOfSound() override { current_->EndOfSound(); }
    void NameStream(const std::string& title) override;

    // Which output the last opening took: "pulse" or "sdl".
    const char* Chosen() const;

private:
    enum class Want { Either, Pulse, Sdl };
    Want want_;
    std::unique_ptr<SoundDevice> sdl_;
    std::unique_ptr<SoundDevice> pulse_;  // null in a build without libpulse
    SoundDevice* current_;
};

}  // namespace sonivel
