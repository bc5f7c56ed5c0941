// One track flows into the next on the open device: the next track's first
// block is queued before the last one of the track before it has played,
// the samples are the two conversions back to back, and the window hears of
// the new track when it starts to sound. Where that cannot be done right,
// the track's end goes as it always did.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/thread_rig.h"
#include "texts.h"
#include "support/wave_builder.h"

namespace sonivel {
namespace {

using test::Bytes;
using test::Format;

// What a whole save of the file writes: what a play of it queues.
Bytes Converted(const Format& f, const Bytes& samples, const OutputChoice& choice) {
    test::SaveRig rig;
    rig.host.currentFile = rig.Wave("in.wav", f, samples);
    rig.host.choice = choice;
    rig.Save();
    rig.Run();
    const Bytes file = rig.Output();
    return Bytes(file.begin() + 44, file.end());
}

struct Join {
    const char* name;
    Format format;
    OutputChoice choice;
    Format next;  // the second entry's input format
};

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Whether the two agree from byte `from` on, over the length of the shorter.
bool Agree(const Bytes& whole, const Bytes& part, std::size_t from = 0) {
    if (from > whole.size() || from > part.size()) return from >= part.size();
    const std::size_t length = std::min(part.size(), whole.size()) - from;
    return std::equal(part.begin() + static_cast<std::ptrdiff_t>(from),
                      part.begin() + static_cast<std::ptrdiff_t>(from + length),
                      whole.begin() + static_cast<std::ptrdiff_t>(from));
}

// For every shape of a track's end (a last block of one or two frames,
// 10 ms or 500 ms, or none at all), a plain copy, a raised rate with the
// effect and the band-limited filter and an odd rate, a two-entry list and
// a one-entry list that repeats: one opening, no gap, the next track made
// current the moment its first block starts, and what is heard is the uncut
// recording: the first track as the start of the two converted as one file
// (its last frames read the next one's first), the second as converted on
// its own after the first block, which reads the first track's end before
// it. Cut at a block boundary, the two sound exactly as the uncut file. An
// entry of another input format is the two conversions back to back.
TEST(Gapless, TracksJoinOnTheOpenDevice) {
    OutputChoice hq{true, true, true, true};
    hq.bandLimited = true;
    const Format cd{1, 2, 44100, 16}, low{1, 1, 11025, 8}, odd{1, 1, 16000, 16};
    const Join joins[] = {{"cd", cd, OutputChoice{}, cd},
                          {"11025/8 to cd with effect", low, hq, low},
                          {"16000 to cd with effect", odd, OutputChoice{}, odd},
                          {"11025/8 then 22050/16", low, OutputChoice{}, {1, 1, 22050, 16}}};
    for (const Join& j : joins) {
        const bool raised = j.format.rate * 4 == 44100 || j.format.rate * 2 == 44100;
        const std::size_t advance = j.format.rate + (raised ? 1 : 0);  // frames a full block advances
        const bool alike = j.next.rate == j.format.rate && j.next.bits == j.format.bits;
        for (const std::size_t tail : {std::size_t{1}, std::size_t{2}, std::size_t{j.format.rate / 100}, std::size_t{j.format.rate / 2}, std::size_t{0}})
            for (const bool repeat : {false, true}) {
                if (repeat && !alike) continue;
                SCOPED_TRACE(::testing::Message() << j.name << ", tail " << tail << " frames, repeat " << repeat);
                test::Rig rig;
                const std::size_t framesA = j.format.rate * 2 + tail;
                const Bytes a = test::NoiseSamples(j.format, framesA, 1);
                const Bytes b = test::NoiseSamples(j.next, j.next.rate + 777, 2);
                const std::string fa = rig.Wave("a.wav", j.format, a), fb = rig.Wave("b.wav", j.next, b);
                rig.host.playlist = repeat ? std::vector<std::string>{fa} : std::vector<std::string>{fa, fb};
                rig.host.autoRepeat = repeat;
                rig.host.currentFile = fa;
                rig.host.choice = j.choice;
                std::vector<std::pair<std::string, std::uint32_t>> changes;
                rig.host.onEvent = [&](const std::string& e) {
                    if (e.rfind("AdvanceTo", 0) == 0 || e == "Advance") changes.emplace_back(e, rig.clock.now);
                };
                const Bytes second = repeat ? a : b;
                const Bytes convA = Converted(j.format, a, j.choice);
                const Bytes convB = Converted(j.next, second, j.choice);
                if (repeat) {
                    // Stopped after the second play began.
                    rig.clock.At(rig.clock.now + 2000 + static_cast<std::uint32_t>(tail * 1000 / j.format.rate) + 1500,
                                 [&] { rig.channel.Store(kCmdPlayStop); });
                }
                rig.Command(kCmdPlayStop);
                rig.Run();

                const auto& q = rig.device.queued;
                ASSERT_EQ(rig.device.opened.size(), 1u) << "the device was closed between the tracks";
                // The blocks of the first track, then the second's first.
                std::size_t k = 0, bytes = 0;
                while (k < q.size() && bytes < convA.size()) bytes += q[k++].bytes.size();
                ASSERT_EQ(bytes, convA.size());
                ASSERT_LT(k, q.size()) << "the next track was not queued";
                for (std::size_t i = 1; i <= k; ++i)
                    ASSERT_LT(q[i].time, q[i - 1].end) << "block " << i << " was queued after the one before it ended";
                const Bytes played = rig.device.AllQueuedBytes();
                const std::size_t heard = repeat ? convA.size() + q[k].bytes.size() : played.size();
                if (!repeat) {
                    ASSERT_EQ(played.size(), convA.size() + convB.size());
                }
                const Bytes playedB(played.begin() + static_cast<std::ptrdiff_t>(convA.size()),
                                    played.begin() + static_cast<std::ptrdiff_t>(heard));
                if (!alike) {
                    EXPECT_TRUE(Agree(played, Concat(convA, convB))) << "not the two conversions back to back";
                } else {
                    const Bytes uncut = Converted(j.format, Concat(a, second), j.choice);
                    EXPECT_TRUE(Agree(uncut, Bytes(played.begin(), played.begin() + static_cast<std::ptrdiff_t>(convA.size()))))
                        << "the first track's end is not the uncut recording's";
                    EXPECT_TRUE(Agree(playedB, convB, q[k].bytes.size()))
                        << "the second track is not its own conversion after its first block";
                    if (framesA % advance == 0 && (!repeat || heard <= uncut.size())) {
                        EXPECT_TRUE(Agree(uncut, Bytes(played.begin(), played.begin() + static_cast<std::ptrdiff_t>(heard))))
                            << "cut at a block boundary, the two do not sound as the uncut file";
                    }
                }
                // The window is told when the new track sounds, not before.
                ASSERT_FALSE(changes.empty());
                EXPECT_EQ(changes.front().first, "AdvanceTo " + (repeat ? fa : fb));
                EXPECT_GE(changes.front().second, q[k].start);
                EXPECT_LE(changes.front().second, q[k].start + 2);
                // ...and shows its time as at the start of any run.
                const auto& ev = rig.host.events;
                const auto at = std::find(ev.begin(), ev.end(), changes.front().first);
                EXPECT_NE(std::find(at, ev.end(), "TimeLabels"), ev.end());
            }
    }
}

// Where the join cannot be made right, the track ends as it always did:
// the device closes, the playlist advances, the next track loads afresh (and
// asks its question); a list that changed under the prepared track stops it.
// Entries that cannot play (not a wave file, missing) are gone past without
// a box, each said once, and the next that plays does.
TEST(Gapless, FallsBackWhereTheJoinWouldBeWrong) {
    const Format mono{1, 1, 22050, 16}, cd{1, 2, 44100, 16};
    struct Case {
        const char* name;
        Format next;
        bool brokenNext;
        bool emptiedInTheLastSecond;
        bool reorderedInTheLastSecond = false;
    };
    const Case cases[] = {
        {"the next file needs a higher output", cd, false, false},
        {"the next file is refused", mono, true, false},
        {"the list emptied in the last second", mono, false, true},
        {"the list leads elsewhere since the last second", mono, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::Rig rig;
        const std::string a = rig.Wave("a.wav", mono, test::NoiseSamples(mono, 22050 * 2 + 3000, 3));
        const std::string b = c.brokenNext ? rig.dir.Write("b.wav", Bytes(100, 7))
                                           : rig.Wave("b.wav", c.next, test::NoiseSamples(c.next, 5000, 4));
        rig.host.playlist = {a, b};
        const std::string missing = rig.dir.File("missing.wav"), d = rig.Wave("d.wav", mono, test::NoiseSamples(mono, 5000, 5));
        if (c.brokenNext) rig.host.playlist = {a, b, missing, d};
        rig.host.currentFile = a;
        rig.host.choice = OutputChoice{false, true, false, false};  // 22050 Hz 16-bit mono
        // The short last block is queued at 1.3 s, with the next track
        // behind it; it has played at about 2.14 s.
        if (c.emptiedInTheLastSecond) rig.clock.At(rig.clock.now + 2000, [&rig] { rig.host.playlist.clear(); });
        // Then the track that ended is the one the window showed, and what
        // follows it now plays, loaded afresh.
        if (c.reorderedInTheLastSecond)
            rig.clock.At(rig.clock.now + 2000, [&rig, a, d] { rig.host.playlist = {a, d}; });
        rig.Command(kCmdPlayStop);
        rig.Run();
        EXPECT_FALSE(rig.device.isOpen);
        if (c.emptiedInTheLastSecond) {
            EXPECT_FALSE(rig.host.Saw("AdvanceTo " + b));
            EXPECT_TRUE(rig.host.Saw("Advance"));
            EXPECT_EQ(rig.device.opened.size(), 1u);
            EXPECT_EQ(rig.host.currentFile, a);
            continue;
        }
        if (c.reorderedInTheLastSecond) {
            EXPECT_FALSE(rig.host.Saw("AdvanceTo " + b));
            EXPECT_EQ(rig.device.opened.size(), 2u);
            EXPECT_EQ(rig.host.currentFile, d);
            continue;
        }
        EXPECT_FALSE(rig.host.Saw("AdvanceTo " + b));
        EXPECT_TRUE(rig.host.Saw("Advance"));
        if (c.brokenNext) {
            EXPECT_TRUE(rig.host.errors.empty());
            EXPECT_EQ(rig.host.Count("Skip " + std::to_string(kTextNotAWaveFile) + " " + b), 1u);
            EXPECT_EQ(rig.host.Count("Skip " + std::to_string(kTextErrorOpeningFile) + " " + missing), 1u);
            // Only the plain Play asked for a set-up: each entry the playlist
            // chose came with its own.
            EXPECT_EQ(rig.host.setupReads, 1);
            EXPECT_EQ(rig.device.opened.size(), 2u);
            EXPECT_EQ(rig.host.currentFile, d);
        } else {
            EXPECT_EQ(rig.host.questions, 1);
            EXPECT_EQ(rig.device.opened.size(), 2u);
            EXPECT_EQ(rig.host.currentFile, b);
        }
    }
}

// A list where nothing plays goes round once, each entry said once, and
// ends; a file chosen alone that cannot play gets its box.
TEST(Gapless, AListOfFilesThatCannotPlayGoesRoundOnce) {
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed ? "a list" : "a file chosen alone");
        test::Rig rig;
        const std::string a = rig.dir.Write("a.wav", Bytes(100, 7)), b = rig.dir.Write("b.wav", Bytes(60, 1));
        rig.host.playlist = listed ? std::vector<std::string>{a, b} : std::vector<std::string>{a};
        rig.host.autoRepeat = true;
        rig.host.currentFile = a;
        rig.host.listed = listed;
        rig.Command(kCmdPlayStop);
        rig.Run();
        EXPECT_TRUE(rig.device.opened.empty());
        if (listed) {
            EXPECT_TRUE(rig.host.errors.empty());
            EXPECT_EQ(rig.host.Count("Skip " + std::to_string(kTextNotAWaveFile) + " " + a), 1u);
            EXPECT_EQ(rig.host.Count("Skip " + std::to_string(kTextNotAWaveFile) + " " + b), 1u);
        } else {
            EXPECT_EQ(rig.host.errors, std::vector<int>{kTextNotAWaveFile});
            EXPECT_FALSE(rig.host.Saw("Skip " + std::to_string(kTextNotAWaveFile) + " " + a));
        }
    }
}

}  // namespace
}  // namespace sonivel
