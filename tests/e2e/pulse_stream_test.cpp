// The real PulseAudio output through a private PulseAudio server: the
// position it gives, and the render thread through it when the server is
// killed while it plays: the run ends with the device's message within a
// bound, the thread neither hangs nor ends, and the next Play, once the
// server is back, plays through it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "convert.h"
#include "playthr.h"
#include "pulse_device.h"
#include "support/engine_fakes.h"
#include "support/wave_builder.h"
#include "system_clock.h"
#include "texts.h"

namespace sonivel {
namespace {

using Ms = std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

// A private server: its own runtime folder, one null sink.
class PrivateServer {
public:
    explicit PrivateServer(const std::string& home) : runtime_(home + "/runtime") {
        mkdir(runtime_.c_str(), 0700);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        unsetenv("PULSE_SERVER");
        unsetenv("PULSE_SINK");
    }
    ~PrivateServer() { Kill(); }
    static bool Available() {
        return std::system("command -v pulseaudio >/dev/null && command -v pactl >/dev/null") == 0;
    }
    bool Start() {
        if (std::system("pulseaudio -D --exit-idle-time=-1 -n --use-pid-file=yes --disallow-exit "
                        "--load='module-null-sink sink_name=t rate=44100 channels=2 format=s16le' "
                        "--load=module-native-protocol-unix --log-target=stderr 2>/dev/null") != 0)
            return false;
        for (int i = 0; i < 50; ++i) {
            if (std::system("pactl info >/dev/null 2>&1") == 0) return true;
            std::this_thread::sleep_for(Ms(100));
        }
        return false;
    }
    // As a crash: no goodbye to the clients.
    void Kill() {
        std::ifstream file(runtime_ + "/pulse/pid");
        pid_t pid = 0;
        if (!(file >> pid) || pid <= 0) return;
        ::kill(pid, SIGKILL);
        for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i) std::this_thread::sleep_for(Ms(20));
        std::remove((runtime_ + "/pulse/pid").c_str());
    }

private:
    std::string runtime_;
};

// Each test with its own folders and server, skipped where none can start.
class PulseStream : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateServer::Available()) GTEST_SKIP() << "pulseaudio or pactl missing";
        mkdir(dir.File("home").c_str(), 0700);
        server = std::make_unique<PrivateServer>(dir.File("home"));
        if (!server->Start()) GTEST_SKIP() << "PulseAudio does not start here";
    }
    test::TempDir dir;
    std::unique_ptr<PrivateServer> server;
};

TEST_F(PulseStream, AServerKilledWhilePlayingEndsTheRunAndTheNextPlayFindsItAgain) {

    const test::Format f{1, 1, 22050, 16};
    test::TestHost host;
    host.currentFile = dir.Write("long.wav", test::MakeWave(f, test::NoiseSamples(f, 22050 * 20)));
    host.choice = OutputChoice{false, true, false, false};  // as it is: 22050 Hz 16-bit mono
    CommandChannel channel;
    // Driven from the render thread's own calls: kill the server once the
    // first run plays, start it again at the message and play, and end once
    // the second run's position moves.
    enum Phase { kFirstRun, kKilled, kSecondRun, kDone };
    std::atomic<int> phase{kFirstRun};
    Steady::time_point killedAt, errorAt;
    int secondReports = 0;
    host.onBar = [&](int position) {
        if (position <= 0) return;
        if (phase == kFirstRun) {
            server->Kill();
            killedAt = Steady::now();
            phase = kKilled;
        } else if (phase == kSecondRun && ++secondReports == 5) {
            phase = kDone;
            channel.RequestStop();
        }
    };
    host.onEvent = [&](const std::string& e) {
        if (e.rfind("Error", 0) != 0 || phase != kKilled) return;
        errorAt = Steady::now();
        phase = kSecondRun;
        ASSERT_TRUE(server->Start());
        channel.Store(kCmdPlayStop);
    };
    {
        PulseDevice device;
        SystemClock clock;
        PlayThread thread(host, device, clock, channel);
        thread.Start();
        ASSERT_TRUE(thread.WaitUntilStarted());
        channel.Store(kCmdPlayStop);
        // A hang is a failure here, not the test runner's timeout.
        std::atomic<bool> joined{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 300 && !joined; ++i) std::this_thread::sleep_for(Ms(50));
            if (!joined) channel.RequestStop();
        });
        thread.Join();
        joined = true;
        watchdog.join();
    }
    ASSERT_EQ(phase, kDone) << "stuck in phase " << phase;
    EXPECT_EQ(host.errors, std::vector<int>{kTextCannotOpenDevice});
    const auto took = std::chrono::duration_cast<Ms>(errorAt - killedAt).count();
    std::printf("the loss of the server was noticed after %lld ms\n", static_cast<long long>(took));
    EXPECT_LT(took, 3000) << "the loss of the server was noticed after " << took << " ms";
    EXPECT_EQ(host.Count("Stop"), 2u) << "two runs were expected to start";
}

// The played position is the sink's clock, what it has played, moving
// smoothly: not the server's read index, which a null sink nobody records
// moves in slabs. Half a second after the sound started, the position says
// half a second, give or take 60 ms.
TEST_F(PulseStream, ThePositionIsWhatTheSinkHasPlayed) {
    PulseDevice device;
    const WAVEFORMATEX cd = SelectOutputFormat(OutputChoice{});  // 44100 Hz, 16 bits, stereo
    ASSERT_TRUE(device.Open(cd));
    std::vector<std::uint8_t> sound(cd.nAvgBytesPerSec * 3, 0x10);
    WaveHeader block{sound.data(), static_cast<std::uint32_t>(sound.size())};
    ASSERT_TRUE(device.Prepare(block));
    block.prepared = true;
    ASSERT_TRUE(device.Write(block));
    // The sound starts when the position first moves.
    std::uint32_t played = 0;
    const auto deadline = Steady::now() + Ms(2000);
    while (device.GetPosition(played) && played == 0 && Steady::now() < deadline) std::this_thread::sleep_for(Ms(1));
    ASSERT_GT(played, 0u) << "the stream did not start";
    const auto started = Steady::now();
    std::this_thread::sleep_for(Ms(500));
    ASSERT_TRUE(device.GetPosition(played));
    const double heard = std::chrono::duration<double, std::milli>(Steady::now() - started).count();
    const double said = played * 1000.0 / cd.nAvgBytesPerSec;
    std::printf("after %.0f ms the position said %.0f ms\n", heard, said);
    EXPECT_NEAR(said, heard, 60);
    device.Reset();
    device.Close();
}

}  // namespace
}  // namespace sonivel
