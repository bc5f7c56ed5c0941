#include "resample.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <numeric>

#include "convert.h"

#pragma GCC diagnostic ignored "-Wpsabi"

namespace sonivel {
namespace {

// The Kaiser window of the doubling's filter: 72 taps with beta 11.25 keep
// the passband flat to 0.45 of the input rate and put everything from 0.55
// of it 110 dB down.
constexpr double kBeta = 11.25;
// The kernel is tabulated this finely per input frame; a phase's taps are
// read from it by straight lines between neighbours, which is exact to
// about 1e-8 of the tap (150 dB), far below a 16-bit step.
constexpr int kKernelSteps = 4096;


// The windowed sinc at distances 0 .. kResampleContext input frames.
const std::vector<double>& Kernel() {
    static const std::vector<double> kernel = [] {
        constexpr double pi = 3.14159265358979323846;
        std::vector<double> k(static_cast<std::size_t>(kResampleContext * kKernelSteps + 2), 0.0);
        const double norm = BesselI0(kBeta);
        for (std::size_t q = 0; q + 1 < k.size(); ++q) {
            const double d = static_cast<double>(q) / kKernelSteps;
            const double x = d / kResampleContext;
            if (x >= 1) break;
            const double sinc = q == 0 ? 1.0 : std::sin(pi * d) / (pi * d);
            k[q] = sinc * BesselI0(kBeta * std::sqrt(1 - x * x)) / norm;
        }
        return k;
    }();
    return kernel;
}

double KernelAt(double d) {
    const std::vector<double>& k = Kernel();
    const double pos = std::abs(d) * kKernelSteps;
    const auto q = static_cast<std::size_t>(pos);
    if (q + 1 >= k.size()) return 0.0;
    const double mu = pos - static_cast<double>(q);
    return k[q] + (k[q + 1] - k[q]) * mu;
}

std::shared_ptr<const PhaseTable> BuildTable(std::int64_t L) {
    auto table = std::make_shared<PhaseTable>();
    table->L = L;
    table->taps.resize(static_cast<std::size_t>(L) * kResampleTaps);
    for (std::int64_t p = 0; p < L; ++p) {
        double h[kResampleTaps];
        double sum = 0;
        for (int i = 0; i < kResampleTaps; ++i) {
            // Distance from input frame j - C + 1 + i to the output at j + p / L.
            const double d = static_cast<double>(p) / static_cast<double>(L) + (kResampleContext - 1) - i;
            h[i] = KernelAt(d);
            sum += h[i];
        }
        // Each phase passes a constant unchanged.
        float* row = table->taps.data() + p * kResampleTaps;
        for (int i = 0; i < kResampleTaps; ++i) row[i] = static_cast<float>(h[i] / sum);
    }
    return table;
}

#if defined(__x86_64__) && defined(__GNUC__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define SONIVEL_RESAMPLE_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define SONIVEL_RESAMPLE_CLONES
#endif

// Eight lanes, loaded by copying rather than by a function returning a
// vector: a vector return without AVX enabled is refused by clang.
typedef float V8 __attribute__((vector_size(32)));

// One stream of output frames k0 .. k0 + count - 1 into y. `x` holds the
// stream's input as floats, x[0] being track frame `first`; the products of
// each lane are added in tap order and the lanes in a fixed order, so every
// build and processor gives the same result to the bit.
SONIVEL_RESAMPLE_CLONES void FilterStream(const float* x, std::int64_t k0, std::int64_t count, const Ratio& r,
                                          const PhaseTable& table, std::int64_t first, float* y) {
    static_assert(kResampleTaps % 8 == 0);
    const std::int64_t t = k0 * r.M;
    std::int64_t i = t / r.L - first;
    std::int64_t p = t % r.L;
    for (std::int64_t k = 0; k < count; ++k) {
        if (p == 0) {
            y[k] = x[i];
        } else {
            const float* taps = table.Row(p);
            const float* from = x + i - (kResampleContext - 1);
            V8 acc = {};
            for (int c = 0; c < kResampleTaps; c += 8) {
                V8 a, b;
                std::memcpy(&a, taps + c, sizeof a);
                std::memcpy(&b, from + c, sizeof b);
                acc = acc + a * b;
            }
            float s = 0;
            for (int lane = 0; lane < 8; ++lane) s += acc[lane];
            y[k] = s;
        }
        p += r.M;
        while (p >= r.L) {
            p -= r.L;
            ++i;
        }
    }
}

inline int Quantise(float v, float lo, float hi) {
    v = std::min(std::max(v, lo), hi);
    constexpr float kMagic = 12582912.0f;  // 1.5 * 2^23: rounds to nearest, ties to even
    return static_cast<int>((v + kMagic) - kMagic);
}

void StoreSample(std::uint8_t* out, std::size_t index, int v, bool out16) {
    if (out16) {
        auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
        if constexpr (std::endian::native == std::endian::big) u = static_cast<std::uint16_t>((u >> 8) | (u << 8));
        std::memcpy(out + 2 * index, &u, 2);
    } else {
        out[index] = static_cast<std::uint8_t>(v + 128);
    }
}

}  // namespace

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 60; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
        if (term < sum * 1e-17) break;
    }
    return sum;
}

std::shared_ptr<const PhaseTable> PhaseTableFor(std::int64_t L) {
    static std::mutex mutex;
    static std::map<std::int64_t, std::shared_ptr<const PhaseTable>> tables;
    std::lock_guard lock(mutex);
    auto& slot = tables[L];
    if (!slot) {
        // A handful of ratios are in use at a time; tables no run holds any
        // more are let go before a new one is made.
        for (auto it = tables.begin(); it != tables.end();) {
            if (it->second && it->second.use_count() == 1) it = tables.erase(it);
            else ++it;
        }
        auto& fresh = tables[L];
        fresh = BuildTable(L);
        return fresh;
    }
    return slot;
}

Ratio ReducedRatio(std::uint32_t outRate, std::uint32_t inRate) {
    if (outRate == 0 || inRate == 0) return {};
    const std::uint32_t g = std::gcd(outRate, inRate);
    return Ratio{outRate / g, inRate / g};
}

std::int32_t LookAheadFrames(const Ratio& r, std::int32_t shift) {
    if (shift <= 0) return 0;
    return static_cast<std::int32_t>((shift * r.M + r.L - 1) / r.L + 1);
}

std::int32_t ResampleBlock(const WAVEFORMAT& inFormat, const WAVEFORMATEX& outFormat, const PhaseTable& table,
                           const Ratio& ratio, std::int32_t shift, const std::uint8_t* in, std::size_t n,
                           std::int64_t first, std::uint8_t* out) {
    const int cin = inFormat.nChannels;
    const int cout = outFormat.nChannels;
    if (cin < 1 || cout < cin || table.L != ratio.L) return 0;
    const bool in8 = IsInput8Bit(inFormat);
    const bool out16 = outFormat.wBitsPerSample == 16;
    const bool mapped = cin != cout;  // mono input on two channels
    if (!mapped) shift = 0;
    const std::int64_t k0 = FirstOutputFrame(ratio, first);
    const std::int64_t count = FirstOutputFrame(ratio, first + static_cast<std::int64_t>(n)) - k0;
    const std::int64_t lookAhead = LookAheadFrames(ratio, shift);
    // The stream's input from kResampleContext frames before the block.
    const std::int64_t frames = kResampleContext + static_cast<std::int64_t>(n) + lookAhead + 2 + kResampleContext;
    thread_local std::vector<float> x, y;
    x.resize(static_cast<std::size_t>(frames));
    y.resize(static_cast<std::size_t>(count + shift));
    const float lo = out16 ? -32768.0f : -128.0f;
    const float hi = out16 ? 32767.0f : 127.0f;
    const int streams = mapped ? 1 : cin;
    for (int c = 0; c < streams; ++c) {
        for (std::int64_t f = 0; f < frames; ++f) {
            const std::size_t s = static_cast<std::size_t>(f * cin + c);
            float v;
            if (in8) {
                v = static_cast<float>(static_cast<int>(in[s]) - 128);
                if (out16) v *= 256.0f;
            } else {
                std::uint16_t u;
                std::memcpy(&u, in + 2 * s, 2);
                if constexpr (std::endian::native == std::endian::big) u = static_cast<std::uint16_t>((u >> 8) | (u << 8));
                v = static_cast<float>(static_cast<std::int16_t>(u));
            }
            x[static_cast<std::size_t>(f)] = v;
        }
        FilterStream(x.data() + kResampleContext, k0, count + shift, ratio, table, first, y.data());
        for (std::int64_t k = 0; k < count; ++k) {
            const auto frame = static_cast<std::size_t>(k) * static_cast<std::size_t>(cout);
            if (mapped) {
                StoreSample(out, frame, Quantise(y[static_cast<std::size_t>(k)], lo, hi), out16);
                StoreSample(out, frame + 1, Quantise(y[static_cast<std::size_t>(k + shift)], lo, hi), out16);
            } else {
                StoreSample(out, frame + static_cast<std::size_t>(c), Quantise(y[static_cast<std::size_t>(k)], lo, hi), out16);
            }
        }
    }
    return static_cast<std::int32_t>(count * outFormat.nBlockAlign);
}

}  // namespace sonivel
