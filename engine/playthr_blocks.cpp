// The blocks of a run: the buffers taken in turn, and a block read,
// converted and written through the pieces a save of the converter uses
// too (save.h).
#include "playthr.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <utility>

#include "position.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {

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

TrackBlocks PlayThread::Blocks() const {
    return TrackBlocks{track_.InFormat, track_.DataStart, run_.DataBytes, run_.Params, run_.OutFormat};
}

// Across a gapless join, what lies outside the track's data is the
// neighbouring tracks' frames (ReadNeighbours).
bool PlayThread::ReadBlock(std::int32_t blockBytes) {
    return ReadBlockInput(*track_.InputFile, Blocks(), track_.ReadPosition, blockBytes, dev_.InBuffer.get(),
                          run_.BlockFrame,
                          [this](std::uint8_t* dst, std::int64_t begin, std::int64_t span) {
                              ReadNeighbours(dst, begin, span);
                          });
}

bool PlayThread::ProduceBlock(std::uint8_t* out, std::int32_t blockBytes) {
    return MakeBlock(Blocks(), dev_.InBuffer.get(), blockBytes, out, run_.BlockFrame);
}

bool PlayThread::AppendToOutput(const std::uint8_t* out, std::int32_t bytes) {
    return run_.Output.Append(out, bytes, run_.OutFormat);
}

}  // namespace sonivel
