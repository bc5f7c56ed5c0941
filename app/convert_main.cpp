// sonivel-convert: runs a silent save of the render thread through a host
// without windows. The same engine and the same run as Save As in the player.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "fileio.h"
#include "headless_host.h"
#include "playthr.h"
#include "system_clock.h"
#include "texts.h"
#include "waveread.h"

namespace {

using namespace sonivel;

constexpr const char* kUsage =
    "usage: sonivel-convert IN.wav OUT.wav [options]\n"
    "\n"
    "Converts a PCM wave file (11025, 22050 or 44100 Hz, 8 or 16 bits, mono or\n"
    "stereo) to a higher format, exactly as Sonivel's Save As does.\n"
    "\n"
    "  --rate 22050|44100     output sample rate (default 44100)\n"
    "  --bits 8|16            output bits per sample (default 16)\n"
    "  --mono | --stereo      output channels (default stereo)\n"
    "  --effects              stereo effect for mono input: the right channel\n"
    "                         carries the sound 63.5 ms ahead (default)\n"
    "  --no-effects           both channels identical\n"
    "  --seek 0..1000         start this far into the file, in thousandths\n"
    "                         (default 0, the whole file)\n"
    "  --yes                  when the chosen output is below the file's own\n"
    "                         format, raise it instead of refusing\n"
    "  --lang en|fr           language of the messages (default en)\n"
    "  --help                 this text\n"
    "\n"
    "The conversion never lowers quality: rates are doubled or quadrupled with\n"
    "interpolated samples, 8-bit samples become 16-bit, mono becomes stereo.\n"
    "\n"
    "Exit status: 0 when the file was written, 1 when the input was refused or\n"
    "unreadable or the output could not be written, 2 for wrong usage.\n";

// Reports full capabilities and never opens: a converter plays nothing.
class NoPlayback final : public SoundDevice {
public:
    bool GetCaps(WaveOutCaps& caps) override {
        caps = WaveOutCaps{};
        return true;
    }
    bool Open(const WAVEFORMATEX&) override { return false; }
    bool Prepare(WaveHeader&) override { return false; }
    bool Unprepare(WaveHeader&) override { return true; }
    bool Write(WaveHeader&) override { return false; }
    bool IsDone(const WaveHeader&) override { return true; }
    void SetDoneSignal(std::function<void()>) override {}
    bool GetPosition(std::uint32_t&) override { return false; }
    bool Reset() override { return true; }
    bool Close() override { return true; }
};

int Usage(const std::string& problem) {
    std::cerr << "sonivel-convert: " << problem << "\n\n" << kUsage;
    return 2;
}

bool ParseInt(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (!end || *end != '\0' || end == text || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled) {}
    void Show(int position, int max) {
        if (!enabled_ || max <= 0) return;
        const int percent = position * 100 / max;
        if (percent == shown_) return;
        shown_ = percent;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(40 - filled), '.').c_str(), percent);
        std::fflush(stderr);
    }
    void Finish(bool complete) {
        if (!enabled_ || shown_ < 0) return;
        if (complete) Show(1000, 1000);
        std::fputc('\n', stderr);
    }

private:
    bool enabled_;
    int shown_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    HeadlessHost::Settings settings;
    std::string positional[2];
    int positionals = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) return nullptr;
            (void)name;
            return argv[++i];
        };
        int number = 0;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--rate") {
            const char* v = value("--rate");
            if (!v || !ParseInt(v, 0, 1000000, number) || (number != 22050 && number != 44100))
                return Usage("--rate takes 22050 or 44100");
            settings.choice.rate44100 = number == 44100;
        } else if (arg == "--bits") {
            const char* v = value("--bits");
            if (!v || !ParseInt(v, 0, 64, number) || (number != 8 && number != 16))
                return Usage("--bits takes 8 or 16");
            settings.choice.bits16 = number == 16;
        } else if (arg == "--mono") {
            settings.choice.stereo = false;
        } else if (arg == "--stereo") {
            settings.choice.stereo = true;
        } else if (arg == "--effects") {
            settings.choice.effects = true;
        } else if (arg == "--no-effects") {
            settings.choice.effects = false;
        } else if (arg == "--seek") {
            const char* v = value("--seek");
            if (!v || !ParseInt(v, 0, 1000, number)) return Usage("--seek takes a number from 0 to 1000");
            settings.seekPosition = number;
        } else if (arg == "--yes") {
            settings.raiseQuality = true;
        } else if (arg == "--lang") {
            const char* v = value("--lang");
            if (!v || (std::strcmp(v, "en") != 0 && std::strcmp(v, "fr") != 0))
                return Usage("--lang takes en or fr");
            CurrentLanguage().store(std::strcmp(v, "fr") == 0 ? kFrench : kEnglish);
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return Usage("unknown option " + arg);
        } else {
            if (positionals == 2) return Usage("too many files");
            positional[positionals++] = arg;
        }
    }
    if (positionals != 2) return Usage("an input and an output file are needed");
    settings.input = positional[0];
    settings.output = positional[1];

    const int language = CurrentLanguage().load();
    if (SameFile(settings.input, settings.output)) {
        std::cerr << ErrorCaption(language) << ": " << Text(kTextOverwriteOpenFile, language) << "\n";
        return 1;
    }

    ProgressBar bar(isatty(STDERR_FILENO) == 1);
    HeadlessHost host(settings, std::cerr, [&bar](int position, int max) { bar.Show(position, max); });
    NoPlayback device;
    SystemClock clock;
    CommandChannel channel;
    PlayThread thread(host, device, clock, channel);
    thread.Start();
    if (!thread.WaitUntilStarted()) return 1;
    channel.Store(kCmdSave);
    host.WaitForRunEnd();
    channel.RequestStop();
    thread.Join();
    bar.Finish(!host.Failed());
    if (host.Failed()) return 1;

    const WaveReadResult written = ReadWaveFile(settings.output);
    if (written.ok()) {
        const WAVEFORMAT& f = written.info.InFormat;
        std::cerr << "Wrote " << settings.output << ": " << f.nSamplesPerSec << " Hz, "
                  << InputBits(f) << " bits, " << (f.nChannels == 2 ? "stereo" : "mono") << ", "
                  << written.info.DataBytes() / static_cast<double>(f.nAvgBytesPerSec) << " s\n";
    }
    return 0;
}
