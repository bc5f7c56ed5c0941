// The built program as a person starts it: several instances handing files
// to one another, and a file played through SDL's disk driver.
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <random>

#include "registry.h"
#include "support/wave_builder.h"

using namespace sonivel;

class ProgramTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString Wave(const QString& name, double seconds, std::uint32_t seed = 1, const test::Format& f = {1, 1, 11025, 8}) {
        const auto bytes =
            test::MakeWave(f, test::NoiseSamples(f, static_cast<std::size_t>(seconds * f.rate), seed));
        QFile file(dir_.path() + "/" + name);
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return file.fileName();
    }

    std::unique_ptr<QProcess> Start(const QStringList& args, const QStringList& extraEnv = {},
                                    const QString& workingFolder = {}) {
        auto p = std::make_unique<QProcess>();
        if (!workingFolder.isEmpty()) p->setWorkingDirectory(workingFolder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        if (!env.contains("SDL_AUDIODRIVER")) env.insert("SDL_AUDIODRIVER", "dummy");
        for (const QString& kv : extraEnv) env.insert(kv.section('=', 0, 0), kv.section('=', 1));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        p->start(SONIVEL_PROGRAM, args);
        p->waitForStarted();
        return p;
    }

    static void Close(QProcess& p) {
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
    }

    // Waits until a running instance answers in the store ("Status" 1). A
    // miss says what the store and its locks held, and since when.
    static bool Answering(QProcess& p, int timeoutMs = 20000) {
        QElapsedTimer waited;
        waited.start();
        if (QTest::qWaitFor([] { return Registry().ReadInteger("Status").value_or(0) == 1; }, timeoutMs)) return true;
        const QString file = Registry().Settings().fileName();
        qWarning("no answer after %lld ms; process %s", static_cast<long long>(waited.elapsed()),
                 p.state() == QProcess::Running ? "running" : "ended");
        for (const QFileInfo& entry : QDir(QFileInfo(file).absolutePath()).entryInfoList(QDir::Files)) {
            QFile f(entry.absoluteFilePath());
            f.open(QIODevice::ReadOnly);
            qWarning("%s (%s):\n%s", qPrintable(entry.fileName()), qPrintable(entry.lastModified().toString(Qt::ISODateWithMs)),
                     f.readAll().left(2000).constData());
        }
        return false;
    }

    static QStringList RecentFiles() {
        Registry store;
        QStringList names;
        for (const QString& line : store.ReadSection("MRU Items")) names << line.section('=', 1);
        return names;
    }

    // The samples sonivel-convert makes of `file` with the default output.
    QByteArray Converted(const QString& file) {
        const QString out = file + ".converted.wav";
        QProcess convert;
        convert.start(SONIVEL_CONVERT, {file, out});
        convert.waitForFinished(10000);
        QFile converted(out);
        converted.open(QIODevice::ReadOnly);
        return converted.readAll().mid(44);
    }

    // Waits until the disk driver's capture holds the whole of one of the
    // `awaited` sounds (its end is in it) and has then stopped growing (the
    // device closed), and returns it. What was played decides, not when: a
    // capture also stands still while one run closes the device and the
    // next opens it, and for a moment whenever the machine is busy.
    static QByteArray SettledCapture(const QString& capture, const QList<QByteArray>& awaited) {
        qint64 size = -1;
        QElapsedTimer still;
        (void)QTest::qWaitFor(
            [&] {
                const qint64 now = QFileInfo(capture).size();
                if (now != size) {
                    size = now;
                    still.start();
                    return false;
                }
                // Standing still for several device buffers: closed.
                if (still.elapsed() < 400) return false;
                QFile played(capture);
                if (!played.open(QIODevice::ReadOnly)) return false;
                const QByteArray all = played.readAll();
                return std::any_of(awaited.begin(), awaited.end(),
                                   [&](const QByteArray& sound) { return all.contains(sound.right(4096)); });
            },
            15000);
        QFile played(capture);
        played.open(QIODevice::ReadOnly);
        return played.readAll();
    }

    struct Ran {
        int code = -1;
        QByteArray out, err;
    };
    // `desktop`: the desktop's locale (LANG) the program starts under.
    static Ran Run(const QStringList& args, const QString& workingFolder = {}, const QString& desktop = {}) {
        QProcess p;
        if (!workingFolder.isEmpty()) p.setWorkingDirectory(workingFolder);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        if (!desktop.isEmpty()) {
            for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) env.remove(name);
            env.insert("LANG", desktop);
        }
        p.setProcessEnvironment(env);
        p.start(SONIVEL_PROGRAM, args);
        if (!p.waitForFinished(10000)) p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
                p.readAllStandardError()};
    }

    // Whether each sound is in `all`, whole, each after the one before it.
    // Whether the sounds were played in this order, one after the other.
    // Across a gapless join a track's end reads the next track's first
    // frames (the stereo effect's right channel 2800 output frames ahead,
    // and the in-betweens of its last input frames),
    // and the band-limited filter reads the track before ahead of a track's
    // first frames, so each sound is compared but for its two ends.
    static bool InOrder(const QByteArray& all, const QList<QByteArray>& sounds) {
        constexpr qsizetype kLookAhead = (2800 + 8) * 4, kContext = 1024;
        qsizetype from = 0;
        for (const QByteArray& sound : sounds) {
            const qsizetype compared = sound.size() - kLookAhead - kContext;
            if (compared < 4096) return false;
            const qsizetype at = all.indexOf(sound.mid(kContext, 4096), from);
            if (at < 0 || all.mid(at, compared) != sound.mid(kContext, compared)) return false;
            from = at - kContext + sound.size();
        }
        return true;
    }

private slots:
    void init() {
        Registry store;
        store.Settings().clear();
        store.Sync();
    }

    void secondInstanceHandsItsFileOver() {
        auto first = Start({});
        QVERIFY(Answering(*first));
        const QString file = Wave("handed.wav", 1);
        auto second = Start({file});
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitCode(), 0);
        QCOMPARE(first->state(), QProcess::Running);
        // A start without a file changes nothing.
        auto third = Start({});
        QVERIFY(third->waitForFinished(10000));
        Close(*first);
        QCOMPARE(RecentFiles(), QStringList{file});
        QVERIFY(Registry().Settings().childKeys().filter("Open.").isEmpty());
    }

    // An idle instance answers only when its settings store changes (and
    // now and then to be safe): hand-offs at random moments, on the real
    // clock, are each answered within the starting instance's wait, and
    // every name is taken in order.
    void handOffsAtRandomMomentsAreAllAnswered() {
        auto first = Start({Wave("idle.wav", 0.5)});
        QVERIFY(Answering(*first));
        std::mt19937 random(std::random_device{}());
        const int tries = 10;
        QStringList handed;
        int answered = 0;
        for (int i = 0; i < tries; ++i) {
            QTest::qWait(std::uniform_int_distribution<int>(0, 1500)(random));
            handed << Wave(QString("moment%1.wav").arg(i), 0.2);
            auto second = Start({handed.back()});
            // Unanswered, the starting instance would run on as the only one.
            if (second->waitForFinished(5000) && second->exitCode() == 0) ++answered;
        }
        qInfo("hand-offs answered: %d/%d", answered, tries);
        QCOMPARE(answered, tries);
        QTest::qWait(300);
        QCOMPARE(first->state(), QProcess::Running);
        Close(*first);
        QStringList latest = handed.mid(tries - 5);
        std::reverse(latest.begin(), latest.end());
        QCOMPARE(RecentFiles(), latest);
    }

    void severalInstancesAtOnceKeepOneWindowAndEveryFile() {
        QStringList files;
        std::vector<std::unique_ptr<QProcess>> all;
        for (int i = 0; i < 3; ++i) files << Wave(QString("many%1.wav").arg(i), 1);
        for (const QString& f : files) all.push_back(Start({f}));
        QTRY_COMPARE_WITH_TIMEOUT(
            std::count_if(all.begin(), all.end(), [](const auto& p) { return p->state() == QProcess::NotRunning; }),
            2l, 15000);
        QProcess* running = nullptr;
        for (auto& p : all)
            if (p->state() == QProcess::Running) running = p.get();
        QVERIFY(running);
        QTest::qWait(500);  // the heartbeat takes what was handed over
        Close(*running);
        QStringList recent = RecentFiles();
        recent.sort();
        QCOMPARE(recent, files);
    }

    // Options are answered without a window or a setting; an unknown one is
    // a usage error; after "--" a name that starts with '-' is a file.
    void optionsAreNotFiles() {
        const QString settings = Registry().Settings().fileName();
        const QDateTime before = QFileInfo(settings).lastModified();
        // In the desktop's language, as a first start is.
        for (const char* desktop : {"C.UTF-8", "fr_FR.UTF-8"}) {
            const Ran help = Run({"--help"}, {}, desktop);
            QCOMPARE(help.code, 0);
            const QByteArray usage = desktop[0] == 'f' ? "Usage : sonivel" : "Usage: sonivel";
            QVERIFY2(help.out.startsWith(usage), help.out.constData());
            QVERIFY(help.out.contains(QFile::encodeName(settings)));
            QVERIFY(help.out.contains("sonivel-convert"));
        }
        QVERIFY(Run({"-x"}, {}, "fr_FR.UTF-8").err.startsWith("sonivel : option inconnue -x"));
        const Ran version = Run({"--version"});
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, QByteArray("Sonivel 2.0.0\n"));
        const Ran unknown = Run({"-x", Wave("given.wav", 0.2)});
        QCOMPARE(unknown.code, 2);
        QCOMPARE(unknown.err.count('\n'), 1);
        QVERIFY(unknown.err.contains("-x"));
        QCOMPARE(QFileInfo(settings).lastModified(), before);
        QVERIFY(!Registry().ValueExists("Status"));

        const QString dashed = Wave("-x.wav", 0.2);
        auto player = Start({"--", "-x.wav"}, {}, dir_.path());
        QVERIFY(Answering(*player));
        Close(*player);
        QCOMPARE(RecentFiles(), QStringList{dashed});
    }

    // Several names on one command line, and several handed over at once:
    // the first plays, and all of them, a folder as the wave files below
    // it, are the playlist in the order given, which plays on track after
    // track.
    void severalNamesAreOnePlaylist() {
        QDir().mkpath(dir_.path() + "/album/Disc");
        const QString one = Wave("first.wav", 0.4, 41), three = Wave("third.wav", 0.4, 44);
        const QString two = Wave("album/Disc/Track 2.wav", 0.4, 42), ten = Wave("album/Disc/Track 10.wav", 0.4, 43);
        const QList<QByteArray> sounds{Converted(one), Converted(two), Converted(ten), Converted(three)};
        const QString capture = dir_.path() + "/several.raw";
        const QStringList disk{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + capture};
        // A folder without wave files says so, and the program still ends
        // when asked while it says it.
        QDir().mkpath(dir_.path() + "/nothing");
        auto nothing = Start({dir_.path() + "/nothing"});
        QVERIFY(Answering(*nothing));
        Close(*nothing);

        auto player = Start({one, dir_.path() + "/album", three}, disk);
        QByteArray all = SettledCapture(capture, {sounds.back()});
        QVERIFY2(InOrder(all, sounds), "the command line's files did not play in order");

        // The running window takes a hand-off of several names the same way.
        QFile::remove(capture);
        const QString four = Wave("fourth.wav", 0.4, 45), five = Wave("fifth.wav", 0.4, 46);
        const QList<QByteArray> handed{Converted(five), Converted(four)};
        auto handing = Start({"fifth.wav", "fourth.wav"}, disk, dir_.path());
        QVERIFY(handing->waitForFinished(10000));
        QCOMPARE(handing->exitCode(), 0);
        all = SettledCapture(capture, {handed.back()});
        Close(*player);
        QVERIFY2(InOrder(all, handed), "the handed files did not play in order");
        QVERIFY2(!all.contains(sounds.front().left(4096)), "the old playlist played on");
        QCOMPARE(RecentFiles().mid(0, 2), (QStringList{dir_.path() + "/fifth.wav", one}));
    }

    // With the classic interpolation and with the high-quality one chosen in
    // the settings, the window plays what the converter writes.
    // So does it for a file at an odd rate (raised at its exact ratio) and
    // one above every output (kept as it is; SDL takes 24 bits as the top of
    // 32, which the capture holds).
    void playsTheFileConvertedAndClosesCleanly() {
        const struct {
            const char* name;
            test::Format format;
            double seconds;
            bool hq;
        } cases[] = {{"play.wav", {1, 1, 11025, 8}, 1.5, false},
                     {"play.wav", {1, 1, 11025, 8}, 1.5, true},
                     {"speech.wav", {1, 1, 16000, 16}, 1.2, false},
                     {"kit.wav", {1, 2, 48000, 24}, 0.7, false}};
        for (const auto& c : cases) {
            const bool hq = c.hq;
            const QString file = Wave(c.name, c.seconds, 1, c.format);
            const QString capture = dir_.path() + "/played-" + QString::number(&c - cases) + ".raw";
            const QString out = dir_.path() + "/converted-" + QString::number(&c - cases) + ".wav";
            QStringList args{file, out};
            if (hq) args << "--interpolation" << "hq";
            if (hq || &c != cases) {
                Registry store;
                for (const char* name : {"44100Hz", "16Bits", "Stereo", "StereoEffects"}) store.WriteInteger(name, 1);
                store.WriteInteger("HighQualityInterpolation", hq ? 1 : 0);
                store.WriteInteger("PlayOnSave", 0);
                store.WriteInteger("AutoRepeat", 0);
                store.Sync();
            }
            QProcess convert;
            convert.start(SONIVEL_CONVERT, args);
            QVERIFY(convert.waitForFinished(10000));
            QCOMPARE(convert.exitCode(), 0);
            QFile converted(out);
            QVERIFY(converted.open(QIODevice::ReadOnly));
            QByteArray data = converted.readAll().mid(44);
            if (c.format.bits == 24) {
                QByteArray wide;
                for (qsizetype i = 0; i + 3 <= data.size(); i += 3) wide += '\0' + data.mid(i, 3);
                data = wide;
            }

            auto player = Start({file}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + capture});
            const QByteArray all = SettledCapture(capture, {data});
            Close(*player);
            const qsizetype at = all.indexOf(data.left(4096));
            QVERIFY2(at >= 0, "the converted sound was not played");
            QCOMPARE(all.mid(at, data.size()), data);
            Registry store;
            QCOMPARE(store.ReadInteger("44100Hz").value_or(-1), 1);  // the close saved the settings
            QCOMPARE(store.ReadInteger("HighQualityInterpolation").value_or(-1), hq ? 1 : 0);
        }
    }

    // A file handed over while another plays is played after what was
    // already heard; the name is relative to the second instance's folder.
    void fileHandedOverWhilePlayingPlays() {
        const QString one = Wave("one.wav", 2, 21), two = Wave("two.wav", 1, 22);
        const QByteArray first = Converted(one), second = Converted(two);
        const QString capture = dir_.path() + "/handed.raw";
        const QStringList disk{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + capture};
        auto player = Start({one}, disk);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(capture).size() > 44100 * 4 / 2, 10000);  // half a second heard
        {
            // The disk driver starts its file afresh at each opening: look
            // at what the first run played before handing the second over.
            QFile heard(capture);
            QVERIFY(heard.open(QIODevice::ReadOnly));
            QVERIFY2(heard.readAll().contains(first.left(4096)), "the first file was not playing");
        }
        auto handing = Start({"two.wav"}, disk, dir_.path());
        QVERIFY(handing->waitForFinished(10000));
        QCOMPARE(handing->exitCode(), 0);
        const QByteArray all = SettledCapture(capture, {second});
        Close(*player);
        const qsizetype atTwo = all.indexOf(second.left(4096));
        QVERIFY2(atTwo >= 0, "the handed file was not played");
        QCOMPARE(all.mid(atTwo, second.size()), second);
        QVERIFY2(!all.contains(first.mid(first.size() - 4096)), "the first file played on to its end");
        QCOMPARE(RecentFiles().value(0), two);
    }

    // Two, then three instances started together with nothing running: one
    // window remains and it plays the file it took last, whole.
    void instancesStartedTogetherPlayTheLastFile() {
        for (int count : {2, 3}) {
            init();
            QStringList files;
            QList<QByteArray> sounds;
            for (int i = 0; i < count; ++i) {
                files << Wave(QString("together%1-%2.wav").arg(count).arg(i), 1, static_cast<std::uint32_t>(30 + i));
                sounds << Converted(files.back());
            }
            const QString capture = dir_.path() + QString("/together%1.raw").arg(count);
            std::vector<std::unique_ptr<QProcess>> all;
            for (const QString& f : files)
                all.push_back(Start({f}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + capture}));
            QTRY_COMPARE_WITH_TIMEOUT(
                std::count_if(all.begin(), all.end(), [](const auto& p) { return p->state() == QProcess::NotRunning; }),
                static_cast<long>(count - 1), 15000);
            QProcess* running = nullptr;
            for (auto& p : all)
                if (p->state() == QProcess::Running) running = p.get();
            QVERIFY(running);
            QTest::qWait(500);  // every name handed over is taken
            const QByteArray played = SettledCapture(capture, sounds);
            Close(*running);
            const QString last = RecentFiles().value(0);
            const qsizetype which = files.indexOf(last);
            QVERIFY2(which >= 0, qPrintable(last));
            const QByteArray& sound = sounds[which];
            const qsizetype at = played.indexOf(sound.left(4096));
            QVERIFY2(at >= 0, qPrintable(QString("%1 instances: the last file was not played").arg(count)));
            QCOMPARE(played.mid(at, sound.size()), sound);
        }
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
