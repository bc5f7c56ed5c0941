// Where one block of a raised-rate run meets the next, nothing may be lost
// or doubled: a full block advances one second and one frame and must write
// every output frame up to the next block's first, or the output skips one
// in-between a second (a faint tick on a sustained tone).
//
// The input is a ramp whose steps are multiples of four, so every halving
// in the in-between rule is exact and each output frame is exactly the
// straight line between the two input frames around it, wraps included.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "convert.h"
#include "support/thread_rig.h"
#include "support/wave_builder.h"

namespace sonivel {
namespace {

using test::Bytes;
using test::Format;

// Sample k of channel c of the ramp, as stored in the file.
int RampSample(const Format& f, std::size_t k, int c) {
    if (f.bits == 8) return static_cast<int>((12 * k + 64 * static_cast<std::size_t>(c)) & 0xFF);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(148 * k + 8192 * static_cast<std::size_t>(c)));
}

Bytes Ramp(const Format& f, std::size_t frames) {
    Bytes b;
    for (std::size_t k = 0; k < frames; ++k)
        for (int c = 0; c < f.channels; ++c) {
            const int v = RampSample(f, k, c);
            if (f.bits == 8) {
                b.push_back(static_cast<std::uint8_t>(v));
            } else {
                b.push_back(static_cast<std::uint8_t>(v & 0xFF));
                b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
            }
        }
    return b;
}

struct RampCase {
    Format in;
    OutputChoice choice;
    std::size_t frames;  // frames of the data, every one converted
    bool play;
};

void CheckRampRun(const RampCase& c) {
    const Format& f = c.in;
    const WAVEFORMATEX out = SelectOutputFormat(c.choice);
    const std::size_t r = out.nSamplesPerSec / f.rate;
    const std::size_t dataFrames = c.frames;

    test::SaveRig rig;
    rig.host.currentFile = rig.Wave("ramp.wav", f, Ramp(f, dataFrames));
    rig.host.choice = c.choice;
    rig.host.playOnSave = c.play;
    rig.Save();
    rig.Run();
    const Bytes file = rig.Output();
    test::ExpectConsistentHeader(file);

    const bool out16 = out.wBitsPerSample == 16;
    const std::size_t outChannels = out.nChannels;
    const std::size_t outFrames = (file.size() - 44) / out.nBlockAlign;
    ASSERT_EQ(outFrames, r * c.frames) << "r output frames for each input frame converted";
    if (c.play) {
        const Bytes played = rig.device.AllQueuedBytes();
        ASSERT_TRUE(played == Bytes(file.begin() + 44, file.end())) << "played and saved differ";
    }

    const std::size_t so = f.channels == 1 && outChannels == 2 && c.choice.effects
                               ? static_cast<std::size_t>(700 * f.rate / 11025)
                               : 0;
    // Input frame k of output channel oc, as the output format holds it;
    // past the data, silence.
    const auto mapped = [&](std::size_t k, std::size_t oc) {
        const int silence = out16 ? 0 : 128;
        const std::size_t frame = f.channels == 1 && oc == 1 ? k + so : k;
        if (frame >= dataFrames) return silence;
        const int v = RampSample(f, frame, f.channels == 2 ? static_cast<int>(oc) : 0);
        return f.bits == 8 && out16 ? (v - 128) * 256 : v;
    };
    const auto outSample = [&](std::size_t frame, std::size_t oc) {
        const std::size_t at = 44 + (frame * outChannels + oc) * (out16 ? 2 : 1);
        return out16 ? static_cast<int>(static_cast<std::int16_t>(LoadLE16(&file[at]))) : static_cast<int>(file[at]);
    };
    for (std::size_t k = 0; k < c.frames; ++k)
        for (std::size_t t = 0; t < r; ++t)
            for (std::size_t oc = 0; oc < outChannels; ++oc) {
                const int a = mapped(k, oc), b = mapped(k + 1, oc);
                const int expected = a + (b - a) * static_cast<int>(t) / static_cast<int>(r);
                ASSERT_EQ(outSample(r * k + t, oc), expected)
                    << "input frame " << k << " + " << t << "/" << r << ", channel " << oc;
            }
}

TEST(BlockJoins, EveryInBetweenReachesTheOutputForEveryRaisedRate) {
    int runs = 0;
    for (std::uint32_t rate : {11025u, 22050u})
        for (std::uint16_t bits : {8, 16})
            for (std::uint16_t ch : {1, 2})
                for (bool rate44100 : {false, true})
                    for (bool bits16 : {false, true})
                        for (bool stereo : {false, true})
                            for (bool effects : {false, true}) {
                                const Format f{1, ch, rate, bits};
                                const OutputChoice choice{rate44100, bits16, stereo, effects};
                                const WAVEFORMATEX out = SelectOutputFormat(choice);
                                if (out.nSamplesPerSec <= rate) continue;
                                WAVEFORMAT in{};
                                in.wFormatTag = 1;
                                in.nChannels = ch;
                                in.nSamplesPerSec = rate;
                                in.nBlockAlign = f.BlockAlign();
                                in.nAvgBytesPerSec = f.ByteRate();
                                if (CheckQuality(in, out).Any()) continue;
                                // Two full blocks, then: a part of a second; nothing;
                                // exactly one second (a last block, not a third full one).
                                const std::size_t n = rate;
                                const std::size_t tails[] = {n / 3 + 7, 0, n};
                                const std::size_t frames = 2 * (n + 1) + tails[runs % 3];
                                SCOPED_TRACE(::testing::Message()
                                             << rate << "Hz " << bits << "bit " << ch << "ch -> "
                                             << out.nSamplesPerSec << "Hz " << out.wBitsPerSample
                                             << "bit " << out.nChannels << "ch fx" << effects
                                             << ", " << frames << " frames");
                                CheckRampRun({f, choice, frames, runs % 2 == 1});
                                ++runs;
                                if (::testing::Test::HasFatalFailure()) return;
                            }
    // 11025 Hz to both raised rates and 22050 Hz to 44100 Hz, for each input
    // 8/2/4/2 accepted outputs (mono 8-bit, stereo 8-bit, mono 16-bit, stereo 16-bit).
    EXPECT_EQ(runs, 3 * (8 + 4 + 4 + 2));
}

}  // namespace
}  // namespace sonivel
