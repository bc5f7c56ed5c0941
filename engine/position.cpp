#include "position.h"

#include <cmath>
#include <cstdio>

namespace sonivel {
namespace {

// Truncates toward zero into an int, saturating instead of overflowing.
std::int64_t Truncate(double v) {
    if (!(v == v)) return 0;  // NaN
    if (v >= 9.0e18) return static_cast<std::int64_t>(9.0e18);
    if (v <= -9.0e18) return static_cast<std::int64_t>(-9.0e18);
    return static_cast<std::int64_t>(v);
}

int ClampBar(std::int64_t v, int max) {
    if (v < 0) return 0;
    if (v > max) return max;
    return static_cast<int>(v);
}

}  // namespace

std::string FormatTime(double t) {
    if (!(t > 0)) t = 0;
    if (t > 4294967295.0) t = 4294967295.0;
    const auto w = static_cast<std::uint32_t>(t);
    auto d = static_cast<std::uint32_t>((t - w) * 10);
    if (d >= 10) d = 9;
    const std::uint32_t s = w % 60;
    const std::uint32_t m = ((w - s) % 3600) / 60;
    const std::uint32_t h = (w - s - 60 * m) / 3600;
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u.%u", h, m, s, d);
    return text;
}

PositionReport MapDevicePosition(std::uint32_t playedBytes, std::int32_t expansionFactor,
                                 std::int32_t startOffset, std::int32_t dataBytes,
                                 std::uint32_t avgBytesPerSec, int max, std::int32_t expansionDivisor) {
    PositionReport r;
    const std::uint64_t factor = expansionFactor > 0 ? static_cast<std::uint64_t>(expansionFactor) : 1;
    const std::uint64_t divisor = expansionDivisor > 0 ? static_cast<std::uint64_t>(expansionDivisor) : 1;
    r.fileOffset = static_cast<std::int64_t>(playedBytes * divisor / factor) + startOffset;
    if (dataBytes > 0)
        r.barPosition =
            ClampBar(Truncate(static_cast<double>(r.fileOffset) / dataBytes * max), max);
    if (avgBytesPerSec > 0) r.seconds = static_cast<double>(r.fileOffset) / avgBytesPerSec;
    return r;
}

int BarPositionForOffset(std::int64_t fileOffset, std::int32_t dataBytes, int max) {
    if (dataBytes <= 0) return 0;
    return ClampBar(Truncate(static_cast<double>(fileOffset) / dataBytes * max), max);
}

double SecondsAtBar(int position, int max, std::uint32_t dataBytes, std::uint32_t avgBytesPerSec) {
    if (max <= 0 || avgBytesPerSec == 0) return 0;
    return static_cast<double>(position) / max *
           (static_cast<double>(dataBytes) / avgBytesPerSec);
}

SeekPlan PlanSeek(int position, int max, std::int32_t dataBytes, std::int32_t dataStart,
                  std::uint16_t blockAlign) {
    SeekPlan plan;
    const std::int64_t frame = blockAlign ? blockAlign : 1;
    std::int64_t offset = 0;
    if (max > 0 && dataBytes > 0) {
        offset = Truncate(static_cast<double>(position) * dataBytes / max);
        if (offset < 0) offset = 0;
        if (offset > dataBytes) offset = dataBytes;
    }
    std::int64_t start = offset + dataStart;
    if (frame == 1) {
        // Single-byte frames keep the start even.
        if (start & 1) ++start;
    } else {
        // Wider frames start on a whole frame, or the channels and bytes of
        // every sample that follows would be shifted.
        offset = (offset + frame - 1) / frame * frame;
        start = offset + dataStart;
    }
    // Everything from the start to the end of the data is played: what a
    // block reads past the end is silence, so no frame is held back.
    std::int64_t remaining = static_cast<std::int64_t>(dataBytes) + dataStart - start;
    if (remaining > 0) remaining -= remaining % frame;
    plan.offset = static_cast<std::int32_t>(offset);
    plan.StartOffset = static_cast<std::int32_t>(start);
    plan.Remaining = static_cast<std::int32_t>(remaining);
    return plan;
}

}  // namespace sonivel
