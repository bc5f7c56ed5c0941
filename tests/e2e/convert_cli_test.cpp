// sonivel-convert as a person runs it, on files made by sox and espeak-ng.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "e2e/shell.h"
#include "support/wave_builder.h"
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

TEST_F(ConvertCli, RefusalsAndTheirMessages) {
    const std::string cd = dir.Write("cd.wav", test::MakeWave({1, 2, 44100, 16}, test::NoiseSamples({1, 2, 44100, 16}, 5000)));
    const std::string dat = dir.Write("dat.wav", test::MakeWave({1, 2, 48000, 16}, test::Bytes(400)));

    Result r = Convert("'" + dat + "' " + Path("o.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("Only noncompressed wave files with 11025, 22050 or 44100 Hz"), std::string::npos) << r.output;
    r = Convert("--lang fr '" + dat + "' " + Path("o.wav"));
    EXPECT_NE(r.output.find("Erreur: Seulement les fichiers non-compressés"), std::string::npos) << r.output;
    // A refused format says in words what the file is and what is read.
    const std::string deep = dir.Write("deep.wav", test::MakeWave({1, 2, 44100, 24}, test::Bytes(600)));
    const std::string six = dir.Write("six.wav", test::MakeWave({1, 6, 44100, 16}, test::Bytes(1200)));
    const std::string adpcm = dir.Write("adpcm.wav", test::MakeWave({2, 1, 22050, 4}, test::Bytes(200)));
    const struct {
        std::string file, lang, reason;
    } reasons[] = {
        {deep, "en", "(24 bits per sample; Sonivel reads 8 and 16)"},
        {deep, "fr", "(24 bits par échantillon ; Sonivel lit 8 et 16)"},
        {dat, "en", "(48000 Hz; Sonivel reads 11025, 22050 and 44100)"},
        {six, "en", "(6 channels; Sonivel reads mono and stereo)"},
        {adpcm, "en", "(compressed (format 2); Sonivel reads PCM only)"},
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
        EXPECT_NE(r.output.find(dir.File("out/long.wav") + ": Error: Could not write wave file. " + reason), std::string::npos)
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
