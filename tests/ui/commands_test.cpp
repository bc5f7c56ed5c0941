// Commands that cross from the window to the render thread at real moments:
// each case is repeated at random times on the real clock, with a device that
// plays on that clock, and every try must land.
#include <QtTest>
#include <chrono>
#include <random>
#include <thread>

#include "mrufilelist.h"
#include "ui/real_clock_commands.h"

using namespace sonivel;
using sonivel::test::Program;
using sonivel::test::HeadAt;
using sonivel::test::RealClockDevice;
using sonivel::test::Shown;
using sonivel::test::Within;


class CommandsTest : public test::RealClockCommands {
    Q_OBJECT

private slots:
    void initTestCase() { Seed(); }
    void init() { test::ResetSettings(); }

    // The bar moved while playing: the new run starts exactly where the
    // person left it, and the old run's reports do not move the bar back.
    void seeksWhilePlayingLand() {
        RealClockDevice device;
        Program p({}, {}, {}, &device);
        TMainForm& m = *p.main;
        const QString file = Cd("long.wav", 60, 7);
        m.OpenOne(file);
        m.PlayStopClick();
        QTRY_VERIFY(device.Opens() == 1 && m.Label2->isVisible());
        int landed = 0;
        const int tries = 50;
        for (int i = 0; i < tries; ++i) {
            QTest::qWait(static_cast<int>(rng_() % 250));
            const int target = (i % 2 ? 650 : 150) + static_cast<int>(rng_() % 100);
            const int runs = device.Opens();
            m.TrackBar2->setValue(target);  // as a person moves it
            const bool started = Within(3000, [&] { return StartedWith(device, runs, HeadAt(file, target)); });
            const bool barStays = Within(2000, [&] {
                return m.TrackBar2->value() >= target && m.TrackBar2->value() <= target + 30;
            });
            if (started && barStays) ++landed;
            else qWarning("seek %d to %d: started there %d, bar %d", i, target, started, m.TrackBar2->value());
        }
        qInfo("seeks landed: %d/%d", landed, tries);
        QCOMPARE(landed, tries);
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
    }

    // A Stop given 0-60 ms after a seek stays a stop.
    void stopAfterASeekStaysStopped() {
        RealClockDevice device;
        Program p({}, {}, {}, &device);
        TMainForm& m = *p.main;
        m.OpenOne(Cd("long.wav", 60, 8));
        int stays = 0;
        const int tries = 20;
        for (int i = 0; i < tries; ++i) {
            m.PlayStopClick();
            QTRY_VERIFY(Shown(m.PlayStop) == "Stop" && device.IsOpen() && m.Label2->isVisible());
            QTest::qWait(100 + static_cast<int>(rng_() % 200));
            m.TrackBar2->setValue(i % 2 ? 700 : 200);
            QTest::qWait(static_cast<int>(rng_() % 61));
            m.PlayStopClick();  // Stop, as shown
            const bool stopped = Within(3000, [&] { return Shown(m.PlayStop) == "Play" && !device.IsOpen(); });
            const int opens = device.Opens();
            QTest::qWait(250);
            if (stopped && Shown(m.PlayStop) == "Play" && !device.IsOpen() && device.Opens() == opens) ++stays;
            else qWarning("try %d: playing again after the stop", i);
        }
        qInfo("stops after a seek that stayed stopped: %d/%d", stays, tries);
        QCOMPARE(stays, tries);
    }

    // Next or Previous given in the instant a track ends moves to the track
    // the person asked for (counted from the track they saw), and plays it
    // when they saw it playing.
    void stepsAsATrackEnds() {
        RealClockDevice device;
        Program p({}, {}, {}, &device);
        TMainForm& m = *p.main;
        const QString a = Cd("a.wav", 3, 11), b = Cd("b.wav", 0.4, 12), c = Cd("c.wav", 3, 13);
        const std::vector<std::uint8_t> headB = HeadAt(b, 0);
        struct Case {
            bool next;
            QStringList list;  // B is played, then the step is given
            int tries;
        };
        // [A, B] without repeat: after B the playlist would stop. [A, B, C]:
        // it would go on to C.
        const Case cases[] = {{true, {a, b}, 20}, {false, {a, b, c}, 10}};
        int landed = 0, total = 0, whilePlaying = 0;
        for (const Case& k : cases) {
            for (int i = 0; i < k.tries; ++i, ++total) {
                m.OpenOne(k.list.front());
                for (const QString& f : k.list.mid(1)) p.main->Player().AppendEntries({f});
                m.NextTrackClick();
                QVERIFY(Within(3000, [&] { return m.Tag().Load() == 0; }));
                const int runs = device.Opens();
                m.PlayStopClick();
                QVERIFY(Within(3000, [&] { return StartedWith(device, runs, headB); }));
                // B is one short block: it ends when that block does.
                const double end = device.Blocks().back().end;
                const double when = end - 15 + static_cast<double>(rng_() % 31);
                while (device.Now() < when) QCoreApplication::processEvents();
                // The step counts from what the window shows: the playlist
                // may have moved on to C just before the click.
                const bool sawPlaying = m.IsPlaying();
                const int seen = static_cast<int>(k.list.indexOf(m.CurrentFile()));
                const int n = static_cast<int>(k.list.size());
                const QString expected = k.list[k.next ? (seen + 1) % n : (seen + n - 1) % n];
                const int runsAtClick = device.Opens();
                if (k.next) m.NextTrackClick();
                else m.PrevTrackClick();
                bool ok;
                if (sawPlaying) {
                    ++whilePlaying;
                    ok = Within(3000, [&] { return StartedWith(device, runsAtClick, HeadAt(expected, 0)); });
                } else {
                    QTest::qWait(300);
                    ok = m.CurrentFile() == expected && !m.IsPlaying() && device.Opens() == runsAtClick;
                }
                if (ok) ++landed;
                else qWarning("%s, try %d (saw playing %d): now %s", k.next ? "Next" : "Previous", i, sawPlaying,
                              qPrintable(m.CurrentFile()));
                if (m.IsPlaying()) m.PlayStopClick();
                QTRY_VERIFY(Shown(m.PlayStop) == "Play" && !device.IsOpen());
            }
        }
        qInfo("steps as a track ended that landed: %d/%d (%d given while it showed Stop)", landed, total,
              whilePlaying);
        QCOMPARE(landed, total);
        QVERIFY(whilePlaying > 0);
    }

    // A window busy for 1.5 s neither delays the sound nor loses the
    // position: every block is queued before the one ahead of it ran out,
    // and the bar catches up.
    void busyWindowDoesNotHoldUpTheSound() {
        RealClockDevice device;
        Program p({}, {}, {}, &device);
        TMainForm& m = *p.main;
        m.OpenOne(Cd("long.wav", 8, 9));
        m.PlayStopClick();
        QTRY_VERIFY(device.Blocks().size() >= 2);
        QTRY_VERIFY(m.TrackBar2->value() > 0);
        const int before = m.TrackBar2->value();
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the window answers nothing
        QTRY_VERIFY(m.TrackBar2->value() >= before + 150);  // 1.5 s of 8 s is 187 steps
        QTRY_VERIFY(device.Blocks().size() >= 4);
        const auto blocks = device.Blocks();
        for (std::size_t i = 1; i < blocks.size(); ++i)
            QVERIFY2(blocks[i].queued < blocks[i - 1].end,
                     qPrintable(QString("block %1 queued %2 ms after the one before it ended")
                                    .arg(i)
                                    .arg(blocks[i].queued - blocks[i - 1].end)));
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
    }

    // A name left in the store for an instance that ended is not opened by
    // a later start, and is removed.
    void staleHandOffNameIsDropped() {
        const QString file = Cd("old.wav", 1, 3);
        {
            Registry store;
            store.WriteString("Open.000001000000000-4242", file);
            store.Sync();
        }
        RealClockDevice device;
        Program p({}, {}, {}, &device);
        QTest::qWait(350);  // three heartbeats
        QVERIFY(p.main->CurrentFile().isEmpty());
        QCOMPARE(device.Opens(), 0);
        QVERIFY(!Registry().Settings().contains("Open.000001000000000-4242"));
    }

    // Names handed over before start-up is complete wait for it, then are
    // opened and played, with the playlist and recent files in place.
    void handOffDuringStartUpWaits() {
        test::TestServices services;
        RealClockDevice device;
        SystemClock clock;
        MainFormDeps deps;
        deps.services = &services;
        deps.device = &device;
        deps.clock = &clock;
        deps.handoffWaitMs = 20;
        TMainForm m(deps, {});
        QVERIFY(m.FormCreate());
        const QString first = Cd("first.wav", 2, 4), second = Cd("second.wav", 2, 5);
        {
            Registry store;
            store.WriteString("Open.000002000000000-1", first);
            store.WriteString("Open.000002000000001-2", second);
            store.Sync();
        }
        m.Timer1Timer();  // as in a start-up box's own event loop
        QVERIFY(m.CurrentFile().isEmpty());
        QVERIFY(Registry().Settings().contains("Open.000002000000000-1"));

        TAboutBox about(&m);
        TPlaylistForm playlist(m.Player(), services, &m);
        m.SetWindows(&about, &playlist);
        m.show();
        QTRY_COMPARE(m.CurrentFile(), second);  // taken in order: the last plays
        QCOMPARE(playlist.Entries(), (QStringList{first, second}));  // handed together: both kept
        QCOMPARE(m.MRUFileList1()->Items(), (QStringList{second, first}));
        QTRY_VERIFY(m.IsPlaying() && device.IsOpen());
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
