#include <algorithm>
#include <gtest/gtest.h>

#include "support/wave_builder.h"
#include "support/wave_corpus.h"
#include "waveread.h"

namespace sonivel {
namespace {

using test::Bytes;
using test::Format;
using test::RiffBuilder;

WaveReadResult ReadBytes(const Bytes& bytes) {
    MemorySource src(bytes.data(), bytes.size());
    return ReadWave(src);
}

TEST(WaveRead, MonoSixteenBitAt22050) {
    const Bytes file = test::MakeWave({1, 1, 22050, 16}, Bytes(1000, 0));
    const WaveReadResult r = ReadBytes(file);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.info.InFormat.wFormatTag, 1);
    EXPECT_EQ(r.info.InFormat.nChannels, 1);
    EXPECT_EQ(r.info.InFormat.nSamplesPerSec, 22050u);
    EXPECT_EQ(r.info.InFormat.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(r.info.InFormat.nBlockAlign, 2);
    EXPECT_EQ(r.info.DataStart, 44);
    EXPECT_EQ(r.info.DataChunk.ckid, kDataId);
    EXPECT_EQ(r.info.DataChunk.cksize, 1000u);
}

TEST(WaveRead, EveryAcceptedFormatReadsBack) {
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (std::uint16_t bits : {8, 16})
            for (std::uint16_t channels : {1, 2}) {
                const Format f{1, channels, rate, bits};
                const WaveReadResult r = ReadBytes(test::MakeWave(f, test::NoiseSamples(f, 10)));
                ASSERT_TRUE(r.ok()) << rate << " " << bits << " " << channels;
                EXPECT_EQ(r.info.InFormat.nBlockAlign, f.BlockAlign());
                EXPECT_EQ(r.info.DataBytes(), 10 * f.BlockAlign());
            }
}

TEST(WaveRead, SkipsOtherChunksBeforeAndBetween) {
    const Format f{1, 2, 44100, 16};
    const Bytes list(26, 'x');
    const Bytes file = RiffBuilder()
                           .Chunk("LIST", list)
                           .Fmt(f)
                           .Chunk("fact", Bytes(5, 1))  // odd: followed by a pad byte
                           .Data(Bytes(8, 0))
                           .Build();
    const WaveReadResult r = ReadBytes(file);
    ASSERT_TRUE(r.ok()) << r.error;
    // 12 + (8 + 26) + (8 + 16) + (8 + 5 + 1) + 8
    EXPECT_EQ(r.info.DataStart, 12 + 34 + 24 + 14 + 8);
    EXPECT_EQ(r.info.DataBytes(), 8);
}

TEST(WaveRead, RefusesWhatIsNotAWaveFile) {
    EXPECT_EQ(ReadBytes(Bytes{}).error, kTextNotAWaveFile);
    EXPECT_EQ(ReadBytes(Bytes(100, 'a')).error, kTextNotAWaveFile);
    const Bytes avi = RiffBuilder().Fmt({}).Data(Bytes(4, 0)).Build("AVI ");
    EXPECT_EQ(ReadBytes(avi).error, kTextNotAWaveFile);
    // A RIFF header that stops before its form type.
    EXPECT_EQ(ReadBytes(Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'}).error, kTextNotAWaveFile);
}

TEST(WaveRead, FindsAWaveFormAfterAnotherRiffForm) {
    Bytes file = RiffBuilder().Chunk("junk", Bytes(6, 0)).Build("AVI ");
    const Bytes wave = test::MakeWave({1, 1, 11025, 8}, Bytes(3, 128));
    file.insert(file.end(), wave.begin(), wave.end());
    const WaveReadResult r = ReadBytes(file);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.info.DataStart, static_cast<std::int32_t>(file.size() - 4));  // 3 bytes + pad
}

TEST(WaveRead, ChunkFailuresInTheirOrder) {
    EXPECT_EQ(ReadBytes(RiffBuilder().Data(Bytes(4, 0)).Build()).error, kTextNoFormatChunk);
    // The data chunk is searched only after the fmt chunk.
    EXPECT_EQ(ReadBytes(RiffBuilder().Data(Bytes(4, 0)).Fmt({}).Build()).error, kTextNoDataChunk);
    EXPECT_EQ(ReadBytes(RiffBuilder().Fmt({}).Build()).error, kTextNoDataChunk);
    // The file ends inside the 14 bytes of the format.
    EXPECT_EQ(ReadBytes(RiffBuilder().ChunkWithSize("fmt ", 16, Bytes(10, 1)).Build()).error,
              kTextErrorReadingFormat);
    // A missing data chunk is reported before an unsupported format.
    EXPECT_EQ(ReadBytes(RiffBuilder().Fmt({1, 1, 48000, 16}).Build()).error, kTextNoDataChunk);
}

// Every PCM width from 8 to 32 bits, floating point and every rate from
// 4000 Hz up is read with its own format; what no output can reach or the
// engine would mis-size is refused.
TEST(WaveRead, WhichFormatsAreReadAndWhichRefused) {
    const struct {
        Bytes fmt;
        bool read;
        const char* what;
    } cases[] = {
        {test::FmtPayload({1, 1, 48000, 16}), true, "48000 Hz"},
        {test::FmtPayload({1, 1, 8000, 8}), true, "8000 Hz"},
        {test::FmtPayload({1, 2, 33075, 16}), true, "33075 Hz"},
        {test::FmtPayload({1, 2, 88200, 16}), true, "88200 Hz"},
        {test::FmtPayload({1, 1, 4000, 16}), true, "4000 Hz"},
        {test::FmtPayload({1, 2, 44100, 24}), true, "24 bits"},
        {test::FmtPayload({1, 1, 96000, 32}), true, "32 bits"},
        {test::FmtPayload({3, 1, 44100, 32}), true, "float"},
        {test::FmtPayload({3, 2, 48000, 64}), true, "double"},
        {test::FmtPayload({1, 1, 3999, 16}), false, "below 4000 Hz"},
        {test::FmtPayload({1, 1, 0, 16}), false, "0 Hz"},
        {test::FmtPayload({1, 1, 400000, 16}), false, "above 384000 Hz"},
        {test::FmtPayload({3, 1, 44100, 16}), false, "16-bit float"},
        {test::FmtPayload({1, 1, 44100, 40}), false, "40 bits"},
        {test::FmtPayload({2, 1, 22050, 16}), false, "ADPCM without its coefficients"},
        {test::FmtPayload({0x55, 1, 22050, 16}), false, "an encoding nobody decodes here"},
        {test::FmtPayload({0xFFFE, 2, 44100, 16}), false, "extensible without its extension"},
        {test::FmtPayload(1, 0, 22050, 0, 0, 16), false, "no channels"},
        {test::FmtPayload({1, 3, 22050, 16}), false, "three channels"},
        {test::FmtPayload(1, 1, 22050, 44100, 0, 16), false, "block align 0"},
        {test::FmtPayload(1, 2, 22050, 88200, 3, 16), false, "block align 3 for stereo"},
        {test::FmtPayload(1, 1, 22050, 0, 2, 16), false, "byte rate 0"},
        {test::FmtPayload(1, 1, 22050, 0xFFFFFFFF, 2, 16), false, "byte rate too large"},
    };
    for (const auto& c : cases) {
        const WaveReadResult r = ReadBytes(RiffBuilder().Chunk("fmt ", c.fmt).Data(Bytes(48, 0)).Build());
        EXPECT_EQ(r.error, c.read ? kTextNone : kTextUnsupportedFormat) << c.what;
        if (c.read) {
            EXPECT_EQ(r.info.InFormat, WAVEFORMAT::Parse(c.fmt.data())) << c.what;
        }
    }
}

// Recorders and editors write plain PCM in the extensible layout too: it
// reads as the same format and the same sound as the plain layout, so it
// plays and converts the same; only the PCM sub-format is taken.
TEST(WaveRead, ExtensibleLayoutWithPcmInsideIsPcm) {
    for (std::uint32_t rate : {11025u, 22050u, 44100u})
        for (std::uint16_t bits : {8, 16})
            for (std::uint16_t ch : {1, 2}) {
                const Format f{1, ch, rate, bits};
                const Bytes sound = test::NoiseSamples(f, 50, rate + bits + ch);
                const WaveReadResult plain = ReadBytes(test::MakeWave(f, sound));
                const Bytes file = RiffBuilder().Chunk("fmt ", test::ExtensibleFmtPayload(f)).Data(sound).Build();
                const WaveReadResult r = ReadBytes(file);
                ASSERT_TRUE(r.ok()) << rate << " " << bits << " " << ch << ": " << r.error;
                EXPECT_EQ(r.info.InFormat, plain.info.InFormat);
                ASSERT_EQ(r.info.DataBytes(), sound.size());
                EXPECT_TRUE(std::equal(sound.begin(), sound.end(), file.begin() + r.info.DataStart));
            }
    const Format f{1, 2, 44100, 16};
    Bytes wrongTail = test::ExtensibleFmtPayload(f);
    wrongTail.back() ^= 1;
    Bytes noExtension = test::ExtensibleFmtPayload(f);
    noExtension[16] = 0;  // says it carries no sub-format
    Bytes cutShort = test::ExtensibleFmtPayload(f);
    cutShort.resize(24);
    const struct {
        Bytes fmt;
        const char* what;
    } refused[] = {
        {test::ExtensibleFmtPayload({1, 2, 44100, 16}, 3), "16-bit floating-point sub-format"},
        {test::ExtensibleFmtPayload(f, 2), "ADPCM sub-format without its coefficients"},
        {test::ExtensibleFmtPayload(f, 1, 20), "more valid bits than the container"},
        {cutShort, "cut short"},
        {wrongTail, "another GUID"},
        {noExtension, "no extension"},
    };
    for (const auto& c : refused)
        EXPECT_EQ(ReadBytes(RiffBuilder().Chunk("fmt ", c.fmt).Data(Bytes(16, 0)).Build()).error, kTextUnsupportedFormat)
            << c.what;
    // The sub-format is the format: floating point and wide PCM read as the
    // plain layout does.
    for (const Format& g : {Format{3, 2, 48000, 32}, Format{1, 2, 44100, 24}, Format{1, 2, 48000, 16}}) {
        const WaveReadResult r = ReadBytes(RiffBuilder().Chunk("fmt ", test::ExtensibleFmtPayload(g, g.tag)).Data(Bytes(48, 0)).Build());
        ASSERT_TRUE(r.ok()) << g.tag << " " << g.bits;
        EXPECT_EQ(r.info.InFormat, ReadBytes(test::MakeWave(g, Bytes(48, 0))).info.InFormat);
    }
}

TEST(WaveRead, ClampsADataSizeLargerThanTheFile) {
    const Bytes file = RiffBuilder()
                           .Fmt({1, 1, 11025, 8})
                           .ChunkWithSize("data", 0x7FFFFFF0, Bytes(100, 128))
                           .Build();
    const WaveReadResult r = ReadBytes(file);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.info.DataBytes(), 100);
}

TEST(WaveRead, DataHoldsOnlyWholeFrames) {
    const Bytes file = RiffBuilder().Fmt({1, 2, 44100, 16}).Data(Bytes(4 * 25 + 3, 0)).Build();
    EXPECT_EQ(ReadBytes(file).info.DataBytes(), 100);
    // Clamped to the file first, then to whole frames.
    const Bytes cut = RiffBuilder().Fmt({1, 1, 22050, 16}).ChunkWithSize("data", 1000, Bytes(9, 0)).Build();
    EXPECT_EQ(ReadBytes(cut).info.DataBytes(), 8);
}

TEST(WaveRead, DoesNotTrustTheRiffSize) {
    const RiffBuilder b = RiffBuilder().Fmt({1, 2, 44100, 16}).Data(Bytes(40, 0));
    for (std::uint32_t riffSize : {0u, 4u, 0xFFFFFFFFu}) {
        const WaveReadResult r = ReadBytes(b.Build(riffSize));
        ASSERT_TRUE(r.ok()) << riffSize;
        EXPECT_EQ(r.info.DataBytes(), 40);
    }
}

TEST(WaveRead, HugeSkippedChunkEndsTheSearch) {
    const Bytes file = RiffBuilder()
                           .Fmt({})
                           .ChunkWithSize("junk", 0xFFFFFFFF, Bytes(8, 0))
                           .Data(Bytes(4, 0))
                           .Build();
    EXPECT_EQ(ReadBytes(file).error, kTextNoDataChunk);
}

TEST(WaveRead, FromDisk) {
    test::TempDir dir;
    const std::string path =
        dir.Write("a file with blanks.wav", test::MakeWave({1, 2, 44100, 16}, Bytes(400, 0)));
    const WaveReadResult r = ReadWaveFile(path);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.info.DataBytes(), 400);
    EXPECT_EQ(ReadWaveFile(dir.File("missing.wav")).error, kTextErrorOpeningFile);
    EXPECT_EQ(ReadWaveFile("").error, kTextErrorOpeningFile);
    EXPECT_EQ(ReadWaveFile(dir.Path()).error, kTextErrorOpeningFile);
}


TEST(WaveRead, EveryCorpusFileReadsAsItShould) {
    for (const test::CorpusFile& file : test::WaveCorpus()) {
        SCOPED_TRACE(file.name);
        const WaveReadResult r = ReadBytes(file.bytes);
        EXPECT_EQ(r.error, file.text);
        if (!r.ok() || file.text != kTextNone) continue;
        EXPECT_EQ(r.info.InFormat.nSamplesPerSec, file.format.rate);
        EXPECT_EQ(r.info.InFormat.nChannels, file.format.channels);
        EXPECT_EQ(r.info.DataChunk.cksize, file.frames * file.format.BlockAlign());
    }
}

}  // namespace
}  // namespace sonivel
