// Writes the seed corpus of the wave-reader fuzzer into the folder given:
// every accepted format, odd chunk sizes, chunks before and after the data,
// truncated files, lying sizes and extreme format fields.
#include <cstdio>
#include <string>

#include "support/wave_builder.h"

using namespace sonivel::test;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int count = 0;
    const auto write = [&](const Bytes& b) {
        const std::string path = dir + "/seed" + std::to_string(count++) + ".wav";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return;
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    };
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (std::uint16_t bits : {8, 16})
            for (std::uint16_t ch : {1, 2}) {
                const Format f{1, ch, rate, bits};
                Bytes w = MakeWave(f, NoiseSamples(f, 64, rate + bits + ch));
                w.push_back(static_cast<std::uint8_t>(rate + bits * ch));  // varies the choice byte
                write(w);
            }
    const Format mono{1, 1, 22050, 16};
    write(RiffBuilder().Chunk("LIST", Bytes(13, 'i')).Fmt(mono).Chunk("fact", Bytes(3, 1)).Data(Bytes(40, 7)).Build());
    write(RiffBuilder().Fmt(mono).Data(Bytes(41, 9)).Chunk("LIST", Bytes(10, 0)).Build());
    write(RiffBuilder().Data(Bytes(8, 0)).Fmt(mono).Build());
    write(RiffBuilder().Fmt(mono).ChunkWithSize("data", 0xFFFFFFF0, Bytes(30, 3)).Build());
    write(RiffBuilder().Fmt(mono).Data(Bytes(20, 1)).Build(0u));
    write(RiffBuilder().Fmt(mono).Data(Bytes(20, 1)).Build(0xFFFFFFFF));
    write(RiffBuilder().ChunkWithSize("fmt ", 16, Bytes(6, 1)).Build());
    write(RiffBuilder().Chunk("fmt ", FmtPayload(1, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF)).Data(Bytes(8, 0)).Build());
    write(RiffBuilder().Chunk("fmt ", FmtPayload(1, 0, 0, 0, 0, 0)).Data(Bytes(8, 0)).Build());
    write(RiffBuilder().Chunk("fmt ", FmtPayload(1, 1, 11025, 11025, 1, 8)).Data(Bytes(11025 + 5, 200)).Build());
    Bytes truncated = MakeWave({1, 2, 44100, 16}, Bytes(400, 5));
    truncated.resize(60);
    write(truncated);
    std::printf("%d seeds written to %s\n", count, dir.c_str());
    return 0;
}
