#include "waveread.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace sonivel {
namespace {

struct Chunk {
    FOURCC id = 0;
    std::uint32_t size = 0;
    std::int64_t dataOffset = 0;  // first payload byte
};

// Walks the chunks that start at `from` and lie before `end`, and returns the
// first with identifier `id` (and, when `formType` is set, that form type in
// its first four payload bytes). Skipped chunks are followed by RIFF's pad
// byte when their size is odd.
bool FindChunk(ByteSource& src, std::int64_t from, std::int64_t end, FOURCC id, FOURCC formType,
               Chunk& found) {
    // No real wave file has more than a handful of chunks; a file made of
    // millions of empty ones is refused rather than walked for minutes.
    constexpr int kMaxChunks = 100000;
    std::int64_t pos = from;
    for (int visited = 0; pos >= 0 && pos + 8 <= end && visited < kMaxChunks; ++visited) {
        std::uint8_t head[12];
        const std::size_t want = formType ? 12 : 8;
        if (src.ReadAt(pos, head, want) != static_cast<std::int64_t>(want)) {
            // A RIFF chunk too short to name its form type cannot match,
            // but another may still follow.
            if (!formType || src.ReadAt(pos, head, 8) != 8) return false;
            std::uint32_t size = LoadLE32(head + 4);
            pos += 8 + static_cast<std::int64_t>(size) + (size & 1);
            continue;
        }
        const FOURCC ckid = LoadLE32(head);
        const std::uint32_t size = LoadLE32(head + 4);
        if (ckid == id && (!formType || LoadLE32(head + 8) == formType)) {
            found = Chunk{ckid, size, pos + 8};
            return true;
        }
        pos += 8 + static_cast<std::int64_t>(size) + (size & 1);
    }
    return false;
}

// An extensible fmt chunk (40 bytes at least) whose sub-format is plain PCM
// holds exactly what a plain one does: it is read as one. Other sub-formats
// (floating point, compressed ones) stay unknown.
bool IsExtensiblePcm(ByteSource& src, const Chunk& fmt) {
    constexpr std::size_t kExtensibleSize = 40;
    if (fmt.size < kExtensibleSize) return false;
    std::uint8_t raw[kExtensibleSize];
    if (src.ReadAt(fmt.dataOffset, raw, sizeof raw) != static_cast<std::int64_t>(sizeof raw)) return false;
    const std::uint16_t containerBits = LoadLE16(raw + 14);
    const std::uint16_t extraBytes = LoadLE16(raw + 16);
    const std::uint16_t validBits = LoadLE16(raw + 18);
    // The sub-format GUID: the format tag, then the fixed tail every
    // tag-derived sub-format shares.
    static constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    return extraBytes >= 22 && validBits <= containerBits && LoadLE16(raw + 24) == WAVE_FORMAT_PCM &&
           std::equal(std::begin(kGuidTail), std::end(kGuidTail), raw + 26);
}

}  // namespace

bool IsSupportedFormat(const WAVEFORMAT& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return false;
    if (f.nSamplesPerSec != 11025 && f.nSamplesPerSec != 22050 && f.nSamplesPerSec != 44100)
        return false;
    // Anything the conversion cannot reach or would mis-size is refused here,
    // so no later step divides by zero or overruns a block buffer.
    if (f.nChannels != 1 && f.nChannels != 2) return false;
    if (f.nBlockAlign != f.nChannels && f.nBlockAlign != 2 * f.nChannels) return false;
    return static_cast<std::uint64_t>(f.nAvgBytesPerSec) ==
           static_cast<std::uint64_t>(f.nSamplesPerSec) * f.nBlockAlign;
}

WaveReadResult ReadWave(ByteSource& src) {
    WaveReadResult result;
    const std::int64_t fileSize = src.Size();
    if (fileSize < 0) {
        result.error = kTextErrorOpeningFile;
        return result;
    }

    Chunk riff;
    if (!FindChunk(src, 0, fileSize, kRiffId, kWaveId, riff)) {
        result.error = kTextNotAWaveFile;
        return result;
    }

    // The RIFF size is not trusted (streaming writers leave it 0 or too
    // large): the children are searched up to the real end of the file.
    const std::int64_t childrenStart = riff.dataOffset + 4;
    Chunk fmt;
    if (!FindChunk(src, childrenStart, fileSize, kFmtId, 0, fmt)) {
        result.error = kTextNoFormatChunk;
        return result;
    }

    std::uint8_t raw[WAVEFORMAT::kSize];
    if (src.ReadAt(fmt.dataOffset, raw, sizeof raw) != static_cast<std::int64_t>(sizeof raw)) {
        result.error = kTextErrorReadingFormat;
        return result;
    }
    WAVEFORMAT format = WAVEFORMAT::Parse(raw);
    if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE && IsExtensiblePcm(src, fmt)) format.wFormatTag = WAVE_FORMAT_PCM;

    const std::int64_t afterFmt =
        fmt.dataOffset + static_cast<std::int64_t>(fmt.size) + (fmt.size & 1);
    Chunk data;
    if (!FindChunk(src, afterFmt, fileSize, kDataId, 0, data)) {
        result.error = kTextNoDataChunk;
        return result;
    }
    // Offsets and sizes are signed 32-bit in the engine; a data chunk that
    // starts beyond that cannot be addressed at all.
    constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();
    if (data.dataOffset > kMax32) {
        result.error = kTextNoDataChunk;
        return result;
    }

    if (!IsSupportedFormat(format)) {
        result.error = kTextUnsupportedFormat;
        result.info.InFormat = format;  // so that a refusal can say what the file is
        return result;
    }

    std::int64_t dataBytes = data.size;
    if (dataBytes > fileSize - data.dataOffset) dataBytes = fileSize - data.dataOffset;
    if (dataBytes > kMax32 - data.dataOffset) dataBytes = kMax32 - data.dataOffset;
    if (dataBytes < 0) dataBytes = 0;
    // Only whole frames are sound; a trailing partial frame is never played.
    dataBytes -= dataBytes % format.nBlockAlign;

    result.info.InFormat = format;
    result.info.DataChunk = MMCKINFO{kDataId, static_cast<std::uint32_t>(dataBytes), 0,
                                     static_cast<std::uint32_t>(data.dataOffset), 0};
    result.info.DataStart = static_cast<std::int32_t>(data.dataOffset);
    return result;
}

WaveReadResult ReadWaveFile(const std::string& path) {
    File file = File::OpenRead(path);
    if (!file.IsOpen()) {
        WaveReadResult result;
        result.error = kTextErrorOpeningFile;
        return result;
    }
    return ReadWave(file);
}

}  // namespace sonivel
