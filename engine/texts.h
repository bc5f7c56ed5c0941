// The program's bilingual interface texts, looked up by id and language,
// and the two-entry caption table of the error boxes. Plain data,
// shared by the windows, the render thread and the headless converter.
#pragma once

#include <atomic>
#include <initializer_list>
#include <string>
#include <string_view>

namespace sonivel {

enum Language : int { kEnglish = 0, kFrench = 1 };
constexpr int kNumLanguages = 2;
constexpr int kNumTexts = 83;

// The ids of the texts, in the order of the table: the menus (0..21), the
// buttons and labels, the messages and the playlist editor (50..59), then
// the texts added after them (60 on).
enum TextId : int {
    kTextNone = -1,
    kTextMenuFile = 0,
    kTextMenuOpen = 1,
    kTextMenuSaveAs = 2,
    kTextMenuOpenPlaylist = 3,
    kTextMenuEditPlaylist = 4,
    kTextMenuExit = 5,
    kTextMenuOutputFormat = 6,
    kTextMenu8Bits = 7,
    kTextMenu16Bits = 8,
    kTextMenuMono = 9,
    kTextMenuStereo = 10,
    kTextMenuStereoEffects = 11,
    kTextMenuOptions = 12,
    kTextMenuPlayWhileSaving = 13,
    kTextMenuAutoRepeat = 14,
    kTextMenuLanguage = 15,
    kTextMenuCreateShortcut = 16,
    kTextMenuAssociate = 17,
    kTextMenuHelp = 18,
    kTextMenuHelpHtml = 19,
    kTextMenuHelpText = 20,
    kTextMenuAbout = 21,
    kTextPlay = 22,
    kTextStop = 23,
    kTextRewind = 24,
    kTextPreviousTrack = 25,
    kTextNextTrack = 26,
    kTextPlaylistButton = 27,
    kTextTimeLabel = 28,
    kTextWritingLabel = 29,
    kTextStopBeforeSaving = 30,
    kTextErrorCaption = 31,
    kTextOverwriteOpenFile = 32,
    kTextDeleteLegacyConfig = 33,
    kTextThankYou = 34,
    kTextNoBrowser = 35,
    kTextNoHelpText = 36,
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
    kTextPlaylistCaption = 50,
    kTextAddAll = 51,
    kTextRemoveAll = 52,
    kTextAdd = 53,
    kTextRemove = 54,
    kTextOpenPlaylist = 55,
    kTextSavePlaylist = 56,
    kTextClose = 57,
    kTextEmptyPlaylist = 58,
    kTextNoFrenchManual = 59,
    // A save refused before it starts: text 46, then why.
    kTextOutputTooLarge = 60,
    // Why a file is refused, in words, after text 41 or 45 (%s: the value).
    kTextReasonBits = 61,
    kTextReasonRate = 62,
    kTextReasonChannels = 63,
    kTextReasonEncoding = 64,
    kTextReasonUndecodable = 65,  // %s: the encoding's name
    kTextReasonOtherKind = 66,    // %s: what the file holds (FLAC, AIFF, ...)
    // What a playlist went past: one box when the run ends.
    kTextSkippedFiles = 67,
    kTextAndMore = 68,            // %s: how many more
    // The windows' own texts beyond the table above.
    kTextMenuHighQuality = 69,
    kTextNoWaveFilesInFolder = 70,
    kTextWaveFilesList = 71,      // what a screen reader calls the editor's lists
    kTextDrive = 72,
    kTextFolders = 73,
    kTextNameHasLineBreak = 74,
    kTextListNamesLeftOut = 75,
    kTextCannotOpenNamed = 76,    // %s: the file
    kTextCannotCreateNamed = 77,  // %s: the file
    kTextAboutCaption = 78,
    kTextAboutNotice = 79,
    // `sonivel --help` (%s: the settings file), and an option it does not know.
    kTextUsage = 80,
    kTextUnknownOption = 81,
    // What a screen reader adds to the playlist's current entry.
    kTextCurrentEntry = 82,
};

// Text `id` (0..82) in `language`; an empty view for an id out of range.
std::string_view Text(int id, int language);
// Text `id` with each %s replaced, in order, by the arguments.
std::string FormatText(int id, std::initializer_list<std::string> args, int language);
// "Error" / "Erreur": the caption of every error box.
std::string_view ErrorCaption(int language);

// The desktop's language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, the first
// set): French for any fr locale, else English. What a first start, the
// converter and `sonivel --help` speak.
int DesktopLanguage();

// The program-wide current language, read by both threads.
std::atomic<int>& CurrentLanguage();
inline std::string_view Text(int id) { return Text(id, CurrentLanguage().load()); }

}  // namespace sonivel
