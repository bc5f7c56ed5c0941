// The band-limited interpolation: the in-betweens of a raised rate computed
// by a windowed-sinc filter instead of the mean of two neighbours, so that a
// tone comes back without the mirror images the classic in-betweens leave
// above the input's Nyquist frequency.
//
// The filter is a Nyquist filter: a Kaiser-windowed sinc cut off at half the
// input rate. Its taps at whole input samples are zero but for the centre, so
// the output at the input's own sample instants is the input sample itself,
// exactly, and only the in-betweens are computed. Each in-between reads
// kInterpolationContext input frames on either side of it; the block reader
// supplies them (real frames where the file has them, silence beyond the
// data), which keeps the conversion free of state between blocks.
#pragma once

#include <cstdint>

#include "wavefmt.h"

namespace sonivel {

// Taps of one in-between phase, and the input frames a block needs before
// its first frame and after its classic span.
constexpr int kInterpolationTaps = 72;
constexpr int kInterpolationContext = kInterpolationTaps / 2;

// The tap for input frame j - kInterpolationContext + 1 + i of the in-between
// at j + p / r (p = 1 .. r - 1), for r = 2 or 4. Designed once.
float InterpolationTap(int r, int p, int i);

// Overwrites the in-between frames of a block that the classic conversion
// has already written to `out` (((n + 1) * r + 1) output frames, input frame
// j at output frame j * r). `in` points kInterpolationContext frames before
// the block's first frame; the buffer holds n + 2 + stereoOffset +
// 2 * kInterpolationContext frames. Channels, widths and the stereo offset
// are those of the classic conversion; results are rounded to the nearest
// value and saturated at the ends of the sample range.
void InterpolateBandLimited(const WAVEFORMAT& inFormat, const WAVEFORMATEX& outFormat, int r,
                            std::int32_t stereoOffset, const std::uint8_t* in, std::size_t n,
                            std::uint8_t* out);

}  // namespace sonivel
