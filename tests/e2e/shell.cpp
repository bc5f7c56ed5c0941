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

bool NotConverted(const std::string& output, const std::string& file, const std::string& why) {
    std::string reason;
    std::size_t at = 0;
    while (at < output.size()) {
        std::size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        const std::string line = output.substr(at, end - at);
        at = end + 1;
        if (line.rfind("    ", 0) == 0) {
            const std::string name = line.substr(4);
            if (name.size() >= file.size() && name.compare(name.size() - file.size(), file.size(), file) == 0 &&
                reason.rfind(why, 0) == 0)
                return true;
        } else if (line.rfind("  ", 0) == 0) {
            const std::size_t colon = line.find(": ");
            reason = colon == std::string::npos ? std::string() : line.substr(colon + 2);
        } else {
            reason.clear();
        }
    }
    return false;
}

}  // namespace sonivel::test
