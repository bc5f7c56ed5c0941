// Writes the seed corpus of the wave fuzzers into the folder given: the test
// corpus of broken and unusual files (every accepted format, odd chunk sizes,
// chunks before and after the data, truncated files, lying sizes, extreme
// format fields), each with one byte more that varies the fuzzers' choices.
#include <cstdio>
#include <string>
#include <vector>

#include "support/wave_builder.h"
#include "support/wave_corpus.h"

using namespace sonivel::test;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int count = 0;
    std::vector<CorpusFile> files = WaveCorpus();
    // Longer than one second at 11025 Hz: a full block and a last one, so
    // raised rates cross a block boundary.
    files.push_back({"long-11025-8-mono.wav", MakeWave({1, 1, 11025, 8}, NoiseSamples({1, 1, 11025, 8}, 11025 + 700)), 0, 0, {}});
    files.push_back({"long-11025-8-stereo.wav", MakeWave({1, 2, 11025, 8}, NoiseSamples({1, 2, 11025, 8}, 11025 + 40)), 0, 0, {}});
    for (CorpusFile& file : files) {
        file.bytes.push_back(static_cast<std::uint8_t>(count * 37));
        const std::string path = dir + "/" + file.name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) continue;
        std::fwrite(file.bytes.data(), 1, file.bytes.size(), f);
        std::fclose(f);
        ++count;
    }
    std::printf("%d seeds written to %s\n", count, dir.c_str());
    return 0;
}
