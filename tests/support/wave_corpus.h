// A folder's worth of broken and unusual wave files, each with what the
// program must make of it: the message it shows, or the sound it plays.
#pragma once

#include <string>
#include <vector>

#include "support/wave_builder.h"
#include "texts.h"

namespace sonivel::test {

struct CorpusFile {
    std::string name;          // file name, ending in .wav
    Bytes bytes;               // the whole file
    int text = kTextNone;      // the interface text of the refusal; kTextNone when it opens
    std::uint32_t frames = 0;  // opened files: whole frames of sound in them
    Format format;             // opened files: their format
};

// Every accepted format, chunks in odd places and of odd sizes, sizes that
// lie, truncations, extreme format fields, and files that are no waves at all.
std::vector<CorpusFile> WaveCorpus();

}  // namespace sonivel::test
