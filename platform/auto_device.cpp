#include "auto_device.h"

#include <cstdlib>
#include <cstring>

#include "sdl_device.h"
#ifdef SONIVEL_HAVE_PULSE
#include "pulse_device.h"
#endif

namespace sonivel {

AutoDevice::AutoDevice() : sdl_(std::make_unique<SdlDevice>()) {
    const char* forced = std::getenv("SONIVEL_AUDIO");
    const char* sdlDriver = std::getenv("SDL_AUDIODRIVER");
    if (forced && std::strcmp(forced, "pulse") == 0) want_ = Want::Pulse;
    else if ((forced && std::strcmp(forced, "sdl") == 0) || (sdlDriver && *sdlDriver)) want_ = Want::Sdl;
    else want_ = Want::Either;
#ifdef SONIVEL_HAVE_PULSE
    if (want_ != Want::Sdl) pulse_ = std::make_unique<PulseDevice>();
#endif
    if (want_ == Want::Pulse && !pulse_) want_ = Want::Sdl;
    current_ = pulse_ ? pulse_.get() : sdl_.get();
}

AutoDevice::~AutoDevice() = default;

bool AutoDevice::GetCaps(WaveOutCaps& caps) {
    // Asked at start-up: a server is not waited for here.
    if (pulse_) return pulse_->GetCaps(caps);
    return sdl_->GetCaps(caps);
}

bool AutoDevice::Open(const WAVEFORMATEX& format) {
    if (pulse_ && pulse_->Open(format)) {
        current_ = pulse_.get();
        return true;
    }
    current_ = sdl_.get();
    if (want_ == Want::Pulse) return false;
    return sdl_->Open(format);
}

void AutoDevice::SetDoneSignal(std::function<void()> signal) {
    if (pulse_) pulse_->SetDoneSignal(signal);
    sdl_->SetDoneSignal(std::move(signal));
}

void AutoDevice::NameStream(const std::string& title) {
    if (pulse_) pulse_->NameStream(title);
    sdl_->NameStream(title);
}

const char* AutoDevice::Chosen() const { return current_ == pulse_.get() && pulse_ ? "pulse" : "sdl"; }

}  // namespace sonivel
