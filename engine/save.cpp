#include "save.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "position.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {

std::int32_t TrackBlocks::Advance() const {
    return params.BlockInBytes + (params.RateRatio > 1 ? in.nBlockAlign : 0);
}

bool ReadBlockInput(ByteSource& input, const TrackBlocks& track, std::int64_t readPosition, std::int32_t blockBytes,
                    std::uint8_t* dst, std::int64_t& blockFrame, const NeighbourFrames& neighbours) {
    const std::int64_t span = BlockInputSpan(track.in, track.params, blockBytes);
    std::memset(dst, IsInput8Bit(track.in) ? 128 : 0, static_cast<std::size_t>(span));
    const std::int64_t dataEnd = static_cast<std::int64_t>(track.dataStart) + track.dataBytes;
    blockFrame = (readPosition - track.dataStart) / track.in.nBlockAlign;
    const std::int64_t begin =
        readPosition - static_cast<std::int64_t>(track.params.ContextFrames) * track.in.nBlockAlign;
    const std::int64_t from = std::max<std::int64_t>(begin, track.dataStart);
    const std::int64_t to = std::min(begin + span, dataEnd);
    if (neighbours) neighbours(dst, begin, span);
    if (to <= from) return true;
    return input.ReadAt(from, dst + (from - begin), static_cast<std::size_t>(to - from)) >= 0;
}

bool MakeBlock(const TrackBlocks& track, const std::uint8_t* in, std::int32_t blockBytes, std::uint8_t* out,
               std::int64_t blockFrame) {
    if (track.params.PlainCopy) {
        std::memcpy(out, in, static_cast<std::size_t>(blockBytes));
        return true;
    }
    return ConvertBlock(track.in, track.out, track.params, in, blockBytes, out, blockFrame) > 0;
}

bool WaveOutput::Create(const std::string& name) {
    name_ = name;
    file_ = File::Create(name);
    header_ = OutputHeader{};
    header_.FillConstantParts();
    bytes_ = 0;
    begun_ = false;
    failed_ = false;
    return file_.IsOpen();
}

bool WaveOutput::Begin() {
    bytes_ = OutputHeader::kSize;
    if (!file_.WriteAt(0, header_.bytes.data(), OutputHeader::kSize)) {
        failed_ = true;
        return false;
    }
    begun_ = true;
    return true;
}

bool WaveOutput::Append(const std::uint8_t* data, std::int32_t bytes, const WAVEFORMATEX& format) {
    const std::int64_t length = bytes_ + bytes;
    if (length > kMaxWaveFileBytes) {
        failed_ = true;
        return false;
    }
    OutputHeader current = header_;
    current.Finish(static_cast<std::uint64_t>(length), format);
    const bool ok = file_.WriteAt(bytes_, data, static_cast<std::size_t>(bytes)) &&
                    file_.WriteAt(0, current.bytes.data(), OutputHeader::kSize);
    if (!ok) failed_ = true;
    else bytes_ = length;
    return ok;
}

bool WaveOutput::Finish(const WAVEFORMATEX& format) {
    if (!file_.IsOpen()) return true;
    if (!begun_) {
        // Nothing was ever written (the quality question was answered No, or
        // the run failed before it began): leave no empty file behind.
        file_.Close();
        RemoveFile(name_);
        return true;
    }
    const std::int64_t length = file_.Size();
    bool ok = length >= 0;
    if (ok) {
        // A write cut short mid-frame leaves no partial frame in the header.
        std::int64_t whole = length;
        const std::int64_t data = length - static_cast<std::int64_t>(OutputHeader::kSize);
        if (data > 0 && format.nBlockAlign) whole = length - data % format.nBlockAlign;
        header_.Finish(static_cast<std::uint64_t>(whole), format);
        ok = file_.WriteAt(0, header_.bytes.data(), OutputHeader::kSize);
    }
    ok = file_.Close() && ok;
    return ok || failed_;
}

namespace {

// How many times a raised output is checked again. The reader only accepts
// formats that one raise lifts far enough; the bound is a guard.
constexpr int kRaises = 3;

// The output format of `in`, raised where it is below the file's own when
// the run allows that. kTextNone, or the text that refuses the save.
int ChooseSaveOutput(const WAVEFORMAT& in, const ConversionRun& run, OutputChoice& choice, WAVEFORMATEX& out) {
    choice = run.choice;
    for (int raise = 0;; ++raise) {
        out = OutputFormatFor(in, choice);
        const QualityShortfall shortfall = CheckQuality(in, out);
        if (!shortfall.Any()) return kTextNone;
        if (!run.raiseIfBelow || raise == kRaises) return kTextQualityTooLow;
        choice = RaiseOutput(choice, shortfall);
    }
}

std::unique_ptr<std::uint8_t[]> Buffer(std::size_t bytes) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[bytes]);
}

// The blocks of a save into `output`, back to back: the full ones, then the
// shorter last one. kTextNone, or the text of what failed.
int WriteBlocks(const ConversionRun& run, const WaveInfo& info, const OutputChoice& choice, TrackBlocks& track,
                WaveOutput& output, const std::atomic<bool>* stop, const std::function<void(int)>& progress,
                bool& stopped) {
    track.params = ComputeBlockParams(info.InFormat, track.out, choice.effects, choice.bandLimited);
    const BlockParams& p = track.params;
    const std::unique_ptr<ByteSource> input = OpenFrames(run.input, info);
    if (!input) return kTextErrorOpeningFile;
    const SeekPlan seek =
        PlanSeek(run.startPosition, kSeekBarMax, track.dataBytes, track.dataStart, info.InFormat.nBlockAlign);
    // A wave file holds at most 4 GiB: an output that cannot fit is refused
    // before its first byte, not cut off after hours of writing.
    if (!OutputFitsWave(info.InFormat, p, seek.Remaining)) return kTextOutputTooLarge;
    if (!output.Begin()) return kTextCannotWriteWave;
    const auto bytes = static_cast<std::size_t>(std::max<std::int64_t>(
        {BlockInputSpan(info.InFormat, p, p.BlockInBytes), p.FullBlockBytes + 64, kSampleBufferBytes}));
    const auto in = Buffer(bytes);
    const auto out = Buffer(bytes);
    if (!in || !out) return kTextNoMemory;

    std::int64_t position = seek.StartOffset;
    std::int32_t remaining = seek.Remaining;
    std::int64_t frame = 0;
    const std::int32_t advance = track.Advance();
    for (; remaining >= advance; remaining -= advance) {
        if (stop && stop->load()) {
            stopped = true;
            return kTextNone;
        }
        if (!ReadBlockInput(*input, track, position, p.BlockInBytes, in.get(), frame)) return kTextErrorOpeningFile;
        position += advance;
        if (!MakeBlock(track, in.get(), p.BlockInBytes, out.get(), frame)) return kTextUnsupportedFormat;
        if (!output.Append(out.get(), p.FullBlockBytes, track.out)) return kTextCannotWriteWave;
        if (progress) progress(BarPositionForOffset(position, track.dataBytes));
    }
    if (remaining > 0) {
        if (!ReadBlockInput(*input, track, position, remaining, in.get(), frame)) return kTextErrorOpeningFile;
        const auto last = static_cast<std::int32_t>(ShortBlockBytes(info.InFormat, p, remaining, frame));
        if (!MakeBlock(track, in.get(), remaining, out.get(), frame)) return kTextUnsupportedFormat;
        if (!output.Append(out.get(), last, track.out)) return kTextCannotWriteWave;
    }
    return kTextNone;
}

}  // namespace

SaveResult SaveFile(const ConversionRun& run, const std::atomic<bool>* stop, const std::function<void(int)>& progress) {
    SaveResult result;
    const WaveReadResult read = ReadWaveFile(run.input);
    if (!read.ok()) {
        result.texts.push_back(read.error);
        return result;
    }
    // Never empty the file being read, whatever name it goes by.
    if (SameFile(run.output, run.input)) {
        result.texts.push_back(kTextOverwriteOpenFile);
        return result;
    }
    WaveOutput output;
    if (!output.Create(run.output)) {
        result.texts.push_back(kTextCannotWriteWave);
        return result;
    }
    TrackBlocks track;
    track.in = read.info.InFormat;
    track.dataStart = read.info.DataStart;
    track.dataBytes = read.info.DataBytes();
    OutputChoice choice;
    int text = ChooseSaveOutput(track.in, run, choice, track.out);
    if (text == kTextNone) text = WriteBlocks(run, read.info, choice, track, output, stop, progress, result.stopped);
    if (text != kTextNone) result.texts.push_back(text);
    if (!output.Finish(track.out)) result.texts.push_back(kTextCannotWriteWave);
    return result;
}

}  // namespace sonivel
