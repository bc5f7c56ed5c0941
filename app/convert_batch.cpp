#include "convert_batch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "console.h"
#include "convert_job.h"
#include "convert_texts.h"
#include "fileio.h"
#include "position.h"
#include "texts.h"

namespace sonivel::convert {
namespace {

namespace fs = std::filesystem;

bool IsWaveName(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".wav";
}

// Characters on screen, for UTF-8 text.
int Width(const std::string& text) {
    int n = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string Megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / 1e6);
    return text;
}

// The name shown for a temporary output: hidden, beside the final one, and
// never ending in ".wav", so a later run over the folder does not take it.
fs::path TemporaryName(const fs::path& output, std::size_t index) {
    return output.parent_path() / ("." + output.filename().string() + ".sonivel-" +
                                   std::to_string(ProcessId()) + "-" + std::to_string(index) + ".part");
}

}  // namespace

std::vector<PlannedFile> Plan(const BatchOptions& options) {
    std::vector<PlannedFile> planned;
    const fs::path outFolder = PathFromUtf8(options.outputFolder);
    std::error_code ec;
    const fs::path outCanonical = fs::weakly_canonical(outFolder, ec);
    for (const std::string& input : options.inputs) {
        const fs::path in = PathFromUtf8(input);
        if (!fs::is_directory(in, ec)) {
            PlannedFile file;
            file.input = input;
            file.output = Utf8FromPath(outFolder / in.filename());
            file.size = FileSize(in);
            planned.push_back(file);
            continue;
        }
        std::vector<PlannedFile> found;
        fs::recursive_directory_iterator it(in, fs::directory_options::skip_permission_denied, ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::directory_entry& entry = *it;
            std::error_code e;
            if (entry.is_directory(e)) {
                if (fs::weakly_canonical(entry.path(), e) == outCanonical) it.disable_recursion_pending();
                continue;
            }
            if (!entry.is_regular_file(e) || !IsWaveName(entry.path())) continue;
            PlannedFile file;
            file.input = Utf8FromPath(entry.path());
            file.output = Utf8FromPath(outFolder / entry.path().lexically_relative(in));
            file.size = FileSize(entry.path());
            found.push_back(file);
        }
        if (found.empty()) std::cerr << Format(kNoWaveFound, {input}) << "\n";
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.input < b.input; });
        planned.insert(planned.end(), found.begin(), found.end());
    }
    std::set<std::string> targets;
    for (PlannedFile& file : planned) {
        const std::string key = Utf8FromPath(fs::weakly_canonical(PathFromUtf8(file.output), ec));
        if (!targets.insert(key).second) {
            file.refusal = file.input + ": " + std::string(Said(kSameTarget)) + " (" + file.output + ")";
            continue;
        }
        if (!fs::exists(PathFromUtf8(file.output), ec)) continue;
        if (SameFile(file.input, file.output)) {
            ConversionRun s = options.settings;
            s.input = file.input;
            file.refusal = Explain(kTextOverwriteOpenFile, s, file.output);
        } else if (options.skipExisting) {
            file.skip = true;
        } else if (!options.force) {
            file.refusal = file.output + ": " + std::string(Said(kExists));
            file.exists = true;
        }
    }
    return planned;
}

std::string ProgressText(int filesDone, int filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal,
                         double elapsed, int columns) {
    const double fraction = bytesTotal > 0 ? static_cast<double>(bytesDone) / static_cast<double>(bytesTotal)
                            : filesTotal > 0 ? static_cast<double>(filesDone) / filesTotal
                                             : 1.0;
    const int percent = std::clamp(static_cast<int>(fraction * 100), 0, 100);
    const auto percentText = [](int p) {
        char text[8];
        std::snprintf(text, sizeof text, "%3d%%", p);
        return std::string(text);
    };
    // Counts so far are right-aligned under their totals' width.
    const auto aligned = [](const std::string& now, const std::string& total) {
        return std::string(static_cast<std::size_t>(std::max(Width(total) - Width(now), 0)), ' ') + now;
    };
    // The percentage stands after the data it counts.
    const auto bytesText = [&](std::uint64_t done, int p) {
        return aligned(Megabytes(done), Megabytes(bytesTotal)) + "/" + Megabytes(bytesTotal) + " MB " + percentText(p);
    };
    const std::string files =
        Format(kProgressFiles, {aligned(std::to_string(filesDone), std::to_string(filesTotal)), std::to_string(filesTotal)});
    const std::string bytes = bytesText(bytesDone, percent);
    const std::string time = FormatTime(elapsed);
    const std::string estimate =
        fraction > 0 && fraction < 1 ? Format(kEstimate, {FormatTime(elapsed * (1 - fraction) / fraction)}) : "";
    // Each part as wide as it can get in this run (the counts at their
    // totals, times under ten hours): the layout a width allows is then the
    // same for every frame, and a part never moves.
    const int widths[] = {Width(Format(kProgressFiles, {std::to_string(filesTotal), std::to_string(filesTotal)})),
                          Width(bytesText(bytesTotal, 100)), Width(FormatTime(35999.9)),
                          Width(Format(kEstimate, {FormatTime(35999.9)}))};
    const std::string parts[] = {files, bytes, time, estimate};
    // The layouts, best first: all four, then without the estimate, the
    // time, the file count; each with the bar where there is room for it.
    const std::vector<std::vector<int>> layouts = {{0, 1, 2, 3}, {0, 1, 2}, {0, 1}, {1}};
    const int room = std::max(columns - 1, 1);
    for (const std::vector<int>& layout : layouts) {
        int width = 0;
        for (int i : layout) width += widths[i] + (width ? 2 : 0);
        if (width > room) continue;
        std::string line;
        for (int i : layout) {
            if (!line.empty()) line += "  ";
            line += parts[i] + std::string(static_cast<std::size_t>(std::max(widths[i] - Width(parts[i]), 0)), ' ');
        }
        const int left = room - width - 3;
        if (left >= 10) {
            const int barWidth = std::min(left, 40);
            const int filled = static_cast<int>(fraction * barWidth);
            line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                   std::string(static_cast<std::size_t>(barWidth - filled), '.') + "] " + line;
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        return line;
    }
    return percentText(percent).substr(0, static_cast<std::size_t>(room));
}

double ProgressLine::Elapsed() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void ProgressLine::Draw(int filesDone, int filesTotal, std::uint64_t bytesDone, std::uint64_t bytesTotal) {
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - drawnAt_ < std::chrono::milliseconds(100)) return;
    bytesShown_ = std::max(bytesShown_, std::min(bytesDone, bytesTotal));
    std::cerr << "\r" << ProgressText(filesDone, filesTotal, bytesShown_, bytesTotal, Elapsed(), TerminalColumns())
              << "\x1b[K" << std::flush;
    drawn_ = true;
    drawnAt_ = now;
}

void ProgressLine::Clear() {
    if (drawn_) std::cerr << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

int RunBatch(const BatchOptions& options, std::atomic<bool>& stop) {
    ProgressLine progress;
    std::vector<PlannedFile> files = Plan(options);
    std::vector<std::string> notConverted;
    int skipped = 0;
    bool interrupted = false;

    if (options.dryRun) {
        for (PlannedFile& file : files) {
            if (file.skip) {
                std::cout << Format(kWouldSkip, {file.input, file.output}) << "\n";
                ++skipped;
                continue;
            }
            if (file.refusal.empty()) {
                ConversionRun s = options.settings;
                s.input = file.input;
                if (const int verdict = Check(s); verdict != kTextNone) file.refusal = Explain(verdict, s, file.output);
            }
            if (file.refusal.empty()) std::cout << Format(kWouldWrite, {file.input, file.output}) << "\n";
            else notConverted.push_back(file.refusal);
        }
    } else {
        std::error_code ec;
        fs::create_directories(PathFromUtf8(options.outputFolder), ec);
        std::vector<std::size_t> pending;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i].skip) ++skipped;
            else if (!files[i].refusal.empty()) notConverted.push_back(files[i].refusal);
            else pending.push_back(i);
        }
        const bool terminal = StandardErrorIsTerminal();
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::atomic<int>> position(files.size());
        std::vector<std::vector<std::string>> failures(files.size());
        std::atomic<std::size_t> next{0};
        int done = 0;
        std::size_t finished = 0;  // converted or failed, not stopped part-way
        int workersLeft = 0;
        std::uint64_t bytesFinished = 0;
        const auto work = [&] {
            for (std::size_t k = next++; k < pending.size() && !stop.load(); k = next++) {
                const std::size_t i = pending[k];
                const PlannedFile& file = files[i];
                const fs::path output = PathFromUtf8(file.output);
                std::error_code e;
                if (output.has_parent_path()) fs::create_directories(output.parent_path(), e);
                const fs::path temporary = TemporaryName(output, i);
                ConversionRun s = options.settings;
                s.input = file.input;
                s.output = Utf8FromPath(temporary);
                JobResult r = RunSave(s, file.output, &stop, [&position, i](int p) { position[i] = p; });
                if (r.ok) {
                    fs::rename(temporary, output, e);
                    if (e) {
                        r.ok = false;
                        r.lines.push_back(Explain(kTextCannotWriteWave, s, file.output));
                    }
                }
                if (!r.ok) fs::remove(temporary, e);
                // Off a terminal, a line per file written (its header read outside the lock).
                const std::string wrote = r.ok && !terminal ? Format(kWrote, {file.output, Describe(file.output, file.input)}) : "";
                const std::lock_guard lock(mutex);
                if (!wrote.empty()) std::cerr << wrote << "\n";
                if (!r.ok && !r.stopped) failures[i] = r.lines.empty() ? std::vector<std::string>{file.input} : r.lines;
                if (r.ok) ++done;
                if (!r.stopped) ++finished;
                position[i] = 1000;
                bytesFinished += file.size;
                changed.notify_all();
            }
            const std::lock_guard lock(mutex);
            --workersLeft;
            changed.notify_all();
        };
        const int workers = std::clamp(options.jobs, 1, static_cast<int>(std::max<std::size_t>(pending.size(), 1)));
        std::vector<std::thread> threads;
        workersLeft = workers;
        for (int w = 0; w < workers; ++w) threads.emplace_back(work);

        std::uint64_t bytesTotal = 0;
        for (std::size_t i : pending) bytesTotal += files[i].size;
        {
            std::unique_lock lock(mutex);
            while (workersLeft > 0) {
                if (terminal) {
                    // Whole files done plus the running ones' share.
                    std::uint64_t bytes = bytesFinished;
                    for (std::size_t i : pending) {
                        const int p = position[i];
                        if (p > 0 && p < 1000) bytes += files[i].size * static_cast<std::uint64_t>(p) / 1000;
                    }
                    progress.Draw(done, static_cast<int>(pending.size()), bytes, bytesTotal);
                }
                changed.wait_for(lock, std::chrono::milliseconds(100));
            }
        }
        for (std::thread& t : threads) t.join();
        progress.Clear();
        for (std::size_t i = 0; i < files.size(); ++i)
            for (const std::string& line : failures[i]) notConverted.push_back(line);
        interrupted = finished < pending.size();
        if (interrupted) std::cerr << Said(kInterrupted) << "\n";
        std::cerr << Format(kSummaryConverted, {std::to_string(done), std::to_string(files.size() - static_cast<std::size_t>(skipped)),
                                                FormatTime(progress.Elapsed())})
                  << "\n";
    }
    if (skipped > 0) std::cerr << Format(kSummarySkipped, {std::to_string(skipped)}) << "\n";
    if (!notConverted.empty()) {
        std::cerr << Format(kSummaryNotConverted, {std::to_string(notConverted.size())}) << "\n";
        for (const std::string& line : notConverted) std::cerr << "  " << line << "\n";
    }
    // What to do about outputs that exist: said once, however many there are.
    if (std::any_of(files.begin(), files.end(), [](const PlannedFile& f) { return f.exists; }))
        std::cerr << Said(kExistsHint) << "\n";
    if (interrupted) return 130;
    return notConverted.empty() ? 0 : 1;
}

}  // namespace sonivel::convert
