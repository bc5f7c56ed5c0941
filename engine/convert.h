// Choosing the output format, the quality rule, the block parameters and the
// block conversion. Pure functions of plain values: the render thread, the
// tests and the benchmarks all call this same code.
#pragma once

#include <cstdint>
#include <memory>

#include "resample.h"
#include "wavefmt.h"

namespace sonivel {

// Size of each of the render thread's four sample buffers (one for input,
// three for output) at their usual size: one second of
// 44,100 Hz 16-bit stereo and 100 bytes more.
constexpr std::int32_t kSampleBufferBytes = 176500;

// The checked state of the Output format menu that decides the output.
struct OutputChoice {
    bool rate44100 = true;  // N44100Hz1 (else N1, 22050 Hz)
    bool bits16 = true;     // N16bitspersample1 (else N8bitspersample1)
    bool stereo = true;     // Stereo1 (else Mono1)
    bool effects = true;    // StereoEffects
    bool bandLimited = false;  // HighQualityInterpolation (else the classic in-betweens)
    bool operator==(const OutputChoice&) const = default;
};

WAVEFORMATEX SelectOutputFormat(const OutputChoice& choice);

// A file above every output format (more than 44100 Hz, more than 16 bits,
// floating point) is never lowered: it plays and saves in its own format.
bool AboveEveryOutput(const WAVEFORMAT& in);
WAVEFORMATEX AsIsFormat(const WAVEFORMAT& in);
// The output a run of `in` uses with this menu state: its own format when it
// is above every output, else the menus' choice.
WAVEFORMATEX OutputFormatFor(const WAVEFORMAT& in, const OutputChoice& choice);

// 8-bit input is unsigned bytes; the width is derived from nBlockAlign.
inline bool IsInput8Bit(const WAVEFORMAT& in) { return in.nBlockAlign == in.nChannels; }
inline int InputBits(const WAVEFORMAT& in) {
    return in.nChannels ? in.nBlockAlign * 8 / in.nChannels : 0;
}

// Which conditions make the output lower than the input.
struct QualityShortfall {
    bool rate = false;
    bool channels = false;
    bool bits = false;
    bool Any() const { return rate || channels || bits; }
};

QualityShortfall CheckQuality(const WAVEFORMAT& in, const WAVEFORMATEX& out);
// The menu state after the user agreed to raise the output: each failing
// condition moves its check up (rate, then channels, then bits).
OutputChoice RaiseOutput(OutputChoice choice, const QualityShortfall& shortfall);

// Per-run constants of the conversion.
struct BlockParams {
    bool PlainCopy = false;
    std::int32_t RateRatio = 1;        // r: output rate / input rate (1, 2 or 4)
    std::int32_t BlockInBytes = 0;     // one second of input
    std::int32_t BlockOutBytes = 0;    // one second of output
    std::int32_t ExpansionFactor = 1;  // output bytes per input byte
    std::int32_t StereoOffset = 0;     // stereo-effect look-ahead in input frames
    std::int32_t FullBlockBytes = 0;   // L: bytes queued and written per full block
    // The in-betweens of a raised rate come from the band-limited filter,
    // which reads ContextFrames input frames before the block and after it.
    bool BandLimited = false;
    std::int32_t ContextFrames = 0;
    // A rate that is not raised two or four times takes the filter at the
    // exact ratio: a full block is then one second in and one second out,
    // and StereoOffset is the input the right channel's lead reads ahead.
    bool Resampled = false;
    Ratio Rates;
    std::int32_t StereoShift = 0;  // the stereo effect's lead in output frames
    std::shared_ptr<const PhaseTable> Table;
    std::int32_t OutFrameBytes = 0;
};

// Valid for formats the reader accepted and outputs the quality rule passed.
// The band-limited interpolation applies only where the rate is raised.
BlockParams ComputeBlockParams(const WAVEFORMAT& in, const WAVEFORMATEX& out, bool stereoEffects,
                               bool bandLimited = false);

// Converts one block. `in` holds ContextFrames input frames before the block,
// then n + 2 + StereoOffset frames, where n = blockInBytes / nBlockAlign (the
// block, its two following frames and the stereo look-ahead), then
// ContextFrames frames more. Input frame j (0..n+1) goes to output frame j * r
// and the frames between are interpolated per channel. Returns the bytes
// written to `out`: ((n + 1) * r + 1) output frames. Never called for a plain
// copy.
// `firstFrame` is the block's first frame counted from the start of the
// track's data; only the exact-ratio filter needs it.
std::int32_t ConvertBlock(const WAVEFORMAT& inFormat, const WAVEFORMATEX& outFormat,
                          const BlockParams& params, const std::uint8_t* in,
                          std::int32_t blockInBytes, std::uint8_t* out, std::int64_t firstFrame = 0);

// The output bytes of a block that is not full (a last block).
std::int64_t ShortBlockBytes(const WAVEFORMAT& in, const BlockParams& params, std::int32_t blockInBytes,
                             std::int64_t firstFrame);

// The bytes of sound a run writes for `inputBytes` of input, block by block
// as it converts them: full blocks advance one second of input (and one
// frame more when the rate is raised), the rest is one shorter block.
std::int64_t ConvertedBytes(const WAVEFORMAT& in, const BlockParams& params, std::int64_t inputBytes,
                            std::int64_t firstFrame = 0);
// A wave file's sizes are 32-bit: header and sound together at most 4 GiB.
constexpr std::int64_t kMaxWaveFileBytes = 0xFFFFFFFFll;
// Whether the file a save of `inputBytes` writes fits that.
bool OutputFitsWave(const WAVEFORMAT& in, const BlockParams& params, std::int64_t inputBytes);

// Bytes of input a block of blockInBytes needs in its buffer, context included.
std::int64_t BlockInputSpan(const WAVEFORMAT& in, const BlockParams& params,
                            std::int32_t blockInBytes);

}  // namespace sonivel
