// Gapless joins: one track flows into the next on the open device.
//
// When a playing run reaches the end of its data, it reads which entry the
// windows' plan has follow it (CommandChannel::Following). If that entry
// reads, needs no question and plays in the format the device is open with,
// and no command is pending, the run's input becomes that entry and its
// first block is queued behind the last block of the track that ends: at
// once behind a short last block (in a third buffer, the other two being
// queued), paced as usual behind a full one. The device stays open. Until
// that first block starts, the window still shows the ending track:
// positions are reported for it (ShownTrack), a stop stops both, a step
// counts from it, and a restart loads it again. When the block starts, the
// entry becomes current on the windows' side (event::Advanced) as at any
// track's end, but only if the plan still leads to that very name there
// and then (a command waiting is taken first); the name decides, so an
// entry moved or a list rebuilt with the same next file still plays on. If the list now leads elsewhere (the entry
// removed, the list emptied or reordered), the device is reset at once and
// the track's end goes the usual way. Anything else that would make the
// join wrong (another format, a question, a file that cannot be read, a
// command) leaves the end as it always was.
//
// Two tracks of the same input format sound as the uncut recording: the
// frames a block reads beyond its data (the two after it, the stereo
// effect's look-ahead, the band-limited filter's context) come from the
// entry that follows, looked up as soon as the reading reaches past the end,
// and the first block of the joined track reads the ending track's last
// frames as the context before it. A track played or saved on its own, or
// followed by one of another format, reads silence there as always.

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "playthr.h"
#include "position.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {
namespace {

bool SameInput(const WAVEFORMAT& a, const WAVEFORMAT& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
           a.nBlockAlign == b.nBlockAlign;
}

// Whether a block of one track and of the other read the same frames around
// them: the same look-ahead and context.
bool SameReading(const BlockParams& a, const BlockParams& b) {
    return a.PlainCopy == b.PlainCopy && a.StereoOffset == b.StereoOffset && a.ContextFrames == b.ContextFrames &&
           a.RateRatio == b.RateRatio && a.Resampled == b.Resampled;
}

}  // namespace

// The entry `name` as the track that would follow this one on the open
// device, or nothing when the join cannot be made right.
std::optional<PlayThread::Follower> PlayThread::FindFollower(const std::optional<RunSetup>& next) {
    if (!next) return std::nullopt;
    const std::string& name = next->file;
    WaveInfo info = TrackInfo();
    if (name != track_.CurrentFile) {
        const WaveReadResult r = ReadWaveFile(name);
        // A file that cannot be read is left to the usual order, which says why.
        if (!r.ok()) return std::nullopt;
        info = r.info;
    }
    const OutputChoice& choice = next->choice;
    const WAVEFORMATEX out = OutputFormatFor(info.InFormat, choice);
    if (CheckQuality(info.InFormat, out).Any()) return std::nullopt;
    if (out.nSamplesPerSec != run_.OutFormat.nSamplesPerSec || out.nChannels != run_.OutFormat.nChannels ||
        out.wBitsPerSample != run_.OutFormat.wBitsPerSample || out.wFormatTag != run_.OutFormat.wFormatTag)
        return std::nullopt;
    if (info.DataChunk.cksize < info.InFormat.nBlockAlign) return std::nullopt;
    std::unique_ptr<ByteSource> input = OpenFrames(name, info);
    if (!input) return std::nullopt;
    BlockParams params = ComputeBlockParams(info.InFormat, run_.OutFormat, choice.effects, choice.bandLimited);
    if (static_cast<std::size_t>(BlockInputSpan(info.InFormat, params, params.BlockInBytes)) > dev_.BufferBytes)
        return std::nullopt;
    return Follower{name, info, std::move(params), std::move(input)};
}

// The entry whose first frames the reading past this track's data takes:
// one that follows on the open device and reads like this track. Looked up
// once per track, also while the window still shows the track before.
const PlayThread::Follower* PlayThread::ReadingFollower() {
    if (!run_.Playing || run_.Saving || !dev_.DeviceOpen) return nullptr;
    if (!run_.FollowerSought) {
        run_.FollowerSought = true;
        if (channel_.Load() == kCmdNone && !channel_.StopRequested())
            run_.Following = FindFollower(channel_.Following(track_.CurrentFile));
    }
    if (!run_.Following || !SameInput(run_.Following->info.InFormat, track_.InFormat) ||
        !SameReading(run_.Following->params, run_.Params))
        return nullptr;
    return &*run_.Following;
}

// Fills the parts of a block's input that lie outside the track's data:
// before it, the frames of the track this one follows; past it, the first
// frames of the one that will follow. `dst` holds the bytes from file offset
// `begin`, `span` of them, and is silence wherever nothing is filled.
void PlayThread::ReadNeighbours(std::uint8_t* dst, std::int64_t begin, std::int64_t span) {
    const std::int64_t dataStart = track_.DataStart;
    const std::int64_t dataEnd = dataStart + run_.DataBytes;
    if (begin < dataStart && !track_.Lead.empty()) {
        const auto have = std::min<std::int64_t>(dataStart - begin, static_cast<std::int64_t>(track_.Lead.size()));
        std::memcpy(dst + (dataStart - begin - have),
                    track_.Lead.data() + track_.Lead.size() - static_cast<std::size_t>(have),
                    static_cast<std::size_t>(have));
    }
    // A plain copy, or a block that reads nothing past itself that it uses
    // (no raised rate, no effect, no filter), needs no neighbour there.
    const BlockParams& p = run_.Params;
    const bool readsPast = !p.PlainCopy && (p.RateRatio > 1 || p.StereoOffset > 0 || p.ContextFrames > 0);
    if (begin + span <= dataEnd || !readsPast) return;
    const Follower* next = ReadingFollower();
    if (!next) return;
    const std::int64_t from = std::max(begin, dataEnd);
    const std::int64_t into = from - dataEnd;  // bytes into the next entry's data
    const std::int64_t count =
        std::min<std::int64_t>(begin + span - from, static_cast<std::int64_t>(next->info.DataChunk.cksize) - into);
    if (count <= 0) return;
    // A read that fails leaves silence, as past the data of any track.
    next->input->ReadAt(next->info.DataStart + into, dst + (from - begin), static_cast<std::size_t>(count));
}

// Whether the next playlist entry can be queued right behind the track
// that ends: a playing run (not a save), nothing asked of the thread, an
// entry that reads, needs no question and plays in the format the device is
// open with. Then the run's input becomes that entry; the window still shows
// the ending track until the entry's first block starts (TakeJoinedTrack).
// `shortTail`: the block queued last is shorter than a full one, so the
// entry's first block must follow at once, in the third buffer.
bool PlayThread::PrepareNextTrack(bool shortTail) {
    std::optional<Follower> follower = std::move(run_.Following);
    run_.Following.reset();
    run_.FollowerSought = false;
    if (!run_.Playing || run_.Saving || !run_.QueuedAny || !dev_.DeviceOpen) return false;
    if (channel_.Load() != kCmdNone || channel_.StopRequested()) return false;
    // The entry looked up for the reading past the end, if the playlist
    // still leads to it.
    const std::optional<RunSetup> next = channel_.Following(track_.CurrentFile);
    const std::string name = next ? next->file : std::string();
    if (!follower || follower->name != name) follower = FindFollower(next);
    if (!follower) return false;
    const WaveInfo& info = follower->info;
    const SeekPlan seek = PlanSeek(0, run_.BarMax, static_cast<std::int32_t>(info.DataChunk.cksize), info.DataStart,
                                   info.InFormat.nBlockAlign);
    if (seek.Remaining <= 0) return false;
    if (shortTail && !dev_.Header3.prepared) {
        dev_.Header3.length = static_cast<std::uint32_t>(run_.Params.FullBlockBytes);
        if (!device_.Prepare(dev_.Header3)) return false;
        dev_.Header3.prepared = true;
    }
    // What comes before the entry's data is this track's end, where the
    // two read alike.
    std::vector<std::uint8_t> lead;
    if (SameInput(info.InFormat, track_.InFormat) && SameReading(follower->params, run_.Params)) {
        const std::int64_t bytes = std::min<std::int64_t>(
            static_cast<std::int64_t>(run_.Params.ContextFrames) * track_.InFormat.nBlockAlign, run_.DataBytes);
        lead.resize(static_cast<std::size_t>(bytes));
        if (bytes > 0 && track_.InputFile->ReadAt(track_.DataStart + run_.DataBytes - bytes, lead.data(),
                                                  static_cast<std::size_t>(bytes)) != bytes)
            lead.clear();
    }

    track_.InputFile = std::move(follower->input);
    track_.JoinedFrom = track_.CurrentFile;
    track_.CurrentFile = name;
    track_.InFormat = info.InFormat;
    track_.DataChunk = info.DataChunk;
    track_.DataStart = info.DataStart;
    track_.Decoded = info.Decoded;
    track_.Lead = std::move(lead);
    run_.Params = std::move(follower->params);
    run_.PlainCopy = run_.Params.PlainCopy;
    run_.DataBytes = static_cast<std::int32_t>(info.DataChunk.cksize);
    run_.StartOffset = seek.StartOffset;
    run_.Remaining = seek.Remaining;
    track_.ReadPosition = run_.StartOffset;
    track_.JoinedTrack = name;
    track_.JoinedBase = dev_.QueuedBytes;
    return true;
}

// The joined track's first block: right behind a short tail, or paced
// like any other block behind a full one. The track becomes the window's
// when that block starts; nullopt: the run goes on with the track.
std::optional<PlayThread::Next> PlayThread::StartJoinedTrack(bool shortTail) {
    const std::int32_t advance = BlockAdvance();
    const bool full = run_.Remaining >= advance;
    const std::int32_t blockBytes = full ? run_.Params.BlockInBytes : run_.Remaining;
    const WaveHeader* tail = dev_.LastQueued;
    // Behind a short tail both other buffers may still be queued.
    WaveHeader& block = SwitchBuffers(shortTail ? dev_.BeforeLastQueued : nullptr);
    if (!ReadBlock(blockBytes)) return Fail(kTextErrorOpeningFile);
    if (!ProduceBlock(dev_.OutBuffer, blockBytes)) return Fail(kTextUnsupportedFormat);
    if (full && !shortTail) {
        track_.ReadPosition += advance;
        if (auto n = QueuePaced(block)) return n;
        run_.Remaining -= advance;
        return std::nullopt;
    }
    block.length = static_cast<std::uint32_t>(
        full ? run_.Params.FullBlockBytes : ShortBlockBytes(track_.InFormat, run_.Params, blockBytes, run_.BlockFrame));
    if (auto n = QueueBlock(block)) return n;
    if (tail) {
        if (auto n = WaitForDone(*tail)) return n;
    }
    if (auto n = BlockStarted()) return n;
    if (!full) {
        // A track shorter than a block: the next one follows it at once.
        run_.Remaining = 0;
        return std::nullopt;
    }
    track_.ReadPosition += advance;
    run_.Remaining -= advance;
    return WaitReadAhead();
}

// The joined track has started to sound: it becomes the window's current
// file, as at any track's end, if the playlist still leads to it. If it now
// leads elsewhere, the sound stops and the track's end goes the usual way.
std::optional<PlayThread::Next> PlayThread::TakeJoinedTrack() {
    // A command given before the change was given for the track the window
    // showed (a restart loads that track again): it is taken first. One
    // given in the instant after is taken at the next look; the window does
    // not take an advance reported before its command.
    for (;;) {
        if (auto n = TakeRunCommand(Looks::AlsoRestart)) return n;
        if (JoinStillLeads()) break;
        // Nothing waiting: the playlist leads elsewhere now.
        if (channel_.Load() == kCmdNone) return EndTrack();
    }
    host_.Post(event::Advanced{track_.JoinedFrom, track_.JoinedTrack, true});
    track_.JoinedTrack.clear();
    device_.NameStream(std::filesystem::path(track_.CurrentFile).filename().string());
    // As at the start of any run: the file-loaded update hid the time.
    host_.Post(event::TimeShown{});
    ShowRunTrack(track_.JoinedBase);
    PublishHeldFile();
    return std::nullopt;
}

bool PlayThread::JoinStillLeads() {
    const std::optional<RunSetup> next = channel_.Following(track_.JoinedFrom);
    return next && next->file == track_.JoinedTrack;
}

}  // namespace sonivel
