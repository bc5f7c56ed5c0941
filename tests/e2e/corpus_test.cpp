// A folder of broken and unusual wave files, opened by the window, by the
// running program and by sonivel-convert: each file gets its message or
// plays, nothing crashes or hangs, and no file is left damaged.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "refusal.h"
#include "registry.h"
#include "support/wave_corpus.h"
#include "ui/ui_support.h"
#include "waveread.h"

using namespace sonivel;
using sonivel::test::CorpusFile;

namespace {


QByteArray Bytes(const test::Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The names handed over and not yet taken, read from the file itself: a
// QSettings in this process keeps what it read while the file's size and
// time stay the same, and could show a name the running program has taken.
QStringList NamesWaiting() {
    QFile file(Registry().Settings().fileName());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList names;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("Open.")) names << QString::fromUtf8(line);
    return names;
}

}  // namespace

class CorpusTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    std::vector<CorpusFile> corpus_ = test::WaveCorpus();

    QString PathOf(const CorpusFile& file) const { return dir_.path() + "/" + QString::fromStdString(file.name); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        for (const CorpusFile& file : corpus_) {
            QFile out(PathOf(file));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(Bytes(file.bytes));
        }
        // Two that cannot even be opened: a folder and a name that is not there.
        QVERIFY(QDir(dir_.path()).mkdir("folder.wav"));
    }
    void init() { test::ResetSettings(); }

    void theWindowPlaysOrExplainsEachFile() {
        test::Program p;
        TMainForm& m = *p.main;
        // Each look the Play/Stop button took, in order: a run that played
        // to its end showed Stop, then Play.
        QList<bool> looks;
        QObject::connect(&m, &TMainForm::StateChanged, [&] {
            if (looks.isEmpty() || looks.back() != m.IsPlaying()) looks << m.IsPlaying();
        });
        const auto open = [&](const QString& path) {
            looks.clear();
            p.services.files << path;
            m.Open1Click();
            QCOMPARE(m.windowTitle(), "Sonivel - " + path);
            m.PlayStopClick();
            QTRY_COMPARE(m.Tag().Load(), 0);
        };
        for (const CorpusFile& file : corpus_) {
            const QString path = PathOf(file);
            const qsizetype before = p.services.messages.size();
            const int opened = p.device.opens;
            open(path);
            if (file.text == kTextNone) {
                // Opens the device, plays to its end (a fifth of a second at
                // most) and stops by itself.
                QTRY_VERIFY2(p.device.opens.load() == opened + 1, qPrintable(path));
                QTRY_VERIFY2_WITH_TIMEOUT(looks.size() >= 2 && looks.back() == false && looks[looks.size() - 2], qPrintable(path), 10000);
                QCOMPARE(p.services.messages.size(), before);
                QCOMPARE(p.playlist->Entries(), QStringList{path});
            } else {
                QTRY_COMPARE(p.services.messages.size(), before + 1);
                // The text, and why in words where there is more to say.
                const QString why = Q(RefusalReason(file.text, path.toStdString(), kEnglish));
                QCOMPARE(p.services.messages.last(),
                         "Error|" + NamingFile(Q(Text(file.text)), path) + (why.isEmpty() ? "" : "\n(" + why + ")"));
                QVERIFY(!m.IsPlaying());
                // A file that opens but is no playable wave stays listed.
                QCOMPARE(p.playlist->Entries(), QStringList{path});
            }
        }
        for (const QString& name : {QString("folder.wav"), QString("missing.wav")}) {
            const qsizetype before = p.services.messages.size();
            open(dir_.path() + "/" + name);
            QTRY_COMPARE(p.services.messages.size(), before + 1);
            QCOMPARE(p.services.messages.last(), "Error|" + Q(Text(kTextErrorOpeningFile)) + "\n" + dir_.path() + "/" + name);
            // One that cannot be opened leaves the playlist.
            QTRY_VERIFY(p.playlist->Entries().isEmpty());
        }
        // After all that the window still plays a good file.
        open(PathOf(corpus_.front()));
        QTRY_VERIFY_WITH_TIMEOUT(!m.IsPlaying(), 10000);
        QCOMPARE(p.playlist->Entries(), QStringList{PathOf(corpus_.front())});
    }

    void theConverterConvertsOrRefusesEachFile() {
        for (const CorpusFile& file : corpus_) {
            const QString in = PathOf(file);
            const QString out = dir_.path() + "/out/" + QString::fromStdString(file.name);
            QDir().mkpath(dir_.path() + "/out");
            QProcess convert;
            convert.start(SONIVEL_CONVERT, {in, out});
            QVERIFY2(convert.waitForFinished(30000), qPrintable(in));
            QCOMPARE(convert.exitStatus(), QProcess::NormalExit);
            const QString messages = QString::fromUtf8(convert.readAllStandardError());
            if (file.text != kTextNone) {
                QVERIFY2(convert.exitCode() == 1, qPrintable(in + ": " + messages));
                // On a terminal a message takes one line.
                QVERIFY2(messages.contains(Q(Text(file.text)).replace('\n', ' ')), qPrintable(messages));
                QVERIFY2(!QFile::exists(out), qPrintable(out));
                continue;
            }
            QVERIFY2(convert.exitCode() == 0, qPrintable(in + ": " + messages));
            const WaveReadResult w = ReadWaveFile(out.toStdString());
            QVERIFY2(w.ok(), qPrintable(out));
            const std::uint32_t rate = file.format.rate;
            if (rate > 44100 || file.format.bits > 16 || file.format.tag == 3) {
                // Above every output: written as it is.
                QCOMPARE(w.info.InFormat.nSamplesPerSec, rate);
                QCOMPARE(w.info.InFormat.wFormatTag, file.format.tag);
                QCOMPARE(w.info.DataChunk.cksize, file.frames * file.format.BlockAlign());
            } else {
                QCOMPARE(w.info.InFormat.nSamplesPerSec, 44100u);
                QCOMPARE(w.info.InFormat.nBlockAlign, std::uint16_t{4});
                // Every whole frame of the data becomes r frames of 4 bytes;
                // at another ratio, the output frames whose time falls in it.
                const std::uint64_t frames = 44100 % rate == 0 ? std::uint64_t{file.frames} * (44100 / rate)
                                                               : (std::uint64_t{file.frames} * 44100 + rate - 1) / rate;
                QCOMPARE(std::uint64_t{w.info.DataChunk.cksize}, frames * 4);
            }
            QCOMPARE(QFileInfo(out).size(), qint64{44} + w.info.DataChunk.cksize);
        }
    }

    void theRunningProgramTakesEveryFileHandedToIt() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        const auto start = [&env](QProcess& p, const QStringList& args) {
            p.setProcessEnvironment(env);
            p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p.start(SONIVEL_PROGRAM, args);
            QVERIFY(p.waitForStarted());
        };
        // The first instance starts with a file that plays: a refusal's box
        // shown while the window starts is modal, and nobody closes it here.
        QProcess first;
        start(first, {PathOf(corpus_.front())});
        QTRY_COMPARE_WITH_TIMEOUT(Registry().ReadInteger("Status").value_or(0), 1, 15000);
        for (const CorpusFile& file : corpus_) {
            QProcess second;
            start(second, {PathOf(file)});
            QVERIFY2(second.waitForFinished(15000), file.name.c_str());
            QCOMPARE(second.exitCode(), 0);
            // Each file is taken before the next is handed over.
            QTRY_VERIFY_WITH_TIMEOUT(NamesWaiting().isEmpty(), 10000);
            QCOMPARE(first.state(), QProcess::Running);
        }
        QTest::qWait(500);
        QCOMPARE(first.state(), QProcess::Running);
        ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(15000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        // The settings it wrote on closing read back whole.
        Registry store;
        QCOMPARE(store.Settings().status(), QSettings::NoError);
        QVERIFY(store.ReadInteger("44100Hz").has_value());
        QCOMPARE(store.ReadString("Language"), QString("English"));
    }

    void noFileWasChanged() {
        for (const CorpusFile& file : corpus_) QVERIFY2(Contents(PathOf(file)) == Bytes(file.bytes), file.name.c_str());
    }
};

QTEST_MAIN(CorpusTest)
#include "corpus_test.moc"
