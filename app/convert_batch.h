// Converting many files: what goes where, the workers, the progress line and
// the summary.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "save.h"

namespace sonivel::convert {

struct BatchOptions {
    ConversionRun settings;  // input and output are set per file
    std::vector<std::string> inputs;  // files and folders
    std::string outputFolder;
    int jobs = 1;
    bool force = false;
    bool skipExisting = false;
    bool dryRun = false;
};

struct PlannedFile {
    std::string input;
    std::string output;
    std::uint64_t size = 0;
    std::string refusal;  // set when it is not converted (the line says why)
    bool skip = false;    // the output exists and is kept
    bool exists = false;  // refused because the output exists (the hint comes once)
};

// Every wave file under the inputs and where it goes, sorted by input within
// each argument. Folders are searched through all their subfolders for names
// ending in ".wav" in any case; the output folder itself is left out.
std::vector<PlannedFile> Plan(const BatchOptions& options);

// The single line that shows how far a run is, fitted to `columns`.
std::string ProgressText(int filesDone, int filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                         double elapsed, int columns);

// The progress line on a terminal, for one file or a batch: drawn at once,
// then at most ten times a second, fitted to the terminal's width each time,
// never going back; cleared before other lines follow it.
class ProgressLine {
public:
    double Elapsed() const;
    void Draw(int filesDone, int filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal);
    void Clear();

private:
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point drawnAt_;
    std::uint64_t bytesShown_ = 0;
    bool drawn_ = false;
};

// Converts every planned file; returns the exit status (0, 1, or 130 when
// `stop` was raised). Messages go to standard error.
int RunBatch(const BatchOptions& options, std::atomic<bool>& stop);

}  // namespace sonivel::convert
