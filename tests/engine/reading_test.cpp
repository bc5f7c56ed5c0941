// What a run reads and what it reports: only the data chunk sounds (what
// lies past it is silence, whatever follows in the file), the stereo effect
// reads ahead across block boundaries, and the seek bar and time follow the
// run's own start, a few times a second, and a silent save's progress.
#include <gtest/gtest.h>

#include <algorithm>

#include "convert.h"
#include "support/thread_rig.h"
#include "support/wave_builder.h"

namespace sonivel {
namespace {

using test::Bytes;
using test::Format;

// The run's output (saved silently) for a file made of `fmt` and `data`,
// followed by a loud LIST chunk when `loudAfter`, as `choice`.
Bytes SavedData(const Format& f, const Bytes& data, bool loudAfter, const OutputChoice& choice) {
    test::SaveRig rig;
    test::RiffBuilder riff;
    riff.Fmt(f).Data(data);
    if (loudAfter) riff.Chunk("LIST", Bytes(4000, f.bits == 8 ? 0xFF : 0x7F));
    rig.host.currentFile = rig.dir.Write("in.wav", riff.Build());
    rig.host.choice = choice;
    rig.Save();
    rig.Run();
    const Bytes file = rig.Output();
    return file.size() > 44 ? Bytes(file.begin() + 44, file.end()) : Bytes();
}

// Every accepted input, as itself in stereo with the effect (the look-ahead
// reaches past the data), and raised to CD quality: a loud chunk after the
// data changes nothing, and the right channel's last look-ahead frames are
// silence, 128 for 8-bit output and 0 for 16-bit.
TEST(DataChunk, BoundsTheSoundForEveryFormat) {
    int checked = 0;
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (std::uint16_t bits : {8, 16})
            for (std::uint16_t ch : {1, 2})
                for (const OutputChoice& choice :
                     {OutputChoice{rate == 44100, bits == 16, true, true}, OutputChoice{true, true, true, true}}) {
                    if (rate == 11025 && !choice.rate44100) continue;  // 11025 Hz output does not exist
                    const Format f{1, ch, rate, bits};
                    SCOPED_TRACE(::testing::Message() << rate << "Hz " << bits << "bit " << ch << "ch -> "
                                                      << (choice.rate44100 ? 44100 : 22050) << "/"
                                                      << (choice.bits16 ? 16 : 8));
                    // A second and a bit: a full block and a last one.
                    const Bytes data = test::NoiseSamples(f, rate + rate / 7, rate + bits + ch);
                    const Bytes plain = SavedData(f, data, false, choice);
                    const Bytes followed = SavedData(f, data, true, choice);
                    ASSERT_FALSE(plain.empty());
                    ASSERT_EQ(followed, plain) << "what follows the data chunk was played";

                    if (ch != 1) continue;
                    // Mono with the effect: the right channel reads ahead.
                    const WAVEFORMATEX out = SelectOutputFormat(choice);
                    const std::size_t r = out.nSamplesPerSec / rate;
                    const std::size_t so = 700u * rate / 11025u;  // in input frames
                    const std::size_t frames = data.size() / f.BlockAlign();
                    const std::size_t frame = out.nBlockAlign, half = frame / 2;
                    const Bytes silence(half, out.wBitsPerSample == 8 ? 128 : 0);
                    // From input frame `frames - so` on, the right channel reads
                    // past the data: silence, in-betweens and all.
                    ASSERT_LT(r * (frames - so), plain.size() / frame);
                    for (std::size_t k = r * (frames - so); k < plain.size() / frame; ++k)
                        ASSERT_TRUE(std::equal(silence.begin(), silence.end(), plain.begin() + static_cast<std::ptrdiff_t>(k * frame + half)))
                            << "output frame " << k;
                    ++checked;
                }
    // Mono inputs: 3 rates x 2 widths x 2 outputs, less 11025 Hz as itself.
    EXPECT_EQ(checked, 3 * 2 * 2 - 2);
}

// The right channel plays input frame k + offset at every frame, also where
// one block meets the next (each block reads the look-ahead past its end).
TEST(StereoEffect, ReadsAheadAcrossEveryBlock) {
    const Format f{1, 1, 11025, 8};
    const std::size_t frames = 11025 * 3 + 500;
    const Bytes data = test::NoiseSamples(f, frames, 7);
    const Bytes out = SavedData(f, data, false, OutputChoice{false, false, true, true});  // 22050 Hz 8-bit stereo
    const std::size_t converted = frames;
    ASSERT_EQ(out.size(), converted * 2 * 2);
    for (std::size_t k = 0; k < converted; ++k) {
        const int right = k + 700 < frames ? data[k + 700] : 128;
        ASSERT_EQ(out[4 * k], data[k]) << k;
        ASSERT_EQ(out[4 * k + 1], right) << k;
    }
}

// Played from the middle, the bar and time start where the run started and
// rise from there; they are reported a few times a second (when the device
// position is a multiple of 100 bytes), not at every look at the device.
TEST(PositionReports, FollowTheRunFromItsStartAFewTimesASecond) {
    test::Rig rig;
    const Format f{1, 1, 11025, 8};
    rig.host.currentFile = rig.Wave("ten.wav", f, test::NoiseSamples(f, 11025 * 10));
    rig.host.seekPosition = 500;
    std::vector<int> bars;
    rig.host.onBar = [&](int position) { bars.push_back(position); };
    rig.Command(kCmdPlayStop);
    rig.Run();
    ASSERT_GE(bars.size(), 3u);
    EXPECT_EQ(bars.back(), 0);  // the end of the track
    bars.pop_back();
    EXPECT_GE(bars.front(), 500);
    EXPECT_LE(bars.front(), 520);
    EXPECT_TRUE(std::is_sorted(bars.begin(), bars.end()));
    EXPECT_GE(bars.back(), 980);
    ASSERT_FALSE(rig.host.lastTimes.empty());
    EXPECT_GE(rig.host.lastTimes.front(), "0:00:05.0");
    EXPECT_LE(rig.host.lastTimes.front(), "0:00:05.2");
    // Five seconds played. The thread looks at the device when it wakes:
    // about ten times a second for the display and at the pacing moments,
    // not hundreds of times; the device counts in 100-byte steps, so each
    // look reports and the bar moves several times a second.
    EXPECT_GE(rig.host.positionReports, 5 * 8);
    EXPECT_LE(rig.device.positionLooks, 5 * 14);
    EXPECT_LE(rig.host.positionReports, rig.device.positionLooks);
}

// A silent save moves the bar once per block, to how far the input was read.
TEST(PositionReports, SilentSaveMovesTheBarAfterEveryBlock) {
    test::SaveRig rig;
    const Format f{1, 1, 11025, 8};
    rig.host.currentFile = rig.Wave("in.wav", f, test::NoiseSamples(f, 11025 * 5 + 300));
    std::vector<int> bars;
    rig.host.onBar = [&](int position) { bars.push_back(position); };
    rig.Save();
    rig.Run();
    // Five full blocks of 11026 frames, each moving the bar to how much of
    // the data was read; then the last block and the return to the start.
    ASSERT_EQ(bars.size(), 6u);
    const double data = 11025 * 5 + 300;
    for (int b = 0; b < 5; ++b) EXPECT_NEAR(bars[b], 1000 * (b + 1) * 11026 / data, 1.0) << b;
    EXPECT_EQ(bars.back(), 0);
}

}  // namespace
}  // namespace sonivel
