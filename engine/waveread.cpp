#include "waveread.h"

#include "decoded.h"

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

// The encoding an extensible fmt chunk (40 bytes at least) names in its
// sub-format; 0 when it names none we know. A sub-format of plain PCM holds
// exactly what a plain chunk does.
std::uint16_t ExtensibleTag(ByteSource& src, const Chunk& fmt) {
    constexpr std::size_t kExtensibleSize = 40;
    if (fmt.size < kExtensibleSize) return 0;
    std::uint8_t raw[kExtensibleSize];
    if (src.ReadAt(fmt.dataOffset, raw, sizeof raw) != static_cast<std::int64_t>(sizeof raw)) return 0;
    const std::uint16_t containerBits = LoadLE16(raw + 14);
    const std::uint16_t extraBytes = LoadLE16(raw + 16);
    const std::uint16_t validBits = LoadLE16(raw + 18);
    // The sub-format GUID: the format tag, then the fixed tail every
    // tag-derived sub-format shares.
    static constexpr std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (extraBytes < 22 || validBits > containerBits || !std::equal(std::begin(kGuidTail), std::end(kGuidTail), raw + 26))
        return 0;
    return LoadLE16(raw + 24);
}

bool IsCompressed(std::uint16_t tag) {
    return tag == WAVE_FORMAT_MULAW || tag == WAVE_FORMAT_ALAW || tag == WAVE_FORMAT_ADPCM ||
           tag == WAVE_FORMAT_IMA_ADPCM || tag == WAVE_FORMAT_GSM610;
}

}  // namespace

Refusal RefusalOf(const WAVEFORMAT& f) {
    // Anything the conversion cannot reach or would mis-size is refused here,
    // so no later step divides by zero or overruns a block buffer.
    if (f.wFormatTag != WAVE_FORMAT_PCM && f.wFormatTag != WAVE_FORMAT_IEEE_FLOAT) return Refusal::Encoding;
    if (f.nChannels != 1 && f.nChannels != 2) return Refusal::Channels;
    if (f.nSamplesPerSec < kLowestRate || f.nSamplesPerSec > kHighestRate) return Refusal::Rate;
    const unsigned bytes = f.nBlockAlign / f.nChannels;
    const bool widthOk = f.wFormatTag == WAVE_FORMAT_PCM ? bytes >= 1 && bytes <= 4 : bytes == 4 || bytes == 8;
    if (f.nBlockAlign % f.nChannels || !widthOk) return Refusal::Bits;
    if (static_cast<std::uint64_t>(f.nAvgBytesPerSec) != static_cast<std::uint64_t>(f.nSamplesPerSec) * f.nBlockAlign)
        return Refusal::Bits;
    return Refusal::None;
}

bool IsSupportedFormat(const WAVEFORMAT& f) { return RefusalOf(f) == Refusal::None; }

namespace {

// Offsets and sizes are signed 32-bit in the engine.
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

// A compressed file the decoder reads: its frames are the data, 16-bit PCM
// as the decoder says the file holds them. False: not decoded here.
bool TakeDecoded(ByteSource& src, const WAVEFORMAT& format, const Chunk& data, WaveInfo& info) {
    // GSM 6.10 in a wave file is mono by definition.
    const bool gsmStereo = format.wFormatTag == WAVE_FORMAT_GSM610 && format.nChannels != 1;
    if (!IsCompressed(format.wFormatTag) || gsmStereo || format.nSamplesPerSec < kLowestRate) return false;
    DecodedShape shape;
    const std::unique_ptr<ByteSource> decoded = OpenDecoded(src, &shape);
    if (!decoded || shape.rate < kLowestRate || shape.rate > kHighestRate) return false;
    const WAVEFORMAT pcm = WAVEFORMAT::Pcm(shape.channels, shape.rate, 16);
    std::int64_t frames = shape.frames;
    // GSM's 65-byte blocks hold 320 frames each; a part of a block (a
    // writer's pad byte) holds none.
    if (format.wFormatTag == WAVE_FORMAT_GSM610 && format.nBlockAlign == 65)
        frames = std::min<std::int64_t>(frames, data.size / 65 * 320);
    const std::int64_t bytes = std::min<std::int64_t>(frames, kMax32 / pcm.nBlockAlign) * pcm.nBlockAlign;
    info.InFormat = pcm;
    info.DataChunk = MMCKINFO{kDataId, static_cast<std::uint32_t>(bytes), 0, 0, 0};
    info.DataStart = 0;
    info.Decoded = true;
    return true;
}

// A file read as it is: its whole frames inside the file and the 32-bit range.
WaveInfo PlainInfo(const WAVEFORMAT& format, const Chunk& data, std::int64_t fileSize) {
    std::int64_t dataBytes = data.size;
    if (dataBytes > fileSize - data.dataOffset) dataBytes = fileSize - data.dataOffset;
    if (dataBytes > kMax32 - data.dataOffset) dataBytes = kMax32 - data.dataOffset;
    if (dataBytes < 0) dataBytes = 0;
    // Only whole frames are sound; a trailing partial frame is never played.
    dataBytes -= dataBytes % format.nBlockAlign;
    WaveInfo info;
    info.FileTag = format.wFormatTag;
    info.InFormat = format;
    info.DataChunk = MMCKINFO{kDataId, static_cast<std::uint32_t>(dataBytes), 0, static_cast<std::uint32_t>(data.dataOffset), 0};
    info.DataStart = static_cast<std::int32_t>(data.dataOffset);
    return info;
}

}  // namespace

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
    if (format.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
        const std::uint16_t sub = ExtensibleTag(src, fmt);
        if (sub) format.wFormatTag = sub;
    }

    const std::int64_t afterFmt =
        fmt.dataOffset + static_cast<std::int64_t>(fmt.size) + (fmt.size & 1);
    Chunk data;
    if (!FindChunk(src, afterFmt, fileSize, kDataId, 0, data)) {
        result.error = kTextNoDataChunk;
        return result;
    }
    // A data chunk that starts beyond the 32-bit range cannot be addressed.
    if (data.dataOffset > kMax32) {
        result.error = kTextNoDataChunk;
        return result;
    }

    result.info.FileTag = format.wFormatTag;
    if (TakeDecoded(src, format, data, result.info)) return result;
    if (!IsSupportedFormat(format)) {
        result.error = kTextUnsupportedFormat;
        result.info.InFormat = format;  // so that a refusal can say what the file is
        return result;
    }

    result.info = PlainInfo(format, data, fileSize);
    return result;
}

std::unique_ptr<ByteSource> OpenFrames(const std::string& path, const WaveInfo& info) {
    auto file = std::make_unique<File>(File::OpenRead(path));
    if (!file->IsOpen()) return nullptr;
    if (!info.Decoded) return file;
    return OpenDecoded(std::move(file));
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
