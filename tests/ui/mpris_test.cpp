// The media controls on a private session bus (the test runs under
// dbus-run-session), driven by dbus-send as a desktop would.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "mpris.h"
#include "registry.h"
#include "support/wave_builder.h"
#include "ui/ui_support.h"

using namespace sonivel;
using sonivel::test::Program;
using sonivel::test::Shown;

class MprisTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString Wave(const QString& name) { return test::WriteWave(dir_.path(), name, 20); }

    // Runs dbus-send while this process's event loop keeps answering.
    static QString Send(const QStringList& args) {
        QProcess p;
        p.start("dbus-send", QStringList{"--session", "--print-reply", "--dest=org.mpris.MediaPlayer2.sonivel",
                                         "/org/mpris/MediaPlayer2"} + args);
        if (!p.waitForStarted(5000)) return "not started";
        for (int i = 0; i < 1000 && p.state() != QProcess::NotRunning; ++i) QTest::qWait(10);
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    }
    static QString Get(const QString& property) {
        return Send({"org.freedesktop.DBus.Properties.Get", "string:org.mpris.MediaPlayer2.Player",
                     "string:" + property});
    }
    static void Call(const QString& method) { Send({"org.mpris.MediaPlayer2.Player." + method}); }

private slots:
    void init() { test::ResetSettings(); }

    void mediaKeysSteerTheWindow() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) QSKIP("no session bus");
        Program p;
        QVERIFY(StartMprisService(*p.main));
        QVERIFY(Get("PlaybackStatus").contains("\"Stopped\""));
        QVERIFY(Get("CanPlay").contains("false"));

        const QString a = Wave("First Song.wav"), b = Wave("b.wav");
        p.main->OpenOne(a);
        QVERIFY(Get("CanPlay").contains("true"));
        QVERIFY(Get("CanGoNext").contains("false"));
        const QString metadata = Get("Metadata");
        QVERIFY2(metadata.contains("\"First Song\""), qPrintable(metadata));
        QVERIFY(metadata.contains("20000000"));  // 20 s in microseconds

        Call("PlayPause");
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Stop"));
        QVERIFY(Get("PlaybackStatus").contains("\"Playing\""));
        QTRY_COMPARE(p.device.opens.load(), 1);
        Call("Pause");
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Play"));

        p.playlist->Append(b);
        QVERIFY(Get("CanGoNext").contains("true"));
        Call("Next");
        QTRY_COMPARE(p.main->CurrentFile(), b);
        QTRY_COMPARE(p.main->Tag().Load(), 0);
        Call("Previous");
        QTRY_COMPARE(p.main->CurrentFile(), a);
        QTRY_COMPARE(p.main->Tag().Load(), 0);  // the step is taken before Play is given
        Call("Play");
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Stop"));
        Call("Play");  // already playing: nothing changes
        QTest::qWait(200);
        QCOMPARE(Shown(p.main->PlayStop), QString("Stop"));
        QTRY_COMPARE(p.device.opens.load(), 2);
        Call("Stop");
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Play"));

        const QString root = Send({"org.freedesktop.DBus.Properties.Get", "string:org.mpris.MediaPlayer2",
                                   "string:Identity"});
        QVERIFY(root.contains("\"Sonivel\""));
    }
};

QTEST_MAIN(MprisTest)
#include "mpris_test.moc"
