// sonivel-convert: runs a silent save of the render thread through a host
// without windows, the same engine and the same run as Save As in the player,
// for one file or for whole folders of them.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "convert_batch.h"
#include "convert_job.h"
#include "convert_texts.h"
#include "fileio.h"
#include "texts.h"

namespace {

using namespace sonivel;
using namespace sonivel::convert;
namespace fs = std::filesystem;

std::atomic<bool> g_stop{false};

int Usage(const std::string& problem) {
    std::cerr << "sonivel-convert: " << problem << "; " << Said(kSeeHelp) << "\n";
    return 2;
}

bool ParseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || end == text || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

// One file to one file: written in place under its own name, as it always was.
int ConvertOne(const ConversionRun& settings) {
    if (SameFile(settings.input, settings.output)) {
        std::cerr << Explain(kTextOverwriteOpenFile, settings, settings.output) << "\n";
        return 1;
    }
    // An output a wave file cannot hold is refused before the output is
    // touched: an existing file of that name stays as it was.
    if (Check(settings) == kTextOutputTooLarge) {
        std::cerr << Explain(kTextOutputTooLarge, settings, settings.output) << "\n";
        return 1;
    }
    // The progress line, drawn by a thread of its own while the save runs.
    const std::uint64_t size = FileSize(PathFromUtf8(settings.input));
    std::atomic<int> position{0};
    std::atomic<bool> finished{false};
    std::thread drawer;
    if (StandardErrorIsTerminal()) {
        drawer = std::thread([&] {
            ProgressLine progress;
            while (!finished.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                if (const int p = position.load(); p > 0) progress.Draw(0, 1, size * static_cast<std::uint64_t>(p) / 1000, size);
            }
            progress.Clear();
        });
    }
    const JobResult r = RunSave(settings, settings.output, nullptr, [&position](int p) { position = p; });
    finished = true;
    if (drawer.joinable()) drawer.join();
    for (const std::string& line : r.lines) std::cerr << line << "\n";
    if (!r.ok) return 1;
    const std::string details = Describe(settings.output, settings.input);
    if (!details.empty()) std::cerr << Format(kWrote, {settings.output, details}) << "\n";
    return 0;
}

// An option without a value; false when `arg` is none of them.
bool TakeFlag(const std::string& arg, BatchOptions& batch) {
    OutputChoice& choice = batch.settings.choice;
    if (arg == "--mono") choice.stereo = false;
    else if (arg == "--stereo") choice.stereo = true;
    else if (arg == "--effects") choice.effects = true;
    else if (arg == "--no-effects") choice.effects = false;
    else if (arg == "--yes") batch.settings.raiseIfBelow = true;
    else if (arg == "--force") batch.force = true;
    else if (arg == "--skip-existing") batch.skipExisting = true;
    else if (arg == "--dry-run") batch.dryRun = true;
    else return false;
    return true;
}

// An option with a value `v` (null when the command line ended): the usage
// error's text, empty when taken; `known` false when `arg` is none of them.
std::string TakeValue(const std::string& arg, const char* v, BatchOptions& batch, bool& known) {
    OutputChoice& choice = batch.settings.choice;
    int number = 0;
    known = true;
    if (arg == "--rate") {
        if (!v || !ParseInt(v, 0, 1000000, number) || (number != 22050 && number != 44100)) return std::string(Said(kRateTakes));
        choice.rate44100 = number == 44100;
    } else if (arg == "--bits") {
        if (!v || !ParseInt(v, 0, 64, number) || (number != 8 && number != 16)) return std::string(Said(kBitsTakes));
        choice.bits16 = number == 16;
    } else if (arg == "--interpolation") {
        if (!v || (std::strcmp(v, "linear") != 0 && std::strcmp(v, "hq") != 0)) return std::string(Said(kInterpolationTakes));
        choice.bandLimited = std::strcmp(v, "hq") == 0;
    } else if (arg == "--seek") {
        if (!v || !ParseInt(v, 0, 1000, number)) return std::string(Said(kSeekTakes));
        batch.settings.startPosition = number;
    } else if (arg == "--jobs" || arg == "-j") {
        if (!v || !ParseInt(v, 1, 256, number)) return std::string(Said(kJobsTakes));
        batch.jobs = number;
    } else if (arg == "--lang") {
        if (!v || (std::strcmp(v, "en") != 0 && std::strcmp(v, "fr") != 0)) return std::string(Said(kLangTakes));
        CurrentLanguage().store(std::strcmp(v, "fr") == 0 ? kFrench : kEnglish);
    } else {
        known = false;
    }
    return {};
}

// The options into `batch`, the names into `names`: -1 to go on, else the
// exit status (the help shown, a usage error).
int ParseArguments(const std::vector<std::string>& args, BatchOptions& batch, std::vector<std::string>& names) {
    const std::size_t argc = args.size();
    bool optionsEnded = false;
    for (std::size_t i = 1; i < argc; ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            names.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << Said(kHelp);
            return 0;
        } else if (!TakeFlag(arg, batch)) {
            bool known = false;
            const char* v = i + 1 < argc ? args[i + 1].c_str() : nullptr;
            const std::string error = TakeValue(arg, v, batch, known);
            if (!known) return Usage(Format(kUnknownOption, {arg}));
            if (!error.empty()) return Usage(error);
            ++i;
        }
    }
    if (names.size() < 2) return Usage(std::string(Said(kNeedInAndOut)));
    if (batch.force && batch.skipExisting) return Usage(std::string(Said(kForceAndSkip)));
    return -1;
}

// One file to one output file.
int ConvertSingle(ConversionRun& settings, const std::string& input, const std::string& output,
                  const BatchOptions& batch) {
    settings.input = input;
    settings.output = output;
    // An output that exists is kept unless --force, as into a folder; the
    // input itself as output is refused by the conversion's own check.
    std::error_code exists;
    if (fs::exists(PathFromUtf8(output), exists) && !fs::is_directory(PathFromUtf8(output), exists) &&
        !SameFile(settings.input, output) && !batch.force) {
        if (batch.skipExisting) {
            std::cout << Format(kWouldSkip, {settings.input, output}) << "\n";
            return 0;
        }
        std::cerr << output << ": " << Said(kExists) << "\n" << Said(kExistsHint) << "\n";
        return 1;
    }
    if (batch.dryRun) {
        const int verdict = Check(settings);
        if (verdict != kTextNone) {
            std::cerr << Explain(verdict, settings, output) << "\n";
            return 1;
        }
        std::cout << Format(kWouldBecome, {settings.input, settings.output, Becomes(settings)}) << "\n";
        return 0;
    }
    return ConvertOne(settings);
}

int Main(const std::vector<std::string>& args) {
    PrepareConsole();
    // The language first, so that every line, a usage error too, is in it:
    // the desktop's, unless --lang says otherwise.
    CurrentLanguage().store(DesktopLanguage());
    for (std::size_t i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "--lang" && (args[i + 1] == "fr" || args[i + 1] == "en"))
            CurrentLanguage().store(args[i + 1] == "fr" ? kFrench : kEnglish);
    BatchOptions batch;
    batch.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::string> names;
    if (const int status = ParseArguments(args, batch, names); status >= 0) return status;

    const std::string last = names.back();
    names.pop_back();
    std::error_code ec;
    bool many = names.size() > 1 || fs::is_directory(PathFromUtf8(last), ec) || last.back() == '/' ||
                last.back() == static_cast<char>(fs::path::preferred_separator);
    for (const std::string& n : names) many = many || fs::is_directory(PathFromUtf8(n), ec);
    if (!many) return ConvertSingle(batch.settings, names.front(), last, batch);
    if (fs::exists(PathFromUtf8(last), ec) && !fs::is_directory(PathFromUtf8(last), ec))
        return Usage(Format(kOutIsAFile, {last}));
    batch.inputs = names;
    batch.outputFolder = last;
    StopOnInterrupt(g_stop);
    return RunBatch(batch, g_stop);
}

}  // namespace

#ifdef _WIN32
// Windows hands the arguments over as UTF-16: taken that way, every name
// reaches the engine whole, whatever the ANSI code page.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string utf8(n > 0 ? static_cast<std::size_t>(n - 1) : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, utf8.data(), n, nullptr, nullptr);
        args.push_back(std::move(utf8));
    }
    return Main(args);
}
#else
int main(int argc, char** argv) { return Main(std::vector<std::string>(argv, argv + argc)); }
#endif
