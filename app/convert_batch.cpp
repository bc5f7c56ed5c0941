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

namespace {

// A file not converted and why, split from its line ("file: why").
struct Refused {
    std::string file, why;
};

Refused SplitLine(const std::string& line, const PlannedFile& file) {
    for (const std::string& name : {file.input, file.output})
        if (line.rfind(name + ": ", 0) == 0) return {name, line.substr(name.size() + 2)};
    return {file.input, line};
}

// One line per reason with its count, the most frequent first, then the
// files under it: a collection's hundred refusals read as a few lines.
void PrintRefused(const std::vector<Refused>& refused) {
    std::vector<std::pair<std::string, std::vector<std::string>>> groups;
    for (const Refused& r : refused) {
        auto g = std::find_if(groups.begin(), groups.end(), [&](const auto& x) { return x.first == r.why; });
        if (g == groups.end()) g = groups.insert(groups.end(), {r.why, {}});
        g->second.push_back(r.file);
    }
    std::stable_sort(groups.begin(), groups.end(), [](const auto& x, const auto& y) { return x.second.size() > y.second.size(); });
    std::cerr << Format(kSummaryNotConverted, {std::to_string(refused.size())}) << "\n";
    for (const auto& [why, names] : groups) {
        std::cerr << "  "
                  << (names.size() == 1 ? Format(kGroupOne, {why}) : Format(kGroupMany, {std::to_string(names.size()), why}))
                  << "\n";
        for (const std::string& name : names) std::cerr << "    " << name << "\n";
    }
}

// The folders a run makes for its outputs: each first missing ancestor is
// remembered, and what of them is still empty when the run ends is removed,
// so a run that wrote nothing somewhere leaves no folder there.
class MadeFolders {
public:
    void Make(const fs::path& folder) {
        std::error_code e;
        fs::path top;
        for (fs::path p = folder; !p.empty() && !fs::exists(p, e); p = p.parent_path()) {
            top = p;
            if (p == p.parent_path()) break;
        }
        fs::create_directories(folder, e);
        const std::lock_guard lock(mutex_);
        if (!top.empty()) made_.push_back(top);
    }
    void RemoveEmpty() {
        for (const fs::path& top : made_) RemoveIfEmpty(top);
    }

private:
    static void RemoveIfEmpty(const fs::path& folder) {
        std::error_code e;
        for (fs::directory_iterator it(folder, e), end; !e && it != end; it.increment(e))
            if (it->is_directory(e)) RemoveIfEmpty(it->path());
        if (fs::is_empty(folder, e)) fs::remove(folder, e);
    }
    std::mutex mutex_;
    std::vector<fs::path> made_;
};

// What a dry run says of each file: where it goes and what it becomes.
void DryRun(const BatchOptions& options, std::vector<PlannedFile>& files, std::vector<Refused>& refused, int& skipped) {
    for (PlannedFile& file : files) {
        if (file.skip) {
            std::cout << Format(kWouldSkip, {file.input, file.output}) << "\n";
            ++skipped;
            continue;
        }
        ConversionRun s = options.settings;
        s.input = file.input;
        if (file.refusal.empty()) {
            if (const int verdict = Check(s); verdict != kTextNone) file.refusal = Explain(verdict, s, file.output);
        }
        if (file.refusal.empty()) std::cout << Format(kWouldBecome, {file.input, file.output, Becomes(s)}) << "\n";
        else refused.push_back(SplitLine(file.refusal, file));
    }
}

// The conversions, on `options.jobs` workers, with the progress line.
class Conversions {
public:
    Conversions(const BatchOptions& options, std::vector<PlannedFile>& files, std::atomic<bool>& stop)
        : options_(options), files_(files), stop_(stop), position_(files.size()), failures_(files.size()) {}

    // Converts the pending files; true unless the run was stopped part-way.
    bool Run(const std::vector<std::size_t>& pending, ProgressLine& progress) {
        pending_ = pending;
        folders_.Make(PathFromUtf8(options_.outputFolder));
        const int workers = std::clamp(options_.jobs, 1, static_cast<int>(std::max<std::size_t>(pending.size(), 1)));
        std::vector<std::thread> threads;
        workersLeft_ = workers;
        for (int w = 0; w < workers; ++w) threads.emplace_back([this] { Work(); });
        Watch(progress);
        for (std::thread& t : threads) t.join();
        progress.Clear();
        folders_.RemoveEmpty();
        return finished_ == pending.size();
    }
    int Done() const { return done_; }
    void Failures(std::vector<Refused>& refused) const {
        for (std::size_t i = 0; i < files_.size(); ++i)
            for (const std::string& line : failures_[i]) refused.push_back(SplitLine(line, files_[i]));
    }

private:
    void Work() {
        for (std::size_t k = next_++; k < pending_.size() && !stop_.load(); k = next_++) {
            const std::size_t i = pending_[k];
            const PlannedFile& file = files_[i];
            const fs::path output = PathFromUtf8(file.output);
            if (output.has_parent_path()) folders_.Make(output.parent_path());
            const fs::path temporary = TemporaryName(output, i);
            ConversionRun s = options_.settings;
            s.input = file.input;
            s.output = Utf8FromPath(temporary);
            JobResult r = RunSave(s, file.output, &stop_, [this, i](int p) { position_[i] = p; });
            std::error_code e;
            if (r.ok) {
                fs::rename(temporary, output, e);
                if (e) {
                    r.ok = false;
                    r.lines.push_back(Explain(kTextCannotWriteWave, s, file.output));
                }
            }
            if (!r.ok) fs::remove(temporary, e);
            // Off a terminal, a line per file written (its header read outside the lock).
            const std::string wrote = r.ok && !terminal_ ? Format(kWrote, {file.output, Describe(file.output, file.input)}) : "";
            const std::lock_guard lock(mutex_);
            if (!wrote.empty()) std::cerr << wrote << "\n";
            if (!r.ok && !r.stopped) failures_[i] = r.lines.empty() ? std::vector<std::string>{file.input} : r.lines;
            if (r.ok) ++done_;
            if (!r.stopped) ++finished_;
            position_[i] = 1000;
            bytesFinished_ += file.size;
            changed_.notify_all();
        }
        const std::lock_guard lock(mutex_);
        --workersLeft_;
        changed_.notify_all();
    }
    void Watch(ProgressLine& progress) {
        std::uint64_t bytesTotal = 0;
        for (std::size_t i : pending_) bytesTotal += files_[i].size;
        std::unique_lock lock(mutex_);
        while (workersLeft_ > 0) {
            if (terminal_) {
                // Whole files done plus the running ones' share.
                std::uint64_t bytes = bytesFinished_;
                for (std::size_t i : pending_) {
                    const int p = position_[i];
                    if (p > 0 && p < 1000) bytes += files_[i].size * static_cast<std::uint64_t>(p) / 1000;
                }
                progress.Draw(done_, static_cast<int>(pending_.size()), bytes, bytesTotal);
            }
            changed_.wait_for(lock, std::chrono::milliseconds(100));
        }
    }

    const BatchOptions& options_;
    std::vector<PlannedFile>& files_;
    std::atomic<bool>& stop_;
    const bool terminal_ = StandardErrorIsTerminal();
    std::vector<std::size_t> pending_;
    MadeFolders folders_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::atomic<int>> position_;
    std::vector<std::vector<std::string>> failures_;
    std::atomic<std::size_t> next_{0};
    int done_ = 0;
    std::size_t finished_ = 0;  // converted or failed, not stopped part-way
    int workersLeft_ = 0;
    std::uint64_t bytesFinished_ = 0;
};

}  // namespace

int RunBatch(const BatchOptions& options, std::atomic<bool>& stop) {
    ProgressLine progress;
    std::vector<PlannedFile> files = Plan(options);
    if (files.empty()) {
        std::cerr << Said(kNoWaveAtAll) << "\n";
        return 1;
    }
    std::vector<Refused> refused;
    int skipped = 0;
    bool interrupted = false;
    if (options.dryRun) {
        DryRun(options, files, refused, skipped);
    } else {
        std::vector<std::size_t> pending;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i].skip) ++skipped;
            else if (!files[i].refusal.empty()) refused.push_back(SplitLine(files[i].refusal, files[i]));
            else pending.push_back(i);
        }
        Conversions conversions(options, files, stop);
        interrupted = !conversions.Run(pending, progress);
        conversions.Failures(refused);
        if (interrupted) std::cerr << Said(kInterrupted) << "\n";
        std::cerr << Format(kSummaryConverted, {std::to_string(conversions.Done()),
                                                std::to_string(files.size() - static_cast<std::size_t>(skipped)),
                                                FormatTime(progress.Elapsed())})
                  << "\n";
    }
    if (skipped > 0) std::cerr << Format(kSummarySkipped, {std::to_string(skipped)}) << "\n";
    if (!refused.empty()) PrintRefused(refused);
    // What to do about outputs that exist: said once, however many there are.
    if (std::any_of(files.begin(), files.end(), [](const PlannedFile& f) { return f.exists; }))
        std::cerr << Said(kExistsHint) << "\n";
    if (interrupted) return 130;
    return refused.empty() ? 0 : 1;
}

}  // namespace sonivel::convert
