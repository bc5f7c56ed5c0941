#include "sdl_device.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace sonivel {
namespace {

std::int64_t NowNanos() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

void SDLCALL FillCallback(void* self, Uint8* stream, int length) {
    static_cast<SdlDevice*>(self)->Fill(stream, length);
}

// The SDL sample format for a wave format; 0 when SDL cannot take it.
SDL_AudioFormat SdlFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return f.wBitsPerSample == 32 || f.wBitsPerSample == 64 ? AUDIO_F32LSB : 0;
    if (f.wFormatTag != WAVE_FORMAT_PCM) return 0;
    switch (f.wBitsPerSample) {
        case 8: return AUDIO_U8;
        case 16: return AUDIO_S16LSB;
        case 24:
        case 32: return AUDIO_S32LSB;
        default: return 0;
    }
}

// Copies `samples` samples from `src` (in `repack`'s source width) to `dst`
// as SDL takes them.
template <class Repack>
void RepackSamples(Repack repack, const std::uint8_t* src, std::uint8_t* dst, std::uint32_t samples) {
    for (std::uint32_t i = 0; i < samples; ++i) {
        if (repack == Repack::Int24To32) {
            dst[4 * i] = 0;
            std::memcpy(dst + 4 * i + 1, src + 3 * i, 3);
        } else {
            double d;
            std::memcpy(&d, src + 8 * i, 8);
            const auto f = static_cast<float>(d);
            std::memcpy(dst + 4 * i, &f, 4);
        }
    }
}

}  // namespace

SdlDevice::SdlDevice() = default;

SdlDevice::~SdlDevice() {
    Close();
    if (initialised_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        // SDL keeps some state until its last subsystem is gone.
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
    }
}

bool SdlDevice::InitAudio() {
    if (!initialised_) initialised_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return initialised_;
}

bool SdlDevice::GetCaps(WaveOutCaps& caps) {
    if (!InitAudio()) return false;
    // SDL converts whatever it is given to what the hardware takes, so every
    // format of the program can be played once a driver runs.
    caps.wChannels = 2;
    caps.dwFormats = WAVE_FORMAT_ALL;
    return true;
}

bool SdlDevice::Open(const WAVEFORMATEX& format) {
    if (deviceId_ != 0 || !InitAudio()) return false;
    const SDL_AudioFormat sdlFormat = SdlFormat(format);
    if (sdlFormat == 0 || (format.nChannels != 1 && format.nChannels != 2) || format.nSamplesPerSec == 0)
        return false;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.nSamplesPerSec);
    want.format = sdlFormat;
    want.channels = static_cast<Uint8>(format.nChannels);
    // About 46 ms per callback. SDL asks the sound server to hold one
    // callback's worth, and it cannot flush the server: a Stop goes silent
    // only once that is played, about half a callback later (measured
    // through PulseAudio: 35-42 ms here, 55-68 ms at 93 ms, 21 ms at 23 ms).
    // Each halving of the size roughly doubles the server's wakes and its
    // CPU, so this is the largest size whose Stop stays under 50 ms.
    want.samples = format.nSamplesPerSec > 22050 ? 2048 : 1024;
    want.callback = FillCallback;
    want.userdata = this;
    SDL_AudioSpec have{};
    {
        std::lock_guard lock(mutex_);
        format_ = format;
        silence_ = format.wBitsPerSample == 8 ? 128 : 0;
        repack_ = format.wBitsPerSample == 24 ? Repack::Int24To32
                  : format.wBitsPerSample == 64 ? Repack::Float64To32
                                                : Repack::None;
        queue_.clear();
        playout_.Clear();
        filledOnce_ = false;
        lastReported_ = 0;
    }
    deviceId_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (deviceId_ == 0) return false;
    SDL_PauseAudioDevice(deviceId_, 0);
    return true;
}

bool SdlDevice::Prepare(WaveHeader& header) { return deviceId_ != 0 && header.data != nullptr; }

bool SdlDevice::Unprepare(WaveHeader& header) {
    std::lock_guard lock(mutex_);
    playout_.Forget(&header);
    return true;
}

bool SdlDevice::Write(WaveHeader& header) {
    if (deviceId_ == 0) return false;
    std::lock_guard lock(mutex_);
    queue_.push_back(Queued{&header, header.data, header.length, 0});
    playout_.Queue(&header, header.length);
    return true;
}

bool SdlDevice::IsDone(const WaveHeader& header) {
    std::lock_guard lock(mutex_);
    return playout_.IsDone(&header);
}

void SdlDevice::SetDoneSignal(std::function<void()> signal) {
    std::lock_guard lock(mutex_);
    doneSignal_ = std::move(signal);
}

void SdlDevice::Fill(std::uint8_t* stream, int length) {
    std::function<void()> signal;
    {
        std::lock_guard lock(mutex_);
        lastFillNanos_ = NowNanos();
        filledOnce_ = true;
        if (playout_.BeginFill()) signal = doneSignal_;
        auto left = static_cast<std::uint32_t>(length);
        std::uint64_t taken = 0;
        // Bytes of a queued sample and of the sample SDL gets for it.
        const std::uint32_t from = repack_ == Repack::Int24To32 ? 3 : repack_ == Repack::Float64To32 ? 8 : 1;
        const std::uint32_t to = repack_ == Repack::None ? 1 : 4;
        while (left >= to && !queue_.empty()) {
            Queued& q = queue_.front();
            const std::uint32_t samples = std::min(left / to, (q.length - q.consumed) / from);
            if (repack_ == Repack::None) std::memcpy(stream, q.data + q.consumed, samples);
            else RepackSamples(repack_, q.data + q.consumed, stream, samples);
            stream += samples * to;
            left -= samples * to;
            q.consumed += samples * from;
            taken += samples * from;
            if (q.length - q.consumed < from) queue_.pop_front();
        }
        if (left > 0) std::memset(stream, silence_, left);
        playout_.EndFill(taken);
    }
    if (signal) signal();
}

bool SdlDevice::GetPosition(std::uint32_t& bytes) {
    if (deviceId_ == 0) return false;
    std::lock_guard lock(mutex_);
    std::uint64_t position = 0;
    if (filledOnce_) {
        // Between callbacks the position moves with the clock.
        const auto elapsed = static_cast<std::uint64_t>(std::max<std::int64_t>(0, NowNanos() - lastFillNanos_));
        position = playout_.Played(elapsed * format_.nAvgBytesPerSec / 1000000000ull);
    }
    // Counted in steps of 100 bytes, which every frame size divides.
    position -= position % 100;
    const auto reported = static_cast<std::uint32_t>(position);
    lastReported_ = std::max(lastReported_, reported);
    bytes = lastReported_;
    return true;
}

bool SdlDevice::Reset() {
    if (deviceId_ == 0) return false;
    std::function<void()> signal;
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        if (playout_.ForgetAll()) signal = doneSignal_;
    }
    if (signal) signal();
    return true;
}

bool SdlDevice::Close() {
    if (deviceId_ == 0) return false;
    // Not under our lock: closing waits for a running callback, which takes it.
    SDL_CloseAudioDevice(deviceId_);
    deviceId_ = 0;
    std::lock_guard lock(mutex_);
    queue_.clear();
    playout_.ForgetAll();
    return true;
}

}  // namespace sonivel
