// The sound device as the render thread sees it: the wave-out calls and
// nothing more. Implementations: SDL2 in platform/, fakes in the tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "wavefmt.h"

namespace sonivel {

// Format bits of the capability query: rate (1 = 11025, 2 = 22050,
// 4 = 44100 Hz), mono or stereo, 8 or 16 bits.
enum : std::uint32_t {
    WAVE_FORMAT_1M08 = 0x001, WAVE_FORMAT_1S08 = 0x002, WAVE_FORMAT_1M16 = 0x004,
    WAVE_FORMAT_1S16 = 0x008, WAVE_FORMAT_2M08 = 0x010, WAVE_FORMAT_2S08 = 0x020,
    WAVE_FORMAT_2M16 = 0x040, WAVE_FORMAT_2S16 = 0x080, WAVE_FORMAT_4M08 = 0x100,
    WAVE_FORMAT_4S08 = 0x200, WAVE_FORMAT_4M16 = 0x400, WAVE_FORMAT_4S16 = 0x800,
    WAVE_FORMAT_ALL = 0xFFF,
};

struct WaveOutCaps {
    std::uint16_t wChannels = 2;
    std::uint32_t dwFormats = WAVE_FORMAT_ALL;
};

// A buffer handed to the device. The device owns the done state of a queued
// header (it may change on the device's own thread), so it is asked for it
// through IsDone rather than read from here.
struct WaveHeader {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    bool prepared = false;
};

class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    // Capabilities of the default output; false when no device can be found.
    virtual bool GetCaps(WaveOutCaps& caps) = 0;
    // Opens the default output for exactly this format; false if it cannot play it.
    virtual bool Open(const WAVEFORMATEX& format) = 0;
    virtual bool Prepare(WaveHeader& header) = 0;
    virtual bool Unprepare(WaveHeader& header) = 0;
    // Queues a prepared header behind those already queued.
    virtual bool Write(WaveHeader& header) = 0;
    // True once every byte of a queued header has been played (and for a
    // header that was never queued since the device was opened or reset).
    virtual bool IsDone(const WaveHeader& header) = 0;
    // `signal` is called, on any thread, whenever a queued header becomes
    // done, so the render thread need not keep asking. Set before Open.
    virtual void SetDoneSignal(std::function<void()> signal) = 0;
    // Output bytes played since the device was opened, moving smoothly.
    virtual bool GetPosition(std::uint32_t& bytes) = 0;
    // Stops at once and marks every queued header done.
    virtual bool Reset() = 0;
    virtual bool Close() = 0;
    // No block follows those queued: the sound ends with them. A device
    // that plays in whole periods makes sure the last part of one is heard.
    virtual void EndOfSound() {}
    // What is playing, for a sound server's list of streams (the track's
    // file name); devices without such a list ignore it.
    virtual void NameStream(const std::string& title) { (void)title; }
};

}  // namespace sonivel
