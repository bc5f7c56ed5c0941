#include "wavefmt.h"

#include <algorithm>

namespace sonivel {

void OutputHeader::FillConstantParts() {
    bytes.fill(0);
    StoreLE32(&bytes[0], kRiffId);
    StoreLE32(&bytes[8], kWaveId);
    StoreLE32(&bytes[12], kFmtId);
    StoreLE32(&bytes[16], 16);
    StoreLE16(&bytes[20], WAVE_FORMAT_PCM);
    StoreLE32(&bytes[36], kDataId);
}

void OutputHeader::Finish(std::uint64_t fileLength, const WAVEFORMATEX& format) {
    // The size fields are 32-bit; callers never let a file grow past them,
    // and a short file is described as an empty data chunk, never negative.
    const std::uint64_t length = std::clamp<std::uint64_t>(fileLength, kSize, 0xFFFFFFFFull);
    StoreLE32(&bytes[4], static_cast<std::uint32_t>(length - 8));
    // PCM, or floating point for a float file kept as it is.
    StoreLE16(&bytes[20], format.wFormatTag ? format.wFormatTag : WAVE_FORMAT_PCM);
    StoreLE16(&bytes[22], format.nChannels);
    StoreLE32(&bytes[24], format.nSamplesPerSec);
    StoreLE32(&bytes[28], format.nAvgBytesPerSec);
    StoreLE16(&bytes[32], format.nBlockAlign);
    StoreLE16(&bytes[34], format.wBitsPerSample);
    StoreLE32(&bytes[40], static_cast<std::uint32_t>(length - kSize));
}

}  // namespace sonivel
