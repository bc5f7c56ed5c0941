// sonivel-convert over folders: a generated tree converted with one and with
// four jobs, kept and replaced outputs, an interrupt at random moments, the
// progress line in a narrow terminal, and the messages in both languages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <random>
#include <string>
#include <thread>

#include "convert_batch.h"
#include "e2e/shell.h"
#include "support/wave_builder.h"
#include "texts.h"
#include "waveread.h"

namespace sonivel {
namespace {

namespace fs = std::filesystem;

using Result = test::ShellResult;

Result Sonivel(const std::vector<std::string>& args) {
    std::string command = SONIVEL_CONVERT;
    for (const std::string& a : args) command += " " + test::ShellQuote(a);
    return test::Shell(command);
}

// Every regular file under `root`, by relative path, with its bytes.
std::map<std::string, test::Bytes> Tree(const std::string& root) {
    std::map<std::string, test::Bytes> files;
    if (!fs::exists(root)) return files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = test::ReadAll(e.path().string());
    return files;
}

class ConvertBatch : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string in = dir.File("tapes");

    // Nested folders, every letter case of the extension, blanks and accents,
    // a text file named .wav, a cut file, one the quality rule refuses at
    // 22050 Hz, and a file that is not a wave at all and is left alone.
    void MakeTree() {
        fs::create_directories(in + "/Side A/live takes");
        fs::create_directories(in + "/Été 1987");
        fs::create_directories(in + "/empty");
        const test::Format mono8{1, 1, 11025, 8}, stereo16{1, 2, 22050, 16}, cd{1, 2, 44100, 16};
        dir.Write("tapes/one.wav", test::MakeWave(mono8, test::NoiseSamples(mono8, 6000, 1)));
        dir.Write("tapes/Side A/TWO.WAV", test::MakeWave(stereo16, test::NoiseSamples(stereo16, 5000, 2)));
        dir.Write("tapes/Side A/live takes/three (take 2).Wav", test::MakeWave(mono8, test::NoiseSamples(mono8, 7000, 3)));
        dir.Write("tapes/Été 1987/chanson à boire.wav", test::MakeWave(stereo16, test::NoiseSamples(stereo16, 4000, 4)));
        dir.Write("tapes/Side A/cd.wav", test::MakeWave(cd, test::NoiseSamples(cd, 3000, 5)));
        dir.Write("tapes/notes.wav", test::Bytes{'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't'});
        test::Bytes cut = test::MakeWave(mono8, test::NoiseSamples(mono8, 100, 6));
        cut.resize(30);
        dir.Write("tapes/Side A/cut.wav", cut);
        dir.Write("tapes/readme.txt", test::Bytes{'h', 'i'});
    }
    static constexpr int kConverted = 4;
};

TEST_F(ConvertBatch, ATreeConvertsTheSameWithOneAndFourJobsAsFileByFile) {
    MakeTree();
    const std::vector<std::string> options = {"--rate", "22050", "--bits", "16", "--stereo"};
    std::map<std::string, test::Bytes> trees[2];
    for (int jobs : {1, 4}) {
        const std::string out = dir.File("out" + std::to_string(jobs));
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--jobs", std::to_string(jobs), in, out});
        const Result r = Sonivel(args);
        EXPECT_EQ(r.status, 1) << r.output;  // three files are refused
        EXPECT_NE(r.output.find("Converted 4 of 7 files"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("Not converted (3):"), std::string::npos) << r.output;
        EXPECT_TRUE(test::NotConverted(r.output, "notes.wav", "Error: Not a wave file")) << r.output;
        EXPECT_TRUE(test::NotConverted(r.output, "cut.wav", "Error: ")) << r.output;
        EXPECT_TRUE(test::NotConverted(r.output, "cd.wav", "Error: the chosen output is below the file's own format"))
            << r.output;
        EXPECT_EQ(r.output.find("?"), std::string::npos) << "a question in a terminal: " << r.output;
        EXPECT_NE(r.output.find("(use --yes to raise the output format to 44100 Hz, 16 bits, stereo)"),
                  std::string::npos)
            << r.output;
        trees[jobs == 1 ? 0 : 1] = Tree(out);
        EXPECT_EQ(static_cast<int>(trees[jobs == 1 ? 0 : 1].size()), kConverted);
    }
    EXPECT_EQ(trees[0], trees[1]);
    // Each is what converting that one file on its own writes.
    for (const auto& [name, bytes] : trees[0]) {
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--force", in + "/" + name, dir.File("single.wav")});
        ASSERT_EQ(Sonivel(args).status, 0) << name;
        EXPECT_EQ(test::ReadAll(dir.File("single.wav")), bytes) << name;
    }
    EXPECT_TRUE(trees[0].count("Été 1987/chanson à boire.wav"));
    EXPECT_TRUE(trees[0].count("Side A/live takes/three (take 2).Wav"));
    EXPECT_TRUE(trees[0].count("Side A/TWO.WAV"));
    EXPECT_FALSE(fs::exists(dir.File("out1/readme.txt")));
    // The refused file is converted when asked to raise.
    const Result yes = Sonivel({"--rate", "22050", "--yes", in + "/Side A/cd.wav", dir.File("out1")});
    EXPECT_EQ(yes.status, 0) << yes.output;
    EXPECT_EQ(ReadWaveFile(dir.File("out1/cd.wav")).info.InFormat.nSamplesPerSec, 44100u);
}

// A collection's refusals read as one line per reason, with its count, the
// most frequent first, then the files under it; a folder where nothing was
// written is not left behind in the output tree; a dry run says what each
// file becomes; a run that finds no wave file says so and fails.
TEST_F(ConvertBatch, RefusalsAreGroupedAndNothingEmptyIsLeft) {
    fs::create_directories(in + "/kit/refused only");
    const test::Format slow{1, 1, 2000, 16}, kit{1, 2, 48000, 24}, speech{1, 1, 16000, 16};
    for (const char* name : {"a.wav", "kit/b.wav", "kit/refused only/c.wav"})
        dir.Write(std::string("tapes/") + name, test::MakeWave(slow, test::NoiseSamples(slow, 100)));
    dir.Write("tapes/0 notes.wav", test::Bytes{'t', 'e', 'x', 't'});
    dir.Write("tapes/kit/kick.wav", test::MakeWave(kit, test::NoiseSamples(kit, 500)));
    dir.Write("tapes/word.wav", test::MakeWave(speech, test::NoiseSamples(speech, 500)));
    const std::string out = dir.File("out");
    Result r = Sonivel({in, out});
    EXPECT_EQ(r.status, 1) << r.output;
    const std::string rate = "Error: Only noncompressed wave files";
    const std::size_t many = r.output.find("  3 files: " + rate), one = r.output.find("  1 file: Error: Not a wave file");
    EXPECT_NE(many, std::string::npos) << r.output;
    EXPECT_LT(many, one) << "the most frequent reason comes first: " << r.output;
    EXPECT_EQ(r.output.find(rate), many + 11) << "the reason is said once: " << r.output;
    for (const char* name : {"/a.wav", "/kit/b.wav", "/kit/refused only/c.wav"})
        EXPECT_TRUE(test::NotConverted(r.output, name, rate))
            << name << r.output;
    EXPECT_TRUE(test::NotConverted(r.output, "/0 notes.wav", "Error: Not a wave file")) << r.output;
    EXPECT_TRUE(fs::exists(out + "/kit/kick.wav"));
    EXPECT_FALSE(fs::exists(out + "/kit/refused only")) << "an empty folder was left in the output";

    r = Sonivel({"--dry-run", in, dir.File("dry")});
    EXPECT_NE(r.output.find(in + "/word.wav -> " + dir.File("dry") + "/word.wav (44100 Hz, 16 bits, stereo)"),
              std::string::npos) << r.output;
    EXPECT_NE(r.output.find("/kick.wav (kept as it is: 48000 Hz, 24 bits, above every output format)"), std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(dir.File("dry")));

    fs::create_directories(dir.File("nothing/here"));
    r = Sonivel({dir.File("nothing"), dir.File("out2")});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("No wave file to convert was found."), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir.File("out2")));
}

TEST_F(ConvertBatch, ExistingOutputsAndInputsAreKeptUnlessForced) {
    MakeTree();
    const std::string out = dir.File("out");
    ASSERT_EQ(Sonivel({"--yes", in, out}).status, 1);  // two are no wave files
    const auto first = Tree(out);
    ASSERT_EQ(first.size(), 5u);
    dir.Write("out/one.wav", test::Bytes{'o', 'l', 'd'});

    // Listed, nothing written.
    Result r = Sonivel({"--yes", "--dry-run", in, dir.File("dry")});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find(in + "/one.wav -> " + dir.File("dry") + "/one.wav"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir.File("dry")));

    r = Sonivel({"--yes", in, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(test::NotConverted(r.output, "/one.wav", "the output exists")) << r.output;
    // What to do about them is said once, after the list.
    const std::string hint = "use --force to replace them or --skip-existing to convert only the others.";
    EXPECT_EQ(r.output.find(hint), r.output.rfind(hint)) << r.output;
    EXPECT_GT(r.output.find(hint), r.output.rfind("the output exists")) << r.output;
    EXPECT_EQ(test::ReadAll(out + "/one.wav"), (test::Bytes{'o', 'l', 'd'}));
    r = Sonivel({"--yes", "--skip-existing", in, out});
    EXPECT_EQ(r.status, 1);  // the two that are no wave files
    EXPECT_NE(r.output.find("Kept 5 existing outputs."), std::string::npos) << r.output;
    EXPECT_EQ(test::ReadAll(out + "/one.wav"), (test::Bytes{'o', 'l', 'd'}));
    r = Sonivel({"--yes", "--force", in, out});
    EXPECT_EQ(Tree(out), first);
    EXPECT_EQ(Sonivel({"--force", "--skip-existing", in, out}).status, 2);

    // Into the folder it reads: every output would be its own input.
    const auto before = Tree(in);
    r = Sonivel({"--yes", "--force", in, in});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("You cannot overwrite the file you opened."), std::string::npos) << r.output;
    EXPECT_EQ(Tree(in), before);
}

// Interrupted at random moments, a batch leaves under final names only
// complete files, each the same as an uninterrupted run writes, and no
// temporary file.
TEST_F(ConvertBatch, AnInterruptLeavesOnlyCompleteFiles) {
    const test::Format f{1, 1, 11025, 8};
    fs::create_directories(in);
    for (int i = 0; i < 16; ++i)
        dir.Write("tapes/f" + std::to_string(100 + i) + ".wav", test::MakeWave(f, test::NoiseSamples(f, 55125, 7 + i)));
    ASSERT_EQ(Sonivel({in, dir.File("whole")}).status, 0);
    const auto whole = Tree(dir.File("whole"));
    std::mt19937 random(20261208);
    int interrupted = 0, tries = 12;
    for (int t = 0; t < tries; ++t) {
        const std::string out = dir.File("cut" + std::to_string(t));
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDERR_FILENO);
            ::execl(SONIVEL_CONVERT, SONIVEL_CONVERT, "--jobs", "2", in.c_str(), out.c_str(), nullptr);
            _exit(127);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(1000, 30000)(random)));
        ::kill(pid, t % 2 ? SIGTERM : SIGINT);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        // A signal that comes before the converter is ready for it (it is
        // still reading its arguments, nothing is written yet) ends it.
        ASSERT_TRUE(WIFEXITED(status) || WIFSIGNALED(status));
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        EXPECT_TRUE(code == 130 || code == 0 || (WIFSIGNALED(status) && !fs::exists(out))) << code;
        const auto cut = Tree(out);
        if (code != 0) {
            ++interrupted;
            EXPECT_LT(cut.size(), whole.size());
        }
        for (const auto& [name, bytes] : cut) {
            ASSERT_TRUE(whole.count(name)) << "left behind: " << name;
            EXPECT_EQ(bytes, whole.at(name)) << name;
        }
        // The next run carries on and completes the set.
        const Result rest = Sonivel({"--skip-existing", in, out});
        EXPECT_EQ(rest.status, 0) << rest.output;
        EXPECT_EQ(Tree(out), whole);
    }
    std::printf("interrupted %d of %d runs part-way\n", interrupted, tries);
    EXPECT_GT(interrupted, 0);
}

// A disk that fills up part-way (here a limit on the size of a file): the
// outputs that did not fit are not left under their names, the others are
// whole, the summary names the ones that failed.
TEST_F(ConvertBatch, AFullDiskLeavesNoPartialFile) {
    const test::Format f{1, 1, 11025, 8};
    fs::create_directories(in);
    // 0.2 s and 3 s: 70 kB and 1 MB once raised to 44100 Hz 16-bit stereo.
    for (int i = 0; i < 3; ++i) {
        dir.Write("tapes/short" + std::to_string(i) + ".wav", test::MakeWave(f, test::NoiseSamples(f, 2205, 60 + i)));
        dir.Write("tapes/long" + std::to_string(i) + ".wav", test::MakeWave(f, test::NoiseSamples(f, 33075, 70 + i)));
    }
    ASSERT_EQ(Sonivel({in, dir.File("whole")}).status, 0);
    const auto whole = Tree(dir.File("whole"));
    const std::string out = dir.File("full");
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        rlimit limit{512 * 1024, 512 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
        ::dup2(pipe[1], STDERR_FILENO);
        ::close(pipe[0]);
        ::execl(SONIVEL_CONVERT, SONIVEL_CONVERT, "--jobs", "2", in.c_str(), out.c_str(), nullptr);
        _exit(127);
    }
    ::close(pipe[1]);
    std::string said;
    std::array<char, 4096> buf{};
    for (ssize_t n; (n = ::read(pipe[0], buf.data(), buf.size())) > 0;) said.append(buf.data(), static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << said;
    std::map<std::string, test::Bytes> shorts;
    for (const auto& [name, bytes] : whole)
        if (name.rfind("short", 0) == 0) shorts[name] = bytes;
    EXPECT_EQ(Tree(out), shorts);
    EXPECT_NE(said.find("Converted 3 of 6 files"), std::string::npos) << said;
    EXPECT_TRUE(test::NotConverted(said, "long1.wav", "Error: Could not write wave file.")) << said;
}

TEST_F(ConvertBatch, TheProgressLineFitsANarrowTerminalAndNeverGoesBack) {
    // The line on its own, at every width and stage: it fits, and at one
    // width every frame has one layout (the bar there or not, the data and
    // its percentage at one place).
    for (int columns : {20, 40, 60, 80, 200}) {
        std::set<std::pair<bool, std::size_t>> layouts;
        for (int done = 0; done <= 10; ++done) {
            const std::string line = convert::ProgressText(done, 10, done * 1000000ull, 10000000, done * 1.5, columns);
            int width = 0;
            for (unsigned char c : line) width += (c & 0xC0) != 0x80;
            EXPECT_LE(width, columns - 1) << line;
            EXPECT_NE(line.find('%'), std::string::npos) << line;
            layouts.insert({line[0] == '[', line.find('%')});
        }
        EXPECT_EQ(layouts.size(), 1u) << columns << " columns";
    }
    EXPECT_NE(convert::ProgressText(3, 10, 3000000, 10000000, 3.25, 80).find("0:00:03.2"), std::string::npos);

    // The real program in a terminal of 60 columns: one layout throughout.
    const test::Format f{1, 1, 11025, 8};
    fs::create_directories(in);
    for (int i = 0; i < 8; ++i)
        dir.Write("tapes/p" + std::to_string(i) + ".wav", test::MakeWave(f, test::NoiseSamples(f, 200000, 40 + i)));
    winsize size{};
    size.ws_col = 60;
    size.ws_row = 24;
    int master = -1;
    const std::string out = dir.File("out");
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::execl(SONIVEL_CONVERT, SONIVEL_CONVERT, "--jobs", "1", in.c_str(), out.c_str(), nullptr);
        _exit(127);
    }
    std::string screen;
    std::array<char, 4096> buf{};
    for (ssize_t n; (n = ::read(master, buf.data(), buf.size())) > 0;) screen.append(buf.data(), static_cast<std::size_t>(n));
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << screen;
    int frames = 0, last = -1;
    std::set<std::pair<bool, std::size_t>> layouts;
    std::size_t start = 0;
    while ((start = screen.find('\r', start)) != std::string::npos) {
        const std::size_t end = screen.find_first_of("\r\n", start + 1);
        std::string frame = screen.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        start = end == std::string::npos ? screen.size() : end;
        const std::size_t erase = frame.find("\x1b[K");
        if (erase != std::string::npos) frame.erase(erase);
        const std::size_t percent = frame.find('%');
        if (percent == std::string::npos || frame.empty()) continue;
        ++frames;
        EXPECT_LE(frame.size(), 59u) << frame;
        layouts.insert({frame[0] == '[', percent});
        const int value = std::stoi(frame.substr(percent - 3, 3));
        EXPECT_GE(value, last) << frame;
        last = value;
    }
    EXPECT_GE(frames, 1) << screen;
    EXPECT_EQ(layouts.size(), 1u) << screen;
    EXPECT_NE(screen.find("Converted 8 of 8 files"), std::string::npos) << screen;
    EXPECT_EQ(screen.find("Wrote"), std::string::npos) << "a terminal gets the progress line, not a line per file";
}

TEST_F(ConvertBatch, MessagesInBothLanguages) {
    // A usage error is one line that says what was wrong and where to look.
    Result r = Sonivel({"--rate", "48000", "a.wav", "b.wav"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output, "sonivel-convert: --rate takes 22050 or 44100; see 'sonivel-convert --help'\n");
    r = Sonivel({"--lang", "fr", "--frobnicate", "a.wav", "b.wav"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.output, "sonivel-convert: option inconnue --frobnicate; voir « sonivel-convert --help »\n");
    EXPECT_EQ(Sonivel({"only.wav"}).status, 2);

    // An input that cannot be opened is named, with the reason.
    fs::create_directories(dir.File("folder.wav"));
    r = Sonivel({dir.File("missing.wav"), dir.File("o.wav")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find(dir.File("missing.wav") + ": Error: Error opening file (no such file)"), std::string::npos)
        << r.output;
    r = Sonivel({"--lang", "fr", dir.File("missing.wav"), dir.File("o.wav")});
    EXPECT_NE(r.output.find("missing.wav: Erreur: Le fichier ne peut être ouvert (fichier introuvable)"), std::string::npos)
        << r.output;
    const test::Format f{1, 1, 11025, 8};
    const std::string wave = dir.Write("w.wav", test::MakeWave(f, test::NoiseSamples(f, 8000)));
    r = Sonivel({wave, dir.File("no/such/folder/o.wav")});
    EXPECT_NE(r.output.find("o.wav: Error: Could not write wave file. (the folder does not exist)"), std::string::npos)
        << r.output;

    // Everything the converter says itself is French with --lang fr.
    r = Sonivel({"--lang", "fr", "--help"});
    EXPECT_NE(r.output.find("Convertit des fichiers WAV"), std::string::npos);
    EXPECT_EQ(r.output.find("output sample rate"), std::string::npos);
    r = Sonivel({"--lang", "fr", wave, dir.File("fr.wav")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "Écrit " + dir.File("fr.wav") + " : 44100 Hz, 16 bits, stéréo, 0:00:00.7\n");
    r = Sonivel({"--lang", "fr", wave, dir.File("fr-out") + "/"});
    EXPECT_NE(r.output.find("Fichiers convertis : 1 sur 1, en "), std::string::npos) << r.output;
    r = Sonivel({wave, dir.File("en.wav")});
    EXPECT_EQ(r.output, "Wrote " + dir.File("en.wav") + ": 44100 Hz, 16 bits, stereo, 0:00:00.7\n");
}

}  // namespace
}  // namespace sonivel
