// The sound device on a PulseAudio server (also PipeWire's pipewire-pulse),
// through libpulse's asynchronous API on one threaded main loop.
//
// The stream is in the output format (the server converts, the client never
// resamples), starts corked and keeps about a quarter of a second in the
// server, so the server and this client wake a few times a second. A Stop,
// a seek or a reset corks the stream and flushes it: the sink falls silent at
// once. The blocks the render thread queues stay here and are handed to the
// server as it asks for them; a block is done, and the position passes it,
// when the stream's own clock (its read index less the sink's latency) says
// its last byte has been played, so the end of a track is heard in full.
//
// The connection is made at the first Open and kept, costing nothing while
// the stream is closed; a server that goes away ends the stream (every block
// done, Write refused) and the next Open connects afresh.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "device.h"

namespace sonivel {

class PulseDevice final : public SoundDevice {
public:
    PulseDevice();
    ~PulseDevice() override;
    PulseDevice(const PulseDevice&) = delete;
    PulseDevice& operator=(const PulseDevice&) = delete;

    // Whether a server answers within `ms`, connecting if not yet connected.
    bool Connect(int ms);

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
    void EndOfSound() override;
    void NameStream(const std::string& title) override;

    struct State;

private:
    std::unique_ptr<State> s_;
};

}  // namespace sonivel
