// The compressed encodings of wave files (u-law, A-law, IMA and MS ADPCM,
// GSM 6.10), decoded by libsndfile into 16-bit frames. The engine reads a
// decoded file as it reads any other: as bytes of a data chunk, here the
// decoded frames, from offset 0.
#pragma once

#include <cstdint>
#include <memory>

#include "fileio.h"

namespace sonivel {

// Whether this build decodes the compressed encodings.
bool CanDecode();

// What the decoder finds in a wave file.
struct DecodedShape {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::int64_t frames = 0;
};

// The decoded frames of the wave file in `file`, as 16-bit little-endian
// samples, byte offset 0 being the first frame. Null when the decoder does not
// read the file; `shape` then stays untouched. `file` must outlive the result
// unless it is owned (the second form).
std::unique_ptr<ByteSource> OpenDecoded(ByteSource& file, DecodedShape* shape = nullptr);
std::unique_ptr<ByteSource> OpenDecoded(std::unique_ptr<ByteSource> file, DecodedShape* shape = nullptr);

}  // namespace sonivel
