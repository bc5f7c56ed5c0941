// The media controls on a private session bus (the test runs under
// dbus-run-session), driven by dbus-send as a desktop would.
#include <QDBusConnection>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "mpris.h"
#include "registry.h"
#include "support/wave_builder.h"
#include "ui/ui_support.h"

using namespace sonivel;
using sonivel::test::Program;
using sonivel::test::Shown;

// Counts the Seeked signals the service sends, as a desktop would see them.
class SeekedCounter : public QObject {
    Q_OBJECT
public:
    int count = 0;
    qlonglong last = -1;
public slots:
    void Seeked(qlonglong position) {
        ++count;
        last = position;
    }
};

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
    static void Call(const QString& method, const QStringList& args = {}) {
        Send(QStringList{"org.mpris.MediaPlayer2.Player." + method} + args);
    }
    // The value of an int64 property ("Position") as dbus-send prints it.
    static qlonglong Number(const QString& reply) {
        const QRegularExpressionMatch m = QRegularExpression("int64 (-?\\d+)").match(reply);
        return m.hasMatch() ? m.captured(1).toLongLong() : -1;
    }
    static QString TrackId(const QString& metadata) {
        const QRegularExpressionMatch m = QRegularExpression("object path \"([^\"]+)\"").match(metadata);
        return m.captured(1);
    }

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

        p.main->Player().AppendEntries({b});
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

    // Pause keeps the place and says so; Stop also rewinds; each file is a
    // track of its own; addresses are fully encoded; seeks move the bar as
    // the window does and are announced, the window's own too.
    void statusPositionAndSeeksTellTheTruth() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) QSKIP("no session bus");
        Program p;
        QVERIFY(StartMprisService(*p.main));
        SeekedCounter seeked;
        QVERIFY(QDBusConnection::sessionBus().connect(QString(), "/org/mpris/MediaPlayer2",
                                                      "org.mpris.MediaPlayer2.Player", "Seeked", &seeked,
                                                      SLOT(Seeked(qlonglong))));
        const QString a = Wave(QString::fromUtf8("Side A é#1.wav")), b = Wave("b.wav");
        p.main->OpenOne(a);
        p.main->Player().AppendEntries({b});
        const QString metadataA = Get("Metadata");
        QVERIFY2(metadataA.contains(QUrl::fromLocalFile(dir_.path()).toEncoded() + "/Side%20A%20%C3%A9%231.wav"),
                 qPrintable(metadataA));
        QVERIFY(Get("CanSeek").contains("true"));
        QVERIFY(Get("PlaybackStatus").contains("\"Stopped\""));

        // Pause: the place is kept, and the status says Paused.
        Call("Play");
        QTRY_VERIFY(p.main->TrackBar2->value() >= 20);
        Call("Pause");
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Play"));
        QVERIFY(Get("PlaybackStatus").contains("\"Paused\""));
        const qlonglong paused = Number(Get("Position"));
        QVERIFY2(paused >= 400000, qPrintable(QString::number(paused)));
        QCOMPARE(Number(Get("Position")), paused);
        // Stop: back to the start; Play then begins the track.
        Call("Stop");
        QCOMPARE(p.main->TrackBar2->value(), 0);
        QVERIFY(Get("PlaybackStatus").contains("\"Stopped\""));
        QCOMPARE(Number(Get("Position")), 0);

        // Seeks, while stopped: the bar moves and each is announced.
        const int before = seeked.count;
        Call("SetPosition", {"objpath:" + TrackId(metadataA), "int64:10000000"});
        QCOMPARE(p.main->TrackBar2->value(), 500);  // 10 s of 20
        QTRY_COMPARE(seeked.count, before + 1);
        QCOMPARE(seeked.last, 10000000);
        Call("Seek", {"int64:2000000"});
        QCOMPARE(p.main->TrackBar2->value(), 600);
        Call("Seek", {"int64:-100000000"});
        QCOMPARE(p.main->TrackBar2->value(), 0);
        Call("SetPosition", {"objpath:/org/sonivel/track/other", "int64:5000000"});  // another track: ignored
        QCOMPARE(p.main->TrackBar2->value(), 0);
        p.main->TrackBar2->setValue(250);  // the window's own seek
        QTRY_COMPARE(seeked.count, before + 4);
        QCOMPARE(seeked.last, 5000000);
        // While playing, a seek restarts playback there.
        Call("Play");
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Stop"));
        const int opens = p.device.opens;
        Call("SetPosition", {"objpath:" + TrackId(metadataA), "int64:15000000"});
        QTRY_COMPARE(p.device.opens.load(), opens + 1);
        QTRY_VERIFY(p.main->TrackBar2->value() >= 750);
        QVERIFY(Get("PlaybackStatus").contains("\"Playing\""));
        // Past the end: the next track.
        Call("Seek", {"int64:60000000"});
        QTRY_COMPARE(p.main->CurrentFile(), b);
        const QString metadataB = Get("Metadata");
        QVERIFY(TrackId(metadataB) != TrackId(metadataA));
        Call("Stop");
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Play"));
    }
};

QTEST_MAIN(MprisTest)
#include "mpris_test.moc"
