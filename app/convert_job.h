// One conversion: the engine's save (SaveFile, the code a save run of the
// window writes with), and the lines that explain a refusal or a failure to a
// person.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "save.h"

namespace sonivel::convert {

struct JobResult {
    bool ok = false;
    bool stopped = false;            // `stop` was raised before the save ended
    std::vector<std::string> lines;  // what went wrong, one line each
};

// Saves `settings.input` converted to `settings.output`. `stop`, when raised,
// ends the save early; `progress` gets the position (0..1000) as it moves.
// `shownOutput` is the name a person knows the output by (a save into a
// folder writes under a temporary name first).
JobResult RunSave(const ConversionRun& settings, const std::string& shownOutput,
                  const std::atomic<bool>* stop = nullptr, const std::function<void(int)>& progress = {});

// The line for the engine's text `textId` about this conversion: the file it
// concerns, the program's own text, and the reason or the way out.
std::string Explain(int textId, const ConversionRun& settings, const std::string& shownOutput);

// The engine's verdict on an input without converting it: kTextNone when it
// would be converted with these settings, else the text that refuses it.
int Check(const ConversionRun& settings);

// What `settings.input` becomes with these settings, for a dry run:
// "44100 Hz, 16 bits, stereo", or that it is kept as it is.
std::string Becomes(const ConversionRun& settings);
// The size of a file in bytes; 0 when it cannot be told.
std::uint64_t FileSize(const std::filesystem::path& path);

// "44100 Hz, 16 bits, stereo, 0:00:02.3" for a written file; empty if
// unreadable. With its input, a file kept in its own format says so.
std::string Describe(const std::string& path, const std::string& input = {});

}  // namespace sonivel::convert
