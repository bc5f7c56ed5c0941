// Feeds arbitrary bytes to the wave reader and, for every file it accepts,
// plans a seek and converts one block the way the render thread would, so a
// format that slips through validation and overruns a buffer is caught.
#include <cstdint>
#include <cstring>
#include <vector>

#include "convert.h"
#include "position.h"
#include "waveread.h"

using namespace sonivel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemorySource src(data, size);
    const WaveReadResult r = ReadWave(src);
    if (!r.ok()) return 0;
    const WaveInfo& info = r.info;
    if (info.DataStart < 0 || static_cast<std::int64_t>(info.DataStart) + info.DataBytes() >
                                  static_cast<std::int64_t>(size))
        __builtin_trap();

    // The last byte picks the output choice and the seek position.
    const std::uint8_t pick = size ? data[size - 1] : 0;
    OutputChoice choice{(pick & 1) != 0, (pick & 2) != 0, (pick & 4) != 0, (pick & 8) != 0, (size & 1) != 0};
    WAVEFORMATEX out = SelectOutputFormat(choice);
    const QualityShortfall shortfall = CheckQuality(info.InFormat, out);
    if (shortfall.Any()) {
        choice = RaiseOutput(choice, shortfall);
        out = SelectOutputFormat(choice);
        if (CheckQuality(info.InFormat, out).Any()) __builtin_trap();  // raising must always suffice
    }
    const BlockParams p = ComputeBlockParams(info.InFormat, out, choice.effects, choice.bandLimited);
    const SeekPlan seek = PlanSeek((pick >> 4) * 70, kSeekBarMax, info.DataBytes(), info.DataStart,
                                   info.InFormat.nBlockAlign);
    if ((seek.StartOffset - info.DataStart) % info.InFormat.nBlockAlign != 0) __builtin_trap();

    static std::vector<std::uint8_t> in(kSampleBufferBytes), dst(kSampleBufferBytes);
    const std::int32_t block = seek.Remaining >= p.BlockInBytes ? p.BlockInBytes
                               : seek.Remaining > 0            ? seek.Remaining
                                                               : 0;
    const std::int64_t span = BlockInputSpan(info.InFormat, p, block);
    if (span > kSampleBufferBytes) __builtin_trap();
    std::memset(in.data(), IsInput8Bit(info.InFormat) ? 128 : 0, static_cast<std::size_t>(span));
    const std::int64_t avail = static_cast<std::int64_t>(size) - seek.StartOffset;
    if (avail > 0)
        std::memcpy(in.data(), data + seek.StartOffset,
                    static_cast<std::size_t>(avail < span ? avail : span));
    if (p.PlainCopy) return 0;
    const std::int32_t written = ConvertBlock(info.InFormat, out, p, in.data(), block, dst.data());
    if (written <= 0 || written > kSampleBufferBytes) __builtin_trap();
    return 0;
}
