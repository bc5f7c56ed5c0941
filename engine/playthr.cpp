// Threading model
// ---------------
// Two threads take part. The windows' thread owns everything a person sees:
// the current file name, the menus, the seek bar, the labels, the playlist.
// The render thread (this file) owns the sound device, the sample buffers
// (one for input, three for output), the input file and the output file;
// nothing else touches them.
//
// They share the command channel (engine/command.h) and the stop request.
// The windows give commands; this thread takes each one whole and acts on
// it, and nothing else clears a command, so none is lost: a command given
// while another is pending replaces it (the person's last word counts), and
// one given while this thread ends a run waits for the next look. A command
// that may start a run brings the run's set-up as the window had it when the
// person acted. A Play/Stop carries what the person saw: Stop while idle and
// Play while a run goes on change nothing. A file loaded to be played (a
// hand-off, the command line) is a "play anew", which ends any run and loads
// the brought file. A restart carries the bar position it starts at. A track
// step is chosen by the window, which makes the entry current before it
// gives the step; the step brings the entry and whether the person saw a
// run going on (an idle thread then plays it: the run ended as they
// clicked). When a track ends, a command given for it decides what follows
// (a stop stops, a step steps, a play anew loads) before the playlist
// advances; a restart meant for the ended track goes with it, as does one
// reaching an idle thread.
//
// What this thread tells the windows it posts as events (engine/host.h):
// the Play/Stop look, the labels, the position, where the playlist went at a
// track's end, errors and the files the playlist went past. It never waits
// for them, so a busy window never delays the sound. What follows a track
// it reads from the plan the windows publish in the channel. It waits for
// the windows only for the person's answer to the quality question. No lock
// is held across a Host call, so a message box shown for this thread blocks
// only this thread. The Play/Stop button shows Stop from the start of a run
// until the thread is idle again, also across a restart or a change of
// track.
//
// A run's phases are in playthr_run.cpp, its blocks' reading, converting
// and writing in playthr_blocks.cpp (through save.h, which the converter
// drives too); one track flows into the next on the open device: see
// playthr_join.cpp.
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
        host_.Post(event::Failed{kTextNoSoundDevice, {}});
        return;
    }
    DeviceLimits limits;
    limits.monoOnly = caps.wChannels == 1;
    limits.no16Bits = !(caps.dwFormats & (WAVE_FORMAT_4M16 | WAVE_FORMAT_2M16));
    limits.no44100Hz = !(caps.dwFormats & WAVE_FORMAT_4M08);
    if (limits.monoOnly || limits.no16Bits || limits.no44100Hz) host_.Post(event::Limited{limits});
    if (!(caps.dwFormats & WAVE_FORMAT_2M08)) host_.Post(event::Failed{kTextIncompatibleDevice, {}});
}

void PlayThread::Run() {
    track_.CurrentFile.clear();
    DeviceCheck();
    if (!AllocateBuffers()) {
        // Both are posted before the window, which waits for the start-up,
        // can see it failed.
        host_.Post(event::Failed{kTextNoMemory, {}});
        host_.Post(event::Quit{});
        startup_.store(Startup::Failed);
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
        host_.Post(event::Playing{false});
        host_.Post(event::RunEnded{});
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
                // The window has stepped already: the entry plays when the
                // person saw a run going on (it ended as they clicked).
                if (!c->sawPlaying) continue;
                given_.brought = c->setup;
                return Next::Load;
            default:
                continue;  // a restart for a run that has ended
        }
    }
}

PlayThread::Next PlayThread::LoadStep() {
    // A run its command did not bring the set-up for (a caller that gives
    // codes alone) asks for it once, here.
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
            host_.Post(event::Failed{kTextOverwriteOpenFile, given_.OutputName});
            StopPlayback();
            return Next::Idle;
        }
        if (!run_.Output.Create(given_.OutputName)) {
            host_.Post(event::Failed{kTextCannotWriteWave, given_.OutputName});
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
        host_.Post(event::Skipped{name, textId});
        given_.Skipped.push_back(name);
        StopPlayback();
        given_.brought.reset();
        if (channel_.Load() == kCmdNone && !channel_.StopRequested()) given_.brought = AdvanceFrom(name);
        given_.Advanced = given_.brought.has_value();
        return given_.Advanced ? Next::Load : Next::Idle;
    }
    given_.Skipped.clear();
    if (!advanced) host_.Post(event::Failed{textId, name});
    StopPlayback();
    if (textId == kTextErrorOpeningFile && !advanced) host_.Post(event::Dropped{name});
    return Next::Idle;
}

PlayThread::Next PlayThread::Fail(int textId) {
    // A failure to read is about the track, one to write about the output;
    // the device's name no file.
    switch (textId) {
        case kTextErrorOpeningFile:
        case kTextUnsupportedFormat: host_.Post(event::Failed{textId, track_.CurrentFile}); break;
        case kTextCannotWriteWave:
        case kTextOutputTooLarge: host_.Post(event::Failed{textId, given_.OutputName}); break;
        default: host_.Post(event::Failed{textId, {}}); break;
    }
    StopPlayback();
    return Next::Idle;
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
    // The track the window shows: while a joined one waits to start, the
    // one before it.
    const std::string ended = track_.JoinedTrack.empty() ? track_.CurrentFile : track_.JoinedFrom;
    host_.Post(event::Position{0, std::nullopt});
    StopPlayback();
    if (run_.Saving) return Next::Idle;
    if (auto n = TakeRunCommand(Looks::TrackEnded)) return *n;
    given_.brought = AdvanceFrom(ended);
    given_.Advanced = given_.brought.has_value();
    return given_.Advanced ? Next::Load : Next::Idle;
}

std::optional<RunSetup> PlayThread::AdvanceFrom(const std::string& after) {
    std::optional<RunSetup> next = channel_.Following(after);
    host_.Post(event::Advanced{after, next ? next->file : std::string(), false});
    return next;
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
            // A restart for another file than the one read (given before
            // the window heard the track changed) loads that file again.
            return joined || given_.brought->file != track_.CurrentFile ? Next::Load : Next::Setup;
        }
        default:
            // A step: the window has made the entry current.
            StopPlayback();
            given_.brought = c->setup;
            return Next::Load;
    }
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
    if (run_.Output.IsOpen()) {
        // A failure the writes did not report yet is told now.
        if (!run_.Output.Finish(run_.OutFormat)) host_.Post(event::Failed{kTextCannotWriteWave, given_.OutputName});
        host_.Post(event::Writing{false});
    }
    silentSave_.store(false);
}

void PlayThread::ShowPlaying(bool playing) {
    if (run_.ShownPlaying == playing) return;
    run_.ShownPlaying = playing;
    host_.Post(event::Playing{playing});
}

}  // namespace sonivel
