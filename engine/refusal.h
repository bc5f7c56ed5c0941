// Why a file is refused, in words: what its format is and what Sonivel
// reads, or what a file that is not a wave file holds. The window's box and
// the converter both add it to the refusal's text.
#pragma once

#include <string>

#include "wavefmt.h"

namespace sonivel {

// The reason for refusal `textId` of the file at `path` (empty when there is
// nothing more to say than the text itself).
std::string RefusalReason(int textId, const std::string& path, int language);
// What of a refused format Sonivel does not read.
std::string FormatRefusal(const WAVEFORMAT& format, int language);
// What the first bytes of a file that is not a wave file say it holds:
// "FLAC", "AIFF", "Ogg", "MP3"; empty when that is not easy to tell.
std::string OtherKindOfSound(const std::uint8_t* head, std::size_t size);

}  // namespace sonivel
