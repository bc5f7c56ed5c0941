#include "refusal.h"

#include <cstring>

#include "decoded.h"
#include "fileio.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {

std::string FormatRefusal(const WAVEFORMAT& f, int language) {
    // The encodings the decoder reads; a file of one that still cannot be
    // read is damaged, or holds what no such file holds.
    static constexpr struct {
        std::uint16_t tag;
        const char* name;
    } kDecoded[] = {{WAVE_FORMAT_MULAW, "u-law"}, {WAVE_FORMAT_ALAW, "A-law"}, {WAVE_FORMAT_IMA_ADPCM, "IMA ADPCM"},
                    {WAVE_FORMAT_ADPCM, "MS ADPCM"}, {WAVE_FORMAT_GSM610, "GSM 6.10"}};
    switch (RefusalOf(f)) {
        case Refusal::Encoding:
            for (const auto& d : kDecoded)
                if (d.tag == f.wFormatTag && CanDecode() && f.nSamplesPerSec >= kLowestRate)
                    return FormatText(kTextReasonUndecodable, {d.name}, language);
            if (f.nSamplesPerSec && f.nSamplesPerSec < kLowestRate)
                return FormatText(kTextReasonRate, {std::to_string(f.nSamplesPerSec)}, language);
            return FormatText(kTextReasonEncoding, {std::to_string(f.wFormatTag)}, language);
        case Refusal::Channels: return FormatText(kTextReasonChannels, {std::to_string(f.nChannels)}, language);
        case Refusal::Rate: return FormatText(kTextReasonRate, {std::to_string(f.nSamplesPerSec)}, language);
        case Refusal::Bits:
            return FormatText(kTextReasonBits, {std::to_string(f.nChannels ? 8 * f.nBlockAlign / f.nChannels : 0)},
                              language);
        case Refusal::None: break;
    }
    return {};
}

std::string OtherKindOfSound(const std::uint8_t* head, std::size_t size) {
    const auto starts = [&](std::size_t at, const char* tag) {
        const std::size_t n = std::strlen(tag);
        return size >= at + n && std::memcmp(head + at, tag, n) == 0;
    };
    if (starts(0, "fLaC")) return "FLAC";
    if (starts(0, "FORM") && (starts(8, "AIFF") || starts(8, "AIFC"))) return "AIFF";
    if (starts(0, "OggS")) return "Ogg";
    if (starts(0, "ID3") || (size >= 2 && head[0] == 0xFF && (head[1] & 0xE0) == 0xE0)) return "MP3";
    return {};
}

std::string RefusalReason(int textId, const std::string& path, int language) {
    if (textId == kTextUnsupportedFormat) {
        const WaveReadResult r = ReadWaveFile(path);
        return r.error == kTextUnsupportedFormat ? FormatRefusal(r.info.InFormat, language) : std::string();
    }
    if (textId == kTextNotAWaveFile) {
        File file = File::OpenRead(path);
        std::uint8_t head[12] = {};
        const std::int64_t got = file.IsOpen() ? file.ReadAt(0, head, sizeof head) : -1;
        const std::string kind = got > 0 ? OtherKindOfSound(head, static_cast<std::size_t>(got)) : std::string();
        return kind.empty() ? kind : FormatText(kTextReasonOtherKind, {kind}, language);
    }
    return {};
}

}  // namespace sonivel
