// The converter's own texts, in English and French. The engine's messages
// (the program's text table) are quoted as they stand; these go around them.
#pragma once

#include <string>
#include <string_view>

namespace sonivel::convert {

enum Say {
    kHelp,
    kSeeHelp,           // appended to a usage error
    kRateTakes,
    kBitsTakes,
    kSeekTakes,
    kLangTakes,
    kJobsTakes,
    kInterpolationTakes,
    kUnknownOption,     // %s: the option
    kNeedInAndOut,
    kForceAndSkip,
    kOutIsAFile,        // %s: the output folder given
    kWrote,             // %s: file, %s: details
    kWouldSkip,         // %s: in, %s: out
    kReasonMissing,
    kReasonFolder,
    kReasonNoPermission,
    kReasonNoFolder,
    kReasonNotWritable,
    kUseYes,            // %s: the raised format
    kExists,            // the output exists and neither --force nor --skip-existing
    kSameTarget,        // two inputs would write one output
    kInterrupted,
    kSummaryConverted,  // %d converted, %d total, %s time
    kSummarySkipped,    // %d
    kSummaryNotConverted,  // %d
    kProgressFiles,     // %d done, %d total
    kEstimate,          // %s
    kStereo,
    kMono,
    kNoWaveFound,       // %s: the folder
    kExistsHint,        // once a run, after outputs that exist were kept
    kQualityBelow,      // the chosen output is below the file's format
    kKeptAsIs,          // %s: the file's format
    kWouldBecome,       // %s: in, %s: out, %s: what it becomes
    kGroupOne,          // %s: the reason one file was not converted
    kGroupMany,         // %d: how many files, %s: the reason
    kNoWaveAtAll,       // a run that found nothing to convert
    kSayCount
};

int Language();
std::string_view Said(Say id);
// `Said(id)` with each %s and %d replaced, in order, by the arguments.
std::string Format(Say id, std::initializer_list<std::string> args);

// "44100 Hz, 16 bits, stereo" in the converter's language.
std::string FormatName(unsigned rate, unsigned bits, unsigned channels);

}  // namespace sonivel::convert
