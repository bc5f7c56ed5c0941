// What the tests of commands at real moments share: a CD-format file whose
// bytes are what is queued, the head a run started at a bar position
// queues, and a window loop that runs until something holds.
#pragma once

#include <QtTest>
#include <chrono>
#include <random>

#include "position.h"
#include "support/real_clock_device.h"
#include "ui/ui_support.h"

namespace sonivel::test {

const Format kCd{1, 2, 44100, 16};  // played as it is: what is queued is the file's bytes

inline std::vector<std::uint8_t> FileBytes(const QString& path, qint64 offset, qint64 count) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    f.seek(offset);
    const QByteArray b = f.read(count);
    return {b.begin(), b.end()};
}

// The first bytes a run started at bar `position` queues.
inline std::vector<std::uint8_t> HeadAt(const QString& path, int position) {
    const qint64 data = QFileInfo(path).size() - 44;
    const SeekPlan plan = PlanSeek(position, 1000, static_cast<std::int32_t>(data), 44, 4);
    return FileBytes(path, plan.StartOffset, 64);
}

// Keeps the window's event loop running until `done` or `ms` passed.
template <class F>
bool Within(int ms, F done) {
    return QTest::qWaitFor(done, ms);
}

// Files of their own and random moments from a seed that is printed.
class RealClockCommands : public QObject {
protected:
    QTemporaryDir dir_;
    std::mt19937 rng_;

    void Seed() {
        const auto seed = static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        rng_.seed(seed);
        qInfo("random moments from seed %u", seed);
    }
    QString Cd(const QString& name, double seconds, std::uint32_t seed) {
        return WriteWave(dir_.path(), name, seconds, kCd, seed);
    }
    static bool StartedWith(const RealClockDevice& device, int runsBefore, const std::vector<std::uint8_t>& head) {
        std::vector<std::uint8_t> h;
        return device.LatestRunHead(h) > runsBefore && h == head;
    }
};

}  // namespace sonivel::test
