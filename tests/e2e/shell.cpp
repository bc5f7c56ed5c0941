#include "e2e/shell.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace sonivel::test {

ShellResult Shell(const std::string& command) {
    ShellResult r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    std::array<char, 4096> buf{};
    while (fgets(buf.data(), buf.size(), p)) r.output += buf.data();
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace sonivel::test
