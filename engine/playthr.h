// The render thread: reads the current file block by block, converts each
// second, plays it through the sound device, the output buffers taken in
// turn, and, when saving, appends it to the output file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "clock.h"
#include "command.h"
#include "convert.h"
#include "device.h"
#include "fileio.h"
#include "host.h"
#include "position.h"
#include "save.h"
#include "wavefmt.h"
#include "waveread.h"

namespace sonivel {

struct PlayThreadOptions {
    // Longest sleep between two polls of a run. A run otherwise sleeps until
    // something happens (a command, a stop request, a block done on the
    // device, a pacing deadline); this bound is what keeps the seek bar and
    // the time moving, about ten times a second. The position is reported
    // only when the byte count read is a multiple of 100; the sound devices
    // count in steps of 100 bytes, so each of these polls reports.
    std::uint32_t displayIntervalMs = 100;
    // A queued block that is not done this long after it should have been
    // means the device stopped playing: the run ends.
    std::uint32_t deviceTimeoutMs = 4000;
    // Allocates one sample buffer; tests make it fail.
    std::function<std::unique_ptr<std::uint8_t[]>(std::size_t)> allocate;
};

class PlayThread {
public:
    enum class Startup { Pending, Ready, Failed };

    PlayThread(Host& host, SoundDevice& device, Clock& clock, CommandChannel& channel,
               PlayThreadOptions options = {});
    ~PlayThread();
    PlayThread(const PlayThread&) = delete;
    PlayThread& operator=(const PlayThread&) = delete;

    // Runs Run on a thread of its own.
    void Start();
    // The thread body; returns when a stop was requested (or at start-up when
    // the buffers cannot be had). Tests call it directly.
    void Run();
    // Waits for the thread started by Start to end.
    void Join();

    Startup StartupState() const { return startup_.load(); }
    // For a caller without windows to serve: waits until the device check
    // and the buffers are done; true when the thread is ready for commands.
    bool WaitUntilStarted();
    bool Ended() const { return ended_.load(); }
    // True while a save run that does not play is under way.
    bool SilentSaveRunning() const { return silentSave_.load(); }
    // The held file's data size and byte rate, read by the seek-bar handler
    // on the windows' thread.
    std::uint32_t HeldDataBytes() const { return heldDataBytes_.load(); }
    std::uint32_t HeldByteRate() const { return heldByteRate_.load(); }

private:
    enum class Next { Idle, Load, Setup, End };

    bool AllocateBuffers(std::size_t bytes = kSampleBufferBytes);
    void DeviceCheck();
    Next IdleStep();
    Next LoadStep();
    Next RunStep();
    bool ChooseOutput(OutputChoice& choice, int& position);
    std::optional<Next> SetUpRun(const OutputChoice& choice, int position);
    std::optional<Next> PrepareDevice();
    std::optional<Next> PlayFullBlocks();
    std::optional<Next> QueuePaced(WaveHeader& block);
    std::optional<Next> QueueBlock(WaveHeader& block);
    std::optional<Next> BlockStarted();
    std::optional<Next> WaitReadAhead();
    std::int32_t BlockAdvance() const;
    // The held track and the run's conversion of it.
    TrackBlocks Blocks() const;
    // The position reports follow the run's track from `base` device bytes.
    void ShowRunTrack(std::uint64_t base);
    // The held file's size and rate, for the seek-bar handler.
    void PublishHeldFile();
    // The held file as the reader described it.
    WaveInfo TrackInfo() const;
    std::optional<Next> FinishRun();
    Next EndTrack();
    bool PrepareNextTrack(bool shortTail);
    // An entry that can follow the track on the open device.
    struct Follower {
        std::string name;
        WaveInfo info;
        BlockParams params;
        std::unique_ptr<ByteSource> input;
    };
    std::optional<Follower> FindFollower(const std::optional<RunSetup>& next);
    // The track `after` ended: the set-up of the entry the plan has follow
    // it, told to the window (nothing follows: told too).
    std::optional<RunSetup> AdvanceFrom(const std::string& after);
    // A joined track may become the window's: the plan still has it follow
    // the track the window shows. (A command given meanwhile was given for
    // that track: the window takes no advance reported before it, and the
    // thread carries it out next.)
    bool JoinStillLeads();
    const Follower* ReadingFollower();
    void ReadNeighbours(std::uint8_t* dst, std::int64_t begin, std::int64_t span);
    std::optional<Next> StartJoinedTrack(bool shortTail);
    std::optional<Next> TakeJoinedTrack();
    std::optional<Next> Poll();
    // Which codes a place in a run looks at.
    enum class Looks { StopOrStep, AlsoRestart, TrackEnded };
    std::optional<Next> TakeRunCommand(Looks looks);
    void ShowPlaying(bool playing);
    template <class Condition>
    std::optional<Next> WaitUntil(Condition done, std::uint32_t deadline);
    std::optional<Next> WaitForDone(const WaveHeader& header);
    Next Fail(int textId);
    Next Refused(int textId, const std::string& name, bool advanced);
    // Moves to a buffer that is neither the current one nor `busy`.
    // The next block's header (the current one from here on; `OutBuffer`
    // is its samples): not the one just filled, nor `busy`.
    WaveHeader& SwitchBuffers(const WaveHeader* busy = nullptr);
    bool ReadBlock(std::int32_t blockBytes);
    bool ProduceBlock(std::uint8_t* out, std::int32_t blockBytes);
    bool AppendToOutput(const std::uint8_t* out, std::int32_t bytes);
    void ReportPosition(std::uint32_t playedBytes);
    void StopPlayback();

    Host& host_;
    SoundDevice& device_;
    Clock& clock_;
    CommandChannel& channel_;
    PlayThreadOptions options_;
    std::thread thread_;

    std::atomic<Startup> startup_{Startup::Pending};
    std::atomic<bool> ended_{false};
    std::atomic<bool> silentSave_{false};
    std::atomic<std::uint32_t> heldDataBytes_{0};
    std::atomic<std::uint32_t> heldByteRate_{0};

    // Owned by the render thread alone from here on, in four parts.

    // What the window gave: the command that started the run, and what the
    // run is set up with.
    struct Given {
        // As the command brought it (or as the window answered at the
        // load), until the run's set-up takes it.
        std::optional<RunSetup> brought;
        RunSetup setup;              // what the run was set up with
        bool SaveRequested = false;  // the command that started loading was a save
        std::string OutputName;      // the save target
        // The load comes from the playlist at a track's end, and the entries
        // it went past since, one after the other, because they cannot play.
        bool Advanced = false;
        std::vector<std::string> Skipped;
    } given_;

    // The file being read: its format and data, and where the next block
    // comes from.
    struct Track {
        std::string CurrentFile;
        WAVEFORMAT InFormat;
        MMCKINFO DataChunk;
        std::int32_t DataStart = 0;
        bool Decoded = false;  // the frames come from the decoder
        std::unique_ptr<ByteSource> InputFile;
        std::int64_t ReadPosition = 0;  // file offset of the next block
        // Not empty while the next playlist entry is queued behind the track
        // the window shows: the track read is already that entry.
        std::string JoinedTrack;
        std::string JoinedFrom;        // the track the window shows meanwhile
        std::uint64_t JoinedBase = 0;  // its first byte on the device
        // The last frames of the track this one follows gaplessly, read as
        // the frames before its data; empty otherwise.
        std::vector<std::uint8_t> Lead;
    } track_;

    // What the run computes: the output, the conversion, the part of the
    // data left, the output file, the pacing and what the window was told.
    struct RunState {
        WAVEFORMATEX OutFormat;
        BlockParams Params;
        bool PlainCopy = false;
        bool Playing = false;
        bool Saving = false;     // this run writes the output file
        bool QueuedAny = false;  // this run has queued a block on the device
        std::int32_t StartOffset = 0;
        std::int32_t DataBytes = 0;
        std::int64_t BlockFrame = 0;  // the first frame of the block read last, from the data's start
        std::int32_t Remaining = 0;
        int BarMax = kSeekBarMax;
        WaveOutput Output;
        std::uint32_t LastWrite = 0;
        bool FirstBlock = true;
        bool ShownPlaying = false;  // what the Play/Stop button shows
        // The track the window shows, for the position it reports: its output
        // starts `base` bytes into what the device has played.
        struct ShownTrack {
            std::uint64_t base = 0;
            std::int32_t expansionFactor = 1;  // output bytes per input byte, over ...
            std::int32_t expansionDivisor = 1;  // ... this
            std::int32_t startOffset = 0;
            std::int32_t dataBytes = 0;
            std::uint32_t byteRate = 0;
        };
        ShownTrack Shown;
        // The entry after this track, looked up once the reading reaches
        // past the data's end.
        std::optional<Follower> Following;
        bool FollowerSought = false;
    } run_;

    // What the device holds: the sample buffers and their headers, what was
    // queued, and whether it is open.
    struct DeviceSide {
        std::unique_ptr<std::uint8_t[]> InBuffer;
        std::unique_ptr<std::uint8_t[]> OutBuffer1;
        std::unique_ptr<std::uint8_t[]> OutBuffer2;
        // Used only where one track flows into the next behind a short last
        // block: the two others are then both queued.
        std::unique_ptr<std::uint8_t[]> OutBuffer3;
        std::size_t BufferBytes = 0;  // the size of each of the four
        std::uint8_t* OutBuffer = nullptr;
        WaveHeader Header1;
        WaveHeader Header2;
        WaveHeader Header3;
        WaveHeader* CurrentHeader = nullptr;
        const WaveHeader* LastQueued = nullptr;  // the header queued most recently
        const WaveHeader* BeforeLastQueued = nullptr;
        bool LastQueuedFull = false;   // ... and it holds a full block
        std::uint64_t QueuedBytes = 0;  // bytes queued since the device opened
        bool DeviceOpen = false;
    } dev_;
};

}  // namespace sonivel
