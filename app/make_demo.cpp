// Writes Sonivel's demo: a short tune of our own in 11025 Hz 8-bit mono, the
// kind of file Sonivel was made for, so that the rate conversion and the
// stereo effect are what a first listener hears.
//   make_demo OUT.wav
#include <cmath>
#include <cstdio>
#include <vector>

#include "wavefmt.h"

int main(int argc, char** argv) {
    using namespace sonivel;
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo OUT.wav\n");
        return 2;
    }
    constexpr int kRate = 11025;
    // A rising figure, an answer, and a held close: MIDI notes and beats.
    struct Note {
        int midi;
        double beats;
    };
    const Note tune[] = {{60, 1}, {64, 1}, {67, 1}, {72, 2}, {71, 1}, {67, 1}, {64, 2},
                         {65, 1}, {69, 1}, {72, 1}, {77, 2}, {76, 1}, {72, 1}, {67, 1}, {72, 4}};
    const double beat = 0.3;
    std::vector<std::uint8_t> samples;
    for (const Note& n : tune) {
        const double freq = 440.0 * std::pow(2.0, (n.midi - 69) / 12.0);
        const int count = static_cast<int>(n.beats * beat * kRate);
        for (int i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / kRate;
            // A plucked tone: a fundamental and two overtones, fading out.
            const double envelope = std::exp(-3.0 * t) * std::min(1.0, t * 200);
            const double v = 0.55 * std::sin(2 * M_PI * freq * t) + 0.25 * std::sin(4 * M_PI * freq * t) +
                             0.12 * std::sin(6 * M_PI * freq * t);
            samples.push_back(static_cast<std::uint8_t>(128 + std::lround(100 * envelope * v)));
        }
    }
    OutputHeader header;
    header.FillConstantParts();
    WAVEFORMATEX format;
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kRate;
    format.nAvgBytesPerSec = kRate;
    format.nBlockAlign = 1;
    format.wBitsPerSample = 8;
    header.Finish(OutputHeader::kSize + samples.size(), format);
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) return 1;
    const bool ok = std::fwrite(header.bytes.data(), 1, header.bytes.size(), f) == header.bytes.size() &&
                    std::fwrite(samples.data(), 1, samples.size(), f) == samples.size();
    return std::fclose(f) == 0 && ok ? 0 : 1;
}
