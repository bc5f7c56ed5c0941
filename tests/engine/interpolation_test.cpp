// The band-limited interpolation as a listener measures it, through the
// real save run: tones keep their level and come back without mirror
// images, block joins and seeks leave no seam, full-scale input never wraps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "convert.h"
#include "position.h"
#include "support/thread_rig.h"
#include "support/wave_builder.h"

namespace sonivel {
namespace {

using test::Bytes;
using test::Format;

constexpr double kPi = 3.14159265358979323846;
// -6 dBFS.
constexpr double kAmplitude = 0.5011872336272722;

OutputChoice Hq(bool rate44100, bool bits16, bool stereo, bool effects) {
    OutputChoice c{rate44100, bits16, stereo, effects};
    c.bandLimited = true;
    return c;
}

// Sample k of a sine of `freq` at the format's rate, full scale 1.
double Sine(const Format& f, double freq, std::size_t k) {
    return kAmplitude * std::sin(2 * kPi * freq * static_cast<double>(k) / f.rate);
}

// A tone on the left channel (and on mono input), another on the right.
Bytes Tones(const Format& f, double left, double right, std::size_t frames) {
    Bytes b;
    for (std::size_t k = 0; k < frames; ++k)
        for (int c = 0; c < f.channels; ++c) {
            const double v = Sine(f, c == 0 ? left : right, k);
            if (f.bits == 8) b.push_back(static_cast<std::uint8_t>(std::lround(v * 127) + 128));
            else test::Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v * 32767))));
        }
    return b;
}

// The saved data of `samples` (and, when `played` is given, what the run
// played while saving).
Bytes Saved(const Format& f, const Bytes& samples, const OutputChoice& choice, int seek = 0,
            Bytes* played = nullptr) {
    test::SaveRig rig;
    rig.host.currentFile = rig.Wave("in.wav", f, samples);
    rig.host.choice = choice;
    rig.host.seekPosition = seek;
    rig.host.playOnSave = played != nullptr;
    rig.Save();
    rig.Run();
    const Bytes file = rig.Output();
    EXPECT_GE(file.size(), 44u);
    if (played) *played = rig.device.AllQueuedBytes();
    return Bytes(file.begin() + 44, file.end());
}

// Channel `c` of saved data, full scale 1.
std::vector<double> Channel(const Bytes& data, const WAVEFORMATEX& out, int c) {
    std::vector<double> x;
    const std::size_t frames = data.size() / out.nBlockAlign;
    for (std::size_t k = 0; k < frames; ++k) {
        const std::size_t at = k * out.nBlockAlign + static_cast<std::size_t>(c) * (out.wBitsPerSample / 8);
        if (out.wBitsPerSample == 16)
            x.push_back(static_cast<std::int16_t>(data[at] | (data[at + 1] << 8)) / 32767.0);
        else
            x.push_back((data[at] - 128) / 127.0);
    }
    return x;
}

void Fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2 * kPi / static_cast<double>(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> t = 1;
            for (std::size_t k = 0; k < len / 2; ++k, t *= w) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * t;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

double BesselI0(double x) {
    double sum = 1, term = 1;
    for (int k = 1; k < 200 && term > sum * 1e-18; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
    }
    return sum;
}

struct Analysis {
    double levelDb = 0;  // the tone's level against the input's
    double spurDb = 0;   // the strongest component more than 40 Hz away, against the tone
    double spurHz = 0;
};

// A Kaiser-windowed (beta 38) spectrum of 32768 samples centred on
// `centre`, as a resampler is measured.
Analysis Analyse(const std::vector<double>& x, double rate, double freq, std::size_t centre) {
    constexpr std::size_t n = 32768;
    EXPECT_GE(centre, n / 2);
    EXPECT_LE(centre + n / 2, x.size());
    std::vector<double> w(n);
    double wsum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = 2.0 * static_cast<double>(i) / (n - 1) - 1;
        w[i] = BesselI0(38 * std::sqrt(std::max(0.0, 1 - t * t))) / BesselI0(38);
        wsum += w[i];
    }
    std::vector<std::complex<double>> a(n);
    std::complex<double> tone = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = x[centre - n / 2 + i] * w[i];
        a[i] = v;
        tone += v * std::polar(1.0, -2 * kPi * freq * static_cast<double>(i) / rate);
    }
    const double toneLevel = std::abs(tone) / (wsum / 2);
    Fft(a);
    Analysis r;
    double spur = 0;
    for (std::size_t k = 0; k <= n / 2; ++k) {
        const double hz = static_cast<double>(k) * rate / n;
        if (std::abs(hz - freq) <= 40) continue;
        const double m = std::abs(a[k]) / (wsum / 2);
        if (m > spur) {
            spur = m;
            r.spurHz = hz;
        }
    }
    r.levelDb = 20 * std::log10(toneLevel / kAmplitude);
    r.spurDb = 20 * std::log10(spur / toneLevel);
    return r;
}

// Every raised rate, mono and stereo input, with and without the effect:
// 16-bit output keeps the tone's level to 0.45 of the input rate within
// 0.1 dB, and nothing else comes within 95 dB of it, across the first
// block join. 8-bit output carries the requantisation of 8-bit samples:
// nothing within 40 dB.
TEST(BandLimited, TonesComeBackAtFullLevelWithoutImages) {
    struct Case {
        std::uint32_t rate;
        bool rate44100;
        int bits;
        std::uint16_t channels;
        bool effects;
    };
    const Case cases[] = {
        {11025, false, 16, 1, false}, {11025, true, 16, 1, true}, {11025, true, 16, 2, false},
        {22050, true, 16, 1, true},   {22050, true, 16, 2, false}, {11025, true, 8, 1, false},
        {22050, true, 8, 2, false},
    };
    for (const Case& c : cases)
        // Near 0.09, 0.27 and 0.45 of the input rate, off the short periods
        // whose 16-bit rounding in the input alone would make spurs.
        for (double fraction : {0.0907, 0.2713, 0.4499}) {
            const Format f{1, c.channels, c.rate, static_cast<std::uint16_t>(c.bits)};
            const double left = fraction * c.rate;
            const double right = left * 0.83;
            const OutputChoice choice = Hq(c.rate44100, c.bits == 16, true, c.effects);
            const WAVEFORMATEX out = SelectOutputFormat(choice);
            const Bytes data = Saved(f, Tones(f, left, right, 3 * c.rate), choice);
            const std::size_t r = out.nSamplesPerSec / c.rate;
            // The first block join: the second block's first frame.
            const std::size_t join = (c.rate + 1) * r;
            const double floor = c.bits == 16 ? -95 : -40;
            for (int ch = 0; ch < 2; ++ch) {
                const double freq = ch == 1 && c.channels == 2 ? right : left;
                const Analysis a = Analyse(Channel(data, out, ch), out.nSamplesPerSec, freq, join);
                SCOPED_TRACE(::testing::Message() << c.rate << " Hz " << c.bits << "-bit " << c.channels
                                                  << "ch -> " << out.nSamplesPerSec << " Hz, fx " << c.effects
                                                  << ", channel " << ch << ", tone " << freq << " Hz");
                EXPECT_NEAR(a.levelDb, 0, c.bits == 16 ? 0.1 : 0.2);
                EXPECT_LT(a.spurDb, floor) << "at " << a.spurHz << " Hz";
            }
        }
}

// The classic in-betweens, measured the same way, are what the
// band-limited ones are for: an image of a tone near the top of the band
// comes within a few dB of it.
TEST(BandLimited, TheClassicInBetweensLeaveImages) {
    const Format f{1, 1, 11025, 16};
    const OutputChoice classic{true, true, true, false};
    const Bytes data = Saved(f, Tones(f, 4950, 4950, 3 * 11025), classic);
    const Analysis a = Analyse(Channel(data, SelectOutputFormat(classic), 0), 44100, 4950, 11026 * 4);
    EXPECT_GT(a.spurDb, -10);
    EXPECT_LT(a.levelDb, -5);
}

// One file, played while saved, saved from several seek positions: where
// they overlap, every output sample is the same, across every block join
// (the context a block reads is the file's, not the run's).
TEST(BandLimited, PlaySaveAndSeekGiveTheSameSamples) {
    struct Case {
        Format in;
        OutputChoice choice;
    };
    const Case cases[] = {
        {{1, 1, 11025, 8}, Hq(true, true, true, true)},
        {{1, 2, 22050, 16}, Hq(true, true, true, false)},
        {{1, 1, 11025, 8}, Hq(false, false, false, false)},
        {{1, 1, 22050, 16}, Hq(true, true, true, true)},
    };
    for (const Case& c : cases) {
        const std::size_t frames = c.in.rate * 3 + 777;
        const Bytes samples = test::NoiseSamples(c.in, frames, 11);
        const WAVEFORMATEX out = SelectOutputFormat(c.choice);
        const std::size_t r = out.nSamplesPerSec / c.in.rate;
        Bytes played;
        const Bytes whole = Saved(c.in, samples, c.choice, 0, &played);
        ASSERT_EQ(whole.size(), frames * r * out.nBlockAlign);
        ASSERT_TRUE(played == whole) << "played and saved differ";
        for (int seek : {1, 333, 500, 999}) {
            SCOPED_TRACE(::testing::Message() << c.in.rate << " Hz " << c.in.bits << "-bit " << c.in.channels
                                              << "ch, seek " << seek);
            const Bytes part = Saved(c.in, samples, c.choice, seek);
            const SeekPlan plan = PlanSeek(seek, kSeekBarMax, static_cast<std::int32_t>(samples.size()), 44,
                                           c.in.BlockAlign());
            const std::size_t from = static_cast<std::size_t>(plan.StartOffset - 44) / c.in.BlockAlign() * r *
                                     out.nBlockAlign;
            ASSERT_EQ(part.size(), whole.size() - from);
            const auto diff = std::mismatch(part.begin(), part.end(), whole.begin() + static_cast<std::ptrdiff_t>(from));
            ASSERT_TRUE(diff.first == part.end())
                << "first difference at output byte " << (diff.first - part.begin());
        }
    }
}

// Over every accepted combination: a full block with its context fits the
// input buffer, the output has the classic length and writes nothing past
// it, the input's own frames pass unchanged, and where the rate is not
// raised nothing is filtered at all.
TEST(BandLimited, KeepsTheBlockShapeOverEveryCombination) {
    int raised = 0;
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (int bits : {8, 16})
            for (std::uint16_t ch : {1, 2})
                for (int mask = 0; mask < 16; ++mask) {
                    const WAVEFORMAT in = WAVEFORMAT::Pcm(ch, rate, bits);
                    const OutputChoice classic{(mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0};
                    const WAVEFORMATEX out = SelectOutputFormat(classic);
                    if (CheckQuality(in, out).Any()) continue;
                    const BlockParams pc = ComputeBlockParams(in, out, classic.effects, false);
                    const BlockParams ph = ComputeBlockParams(in, out, classic.effects, true);
                    if (pc.PlainCopy) {
                        EXPECT_FALSE(ph.BandLimited);
                        continue;
                    }
                    SCOPED_TRACE(::testing::Message() << rate << " Hz " << bits << "-bit " << ch << "ch, mask " << mask);
                    const std::int32_t n = static_cast<std::int32_t>(rate);
                    const std::int32_t blockBytes = n * in.nBlockAlign;
                    ASSERT_LE(BlockInputSpan(in, ph, blockBytes), kSampleBufferBytes);
                    const std::size_t context = static_cast<std::size_t>(ph.ContextFrames) * in.nBlockAlign;
                    const Format f{1, ch, rate, static_cast<std::uint16_t>(bits)};
                    const Bytes withContext = test::NoiseSamples(
                        f, static_cast<std::size_t>(BlockInputSpan(in, ph, blockBytes)) / in.nBlockAlign, rate + 3);
                    const Bytes plain(withContext.begin() + static_cast<std::ptrdiff_t>(context), withContext.end());
                    Bytes a(kSampleBufferBytes, 0xA5), b(kSampleBufferBytes, 0xA5);
                    const std::int32_t wc = ConvertBlock(in, out, pc, plain.data(), blockBytes, a.data());
                    const std::int32_t wh = ConvertBlock(in, out, ph, withContext.data(), blockBytes, b.data());
                    ASSERT_EQ(wh, wc);
                    ASSERT_TRUE(std::all_of(b.begin() + wh, b.end(), [](std::uint8_t v) { return v == 0xA5; }));
                    if (!ph.BandLimited) {
                        EXPECT_EQ(ph.ContextFrames, 0);
                        EXPECT_TRUE(a == b);
                        continue;
                    }
                    ++raised;
                    const std::size_t frame = out.nBlockAlign, r = static_cast<std::size_t>(ph.RateRatio);
                    for (std::size_t j = 0; j <= static_cast<std::size_t>(n) + 1; ++j)
                        ASSERT_TRUE(std::equal(a.begin() + static_cast<std::ptrdiff_t>(j * r * frame),
                                               a.begin() + static_cast<std::ptrdiff_t>((j * r + 1) * frame),
                                               b.begin() + static_cast<std::ptrdiff_t>(j * r * frame)))
                            << "input frame " << j;
                    EXPECT_FALSE(a == b) << "the in-betweens were not filtered";
                }
    // Three raised rates (11025 Hz to both, 22050 Hz to 44100 Hz), each with
    // 8/4/4/2 outputs for mono 8-bit, stereo 8-bit, mono 16-bit and stereo
    // 16-bit input, the effect's check on and off counted apart.
    EXPECT_EQ(raised, 3 * (8 + 4 + 4 + 2));
}

// Full-scale square waves ring past the sample range where they step; the
// in-betweens saturate there instead of wrapping to the other end.
TEST(BandLimited, FullScaleNeverWraps) {
    for (int bits : {8, 16})
        for (bool bits16 : {false, true}) {
            if (bits == 16 && !bits16) continue;
            for (std::size_t period : {4u, 10u, 37u}) {
                const Format f{1, 1, 11025, static_cast<std::uint16_t>(bits)};
                Bytes samples;
                std::vector<bool> high;
                for (std::size_t k = 0; k < 11025 * 2; ++k) {
                    high.push_back(k / (period / 2) % 2 == 0);
                    if (bits == 8) samples.push_back(high.back() ? 255 : 0);
                    else test::Put16(samples, high.back() ? 0x7FFF : 0x8000);
                }
                const OutputChoice choice = Hq(true, bits16, false, false);
                const std::vector<double> x = Channel(Saved(f, samples, choice), SelectOutputFormat(choice), 0);
                // Between two input frames at the same end of the range, the
                // sound stays at that end: a wrap would land at the other.
                for (std::size_t k = 0; k + 1 < high.size(); ++k) {
                    if (high[k] != high[k + 1]) continue;
                    for (std::size_t t = 1; t < 4; ++t) {
                        const double v = x[4 * k + t];
                        ASSERT_TRUE(high[k] ? v > 0.5 : v < -0.5)
                            << bits << "-bit in, " << (bits16 ? 16 : 8) << "-bit out, period " << period
                            << ": output frame " << 4 * k + t << " is " << v;
                    }
                }
            }
        }
}

}  // namespace
}  // namespace sonivel
