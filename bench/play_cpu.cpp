// CPU used by the render thread while it plays a file and while it is idle.
//
//   SDL_AUDIODRIVER=dummy build/release/bench/play_cpu FILE.wav [IDLE_SECONDS]
//
// Plays FILE through the real SDL device on the real clock (the dummy
// driver consumes sound in real time without a sound card), then stays idle
// for IDLE_SECONDS (default 5), and prints the process's CPU time over each
// phase as a share of one core.
#include <sys/resource.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "host.h"
#include "playthr.h"
#include "position.h"
#include "sdl_device.h"
#include "system_clock.h"
#include "texts.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double WallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// The one file to play, and the end of its run.
class OneFileHost final : public sonivel::Host {
public:
    explicit OneFileHost(sonivel::RunSetup setup) : setup_(std::move(setup)) {}
    void Post(sonivel::Event event) override {
        std::lock_guard lock(mutex_);
        if (const auto* f = std::get_if<sonivel::event::Failed>(&event)) failed_ = f->textId;
        if (std::holds_alternative<sonivel::event::RunEnded>(event)) ended_ = true;
        changed_.notify_all();
    }
    // A file below the output is played as the default output would; no
    // question is asked.
    bool AskRaiseQuality() override { return true; }
    sonivel::RunSetup ReadRunSetup(bool) override { return setup_; }

    void WaitForRunEnd() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return ended_; });
    }
    // The text of the failure, -1 when none.
    int Failure() {
        std::lock_guard lock(mutex_);
        return failed_;
    }

private:
    sonivel::RunSetup setup_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    int failed_ = -1;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace sonivel;
    // --hq plays with the band-limited interpolation.
    const bool hq = argc > 1 && std::string(argv[1]) == "--hq";
    if (hq) {
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::cerr << "usage: play_cpu [--hq] FILE.wav [IDLE_SECONDS]\n";
        return 2;
    }
    const double idleSeconds = argc > 2 ? std::atof(argv[2]) : 5;
    RunSetup setup;
    setup.file = argv[1];
    setup.choice.bandLimited = hq;
    setup.barMax = kSeekBarMax;
    OneFileHost host(setup);
    SdlDevice device;
    SystemClock clock;
    CommandChannel channel;
    PlayThread thread(host, device, clock, channel);
    thread.Start();
    if (!thread.WaitUntilStarted()) return 1;

    const double cpu0 = CpuSeconds(), wall0 = WallSeconds();
    channel.Store(kCmdPlayStop);
    host.WaitForRunEnd();
    const double cpu1 = CpuSeconds(), wall1 = WallSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    const double cpu2 = CpuSeconds(), wall2 = WallSeconds();
    channel.RequestStop();
    thread.Join();
    if (host.Failure() >= 0) {
        std::cerr << "play_cpu: " << Text(host.Failure()) << "\n";
        return 1;
    }
    std::printf("playing: %.2f s wall, %.3f s CPU, %.2f%% of one core\n", wall1 - wall0, cpu1 - cpu0,
                100 * (cpu1 - cpu0) / (wall1 - wall0));
    std::printf("idle:    %.2f s wall, %.3f s CPU, %.2f%% of one core\n", wall2 - wall1, cpu2 - cpu1,
                100 * (cpu2 - cpu1) / (wall2 - wall1));
    return 0;
}
