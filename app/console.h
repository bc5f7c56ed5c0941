// What the converter needs from the system around it, on Linux and Windows
// alike: the terminal, the process, access checks and an interrupt.
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

namespace sonivel::convert {

bool StandardErrorIsTerminal();
// The terminal's width in columns (80 when it cannot be told).
int TerminalColumns();
int ProcessId();
bool CanRead(const std::filesystem::path& file);
bool CanWriteIn(const std::filesystem::path& folder);
// Ctrl+C (and SIGTERM where there is one) raise `stop` instead of ending the
// process.
void StopOnInterrupt(std::atomic<bool>& stop);
// Lets UTF-8 text reach the console as it is (Windows' console takes the
// ANSI code page otherwise).
void PrepareConsole();

}  // namespace sonivel::convert
