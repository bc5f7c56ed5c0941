// The block conversion: 8 to 16 bits, mono to stereo, the stereo effect and
// the classic in-betweens in one pass, with SSE2 and AVX2 kernels.
#include "convert.h"

#include "interpolate.h"

#include <bit>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define SONIVEL_SSE2 1
#endif
#if defined(SONIVEL_SSE2) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#include <immintrin.h>
#define SONIVEL_AVX2 1
#endif

namespace sonivel {

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
#if defined(SONIVEL_SSE2)
// Raised rates to 16-bit stereo, four input frames at a time: the frames
// are made 16-bit stereo first (eight lanes), then the in-betweens are the
// same halves as in the scalar loop, lane by lane, and the frames are
// interleaved into place. 8-bit samples widen to multiples of 256, so every
// half of them is exact and the result is that of the scalar loop bit for
// bit. Returns how many input frames it did; the scalar loop does the rest.
SONIVEL_INLINE __m128i Half(__m128i v) {
    // Signed halving towards zero, as C++ divides: add 1 to odd negatives.
    return _mm_srai_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 15)), 1);
}

SONIVEL_INLINE __m128i Mid(__m128i a, __m128i c) { return _mm_add_epi16(Half(a), Half(c)); }

SONIVEL_INLINE __m128i Widen(__m128i bytes) {
    return _mm_xor_si128(_mm_unpacklo_epi8(_mm_setzero_si128(), bytes), _mm_set1_epi16(-32768));
}

SONIVEL_INLINE __m128i Load32(const std::uint8_t* p) {
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(v);
}

// Input frames j..j+3 as 16-bit stereo.
template <class In, std::size_t Cin>
SONIVEL_INLINE __m128i FourFrames(const std::uint8_t* in, std::size_t j, std::size_t so) {
    if constexpr (std::is_same_v<In, S16>) {
        if constexpr (Cin == 2) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * j));
        } else {
            const __m128i l = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 2 * j));
            const __m128i r = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 2 * (j + so)));
            return _mm_unpacklo_epi16(l, r);
        }
    } else if constexpr (Cin == 2) {
        return Widen(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + 2 * j)));
    } else {
        return Widen(_mm_unpacklo_epi8(Load32(in + j), Load32(in + j + so)));
    }
}

template <class In, std::size_t Cin, std::size_t R>
SONIVEL_INLINE std::size_t StereoVector(const std::uint8_t* __restrict in, std::uint8_t* __restrict out,
                                         std::size_t n, std::size_t so) {
    std::size_t j = 0;
    if (n < 6) return 0;
    // Each step makes frames j+4..j+7 (j + 7 <= n + 1) and carries them to
    // the next; frames j+1..j+4 are shifted together from the two.
    __m128i a = FourFrames<In, Cin>(in, 0, so);
    for (; j + 6 <= n; j += 4) {
        const __m128i next = FourFrames<In, Cin>(in, j + 4, so);
        const __m128i b = _mm_or_si128(_mm_srli_si128(a, 4), _mm_slli_si128(next, 12));
        const __m128i c = Mid(a, b);
        auto* o = reinterpret_cast<__m128i*>(out + 4 * R * j);
        if constexpr (R == 2) {
            _mm_storeu_si128(o, _mm_unpacklo_epi32(a, c));
            _mm_storeu_si128(o + 1, _mm_unpackhi_epi32(a, c));
        } else {
            const __m128i q1 = Mid(a, c);
            const __m128i q3 = Mid(c, b);
            const __m128i lo1 = _mm_unpacklo_epi32(a, q1), lo2 = _mm_unpacklo_epi32(c, q3);
            const __m128i hi1 = _mm_unpackhi_epi32(a, q1), hi2 = _mm_unpackhi_epi32(c, q3);
            _mm_storeu_si128(o, _mm_unpacklo_epi64(lo1, lo2));
            _mm_storeu_si128(o + 1, _mm_unpackhi_epi64(lo1, lo2));
            _mm_storeu_si128(o + 2, _mm_unpacklo_epi64(hi1, hi2));
            _mm_storeu_si128(o + 3, _mm_unpackhi_epi64(hi1, hi2));
        }
        a = next;
    }
    return j;
}
#endif

#if defined(SONIVEL_AVX2)
// The same with AVX2, eight input frames at a time; chosen at run time.
// The unpacks work within each 128-bit half, so the halves are put back in
// order by the final permutes.
// (Internal functions only: the ABI note about 256-bit values does not apply.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#define SONIVEL_AVX2_INLINE [[gnu::target("avx2"), gnu::always_inline]] inline
SONIVEL_AVX2_INLINE __m256i Half8(__m256i v) {
    return _mm256_srai_epi16(_mm256_add_epi16(v, _mm256_srli_epi16(v, 15)), 1);
}
SONIVEL_AVX2_INLINE __m256i Mid8(__m256i a, __m256i c) { return _mm256_add_epi16(Half8(a), Half8(c)); }
SONIVEL_AVX2_INLINE __m256i Widen8(__m128i bytes) {
    return _mm256_xor_si256(_mm256_slli_epi16(_mm256_cvtepu8_epi16(bytes), 8), _mm256_set1_epi16(-32768));
}
SONIVEL_AVX2_INLINE __m128i Load128(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
SONIVEL_AVX2_INLINE __m128i Load64(const std::uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }

template <class In, std::size_t Cin>
SONIVEL_AVX2_INLINE __m256i EightFrames(const std::uint8_t* in, std::size_t j, std::size_t so) {
    if constexpr (std::is_same_v<In, S16>) {
        if constexpr (Cin == 2) {
            return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 4 * j));
        } else {
            const __m128i l = Load128(in + 2 * j), r = Load128(in + 2 * (j + so));
            return _mm256_set_m128i(_mm_unpackhi_epi16(l, r), _mm_unpacklo_epi16(l, r));
        }
    } else if constexpr (Cin == 2) {
        return Widen8(Load128(in + 2 * j));
    } else {
        return Widen8(_mm_unpacklo_epi8(Load64(in + j), Load64(in + j + so)));
    }
}

template <class In, std::size_t Cin, std::size_t R>
[[gnu::target("avx2")]] std::size_t StereoAvx2(const std::uint8_t* __restrict in, std::uint8_t* __restrict out,
                                               std::size_t n, std::size_t so) {
    std::size_t j = 0;
    // Frames j..j+8 are read: j + 8 <= n + 1.
    for (; j + 7 <= n; j += 8) {
        const __m256i a = EightFrames<In, Cin>(in, j, so);
        const __m256i b = EightFrames<In, Cin>(in, j + 1, so);
        const __m256i c = Mid8(a, b);
        auto* o = reinterpret_cast<__m256i*>(out + 4 * R * j);
        if constexpr (R == 2) {
            const __m256i lo = _mm256_unpacklo_epi32(a, c), hi = _mm256_unpackhi_epi32(a, c);
            _mm256_storeu_si256(o, _mm256_permute2x128_si256(lo, hi, 0x20));
            _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(lo, hi, 0x31));
        } else {
            const __m256i q1 = Mid8(a, c), q3 = Mid8(c, b);
            const __m256i lo1 = _mm256_unpacklo_epi32(a, q1), lo2 = _mm256_unpacklo_epi32(c, q3);
            const __m256i hi1 = _mm256_unpackhi_epi32(a, q1), hi2 = _mm256_unpackhi_epi32(c, q3);
            const __m256i f04 = _mm256_unpacklo_epi64(lo1, lo2), f15 = _mm256_unpackhi_epi64(lo1, lo2);
            const __m256i f26 = _mm256_unpacklo_epi64(hi1, hi2), f37 = _mm256_unpackhi_epi64(hi1, hi2);
            _mm256_storeu_si256(o, _mm256_permute2x128_si256(f04, f15, 0x20));
            _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(f26, f37, 0x20));
            _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(f04, f15, 0x31));
            _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(f26, f37, 0x31));
        }
    }
    return j;
}

#pragma GCC diagnostic pop

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// Where the vector loop applies, it does the first frames and returns how
// many; 0 otherwise.
template <class In, class Out, std::size_t Cin, std::size_t Cout, std::size_t R>
SONIVEL_INLINE std::size_t VectorPrefix([[maybe_unused]] const std::uint8_t* __restrict in,
                                        [[maybe_unused]] std::uint8_t* __restrict out,
                                        [[maybe_unused]] std::size_t n, [[maybe_unused]] std::size_t so) {
#if defined(SONIVEL_SSE2)
    if constexpr (std::is_same_v<Out, S16> && Cout == 2 && R > 1 && (std::is_same_v<In, S16> || std::is_same_v<In, U8>)) {
#if defined(SONIVEL_AVX2)
        if (HasAvx2()) return StereoAvx2<In, Cin, R>(in, out, n, so);
#endif
        return StereoVector<In, Cin, R>(in, out, n, so);
    }
#endif
    return 0;
}

// 8-bit samples widened to stereo 16-bit output, one 32-bit frame at a time.
// Widened samples are multiples of 256, so every half taken on the way is
// exact and the in-between values are small integer weights of the bytes,
// offset by 32768 (an exclusive or of the top bit modulo 2^16). Both channels
// share one 32-bit lane, left in the low half, which lets the loop vectorise.
template <std::size_t Cin, std::size_t R>
SONIVEL_INLINE void WidenToStereo(const std::uint8_t* __restrict in, std::uint8_t* __restrict out,
                   std::size_t n, std::size_t so, std::size_t from) {
    constexpr std::uint32_t kBias = 0x80008000u;
    const auto store = [out](std::size_t frame, std::uint32_t v) { std::memcpy(out + 4 * frame, &v, 4); };
    for (std::size_t j = from; j <= n; ++j) {
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
        WidenToStereo<Cin, R>(in, out, n, so, VectorPrefix<In, Out, Cin, Cout, R>(in, out, n, so));
        return;
    }
    for (std::size_t j = VectorPrefix<In, Out, Cin, Cout, R>(in, out, n, so); j <= n; ++j) {
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
                          std::int32_t blockInBytes, std::uint8_t* out, std::int64_t firstFrame) {
    if (inFormat.nBlockAlign == 0 || blockInBytes < 0) return 0;
    const auto n = static_cast<std::size_t>(blockInBytes / inFormat.nBlockAlign);
    if (params.Resampled) {
        if (!params.Table || (!IsInput8Bit(inFormat) && InputBits(inFormat) != 16)) return 0;
        return ResampleBlock(inFormat, outFormat, *params.Table, params.Rates, params.StereoShift, in, n, firstFrame, out);
    }
    const auto so = static_cast<std::size_t>(params.StereoOffset);
    const int cin = inFormat.nChannels;
    const int cout = outFormat.nChannels;
    const int r = params.RateRatio;
    const std::uint8_t* block = in + static_cast<std::size_t>(params.ContextFrames) * inFormat.nBlockAlign;
    const bool done = ConvertKernel(IsInput8Bit(inFormat), outFormat.wBitsPerSample == 16, cin,
                                    cout, r, block, out, n, so);
    if (!done) return 0;
    // The input frames stay where the classic conversion put them; the
    // filter writes the frames between.
    if (params.BandLimited)
        InterpolateBandLimited(inFormat, outFormat, r, params.StereoOffset, in, n, out);
    return static_cast<std::int32_t>(((n + 1) * static_cast<std::size_t>(r) + 1) *
                                     outFormat.nBlockAlign);
}

}  // namespace sonivel
