// sonivel-convert as a person runs it, on files made by sox and espeak-ng.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "e2e/shell.h"
#include "support/thread_rig.h"
#include "support/wave_builder.h"
#include "convert.h"
#include "decoded.h"
#include "position.h"
#include "waveread.h"

namespace sonivel {
namespace {

using Result = test::ShellResult;
using test::Shell;

Result Convert(const std::string& args) { return Shell(std::string(SONIVEL_CONVERT) + " " + args); }

bool Have(const char* tool) { return Shell(std::string("command -v ") + tool).status == 0; }

class ConvertCli : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string Path(const std::string& name) { return "'" + dir.File(name) + "'"; }
};

TEST_F(ConvertCli, EveryAcceptedFormatMadeBySox) {
    if (!Have("sox")) GTEST_SKIP() << "sox is not installed";
    for (int rate : {11025, 22050, 44100})
        for (int bits : {8, 16})
            for (int channels : {1, 2}) {
                const std::string name = std::to_string(rate) + "-" + std::to_string(bits) + "-" + std::to_string(channels);
                const std::string in = dir.File(name + ".wav");
                ASSERT_EQ(Shell("sox -n -r " + std::to_string(rate) + " -b " + std::to_string(bits) + " -c " +
                                std::to_string(channels) + " -e " + (bits == 8 ? "unsigned" : "signed") +
                                " '" + in + "' synth 1.5 sine 440 sine 660").status, 0);
                const std::string out = dir.File(name + "-out.wav");
                const Result r = Convert("'" + in + "' '" + out + "'");
                ASSERT_EQ(r.status, 0) << name << ": " << r.output;
                const WaveReadResult w = ReadWaveFile(out);
                ASSERT_TRUE(w.ok()) << name;
                EXPECT_EQ(w.info.InFormat.nSamplesPerSec, 44100u);
                EXPECT_EQ(w.info.InFormat.nChannels, 2);
                EXPECT_EQ(w.info.InFormat.nBlockAlign, 4);
                // Every frame of the file becomes 44100 / rate output
                // frames: none lost where one block meets the next, nor at
                // the end.
                const WaveReadResult src = ReadWaveFile(in);
                ASSERT_TRUE(src.ok()) << name;
                const std::uint32_t align = src.info.InFormat.nBlockAlign;
                const std::uint32_t converted = src.info.DataBytes() / align;
                EXPECT_EQ(w.info.DataBytes(), converted * (44100u / static_cast<std::uint32_t>(rate)) * 4) << name;
                // sox reads it back as the same length.
                const Result soxi = Shell("soxi -D '" + out + "'");
                EXPECT_NEAR(std::stod(soxi.output), 1.5, 0.001) << name;
            }
}

TEST_F(ConvertCli, SpeechFromEspeakAtEveryOutput) {
    if (!Have("espeak-ng")) GTEST_SKIP() << "espeak-ng is not installed";
    const std::string in = dir.File("speech.wav");
    ASSERT_EQ(Shell("espeak-ng -w '" + in + "' 'Sonivel raises old recordings.'").status, 0);
    const WaveReadResult src = ReadWaveFile(in);
    ASSERT_TRUE(src.ok());
    const double seconds = src.info.DataBytes() / static_cast<double>(src.info.InFormat.nAvgBytesPerSec);
    for (const char* opts : {"", "--rate 22050", "--mono", "--no-effects", "--rate 22050 --mono"}) {
        const std::string out = dir.File("speech-out.wav");
        const Result r = Convert("--force '" + in + "' '" + out + "' " + opts);
        ASSERT_EQ(r.status, 0) << opts << ": " << r.output;
        const WaveReadResult w = ReadWaveFile(out);
        ASSERT_TRUE(w.ok());
        EXPECT_NEAR(w.info.DataBytes() / static_cast<double>(w.info.InFormat.nAvgBytesPerSec), seconds, 0.01) << opts;
    }
}

// Every encoding old collections hold, made by sox. At 44100 Hz the output
// is the decoded sound itself, which must be what sox decodes; at the odd
// rates it is raised to 44100 Hz stereo, as long as the input to the output
// frame; above every output it is the file's own sound, sample for sample.
TEST_F(ConvertCli, EveryEncodingConvertsAsSoxReadsIt) {
    if (!Have("sox")) GTEST_SKIP() << "sox is not installed";
    enum Expect { Same, Raised, AsIs };
    const struct {
        const char* encoding;
        int rate, channels;
        Expect expect;
    } cases[] = {
        {"-e u-law", 44100, 1, Same},       {"-e a-law", 44100, 2, Same},     {"-e ima-adpcm", 44100, 1, Same},
        {"-e ms-adpcm", 44100, 2, Same},    {"-e gsm-full-rate", 44100, 1, Same},
        {"-e u-law", 8000, 1, Raised},      {"-e a-law", 8000, 1, Raised},    {"-e ima-adpcm", 11025, 1, Raised},
        {"-e ms-adpcm", 22050, 2, Raised},  {"-e gsm-full-rate", 8000, 1, Raised},
        {"-b 8 -e unsigned", 8363, 1, Raised}, {"-b 16", 16000, 1, Raised}, {"-b 16", 11127, 2, Raised},
        {"-b 16", 32000, 2, Raised},        {"-b 8 -e unsigned", 22254, 1, Raised},
        {"-b 24", 48000, 2, AsIs},          {"-b 24", 44100, 1, AsIs},        {"-b 32", 22050, 2, AsIs},
        {"-e floating-point -b 32", 44100, 1, AsIs}, {"-e floating-point -b 64", 48000, 2, AsIs},
        {"-b 16", 96000, 2, AsIs},
    };
    int i = 0;
    for (const auto& c : cases) {
        const std::string name = "e" + std::to_string(i++) + "-" + std::to_string(c.rate);
        SCOPED_TRACE(std::string(c.encoding) + " " + std::to_string(c.rate) + " Hz, " + std::to_string(c.channels));
        const std::string in = dir.File(name + ".wav"), out = dir.File(name + "-out.wav");
        ASSERT_EQ(Shell("sox -n -r " + std::to_string(c.rate) + " " + c.encoding + " -c " + std::to_string(c.channels) +
                        " '" + in + "' synth 1.3 sine 440 sine 1900 vol 0.5").status, 0);
        const Result r = Convert("--no-effects " + std::string(c.channels == 1 ? "--mono" : "--stereo") + " '" + in +
                                 "' '" + out + "'");
        ASSERT_EQ(r.status, 0) << r.output;
        const WaveReadResult w = ReadWaveFile(out);
        ASSERT_TRUE(w.ok());
        const std::string decodedIn = Shell("sox '" + in + "' -t raw - | md5sum").output;
        const std::string decodedOut = Shell("sox '" + out + "' -t raw - | md5sum").output;
        const long long inFrames = std::stoll(Shell("soxi -s '" + in + "'").output);
        const long long outFrames = w.info.DataBytes() / w.info.InFormat.nBlockAlign;
        switch (c.expect) {
            case Same:
                EXPECT_EQ(w.info.InFormat, WAVEFORMAT::Pcm(static_cast<std::uint16_t>(c.channels), 44100, 16));
                EXPECT_EQ(outFrames, inFrames);
                EXPECT_EQ(Shell("sox '" + in + "' -t raw -e signed -b 16 - | md5sum").output, decodedOut);
                break;
            case Raised:
                EXPECT_EQ(w.info.InFormat, WAVEFORMAT::Pcm(static_cast<std::uint16_t>(c.channels), 44100, 16));
                EXPECT_EQ(outFrames, (inFrames * 44100 + c.rate - 1) / c.rate);
                break;
            case AsIs:
                EXPECT_EQ(w.info.InFormat.nSamplesPerSec, static_cast<std::uint32_t>(c.rate));
                EXPECT_EQ(InputBits(w.info.InFormat), InputBits(ReadWaveFile(in).info.InFormat));
                EXPECT_EQ(outFrames, inFrames);
                EXPECT_EQ(decodedIn, decodedOut);
                EXPECT_NE(r.output.find("kept as it is"), std::string::npos) << r.output;
                break;
        }
    }
}

// Compressed files broken the ways old collections break them (cut short in
// a block, a data size that lies, nonsense block and coefficient fields,
// garbage for sound): each is either read to its end and written whole, or
// refused with its reason; never a crash, a hang or a damaged file.
TEST_F(ConvertCli, BrokenCompressedFilesAreReadOrRefusedWithTheirReason) {
    if (!Have("sox") || !CanDecode()) GTEST_SKIP() << "sox or the decoder is missing";
    const char* encodings[] = {"ima-adpcm", "ms-adpcm", "gsm-full-rate", "u-law"};
    struct Damage {
        const char* name;
        void (*apply)(test::Bytes& file, std::size_t data);  // `data`: offset of the data chunk's id
    };
    const Damage damages[] = {
        {"cut inside a block", [](test::Bytes& f, std::size_t) { f.resize(f.size() - 37); }},
        {"data size ten times the file",
         [](test::Bytes& f, std::size_t d) { StoreLE32(&f[d + 4], static_cast<std::uint32_t>(f.size() * 10)); }},
        {"block align 0", [](test::Bytes& f, std::size_t) { StoreLE16(&f[32], 0); }},
        {"block align 65535", [](test::Bytes& f, std::size_t) { StoreLE16(&f[32], 0xFFFF); }},
        {"samples per block 0", [](test::Bytes& f, std::size_t) { StoreLE16(&f[38], 0); }},
        {"samples per block 65535", [](test::Bytes& f, std::size_t) { StoreLE16(&f[38], 0xFFFF); }},
        {"coefficient count 65535", [](test::Bytes& f, std::size_t) { StoreLE16(&f[40], 0xFFFF); }},
        {"garbage for sound",
         [](test::Bytes& f, std::size_t d) {
             std::uint32_t x = 7;
             for (std::size_t i = d + 8; i < f.size(); ++i) f[i] = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 23);
         }},
    };
    int i = 0, read = 0, refused = 0;
    for (const char* enc : encodings) {
        const std::string made = dir.File(std::string(enc) + ".wav");
        ASSERT_EQ(Shell(std::string("sox -r 11025 -n -r 11025 -c 1 -e ") + enc + " '" + made + "' synth 1.2 sine 440").status, 0);
        const test::Bytes original = test::ReadAll(made);
        for (const Damage& damage : damages) {
            SCOPED_TRACE(std::string(enc) + ", " + damage.name);
            test::Bytes bytes = original;
            const std::string tag = "data";
            const auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
            ASSERT_NE(at, bytes.end());
            if (bytes.size() < 42) continue;
            damage.apply(bytes, static_cast<std::size_t>(at - bytes.begin()));
            const std::string in = dir.Write("broken" + std::to_string(i) + ".wav", bytes);
            const std::string out = dir.File("broken" + std::to_string(i++) + "-out.wav");
            const Result r = Shell("timeout 20 " + std::string(SONIVEL_CONVERT) + " '" + in + "' '" + out + "'");
            ASSERT_TRUE(r.status == 0 || r.status == 1) << "exit " << r.status << ": " << r.output;
            if (r.status == 0) {
                ++read;
                const WaveReadResult w = ReadWaveFile(out);
                ASSERT_TRUE(w.ok()) << r.output;
                const test::Bytes file = test::ReadAll(out);
                test::ExpectConsistentHeader(file);
                EXPECT_EQ(Shell("sox -V1 '" + out + "' -n").status, 0) << "sox does not read the output";
            } else {
                ++refused;
                EXPECT_FALSE(std::filesystem::exists(out)) << "a refused file left an output";
                EXPECT_NE(r.output.find(" ("), std::string::npos) << "no reason given: " << r.output;
            }
        }
    }
    // Both outcomes occur: the table reaches the decoder's refusals and its reading.
    EXPECT_GT(read, 0);
    EXPECT_GT(refused, 0);
}

// At an odd rate a seek's save is the whole save from the output frame at
// the seek's time on, byte for byte, with the effect and across every block
// join; so is a file kept as it is.
TEST_F(ConvertCli, ASeekSavesWhatTheWholeSaveHoldsFromThere) {
    if (!Have("sox")) GTEST_SKIP() << "sox is not installed";
    for (const char* made : {"-r 16000 -b 16 -c 1", "-r 11127 -b 8 -e unsigned -c 1", "-r 48000 -b 24 -c 2"}) {
        SCOPED_TRACE(made);
        const std::string in = dir.File("in.wav");
        ASSERT_EQ(Shell(std::string("sox -n ") + made + " '" + in + "' synth 3.7 sine 300-5000 vol 0.7").status, 0);
        ASSERT_EQ(Convert("--force --effects '" + in + "' " + Path("all.wav")).status, 0);
        const WaveReadResult src = ReadWaveFile(in);
        const WaveReadResult all = ReadWaveFile(dir.File("all.wav"));
        ASSERT_TRUE(src.ok() && all.ok());
        const test::Bytes whole = test::ReadAll(dir.File("all.wav"));
        for (int position : {1, 337, 731}) {
            ASSERT_EQ(Convert("--force --effects --seek " + std::to_string(position) + " '" + in + "' " + Path("part.wav")).status, 0);
            const test::Bytes part = test::ReadAll(dir.File("part.wav"));
            const WAVEFORMAT& f = src.info.InFormat;
            const SeekPlan seek = PlanSeek(position, kSeekBarMax, src.info.DataBytes(), src.info.DataStart, f.nBlockAlign);
            const std::int64_t frame = (seek.StartOffset - src.info.DataStart) / f.nBlockAlign;
            const std::int64_t outFrame = AboveEveryOutput(f) ? frame : (frame * 44100 + f.nSamplesPerSec - 1) / f.nSamplesPerSec;
            const std::size_t from = 44 + static_cast<std::size_t>(outFrame) * all.info.InFormat.nBlockAlign;
            ASSERT_EQ(part.size() - 44, whole.size() - from) << position;
            EXPECT_TRUE(std::equal(part.begin() + 44, part.end(), whole.begin() + static_cast<std::ptrdiff_t>(from))) << position;
        }
    }
}

TEST_F(ConvertCli, RefusalsAndTheirMessages) {
    const std::string cd = dir.Write("cd.wav", test::MakeWave({1, 2, 44100, 16}, test::NoiseSamples({1, 2, 44100, 16}, 5000)));
    const std::string slow = dir.Write("slow.wav", test::MakeWave({1, 2, 2000, 16}, test::Bytes(400)));

    // In the desktop's language unless --lang says otherwise.
    const std::string english = "Only noncompressed wave files with 11025, 22050 or 44100 Hz";
    const std::string french = "Erreur: Seulement les fichiers non-compressés";
    const struct {
        const char *desktop, *lang;
        const std::string& says;
    } languages[] = {{"C.UTF-8", "", english}, {"fr_FR.UTF-8", "", french}, {"fr_FR.UTF-8", "--lang en ", english},
                     {"C.UTF-8", "--lang fr ", french}};
    Result r;
    for (const auto& l : languages) {
        r = Shell(std::string("env -u LANGUAGE -u LC_ALL -u LC_MESSAGES LANG=") + l.desktop + " " + SONIVEL_CONVERT + " " +
                  l.lang + "'" + slow + "' " + Path("o.wav"));
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.output.find(l.says), std::string::npos) << l.desktop << " " << l.lang << r.output;
    }
    // A refused format says in words what the file is and what is read.
    const std::string deep = dir.Write("deep.wav", test::MakeWave({1, 2, 44100, 40}, test::Bytes(1000)));
    const std::string six = dir.Write("six.wav", test::MakeWave({1, 6, 44100, 16}, test::Bytes(1200)));
    const std::string adpcm = dir.Write("adpcm.wav", test::MakeWave({2, 1, 22050, 4}, test::Bytes(200)));
    const std::string odd = dir.Write("odd.wav", test::MakeWave({0x55, 1, 22050, 16}, test::Bytes(200)));
    const struct {
        std::string file, lang, reason;
    } reasons[] = {
        {deep, "en", "(40 bits per sample; Sonivel reads 8 to 32)"},
        {deep, "fr", "(40 bits par échantillon ; Sonivel lit de 8 à 32)"},
        {slow, "en", "(2000 Hz; Sonivel reads 4000 to 384000 Hz)"},
        {six, "en", "(6 channels; Sonivel reads mono and stereo)"},
        {adpcm, "en", CanDecode() ? "(its MS ADPCM sound cannot be decoded)" : "(format 2; an encoding Sonivel does not read)"},
        {odd, "en", "(format 85; an encoding Sonivel does not read)"},
    };
    for (const auto& c : reasons) {
        r = Convert("--lang " + c.lang + " '" + c.file + "' " + Path("o.wav"));
        EXPECT_EQ(r.status, 1) << c.file;
        EXPECT_NE(r.output.find(c.reason), std::string::npos) << r.output;
    }
    // One file: an output there already is kept unless --force, with the
    // hint; --skip-existing keeps it and succeeds.
    const std::string there = dir.Write("there.wav", test::Bytes{'o', 'l', 'd'});
    r = Convert("'" + cd + "' '" + there + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find(there + ": the output exists\nOutputs that exist are kept: use --force"), std::string::npos)
        << r.output;
    EXPECT_EQ(test::ReadAll(there), (test::Bytes{'o', 'l', 'd'}));
    r = Convert("--skip-existing '" + cd + "' '" + there + "'");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(test::ReadAll(there), (test::Bytes{'o', 'l', 'd'}));
    r = Convert("--force '" + cd + "' '" + there + "'");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ReadWaveFile(there).ok());

    r = Convert("'" + cd + "' " + Path("low.wav") + " --rate 22050 --bits 8 --mono");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Error: the chosen output is below the file's own format (use --yes to raise"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find("?"), std::string::npos) << r.output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("low.wav")));
    r = Convert("'" + cd + "' " + Path("low.wav") + " --rate 22050 --bits 8 --mono --yes");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadWaveFile(dir.File("low.wav")).info.InFormat.nSamplesPerSec, 44100u);

    r = Convert("'" + cd + "' '" + cd + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("You cannot overwrite the file you opened."), std::string::npos);
    r = Convert(Path("missing.wav") + " " + Path("o.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Error opening file"), std::string::npos);
    r = Convert("'" + cd + "' " + Path("no/such/dir/o.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Could not write wave file."), std::string::npos);

    for (const char* bad : {"", "a.wav", "--rate 48000 a b", "--bits 24 a b", "--seek 1001 a b", "--frobnicate a b",
                            "--jobs 0 a b c", "--interpolation cubic a b", "a b --interpolation"})
        EXPECT_EQ(Convert(bad).status, 2) << bad;
    r = Convert("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("--effects"), std::string::npos);
}

// 7.5 hours at 11025 Hz, 8 bits, mono become 4.5 GiB at the default output:
// refused before anything is written, in each mode and language, with the
// reason; an output of that name already there stays as it was.
TEST_F(ConvertCli, AnOutputTooLargeForAWaveFileIsRefusedUpFront) {
    std::filesystem::create_directories(dir.File("tree"));
    dir.WriteSparseWave("tree/long.wav", {1, 1, 11025, 8}, 11025u * 3600 * 15 / 2);
    const test::Format f{1, 1, 11025, 8};
    dir.Write("tree/short.wav", test::MakeWave(f, test::NoiseSamples(f, 5000)));
    const test::Bytes kept{'k', 'e', 'p', 't'};
    dir.Write("kept.wav", kept);
    const std::string reason = "(the converted sound would be larger than the 4 GiB a wave file can hold; "
                               "start later in the file or choose a lower output format)";

    Result r = Convert("--force " + Path("tree/long.wav") + " " + Path("kept.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find(dir.File("kept.wav") + ": Error: Could not write wave file. " + reason), std::string::npos)
        << r.output;
    EXPECT_EQ(test::ReadAll(dir.File("kept.wav")), kept);
    r = Convert("--force --lang fr " + Path("tree/long.wav") + " " + Path("kept.wav"));
    EXPECT_NE(r.output.find("Fichier sonore ne peut être écrit (le son converti dépasserait les 4 Gio"), std::string::npos)
        << r.output;

    for (const char* mode : {"", "--dry-run "}) {
        r = Convert(mode + Path("tree") + " " + Path("out"));
        EXPECT_NE(r.status, 0) << mode;
        EXPECT_TRUE(test::NotConverted(r.output, dir.File("out/long.wav"), "Error: Could not write wave file. " + reason))
            << mode << r.output;
        EXPECT_FALSE(std::filesystem::exists(dir.File("out/long.wav"))) << mode;
    }
    EXPECT_TRUE(std::filesystem::exists(dir.File("out/short.wav")));
}

// --interpolation hq: one file, the same file in a folder run and a dry run
// agree; the classic in-betweens stay the default.
TEST_F(ConvertCli, InterpolationChoiceReachesEveryMode) {
    const test::Format f{1, 1, 11025, 8};
    std::filesystem::create_directories(dir.File("tree/sub"));
    const std::string in = dir.Write("tree/sub/in.wav", test::MakeWave(f, test::NoiseSamples(f, 11025 * 2 + 99)));
    ASSERT_EQ(Convert("'" + in + "' " + Path("hq.wav") + " --interpolation hq").status, 0);
    ASSERT_EQ(Convert("'" + in + "' " + Path("linear.wav") + " --interpolation linear").status, 0);
    ASSERT_EQ(Convert("'" + in + "' " + Path("default.wav")).status, 0);
    const Result batch = Convert("--interpolation hq " + Path("tree") + " " + Path("out"));
    ASSERT_EQ(batch.status, 0) << batch.output;
    const test::Bytes hq = test::ReadAll(dir.File("hq.wav"));
    EXPECT_EQ(test::ReadAll(dir.File("out/sub/in.wav")), hq);
    EXPECT_EQ(test::ReadAll(dir.File("default.wav")), test::ReadAll(dir.File("linear.wav")));
    EXPECT_NE(test::ReadAll(dir.File("linear.wav")), hq);
    EXPECT_EQ(hq.size(), test::ReadAll(dir.File("linear.wav")).size());
    const Result dry = Convert("--dry-run --interpolation hq " + Path("tree") + " " + Path("dry"));
    EXPECT_EQ(dry.status, 0) << dry.output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("dry")));
    EXPECT_NE(Convert("--help").output.find("--interpolation linear|hq"), std::string::npos);
}

TEST_F(ConvertCli, SeekStartsPartWayIn) {
    const test::Format f{1, 1, 22050, 8};
    const std::string in = dir.Write("in.wav", test::MakeWave(f, test::NoiseSamples(f, 22050 * 4)));
    const Result r = Convert("'" + in + "' " + Path("half.wav") + " --seek 500 --bits 8 --mono --rate 22050");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadWaveFile(dir.File("half.wav")).info.DataBytes(), 22050 * 2);
}

}  // namespace
}  // namespace sonivel
