// Runs a shell command as a person would type it and collects what it said.
#pragma once

#include <string>

namespace sonivel::test {

struct ShellResult {
    int status = -1;     // the exit status; -1 when it did not exit normally
    std::string output;  // standard output and standard error together
};

ShellResult Shell(const std::string& command);
// `text` quoted for the shell, whatever characters it holds.
std::string ShellQuote(const std::string& text);
// Whether the converter's summary lists `file` (or a name ending in it) as
// not converted under a reason that starts with `why`: the summary's group
// line "N files: why", then the names under it.
bool NotConverted(const std::string& output, const std::string& file, const std::string& why);

}  // namespace sonivel::test
