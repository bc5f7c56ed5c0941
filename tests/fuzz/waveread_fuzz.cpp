// Feeds arbitrary bytes to the wave reader and, for every file it accepts,
// reads its frames the way the render thread does (from the file itself or
// from the decoder of a compressed one), plans a seek and converts one block,
// so a format that slips through validation, a decoder that overruns or a
// length that lies is caught.
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "convert.h"
#include "decoded.h"
#include "position.h"
#include "waveread.h"

using namespace sonivel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemorySource src(data, size);
    const WaveReadResult r = ReadWave(src);
    if (!r.ok()) return 0;
    const WaveInfo& info = r.info;
    // The frames: the file's own bytes, or what the decoder makes of them.
    std::unique_ptr<ByteSource> decoded;
    ByteSource* frames = &src;
    if (info.Decoded) {
        decoded = OpenDecoded(src);
        if (!decoded) __builtin_trap();  // accepted once, it must open again
        frames = decoded.get();
    }
    if (info.DataStart < 0 || static_cast<std::int64_t>(info.DataStart) + info.DataBytes() > frames->Size())
        __builtin_trap();

    // The last byte picks the output choice and the seek position.
    const std::uint8_t pick = size ? data[size - 1] : 0;
    OutputChoice choice{(pick & 1) != 0, (pick & 2) != 0, (pick & 4) != 0, (pick & 8) != 0, (size & 1) != 0};
    WAVEFORMATEX out = OutputFormatFor(info.InFormat, choice);
    const QualityShortfall shortfall = CheckQuality(info.InFormat, out);
    if (shortfall.Any()) {
        choice = RaiseOutput(choice, shortfall);
        out = OutputFormatFor(info.InFormat, choice);
        if (CheckQuality(info.InFormat, out).Any()) __builtin_trap();  // raising must always suffice
    }
    const BlockParams p = ComputeBlockParams(info.InFormat, out, choice.effects, choice.bandLimited);
    const SeekPlan seek = PlanSeek((pick >> 4) * 70, kSeekBarMax, info.DataBytes(), info.DataStart,
                                   info.InFormat.nBlockAlign);
    if ((seek.StartOffset - info.DataStart) % info.InFormat.nBlockAlign != 0) __builtin_trap();

    const std::int32_t block = seek.Remaining >= p.BlockInBytes ? p.BlockInBytes
                               : seek.Remaining > 0            ? seek.Remaining
                                                               : 0;
    const std::int64_t span = BlockInputSpan(info.InFormat, p, block);
    // One second of the widest input (384 kHz, 32-bit stereo) and its context.
    if (span < 0 || span > 4 * 1024 * 1024) __builtin_trap();
    std::vector<std::uint8_t> in(static_cast<std::size_t>(span) + 1);
    std::memset(in.data(), IsInput8Bit(info.InFormat) ? 128 : 0, in.size());
    const std::int64_t begin = seek.StartOffset - static_cast<std::int64_t>(p.ContextFrames) * info.InFormat.nBlockAlign;
    const std::int64_t from = begin > info.DataStart ? begin : info.DataStart;
    const std::int64_t end = static_cast<std::int64_t>(info.DataStart) + info.DataBytes();
    const std::int64_t to = begin + span < end ? begin + span : end;
    if (to > from) {
        const std::int64_t got = frames->ReadAt(from, in.data() + (from - begin), static_cast<std::size_t>(to - from));
        if (got > to - from) __builtin_trap();
    }
    // Nothing to convert: the render thread queues no block either.
    if (p.PlainCopy || block == 0) return 0;
    const std::int64_t firstFrame = (seek.StartOffset - info.DataStart) / info.InFormat.nBlockAlign;
    const std::int64_t expected = block == p.BlockInBytes ? p.FullBlockBytes
                                                          : ShortBlockBytes(info.InFormat, p, block, firstFrame);
    // The render thread's output buffer: the usual size, or what SetUpRun
    // grows it to for the run.
    const std::int64_t buffer = std::max<std::int64_t>(
        kSampleBufferBytes, std::max<std::int64_t>(BlockInputSpan(info.InFormat, p, p.BlockInBytes), p.FullBlockBytes + 64));
    std::vector<std::uint8_t> dst(static_cast<std::size_t>(buffer));
    const std::int32_t written = ConvertBlock(info.InFormat, out, p, in.data(), block, dst.data(), firstFrame);
    // It writes at least what is queued of it, and never past the buffer.
    if (written < expected || written > buffer) __builtin_trap();
    return 0;
}
