#include "system_clock.h"

#include <chrono>
#include <thread>

#include "command.h"

namespace sonivel {

std::uint32_t SystemClock::TickCount() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::Sleep(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void SystemClock::WaitForWake(CommandChannel& channel, std::uint32_t seen, std::uint32_t maxMs) {
    channel.WaitForWake(seen, maxMs);
}

void SystemClock::WaitForCommand(CommandChannel& channel) {
    channel.WaitForCommand();
}

}  // namespace sonivel
