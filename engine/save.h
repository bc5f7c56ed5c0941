// Reading, converting and writing a run's blocks: one piece of code with two
// drivers. The render thread drives it paced, a block a second, while it
// plays or saves; the converter drives it back to back through SaveFile,
// with no sound device and no thread. Both make the same bytes because they
// run the same code.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert.h"
#include "fileio.h"
#include "wavefmt.h"

namespace sonivel {

// The track a run reads and the conversion it makes of it.
struct TrackBlocks {
    WAVEFORMAT in{};
    std::int32_t dataStart = 0;  // file offset of the first sample byte
    std::int32_t dataBytes = 0;
    BlockParams params;
    WAVEFORMATEX out{};

    // Input bytes a full block advances over: one second, and one frame
    // more when the rate is raised (that frame is the interpolation target
    // and starts the next block).
    std::int32_t Advance() const;
};

// Fills the parts of a block's input that lie outside the track's data:
// `dst` holds the `span` bytes from file offset `begin`.
using NeighbourFrames = std::function<void(std::uint8_t* dst, std::int64_t begin, std::int64_t span)>;

// Reads the block at file offset `readPosition`, its two following frames
// and the stereo look-ahead, with the band-limited filter's context on
// either side, into `dst`. Only whole frames inside the data are read; what
// lies before or beyond it (or beyond a file that shrank since) is silence,
// or what `neighbours` puts there, so a block's samples depend only on where
// it lies in the recording. `blockFrame` gets the block's first frame,
// counted from the data's start. False when the read fails.
bool ReadBlockInput(ByteSource& input, const TrackBlocks& track, std::int64_t readPosition, std::int32_t blockBytes,
                    std::uint8_t* dst, std::int64_t& blockFrame, const NeighbourFrames& neighbours = {});
// The output of a block ReadBlockInput read. False: nothing converted (a
// format the reader should have refused).
bool MakeBlock(const TrackBlocks& track, const std::uint8_t* in, std::int32_t blockBytes, std::uint8_t* out,
               std::int64_t blockFrame);

// The output file of a save. Each block is appended and the header then
// made to describe the file as it stands: two positioned writes, so a save
// cut short by a crash, even a kill, leaves a valid file whose header trails
// the data by one block at most.
class WaveOutput {
public:
    // Creates or empties `name`; false when it cannot be.
    bool Create(const std::string& name);
    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Name() const { return name_; }
    // The placeholder header, written before the first block.
    bool Begin();
    bool Append(const std::uint8_t* data, std::int32_t bytes, const WAVEFORMATEX& format);
    // Closes the file. One nothing was written to is removed; otherwise the
    // header describes the whole frames written, also after a failed write.
    // False when this finds a failure that none of the calls before did
    // (one still to be told).
    bool Finish(const WAVEFORMATEX& format);

private:
    File file_;
    std::string name_;
    OutputHeader header_;
    std::int64_t bytes_ = 0;  // the file's length, header included
    bool begun_ = false;
    bool failed_ = false;
};

// One conversion, as the command line gives it: everything the save needs,
// fixed before it starts.
struct ConversionRun {
    std::string input;
    std::string output;
    OutputChoice choice;
    int startPosition = 0;      // where in the file to begin, 0..1000
    bool raiseIfBelow = false;  // an output below the file's own format is raised (--yes), not refused
};

struct SaveResult {
    std::vector<int> texts;  // what went wrong, as the window would say it, in order
    bool stopped = false;    // `stop` was raised: the file holds the blocks written before
    bool ok() const { return texts.empty() && !stopped; }
};

// Saves `run.input` converted to `run.output`, as a save run of the window
// writes it. `stop`, when raised, ends the save at the next block with its
// file finished; `progress` gets the position (0..1000) after each block.
SaveResult SaveFile(const ConversionRun& run, const std::atomic<bool>* stop = nullptr,
                    const std::function<void(int)>& progress = {});

}  // namespace sonivel
