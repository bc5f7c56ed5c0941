// A render thread on virtual time, and the same for a save run: the rigs
// the engine's tests drive the thread with.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "playthr.h"
#include "support/engine_fakes.h"
#include "support/file_limit.h"
#include "support/wave_builder.h"
#include "wavefmt.h"

namespace sonivel::test {

// A render thread on virtual time. The test queues what happens when the
// thread goes idle (WhenIdle) or at a virtual time (At), then calls Run on
// its own thread; Run returns once nothing is left to do.
struct Rig {
    FakeClock clock;
    FakeDevice device{clock};
    TestHost host;
    CommandChannel channel;
    TempDir dir;
    PlayThreadOptions options;
    Rig() { host.channel = &channel; }

    std::string Wave(const std::string& name, const Format& f, const Bytes& samples) {
        return dir.Write(name, MakeWave(f, samples));
    }
    // Queues a command for the next time the thread is idle.
    void Command(std::int32_t code) {
        clock.WhenIdle([this, code] { channel.Store(code); });
    }
    // Files grow no larger than 200,000 bytes: a disk that fills up.
    bool limitFileSize = false;

    void Run() {
        PlayThread thread(host, device, clock, channel, options);
        thread.Run();
        UnlimitFileSize();
        heldDataBytes = thread.HeldDataBytes();
        EXPECT_TRUE(thread.Ended());
        EXPECT_FALSE(device.isOpen) << "the device was left open";
    }
    std::uint32_t heldDataBytes = 0;
};

struct SaveRig : Rig {
    std::string out;
    SaveRig() { out = dir.File("out.wav"); host.saveTarget = out; }
    void Save() { Command(kCmdSave); }
    Bytes Output() const { return ReadAll(out); }
};

// Checks the header of a finished file against its real length.
inline void ExpectConsistentHeader(const Bytes& file) {
    ASSERT_GE(file.size(), 44u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
    EXPECT_EQ(LoadLE32(&file[4]), file.size() - 8);
    EXPECT_EQ(LoadLE32(&file[40]), file.size() - 44);
    EXPECT_EQ(LoadLE32(&file[4]), LoadLE32(&file[40]) + 36);
}

}  // namespace sonivel::test
