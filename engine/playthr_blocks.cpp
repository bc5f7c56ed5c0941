// The blocks of a run: the three buffers taken in turn, a block's input
// read (with its context) and converted, and the output file written.
#include "playthr.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

#include "position.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {
namespace {

// The largest file the 32-bit sizes of a wave header can describe.
constexpr std::int64_t kMaxOutputLength = kMaxWaveFileBytes;

}  // namespace

WaveHeader& PlayThread::SwitchBuffers(const WaveHeader* busy) {
    WaveHeader* const headers[] = {&dev_.Header1, &dev_.Header2, &dev_.Header3};
    std::uint8_t* const buffers[] = {dev_.OutBuffer1.get(), dev_.OutBuffer2.get(), dev_.OutBuffer3.get()};
    for (std::size_t i = 0; i < 3; ++i) {
        if (headers[i] == dev_.CurrentHeader || headers[i] == busy) continue;
        dev_.CurrentHeader = headers[i];
        dev_.OutBuffer = buffers[i];
        break;
    }
    return *dev_.CurrentHeader;
}

// Reads the block, its two following frames and the stereo look-ahead, with
// the band-limited filter's context on either side. Only whole frames inside
// the data chunk are read; whatever lies before or beyond the data (or
// beyond a file that shrank since) reads as silence, or as the neighbouring
// track's frames across a gapless join, so a block's samples depend only on
// where it lies in the recording, not on where the run began.
bool PlayThread::ReadBlock(std::int32_t blockBytes) {
    const std::int64_t span = BlockInputSpan(track_.InFormat, run_.Params, blockBytes);
    std::uint8_t* dst = dev_.InBuffer.get();
    std::memset(dst, IsInput8Bit(track_.InFormat) ? 128 : 0, static_cast<std::size_t>(span));
    const std::int64_t dataEnd = static_cast<std::int64_t>(track_.DataStart) + run_.DataBytes;
    run_.BlockFrame = (track_.ReadPosition - track_.DataStart) / track_.InFormat.nBlockAlign;
    const std::int64_t begin = track_.ReadPosition - static_cast<std::int64_t>(run_.Params.ContextFrames) * track_.InFormat.nBlockAlign;
    const std::int64_t from = std::max<std::int64_t>(begin, track_.DataStart);
    const std::int64_t to = std::min(begin + span, dataEnd);
    ReadNeighbours(dst, begin, span);
    if (to <= from) return true;
    return track_.InputFile->ReadAt(from, dst + (from - begin), static_cast<std::size_t>(to - from)) >= 0;
}

bool PlayThread::ProduceBlock(std::uint8_t* out, std::int32_t blockBytes) {
    if (run_.PlainCopy) {
        std::memcpy(out, dev_.InBuffer.get(), static_cast<std::size_t>(blockBytes));
        return true;
    }
    // Nothing converted means a format the reader should have refused.
    return ConvertBlock(track_.InFormat, run_.OutFormat, run_.Params, dev_.InBuffer.get(), blockBytes, out,
                        run_.BlockFrame) > 0;
}

// Appends a block, then makes the header describe the file as it now
// stands: two positioned writes, so a save cut short by a crash, even a
// kill, leaves a valid file whose header trails the data by one block at
// most.
bool PlayThread::AppendToOutput(const std::uint8_t* out, std::int32_t bytes) {
    const std::int64_t length = run_.OutputBytes + bytes;
    if (length > kMaxOutputLength) {
        run_.OutputFailed = true;
        return false;
    }
    OutputHeader current = run_.Header;
    current.Finish(static_cast<std::uint64_t>(length), run_.OutFormat);
    const bool ok = run_.OutputFile.WriteAt(run_.OutputBytes, out, static_cast<std::size_t>(bytes)) &&
                    run_.OutputFile.WriteAt(0, current.bytes.data(), OutputHeader::kSize);
    if (!ok) run_.OutputFailed = true;
    else run_.OutputBytes = length;
    return ok;
}

void PlayThread::FinishOutput() {
    if (!run_.HeaderWritten) {
        // Nothing was ever written (the quality question was answered No, or
        // the run failed before it began): leave no empty file behind.
        run_.OutputFile.Close();
        RemoveFile(given_.OutputName);
        return;
    }
    // What could be written is described by a correct header, even after a
    // failed write; a failure here is reported unless one already was.
    const std::int64_t length = run_.OutputFile.Size();
    bool ok = length >= 0;
    std::int64_t whole = length;
    if (ok) {
        // A write cut short mid-frame leaves no partial frame in the header.
        const std::int64_t data = length - static_cast<std::int64_t>(OutputHeader::kSize);
        if (data > 0 && run_.OutFormat.nBlockAlign) whole = length - data % run_.OutFormat.nBlockAlign;
        run_.Header.Finish(static_cast<std::uint64_t>(whole), run_.OutFormat);
        ok = run_.OutputFile.WriteAt(0, run_.Header.bytes.data(), OutputHeader::kSize);
    }
    ok = run_.OutputFile.Close() && ok;
    if (!ok && !run_.OutputFailed) host_.ShowFileError(kTextCannotWriteWave, given_.OutputName);
}

}  // namespace sonivel
