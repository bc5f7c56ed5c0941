// The real clock: a monotonic millisecond count and real sleeps.
#pragma once

#include "clock.h"

namespace sonivel {

class SystemClock final : public Clock {
public:
    std::uint32_t TickCount() override;
    void Sleep(std::uint32_t ms) override;
    void WaitForWake(CommandChannel& channel, std::uint32_t seen, std::uint32_t maxMs) override;
    void WaitForCommand(CommandChannel& channel) override;
};

}  // namespace sonivel
