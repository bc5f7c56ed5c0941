// One run of the render thread: its set-up (the output format and the
// quality question, the input, the output file, the device), the paced
// full blocks, the last block and the end of the track, and the waits in
// between, which take the commands a playing run takes. The threading model
// is described in playthr.cpp.
#include "playthr.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

#include "position.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {
namespace {

// Pacing of a play run: the next block is queued this long after the
// previous one started playing (about 150 ms before it runs out)...
constexpr std::uint32_t kNextBlockAfterMs = 850;
// ...and read and converted from this long after a block started.
constexpr std::uint32_t kReadAheadAfterMs = 300;
// How many times the output-quality question is asked before giving up.
constexpr int kQualityQuestions = 3;

}  // namespace

// One run, in its phases: the output format (with the quality question),
// the set-up of input, output file and device, the paced full blocks, and
// the last block with the end of the track.
PlayThread::Next PlayThread::RunStep() {
    OutputChoice choice;
    int position = 0;
    if (!ChooseOutput(choice, position)) {
        StopPlayback();
        return Next::Idle;
    }
    if (auto n = SetUpRun(choice, position)) return *n;
    // Each pass plays one track; a track that flows into the next goes on
    // with the same device.
    for (;;) {
        if (auto n = PlayFullBlocks()) return *n;
        if (auto n = FinishRun()) return *n;
    }
}

// Takes the run's set-up (the output choice among it); a Yes to the quality
// question reads the choice again, raised. The reader only accepts formats
// that raising can reach, so this ends after one raise; the bound is only a
// guard. False: no run.
bool PlayThread::ChooseOutput(OutputChoice& choice, int& position) {
    for (int attempt = 0;; ++attempt) {
        run_.FirstBlock = true;
        run_.LastWrite = 0;
        run_.PlainCopy = false;
        ShowPlaying(true);
        dev_.OutBuffer = dev_.OutBuffer2.get();
        dev_.CurrentHeader = &dev_.Header2;
        if (attempt == 0) {
            given_.setup = given_.brought ? *given_.brought : host_.ReadRunSetup(true);
            given_.brought.reset();
        }
        choice = given_.setup.choice;
        run_.OutFormat = OutputFormatFor(track_.InFormat, choice);
        position = given_.setup.position;
        const QualityShortfall shortfall = CheckQuality(track_.InFormat, run_.OutFormat);
        if (!shortfall.Any()) break;
        if (attempt >= kQualityQuestions || !host_.AskRaiseQuality()) return false;
        // The run goes on raised, and the menus follow.
        given_.setup.choice = RaiseOutput(given_.setup.choice, shortfall);
        host_.Post(event::Raised{shortfall});
    }
    return true;
}

// The run's parameters, the input from `position`, the output file's
// header placeholder and the device.
std::optional<PlayThread::Next> PlayThread::SetUpRun(const OutputChoice& choice, int position) {
    run_.Params = ComputeBlockParams(track_.InFormat, run_.OutFormat, choice.effects, choice.bandLimited);
    run_.PlainCopy = run_.Params.PlainCopy;
    run_.Saving = run_.Output.IsOpen();
    run_.Playing = !run_.Saving || given_.setup.playOnSave;
    silentSave_.store(run_.Saving && !run_.Playing);
    if (run_.Saving) host_.Post(event::Writing{true});

    run_.DataBytes = static_cast<std::int32_t>(track_.DataChunk.cksize);
    track_.InputFile = OpenFrames(track_.CurrentFile, TrackInfo());
    if (!track_.InputFile) {
        // The file went away since its format was read: read it afresh next
        // time, which also takes it off the playlist if it is still missing.
        track_.CurrentFile.clear();
        return Fail(kTextErrorOpeningFile);
    }
    run_.BarMax = given_.setup.barMax;
    const SeekPlan seek = PlanSeek(position, run_.BarMax, run_.DataBytes, track_.DataStart, track_.InFormat.nBlockAlign);
    run_.StartOffset = seek.StartOffset;
    run_.Remaining = seek.Remaining;
    track_.ReadPosition = run_.StartOffset;
    run_.QueuedAny = false;
    track_.JoinedTrack.clear();
    track_.Lead.clear();
    run_.Following.reset();
    run_.FollowerSought = false;
    ShowRunTrack(0);

    if (run_.Saving) {
        // A wave file holds at most 4 GiB: an output that cannot fit is
        // refused before its first byte, not cut off after hours of writing.
        if (!OutputFitsWave(track_.InFormat, run_.Params, run_.Remaining)) return Fail(kTextOutputTooLarge);
        if (!run_.Output.Begin()) return Fail(kTextCannotWriteWave);
    }
    const auto need = static_cast<std::size_t>(std::max<std::int64_t>(
        BlockInputSpan(track_.InFormat, run_.Params, run_.Params.BlockInBytes), run_.Params.FullBlockBytes + 64));
    if (need > dev_.BufferBytes && !AllocateBuffers(need)) {
        // Back to the usual size, which the thread had before.
        AllocateBuffers();
        return Fail(kTextNoMemory);
    }
    if (run_.Playing) {
        if (auto n = PrepareDevice()) return n;
    }
    host_.Post(event::TimeShown{});
    return std::nullopt;
}

std::optional<PlayThread::Next> PlayThread::PrepareDevice() {
    device_.NameStream(std::filesystem::path(track_.CurrentFile).filename().string());
    if (!device_.Open(run_.OutFormat)) return Fail(kTextCannotOpenDevice);
    dev_.DeviceOpen = true;
    dev_.QueuedBytes = 0;
    dev_.LastQueued = nullptr;
    dev_.Header1.length = dev_.Header2.length = static_cast<std::uint32_t>(run_.Params.FullBlockBytes);
    if (!device_.Prepare(dev_.Header1)) return Fail(kTextCannotPrepareHeader);
    dev_.Header1.prepared = true;
    if (!device_.Prepare(dev_.Header2)) return Fail(kTextCannotPrepareHeader);
    dev_.Header2.prepared = true;
    return std::nullopt;
}

// Full blocks: one second each, and one frame more when the rate is raised
// (that frame is the interpolation target and starts the next). A block is
// full only when the data holds all the frames it advances over; exactly
// one second left with a raised rate is a last block, so no frame past the
// data is ever written.
std::optional<PlayThread::Next> PlayThread::PlayFullBlocks() {
    const std::int32_t advance = BlockAdvance();
    while (run_.Remaining >= advance) {
        if (auto n = TakeRunCommand(Looks::StopOrStep)) return n;
        // A silent save has no waits to notice a stop request in; it ends at
        // a block boundary with its file finished.
        if (!run_.Playing && channel_.StopRequested()) {
            StopPlayback();
            return Next::End;
        }
        WaveHeader& block = SwitchBuffers();
        if (!ReadBlock(run_.Params.BlockInBytes)) return Fail(kTextErrorOpeningFile);
        track_.ReadPosition += advance;
        if (!ProduceBlock(dev_.OutBuffer, run_.Params.BlockInBytes)) return Fail(kTextUnsupportedFormat);
        if (run_.Saving) {
            if (!AppendToOutput(dev_.OutBuffer, run_.Params.FullBlockBytes)) return Fail(kTextCannotWriteWave);
            if (!run_.Playing)
                host_.Post(event::Position{BarPositionForOffset(track_.ReadPosition, run_.DataBytes, run_.BarMax), std::nullopt});
        }
        if (run_.Playing) {
            if (auto n = QueuePaced(block)) return n;
        }
        run_.Remaining -= advance;
    }
    return std::nullopt;
}

// The pacing rule: the block is queued 850 ms after the previous one
// started (at once for the first), then waits for the other buffer to be
// done, and the next block is made from 300 ms after this one started.
std::optional<PlayThread::Next> PlayThread::QueuePaced(WaveHeader& block) {
    if (!run_.FirstBlock) {
        const std::uint32_t last = run_.LastWrite;
        if (auto n = WaitUntil([&] { return clock_.TickCount() - last >= kNextBlockAfterMs; },
                               last + kNextBlockAfterMs))
            return n;
    }
    block.length = static_cast<std::uint32_t>(run_.Params.FullBlockBytes);
    const WaveHeader* previous = dev_.LastQueued;
    if (auto n = QueueBlock(block)) return n;
    if (!run_.FirstBlock && previous) {
        if (auto n = WaitForDone(*previous)) return n;
    }
    if (auto n = BlockStarted()) return n;
    return WaitReadAhead();
}

// The block queued last has started to play: the pacing counts from here,
// and the first block of a joined track makes that track the window's.
std::optional<PlayThread::Next> PlayThread::BlockStarted() {
    run_.LastWrite = clock_.TickCount();
    run_.FirstBlock = false;
    if (!track_.JoinedTrack.empty()) return TakeJoinedTrack();
    return std::nullopt;
}

// The next block is read and converted from 300 ms after this one started.
std::optional<PlayThread::Next> PlayThread::WaitReadAhead() {
    const std::uint32_t started = run_.LastWrite;
    return WaitUntil([&] { return clock_.TickCount() - started >= kReadAheadAfterMs; },
                     started + kReadAheadAfterMs);
}

// Input bytes a full block advances over: one second, and one frame more
// when the rate is raised.
std::int32_t PlayThread::BlockAdvance() const { return Blocks().Advance(); }

// Queues the block behind those already queued.
std::optional<PlayThread::Next> PlayThread::QueueBlock(WaveHeader& block) {
    if (!device_.Write(block)) return Fail(kTextCannotOpenDevice);
    run_.QueuedAny = true;
    dev_.QueuedBytes += block.length;
    dev_.BeforeLastQueued = dev_.LastQueued;
    dev_.LastQueued = &block;
    dev_.LastQueuedFull = block.length == static_cast<std::uint32_t>(run_.Params.FullBlockBytes);
    return std::nullopt;
}

// The last, shorter block, queued at once; then the end of the track: the
// next track queued behind it on the open device where that can be done
// (nullopt: the run goes on with it), else the end as it always was.
std::optional<PlayThread::Next> PlayThread::FinishRun() {
    if (run_.Remaining > 0) {
        WaveHeader& block = SwitchBuffers();
        if (!ReadBlock(run_.Remaining)) return Fail(kTextErrorOpeningFile);
        const auto outBytes = static_cast<std::int32_t>(
            ShortBlockBytes(track_.InFormat, run_.Params, run_.Remaining, run_.BlockFrame));
        if (!ProduceBlock(dev_.OutBuffer, run_.Remaining)) return Fail(kTextUnsupportedFormat);
        if (run_.Saving && !AppendToOutput(dev_.OutBuffer, outBytes)) return Fail(kTextCannotWriteWave);
        if (run_.Playing) {
            block.length = static_cast<std::uint32_t>(outBytes);
            if (auto n = QueueBlock(block)) return n;
        }
        run_.Remaining = 0;
    }
    const bool shortTail = !dev_.LastQueuedFull;
    if (PrepareNextTrack(shortTail)) return StartJoinedTrack(shortTail);
    if (run_.Playing && run_.QueuedAny) {
        device_.EndOfSound();
        if (auto n = WaitForDone(*dev_.CurrentHeader)) return n;
    }
    return EndTrack();
}

void PlayThread::ShowRunTrack(std::uint64_t base) {
    // Past the exact-ratio filter a second in is a second out: the position
    // is the byte rates' ratio, not its whole part.
    const bool exact = run_.Params.Resampled;
    run_.Shown = RunState::ShownTrack{base, exact ? run_.Params.BlockOutBytes : run_.Params.ExpansionFactor,
                                      exact ? run_.Params.BlockInBytes : 1, run_.StartOffset, run_.DataBytes,
                                      track_.InFormat.nAvgBytesPerSec};
}

// Each wait tests its condition, runs the polling step while it does not
// hold, and tests again. In between it sleeps until something can have
// changed: a command or stop request, a block done on the device, the
// tick `deadline` by which the condition holds at the latest, or the next
// display update. The wake count is read before the test, so a wake that
// comes while the thread looks is not slept through.
template <class Condition>
std::optional<PlayThread::Next> PlayThread::WaitUntil(Condition done, std::uint32_t deadline) {
    for (;;) {
        const std::uint32_t seen = channel_.WakeCount();
        if (done()) return std::nullopt;
        if (auto n = Poll()) return n;
        const auto left = static_cast<std::int32_t>(deadline - clock_.TickCount());
        const std::uint32_t untilDeadline = left > 0 ? static_cast<std::uint32_t>(left) : 0;
        clock_.WaitForWake(channel_, seen, std::min(untilDeadline, options_.displayIntervalMs));
    }
}

std::optional<PlayThread::Next> PlayThread::WaitForDone(const WaveHeader& header) {
    const std::uint32_t since = clock_.TickCount();
    const std::uint32_t bytesPerSecond = run_.OutFormat.nAvgBytesPerSec ? run_.OutFormat.nAvgBytesPerSec : 1;
    const std::uint32_t limit = static_cast<std::uint32_t>(
        static_cast<std::uint64_t>(header.length) * 1000 / bytesPerSecond + options_.deviceTimeoutMs);
    bool stalled = false;
    auto n = WaitUntil(
        [&] {
            if (device_.IsDone(header)) return true;
            stalled = clock_.TickCount() - since > limit;
            return stalled;
        },
        since + limit + 1);
    if (n) return n;
    if (stalled) return Fail(kTextCannotOpenDevice);
    return std::nullopt;
}

std::optional<PlayThread::Next> PlayThread::Poll() {
    if (channel_.StopRequested()) {
        StopPlayback();
        return Next::End;
    }
    if (channel_.Load() != kCmdNone) {
        if (auto n = TakeRunCommand(Looks::AlsoRestart)) return n;
    }
    std::uint32_t played = 0;
    if (dev_.DeviceOpen && device_.GetPosition(played) && played % 100 == 0) ReportPosition(played);
    return std::nullopt;
}

void PlayThread::ReportPosition(std::uint32_t playedBytes) {
    const std::uint64_t played = playedBytes > run_.Shown.base ? playedBytes - run_.Shown.base : 0;
    const PositionReport r = MapDevicePosition(static_cast<std::uint32_t>(played), run_.Shown.expansionFactor,
                                               run_.Shown.startOffset, run_.Shown.dataBytes, run_.Shown.byteRate, run_.BarMax,
                                               run_.Shown.expansionDivisor);
    host_.Post(event::Position{r.barPosition, r.seconds});
}

}  // namespace sonivel
