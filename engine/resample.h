// Raising a rate by its exact ratio: the band-limited interpolation for the
// rates whose output is not two or four times the input (8000, 16000, 32000,
// 11127 Hz...). Output frame k of a track stands at input time k * M / L,
// where L / M is the output rate over the input rate, reduced. Each output
// frame is a 72-tap Kaiser-windowed sinc of the input frames around that
// time, cut off at half the input rate: the same filter as the doubling and
// quadrupling, at every phase the ratio needs. Output frames that fall on an
// input frame are that frame exactly.
//
// The frames are numbered from the start of the track's data, not from where
// a block or a run began, so a block's output depends only on where it lies
// in the track: a play, a save, a seek and a block join give the same sample
// at the same instant.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "wavefmt.h"

namespace sonivel {

// Input frames an output frame reads before and after its time.
constexpr int kResampleTaps = 72;
constexpr int kResampleContext = kResampleTaps / 2;

// The taps of every phase p / L (p = 0 .. L - 1), each phase summing to 1.
struct PhaseTable {
    std::int64_t L = 1;
    std::vector<float> taps;  // L rows of kResampleTaps
    const float* Row(std::int64_t p) const { return taps.data() + p * kResampleTaps; }
};

// The modified Bessel function of order 0 that shapes the Kaiser window.
double BesselI0(double x);

// The table for L phases; tables are shared between the runs that use them.
std::shared_ptr<const PhaseTable> PhaseTableFor(std::int64_t L);

// The reduced ratio out / in.
struct Ratio {
    std::int64_t L = 1;  // output frames ...
    std::int64_t M = 1;  // ... per this many input frames
};
Ratio ReducedRatio(std::uint32_t outRate, std::uint32_t inRate);

// The first output frame at or after input frame `frame`.
inline std::int64_t FirstOutputFrame(const Ratio& r, std::int64_t frame) {
    return (frame * r.L + r.M - 1) / r.M;
}

// Input frames of look-ahead the right channel of the stereo effect reads:
// it plays `shift` output frames ahead of the left.
std::int32_t LookAheadFrames(const Ratio& r, std::int32_t shift);

// Converts the n input frames of a block starting at track frame `first` into
// the output frames whose time falls among them. `in` holds
// kResampleContext frames before the block, the block, and then
// lookAhead + 2 + kResampleContext frames; `shift` output frames is the
// stereo effect's lead of the right channel (mono input to stereo output,
// else 0). Returns the output bytes written.
std::int32_t ResampleBlock(const WAVEFORMAT& inFormat, const WAVEFORMATEX& outFormat, const PhaseTable& table,
                           const Ratio& ratio, std::int32_t shift, const std::uint8_t* in, std::size_t n,
                           std::int64_t first, std::uint8_t* out);

}  // namespace sonivel
