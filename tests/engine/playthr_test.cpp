#include <gtest/gtest.h>

#include <csignal>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "convert.h"
#include "playthr.h"
#include "position.h"
#include "save.h"
#include "support/engine_fakes.h"
#include "support/thread_rig.h"
#include "support/wave_builder.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {
namespace {

using test::Bytes;
using test::Format;

using test::OpenDescriptors;
using test::Rig;
using test::SaveRig;
using test::ExpectConsistentHeader;

Format CdFormat() { return {1, 2, 44100, 16}; }

TEST(PlayThread, StartupDeviceCheck) {
    struct Case {
        bool ok;
        std::uint16_t channels;
        std::uint32_t formats;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {true, 2, WAVE_FORMAT_ALL, {}},
        {false, 2, WAVE_FORMAT_ALL, {"Error 38"}},
        {true, 1, WAVE_FORMAT_ALL, {"Limits mono"}},
        {true, 2, WAVE_FORMAT_ALL & ~(WAVE_FORMAT_4M16 | WAVE_FORMAT_2M16), {"Limits 8bit"}},
        {true, 2, WAVE_FORMAT_ALL & ~WAVE_FORMAT_4M16, {}},
        {true, 2, WAVE_FORMAT_ALL & ~WAVE_FORMAT_4M08, {"Limits 22050"}},
        {true, 2, WAVE_FORMAT_ALL & ~WAVE_FORMAT_2M08, {"Error 37"}},
        {true, 1, WAVE_FORMAT_1M08, {"Limits mono 8bit 22050", "Error 37"}},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.device.capsOk = c.ok;
        rig.device.caps = WaveOutCaps{c.channels, c.formats};
        rig.Run();
        EXPECT_EQ(rig.host.events, c.expected) << c.channels << " " << c.formats;
    }
}

TEST(PlayThread, BuffersThatCannotBeHadEndTheProgram) {
    Rig rig;
    int calls = 0;
    rig.options.allocate = [&calls](std::size_t n) {
        return ++calls == 2 ? nullptr : std::unique_ptr<std::uint8_t[]>(new std::uint8_t[n]);
    };
    PlayThread thread(rig.host, rig.device, rig.clock, rig.channel, rig.options);
    rig.channel.Store(kCmdPlayStop);
    thread.Run();
    EXPECT_EQ(thread.StartupState(), PlayThread::Startup::Failed);
    EXPECT_EQ(rig.host.events, (std::vector<std::string>{"Error 39", "Quit"}));
    EXPECT_EQ(rig.clock.idleWaits, 0);
}

TEST(PlayThread, PlaysInPacedBlocksAndNeverTouchesAPlayingBuffer) {
    Rig rig;
    const Format f = CdFormat();
    const Bytes samples = test::NoiseSamples(f, 44100 * 2 + 22050);
    rig.host.currentFile = rig.Wave("cd.wav", f, samples);
    rig.Command(kCmdPlayStop);
    const std::uint32_t t0 = rig.clock.now;
    rig.Run();

    ASSERT_EQ(rig.device.queued.size(), 3u);
    const auto& q = rig.device.queued;
    // The first block at once (the run starts after one idle step of 10 ms);
    // the second 850 ms after the first started; the last, shorter block at
    // once after the second block's 300 ms window.
    EXPECT_EQ(q[0].time, t0 + 10);
    EXPECT_EQ(q[1].time - q[0].time, 850u);
    // The thread wakes when the first block is done, not at a later poll.
    EXPECT_EQ(q[2].time - static_cast<std::uint32_t>(std::ceil(q[0].end)), 300u);
    // Each block queued well before the one ahead of it ran out.
    EXPECT_LT(q[1].time, q[0].end);
    EXPECT_LT(q[2].time, q[1].end);
    EXPECT_EQ(rig.device.overwrittenWhilePlaying, 0);

    // Equal formats: a plain copy, one second a block, nothing dropped.
    const Bytes played = rig.device.AllQueuedBytes();
    ASSERT_EQ(played.size(), samples.size());
    EXPECT_TRUE(std::equal(played.begin(), played.end(), samples.begin()));
    EXPECT_EQ(q[0].bytes.size(), 176400u);

    EXPECT_EQ(rig.host.events.front(), "Stop");
    EXPECT_TRUE(rig.host.Saw("TimeLabels"));
    EXPECT_TRUE(rig.host.Saw("Bar0"));
    // The playlist has nothing after the file: the button shows Play once
    // the thread is idle again, not before the advance was asked.
    ASSERT_GE(rig.host.events.size(), 2u);
    EXPECT_EQ(rig.host.events.end()[-2], "Advance");
    EXPECT_EQ(rig.host.events.back(), "Play");
    EXPECT_GT(rig.host.positionReports, 5);
    EXPECT_EQ(rig.host.lastTimes.back().substr(0, 7), "0:00:02");
    EXPECT_EQ(rig.device.calls.back(), "Close");
}

TEST(PlayThread, RaisedRatesTileBlocksOneFrameApart) {
    // 11025 Hz mono 8-bit quadrupled to 44100 Hz mono 8-bit: each full block
    // advances 11026 input frames and plays 4 x 11026 output frames, one
    // second and four more, so the next block's first frame follows the
    // last in-between towards it and the blocks join without a gap.
    Rig rig;
    const Format f{1, 1, 11025, 8};
    const Bytes samples = test::NoiseSamples(f, 11025 * 2 + 500);
    rig.host.currentFile = rig.Wave("old.wav", f, samples);
    rig.host.choice = OutputChoice{true, false, false, false};
    rig.Command(kCmdPlayStop);
    rig.Run();
    const auto& q = rig.device.queued;
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[0].bytes.size(), 44100u + 4);
    EXPECT_EQ(q[1].bytes.size(), 44100u + 4);
    const Bytes played = rig.device.AllQueuedBytes();
    // Input frame k plays at output frame 4k, across both joins.
    for (std::size_t k : {0ul, 11024ul, 11025ul, 11026ul, 22051ul, 22052ul, 22547ul})
        EXPECT_EQ(played[4 * k], samples[k]) << k;
    // The in-betweens before the second block's first frame are played.
    EXPECT_EQ(played[44102], static_cast<std::uint8_t>(samples[11025] / 2 + samples[11026] / 2));
    // Remaining after two blocks: 22550 - 2 * 11026 = 498 frames, the
    // last of the file among them.
    EXPECT_EQ(q[2].bytes.size(), 498u * 4);
    EXPECT_EQ(played.size(), 4u * 22550);
    EXPECT_EQ(played[4 * 22549], samples[22549]);
}

TEST(PlayThread, ShortFileIsOneLastBlockQueuedAtOnce) {
    Rig rig;
    const Format f{1, 1, 22050, 16};
    rig.host.currentFile = rig.Wave("short.wav", f, test::NoiseSamples(f, 1000));
    rig.Command(kCmdPlayStop);
    rig.Run();
    ASSERT_EQ(rig.device.queued.size(), 1u);
    // 22050 Hz mono 16-bit to 44100 Hz stereo 16-bit: 4 output bytes per
    // input byte, for every one of the 1000 frames.
    EXPECT_EQ(rig.device.queued[0].bytes.size(), 1000u * 2 * 4);
}

TEST(PlayThread, StartAtTheEndPlaysNothingAndGoesOn) {
    Rig rig;
    const Format f = CdFormat();
    rig.host.currentFile = rig.Wave("a.wav", f, test::NoiseSamples(f, 100));
    rig.host.playlist = {rig.host.currentFile};
    rig.host.seekPosition = 1000;
    rig.Command(kCmdPlayStop);
    rig.Run();
    EXPECT_TRUE(rig.device.queued.empty());
    EXPECT_TRUE(rig.host.Saw("Advance"));
}

TEST(PlayThread, AdvancesThroughThePlaylistAndRepeats) {
    Rig rig;
    const Format f{1, 1, 11025, 8};
    const std::string a = rig.Wave("a.wav", f, Bytes(300, 10));
    const std::string b = rig.Wave("b.wav", f, Bytes(300, 20));
    rig.host.playlist = {a, b};
    rig.host.currentFile = a;
    rig.host.autoRepeat = true;
    rig.host.choice = OutputChoice{false, false, false, false};
    rig.Command(kCmdPlayStop);
    // Stop on the third track start (A again).
    rig.clock.At(rig.clock.now + 500, [&] { rig.channel.Store(kCmdPlayStop); });
    rig.Run();
    ASSERT_GE(rig.device.queued.size(), 3u);
    EXPECT_EQ(rig.device.queued[0].bytes[0], 10);
    EXPECT_EQ(rig.device.queued[1].bytes[0], 20);
    EXPECT_EQ(rig.device.queued[2].bytes[0], 10);
}

// The window shows Play the moment a run ends. A click after that is meant
// for the next run and is kept; one given before it was meant for the run
// that ended and goes with it.
TEST(PlayThread, ClicksAsATrackEndsCountAgainstWhatTheWindowShowed) {
    const Format f{1, 1, 11025, 8};
    {
        Rig rig;
        rig.host.currentFile = rig.Wave("a.wav", f, Bytes(300, 1));
        rig.host.playlist = {rig.host.currentFile};
        rig.Command(kCmdPlayStop);
        int shown = 0;
        rig.host.onEvent = [&](const std::string& event) {
            if (event == "Play" && ++shown == 1) rig.channel.Store(kCmdPlayStop);  // Play, clicked at once
        };
        rig.Run();
        EXPECT_EQ(rig.host.Count("Stop"), 2u) << "the second Play was lost";
    }
    {
        Rig rig;
        rig.host.currentFile = rig.Wave("a.wav", f, Bytes(300, 1));
        rig.host.playlist = {rig.host.currentFile};
        rig.Command(kCmdPlayStop);
        bool clicked = false;
        rig.host.onBar = [&](int position) {
            // The bar goes back to 0 just before the run closes: Stop, still shown, is clicked.
            if (position == 0 && rig.host.Saw("Stop") && !clicked) {
                clicked = true;
                rig.channel.Store(kCmdPlayStop);
            }
        };
        rig.Run();
        EXPECT_TRUE(clicked);
        EXPECT_EQ(rig.host.Count("Stop"), 1u) << "a Stop click started the file again";
    }
    {
        // The playlist went on to b (gaplessly) before the window heard of
        // it, and the person moved the bar: the restart is for a, which
        // loads again.
        Rig rig;
        const std::string a = rig.Wave("a.wav", f, Bytes(3000, 1));
        rig.host.currentFile = a;
        rig.host.playlist = {a, rig.Wave("b.wav", Format{1, 2, 22050, 16}, Bytes(400000, 2))};
        rig.Command(kCmdPlayStop);
        bool restarted = false, stopped = false;
        rig.host.onEvent = [&](const std::string& event) {
            if (event.rfind("AdvanceTo ", 0) != 0 || restarted) return;
            restarted = true;
            CommandRequest r = CommandRequest::Restart(500);
            r.setup = rig.host.SetupNow();  // as the window still shows it: a
            rig.channel.Send(std::move(r));
        };
        rig.host.onBar = [&](int position) {
            if (restarted && position >= 500 && !stopped) {
                stopped = true;
                rig.channel.Store(kCmdPlayStop);
            }
        };
        rig.Run();
        EXPECT_TRUE(stopped);
        EXPECT_EQ(rig.heldDataBytes, 3000u) << "the restart read the other file";
    }
}

TEST(PlayThread, CommandsInIdle) {
    Rig rig;
    const Format f{1, 1, 11025, 8};
    const std::string a = rig.Wave("a.wav", f, Bytes(300, 1));
    const std::string b = rig.Wave("b.wav", f, Bytes(300, 2));
    const std::string c = rig.Wave("c.wav", f, Bytes(300, 3));
    rig.host.playlist = {a, b, c};
    rig.host.currentFile = b;
    // The window steps, then gives the step: an idle thread plays nothing.
    rig.clock.WhenIdle([&] { rig.channel.Send(rig.host.StepCommand(true)); });
    rig.clock.WhenIdle([&] { EXPECT_EQ(rig.host.currentFile, c); rig.channel.Send(rig.host.StepCommand(true)); });
    rig.clock.WhenIdle([&] { EXPECT_EQ(rig.host.currentFile, a); rig.channel.Send(rig.host.StepCommand(false)); });
    rig.Run();
    EXPECT_EQ(rig.host.currentFile, c);
    EXPECT_TRUE(rig.device.calls.empty() || rig.device.calls == std::vector<std::string>{"GetCaps"});
    EXPECT_FALSE(rig.host.Saw("Stop"));
}

// A command that starts a run brings the run's set-up, as the window had it
// when the person acted; a run without one (here a plain code) asks the
// window at the load. The window's answers name another file, format and
// target, so what was used shows which of the two was read.
TEST(PlayThread, ARunIsSetUpAsItsCommandBroughtIt) {
    struct Case {
        const char* name;
        std::int32_t code;
        bool brought;
    };
    for (const Case& c : {Case{"play brought", kCmdPlayStop, true}, Case{"play asked", kCmdPlayStop, false},
                          Case{"save brought", kCmdSave, true}, Case{"save asked", kCmdSave, false},
                          Case{"step brought", kCmdNextTrack, true}, Case{"step asked", kCmdNextTrack, false}}) {
        SaveRig rig;
        const Format f{1, 1, 11025, 8};
        const std::string given = rig.Wave("given.wav", f, Bytes(3000, 1));
        const std::string window = rig.Wave("window.wav", f, Bytes(5000, 2));
        const std::string givenOut = rig.dir.File("given-out.wav");
        rig.host.currentFile = window;
        rig.host.choice = OutputChoice{true, true, true, false, false};
        rig.host.playOnSave = true;
        RunSetup setup;
        setup.file = given;
        setup.saveTarget = givenOut;
        setup.choice = OutputChoice{false, false, false, false, false};
        setup.barMax = kSeekBarMax;
        rig.clock.WhenIdle([&] {
            CommandRequest r = c.code == kCmdSave       ? CommandRequest::Plain(kCmdSave)
                               : c.code == kCmdNextTrack ? CommandRequest::Step(true, true)
                                                         : CommandRequest::PlayStop(PlayIntent::Play);
            if (c.brought) r.setup = setup;
            rig.channel.Send(r);
        });
        rig.Run();
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(rig.host.errors.empty());
        EXPECT_EQ(rig.heldDataBytes, c.brought ? 3000u : 5000u);
        // Played only where the play-while-saving answer was read.
        const bool played = c.code != kCmdSave || !c.brought;
        ASSERT_EQ(rig.device.opened.size(), played ? 1u : 0u);
        if (played) {
            EXPECT_EQ(rig.device.opened[0].nSamplesPerSec, c.brought ? 22050u : 44100u);
        }
        if (c.code == kCmdSave) {
            EXPECT_EQ(std::filesystem::exists(givenOut), c.brought);
            EXPECT_EQ(std::filesystem::exists(rig.out), !c.brought);
        }
    }
}

TEST(PlayThread, StopRestartAndTrackChangeDuringARun) {
    Rig rig;
    const Format f = CdFormat();
    const Bytes one = test::NoiseSamples(f, 44100 * 4, 1);
    const Bytes two = test::NoiseSamples(f, 44100 * 4, 2);
    const std::string a = rig.Wave("a.wav", f, one);
    const std::string b = rig.Wave("b.wav", f, two);
    rig.host.playlist = {a, b};
    rig.host.currentFile = a;
    const std::uint32_t t = rig.clock.now;
    // Each command brings what its run needs, as the window's do.
    const auto bringing = [&](CommandRequest r) {
        r.setup = rig.host.SetupNow();
        return r;
    };
    rig.clock.WhenIdle([&] { rig.channel.Send(bringing(CommandRequest::PlayStop(PlayIntent::Play))); });
    // A restart at 1.5 s from the bar at 500, then Next at 2.5 s, then stop.
    rig.clock.At(t + 1500, [&] { rig.channel.Send(bringing(CommandRequest::Restart(500))); });
    rig.clock.At(t + 2500, [&] { rig.channel.Send(rig.host.StepCommand(true)); });
    rig.clock.At(t + 3000, [&] { rig.channel.Store(kCmdPlayStop); });
    rig.Run();

    ASSERT_EQ(rig.device.opened.size(), 3u);
    EXPECT_EQ(rig.device.overwrittenWhilePlaying, 0);
    // The restarted run began with the block at the bar's position.
    const auto restarted = std::find_if(rig.device.queued.begin(), rig.device.queued.end(),
                                        [&](const auto& q) { return q.time >= t + 1500; });
    ASSERT_NE(restarted, rig.device.queued.end());
    EXPECT_TRUE(std::equal(restarted->bytes.begin(), restarted->bytes.begin() + 64, one.begin() + one.size() / 2));
    // After Next, b plays from its start.
    const auto next = std::find_if(rig.device.queued.begin(), rig.device.queued.end(),
                                   [&](const auto& q) { return q.time >= t + 2500; });
    ASSERT_NE(next, rig.device.queued.end());
    EXPECT_TRUE(std::equal(next->bytes.begin(), next->bytes.begin() + 64, two.begin()));
    EXPECT_EQ(rig.host.currentFile, b);
    EXPECT_FALSE(rig.host.Saw("Advance"));
    EXPECT_EQ(rig.host.events.back(), "Play");
    EXPECT_EQ(rig.host.setupReads, 0) << "the thread waited for the window";
}

TEST(PlayThread, QualityQuestion) {
    for (bool yes : {false, true}) {
        Rig rig;
        const Format f = CdFormat();
        rig.host.currentFile = rig.Wave("cd.wav", f, test::NoiseSamples(f, 1000));
        rig.host.choice = OutputChoice{false, false, false, true};
        rig.host.answerYes = yes;
        rig.Command(kCmdPlayStop);
        rig.Run();
        EXPECT_EQ(rig.host.questions, 1);
        if (yes) {
            EXPECT_EQ(rig.host.choice, (OutputChoice{true, true, true, true}));
            ASSERT_EQ(rig.device.opened.size(), 1u);
            EXPECT_EQ(rig.device.opened[0].nSamplesPerSec, 44100u);
            EXPECT_EQ(rig.device.opened[0].nChannels, 2);
            EXPECT_EQ(rig.device.opened[0].wBitsPerSample, 16);
        } else {
            EXPECT_TRUE(rig.device.opened.empty());
            EXPECT_FALSE(rig.host.Saw("Raise"));
            EXPECT_EQ(rig.host.events.back(), "Play");
        }
    }
}

TEST(PlayThread, FailuresEndTheRunCleanly) {
    struct Case {
        const char* what;
        std::function<void(Rig&)> arrange;
        int text;
    };
    const std::vector<Case> cases = {
        {"open", [](Rig& r) { r.device.openOk = false; }, kTextCannotOpenDevice},
        {"prepare 1", [](Rig& r) { r.device.failPrepareOn = 1; }, kTextCannotPrepareHeader},
        {"prepare 2", [](Rig& r) { r.device.failPrepareOn = 2; }, kTextCannotPrepareHeader},
        {"stall", [](Rig& r) { r.device.stall = true; }, kTextCannotOpenDevice},
        {"unsupported", [](Rig& r) { r.host.currentFile = r.dir.Write("x.wav", test::MakeWave({1, 1, 2000, 16}, Bytes(10))); }, kTextUnsupportedFormat},
        {"not wave", [](Rig& r) { r.host.currentFile = r.dir.Write("x.wav", Bytes(100, 'x')); }, kTextNotAWaveFile},
        {"save target", [](Rig& r) { r.host.saveTarget = r.dir.File("no/such/folder/out.wav"); r.channel.Store(kCmdSave); }, kTextCannotWriteWave},
        {"full disk", [](Rig& r) { r.host.saveTarget = r.dir.File("out.wav"); r.channel.Store(kCmdSave); r.limitFileSize = true; }, kTextCannotWriteWave},
    };
    for (const Case& c : cases) {
        if (std::string(c.what) == "full disk" && !test::CanLimitFileSize()) continue;  // no such limit here
        Rig rig;
        const Format f = CdFormat();
        rig.host.currentFile = rig.Wave("cd.wav", f, test::NoiseSamples(f, 44100 * 3));
        const int fds = OpenDescriptors();
        rig.clock.WhenIdle([&] {
            rig.channel.Store(kCmdPlayStop);
            c.arrange(rig);
            if (rig.limitFileSize) test::LimitFileSize(200000);
        });
        // The next command after the failure plays normally.
        rig.clock.WhenIdle([&] {
            test::UnlimitFileSize();
            rig.device.Heal();
            rig.host.currentFile = rig.Wave("ok.wav", f, test::NoiseSamples(f, 100));
            rig.channel.Store(kCmdPlayStop);
        });
        rig.Run();
        EXPECT_EQ(rig.host.errors, std::vector<int>{c.text}) << c.what;
        EXPECT_EQ(OpenDescriptors(), fds) << c.what << ": a file was left open";
        EXPECT_EQ(rig.device.queued.size(), 1u) << c.what << ": the next play did not work";
        EXPECT_EQ(rig.host.events.end()[-2], "Advance") << c.what;
        if (rig.limitFileSize) {
            // What fitted on the disk is a valid wave file of whole frames.
            const WaveReadResult saved = ReadWaveFile(rig.dir.File("out.wav"));
            ASSERT_TRUE(saved.ok());
            const Bytes file = test::ReadAll(rig.dir.File("out.wav"));
            EXPECT_EQ(LoadLE32(&file[40]), saved.info.DataChunk.cksize);
            EXPECT_EQ(saved.info.DataBytes() % 4, 0);
            EXPECT_GE(saved.info.DataBytes(), 176400);
            EXPECT_LE(saved.info.DataBytes(), 200000 - 44);
        }
    }
}

TEST(PlayThread, MissingFileLeavesThePlaylistAndKeepsTheHeldFile) {
    Rig rig;
    const Format f{1, 1, 22050, 8};
    const std::string good = rig.Wave("good.wav", f, Bytes(5000, 7));
    const std::string gone = rig.dir.File("gone.wav");
    rig.host.playlist = {gone, good};
    rig.host.currentFile = good;
    rig.Command(kCmdPlayStop);
    rig.clock.WhenIdle([&] { rig.host.currentFile = gone; rig.channel.Store(kCmdPlayStop); });
    rig.clock.WhenIdle([&] {
        // The held file is not read again: rewriting it changes nothing.
        rig.dir.Write("good.wav", test::MakeWave({1, 1, 22050, 8}, Bytes(9000, 9)));
        rig.host.currentFile = good;
        rig.channel.Store(kCmdPlayStop);
    });
    rig.Run();
    EXPECT_EQ(rig.host.errors, std::vector<int>{kTextErrorOpeningFile});
    EXPECT_TRUE(rig.host.Saw("Drop " + gone));
    EXPECT_EQ(rig.host.playlist, std::vector<std::string>{good});
    EXPECT_EQ(rig.heldDataBytes, 5000u);
}

}  // namespace
}  // namespace sonivel

namespace sonivel {
namespace {

TEST(SaveRun, EightBitMonoToCdQualityByteExact) {
    SaveRig rig;
    const Format f{1, 1, 22050, 8};
    const std::size_t n = 22050 * 2 + 1000;
    const Bytes samples = test::NoiseSamples(f, n);
    rig.host.currentFile = rig.Wave("in.wav", f, samples);
    rig.host.choice = OutputChoice{true, true, true, false};
    rig.Save();
    rig.Run();

    const Bytes file = rig.Output();
    ExpectConsistentHeader(file);
    EXPECT_EQ(LoadLE16(&file[22]), 2);
    EXPECT_EQ(LoadLE32(&file[24]), 44100u);
    EXPECT_EQ(LoadLE32(&file[28]), 176400u);
    EXPECT_EQ(LoadLE16(&file[32]), 4);
    EXPECT_EQ(LoadLE16(&file[34]), 16);
    // Two full blocks, then the rest: of the n bytes, 2 x 22051 went into
    // the full blocks. A full block writes 2 x 22051 output frames, 176,408
    // bytes: one second and the two frames that lead up to the next block's
    // first, so every input byte became exactly 8 output bytes.
    const std::size_t rest = n - 2 * 22051;
    EXPECT_EQ(file.size(), 44 + 2 * 176408 + rest * 8);
    EXPECT_EQ(file.size(), 44 + n * 8);
    const auto sample = [&](std::size_t outFrame, int channel) {
        const std::size_t at = 44 + outFrame * 4 + static_cast<std::size_t>(channel) * 2;
        return static_cast<std::int16_t>(LoadLE16(&file[at]));
    };
    for (std::size_t j : {0ul, 1ul, 100ul, 22050ul}) {
        EXPECT_EQ(sample(2 * j, 0), (samples[j] - 128) * 256) << j;
        EXPECT_EQ(sample(2 * j, 1), (samples[j] - 128) * 256) << j;
    }
    // The second block starts with input frame 22051, right after the
    // in-between that leads to it.
    EXPECT_EQ(sample(176408 / 4, 0), (samples[22051] - 128) * 256);
    EXPECT_EQ(sample(176408 / 4 - 1, 0), ((samples[22050] - 128) * 256) / 2 + ((samples[22051] - 128) * 256) / 2);
    EXPECT_TRUE(rig.device.opened.empty()) << "a silent save plays nothing";
    EXPECT_FALSE(rig.host.Saw("Advance"));
    EXPECT_TRUE(rig.host.Saw("Writing"));
    EXPECT_TRUE(rig.host.Saw("WritingHidden"));
}

TEST(SaveRun, FromTheMiddleWritesTheSecondHalf) {
    SaveRig rig;
    const Format f = CdFormat();
    const Bytes samples = test::NoiseSamples(f, 44100 * 2 + 3);
    rig.host.currentFile = rig.Wave("in.wav", f, samples);
    rig.host.seekPosition = 500;
    rig.Save();
    rig.Run();
    const Bytes file = rig.Output();
    ExpectConsistentHeader(file);
    // The offset rounded up to a whole frame; everything from there on.
    const std::size_t offset = (samples.size() / 2 + 3) / 4 * 4;
    const std::size_t expected = samples.size() - offset;
    ASSERT_EQ(file.size() - 44, expected);
    EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), samples.begin() + static_cast<std::ptrdiff_t>(offset)));
}

TEST(SaveRun, PlayingSaveWritesWhatItPlaysAndStopsWithAValidFile) {
    SaveRig rig;
    const Format f{1, 1, 11025, 16};
    const Bytes samples = test::NoiseSamples(f, 11025 * 5);
    rig.host.currentFile = rig.Wave("in.wav", f, samples);
    rig.host.playOnSave = true;
    rig.host.playlist = {rig.host.currentFile};
    rig.host.autoRepeat = true;
    const std::uint32_t t = rig.clock.now;
    rig.Save();
    rig.clock.At(t + 2500, [&] { rig.channel.Store(kCmdPlayStop); });
    rig.Run();
    const Bytes file = rig.Output();
    ExpectConsistentHeader(file);
    // Each block is written before it is queued: a stop in the wait before
    // queueing leaves that block in the file only.
    const Bytes played = rig.device.AllQueuedBytes();
    ASSERT_GT(played.size(), 0u);
    ASSERT_LE(played.size(), file.size() - 44);
    EXPECT_LE(file.size() - 44 - played.size(), 176416u);
    EXPECT_TRUE(std::equal(played.begin(), played.end(), file.begin() + 44));
    EXPECT_LT(file.size(), 44 + 5u * 176416);  // stopped early
    EXPECT_FALSE(rig.host.Saw("Advance"));

    // Played to the end, the file holds exactly what was played.
    SaveRig whole;
    whole.host.currentFile = whole.Wave("in.wav", f, samples);
    whole.host.playOnSave = true;
    whole.Save();
    whole.Run();
    const Bytes all = whole.device.AllQueuedBytes();
    const Bytes saved = whole.Output();
    ExpectConsistentHeader(saved);
    ASSERT_EQ(all.size(), saved.size() - 44);
    EXPECT_TRUE(std::equal(all.begin(), all.end(), saved.begin() + 44));
}

TEST(SaveRun, RestartDuringAPlayingSaveFinishesTheFileAndPlaysOn) {
    SaveRig rig;
    const Format f = CdFormat();
    rig.host.currentFile = rig.Wave("in.wav", f, test::NoiseSamples(f, 44100 * 4));
    rig.host.playOnSave = true;
    const std::uint32_t t = rig.clock.now;
    rig.Save();
    rig.clock.At(t + 1200, [&] { rig.channel.Store(kCmdRestart); });
    rig.Run();
    ExpectConsistentHeader(rig.Output());
    EXPECT_EQ(rig.Output().size(), 44 + 2u * 176400);  // the two blocks queued before the restart
    EXPECT_EQ(rig.device.opened.size(), 2u);
    EXPECT_EQ(rig.host.Count("Writing"), 1u);
    EXPECT_TRUE(rig.host.Saw("Advance")) << "the restarted run was a play run";
}

TEST(SaveRun, SilentSaveIgnoresRestartAndFinishesOnStopRequest) {
    SaveRig rig;
    const Format f{1, 1, 11025, 8};
    const Bytes samples = test::NoiseSamples(f, 11025 * 6);
    rig.host.currentFile = rig.Wave("in.wav", f, samples);
    rig.Save();
    rig.Run();
    const std::size_t complete = rig.Output().size();

    // Code 2 posted after the first block changes nothing.
    SaveRig ignored;
    ignored.host.currentFile = ignored.Wave("in.wav", f, samples);
    ignored.host.onBar = [&](int) { ignored.channel.Store(kCmdRestart); };
    ignored.Save();
    ignored.Run();
    EXPECT_EQ(ignored.Output(), rig.Output());

    // A stop request (the program closing) ends a silent save at the next
    // block, with its file finished.
    SaveRig closing;
    closing.host.currentFile = closing.Wave("in.wav", f, samples);
    int blocks = 0;
    closing.host.onBar = [&](int) {
        if (++blocks == 2) closing.channel.RequestStop();
    };
    closing.Save();
    closing.Run();
    const Bytes file = closing.Output();
    ExpectConsistentHeader(file);
    EXPECT_EQ(file.size(), 44 + 2 * 176416u);  // 11025 Hz mono 8-bit as CD audio: 4 x 11026 frames a block
    EXPECT_LT(file.size(), complete);
}

// The converter saves without the render thread (SaveFile); what it writes,
// and what it refuses, is what a save run of the window writes and says.
TEST(SaveRun, TheConvertersSaveIsTheWindowsSave) {
    struct Case {
        const char* name;
        Format format;
        std::size_t frames;
        OutputChoice choice;
        int position;
        bool yes;  // the answer to the quality question, --yes
        int refusal;
    };
    const OutputChoice cd{true, true, true, true};
    const Case cases[] = {
        {"8-bit mono raised with the effect", {1, 1, 11025, 8}, 11025 * 2 + 77, cd, 0, false, kTextNone},
        {"16-bit mono, band-limited", {1, 1, 22050, 16}, 22050 + 5, {true, true, true, true, true}, 0, false, kTextNone},
        {"exact-ratio filter from a seek", {1, 2, 32000, 16}, 32000 * 2 + 9, {true, true, true, false, true}, 400, false, kTextNone},
        {"plain copy", {1, 2, 44100, 16}, 44100 + 3, cd, 0, false, kTextNone},
        {"float kept as it is", {3, 2, 48000, 32}, 48000 + 11, cd, 0, false, kTextNone},
        {"lowered: raised on yes", {1, 2, 44100, 16}, 44100 + 3, {false, false, false, false}, 0, true, kTextNone},
        {"lowered: refused on no", {1, 2, 44100, 16}, 4410, {false, true, true, false}, 0, false, kTextQualityTooLow},
        {"from the end", {1, 1, 22050, 16}, 4410, cd, 1000, false, kTextNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SaveRig window;
        const Bytes samples = test::NoiseSamples(c.format, c.frames);
        window.host.currentFile = window.Wave("in.wav", c.format, samples);
        window.host.choice = c.choice;
        window.host.seekPosition = c.position;
        window.host.answerYes = c.yes;
        window.Save();
        window.Run();

        ConversionRun run{window.host.currentFile, window.dir.File("converted.wav"), c.choice, c.position, c.yes};
        std::vector<int> positions;
        const SaveResult saved = SaveFile(run, nullptr, [&](int p) { positions.push_back(p); });
        EXPECT_EQ(saved.texts, c.refusal != kTextNone ? std::vector<int>{c.refusal} : std::vector<int>{});
        EXPECT_EQ(std::filesystem::exists(run.output), std::filesystem::exists(window.out));
        if (c.refusal != kTextNone) continue;
        EXPECT_EQ(window.host.errors, std::vector<int>{});
        const Bytes file = test::ReadAll(run.output);
        ExpectConsistentHeader(file);
        EXPECT_EQ(file, window.Output());
        EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    }

    // A stop ends the converter's save at a block, the file finished.
    const Format f{1, 1, 11025, 8};
    test::TempDir dir;
    const ConversionRun run{dir.Write("in.wav", test::MakeWave(f, test::NoiseSamples(f, 11025 * 6))),
                            dir.File("out.wav"), cd, 0, false};
    std::atomic<bool> stop{false};
    int blocks = 0;
    const SaveResult stopped = SaveFile(run, &stop, [&](int) {
        if (++blocks == 2) stop = true;
    });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.ok());
    const Bytes file = test::ReadAll(run.output);
    ExpectConsistentHeader(file);
    EXPECT_EQ(file.size(), 44 + 2 * 176416u);
}

TEST(SaveRun, NoToTheQuestionLeavesNoFileAndAnEmptyStartLeavesAnEmptyWave) {
    SaveRig refused;
    const Format f = CdFormat();
    refused.host.currentFile = refused.Wave("in.wav", f, test::NoiseSamples(f, 1000));
    refused.host.choice = OutputChoice{false, true, true, true};
    refused.host.answerYes = false;
    refused.Save();
    refused.Run();
    EXPECT_FALSE(std::filesystem::exists(refused.out));

    SaveRig atEnd;
    atEnd.host.currentFile = atEnd.Wave("in.wav", f, test::NoiseSamples(f, 1000));
    atEnd.host.seekPosition = 1000;
    atEnd.Save();
    atEnd.Run();
    const Bytes file = atEnd.Output();
    ASSERT_EQ(file.size(), 44u);
    ExpectConsistentHeader(file);
    EXPECT_TRUE(ReadWaveFile(atEnd.out).ok());
}

TEST(SaveRun, NeverOverwritesTheFileItReads) {
    SaveRig rig;
    const Format f = CdFormat();
    const Bytes original = test::MakeWave(f, test::NoiseSamples(f, 1000));
    rig.host.currentFile = rig.dir.Write("in.wav", original);
    // Another name for the same file: a symbolic link, or a hard link where
    // symbolic ones need rights (Windows).
    std::error_code ec;
    std::filesystem::create_symlink(rig.host.currentFile, rig.dir.File("alias.wav"), ec);
    if (ec) std::filesystem::create_hard_link(rig.host.currentFile, rig.dir.File("alias.wav"), ec);
    ASSERT_FALSE(ec) << ec.message();
    rig.host.saveTarget = rig.dir.File("alias.wav");
    rig.Save();
    rig.Run();
    EXPECT_EQ(rig.host.errors, std::vector<int>{kTextOverwriteOpenFile});
    EXPECT_EQ(test::ReadAll(rig.host.currentFile), original);
}

// What a save will write is known before it starts: for inputs that end on
// and off a block, raised or kept, from the start and from a later place.
TEST(PlayThread, SavedSizeIsKnownBeforeTheSaveStarts) {
    struct Case {
        Format in;
        std::size_t frames;
        OutputChoice choice;
        int seek;
    };
    const std::vector<Case> cases = {
        {{1, 1, 11025, 8}, 1, {}, 0},
        {{1, 1, 11025, 8}, 11025, {}, 0},
        {{1, 1, 11025, 8}, 11026, {}, 0},
        {{1, 1, 11025, 8}, 11025 * 2 + 1, {true, true, true, true, true}, 0},
        {{1, 2, 22050, 16}, 22050 * 3 + 7, {false, true, true, false}, 0},
        {{1, 1, 22050, 8}, 22050 + 22051, {true, false, false, false}, 300},
        {{1, 2, 44100, 16}, 44100 * 2 + 3, {}, 0},
        {{1, 2, 44100, 16}, 44100 * 2 + 3, {}, 777},
    };
    for (const Case& c : cases) {
        SaveRig rig;
        rig.host.currentFile = rig.Wave("in.wav", c.in, test::NoiseSamples(c.in, c.frames));
        rig.host.choice = c.choice;
        rig.host.seekPosition = c.seek;
        rig.Save();
        rig.Run();
        const WaveReadResult in = ReadWaveFile(rig.host.currentFile);
        ASSERT_TRUE(in.ok());
        const WAVEFORMAT& f = in.info.InFormat;
        const BlockParams params = ComputeBlockParams(f, SelectOutputFormat(c.choice), c.choice.effects, c.choice.bandLimited);
        const SeekPlan seek = PlanSeek(c.seek, kSeekBarMax, in.info.DataBytes(), in.info.DataStart, f.nBlockAlign);
        EXPECT_EQ(static_cast<std::int64_t>(rig.Output().size() - 44), ConvertedBytes(f, params, seek.Remaining))
            << c.in.rate << " Hz, " << c.frames << " frames, from " << c.seek;
    }
}

// An output a wave file cannot hold is refused before its first byte, and
// no file is left behind; the same input still plays.
TEST(PlayThread, SaveTooLargeForAWaveFileIsRefusedBeforeItStarts) {
    // 11025 Hz 8-bit mono raised to 44100 Hz 16-bit stereo grows 16 times:
    // 7.5 hours of it would be 4.5 GiB.
    SaveRig rig;
    const Format f{1, 1, 11025, 8};
    rig.host.currentFile = rig.dir.WriteSparseWave("long.wav", f, 11025u * 3600 * 15 / 2);
    rig.Save();
    rig.clock.WhenIdle([&] {
        rig.channel.Store(kCmdPlayStop);
        rig.clock.At(rig.clock.now + 1500, [&] { rig.channel.Store(kCmdPlayStop); });
    });
    rig.Run();
    EXPECT_EQ(rig.host.errors, std::vector<int>{kTextOutputTooLarge});
    EXPECT_FALSE(std::filesystem::exists(rig.out));
    EXPECT_EQ(rig.device.opened.size(), 1u) << "playing it was refused too";
}

}  // namespace
}  // namespace sonivel
