#include "console.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <csignal>

namespace sonivel::convert {
namespace {

std::atomic<bool>* g_stop = nullptr;

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
    if (g_stop) g_stop->store(true);
    return TRUE;
}
#else
extern "C" void OnSignal(int) {
    if (g_stop) g_stop->store(true);
}
#endif

}  // namespace

#ifdef _WIN32

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

int TerminalColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

int ProcessId() { return _getpid(); }

bool CanRead(const std::filesystem::path& file) { return _waccess(file.c_str(), 4) == 0; }

bool CanWriteIn(const std::filesystem::path& folder) { return _waccess(folder.c_str(), 2) == 0; }

void StopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }

#else

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

int ProcessId() { return static_cast<int>(::getpid()); }

bool CanRead(const std::filesystem::path& file) { return ::access(file.c_str(), R_OK) == 0; }

bool CanWriteIn(const std::filesystem::path& folder) { return ::access(folder.c_str(), W_OK) == 0; }

void StopOnInterrupt(std::atomic<bool>& stop) {
    g_stop = &stop;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void PrepareConsole() {}

#endif

}  // namespace sonivel::convert
