// The program's bilingual interface texts: 60 texts looked up by id and
// language, and the two-entry caption table of the error boxes. Plain data,
// shared by the windows, the render thread and the headless converter.
#pragma once

#include <atomic>
#include <string_view>

namespace sonivel {

enum Language : int { kEnglish = 0, kFrench = 1 };
constexpr int kNumLanguages = 2;
constexpr int kNumTexts = 60;

// Ids of the texts that the engine itself reports.
enum TextId : int {
    kTextNone = -1,
    kTextPlay = 22,
    kTextStop = 23,
    kTextOverwriteOpenFile = 32,
    kTextIncompatibleDevice = 37,
    kTextNoSoundDevice = 38,
    kTextNoMemory = 39,
    kTextErrorOpeningFile = 40,
    kTextNotAWaveFile = 41,
    kTextNoFormatChunk = 42,
    kTextErrorReadingFormat = 43,
    kTextNoDataChunk = 44,
    kTextUnsupportedFormat = 45,
    kTextCannotWriteWave = 46,
    kTextQualityTooLow = 47,
    kTextCannotOpenDevice = 48,
    kTextCannotPrepareHeader = 49,
};

// Text `id` (0..59) in `language`; an empty view for an id out of range.
std::string_view Text(int id, int language);
// "Error" / "Erreur": the caption of every error box.
std::string_view ErrorCaption(int language);

// The program-wide current language, read by both threads.
std::atomic<int>& CurrentLanguage();
inline std::string_view Text(int id) { return Text(id, CurrentLanguage().load()); }

}  // namespace sonivel
