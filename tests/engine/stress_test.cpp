// The render thread on its own thread, driven with thousands of random
// commands, seek positions and answers, and a stop request at a random
// moment; run it under the tsan preset too. After every round the thread has
// ended with the device closed, no file left open, Play restored and every
// saved file a valid wave file.
#include <algorithm>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "playthr.h"
#include "support/engine_fakes.h"
#include "support/wave_builder.h"
#include "waveread.h"

namespace sonivel {
namespace {

using test::Bytes;

using test::OpenDescriptors;

// Virtual time that only moves forward when the render thread waits; the
// driving thread touches nothing but the command channel.
class StressClock final : public Clock {
public:
    std::uint32_t TickCount() override { return now_.load(); }
    void Sleep(std::uint32_t ms) override {
        now_ += ms;
        std::this_thread::yield();
    }
    void WaitForWake(CommandChannel&, std::uint32_t, std::uint32_t maxMs) override {
        now_ += maxMs;
        std::this_thread::yield();
    }
    void WaitForCommand(CommandChannel& channel) override {
        now_ += 5;
        channel.WaitForWake(channel.WakeCount(), 1);
    }

private:
    std::atomic<std::uint32_t> now_{1000};
};

// A run's set-up at random: any of the files, any output, anywhere.
RunSetup RandomSetup(std::mt19937& rng, const std::vector<std::string>& files, const std::string& target) {
    RunSetup setup;
    setup.file = files[rng() % files.size()];
    setup.saveTarget = target;
    const auto bits = rng();
    setup.choice = OutputChoice{(bits & 1) != 0, (bits & 2) != 0, (bits & 4) != 0, (bits & 8) != 0, (bits & 16) != 0};
    setup.position = static_cast<int>(rng() % 1001);
    setup.barMax = 1000;
    setup.playOnSave = rng() % 2 == 0;
    setup.listed = rng() % 2 == 0;
    return setup;
}

// Answers everything at random, from the render thread only.
class StressHost final : public Host {
public:
    StressHost(std::vector<std::string> files, std::string target, std::uint32_t seed)
        : files_(std::move(files)), target_(std::move(target)), rng_(seed) {}
    // The plan of what follows a track changes at random too, as a person
    // editing the list while it plays would change it.
    CommandChannel* channel = nullptr;
    void Post(Event event) override {
        if (channel && rng_() % 3 == 0) {
            FollowPlan plan;
            plan.entries = files_;
            std::shuffle(plan.entries.begin(), plan.entries.end(), rng_);
            plan.entries.resize(rng_() % (files_.size() + 1));
            plan.autoRepeat = rng_() % 2;
            plan.setup = RandomSetup(rng_, files_, target_);
            channel->PublishPlan(std::move(plan));
        }
        if (const auto* p = std::get_if<event::Playing>(&event)) lastPlaying = p->on;
        if (std::holds_alternative<event::Failed>(event) || std::holds_alternative<event::Skipped>(event)) ++errors;
    }
    bool AskRaiseQuality() override { return rng_() % 4 != 0; }
    RunSetup ReadRunSetup(bool withPosition) override {
        RunSetup setup = RandomSetup(rng_, files_, target_);
        if (!withPosition) setup.position = 0;
        return setup;
    }
    bool lastPlaying = false;
    int errors = 0;

private:
    std::vector<std::string> files_;
    std::string target_;
    std::mt19937 rng_;
};

// Plays instantly: every queued block is done at once.
class InstantDevice final : public SoundDevice {
public:
    bool GetCaps(WaveOutCaps& caps) override {
        caps = WaveOutCaps{};
        return true;
    }
    bool Open(const WAVEFORMATEX&) override { return !open.exchange(true); }
    bool Prepare(WaveHeader&) override { return open; }
    bool Unprepare(WaveHeader&) override { return open; }
    bool Write(WaveHeader&) override {
        played += 1;
        return open;
    }
    bool IsDone(const WaveHeader&) override { return true; }
    void SetDoneSignal(std::function<void()>) override {}
    bool GetPosition(std::uint32_t& bytes) override {
        bytes = played * 100;
        return open;
    }
    bool Reset() override { return open; }
    bool Close() override { return open.exchange(false); }
    std::atomic<bool> open{false};
    std::atomic<std::uint32_t> played{0};
};

TEST(PlayThreadStress, RandomCommandsAndStops) {
    test::TempDir dir;
    std::vector<std::string> files;
    // Classic rates, an odd one raised at its exact ratio, and one kept as it is.
    const test::Format formats[] = {{1, 1, 11025, 8}, {1, 2, 22050, 16}, {1, 1, 44100, 16},
                                    {1, 2, 11025, 8}, {1, 1, 16000, 16}, {1, 2, 48000, 24}};
    for (int i = 0; i < 6; ++i)
        files.push_back(dir.Write("f" + std::to_string(i) + ".wav",
                                  test::MakeWave(formats[i], test::NoiseSamples(formats[i], formats[i].rate * (i % 4 + 1) / 2))));
    files.push_back(dir.File("missing.wav"));
    const std::string target = dir.File("out.wav");
    const int fds = OpenDescriptors();
    int commands = 0;
    for (std::uint32_t round = 0; round < 40; ++round) {
        StressHost host(files, target, round);
        InstantDevice device;
        StressClock clock;
        CommandChannel channel;
        host.channel = &channel;
        {
            PlayThread thread(host, device, clock, channel);
            thread.Start();
            std::mt19937 rng(round * 7919u);
            const int count = 50 + static_cast<int>(rng() % 100);
            for (int i = 0; i < count; ++i) {
                // Every kind of command the window gives, with what it carries.
                CommandRequest request = CommandRequest::Plain(static_cast<std::int32_t>(1 + rng() % 5));
                request.intent = static_cast<PlayIntent>(rng() % 4);
                request.startPosition = static_cast<int>(rng() % 1002) - 1;
                if (rng() % 2) request.setup = RandomSetup(rng, files, target);
                request.sawPlaying = rng() % 2 != 0;
                channel.Send(std::move(request));
                ++commands;
                std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
            }
            channel.RequestStop();
            thread.Join();
            EXPECT_TRUE(thread.Ended());
        }
        EXPECT_FALSE(device.open) << "round " << round;
        EXPECT_FALSE(host.lastPlaying) << "round " << round;
        EXPECT_EQ(OpenDescriptors(), fds) << "round " << round;
        if (std::filesystem::exists(target)) {
            const Bytes out = test::ReadAll(target);
            ASSERT_GE(out.size(), 44u) << "round " << round;
            EXPECT_EQ(LoadLE32(&out[4]) + 8, out.size()) << "round " << round;
            EXPECT_TRUE(ReadWaveFile(target).ok()) << "round " << round;
            std::filesystem::remove(target);
        }
    }
    RecordProperty("commands", commands);
    std::printf("stress: 40 rounds, %d commands\n", commands);
}

}  // namespace
}  // namespace sonivel
