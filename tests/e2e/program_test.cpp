// The built program as a person starts it: several instances handing files
// to one another, and a file played through SDL's disk driver.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "registry.h"
#include "support/wave_builder.h"

using namespace sonivel;

class ProgramTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString Wave(const QString& name, double seconds) {
        const test::Format f{1, 1, 11025, 8};
        const auto bytes = test::MakeWave(f, test::NoiseSamples(f, static_cast<std::size_t>(seconds * f.rate)));
        QFile file(dir_.path() + "/" + name);
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return file.fileName();
    }

    std::unique_ptr<QProcess> Start(const QStringList& args, const QStringList& extraEnv = {}) {
        auto p = std::make_unique<QProcess>();
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

    static QStringList RecentFiles() {
        Registry store;
        QStringList names;
        for (const QString& line : store.ReadSection("MRU Items")) names << line.section('=', 1);
        return names;
    }

private slots:
    void init() {
        Registry store;
        store.Settings().clear();
        store.Sync();
    }

    void secondInstanceHandsItsFileOver() {
        auto first = Start({});
        QTRY_COMPARE_WITH_TIMEOUT(Registry().ReadInteger("Status").value_or(0), 1, 10000);
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

    void playsTheFileConvertedAndClosesCleanly() {
        const QString file = Wave("play.wav", 1.5);
        const QString capture = dir_.path() + "/played.raw";
        // What the converter writes is what the player must play.
        QProcess convert;
        convert.start(SONIVEL_CONVERT, {file, dir_.path() + "/converted.wav"});
        QVERIFY(convert.waitForFinished(10000));
        QCOMPARE(convert.exitCode(), 0);
        QFile converted(dir_.path() + "/converted.wav");
        QVERIFY(converted.open(QIODevice::ReadOnly));
        const QByteArray data = converted.readAll().mid(44);

        auto player = Start({file}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + capture});
        // Played in real time; then the device closes and the capture stops growing.
        QTest::qWait(2500);
        qint64 size = -1;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const qint64 now = QFileInfo(capture).size();
                const bool stable = now == size && now > data.size();
                size = now;
                return stable;
            }(),
            10000);
        Close(*player);
        QFile played(capture);
        QVERIFY(played.open(QIODevice::ReadOnly));
        const QByteArray all = played.readAll();
        const qsizetype at = all.indexOf(data.left(4096));
        QVERIFY2(at >= 0, "the converted sound was not played");
        QCOMPARE(all.mid(at, data.size()), data);
        Registry store;
        QCOMPARE(store.ReadInteger("44100Hz").value_or(-1), 1);  // the close saved the settings
    }
};

QTEST_GUILESS_MAIN(ProgramTest)
#include "program_test.moc"
