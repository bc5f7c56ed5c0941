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
    // The pause between two polls of a run.
    virtual void Sleep(std::uint32_t ms) = 0;
    // Idle: returns when a command or a stop request arrives, or after maxMs.
    virtual void WaitForCommand(CommandChannel& channel, std::uint32_t maxMs) = 0;
};

}  // namespace sonivel
