// The render thread with the real SDL backend on SDL's disk driver, which
// writes exactly what was played to a file, in real time (a faster disk
// driver would leave gaps of silence between the paced blocks).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "playthr.h"
#include "sdl_device.h"
#include "support/engine_fakes.h"
#include "support/thread_rig.h"
#include "support/wave_builder.h"
#include "system_clock.h"

namespace sonivel {
namespace {

using test::Bytes;

TEST(SdlPlayback, PlayWhileSavingPlaysExactlyWhatItSaves) {
    test::TempDir dir;
    const std::string capture = dir.File("played.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);

    const test::Format f{1, 1, 11025, 8};
    const Bytes samples = test::NoiseSamples(f, 11025 * 2 + 3000);
    test::TestHost host;
    host.currentFile = dir.Write("in.wav", test::MakeWave(f, samples));
    host.saveTarget = dir.File("out.wav");
    host.playOnSave = true;
    CommandChannel channel;
    host.onEvent = [&](const std::string& e) {
        if (e == "Play") channel.RequestStop();
    };
    {
        SdlDevice device;
        SystemClock clock;
        PlayThread thread(host, device, clock, channel);
        thread.Start();
        ASSERT_TRUE(thread.WaitUntilStarted());
        channel.Store(kCmdSave);
        thread.Join();
    }
    ASSERT_TRUE(host.errors.empty()) << host.errors.front();
    const Bytes saved = test::ReadAll(host.saveTarget);
    const Bytes played = test::ReadAll(capture);
    // Every input frame becomes four CD frames: two full blocks of 176,416
    // bytes (4 x 11026 frames) and the rest.
    ASSERT_EQ(saved.size(), 44u + samples.size() * 16);
    const Bytes data(saved.begin() + 44, saved.end());
    // The capture starts with the silence written before the first block.
    const auto at = std::search(played.begin(), played.end(), data.begin(), data.begin() + 256);
    ASSERT_NE(at, played.end()) << "the saved sound was not played";
    ASSERT_GE(static_cast<std::size_t>(played.end() - at), data.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), at));
    // Only silence before it.
    EXPECT_TRUE(std::all_of(played.begin(), at, [](std::uint8_t b) { return b == 0; }));
    EXPECT_GT(host.positionReports, 3) << "the position did not move during playback";
}

// Two halves of one recording played as a playlist, cut where a block of the
// uncut recording ends: the device hears the uncut recording's conversion,
// both channels, sample for sample across the join (the stereo effect reads
// the second half's first frames, the band-limited filter the first's end).
TEST(SdlPlayback, TwoHalvesOfARecordingPlayAsTheUncutOne) {
    const test::Format f{1, 1, 22050, 16};
    const std::size_t cut = 22051;  // one full block: a second and the frame after it
    const Bytes whole = test::NoiseSamples(f, cut + 11025, 3);
    for (const bool bandLimited : {false, true}) {
        SCOPED_TRACE(bandLimited ? "band-limited" : "classic");
        test::TempDir dir;
        const std::string capture = dir.File("played.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
        OutputChoice choice{true, true, true, true};
        choice.bandLimited = bandLimited;
        test::SaveRig uncut;
        uncut.host.currentFile = uncut.Wave("uncut.wav", f, whole);
        uncut.host.choice = choice;
        uncut.Save();
        uncut.Run();
        const Bytes file = uncut.Output();
        const Bytes expected(file.begin() + 44, file.end());

        const auto half = static_cast<std::ptrdiff_t>(cut * 2);
        test::TestHost host;
        const std::string a = dir.Write("a.wav", test::MakeWave(f, Bytes(whole.begin(), whole.begin() + half)));
        const std::string b = dir.Write("b.wav", test::MakeWave(f, Bytes(whole.begin() + half, whole.end())));
        host.playlist = {a, b};
        host.currentFile = a;
        host.choice = choice;
        CommandChannel channel;
        host.channel = &channel;
        // Both halves have played when the run ends after b.
        bool joined = false;
        host.onEvent = [&](const std::string& e) {
            if (e == "AdvanceTo " + b) joined = true;
            if (joined && e == "Play") channel.RequestStop();
        };
        {
            SdlDevice device;
            SystemClock clock;
            PlayThread thread(host, device, clock, channel);
            thread.Start();
            ASSERT_TRUE(thread.WaitUntilStarted());
            channel.Store(kCmdPlayStop);
            thread.Join();
        }
        ASSERT_TRUE(joined) << "b did not follow a on the open device";
        const Bytes played = test::ReadAll(capture);
        const auto at = std::search(played.begin(), played.end(), expected.begin(), expected.begin() + 256);
        ASSERT_NE(at, played.end()) << "the first half was not played";
        ASSERT_GE(static_cast<std::size_t>(played.end() - at), expected.size());
        const auto differs = std::mismatch(expected.begin(), expected.end(), at).first;
        EXPECT_EQ(differs, expected.end()) << "the capture leaves the uncut recording at output frame "
                                           << (differs - expected.begin()) / 4 << " of " << expected.size() / 4;
    }
}

}  // namespace
}  // namespace sonivel
