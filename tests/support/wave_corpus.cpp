#include "support/wave_corpus.h"

namespace sonivel::test {
namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

}  // namespace

std::vector<CorpusFile> WaveCorpus() {
    std::vector<CorpusFile> c;
    const auto opens = [&c](std::string name, Bytes bytes, const Format& f, std::uint32_t frames) {
        c.push_back({std::move(name), std::move(bytes), kTextNone, frames, f});
    };
    const auto refused = [&c](std::string name, Bytes bytes, int text) {
        c.push_back({std::move(name), std::move(bytes), text, 0, {}});
    };

    // Every accepted format, a fifth of a second each.
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (std::uint16_t bits : {8, 16})
            for (std::uint16_t ch : {1, 2}) {
                const Format f{1, ch, rate, bits};
                const std::uint32_t frames = rate / 5;
                opens(std::to_string(rate) + "-" + std::to_string(bits) + "bit-" + std::to_string(ch) + "ch.wav",
                      MakeWave(f, NoiseSamples(f, frames, rate + bits + ch)), f, frames);
            }

    const Format mono16{1, 1, 22050, 16};
    const Format mono8{1, 1, 11025, 8};
    // Chunks before, between and after; odd sizes with their pad bytes.
    opens("list-before-fmt.wav",
          RiffBuilder().Chunk("LIST", Bytes(13, 'i')).Fmt(mono16).Chunk("fact", Bytes(3, 1)).Data(Bytes(400, 7)).Build(),
          mono16, 200);
    opens("odd-data-then-list.wav", RiffBuilder().Fmt(mono16).Data(Bytes(401, 9)).Chunk("LIST", Bytes(10, 0)).Build(),
          mono16, 200);
    opens("fmt-with-extra-bytes.wav",
          RiffBuilder().Chunk("fmt ", [] {
              Bytes p = FmtPayload({1, 1, 11025, 8});
              p.insert(p.end(), {0, 0, 1, 2});  // cbSize and two bytes some writers add
              return p;
          }()).Data(Bytes(1000, 128)).Build(),
          mono8, 1000);
    // Sizes that lie: the data chunk says more than the file holds; the RIFF
    // size says nothing (streaming writers) or too much.
    opens("data-larger-than-file.wav", RiffBuilder().Fmt(mono16).ChunkWithSize("data", 0xFFFFFFF0, Bytes(3001, 3)).Build(),
          mono16, 1500);
    opens("riff-size-zero.wav", RiffBuilder().Fmt(mono8).Data(Bytes(2000, 100)).Build(0u), mono8, 2000);
    opens("riff-size-huge.wav", RiffBuilder().Fmt(mono8).Data(Bytes(2000, 100)).Build(0xFFFFFFFF), mono8, 2000);
    // Cut off inside the data: what is there plays, to the last whole frame.
    {
        const Format f{1, 2, 44100, 16};
        Bytes cut = MakeWave(f, NoiseSamples(f, 4410));
        cut.resize(44 + 4000 + 3);
        opens("cut-in-data.wav", cut, f, 1000);
    }
    opens("empty-data.wav", MakeWave(mono16, {}), mono16, 0);

    // Not waves at all.
    refused("empty-file.wav", {}, 41);
    refused("one-byte.wav", {'R'}, 41);
    refused("text-file.wav", Text("This is not a sound.\n"), 41);
    refused("avi-form.wav", RiffBuilder().Fmt(mono16).Data(Bytes(100, 0)).Build("AVI "), 41);
    // Waves with parts missing or broken.
    refused("no-chunks.wav", RiffBuilder().Build(), 42);
    refused("data-without-fmt.wav", RiffBuilder().Data(Bytes(100, 0)).Build(), 42);
    refused("fmt-without-data.wav", RiffBuilder().Fmt(mono16).Build(), 44);
    refused("fmt-cut-short.wav", RiffBuilder().ChunkWithSize("fmt ", 16, Bytes(6, 1)).Build(), 43);
    refused("chunk-past-end-before-data.wav",
            RiffBuilder().Fmt(mono16).ChunkWithSize("LIST", 0x7FFFFFFF, Bytes(20, 0)).Data(Bytes(100, 0)).Build(), 44);
    // Formats this program does not play.
    refused("adpcm.wav", RiffBuilder().Chunk("fmt ", FmtPayload(2, 1, 22050, 11155, 512, 4)).Data(Bytes(512, 0)).Build(), 45);
    // Above every output (played as they are) and below the classic rates
    // (raised at their exact ratio).
    for (const Format& f : {Format{1, 2, 48000, 16}, Format{1, 2, 44100, 24}, Format{3, 1, 32000, 32},
                            Format{1, 1, 16000, 16}, Format{1, 1, 8000, 8}, Format{1, 2, 11127, 8}}) {
        const std::uint32_t frames = f.rate / 5;
        opens(std::to_string(f.rate) + "-" + std::to_string(f.bits) + (f.tag == 3 ? "float-" : "bit-") +
                  std::to_string(f.channels) + "ch.wav",
              MakeWave(f, f.tag == 3 ? Bytes(frames * f.BlockAlign(), 0) : NoiseSamples(f, frames, f.rate)), f, frames);
    }
    refused("six-channels.wav", MakeWave({1, 6, 44100, 16}, Bytes(1200, 0)), 45);
    // The extensible layout: PCM inside is PCM; anything else is not.
    {
        const Format stereo16{1, 2, 44100, 16};
        opens("extensible-pcm-stereo16.wav",
              RiffBuilder().Chunk("fmt ", ExtensibleFmtPayload(stereo16)).Data(NoiseSamples(stereo16, 2205, 5)).Build(),
              stereo16, 2205);
        opens("extensible-pcm-mono8.wav",
              RiffBuilder().Chunk("fmt ", ExtensibleFmtPayload(mono8)).Data(Bytes(1103, 140)).Build(), mono8, 1103);
        refused("extensible-float.wav",
                RiffBuilder().Chunk("fmt ", ExtensibleFmtPayload(stereo16, 3)).Data(Bytes(400, 0)).Build(), 45);
    }
    refused("extensible.wav", RiffBuilder().Chunk("fmt ", FmtPayload(0xFFFE, 2, 44100, 176400, 4, 16)).Data(Bytes(400, 0)).Build(), 45);
    refused("zero-fields.wav", RiffBuilder().Chunk("fmt ", FmtPayload(1, 0, 0, 0, 0, 0)).Data(Bytes(8, 0)).Build(), 45);
    refused("huge-fields.wav",
            RiffBuilder().Chunk("fmt ", FmtPayload(1, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFF, 0xFFFF)).Data(Bytes(8, 0)).Build(), 45);
    refused("block-align-lies.wav", RiffBuilder().Chunk("fmt ", FmtPayload(1, 2, 22050, 88200, 3, 16)).Data(Bytes(300, 0)).Build(), 45);
    return c;
}

}  // namespace sonivel::test
