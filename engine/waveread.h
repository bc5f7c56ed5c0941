// Reading what the engine needs to know of a wave file before it plays it:
// the input format, where the sample data starts and how many bytes it holds.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "fileio.h"
#include "texts.h"
#include "wavefmt.h"

namespace sonivel {

// A validated description of a playable wave file. Every value here has been
// checked: one or two channels, a rate from 4000 Hz, PCM of 8 to 32 bits or
// floating point with consistent derived fields (or a compressed encoding the
// decoder reads), and the data chunk lies inside the file and inside signed
// 32-bit offsets.
struct WaveInfo {
    // What the engine reads: the file's own format, or for a compressed
    // file the 16-bit PCM it decodes to.
    WAVEFORMAT InFormat;
    MMCKINFO DataChunk;      // cksize: the sample bytes, whole frames inside the file
    std::int32_t DataStart = 0;  // file offset of the first sample byte (0 when decoded)
    // The file's own encoding, and whether its frames come from the decoder.
    std::uint16_t FileTag = 0;
    bool Decoded = false;

    std::int32_t DataBytes() const { return static_cast<std::int32_t>(DataChunk.cksize); }
};

// Why a format is refused, for a person.
enum class Refusal { None, Channels, Rate, Bits, Encoding };
Refusal RefusalOf(const WAVEFORMAT& format);

// The frames of an accepted file, read from where DataStart says: the file
// itself, or what the decoder makes of it. Null when it cannot be opened.
std::unique_ptr<ByteSource> OpenFrames(const std::string& path, const WaveInfo& info);

// The lowest rate read; rates from here up to the output are raised.
constexpr std::uint32_t kLowestRate = 4000;
constexpr std::uint32_t kHighestRate = 384000;

struct WaveReadResult {
    int error = kTextNone;  // a text id (40..45) when the file was refused
    WaveInfo info;          // meaningful only when ok(); for an unsupported
                            // format, info.InFormat is the file's
    bool ok() const { return error == kTextNone; }
};

// Reads the chunk structure of a RIFF/WAVE file: "fmt " first, then "data"
// searched after it; other chunks are skipped. Sizes from the file are never
// trusted: a data size larger than the file is clamped to what is there.
WaveReadResult ReadWaveFile(const std::string& path);
WaveReadResult ReadWave(ByteSource& source);

// The acceptance rule on its own: true when the engine can play `format`
// (with the tag as the engine reads it: PCM, floating point or a decoded one).
bool IsSupportedFormat(const WAVEFORMAT& format);

}  // namespace sonivel
