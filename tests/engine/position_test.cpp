#include <gtest/gtest.h>

#include "position.h"

namespace sonivel {
namespace {

TEST(FormatTime, Examples) {
    EXPECT_EQ(FormatTime(0), "0:00:00.0");
    EXPECT_EQ(FormatTime(75.36), "0:01:15.3");
    EXPECT_EQ(FormatTime(3725.99), "1:02:05.9");
    EXPECT_EQ(FormatTime(36000), "10:00:00.0");
    EXPECT_EQ(FormatTime(59.999999), "0:00:59.9");
    EXPECT_EQ(FormatTime(-4), "0:00:00.0");
}

TEST(ReportPosition, UnchangedCdAudioAfterTenSeconds) {
    const PositionReport r = MapDevicePosition(1764000, 1, 44, 17640000, 176400);
    EXPECT_EQ(r.fileOffset, 1764044);
    EXPECT_EQ(FormatTime(r.seconds), "0:00:10.0");
    EXPECT_EQ(r.barPosition, 100);
}

TEST(ReportPosition, ExpansionFactorDividesTheByteCount) {
    // 22050 Hz mono 8-bit played as 44100 Hz stereo 16-bit.
    const PositionReport r = MapDevicePosition(800, 8, 0, 22050, 22050);
    EXPECT_EQ(r.fileOffset, 100);
}

TEST(ReportPosition, BarStaysInRangeAndSurvivesEmptyData) {
    EXPECT_EQ(MapDevicePosition(1000000, 1, 44, 1000, 22050).barPosition, kSeekBarMax);
    const PositionReport empty = MapDevicePosition(400, 0, 44, 0, 0);
    EXPECT_EQ(empty.barPosition, 0);
    EXPECT_EQ(empty.seconds, 0);
}

// Reports come more often than the window's text and bar change (every
// wake of a run makes one); only those that show something new reach it.
TEST(ShownPosition, OnlyAChangeOrANewCommandIsHandedOver) {
    struct Step {
        bool forgetFirst;
        int bar;
        double seconds;
        std::uint32_t serial;
        bool handedOver;
    };
    const Step steps[] = {
        {false, 10, 1.00, 3, true},   // the first report
        {false, 10, 1.05, 3, false},  // the same tenth
        {false, 10, 1.10, 3, true},   // a new tenth
        {false, 11, 1.10, 3, true},   // the bar moved
        {false, 11, 1.10, 4, true},   // a command since: the window may have refused the last one
        {false, 11, 1.12, 4, false},
        {true, 11, 1.12, 4, true},    // something else was shown in between
        {false, 11, 1.19, 4, false},
    };
    ShownPosition shown;
    for (const Step& s : steps) {
        if (s.forgetFirst) shown.Forget();
        EXPECT_EQ(shown.Changed(s.bar, FormatTime(s.seconds), s.serial), s.handedOver)
            << s.bar << " " << s.seconds << " " << s.serial;
    }
}

TEST(SeekBar, TimeForAPositionWhileStopped) {
    EXPECT_EQ(FormatTime(SecondsAtBar(250, 1000, 1000000, 22050)), "0:00:11.3");
    EXPECT_EQ(SecondsAtBar(250, 1000, 1000000, 0), 0);
}

TEST(SeekBar, SaveProgress) {
    EXPECT_EQ(BarPositionForOffset(500044, 1000000), 500);
    EXPECT_EQ(BarPositionForOffset(10, 0), 0);
}

TEST(PlanSeek, SingleByteFramesKeepTheEvenStart) {
    const SeekPlan half = PlanSeek(500, 1000, 1000000, 44, 1);
    EXPECT_EQ(half.offset, 500000);
    EXPECT_EQ(half.StartOffset, 500044);
    EXPECT_EQ(half.Remaining, 500000);

    const SeekPlan odd = PlanSeek(333, 1000, 1000, 44, 1);
    EXPECT_EQ(odd.offset, 333);
    EXPECT_EQ(odd.StartOffset, 378);
    // Everything from the even start to the end of the data.
    EXPECT_EQ(odd.Remaining, 1000 - 333 - 1);
}

TEST(PlanSeek, WiderFramesStartOnAWholeFrame) {
    for (std::uint16_t align : {2, 4})
        for (int pos = 0; pos <= 1000; pos += 37) {
            const SeekPlan p = PlanSeek(pos, 1000, 1234567 / align * align, 46, align);
            EXPECT_EQ((p.StartOffset - 46) % align, 0) << pos;
            EXPECT_EQ(p.offset % align, 0) << pos;
            EXPECT_GE(p.offset, static_cast<std::int64_t>(pos) * (1234567 / align * align) / 1000);
            if (p.Remaining > 0) {
                EXPECT_EQ(p.Remaining % align, 0) << pos;
            }
        }
    // 16-bit stereo at the start: every frame, the last included.
    EXPECT_EQ(PlanSeek(0, 1000, 4000, 44, 4).Remaining, 4000);
    // A data chunk that ends in a partial frame: the whole frames only.
    EXPECT_EQ(PlanSeek(0, 1000, 4003, 44, 4).Remaining, 4000);
}

TEST(PlanSeek, AtTheEndNothingRemains) {
    EXPECT_EQ(PlanSeek(1000, 1000, 1000, 44, 1).Remaining, 0);
    EXPECT_EQ(PlanSeek(1000, 1000, 4000, 44, 4).Remaining, 0);
    EXPECT_EQ(PlanSeek(0, 1000, 0, 44, 2).Remaining, 0);
    // An odd data start made even steps past the last byte.
    EXPECT_LT(PlanSeek(1000, 1000, 1000, 45, 1).Remaining, 0);
}

}  // namespace
}  // namespace sonivel
