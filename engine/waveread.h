// Reading what the engine needs to know of a wave file before it plays it:
// the input format, where the sample data starts and how many bytes it holds.
#pragma once

#include <cstdint>
#include <string>

#include "fileio.h"
#include "texts.h"
#include "wavefmt.h"

namespace sonivel {

// A validated description of a playable wave file. Every value here has been
// checked: the format is PCM at 11025, 22050 or 44100 Hz, one or two channels
// of 8 or 16 bits with consistent derived fields, and the data chunk lies
// inside the file and inside signed 32-bit offsets.
struct WaveInfo {
    WAVEFORMAT InFormat;
    MMCKINFO DataChunk;      // cksize: the sample bytes, whole frames inside the file
    std::int32_t DataStart = 0;  // file offset of the first sample byte

    std::int32_t DataBytes() const { return static_cast<std::int32_t>(DataChunk.cksize); }
};

struct WaveReadResult {
    int error = kTextNone;  // a text id (40..45) when the file was refused
    WaveInfo info;          // meaningful only when ok(); for an unsupported
                            // format, info.InFormat is the file's
    bool ok() const { return error == kTextNone; }
};

// Reads the chunk structure of a RIFF/WAVE file: "fmt " first, then "data"
// searched after it; other chunks are skipped. Sizes from the file are never
// trusted: a data size larger than the file is clamped to what is there.
WaveReadResult ReadWaveFile(const std::string& path);
WaveReadResult ReadWave(ByteSource& source);

// The acceptance rule on its own: true when the engine can play `format`.
bool IsSupportedFormat(const WAVEFORMAT& format);

}  // namespace sonivel
