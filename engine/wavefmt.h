// On-disk records of the RIFF/WAVE format and the little-endian helpers that
// read and write them. Records are kept field by field in host order and are
// serialised one field at a time: bytes are never cast onto a struct.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sonivel {

using FOURCC = std::uint32_t;

constexpr FOURCC MakeFourCC(char a, char b, char c, char d) {
    return static_cast<FOURCC>(static_cast<std::uint8_t>(a)) |
           (static_cast<FOURCC>(static_cast<std::uint8_t>(b)) << 8) |
           (static_cast<FOURCC>(static_cast<std::uint8_t>(c)) << 16) |
           (static_cast<FOURCC>(static_cast<std::uint8_t>(d)) << 24);
}

constexpr FOURCC kRiffId = MakeFourCC('R', 'I', 'F', 'F');
constexpr FOURCC kWaveId = MakeFourCC('W', 'A', 'V', 'E');
constexpr FOURCC kFmtId = MakeFourCC('f', 'm', 't', ' ');
constexpr FOURCC kDataId = MakeFourCC('d', 'a', 't', 'a');

constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
constexpr std::uint16_t WAVE_FORMAT_ADPCM = 2;  // Microsoft's
constexpr std::uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr std::uint16_t WAVE_FORMAT_ALAW = 6;
constexpr std::uint16_t WAVE_FORMAT_MULAW = 7;
constexpr std::uint16_t WAVE_FORMAT_IMA_ADPCM = 0x11;
constexpr std::uint16_t WAVE_FORMAT_GSM610 = 0x31;
// The extensible layout: the real format is a sub-format named in the 22
// bytes that follow the 18 of the plain header.
constexpr std::uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

// Little-endian field access on byte buffers, independent of the host order.
inline std::uint16_t LoadLE16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadLE32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void StoreLE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLE32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The first 14 bytes of a fmt chunk. The bits-per-sample field that follows
// in the file is not part of it: the width is derived from nBlockAlign.
struct WAVEFORMAT {
    static constexpr std::size_t kSize = 14;
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;

    // Plain PCM with these channels, rate and bits per sample.
    static WAVEFORMAT Pcm(std::uint16_t channels, std::uint32_t rate, int bits) {
        WAVEFORMAT f;
        f.wFormatTag = 1;
        f.nChannels = channels;
        f.nSamplesPerSec = rate;
        f.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
        f.nAvgBytesPerSec = rate * f.nBlockAlign;
        return f;
    }
    static WAVEFORMAT Parse(const std::uint8_t* p) {
        WAVEFORMAT f;
        f.wFormatTag = LoadLE16(p);
        f.nChannels = LoadLE16(p + 2);
        f.nSamplesPerSec = LoadLE32(p + 4);
        f.nAvgBytesPerSec = LoadLE32(p + 8);
        f.nBlockAlign = LoadLE16(p + 12);
        return f;
    }
    bool operator==(const WAVEFORMAT&) const = default;
};

// The output format the device is opened with and the output file describes.
struct WAVEFORMATEX {
    static constexpr std::size_t kSize = 18;
    std::uint16_t wFormatTag = 0;
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0;
    bool operator==(const WAVEFORMATEX&) const = default;
};

// A chunk record as the chunk search fills it: cksize is the chunk's payload
// size, dwDataOffset the file offset of its first payload byte.
struct MMCKINFO {
    static constexpr std::size_t kSize = 20;
    FOURCC ckid = 0;
    std::uint32_t cksize = 0;
    FOURCC fccType = 0;
    std::uint32_t dwDataOffset = 0;
    std::uint32_t dwFlags = 0;
    bool operator==(const MMCKINFO&) const = default;
};

// The canonical 44-byte header of every file Sonivel writes.
struct OutputHeader {
    static constexpr std::size_t kSize = 44;
    std::array<std::uint8_t, kSize> bytes{};

    // Fills the entries that never change: "RIFF", "WAVE", "fmt ", 16, PCM, "data".
    // Sizes and format fields stay zero until Finish.
    void FillConstantParts();
    // Makes the sizes and format right for a file of fileLength bytes in format.
    // Lengths below 44 are treated as 44 (an empty data chunk).
    void Finish(std::uint64_t fileLength, const WAVEFORMATEX& format);

    std::uint32_t RiffSize() const { return LoadLE32(&bytes[4]); }
    std::uint32_t DataSize() const { return LoadLE32(&bytes[40]); }
};

}  // namespace sonivel
