#include "convert_job.h"

#include <filesystem>
#include <sstream>

#include "console.h"
#include "convert.h"
#include "fileio.h"
#include "convert_texts.h"
#include "position.h"
#include "refusal.h"
#include "save.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel::convert {
namespace {

namespace fs = std::filesystem;

// Why an input cannot be opened, as far as the file system tells.
std::string InputReason(const std::string& name) {
    const fs::path path = PathFromUtf8(name);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!fs::exists(status)) return std::string(Said(kReasonMissing));
    if (fs::is_directory(status)) return std::string(Said(kReasonFolder));
    if (!CanRead(path)) return std::string(Said(kReasonNoPermission));
    return {};
}

// Why an output cannot be written there, as far as the file system tells.
std::string OutputReason(const std::string& name) {
    const fs::path path = PathFromUtf8(name);
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return std::string(Said(kReasonNoFolder));
    if (!CanWriteIn(folder)) return std::string(Said(kReasonNotWritable));
    if (fs::is_directory(path, ec)) return std::string(Said(kReasonFolder));
    return {};
}

std::string ProgramText(int textId) {
    const int language = Language();
    std::string text(Text(textId, language));
    for (char& c : text)
        if (c == '\n') c = ' ';
    return std::string(ErrorCaption(language)) + ": " + text;
}

}  // namespace

std::string Explain(int textId, const ConversionRun& settings, const std::string& shownOutput) {
    std::string about = settings.input;
    std::string more, statement;
    switch (textId) {
        case kTextErrorOpeningFile:
            more = InputReason(settings.input);
            break;
        case kTextCannotWriteWave:
            about = shownOutput;
            more = OutputReason(shownOutput);
            break;
        case kTextOverwriteOpenFile:
            about = shownOutput;
            break;
        case kTextOutputTooLarge: {
            // The window's two lines: the program's text, then the reason.
            about = shownOutput;
            const std::string_view both = Text(kTextOutputTooLarge, Language());
            const std::size_t cut = both.find('\n');
            more = std::string(both.substr(cut + 1));
            while (!more.empty() && more.back() == '.') more.pop_back();
            // Inside the parentheses, as the other reasons: no capital.
            if (!more.empty() && more[0] >= 'A' && more[0] <= 'Z') more[0] = static_cast<char>(more[0] - 'A' + 'a');
            textId = kTextCannotWriteWave;
            break;
        }
        case kTextUnsupportedFormat:
        case kTextNotAWaveFile:
            more = RefusalReason(textId, settings.input, Language());
            break;
        case kTextQualityTooLow: {
            // In a terminal a statement, not the window's question.
            statement = std::string(ErrorCaption(Language())) + ": " + std::string(Said(kQualityBelow));
            const WaveReadResult in = ReadWaveFile(settings.input);
            if (in.ok()) {
                const OutputChoice chosen = settings.choice;
                const OutputChoice raised =
                    RaiseOutput(chosen, CheckQuality(in.info.InFormat, SelectOutputFormat(chosen)));
                const WAVEFORMATEX f = SelectOutputFormat(raised);
                more = Format(kUseYes, {FormatName(f.nSamplesPerSec, f.wBitsPerSample, f.nChannels)});
            }
            break;
        }
        default:
            break;
    }
    std::string line = about + ": " + (statement.empty() ? ProgramText(textId) : statement);
    if (!more.empty()) line += " (" + more + ")";
    return line;
}

int Check(const ConversionRun& settings) {
    const WaveReadResult in = ReadWaveFile(settings.input);
    if (!in.ok()) return in.error;
    const WAVEFORMAT& f = in.info.InFormat;
    // A file above every output is kept as it is: no question.
    const QualityShortfall shortfall = CheckQuality(f, OutputFormatFor(f, settings.choice));
    if (!settings.raiseIfBelow && shortfall.Any()) return kTextQualityTooLow;
    // What the run would write, from where it would start.
    const OutputChoice choice = RaiseOutput(settings.choice, shortfall);
    const BlockParams params = ComputeBlockParams(f, OutputFormatFor(f, choice), choice.effects, choice.bandLimited);
    const SeekPlan seek = PlanSeek(settings.startPosition, kSeekBarMax, in.info.DataBytes(), in.info.DataStart, f.nBlockAlign);
    if (!OutputFitsWave(f, params, seek.Remaining)) return kTextOutputTooLarge;
    return kTextNone;
}

std::uint64_t FileSize(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

namespace {

std::string KeptAsIs(const WAVEFORMAT& g) {
    return Format(kKeptAsIs, {std::to_string(g.nSamplesPerSec) + " Hz, " + std::to_string(InputBits(g)) +
                              (g.wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? " bits float" : " bits")});
}

}  // namespace

std::string Becomes(const ConversionRun& settings) {
    const WaveReadResult in = ReadWaveFile(settings.input);
    if (!in.ok()) return {};
    const WAVEFORMAT& f = in.info.InFormat;
    if (AboveEveryOutput(f)) return KeptAsIs(f);
    const OutputChoice choice = RaiseOutput(settings.choice, CheckQuality(f, SelectOutputFormat(settings.choice)));
    const WAVEFORMATEX out = SelectOutputFormat(choice);
    return FormatName(out.nSamplesPerSec, out.wBitsPerSample, out.nChannels);
}

std::string Describe(const std::string& path, const std::string& input) {
    const WaveReadResult written = ReadWaveFile(path);
    if (!written.ok() || written.info.InFormat.nAvgBytesPerSec == 0) return {};
    const WAVEFORMAT& f = written.info.InFormat;
    std::string line = FormatName(f.nSamplesPerSec, InputBits(f), f.nChannels) + ", " +
                       FormatTime(written.info.DataBytes() / static_cast<double>(f.nAvgBytesPerSec));
    if (!input.empty()) {
        const WaveReadResult in = ReadWaveFile(input);
        if (in.ok() && AboveEveryOutput(in.info.InFormat)) line += " (" + KeptAsIs(in.info.InFormat) + ")";
    }
    return line;
}

JobResult RunSave(const ConversionRun& settings, const std::string& shownOutput,
                  const std::atomic<bool>* stop, const std::function<void(int)>& progress) {
    const SaveResult saved = SaveFile(settings, stop, progress);
    JobResult result;
    for (int id : saved.texts) result.lines.push_back(Explain(id, settings, shownOutput));
    result.stopped = saved.stopped;
    result.ok = saved.ok();
    return result;
}

}  // namespace sonivel::convert
