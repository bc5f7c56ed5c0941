#include "convert.h"

#include <bit>
#include <type_traits>
#include <cstring>

namespace sonivel {

WAVEFORMATEX SelectOutputFormat(const OutputChoice& choice) {
    WAVEFORMATEX f;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nSamplesPerSec = choice.rate44100 ? 44100 : 22050;
    f.wBitsPerSample = choice.bits16 ? 16 : 8;
    f.nChannels = choice.stereo ? 2 : 1;
    f.nBlockAlign = static_cast<std::uint16_t>(f.wBitsPerSample / 8 * f.nChannels);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

QualityShortfall CheckQuality(const WAVEFORMAT& in, const WAVEFORMATEX& out) {
    QualityShortfall s;
    s.rate = out.nSamplesPerSec < in.nSamplesPerSec;
    s.channels = out.nChannels < in.nChannels;
    s.bits = InputBits(in) > out.wBitsPerSample;
    return s;
}

OutputChoice RaiseOutput(OutputChoice choice, const QualityShortfall& shortfall) {
    if (shortfall.rate) choice.rate44100 = true;
    if (shortfall.channels) choice.stereo = true;
    if (shortfall.bits) choice.bits16 = true;
    return choice;
}

BlockParams ComputeBlockParams(const WAVEFORMAT& in, const WAVEFORMATEX& out, bool stereoEffects) {
    BlockParams p;
    if (in.nSamplesPerSec == 0 || in.nAvgBytesPerSec == 0) return p;
    const std::uint32_t r = out.nSamplesPerSec / in.nSamplesPerSec;
    p.RateRatio = static_cast<std::int32_t>(r);
    p.PlainCopy = out.nSamplesPerSec == in.nSamplesPerSec && out.nChannels == in.nChannels &&
                  InputBits(in) == out.wBitsPerSample;
    p.BlockInBytes = static_cast<std::int32_t>(in.nAvgBytesPerSec);
    p.BlockOutBytes = static_cast<std::int32_t>(out.nAvgBytesPerSec);
    p.ExpansionFactor = p.BlockOutBytes / p.BlockInBytes;
    if (out.nChannels == 2 && in.nChannels == 1 && stereoEffects)
        p.StereoOffset = static_cast<std::int32_t>(700u * in.nSamplesPerSec / 11025u);
    // A full block advances one second of input, and one frame more when the
    // rate is raised; it writes everything up to the next block's first frame:
    // one second of output, and r frames more (that frame's in-betweens).
    p.FullBlockBytes = static_cast<std::int32_t>(out.nAvgBytesPerSec + (r > 1 ? r * out.nBlockAlign : 0));
    return p;
}

std::int64_t BlockInputSpan(const WAVEFORMAT& in, const BlockParams& params,
                            std::int32_t blockInBytes) {
    return static_cast<std::int64_t>(blockInBytes) +
           static_cast<std::int64_t>(params.StereoOffset + 2) * in.nBlockAlign;
}

namespace {

// The kernels are inlined into one function that is compiled for the plain
// instruction set and again for AVX2, chosen at load time where available.
#if defined(__GNUC__)
#define SONIVEL_INLINE [[gnu::always_inline]] inline
#else
#define SONIVEL_INLINE inline
#endif
#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define SONIVEL_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define SONIVEL_CLONES
#endif

// Sample access. 8-bit samples are unsigned bytes; 16-bit samples are signed
// little-endian words, read through memcpy so that unaligned buffers are fine
// and the loops still vectorise.
struct U8 {
    using T = std::uint8_t;
    static T Load(const std::uint8_t* b, std::size_t i) { return b[i]; }
    static void Store(std::uint8_t* b, std::size_t i, T v) { b[i] = v; }
    // half(x) rounds down; the sum of two halves always fits a byte.
    static T Mid(T a, T c) { return static_cast<T>((a >> 1) + (c >> 1)); }
};

struct S16 {
    using T = std::int16_t;
    static T Load(const std::uint8_t* b, std::size_t i) {
        std::uint16_t u;
        std::memcpy(&u, b + 2 * i, 2);
        if constexpr (std::endian::native == std::endian::big) u = static_cast<std::uint16_t>((u >> 8) | (u << 8));
        return static_cast<T>(u);
    }
    static void Store(std::uint8_t* b, std::size_t i, T v) {
        auto u = static_cast<std::uint16_t>(v);
        if constexpr (std::endian::native == std::endian::big) u = static_cast<std::uint16_t>((u >> 8) | (u << 8));
        std::memcpy(b + 2 * i, &u, 2);
    }
    // half(x) truncates toward zero; the sum stays within -32768..32766.
    static T Mid(T a, T c) { return static_cast<T>(a / 2 + c / 2); }
};

// An 8-bit stereo frame handled as one 16-bit word: masking after the shift
// halves both bytes at once, and the sum of two halves never carries from
// one byte into the other.
struct U8Pair {
    using T = std::uint16_t;
    static T Load(const std::uint8_t* b, std::size_t i) {
        T v;
        std::memcpy(&v, b + 2 * i, 2);
        return v;
    }
    static void Store(std::uint8_t* b, std::size_t i, T v) { std::memcpy(b + 2 * i, &v, 2); }
    static T Mid(T a, T c) { return static_cast<T>(((a >> 1) & 0x7F7F) + ((c >> 1) & 0x7F7F)); }
};

template <class In, class Out>
SONIVEL_INLINE typename Out::T Map(typename In::T v) {
    if constexpr (std::is_same_v<In, U8> && std::is_same_v<Out, S16>) {
        // (u - 128) * 256: 0 -> -32768, 128 -> 0, 255 -> 32512.
        return static_cast<std::int16_t>((static_cast<int>(v) - 128) * 256);
    } else {
        return v;
    }
}

// Input sample of frame j for output channel c: the same channel, or for mono
// input to stereo output the look-ahead frame on the right.
template <class In, std::size_t Cin, std::size_t Cout>
SONIVEL_INLINE typename In::T Source(const std::uint8_t* in, std::size_t j, std::size_t c, std::size_t so) {
    if constexpr (Cin == Cout) {
        return In::Load(in, j * Cin + c);
    } else {
        return In::Load(in, c == 0 ? j : j + so);
    }
}

// Both stages in one pass over the input: input frame j is mapped (channels
// and width) to output frame j * R, and the R - 1 frames after it are
// interpolated towards frame j + 1. The in-between values depend only on the
// mapped frames and, when quadrupling, on the centre computed first, so the
// result is exactly that of mapping every frame and then interpolating in
// place; one pass keeps the block in cache and lets the loop vectorise.
// 8-bit samples widened to stereo 16-bit output, one 32-bit frame at a time.
// Widened samples are multiples of 256, so every half taken on the way is
// exact and the in-between values are small integer weights of the bytes,
// offset by 32768 (an exclusive or of the top bit modulo 2^16). Both channels
// share one 32-bit lane, left in the low half, which lets the loop vectorise.
template <std::size_t Cin, std::size_t R>
SONIVEL_INLINE void WidenToStereo(const std::uint8_t* __restrict in, std::uint8_t* __restrict out,
                   std::size_t n, std::size_t so) {
    constexpr std::uint32_t kBias = 0x80008000u;
    const auto store = [out](std::size_t frame, std::uint32_t v) { std::memcpy(out + 4 * frame, &v, 4); };
    for (std::size_t j = 0; j <= n; ++j) {
        const std::uint32_t fl = in[Cin == 2 ? 2 * j : j];
        const std::uint32_t fr = in[Cin == 2 ? 2 * j + 1 : j + so];
        store(j * R, ((fl << 8) | (fr << 24)) ^ kBias);
        if constexpr (R > 1) {
            const std::uint32_t nl = in[Cin == 2 ? 2 * j + 2 : j + 1];
            const std::uint32_t nr = in[Cin == 2 ? 2 * j + 3 : j + 1 + so];
            const std::uint32_t centre = (((fl + nl) << 7) | ((fr + nr) << 23)) ^ kBias;
            if constexpr (R == 2) {
                store(j * R + 1, centre);
            } else {
                store(j * R + 1, (((3 * fl + nl) << 6) | ((3 * fr + nr) << 22)) ^ kBias);
                store(j * R + 2, centre);
                store(j * R + 3, (((fl + 3 * nl) << 6) | ((fr + 3 * nr) << 22)) ^ kBias);
            }
        }
    }
    const std::size_t last = n + 1;
    const std::uint32_t ll = in[Cin == 2 ? 2 * last : last];
    const std::uint32_t lr = in[Cin == 2 ? 2 * last + 1 : last + so];
    store(last * R, ((ll << 8) | (lr << 24)) ^ kBias);
}

// Both stages in one pass over the input: input frame j is mapped (channels
// and width) to output frame j * R, and the R - 1 frames after it are
// interpolated towards frame j + 1. The in-between values depend only on the
// mapped frames and, when quadrupling, on the centre computed first, so the
// result is exactly that of mapping every frame and then interpolating in
// place; one pass keeps the block in cache and lets the loop vectorise.
template <class In, class Out, std::size_t Cin, std::size_t Cout, std::size_t R>
SONIVEL_INLINE void Convert(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n,
             std::size_t so) {
    if constexpr (std::is_same_v<In, U8> && std::is_same_v<Out, S16> && Cout == 2 && R > 1 &&
                  std::endian::native == std::endian::little) {
        WidenToStereo<Cin, R>(in, out, n, so);
        return;
    }
    for (std::size_t j = 0; j <= n; ++j) {
        const std::size_t b = j * R * Cout;
        for (std::size_t c = 0; c < Cout; ++c) {
            const auto first = Map<In, Out>(Source<In, Cin, Cout>(in, j, c, so));
            Out::Store(out, b + c, first);
            if constexpr (R > 1) {
                const auto next = Map<In, Out>(Source<In, Cin, Cout>(in, j + 1, c, so));
                if constexpr (R == 2) {
                    Out::Store(out, b + Cout + c, Out::Mid(first, next));
                } else {
                    const auto centre = Out::Mid(first, next);
                    Out::Store(out, b + Cout + c, Out::Mid(first, centre));
                    Out::Store(out, b + 2 * Cout + c, centre);
                    Out::Store(out, b + 3 * Cout + c, Out::Mid(centre, next));
                }
            }
        }
    }
    // The second following frame closes the block at output frame (n + 1) * R.
    for (std::size_t c = 0; c < Cout; ++c)
        Out::Store(out, (n + 1) * R * Cout + c, Map<In, Out>(Source<In, Cin, Cout>(in, n + 1, c, so)));
}

template <class In, class Out, std::size_t Cin, std::size_t Cout>
SONIVEL_INLINE bool DispatchRate(int r, const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                  std::size_t so) {
    switch (r) {
        case 1: Convert<In, Out, Cin, Cout, 1>(in, out, n, so); return true;
        case 2: Convert<In, Out, Cin, Cout, 2>(in, out, n, so); return true;
        case 4: Convert<In, Out, Cin, Cout, 4>(in, out, n, so); return true;
        default: return false;
    }
}

template <class In, class Out>
SONIVEL_INLINE bool DispatchChannels(int cin, int cout, int r, const std::uint8_t* in, std::uint8_t* out,
                      std::size_t n, std::size_t so) {
    // Unequal channel counts are always mono input to stereo output.
    if (cin != cout) return DispatchRate<In, Out, 1, 2>(r, in, out, n, so);
    if (cin == 1) return DispatchRate<In, Out, 1, 1>(r, in, out, n, so);
    if constexpr (std::is_same_v<In, U8> && std::is_same_v<Out, U8>)
        return DispatchRate<U8Pair, U8Pair, 1, 1>(r, in, out, n, so);
    return DispatchRate<In, Out, 2, 2>(r, in, out, n, so);
}

SONIVEL_CLONES bool ConvertKernel(bool in8, bool out16, int cin, int cout, int r,
                                  const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                                  std::size_t so) {
    if (in8) {
        return out16 ? DispatchChannels<U8, S16>(cin, cout, r, in, out, n, so)
                     : DispatchChannels<U8, U8>(cin, cout, r, in, out, n, so);
    }
    return DispatchChannels<S16, S16>(cin, cout, r, in, out, n, so);
}

}  // namespace

std::int32_t ConvertBlock(const WAVEFORMAT& inFormat, const WAVEFORMATEX& outFormat,
                          const BlockParams& params, const std::uint8_t* in,
                          std::int32_t blockInBytes, std::uint8_t* out) {
    if (inFormat.nBlockAlign == 0 || blockInBytes < 0) return 0;
    const auto n = static_cast<std::size_t>(blockInBytes / inFormat.nBlockAlign);
    const auto so = static_cast<std::size_t>(params.StereoOffset);
    const int cin = inFormat.nChannels;
    const int cout = outFormat.nChannels;
    const int r = params.RateRatio;
    const bool done = ConvertKernel(IsInput8Bit(inFormat), outFormat.wBitsPerSample == 16, cin,
                                    cout, r, in, out, n, so);
    if (!done) return 0;
    return static_cast<std::int32_t>(((n + 1) * static_cast<std::size_t>(r) + 1) *
                                     outFormat.nBlockAlign);
}

}  // namespace sonivel
