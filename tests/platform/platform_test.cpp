// The platform layer on its own: the SDL device's position between the
// driver's callbacks, the settings store's error messages, the wake-up
// channel and the forwarding of termination requests.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QFile>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

#include "convert.h"
#include "os.h"
#include "playout.h"
#include "registry.h"
#include "sdl_device.h"

namespace sonivel {
namespace {

bool Readable(const WakeChannel& channel, int ms) {
    pollfd p{channel.ReadEnd(), POLLIN, 0};
    return poll(&p, 1, ms) == 1;
}

TEST(WakeChannel, PokesWakeAndDrainEmpties) {
    WakeChannel channel;
    ASSERT_TRUE(channel.IsOpen());
    EXPECT_FALSE(Readable(channel, 0));
    for (int i = 0; i < 100000; ++i) channel.Poke();  // more than a pipe holds: never blocks
    EXPECT_TRUE(Readable(channel, 0));
    channel.Drain();
    EXPECT_FALSE(Readable(channel, 0));
}

TEST(WakeChannel, TerminationRequestsArriveAsPokes) {
    WakeChannel channel;
    ASSERT_TRUE(ForwardTerminationTo(channel));
    std::raise(SIGTERM);  // the process goes on
    EXPECT_TRUE(Readable(channel, 1000));
    channel.Drain();
    std::raise(SIGINT);
    EXPECT_TRUE(Readable(channel, 1000));
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

TEST(OpenRegularFile, OnlyRegularFilesAndNeverWaits) {
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.path() + "/pipe");
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    EXPECT_EQ(OpenRegularFileForReading(fifo.constData()), -1);  // no writer: returns at once
    EXPECT_EQ(OpenRegularFileForReading("/dev/zero"), -1);
    EXPECT_EQ(OpenRegularFileForReading(QFile::encodeName(dir.path()).constData()), -1);
    EXPECT_EQ(OpenRegularFileForReading(QFile::encodeName(dir.path() + "/missing").constData()), -1);
    QFile plain(dir.path() + "/list.snl");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write("x\r\n");
    plain.close();
    const int fd = OpenRegularFileForReading(QFile::encodeName(plain.fileName()).constData());
    ASSERT_GE(fd, 0);
    char buffer[8] = {};
    EXPECT_EQ(read(fd, buffer, sizeof buffer), 3);  // blocking again, reads the whole file
    close(fd);
}

TEST(Registry, ErrorsNameTheValue) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    Registry store("\\Software\\Korvath\\PlatformTest\\");
    QString error;
    EXPECT_FALSE(store.ReadInteger("Missing", &error));
    EXPECT_EQ(error, QString("Failed to get data for 'Missing'"));
    store.WriteString("Word", "twelve");
    EXPECT_FALSE(store.ReadInteger("Word", &error));
    EXPECT_EQ(error, QString("Invalid data type for 'Word'"));
    store.WriteInteger("Number", 12);
    EXPECT_EQ(store.ReadInteger("Number", &error), 12);
    EXPECT_EQ(store.ReadString("Nothing"), QString());
}

// A block is done only when the callbacks say its last byte was heard: two
// callbacks after the one that took it (SDL's buffer and the server's lie
// between). Before that, the device must stay open or the end is cut.
TEST(PlayoutCount, ABlockIsDoneTwoCallbacksAfterItsLastByteWasTaken) {
    PlayoutCount count;
    const char blocks[2] = {};
    const void* a = &blocks[0];
    const void* b = &blocks[1];
    count.Queue(a, 1000);
    count.Queue(b, 500);
    EXPECT_FALSE(count.IsDone(a));
    // Callback 1 takes 800 bytes of a; callback 2 the rest of a and 300 of
    // b; callback 3 the rest of b and silence; then silence only.
    EXPECT_FALSE(count.BeginFill());
    count.EndFill(800);
    EXPECT_FALSE(count.BeginFill());
    count.EndFill(500);
    EXPECT_FALSE(count.BeginFill());  // 800 played
    count.EndFill(200);
    EXPECT_FALSE(count.IsDone(a));    // its end was taken one callback ago
    EXPECT_TRUE(count.BeginFill());   // 1300 played: a is heard in full
    count.EndFill(0);
    EXPECT_TRUE(count.IsDone(a));
    EXPECT_FALSE(count.IsDone(b));
    EXPECT_TRUE(count.BeginFill());   // 1500
    EXPECT_TRUE(count.IsDone(b));
    EXPECT_EQ(count.Played(0), 1500u);
    EXPECT_EQ(count.Played(10000), 1500u);
}

TEST(PlayoutCount, PositionFollowsTheClockUpToTheNextCallback) {
    PlayoutCount count;
    const char block = 0;
    count.Queue(&block, 10000);
    for (int i = 0; i < 3; ++i) {
        count.BeginFill();
        count.EndFill(1000);
    }
    // Between callbacks the clock moves the position on, up to what the
    // next callback will count and no further.
    count.BeginFill();  // 2000 played, 3000 by the next callback
    EXPECT_EQ(count.Played(0), 2000u);
    EXPECT_EQ(count.Played(600), 2600u);
    EXPECT_EQ(count.Played(1500), 3000u);
    // A reset lets every block go at once; a new opening starts from zero.
    EXPECT_TRUE(count.ForgetAll());
    EXPECT_TRUE(count.IsDone(&block));
    count.Clear();
    EXPECT_EQ(count.Played(500), 0u);
}

// Between the driver's callbacks the position moves on with the clock, in
// steps of 100 bytes (whole frames of every format), and never back.
TEST(SdlDevice, PositionAdvancesFrameByFrameBetweenCallbacks) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlDevice device;
    WAVEFORMATEX format = SelectOutputFormat(OutputChoice{true, true, true, false});
    ASSERT_TRUE(device.Open(format));
    std::vector<std::uint8_t> sound(format.nAvgBytesPerSec, 0);
    WaveHeader header;
    header.data = sound.data();
    header.length = static_cast<std::uint32_t>(sound.size());
    ASSERT_TRUE(device.Prepare(header));
    ASSERT_TRUE(device.Write(header));
    std::set<std::uint32_t> seen;
    std::uint32_t last = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(400);
    while (std::chrono::steady_clock::now() < end) {
        std::uint32_t bytes = 0;
        ASSERT_TRUE(device.GetPosition(bytes));
        ASSERT_EQ(bytes % 100, 0u);
        ASSERT_GE(bytes, last);
        last = bytes;
        seen.insert(bytes);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GT(last, 0u);
    EXPECT_LE(last, format.nAvgBytesPerSec);
    // Far more distinct positions than the driver's callbacks (a few dozen
    // in 0.4 s): the clock fills the gaps.
    EXPECT_GT(seen.size(), 100u);
    device.Reset();
    device.Unprepare(header);
    device.Close();
}

}  // namespace
}  // namespace sonivel
