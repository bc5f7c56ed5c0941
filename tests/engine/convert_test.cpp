#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "convert.h"
#include "support/wave_builder.h"

namespace sonivel {
namespace {

using test::Bytes;

WAVEFORMAT In(std::uint16_t channels, std::uint32_t rate, int bits) {
    return WAVEFORMAT::Pcm(channels, rate, bits);
}

OutputChoice Choice(bool r44, bool b16, bool stereo, bool effects) {
    return OutputChoice{r44, b16, stereo, effects};
}

Bytes Words(std::initializer_list<int> values) {
    Bytes b;
    for (int v : values) test::Put16(b, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
    return b;
}

std::vector<int> ToWords(const Bytes& b, std::size_t count) {
    std::vector<int> v;
    for (std::size_t i = 0; i < count; ++i)
        v.push_back(static_cast<std::int16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
    return v;
}

struct ConvertedBlock {
    Bytes out;
    std::int32_t written = 0;
};

// Runs one block of `frames` block frames; `in` must hold the extra frames.
ConvertedBlock ConvertOne(const WAVEFORMAT& in, const OutputChoice& choice, const Bytes& input,
              std::int32_t frames) {
    const WAVEFORMATEX out = SelectOutputFormat(choice);
    const BlockParams p = ComputeBlockParams(in, out, choice.effects);
    ConvertedBlock c;
    c.out.assign(kSampleBufferBytes, 0xA5);
    c.written = ConvertBlock(in, out, p, input.data(), frames * in.nBlockAlign, c.out.data());
    return c;
}

TEST(OutputFormat, FollowsTheThreeDecidingChecks) {
    const WAVEFORMATEX hi = SelectOutputFormat(Choice(true, true, true, false));
    EXPECT_EQ(hi.wFormatTag, 1);
    EXPECT_EQ(hi.nSamplesPerSec, 44100u);
    EXPECT_EQ(hi.wBitsPerSample, 16);
    EXPECT_EQ(hi.nChannels, 2);
    EXPECT_EQ(hi.nBlockAlign, 4);
    EXPECT_EQ(hi.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(hi.cbSize, 0);
    const WAVEFORMATEX lo = SelectOutputFormat(Choice(false, false, false, true));
    EXPECT_EQ(lo.nSamplesPerSec, 22050u);
    EXPECT_EQ(lo.wBitsPerSample, 8);
    EXPECT_EQ(lo.nChannels, 1);
    EXPECT_EQ(lo.nBlockAlign, 1);
    EXPECT_EQ(lo.nAvgBytesPerSec, 22050u);
}

TEST(QualityRule, EachConditionOnItsOwn) {
    const WAVEFORMATEX lowest = SelectOutputFormat(Choice(false, false, false, false));
    EXPECT_FALSE(CheckQuality(In(1, 22050, 8), lowest).Any());
    EXPECT_FALSE(CheckQuality(In(1, 11025, 8), lowest).Any());
    const QualityShortfall rate = CheckQuality(In(1, 44100, 8), lowest);
    EXPECT_TRUE(rate.rate && !rate.channels && !rate.bits);
    const QualityShortfall ch = CheckQuality(In(2, 22050, 8), lowest);
    EXPECT_TRUE(!ch.rate && ch.channels && !ch.bits);
    const QualityShortfall bits = CheckQuality(In(1, 22050, 16), lowest);
    EXPECT_TRUE(!bits.rate && !bits.channels && bits.bits);
}

TEST(QualityRule, YesRaisesOnlyWhatFailed) {
    const OutputChoice low = Choice(false, false, false, false);
    const QualityShortfall all = CheckQuality(In(2, 44100, 16), SelectOutputFormat(low));
    ASSERT_TRUE(all.rate && all.channels && all.bits);
    const OutputChoice raised = RaiseOutput(low, all);
    EXPECT_EQ(raised, Choice(true, true, true, false));
    EXPECT_FALSE(CheckQuality(In(2, 44100, 16), SelectOutputFormat(raised)).Any());

    const OutputChoice onlyBits = RaiseOutput(low, CheckQuality(In(1, 22050, 16), SelectOutputFormat(low)));
    EXPECT_EQ(onlyBits, Choice(false, true, false, false));
}

TEST(BlockParams, TwentyTwoKilohertzMonoEightBitToCdQuality) {
    const BlockParams p =
        ComputeBlockParams(In(1, 22050, 8), SelectOutputFormat(Choice(true, true, true, true)), true);
    EXPECT_FALSE(p.PlainCopy);
    EXPECT_EQ(p.RateRatio, 2);
    EXPECT_EQ(p.BlockInBytes, 22050);
    EXPECT_EQ(p.BlockOutBytes, 176400);
    EXPECT_EQ(p.ExpansionFactor, 8);
    EXPECT_EQ(p.StereoOffset, 1400);
    // One second and two frames: the block advances 22051 input frames and
    // writes all 2 x 22051 output frames up to the next block's first.
    EXPECT_EQ(p.FullBlockBytes, 176408);
}

TEST(BlockParams, StereoOffsetIsAlwaysTheSameTime) {
    const WAVEFORMATEX stereo = SelectOutputFormat(Choice(true, true, true, true));
    EXPECT_EQ(ComputeBlockParams(In(1, 11025, 8), stereo, true).StereoOffset, 700);
    EXPECT_EQ(ComputeBlockParams(In(1, 22050, 16), stereo, true).StereoOffset, 1400);
    EXPECT_EQ(ComputeBlockParams(In(1, 44100, 16), stereo, true).StereoOffset, 2800);
    EXPECT_EQ(ComputeBlockParams(In(1, 44100, 16), stereo, false).StereoOffset, 0);
    EXPECT_EQ(ComputeBlockParams(In(2, 44100, 16), stereo, true).StereoOffset, 0);
    const WAVEFORMATEX mono = SelectOutputFormat(Choice(true, true, false, true));
    EXPECT_EQ(ComputeBlockParams(In(1, 11025, 8), mono, true).StereoOffset, 0);
}

TEST(BlockParams, PlainCopyAndExpansionForEveryCombination) {
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (int bits : {8, 16})
            for (std::uint16_t ch : {1, 2})
                for (int mask = 0; mask < 8; ++mask) {
                    const WAVEFORMAT in = In(ch, rate, bits);
                    const WAVEFORMATEX out =
                        SelectOutputFormat(Choice(mask & 1, mask & 2, mask & 4, true));
                    if (CheckQuality(in, out).Any()) continue;
                    const BlockParams p = ComputeBlockParams(in, out, true);
                    const int r = static_cast<int>(out.nSamplesPerSec / rate);
                    EXPECT_EQ(p.RateRatio, r);
                    EXPECT_EQ(p.ExpansionFactor, r * out.nBlockAlign / in.nBlockAlign);
                    EXPECT_EQ(p.PlainCopy, r == 1 && out.nBlockAlign == in.nBlockAlign);
                    // r x (n + 1) output frames when the rate is raised, one second otherwise.
                    const std::int32_t frames = r == 1 ? static_cast<std::int32_t>(rate) : r * (static_cast<std::int32_t>(rate) + 1);
                    EXPECT_EQ(p.FullBlockBytes, frames * out.nBlockAlign);
                    EXPECT_LE(p.FullBlockBytes, kSampleBufferBytes);
                }
}

TEST(ConvertBlock, DoublingWorkedExample) {
    // Mono 16-bit 22050 Hz to 44100 Hz: one block frame and its two followers.
    const ConvertedBlock c = ConvertOne(In(1, 22050, 16), Choice(true, true, false, false),
                            Words({1000, 3001, -5}), 1);
    EXPECT_EQ(ToWords(c.out, 5), (std::vector<int>{1000, 2000, 3001, 1498, -5}));
    EXPECT_EQ(c.written, 5 * 2);
}

TEST(ConvertBlock, QuadruplingWorkedExample) {
    const ConvertedBlock c = ConvertOne(In(1, 11025, 8), Choice(true, false, false, false), Bytes{100, 201}, 0);
    EXPECT_EQ(Bytes(c.out.begin(), c.out.begin() + 5), (Bytes{100, 125, 150, 175, 201}));
    EXPECT_EQ(c.written, 5);
}

TEST(ConvertBlock, InBetweenValues) {
    struct Case {
        int a, b, expected;
    };
    for (const Case& k : {Case{1, 1, 0}, Case{-1, -1, 0}, Case{32767, 32767, 32766},
                          Case{-32768, -32768, -32768}, Case{-3, 0, -1}}) {
        const ConvertedBlock c = ConvertOne(In(1, 22050, 16), Choice(true, true, false, false),
                                Words({k.a, k.b, k.b}), 1);
        EXPECT_EQ(ToWords(c.out, 2)[1], k.expected) << k.a << " " << k.b;
    }
    for (const Case& k : {Case{255, 255, 254}, Case{128, 128, 128}, Case{0, 255, 127}}) {
        const ConvertedBlock c = ConvertOne(In(1, 22050, 8), Choice(true, false, false, false),
                                Bytes{static_cast<std::uint8_t>(k.a), static_cast<std::uint8_t>(k.b),
                                      static_cast<std::uint8_t>(k.b)},
                                1);
        EXPECT_EQ(c.out[1], k.expected) << k.a << " " << k.b;
    }
    // Quadrupling 1 and 3: the centre first, then the quarters from it.
    const ConvertedBlock q = ConvertOne(In(1, 11025, 8), Choice(true, false, false, false), Bytes{1, 3}, 0);
    EXPECT_EQ(Bytes(q.out.begin(), q.out.begin() + 5), (Bytes{1, 0, 1, 1, 3}));
}

TEST(ConvertBlock, Widening) {
    const ConvertedBlock c = ConvertOne(In(1, 22050, 8), Choice(false, true, false, false),
                            Bytes{0, 128, 255, 200, 7, 7}, 4);
    EXPECT_EQ(ToWords(c.out, 4), (std::vector<int>{-32768, 0, 32512, 18432}));
}

TEST(ConvertBlock, StereoEffectShiftsTheRightChannel) {
    // 22050 Hz mono 8-bit to 44100 Hz stereo 16-bit with the effect.
    const WAVEFORMAT in = In(1, 22050, 8);
    const std::int32_t n = 3000;
    const Bytes input = test::NoiseSamples({1, 1, 22050, 8}, n + 2 + 1400);
    const ConvertedBlock c = ConvertOne(in, Choice(true, true, true, true), input, n);
    const std::vector<int> w = ToWords(c.out, static_cast<std::size_t>(c.written / 2));
    for (std::size_t j = 0; j <= static_cast<std::size_t>(n) + 1; ++j) {
        ASSERT_EQ(w[4 * j], (input[j] - 128) * 256) << j;
        ASSERT_EQ(w[4 * j + 1], (input[j + 1400] - 128) * 256) << j;
    }
}

// Every accepted input against every output the quality rule lets through:
// input frames land at multiples of r (widened when 8 becomes 16), the right
// channel carries the look-ahead, interpolated samples lie between their
// neighbours, and nothing is written past the size reported.
TEST(ConvertBlock, PropertiesOverEveryAcceptedCombination) {
    int combos = 0;
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (int bits : {8, 16})
            for (std::uint16_t ch : {1, 2})
                for (int mask = 0; mask < 16; ++mask) {
                    const WAVEFORMAT in = In(ch, rate, bits);
                    const OutputChoice choice = Choice(mask & 1, mask & 2, mask & 4, mask & 8);
                    const WAVEFORMATEX out = SelectOutputFormat(choice);
                    if (CheckQuality(in, out).Any()) continue;
                    const BlockParams p = ComputeBlockParams(in, out, choice.effects);
                    if (p.PlainCopy) continue;
                    ++combos;
                    SCOPED_TRACE(::testing::Message() << rate << "Hz " << bits << "bit " << ch
                                                      << "ch -> " << out.nSamplesPerSec << "Hz "
                                                      << out.wBitsPerSample << "bit "
                                                      << out.nChannels << "ch fx" << choice.effects);
                    // A full block: the largest each buffer must hold.
                    const std::int32_t n = static_cast<std::int32_t>(rate);
                    const test::Format f{1, ch, rate, static_cast<std::uint16_t>(bits)};
                    const Bytes input = test::NoiseSamples(f, static_cast<std::size_t>(n + 2 + p.StereoOffset), rate + mask);
                    ASSERT_LE(BlockInputSpan(in, p, n * in.nBlockAlign), kSampleBufferBytes);
                    const ConvertedBlock c = ConvertOne(in, choice, input, n);
                    const int r = p.RateRatio;
                    ASSERT_EQ(c.written, ((n + 1) * r + 1) * out.nBlockAlign);
                    ASSERT_LE(c.written, kSampleBufferBytes);
                    ASSERT_GE(c.written, p.FullBlockBytes);
                    ASSERT_TRUE(std::all_of(c.out.begin() + c.written, c.out.end(),
                                            [](std::uint8_t b) { return b == 0xA5; }));

                    const bool in8 = bits == 8, out16 = out.wBitsPerSample == 16;
                    const auto inSample = [&](std::size_t frame, int channel) {
                        const std::size_t i = frame * ch + static_cast<std::size_t>(channel);
                        int v = in8 ? input[i] : static_cast<std::int16_t>(input[2 * i] | (input[2 * i + 1] << 8));
                        if (in8 && out16) v = (v - 128) * 256;
                        return v;
                    };
                    const auto outSample = [&](std::size_t frame, int channel) {
                        const std::size_t i = frame * out.nChannels + static_cast<std::size_t>(channel);
                        return out16 ? static_cast<std::int16_t>(c.out[2 * i] | (c.out[2 * i + 1] << 8))
                                     : static_cast<int>(c.out[i]);
                    };
                    for (std::size_t j = 0; j <= static_cast<std::size_t>(n) + 1; ++j) {
                        const std::size_t o = j * static_cast<std::size_t>(r);
                        ASSERT_EQ(outSample(o, 0), inSample(j, 0)) << j;
                        if (out.nChannels == 2) {
                            const std::size_t rj = ch == 2 ? j : j + static_cast<std::size_t>(p.StereoOffset);
                            ASSERT_EQ(outSample(o, 1), inSample(rj, ch == 2 ? 1 : 0)) << j;
                        }
                        if (j > static_cast<std::size_t>(n)) break;
                        // The in-betweens by the rule: half of each, halves
                        // towards zero (8-bit samples are never negative);
                        // quadrupling takes the centre first.
                        const auto mid = [](int x, int y) { return x / 2 + y / 2; };
                        for (int chn = 0; chn < out.nChannels; ++chn) {
                            const int a = outSample(o, chn), b = outSample(o + static_cast<std::size_t>(r), chn);
                            const int centre = mid(a, b);
                            const std::vector<int> expected =
                                r == 2 ? std::vector<int>{centre} : std::vector<int>{mid(a, centre), centre, mid(centre, b)};
                            for (int k = 1; k < r; ++k)
                                ASSERT_EQ(outSample(o + static_cast<std::size_t>(k), chn), expected[static_cast<std::size_t>(k - 1)])
                                    << j << " " << k << " " << chn;
                        }
                    }
                }
    // Accepted outputs per input multiply out to 5 rate x 3 channel x 3 width
    // pairs, twice over for the effect flag, less the 8 x 2 plain copies.
    EXPECT_EQ(combos, 5 * 3 * 3 * 2 - 16);
}

TEST(ConvertBlock, LastBlockConvertsItsFramesPlusTwo) {
    // A last block of m frames reads m + 2 and interpolates up to (m + 1) * r - 1.
    const std::int32_t m = 7;
    const Bytes input = test::NoiseSamples({1, 2, 11025, 16}, m + 2);
    const ConvertedBlock c = ConvertOne(In(2, 11025, 16), Choice(true, true, true, false), input, m);
    EXPECT_EQ(c.written, ((m + 1) * 4 + 1) * 4);
}

}  // namespace
}  // namespace sonivel

namespace sonivel {
namespace {

// The in-between value by the literal rule: each 16-bit half truncated
// toward zero before the sum.
int Half16(int x) { return x / 2; }
int Mid16(int a, int b) { return Half16(a) + Half16(b); }

// Widened 8-bit input takes its own fast path; compare it with the literal
// rule for every ordered pair of bytes, doubling and quadrupling, mono and
// stereo input.
TEST(ConvertBlock, WideningInterpolationMatchesTheRuleForEveryBytePair) {
    for (std::uint16_t channels : {1, 2})
        for (bool quad : {false, true}) {
            const WAVEFORMAT in = In(channels, quad ? 11025 : 22050, 8);
            const int r = quad ? 4 : 2;
            for (int u = 0; u < 256; ++u) {
                // u, 0, u, 1, ... u, 255, u: every pair (u, k) and (k, u).
                Bytes seq;
                for (int k = 0; k < 256; ++k) {
                    seq.push_back(static_cast<std::uint8_t>(u));
                    seq.push_back(static_cast<std::uint8_t>(k));
                }
                seq.push_back(static_cast<std::uint8_t>(u));
                seq.push_back(0);
                Bytes input;
                for (std::size_t i = 0; i < seq.size(); ++i) {
                    input.push_back(seq[i]);
                    if (channels == 2) input.push_back(static_cast<std::uint8_t>(255 - seq[i]));
                }
                const std::int32_t n = static_cast<std::int32_t>(seq.size()) - 2;
                const ConvertedBlock c = ConvertOne(in, Choice(true, true, true, false), input, n);
                const std::vector<int> w = ToWords(c.out, static_cast<std::size_t>(c.written / 2));
                for (std::size_t j = 0; j <= static_cast<std::size_t>(n); ++j)
                    for (std::size_t ch = 0; ch < 2; ++ch) {
                        const auto src = [&](std::size_t f) {
                            const int b = seq[f];
                            return ((channels == 2 && ch == 1) ? 255 - b : b) - 128;
                        };
                        const int a = src(j) * 256, b = src(j + 1) * 256;
                        const std::size_t o = j * static_cast<std::size_t>(r) * 2 + ch;
                        ASSERT_EQ(w[o], a);
                        if (r == 2) {
                            ASSERT_EQ(w[o + 2], Mid16(a, b)) << u << " " << j;
                        } else {
                            const int centre = Mid16(a, b);
                            ASSERT_EQ(w[o + 2], Mid16(a, centre)) << u << " " << j;
                            ASSERT_EQ(w[o + 4], centre) << u << " " << j;
                            ASSERT_EQ(w[o + 6], Mid16(centre, b)) << u << " " << j;
                        }
                    }
            }
        }
}

}  // namespace
}  // namespace sonivel

namespace sonivel {
namespace {

// 8-bit stereo frames are interpolated as one word; each byte must still
// follow the rule on its own, with no carry between the channels.
TEST(ConvertBlock, EightBitStereoInterpolationMatchesTheRuleForEveryBytePair) {
    const auto mid8 = [](int a, int b) { return a / 2 + b / 2; };
    for (bool quad : {false, true}) {
        const WAVEFORMAT in = In(2, quad ? 11025 : 22050, 8);
        const int r = quad ? 4 : 2;
        for (int u = 0; u < 256; ++u) {
            Bytes input;
            std::vector<int> left;
            for (int k = 0; k <= 256; ++k) {
                for (int v : {u, k & 255}) {
                    left.push_back(v);
                    input.push_back(static_cast<std::uint8_t>(v));
                    input.push_back(static_cast<std::uint8_t>(255 - v));
                }
            }
            const std::int32_t n = static_cast<std::int32_t>(left.size()) - 2;
            const ConvertedBlock c = ConvertOne(in, Choice(true, false, true, false), input, n);
            for (std::size_t j = 0; j <= static_cast<std::size_t>(n); ++j)
                for (int ch = 0; ch < 2; ++ch) {
                    const int a = ch ? 255 - left[j] : left[j];
                    const int b = ch ? 255 - left[j + 1] : left[j + 1];
                    const std::size_t o = j * static_cast<std::size_t>(r) * 2 + static_cast<std::size_t>(ch);
                    ASSERT_EQ(c.out[o], a);
                    if (r == 2) {
                        ASSERT_EQ(c.out[o + 2], mid8(a, b));
                    } else {
                        const int centre = mid8(a, b);
                        ASSERT_EQ(c.out[o + 2], mid8(a, centre));
                        ASSERT_EQ(c.out[o + 4], centre);
                        ASSERT_EQ(c.out[o + 6], mid8(centre, b));
                    }
                }
        }
    }
}

}  // namespace
}  // namespace sonivel
