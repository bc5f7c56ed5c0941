// Threading model
// ---------------
// Two threads take part. The windows' thread owns everything a person sees:
// the current file name, the menus, the seek bar, the labels, the playlist.
// The render thread (this file) owns the sound device, the three sample
// buffers, the input file and the output file; nothing else touches them.
//
// They share the command channel (engine/command.h) and the stop request.
// The windows give commands; this thread takes each one whole and acts on
// it, and nothing else clears a command, so none is lost: a command given
// while another is pending replaces it (the person's last word counts), and
// one given while this thread ends a run waits for the next look. A Play/Stop
// carries what the person saw: Stop while idle and Play while a run goes on
// change nothing. A file loaded to be played (a hand-off, the command line)
// is a "play anew", which ends any run and loads the current file. A restart
// carries the bar position it starts at; a track step the file it counts
// from and whether the person saw it playing (an idle thread then plays the
// chosen track: the run ended as they clicked). When a track ends, a command
// given for it decides what follows (a stop stops, a step steps, a play anew
// loads) before the playlist advances; a restart meant for the ended track
// goes with it, as does one reaching an idle thread.
//
// Everything else this thread reads or changes on the windows' side goes
// through Host. What it must know (names, menu checks, the bar at run
// set-up, the quality answer, the playlist) it asks and waits for; what only
// shows something (bar, time, labels) it hands over without waiting, so a
// busy window never delays the sound. No lock is held across a Host call, so
// a message box shown for this thread blocks only this thread. The Play/Stop
// button shows Stop from the start of a run until the thread is idle again,
// also across a restart or a change of track.
//
// One track flows into the next on the open device: see playthr_join.cpp.
//
// The held file's data size and byte rate are published through atomics for
// the seek-bar handler, which reads them while this thread may be loading.

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

// The largest file the 32-bit sizes of a wave header can describe.
constexpr std::int64_t kMaxOutputLength = kMaxWaveFileBytes;
// Pacing of a play run: the next block is queued this long after the
// previous one started playing (about 150 ms before it runs out)...
constexpr std::uint32_t kNextBlockAfterMs = 850;
// ...and read and converted from this long after a block started.
constexpr std::uint32_t kReadAheadAfterMs = 300;
// How many times the output-quality question is asked before giving up.
constexpr int kQualityQuestions = 3;

}  // namespace

PlayThread::PlayThread(Host& host, SoundDevice& device, Clock& clock, CommandChannel& channel,
                       PlayThreadOptions options)
    : host_(host), device_(device), clock_(clock), channel_(channel), options_(std::move(options)) {
    // A block done wakes the thread's waits.
    device_.SetDoneSignal([&channel] { channel.Wake(); });
    if (!options_.allocate) {
        options_.allocate = [](std::size_t n) {
            return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[n]);
        };
    }
}

PlayThread::~PlayThread() {
    if (thread_.joinable()) {
        channel_.RequestStop();
        thread_.join();
    }
    device_.SetDoneSignal(nullptr);
}

void PlayThread::Start() { thread_ = std::thread([this] { Run(); }); }

bool PlayThread::WaitUntilStarted() {
    while (startup_.load() == Startup::Pending) clock_.Sleep(1);
    return startup_.load() == Startup::Ready;
}

void PlayThread::Join() {
    if (thread_.joinable()) thread_.join();
}

// The buffers hold one second of the classic formats; a file played in its
// own format above those gets larger ones for its run, made while the device
// is closed.
bool PlayThread::AllocateBuffers(std::size_t bytes) {
    dev_.InBuffer.reset();
    dev_.OutBuffer1.reset();
    dev_.OutBuffer2.reset();
    dev_.OutBuffer3.reset();
    dev_.InBuffer = options_.allocate(bytes);
    dev_.OutBuffer1 = options_.allocate(bytes);
    dev_.OutBuffer2 = options_.allocate(bytes);
    dev_.OutBuffer3 = options_.allocate(bytes);
    dev_.Header1.data = dev_.OutBuffer1.get();
    dev_.Header2.data = dev_.OutBuffer2.get();
    dev_.Header3.data = dev_.OutBuffer3.get();
    dev_.BufferBytes = bytes;
    return dev_.InBuffer && dev_.OutBuffer1 && dev_.OutBuffer2 && dev_.OutBuffer3;
}

void PlayThread::DeviceCheck() {
    WaveOutCaps caps;
    if (!device_.GetCaps(caps)) {
        host_.ShowError(kTextNoSoundDevice);
        return;
    }
    DeviceLimits limits;
    limits.monoOnly = caps.wChannels == 1;
    limits.no16Bits = !(caps.dwFormats & (WAVE_FORMAT_4M16 | WAVE_FORMAT_2M16));
    limits.no44100Hz = !(caps.dwFormats & WAVE_FORMAT_4M08);
    if (limits.monoOnly || limits.no16Bits || limits.no44100Hz) host_.ApplyDeviceLimits(limits);
    if (!(caps.dwFormats & WAVE_FORMAT_2M08)) host_.ShowError(kTextIncompatibleDevice);
}

void PlayThread::Run() {
    track_.CurrentFile.clear();
    run_.Header.FillConstantParts();
    DeviceCheck();
    if (!AllocateBuffers()) {
        host_.ShowError(kTextNoMemory);
        startup_.store(Startup::Failed);
        host_.QuitProgram();
        ended_.store(true);
        return;
    }
    // The window gave code 1 before starting this thread and waits for 0.
    channel_.Take();
    Next next = Next::Idle;
    while (next != Next::End) {
        switch (next) {
            case Next::Idle: next = IdleStep(); break;
            case Next::Load: next = LoadStep(); break;
            case Next::Setup: next = RunStep(); break;
            case Next::End: break;
        }
    }
    ShowPlaying(false);
    dev_.InBuffer.reset();
    dev_.OutBuffer1.reset();
    dev_.OutBuffer2.reset();
    dev_.OutBuffer3.reset();
    ended_.store(true);
}

PlayThread::Next PlayThread::IdleStep() {
    dev_.DeviceOpen = false;
    dev_.Header1.prepared = dev_.Header2.prepared = dev_.Header3.prepared = false;
    // Play again, also after a load that failed before any run showed Stop;
    // and the end of what was asked, which callers without windows wait for.
    if (startup_.load() == Startup::Ready) {
        run_.ShownPlaying = false;
        host_.SetPlaying(false);
        host_.RunEnded();
    }
    startup_.store(Startup::Ready);
    given_.brought.reset();
    for (;;) {
        while (channel_.Load() == kCmdNone) {
            if (channel_.StopRequested()) return Next::End;
            clock_.WaitForCommand(channel_);
        }
        const std::optional<CommandRequest> c = channel_.Take();
        if (!c) continue;
        switch (c->code) {
            case kCmdPlayStop:
                if (c->intent == PlayIntent::Stop) continue;  // already stopped
                given_.brought = c->setup;
                return Next::Load;
            case kCmdSave:
                given_.SaveRequested = true;
                given_.brought = c->setup;
                return Next::Load;
            case kCmdNextTrack:
            case kCmdPreviousTrack:
                // The step changes the current file: the load asks for it.
                host_.StepTrack(c->code == kCmdNextTrack, c->from);
                if (c->sawPlaying) return Next::Load;
                continue;
            default:
                continue;  // a restart for a run that has ended
        }
    }
}

PlayThread::Next PlayThread::LoadStep() {
    // A run its command did not bring the set-up for (a step, the next
    // track) asks the window for it once, here.
    if (!given_.brought) given_.brought = host_.ReadRunSetup(true);
    const std::string name = given_.brought->file;
    const bool advanced = std::exchange(given_.Advanced, false) || given_.brought->listed;
    if (!advanced) given_.Skipped.clear();
    if (name != track_.CurrentFile) {
        const WaveReadResult r = ReadWaveFile(name);
        if (!r.ok()) return Refused(r.error, name, advanced);
        given_.Skipped.clear();
        track_.InFormat = r.info.InFormat;
        track_.DataChunk = r.info.DataChunk;
        track_.DataStart = r.info.DataStart;
        track_.Decoded = r.info.Decoded;
        track_.CurrentFile = name;
        PublishHeldFile();
    }
    const bool save = std::exchange(given_.SaveRequested, false);
    if (save) {
        given_.OutputName = given_.brought->saveTarget;
        // Never empty the file being played, whatever name it goes by.
        if (SameFile(given_.OutputName, track_.CurrentFile)) {
            host_.ShowFileError(kTextOverwriteOpenFile, given_.OutputName);
            StopPlayback();
            return Next::Idle;
        }
        run_.OutputFile = File::Create(given_.OutputName);
        run_.HeaderWritten = false;
        run_.OutputFailed = false;
        if (!run_.OutputFile.IsOpen()) {
            host_.ShowFileError(kTextCannotWriteWave, given_.OutputName);
            StopPlayback();
            return Next::Idle;
        }
    }
    return Next::Setup;
}

// A file that cannot be played. One the playlist reached at a track's end is
// gone past, and the entry after it plays; the window hears of it without a
// box each. Going round a list where nothing plays ends where it began. One
// the person chose gets its box, and a missing one leaves the playlist.
PlayThread::Next PlayThread::Refused(int textId, const std::string& name, bool advanced) {
    const bool seen = std::find(given_.Skipped.begin(), given_.Skipped.end(), name) != given_.Skipped.end();
    if (advanced && !seen) {
        host_.SkipTrack(name, textId);
        given_.Skipped.push_back(name);
        StopPlayback();
        given_.brought.reset();
        if (channel_.Load() == kCmdNone && !channel_.StopRequested() && host_.AdvanceAfterTrack()) {
            given_.Advanced = true;
            return Next::Load;
        }
        return Next::Idle;
    }
    given_.Skipped.clear();
    if (!advanced) host_.ShowFileError(textId, name);
    StopPlayback();
    if (textId == kTextErrorOpeningFile && !advanced) host_.DropUnopenableFile(name);
    return Next::Idle;
}

PlayThread::Next PlayThread::Fail(int textId) {
    // A failure to read is about the track, one to write about the output;
    // the device's name no file.
    switch (textId) {
        case kTextErrorOpeningFile:
        case kTextUnsupportedFormat: host_.ShowFileError(textId, track_.CurrentFile); break;
        case kTextCannotWriteWave:
        case kTextOutputTooLarge: host_.ShowFileError(textId, given_.OutputName); break;
        default: host_.ShowError(textId); break;
    }
    StopPlayback();
    return Next::Idle;
}

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
        } else {
            given_.setup.choice = host_.ReadOutputChoice();
        }
        choice = given_.setup.choice;
        run_.OutFormat = OutputFormatFor(track_.InFormat, choice);
        position = given_.setup.position;
        const QualityShortfall shortfall = CheckQuality(track_.InFormat, run_.OutFormat);
        if (!shortfall.Any()) break;
        if (attempt >= kQualityQuestions || !host_.AskRaiseQuality()) return false;
        host_.RaiseOutputChoice(shortfall);
    }
    return true;
}

// The run's parameters, the input from `position`, the output file's
// header placeholder and the device.
std::optional<PlayThread::Next> PlayThread::SetUpRun(const OutputChoice& choice, int position) {
    run_.Params = ComputeBlockParams(track_.InFormat, run_.OutFormat, choice.effects, choice.bandLimited);
    run_.PlainCopy = run_.Params.PlainCopy;
    run_.Saving = run_.OutputFile.IsOpen();
    run_.Playing = !run_.Saving || given_.setup.playOnSave;
    silentSave_.store(run_.Saving && !run_.Playing);
    if (run_.Saving) host_.SetWritingLabelVisible(true);

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
        run_.OutputBytes = OutputHeader::kSize;
        if (!run_.OutputFile.WriteAt(0, run_.Header.bytes.data(), OutputHeader::kSize)) {
            run_.OutputFailed = true;
            return Fail(kTextCannotWriteWave);
        }
        run_.HeaderWritten = true;
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
    host_.ShowTimeLabels();
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
            if (!run_.Playing) host_.SetSeekBarPosition(BarPositionForOffset(track_.ReadPosition, run_.DataBytes, run_.BarMax));
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
std::int32_t PlayThread::BlockAdvance() const {
    return run_.Params.BlockInBytes + (run_.Params.RateRatio > 1 ? track_.InFormat.nBlockAlign : 0);
}

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

WaveInfo PlayThread::TrackInfo() const {
    WaveInfo info;
    info.InFormat = track_.InFormat;
    info.DataChunk = track_.DataChunk;
    info.DataStart = track_.DataStart;
    info.Decoded = track_.Decoded;
    return info;
}

void PlayThread::PublishHeldFile() {
    heldDataBytes_.store(track_.DataChunk.cksize);
    heldByteRate_.store(track_.InFormat.nAvgBytesPerSec);
}

PlayThread::Next PlayThread::EndTrack() {
    host_.SetSeekBarPosition(0);
    StopPlayback();
    if (run_.Saving) return Next::Idle;
    if (auto n = TakeRunCommand(Looks::TrackEnded)) return *n;
    given_.Advanced = host_.AdvanceAfterTrack();
    return given_.Advanced ? Next::Load : Next::Idle;
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

// Codes 1, 4 and 5 end a run wherever it looks at them: stop, play a newly
// loaded file, or step to another track (chosen before the run's device and
// files are closed). The waits of a playing run also take code 2, a restart.
// When the track has ended, a restart is taken only to drop it.
std::optional<PlayThread::Next> PlayThread::TakeRunCommand(Looks looks) {
    const std::optional<CommandRequest> c = channel_.TakeIf([looks](std::int32_t code) {
        return code == kCmdPlayStop || code == kCmdNextTrack || code == kCmdPreviousTrack ||
               (code == kCmdRestart && looks != Looks::StopOrStep);
    });
    if (!c) return std::nullopt;
    switch (c->code) {
        case kCmdPlayStop:
            if (c->intent == PlayIntent::Play) return std::nullopt;  // already playing
            StopPlayback();
            if (c->intent != PlayIntent::PlayNew) return Next::Idle;
            given_.brought = c->setup;
            return Next::Load;
        case kCmdRestart: {
            if (looks == Looks::TrackEnded) return std::nullopt;
            // While the next track is queued, the run's input is already
            // that track: the one the window shows is loaded again.
            const bool joined = !track_.JoinedTrack.empty();
            StopPlayback();
            given_.brought = c->setup;
            if (!given_.brought) given_.brought = host_.ReadRunSetup(c->startPosition < 0);
            if (c->startPosition >= 0) given_.brought->position = c->startPosition;
            return joined ? Next::Load : Next::Setup;
        }
        default:
            host_.StepTrack(c->code == kCmdNextTrack, c->from);
            StopPlayback();
            given_.brought.reset();
            return Next::Load;
    }
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
    host_.ShowPosition(r.barPosition, r.seconds);
}

WaveHeader& PlayThread::SwitchBuffers(const WaveHeader* busy) {
    WaveHeader* const headers[] = {&dev_.Header1, &dev_.Header2, &dev_.Header3};
    std::uint8_t* const buffers[] = {dev_.OutBuffer1.get(), dev_.OutBuffer2.get(), dev_.OutBuffer3.get()};
    for (std::size_t i = 0; i < 3; ++i) {
        if (headers[i] == dev_.CurrentHeader || headers[i] == busy) continue;
        dev_.CurrentHeader = headers[i];
        dev_.OutBuffer = buffers[i];
        break;
    }
    return *dev_.CurrentHeader;
}

// Reads the block, its two following frames and the stereo look-ahead, with
// the band-limited filter's context on either side. Only whole frames inside
// the data chunk are read; whatever lies before or beyond the data (or
// beyond a file that shrank since) reads as silence, or as the neighbouring
// track's frames across a gapless join, so a block's samples depend only on
// where it lies in the recording, not on where the run began.
bool PlayThread::ReadBlock(std::int32_t blockBytes) {
    const std::int64_t span = BlockInputSpan(track_.InFormat, run_.Params, blockBytes);
    std::uint8_t* dst = dev_.InBuffer.get();
    std::memset(dst, IsInput8Bit(track_.InFormat) ? 128 : 0, static_cast<std::size_t>(span));
    const std::int64_t dataEnd = static_cast<std::int64_t>(track_.DataStart) + run_.DataBytes;
    run_.BlockFrame = (track_.ReadPosition - track_.DataStart) / track_.InFormat.nBlockAlign;
    const std::int64_t begin = track_.ReadPosition - static_cast<std::int64_t>(run_.Params.ContextFrames) * track_.InFormat.nBlockAlign;
    const std::int64_t from = std::max<std::int64_t>(begin, track_.DataStart);
    const std::int64_t to = std::min(begin + span, dataEnd);
    ReadNeighbours(dst, begin, span);
    if (to <= from) return true;
    return track_.InputFile->ReadAt(from, dst + (from - begin), static_cast<std::size_t>(to - from)) >= 0;
}

bool PlayThread::ProduceBlock(std::uint8_t* out, std::int32_t blockBytes) {
    if (run_.PlainCopy) {
        std::memcpy(out, dev_.InBuffer.get(), static_cast<std::size_t>(blockBytes));
        return true;
    }
    // Nothing converted means a format the reader should have refused.
    return ConvertBlock(track_.InFormat, run_.OutFormat, run_.Params, dev_.InBuffer.get(), blockBytes, out,
                        run_.BlockFrame) > 0;
}

// Appends a block, then makes the header describe the file as it now
// stands: two positioned writes, so a save cut short by a crash, even a
// kill, leaves a valid file whose header trails the data by one block at
// most.
bool PlayThread::AppendToOutput(const std::uint8_t* out, std::int32_t bytes) {
    const std::int64_t length = run_.OutputBytes + bytes;
    if (length > kMaxOutputLength) {
        run_.OutputFailed = true;
        return false;
    }
    OutputHeader current = run_.Header;
    current.Finish(static_cast<std::uint64_t>(length), run_.OutFormat);
    const bool ok = run_.OutputFile.WriteAt(run_.OutputBytes, out, static_cast<std::size_t>(bytes)) &&
                    run_.OutputFile.WriteAt(0, current.bytes.data(), OutputHeader::kSize);
    if (!ok) run_.OutputFailed = true;
    else run_.OutputBytes = length;
    return ok;
}

void PlayThread::FinishOutput() {
    if (!run_.HeaderWritten) {
        // Nothing was ever written (the quality question was answered No, or
        // the run failed before it began): leave no empty file behind.
        run_.OutputFile.Close();
        RemoveFile(given_.OutputName);
        return;
    }
    // What could be written is described by a correct header, even after a
    // failed write; a failure here is reported unless one already was.
    const std::int64_t length = run_.OutputFile.Size();
    bool ok = length >= 0;
    std::int64_t whole = length;
    if (ok) {
        // A write cut short mid-frame leaves no partial frame in the header.
        const std::int64_t data = length - static_cast<std::int64_t>(OutputHeader::kSize);
        if (data > 0 && run_.OutFormat.nBlockAlign) whole = length - data % run_.OutFormat.nBlockAlign;
        run_.Header.Finish(static_cast<std::uint64_t>(whole), run_.OutFormat);
        ok = run_.OutputFile.WriteAt(0, run_.Header.bytes.data(), OutputHeader::kSize);
    }
    ok = run_.OutputFile.Close() && ok;
    if (!ok && !run_.OutputFailed) host_.ShowFileError(kTextCannotWriteWave, given_.OutputName);
}

void PlayThread::StopPlayback() {
    if (dev_.DeviceOpen) {
        device_.Reset();
        if (dev_.Header1.prepared) device_.Unprepare(dev_.Header1);
        if (dev_.Header2.prepared) device_.Unprepare(dev_.Header2);
        if (dev_.Header3.prepared) device_.Unprepare(dev_.Header3);
        device_.Close();
        dev_.DeviceOpen = false;
        dev_.Header1.prepared = dev_.Header2.prepared = dev_.Header3.prepared = false;
    }
    track_.JoinedTrack.clear();
    track_.InputFile.reset();
    if (run_.OutputFile.IsOpen()) {
        FinishOutput();
        host_.SetWritingLabelVisible(false);
    }
    silentSave_.store(false);
}

void PlayThread::ShowPlaying(bool playing) {
    if (run_.ShownPlaying == playing) return;
    run_.ShownPlaying = playing;
    host_.SetPlaying(playing);
}

}  // namespace sonivel
