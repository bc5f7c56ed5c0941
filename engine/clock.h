// Time as the render thread sees it: a millisecond tick count for pacing and
// the two ways it waits. Injected, so tests run on virtual time.
#pragma once

#include <cstdint>

namespace sonivel {

class CommandChannel;

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds from an arbitrary origin; wraps like a 32-bit counter.
    virtual std::uint32_t TickCount() = 0;
    // A plain pause.
    virtual void Sleep(std::uint32_t ms) = 0;
    // Between two polls of a run: returns when the channel's wake count is
    // no longer `seen` (a command, a stop request, a block done), or after
    // maxMs.
    virtual void WaitForWake(CommandChannel& channel, std::uint32_t seen, std::uint32_t maxMs) = 0;
    // Idle: returns when a command or a stop request arrives. Nothing else
    // wakes an idle thread, so it sleeps without a timeout.
    virtual void WaitForCommand(CommandChannel& channel) = 0;
};

}  // namespace sonivel
