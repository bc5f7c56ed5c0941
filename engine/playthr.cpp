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
// One track flows into the next. When a playing run reaches the end of its
// data, it asks the playlist which entry would follow (PeekNextTrack),
// without choosing it. If that entry reads, needs no question and plays in
// the format the device is open with, and no command is pending, the run's
// input becomes that entry and its first block is queued behind the last
// block of the track that ends: at once behind a short last block (in a
// third buffer, the other two being queued), paced as usual behind a full
// one. The device stays open. Until that first block starts, the window
// still shows the ending track: positions are reported for it (ShownTrack),
// a stop stops both, a step counts from it, and a restart loads it again.
// When the block starts, AdvanceToTrack makes the entry current on the
// windows' side as at any track's end, but only if the playlist still leads
// to that very name there and then; the name decides, so an entry moved or
// a list rebuilt with the same next file still plays on. If the list now
// leads elsewhere (the entry removed, the list emptied or reordered), the
// device is reset at once and the track's end goes the usual way. Anything
// else that would make the join wrong (another format, a question, a file
// that cannot be read, a command) leaves the end as it always was.
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

bool PlayThread::AllocateBuffers() {
    InBuffer = options_.allocate(kSampleBufferBytes);
    OutBuffer1 = options_.allocate(kSampleBufferBytes);
    OutBuffer2 = options_.allocate(kSampleBufferBytes);
    OutBuffer3 = options_.allocate(kSampleBufferBytes);
    return InBuffer && OutBuffer1 && OutBuffer2 && OutBuffer3;
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
    CurrentFile.clear();
    Header.FillConstantParts();
    DeviceCheck();
    if (!AllocateBuffers()) {
        host_.ShowError(kTextNoMemory);
        startup_.store(Startup::Failed);
        host_.QuitProgram();
        ended_.store(true);
        return;
    }
    Header1.data = OutBuffer1.get();
    Header2.data = OutBuffer2.get();
    Header3.data = OutBuffer3.get();

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
    InBuffer.reset();
    OutBuffer1.reset();
    OutBuffer2.reset();
    OutBuffer3.reset();
    ended_.store(true);
}

PlayThread::Next PlayThread::IdleStep() {
    DeviceOpen = false;
    Header1.prepared = Header2.prepared = Header3.prepared = false;
    // Play again, also after a load that failed before any run showed Stop;
    // and the end of what was asked, which callers without windows wait for.
    if (startup_.load() == Startup::Ready) {
        ShownPlaying = false;
        host_.SetPlaying(false);
        host_.RunEnded();
    }
    startup_.store(Startup::Ready);
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
                return Next::Load;
            case kCmdSave:
                SaveRequested = true;
                return Next::Load;
            case kCmdNextTrack:
            case kCmdPreviousTrack:
                host_.StepTrack(c->code == kCmdNextTrack, c->from);
                if (c->sawPlaying) return Next::Load;
                continue;
            default:
                continue;  // a restart for a run that has ended
        }
    }
}

PlayThread::Next PlayThread::LoadStep() {
    const std::string name = host_.CurrentFileName();
    if (name != CurrentFile) {
        const WaveReadResult r = ReadWaveFile(name);
        if (!r.ok()) {
            host_.ShowError(r.error);
            StopPlayback();
            if (r.error == kTextErrorOpeningFile) host_.DropUnopenableFile(name);
            return Next::Idle;
        }
        InFormat = r.info.InFormat;
        DataChunk = r.info.DataChunk;
        DataStart = r.info.DataStart;
        CurrentFile = name;
        PublishHeldFile();
    }
    const bool save = std::exchange(SaveRequested, false);
    if (save) {
        OutputName = host_.SaveTargetName();
        // Never empty the file being played, whatever name it goes by.
        if (SameFile(OutputName, CurrentFile)) {
            host_.ShowError(kTextOverwriteOpenFile);
            StopPlayback();
            return Next::Idle;
        }
        OutputFile = File::Create(OutputName);
        HeaderWritten = false;
        OutputFailed = false;
        if (!OutputFile.IsOpen()) {
            host_.ShowError(kTextCannotWriteWave);
            StopPlayback();
            return Next::Idle;
        }
    }
    return Next::Setup;
}

PlayThread::Next PlayThread::Fail(int textId) {
    host_.ShowError(textId);
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

// Reads the output menus; a Yes to the quality question reads them again
// raised. The reader only accepts formats that raising can reach, so this
// ends after one raise; the bound is only a guard. False: no run.
bool PlayThread::ChooseOutput(OutputChoice& choice, int& position) {
    for (int attempt = 0;; ++attempt) {
        FirstBlock = true;
        LastWrite = 0;
        PlainCopy = false;
        ShowPlaying(true);
        OutBuffer = OutBuffer2.get();
        CurrentHeader = &Header2;
        setup_ = host_.ReadRunSetup(RestartPosition < 0);
        choice = setup_.choice;
        OutFormat = SelectOutputFormat(choice);
        position = RestartPosition >= 0 ? RestartPosition : setup_.position;
        const QualityShortfall shortfall = CheckQuality(InFormat, OutFormat);
        if (!shortfall.Any()) break;
        if (attempt >= kQualityQuestions || !host_.AskRaiseQuality()) return false;
        host_.RaiseOutputChoice(shortfall);
    }
    RestartPosition = -1;
    return true;
}

// The run's parameters, the input from `position`, the output file's
// header placeholder and the device.
std::optional<PlayThread::Next> PlayThread::SetUpRun(const OutputChoice& choice, int position) {
    Params = ComputeBlockParams(InFormat, OutFormat, choice.effects, choice.bandLimited);
    PlainCopy = Params.PlainCopy;
    Saving = OutputFile.IsOpen();
    Playing = !Saving || setup_.playOnSave;
    silentSave_.store(Saving && !Playing);
    if (Saving) host_.SetWritingLabelVisible(true);

    DataBytes = static_cast<std::int32_t>(DataChunk.cksize);
    InputFile = File::OpenRead(CurrentFile);
    if (!InputFile.IsOpen()) {
        // The file went away since its format was read: read it afresh next
        // time, which also takes it off the playlist if it is still missing.
        CurrentFile.clear();
        return Fail(kTextErrorOpeningFile);
    }
    BarMax = setup_.barMax;
    const SeekPlan seek = PlanSeek(position, BarMax, DataBytes, DataStart, InFormat.nBlockAlign);
    StartOffset = seek.StartOffset;
    Remaining = seek.Remaining;
    ReadPosition = StartOffset;
    QueuedAny = false;
    JoinedTrack.clear();
    ShowRunTrack(0);

    if (Saving) {
        // A wave file holds at most 4 GiB: an output that cannot fit is
        // refused before its first byte, not cut off after hours of writing.
        if (!OutputFitsWave(InFormat, Params, Remaining)) return Fail(kTextOutputTooLarge);
        OutputBytes = OutputHeader::kSize;
        if (!OutputFile.WriteAt(0, Header.bytes.data(), OutputHeader::kSize)) {
            OutputFailed = true;
            return Fail(kTextCannotWriteWave);
        }
        HeaderWritten = true;
    }
    if (Playing) {
        if (auto n = PrepareDevice()) return n;
    }
    host_.ShowTimeLabels();
    return std::nullopt;
}

std::optional<PlayThread::Next> PlayThread::PrepareDevice() {
    if (!device_.Open(OutFormat)) return Fail(kTextCannotOpenDevice);
    DeviceOpen = true;
    QueuedBytes = 0;
    LastQueued = nullptr;
    Header1.length = Header2.length = static_cast<std::uint32_t>(Params.FullBlockBytes);
    if (!device_.Prepare(Header1)) return Fail(kTextCannotPrepareHeader);
    Header1.prepared = true;
    if (!device_.Prepare(Header2)) return Fail(kTextCannotPrepareHeader);
    Header2.prepared = true;
    return std::nullopt;
}

// Full blocks: one second each, and one frame more when the rate is raised
// (that frame is the interpolation target and starts the next). A block is
// full only when the data holds all the frames it advances over; exactly
// one second left with a raised rate is a last block, so no frame past the
// data is ever written.
std::optional<PlayThread::Next> PlayThread::PlayFullBlocks() {
    const std::int32_t advance = BlockAdvance();
    while (Remaining >= advance) {
        if (auto n = TakeRunCommand(Looks::StopOrStep)) return n;
        // A silent save has no waits to notice a stop request in; it ends at
        // a block boundary with its file finished.
        if (!Playing && channel_.StopRequested()) {
            StopPlayback();
            return Next::End;
        }
        SwitchBuffers();
        if (!ReadBlock(Params.BlockInBytes)) return Fail(kTextErrorOpeningFile);
        ReadPosition += advance;
        if (!ProduceBlock(Params.BlockInBytes)) return Fail(kTextUnsupportedFormat);
        if (Saving) {
            if (!AppendToOutput(Params.FullBlockBytes)) return Fail(kTextCannotWriteWave);
            if (!Playing) host_.SetSeekBarPosition(BarPositionForOffset(ReadPosition, DataBytes, BarMax));
        }
        if (Playing) {
            if (auto n = QueuePaced()) return n;
        }
        Remaining -= advance;
    }
    return std::nullopt;
}

// The pacing rule: the block is queued 850 ms after the previous one
// started (at once for the first), then waits for the other buffer to be
// done, and the next block is made from 300 ms after this one started.
std::optional<PlayThread::Next> PlayThread::QueuePaced() {
    if (!FirstBlock) {
        const std::uint32_t last = LastWrite;
        if (auto n = WaitUntil([&] { return clock_.TickCount() - last >= kNextBlockAfterMs; },
                               last + kNextBlockAfterMs))
            return n;
    }
    CurrentHeader->length = static_cast<std::uint32_t>(Params.FullBlockBytes);
    const WaveHeader* previous = LastQueued;
    if (auto n = QueueBlock()) return n;
    if (!FirstBlock && previous) {
        if (auto n = WaitForDone(*previous)) return n;
    }
    if (auto n = BlockStarted()) return n;
    return WaitReadAhead();
}

// The block queued last has started to play: the pacing counts from here,
// and the first block of a joined track makes that track the window's.
std::optional<PlayThread::Next> PlayThread::BlockStarted() {
    LastWrite = clock_.TickCount();
    FirstBlock = false;
    if (!JoinedTrack.empty()) return TakeJoinedTrack();
    return std::nullopt;
}

// The next block is read and converted from 300 ms after this one started.
std::optional<PlayThread::Next> PlayThread::WaitReadAhead() {
    const std::uint32_t started = LastWrite;
    return WaitUntil([&] { return clock_.TickCount() - started >= kReadAheadAfterMs; },
                     started + kReadAheadAfterMs);
}

// Input bytes a full block advances over: one second, and one frame more
// when the rate is raised.
std::int32_t PlayThread::BlockAdvance() const {
    return Params.BlockInBytes + (Params.RateRatio > 1 ? InFormat.nBlockAlign : 0);
}

// Queues the current header behind those already queued.
std::optional<PlayThread::Next> PlayThread::QueueBlock() {
    if (!device_.Write(*CurrentHeader)) return Fail(kTextCannotOpenDevice);
    QueuedAny = true;
    QueuedBytes += CurrentHeader->length;
    BeforeLastQueued = LastQueued;
    LastQueued = CurrentHeader;
    LastQueuedFull = CurrentHeader->length == static_cast<std::uint32_t>(Params.FullBlockBytes);
    return std::nullopt;
}

// The last, shorter block, queued at once; then the end of the track: the
// next track queued behind it on the open device where that can be done
// (nullopt: the run goes on with it), else the end as it always was.
std::optional<PlayThread::Next> PlayThread::FinishRun() {
    if (Remaining > 0) {
        SwitchBuffers();
        const std::int32_t outBytes = Remaining * Params.ExpansionFactor;
        if (!ReadBlock(Remaining)) return Fail(kTextErrorOpeningFile);
        if (!ProduceBlock(Remaining)) return Fail(kTextUnsupportedFormat);
        if (Saving && !AppendToOutput(outBytes)) return Fail(kTextCannotWriteWave);
        if (Playing) {
            CurrentHeader->length = static_cast<std::uint32_t>(outBytes);
            if (auto n = QueueBlock()) return n;
        }
        Remaining = 0;
    }
    const bool shortTail = !LastQueuedFull;
    if (PrepareNextTrack(shortTail)) return StartJoinedTrack(shortTail);
    if (Playing && QueuedAny) {
        if (auto n = WaitForDone(*CurrentHeader)) return n;
    }
    return EndTrack();
}

// Whether the next playlist entry can be queued right behind the track
// that ends: a playing run (not a save), nothing asked of the thread, an
// entry that reads, needs no question and plays in the format the device is
// open with. Then the run's input becomes that entry; the window still shows
// the ending track until the entry's first block starts (TakeJoinedTrack).
// `shortTail`: the block queued last is shorter than a full one, so the
// entry's first block must follow at once, in the third buffer.
bool PlayThread::PrepareNextTrack(bool shortTail) {
    if (!Playing || Saving || !QueuedAny || !DeviceOpen) return false;
    if (channel_.Load() != kCmdNone || channel_.StopRequested()) return false;
    const std::string name = host_.PeekNextTrack();
    if (name.empty()) return false;
    WAVEFORMAT in = InFormat;
    MMCKINFO chunk = DataChunk;
    std::int32_t start = DataStart;
    if (name != CurrentFile) {
        const WaveReadResult r = ReadWaveFile(name);
        // A file that cannot be read is left to the usual order, which says why.
        if (!r.ok()) return false;
        in = r.info.InFormat;
        chunk = r.info.DataChunk;
        start = r.info.DataStart;
    }
    const OutputChoice choice = host_.ReadOutputChoice();
    const WAVEFORMATEX out = SelectOutputFormat(choice);
    if (CheckQuality(in, out).Any()) return false;
    if (out.nSamplesPerSec != OutFormat.nSamplesPerSec || out.nChannels != OutFormat.nChannels ||
        out.wBitsPerSample != OutFormat.wBitsPerSample)
        return false;
    const auto dataBytes = static_cast<std::int32_t>(chunk.cksize);
    const SeekPlan seek = PlanSeek(0, BarMax, dataBytes, start, in.nBlockAlign);
    if (seek.Remaining <= 0) return false;
    File input = File::OpenRead(name);
    if (!input.IsOpen()) return false;
    if (shortTail && !Header3.prepared) {
        Header3.length = static_cast<std::uint32_t>(Params.FullBlockBytes);
        if (!device_.Prepare(Header3)) return false;
        Header3.prepared = true;
    }

    InputFile = std::move(input);
    CurrentFile = name;
    InFormat = in;
    DataChunk = chunk;
    DataStart = start;
    Params = ComputeBlockParams(InFormat, OutFormat, choice.effects, choice.bandLimited);
    PlainCopy = Params.PlainCopy;
    DataBytes = dataBytes;
    StartOffset = seek.StartOffset;
    Remaining = seek.Remaining;
    ReadPosition = StartOffset;
    JoinedTrack = name;
    JoinedBase = QueuedBytes;
    return true;
}

// The joined track's first block: right behind a short tail, or paced
// like any other block behind a full one. The track becomes the window's
// when that block starts; nullopt: the run goes on with the track.
std::optional<PlayThread::Next> PlayThread::StartJoinedTrack(bool shortTail) {
    const std::int32_t advance = BlockAdvance();
    const bool full = Remaining >= advance;
    const std::int32_t blockBytes = full ? Params.BlockInBytes : Remaining;
    const WaveHeader* tail = LastQueued;
    // Behind a short tail both other buffers may still be queued.
    SwitchBuffers(shortTail ? BeforeLastQueued : nullptr);
    if (!ReadBlock(blockBytes)) return Fail(kTextErrorOpeningFile);
    if (!ProduceBlock(blockBytes)) return Fail(kTextUnsupportedFormat);
    if (full && !shortTail) {
        ReadPosition += advance;
        if (auto n = QueuePaced()) return n;
        Remaining -= advance;
        return std::nullopt;
    }
    CurrentHeader->length =
        static_cast<std::uint32_t>(full ? Params.FullBlockBytes : blockBytes * Params.ExpansionFactor);
    if (auto n = QueueBlock()) return n;
    if (tail) {
        if (auto n = WaitForDone(*tail)) return n;
    }
    if (auto n = BlockStarted()) return n;
    if (!full) {
        // A track shorter than a block: the next one follows it at once.
        Remaining = 0;
        return std::nullopt;
    }
    ReadPosition += advance;
    Remaining -= advance;
    return WaitReadAhead();
}

// The joined track has started to sound: it becomes the window's current
// file, as at any track's end, if the playlist still leads to it. If it now
// leads elsewhere, the sound stops and the track's end goes the usual way.
std::optional<PlayThread::Next> PlayThread::TakeJoinedTrack() {
    // A command given before the change was given for the track the window
    // showed (a restart loads that track again); the window refuses the
    // change while one waits, so one given in the instant is taken too.
    for (;;) {
        if (auto n = TakeRunCommand(Looks::AlsoRestart)) return n;
        if (host_.AdvanceToTrack(JoinedTrack)) break;
        // Refused with nothing waiting: the playlist leads elsewhere now.
        if (channel_.Load() == kCmdNone) return EndTrack();
    }
    JoinedTrack.clear();
    // As at the start of any run: the file-loaded update hid the time.
    host_.ShowTimeLabels();
    ShowRunTrack(JoinedBase);
    PublishHeldFile();
    return std::nullopt;
}

void PlayThread::ShowRunTrack(std::uint64_t base) {
    Shown = ShownTrack{base, Params.ExpansionFactor, StartOffset, DataBytes, InFormat.nAvgBytesPerSec};
}

void PlayThread::PublishHeldFile() {
    heldDataBytes_.store(DataChunk.cksize);
    heldByteRate_.store(InFormat.nAvgBytesPerSec);
}

PlayThread::Next PlayThread::EndTrack() {
    host_.SetSeekBarPosition(0);
    StopPlayback();
    if (Saving) return Next::Idle;
    if (auto n = TakeRunCommand(Looks::TrackEnded)) return *n;
    return host_.AdvanceAfterTrack() ? Next::Load : Next::Idle;
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
    const std::uint32_t bytesPerSecond = OutFormat.nAvgBytesPerSec ? OutFormat.nAvgBytesPerSec : 1;
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
            return c->intent == PlayIntent::PlayNew ? Next::Load : Next::Idle;
        case kCmdRestart: {
            if (looks == Looks::TrackEnded) return std::nullopt;
            // While the next track is queued, the run's input is already
            // that track: the one the window shows is loaded again.
            const bool joined = !JoinedTrack.empty();
            StopPlayback();
            RestartPosition = c->startPosition;
            return joined ? Next::Load : Next::Setup;
        }
        default:
            host_.StepTrack(c->code == kCmdNextTrack, c->from);
            StopPlayback();
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
    if (DeviceOpen && device_.GetPosition(played) && played % 100 == 0) ReportPosition(played);
    return std::nullopt;
}

void PlayThread::ReportPosition(std::uint32_t playedBytes) {
    const std::uint64_t played = playedBytes > Shown.base ? playedBytes - Shown.base : 0;
    const PositionReport r = MapDevicePosition(static_cast<std::uint32_t>(played), Shown.expansionFactor,
                                               Shown.startOffset, Shown.dataBytes, Shown.byteRate, BarMax);
    host_.ShowPosition(r.barPosition, r.seconds);
}

void PlayThread::SwitchBuffers(const WaveHeader* busy) {
    WaveHeader* const headers[] = {&Header1, &Header2, &Header3};
    std::uint8_t* const buffers[] = {OutBuffer1.get(), OutBuffer2.get(), OutBuffer3.get()};
    for (std::size_t i = 0; i < 3; ++i) {
        if (headers[i] == CurrentHeader || headers[i] == busy) continue;
        CurrentHeader = headers[i];
        OutBuffer = buffers[i];
        return;
    }
}

// Reads the block, its two following frames and the stereo look-ahead, with
// the band-limited filter's context on either side. Only whole frames inside
// the data chunk are read; whatever lies before or beyond the data (or
// beyond a file that shrank since) reads as silence, so a block's samples
// depend only on where it lies in the file, not on where the run began.
bool PlayThread::ReadBlock(std::int32_t blockBytes) {
    const std::int64_t span = BlockInputSpan(InFormat, Params, blockBytes);
    std::uint8_t* dst = InBuffer.get();
    std::memset(dst, IsInput8Bit(InFormat) ? 128 : 0, static_cast<std::size_t>(span));
    const std::int64_t dataEnd = static_cast<std::int64_t>(DataStart) + DataBytes;
    const std::int64_t begin = ReadPosition - static_cast<std::int64_t>(Params.ContextFrames) * InFormat.nBlockAlign;
    const std::int64_t from = std::max<std::int64_t>(begin, DataStart);
    const std::int64_t to = std::min(begin + span, dataEnd);
    if (to <= from) return true;
    return InputFile.ReadAt(from, dst + (from - begin), static_cast<std::size_t>(to - from)) >= 0;
}

bool PlayThread::ProduceBlock(std::int32_t blockBytes) {
    if (PlainCopy) {
        std::memcpy(OutBuffer, InBuffer.get(), static_cast<std::size_t>(blockBytes));
        return true;
    }
    // Nothing converted means a format the reader should have refused.
    return ConvertBlock(InFormat, OutFormat, Params, InBuffer.get(), blockBytes, OutBuffer) > 0;
}

// Appends a block, then makes the header describe the file as it now
// stands: two positioned writes, so a save cut short by a crash, even a
// kill, leaves a valid file whose header trails the data by one block at
// most.
bool PlayThread::AppendToOutput(std::int32_t bytes) {
    const std::int64_t length = OutputBytes + bytes;
    if (length > kMaxOutputLength) {
        OutputFailed = true;
        return false;
    }
    OutputHeader current = Header;
    current.Finish(static_cast<std::uint64_t>(length), OutFormat);
    const bool ok = OutputFile.WriteAt(OutputBytes, OutBuffer, static_cast<std::size_t>(bytes)) &&
                    OutputFile.WriteAt(0, current.bytes.data(), OutputHeader::kSize);
    if (!ok) OutputFailed = true;
    else OutputBytes = length;
    return ok;
}

void PlayThread::FinishOutput() {
    if (!HeaderWritten) {
        // Nothing was ever written (the quality question was answered No, or
        // the run failed before it began): leave no empty file behind.
        OutputFile.Close();
        RemoveFile(OutputName);
        return;
    }
    // What could be written is described by a correct header, even after a
    // failed write; a failure here is reported unless one already was.
    const std::int64_t length = OutputFile.Size();
    bool ok = length >= 0;
    std::int64_t whole = length;
    if (ok) {
        // A write cut short mid-frame leaves no partial frame in the header.
        const std::int64_t data = length - static_cast<std::int64_t>(OutputHeader::kSize);
        if (data > 0 && OutFormat.nBlockAlign) whole = length - data % OutFormat.nBlockAlign;
        Header.Finish(static_cast<std::uint64_t>(whole), OutFormat);
        ok = OutputFile.WriteAt(0, Header.bytes.data(), OutputHeader::kSize);
    }
    ok = OutputFile.Close() && ok;
    if (!ok && !OutputFailed) host_.ShowError(kTextCannotWriteWave);
}

void PlayThread::StopPlayback() {
    if (DeviceOpen) {
        device_.Reset();
        if (Header1.prepared) device_.Unprepare(Header1);
        if (Header2.prepared) device_.Unprepare(Header2);
        if (Header3.prepared) device_.Unprepare(Header3);
        device_.Close();
        DeviceOpen = false;
        Header1.prepared = Header2.prepared = Header3.prepared = false;
    }
    JoinedTrack.clear();
    if (InputFile.IsOpen()) InputFile.Close();
    if (OutputFile.IsOpen()) {
        FinishOutput();
        host_.SetWritingLabelVisible(false);
    }
    silentSave_.store(false);
}

void PlayThread::ShowPlaying(bool playing) {
    if (ShownPlaying == playing) return;
    ShownPlaying = playing;
    host_.SetPlaying(playing);
}

}  // namespace sonivel
