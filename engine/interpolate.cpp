#include "interpolate.h"

#include "convert.h"
#include "resample.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

// The eight-lane vectors never cross a function boundary that is not
// inlined, so the ABI note about passing 32-byte vectors does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonivel {
namespace {

// The Kaiser window's shape: 72 taps a phase with beta 11.25 keep the
// passband flat to 0.45 of the input rate (within 0.0001 dB) and put the
// stopband from 0.55 of the input rate 110 dB down.
constexpr double kBeta = 11.25;


// Taps for the in-betweens at a quarter, a half and three quarters of the
// way between two input frames (r = 4 uses all three, r = 2 the half).
struct Taps {
    std::array<std::array<float, kInterpolationTaps>, 3> quarter{};
    Taps() {
        constexpr double pi = 3.14159265358979323846;
        for (std::size_t q = 1; q <= 3; ++q) {
            std::array<double, kInterpolationTaps> h{};
            double sum = 0;
            for (std::size_t i = 0; i < kInterpolationTaps; ++i) {
                // Distance in input frames from input frame j - C + 1 + i to
                // the in-between at j + q / 4.
                const double d = static_cast<double>(q) / 4.0 + (kInterpolationContext - 1) - static_cast<double>(i);
                const double x = d / kInterpolationContext;
                const double w = x * x < 1 ? BesselI0(kBeta * std::sqrt(1 - x * x)) / BesselI0(kBeta) : 0;
                h[i] = std::sin(pi * d) / (pi * d) * w;
                sum += h[i];
            }
            // Each phase passes a constant unchanged, so silence and a DC
            // offset leave no tone at the input rate.
            for (std::size_t i = 0; i < kInterpolationTaps; ++i)
                quarter[q - 1][i] = static_cast<float>(h[i] / sum);
        }
    }
};

const Taps& DesignedTaps() {
    static const Taps taps;
    return taps;
}

const float* PhaseTaps(int r, int p) {
    return DesignedTaps().quarter[static_cast<std::size_t>(p * (4 / r) - 1)].data();
}

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define SONIVEL_FILTER_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define SONIVEL_FILTER_CLONES
#endif

// Eight lanes of consecutive in-betweens. Each lane adds its products in tap
// order with a separate multiply and add, so the plain build, the vector
// builds and every processor give the same result to the bit.
typedef float V8 __attribute__((vector_size(32)));

// In-betweens per pass: the samples they read are made float once per pass.
constexpr int kChunk = 256;
constexpr int kPad = 32;

struct Source {
    const std::uint8_t* block;  // the block's frame 0
    int cin;
    int channel;      // the input channel read
    std::ptrdiff_t offset;  // frames ahead (the stereo effect's right channel)
    bool in8;
    bool out16;
    float Sample(std::ptrdiff_t frame) const {
        const std::ptrdiff_t i = (frame + offset) * cin + channel;
        if (in8) {
            const float v = static_cast<float>(static_cast<int>(block[i]) - 128);
            return out16 ? v * 256.0f : v;
        }
        std::uint16_t u;
        std::memcpy(&u, block + 2 * i, 2);
        if constexpr (std::endian::native == std::endian::big) u = static_cast<std::uint16_t>((u >> 8) | (u << 8));
        return static_cast<float>(static_cast<std::int16_t>(u));
    }
};

// Rounds to the nearest integer (ties to even) after saturating, with plain
// float operations so every build rounds alike.
inline int Quantise(float v, float lo, float hi) {
    v = std::min(std::max(v, lo), hi);
    constexpr float kMagic = 12582912.0f;  // 1.5 * 2^23
    return static_cast<int>((v + kMagic) - kMagic);
}

template <int R>
constexpr std::size_t Phases = static_cast<std::size_t>(R - 1);

// Unaligned loads and stores of eight lanes.
typedef float V8u __attribute__((vector_size(32), aligned(4), may_alias));
[[gnu::always_inline]] inline V8 Load(const float* p) { return *reinterpret_cast<const V8u*>(p); }
[[gnu::always_inline]] inline void Store(float* p, const V8& v) { *reinterpret_cast<V8u*>(p) = v; }

// In-betweens are filtered 32 at a time: four groups of eight for one phase,
// or two groups for each of three phases, so that enough independent sums
// are in flight for the adds not to wait on each other.
constexpr int kStep = 32;

template <int R>
[[gnu::always_inline]] inline void FilterChunk(const float* x, int count, const float* const* taps,
                                               float (*y)[kChunk]) {
    for (int g = 0; g < count; g += kStep) {
        const float* b = x + g;
        if constexpr (R == 2) {
            V8 s0 = {}, s1 = {}, s2 = {}, s3 = {};
            const float* t = taps[0];
            for (int i = 0; i < kInterpolationTaps; ++i) {
                s0 = s0 + t[i] * Load(b + i);
                s1 = s1 + t[i] * Load(b + 8 + i);
                s2 = s2 + t[i] * Load(b + 16 + i);
                s3 = s3 + t[i] * Load(b + 24 + i);
            }
            Store(&y[0][g], s0);
            Store(&y[0][g + 8], s1);
            Store(&y[0][g + 16], s2);
            Store(&y[0][g + 24], s3);
        } else {
            for (int h = 0; h < kStep; h += 16) {
                V8 a0 = {}, a1 = {}, b0 = {}, b1 = {}, c0 = {}, c1 = {};
                const float *ta = taps[0], *tb = taps[1], *tc = taps[2];
                for (int i = 0; i < kInterpolationTaps; ++i) {
                    const V8 v0 = Load(b + h + i), v1 = Load(b + h + 8 + i);
                    a0 = a0 + ta[i] * v0;
                    a1 = a1 + ta[i] * v1;
                    b0 = b0 + tb[i] * v0;
                    b1 = b1 + tb[i] * v1;
                    c0 = c0 + tc[i] * v0;
                    c1 = c1 + tc[i] * v1;
                }
                Store(&y[0][g + h], a0);
                Store(&y[0][g + h + 8], a1);
                Store(&y[1][g + h], b0);
                Store(&y[1][g + h + 8], b1);
                Store(&y[2][g + h], c0);
                Store(&y[2][g + h + 8], c1);
            }
        }
    }
}

// The entry points compiled for the plain instruction set and again for AVX2,
// chosen at load time where available.
SONIVEL_FILTER_CLONES void FilterChunk2(const float* x, int count, const float* const* taps, float (*y)[kChunk]) {
    FilterChunk<2>(x, count, taps, y);
}
SONIVEL_FILTER_CLONES void FilterChunk4(const float* x, int count, const float* const* taps, float (*y)[kChunk]) {
    FilterChunk<4>(x, count, taps, y);
}

template <int R>
void FilterChannel(const Source& src, std::size_t n, int cout, int outChannel, bool bothChannels,
                   bool out16, std::uint8_t* out) {
    const float* taps[Phases<R>];
    for (int p = 1; p < R; ++p) taps[p - 1] = PhaseTaps(R, p);
    const float lo = out16 ? -32768.0f : -128.0f;
    const float hi = out16 ? 32767.0f : 127.0f;
    // The last frame any in-between of the block reads.
    const auto last = static_cast<std::ptrdiff_t>(n) + kInterpolationContext;
    alignas(32) float x[kChunk + kInterpolationTaps + kPad];
    alignas(32) float y[Phases<R>][kChunk];
    for (std::size_t j0 = 0; j0 <= n; j0 += kChunk) {
        const int count = static_cast<int>(std::min<std::size_t>(kChunk, n + 1 - j0));
        const int padded = (count + kStep - 1) / kStep * kStep;
        const auto first = static_cast<std::ptrdiff_t>(j0) - (kInterpolationContext - 1);
        const int need = padded + kInterpolationTaps;
        for (int t = 0; t < need; ++t) x[t] = first + t <= last ? src.Sample(first + t) : 0.0f;
        if constexpr (R == 2) FilterChunk2(x, padded, taps, y);
        else FilterChunk4(x, padded, taps, y);
        for (int k = 0; k < count; ++k) {
            const std::size_t j = j0 + static_cast<std::size_t>(k);
            for (int p = 1; p < R; ++p) {
                const int v = Quantise(y[p - 1][k], lo, hi);
                const std::size_t s = (j * R + static_cast<std::size_t>(p)) * static_cast<std::size_t>(cout) +
                                      static_cast<std::size_t>(outChannel);
                for (std::size_t c = 0; c < (bothChannels ? 2u : 1u); ++c) {
                    if (out16) {
                        auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
                        if constexpr (std::endian::native == std::endian::big)
                            u = static_cast<std::uint16_t>((u >> 8) | (u << 8));
                        std::memcpy(out + 2 * (s + c), &u, 2);
                    } else {
                        out[s + c] = static_cast<std::uint8_t>(v + 128);
                    }
                }
            }
        }
    }
}

}  // namespace

float InterpolationTap(int r, int p, int i) { return PhaseTaps(r, p)[i]; }

void InterpolateBandLimited(const WAVEFORMAT& inFormat, const WAVEFORMATEX& outFormat, int r,
                            std::int32_t stereoOffset, const std::uint8_t* in, std::size_t n,
                            std::uint8_t* out) {
    if (r != 2 && r != 4) return;
    const int cin = inFormat.nChannels;
    const int cout = outFormat.nChannels;
    const bool in8 = IsInput8Bit(inFormat);
    const bool out16 = outFormat.wBitsPerSample == 16;
    const std::uint8_t* block = in + static_cast<std::size_t>(kInterpolationContext) * inFormat.nBlockAlign;
    // Mono to stereo without the effect: both channels are the same stream.
    const bool duplicate = cin != cout && stereoOffset == 0;
    const int streams = cin == cout ? cin : (duplicate ? 1 : 2);
    for (int c = 0; c < streams; ++c) {
        Source src{block, cin, cin == cout ? c : 0, cin == cout || c == 0 ? 0 : stereoOffset, in8, out16};
        // The right channel of the effect is the mono stream read ahead.
        if (r == 2) FilterChannel<2>(src, n, cout, c, duplicate, out16, out);
        else FilterChannel<4>(src, n, cout, c, duplicate, out16, out);
    }
}

}  // namespace sonivel
