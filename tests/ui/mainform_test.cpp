#include <QActionGroup>
#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QMenu>
#include <QtTest>

#include "mrufilelist.h"
#include "registry.h"
#include "support/wave_builder.h"
#include "texts.h"
#include "ui/ui_support.h"
#include "waveread.h"

using namespace sonivel;
using sonivel::test::Program;
using sonivel::test::Shown;

class MainFormTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString Wave(const QString& name, double seconds = 3, const test::Format& f = {1, 1, 22050, 8}) {
        return test::WriteWave(dir_.path(), name, seconds, f);
    }

private slots:
    void init() { test::ResetSettings(); }

    void startsWithTheDesignedState() {
        Program p;
        QVERIFY(p.created);
        TMainForm& m = *p.main;
        QCOMPARE(m.windowTitle(), QString("Sonivel"));
        for (QWidget* w : {static_cast<QWidget*>(m.TrackBar2), static_cast<QWidget*>(m.PlayStop),
                           static_cast<QWidget*>(m.Rewind), static_cast<QWidget*>(m.PrevTrack),
                           static_cast<QWidget*>(m.NextTrack)})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(m.PlaylistShow->isEnabled());
        QVERIFY(!m.SaveAs1->isEnabled());
        QVERIFY(m.N44100Hz1->isChecked() && !m.N1->isChecked());
        QVERIFY(m.N16bitspersample1->isChecked() && !m.N8bitspersample1->isChecked());
        QVERIFY(m.Stereo1->isChecked() && !m.Mono1->isChecked());
        QVERIFY(m.StereoEffects->isChecked());
        QVERIFY(!m.PlayonSave->isChecked() && !m.AutoRepeat->isChecked());
        QVERIFY(m.English->isChecked());
        // Either-or pairs are drawn with radio marks (an exclusive group);
        // the switches on their own with check marks.
        for (const auto& [one, other] : {std::pair{m.N1, m.N44100Hz1}, std::pair{m.N8bitspersample1, m.N16bitspersample1},
                                         std::pair{m.Mono1, m.Stereo1}, std::pair{m.English, m.French}}) {
            QVERIFY2(one->actionGroup() && one->actionGroup() == other->actionGroup() && one->actionGroup()->isExclusive(),
                     qPrintable(one->objectName()));
            QCOMPARE(one->actionGroup()->actions().size(), 2);
        }
        for (QAction* a : {m.StereoEffects, m.HighQualityInterpolation, m.PlayonSave, m.AutoRepeat})
            QVERIFY2(!a->actionGroup(), qPrintable(a->objectName()));
        QCOMPARE(m.Tag().Load(), 0);
        QVERIFY(p.services.messages.isEmpty());
    }

    void openLoadsPlaysAndStops() {
        Program p;
        TMainForm& m = *p.main;
        const QString file = Wave("a.wav");
        p.services.files << file;
        m.Open1Click();
        QCOMPARE(m.windowTitle(), "Sonivel - " + file);
        QVERIFY(m.PlayStop->isEnabled() && m.Rewind->isEnabled() && m.TrackBar2->isEnabled());
        QVERIFY(m.SaveAs1->isEnabled());
        QVERIFY(!m.NextTrack->isEnabled());
        QCOMPARE(p.playlist->Entries(), QStringList{file});
        QCOMPARE(m.MRUFileList1()->Items(), QStringList{file});
        QCOMPARE(Registry().ReadString("LastOpenFolder"), dir_.path() + "/");
        QCOMPARE(m.Tag().Load(), 0);  // opening does not play

        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        QTRY_VERIFY(m.Label2->isVisible() && m.Label1->isVisible());
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));

        // A cancelled dialog changes nothing.
        Registry().WriteString("LastOpenFolder", "/nowhere/");
        m.Open1Click();
        QCOMPARE(m.windowTitle(), "Sonivel - " + file);
        QCOMPARE(Registry().ReadString("LastOpenFolder"), QString("/nowhere/"));
        QCOMPARE(p.services.dialogFolders.last(), dir_.path());  // the current file's
    }

    void outputFormatItemsAndRestart() {
        Program p;
        TMainForm& m = *p.main;
        // Stopped: only the marks change, already-checked items included.
        m.N1->trigger();
        QVERIFY(m.N1->isChecked() && !m.N44100Hz1->isChecked());
        m.N1->trigger();
        QVERIFY(m.N1->isChecked() && !m.N44100Hz1->isChecked());
        m.Mono1->trigger();
        QVERIFY(m.Mono1->isChecked() && !m.Stereo1->isChecked());
        m.N8bitspersample1->trigger();
        QVERIFY(m.N8bitspersample1->isChecked() && !m.N16bitspersample1->isChecked());
        m.StereoEffects->trigger();
        QVERIFY(!m.StereoEffects->isChecked());
        QVERIFY(!m.HighQualityInterpolation->isChecked());
        m.HighQualityInterpolation->trigger();
        QVERIFY(m.HighQualityInterpolation->isChecked());
        QCOMPARE(m.Tag().Load(), 0);
        // The marks show the model, which is what a run reads.
        QCOMPARE(m.Model().Output(), (OutputChoice{false, false, false, false, true}));

        // Playing: the run restarts with the new format.
        m.OpenOne(Wave("long.wav", 20));
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        QTRY_COMPARE(p.device.opens.load(), 1);
        QCOMPARE(p.device.lastRate.load(), 22050u);
        m.N44100Hz1->trigger();
        QTRY_COMPARE(p.device.opens.load(), 2);
        QCOMPARE(p.device.lastRate.load(), 44100u);
        m.N44100Hz1->trigger();  // the checked item restarts too
        QTRY_COMPARE(p.device.opens.load(), 3);
        m.HighQualityInterpolation->trigger();
        QTRY_COMPARE(p.device.opens.load(), 4);
        QVERIFY(!m.HighQualityInterpolation->isChecked());
        QCOMPARE(Shown(m.PlayStop), QString("Stop"));
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
    }

    void frenchWhilePlaying() {
        Program p;
        TMainForm& m = *p.main;
        m.OpenOne(Wave("long.wav", 20));
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        // The button turns to Stop before the device opens; a code given in
        // between is overwritten when the run takes its own.
        QTRY_COMPARE(p.device.opens.load(), 1);
        m.FrenchClick();
        QCOMPARE(Shown(m.PlayStop), QString::fromUtf8("Arrêter"));
        QCOMPARE(Shown(m.Rewind), QString("Rembobiner"));
        QCOMPARE(m.Open1->text(), QString("&Ouvrir..."));
        QVERIFY(m.French->isChecked() && !m.English->isChecked());
        QCOMPARE(m.Model().Language(), kFrench);
        QVERIFY(m.IsPlaying());
        const int opens = p.device.opens;
        m.Stereo1->trigger();
        QTRY_COMPARE(p.device.opens.load(), opens + 1);
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Jouer"));
        // Switching while stopped keeps the button stopped.
        m.EnglishClick();
        QCOMPARE(Shown(m.PlayStop), QString("Play"));
        QCOMPARE(m.StereoEffects->text(), QString("&Stereo &effects"));
    }

    void errorBoxesFollowTheLanguage() {
        Program p;
        TMainForm& m = *p.main;
        m.FrenchClick();
        m.OpenOne(dir_.path() + "/missing.wav");
        m.PlayStopClick();
        QTRY_VERIFY(!p.services.messages.isEmpty());
        // The message names the file; a long path as its name, then its folder.
        QCOMPARE(p.services.messages.front(),
                 QString::fromUtf8("Erreur|Le fichier ne peut être ouvert\n") + dir_.path() + "/missing.wav");
        const QString deep = dir_.path() + "/" + QString(70, 'd');
        QVERIFY(QDir().mkpath(deep));
        m.OpenOne(deep + "/gone.wav");
        m.PlayStopClick();
        QTRY_COMPARE(p.services.messages.size(), 2);
        QCOMPARE(p.services.messages.last(), QString::fromUtf8("Erreur|Le fichier ne peut être ouvert\ngone.wav\n") + deep);
        // The missing file left the playlist and the window has no file.
        QTRY_COMPARE(p.playlist->Count(), 0);
        QTRY_COMPARE(m.windowTitle(), QString("Sonivel"));
    }

    // A folder mixing what plays (classic, an odd rate, a file above every
    // output) with what does not (not a wave file, an AIFF named .wav)
    // plays through: no box per file, one when the run ends naming what was
    // gone past and why. A file opened alone that cannot play gets its box,
    // which says why in words.
    void aFolderPlaysPastWhatItCannotPlay() {
        const QString folder = dir_.path() + "/mixed";
        QVERIFY(QDir().mkpath(folder));
        test::WriteWave(folder, "1 classic.wav", 0.2);
        const auto write = [&](const QString& name, const QByteArray& bytes) {
            QFile f(folder + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        };
        write("2 broken.wav", QByteArray("RIFF\x10\0\0\0WAVEjunkjunk", 20));
        write("3 aiff.wav", QByteArray("FORM\0\0\0@AIFFCOMM\0\0\0\x12", 20) + QByteArray(60, '\0'));
        test::WriteWave(folder, "4 speech.wav", 0.2, {1, 1, 16000, 16});
        test::WriteWave(folder, "5 kit.wav", 0.2, {1, 2, 48000, 24});
        const QString last = test::WriteWave(folder, "6 last.wav", 0.2, {1, 1, 11025, 8});
        Program p;
        TMainForm& m = *p.main;
        m.OpenNames({folder}, true);
        QTRY_VERIFY_WITH_TIMEOUT(m.CurrentFile() == last && !m.IsPlaying(), 15000);
        QTRY_COMPARE(p.services.messages.size(), 1);
        const QString box = p.services.messages.front();
        QVERIFY2(box.startsWith(ErrorBoxCaption(ErrorSource::Program) + "|These files were skipped"), qPrintable(box));
        QVERIFY2(box.contains("2 broken.wav ("), qPrintable(box));
        QVERIFY2(box.contains("3 aiff.wav (AIFF sound, not a wave file)"), qPrintable(box));
        QVERIFY2(!box.contains("speech") && !box.contains("kit") && !box.contains("classic"), qPrintable(box));
        // Those that play were played: four runs or joins, each opening once at most.
        QVERIFY(p.device.opens.load() >= 3);

        m.OpenOne(Wave("deep.wav", 0.1, {1, 1, 22050, 40}));
        m.PlayStopClick();
        QTRY_COMPARE(p.services.messages.size(), 2);
        QVERIFY2(p.services.messages.last().contains("\n(40 bits per sample; Sonivel reads 8 to 32)"),
                 qPrintable(p.services.messages.last()));
    }

    // An odd-rate file and one above every output show their time and move
    // the bar as any other: the bar's middle is the middle of the file, and
    // the bar follows the sound while it plays.
    void timeAndBarAtEveryKindOfRate() {
        const struct {
            const char* name;
            test::Format format;
        } cases[] = {{"speech.wav", {1, 1, 16000, 16}}, {"kit.wav", {1, 2, 48000, 24}}, {"mac.wav", {1, 1, 11127, 8}}};
        for (const auto& c : cases) {
            Program p;
            TMainForm& m = *p.main;
            m.OpenOne(Wave(c.name, 10, c.format));
            m.PlayStopClick();
            QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
            // Playing, the bar moves on from the start.
            QTRY_VERIFY2(m.TrackBar2->value() > 0, c.name);
            QVERIFY2(m.TrackBar2->value() < 300, c.name);
            QTRY_VERIFY2(m.Label2->text().startsWith("0:00:0") && m.Label2->text() != "0:00:00.0", c.name);
            m.PlayStopClick();
            QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
            m.TrackBar2->setValue(500);
            QCOMPARE(m.Label2->text(), QString("0:00:05.0"));
        }
    }

    void seekBarHandler() {
        Program p;
        TMainForm& m = *p.main;
        m.OpenOne(Wave("s.wav", 10));  // 220,500 data bytes at 22,050 a second
        // No run yet: the time label stays hidden and nothing happens.
        m.TrackBar2->setValue(250);
        QVERIFY(!m.Label2->isVisible());
        QCOMPARE(m.Label2->text(), QString("0"));
        QCOMPARE(m.Tag().Load(), 0);
        // After a run the label shows the time the bar points at.
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
        m.TrackBar2->setValue(500);
        QCOMPARE(m.Label2->text(), QString("0:00:05.0"));
        QCOMPARE(m.Tag().Load(), 0);
        // While playing, a move restarts playback from there.
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        QTRY_COMPARE(p.device.opens.load(), 2);
        const int opens = p.device.opens;
        m.TrackBar2->setValue(800);
        QTRY_COMPARE(p.device.opens.load(), opens + 1);
        QTRY_VERIFY(m.TrackBar2->value() >= 800);
        // A click goes where it is clicked, while playing as one seek.
        // As a hand clicks, the button stays down a moment; the bar's value
        // while it is down is where the click put it.
        const auto clickAt = [&](double fraction) {
            const QPoint at(static_cast<int>(fraction * m.TrackBar2->width()), m.TrackBar2->height() / 2);
            QTest::mousePress(m.TrackBar2, Qt::LeftButton, {}, at);
            QTest::qWait(150);
            const int held = m.TrackBar2->value();
            QTest::mouseRelease(m.TrackBar2, Qt::LeftButton, {}, at);
            return held;
        };
        for (double fraction : {0.3, 0.75, 0.05, 0.95}) {
            const int before = p.device.opens;
            const int held = clickAt(fraction);
            QVERIFY2(qAbs(held - fraction * 1000) < 40, qPrintable(QString::number(fraction)));
            QTRY_COMPARE(p.device.opens.load(), before + 1);
            QTest::qWait(300);
            QCOMPARE(p.device.opens.load(), before + 1);
            QVERIFY(m.TrackBar2->value() >= held);
        }
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
        QVERIFY(qAbs(clickAt(0.6) - 600) < 40);
        QCOMPARE(m.Label2->text(), QString::fromStdString(FormatTime(m.TrackBar2->value() / 100.0)));
        QCOMPARE(m.Tag().Load(), 0);
        // Play with the bar at its end only rewinds.
        m.SetBarPosition(1000);
        m.PlayStopClick();
        QCOMPARE(m.TrackBar2->value(), 0);
        QCOMPARE(m.Tag().Load(), 0);
    }

    // However the bar moves (the person, Rewind, the end of a track, another
    // file), the time shown is the bar's; a move by the program never restarts.
    void timeFollowsTheBarHoweverItMoved() {
        Program p;
        TMainForm& m = *p.main;
        m.OpenOne(Wave("t.wav", 10));
        m.PlayStopClick();
        QTRY_VERIFY(m.TrackBar2->value() >= 30);
        QTRY_VERIFY(m.Label2->text() != QString("0:00:00.0"));
        m.RewindClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
        QCOMPARE(m.TrackBar2->value(), 0);
        QCOMPARE(m.Label2->text(), QString("0:00:00.0"));
        // Stopped part-way: the time is the bar's.
        m.SetBarPosition(500);
        QCOMPARE(m.Label2->text(), QString("0:00:05.0"));
        QCOMPARE(m.Tag().Load(), 0);
        // Played to the end: bar and time both back at the start.
        m.OpenOne(Wave("short.wav", 0.4));
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
        QTRY_COMPARE(m.TrackBar2->value(), 0);
        QVERIFY(m.Label2->isVisible());
        QCOMPARE(m.Label2->text(), QString("0:00:00.0"));
    }

    // The position moves ten times a second while playing: a move of less
    // than a pixel repaints nothing, a move repaints the span the handle
    // crossed, and a new time repaints the time alone, never laying out the
    // window again.
    void displayUpdatesRepaintOnlyWhatChanged() {
        Program p;
        TMainForm& m = *p.main;
        m.OpenOne(Wave("t.wav", 10));
        QVERIFY(QTest::qWaitForWindowExposed(&m));
        struct Counter : QObject {
            QList<QRect> barPaints;
            int layouts = 0;
            QWidget* bar = nullptr;
            bool eventFilter(QObject* o, QEvent* e) override {
                if (o == bar && e->type() == QEvent::Paint) barPaints << static_cast<QPaintEvent*>(e)->rect();
                if (e->type() == QEvent::LayoutRequest) ++layouts;
                return false;
            }
        } counter;
        counter.bar = m.TrackBar2;
        m.TrackBar2->installEventFilter(&counter);
        m.centralWidget()->installEventFilter(&counter);
        m.installEventFilter(&counter);
        QApplication::processEvents();
        counter.barPaints.clear();
        counter.layouts = 0;

        const QRect before = m.TrackBar2->HandleRect();
        int value = 300;
        m.SetBarPosition(value);
        QApplication::processEvents();
        counter.barPaints.clear();
        counter.layouts = 0;
        const QRect at300 = m.TrackBar2->HandleRect();
        // One step of 1000 on a bar a few hundred pixels wide stays put.
        m.SetBarPosition(++value);
        QApplication::processEvents();
        QCOMPARE(m.TrackBar2->HandleRect(), at300);
        QVERIFY2(counter.barPaints.isEmpty(), "a move of less than a pixel repainted the bar");
        // A real move repaints a part of the bar, not all of it.
        while (m.TrackBar2->HandleRect() == at300) m.SetBarPosition(++value);
        QApplication::processEvents();
        QVERIFY(!counter.barPaints.isEmpty());
        QRect painted;
        for (const QRect& r : counter.barPaints) painted |= r;
        const QRect bar = m.TrackBar2->rect();
        QVERIFY2(painted.contains(at300 & bar) && painted.contains(m.TrackBar2->HandleRect() & bar),
                 "the handle's old or new place was not repainted");
        QVERIFY2(painted.width() < m.TrackBar2->width() / 2, "the whole bar was repainted");
        QVERIFY(before != at300);

        for (int i = 0; i < 20; ++i) {
            m.Label2->setText(QString("0:00:%1.%2").arg(10 + i).arg(i % 10));
            QApplication::processEvents();
        }
        QCOMPARE(counter.layouts, 0);
    }

    // Every menu caption follows the language, in both directions.
    void everyMenuCaptionFollowsTheLanguage() {
        Program p;
        TMainForm& m = *p.main;
        const std::pair<QObject*, int> captions[] = {
            {m.File1, kTextMenuFile}, {m.Open1, kTextMenuOpen}, {m.SaveAs1, kTextMenuSaveAs},
            {m.Openplaylist1, kTextMenuOpenPlaylist}, {m.Editplaylist1, kTextMenuEditPlaylist}, {m.E1, kTextMenuExit},
            {m.Options1, kTextMenuOutputFormat}, {m.N8bitspersample1, kTextMenu8Bits},
            {m.N16bitspersample1, kTextMenu16Bits}, {m.Mono1, kTextMenuMono}, {m.Stereo1, kTextMenuStereo},
            {m.StereoEffects, kTextMenuStereoEffects}, {m.Options2, kTextMenuOptions},
            {m.PlayonSave, kTextMenuPlayWhileSaving}, {m.AutoRepeat, kTextMenuAutoRepeat},
            {m.Language1, kTextMenuLanguage}, {m.CreateshortcutinStartMenu1, kTextMenuCreateShortcut},
            {m.AssociatewavefileswithSonivel1, kTextMenuAssociate}, {m.Help1, kTextMenuHelp},
            {m.UsingSonivel1, kTextMenuHelpHtml}, {m.Intextformat1, kTextMenuHelpText}, {m.About1, kTextMenuAbout}};
        const auto shown = [](QObject* o) {
            if (auto* menu = qobject_cast<QMenu*>(o)) return menu->title();
            return qobject_cast<QAction*>(o)->text();
        };
        for (int language : {int{kFrench}, int{kEnglish}, int{kFrench}}) {
            if (language == kFrench) m.FrenchClick();
            else m.EnglishClick();
            for (const auto& [object, id] : captions)
                QCOMPARE(shown(object), Q(Text(id, language)));
            QCOMPARE(m.HighQualityInterpolation->text(), language == kFrench ? QString::fromUtf8("&Interpolation haute qualité")
                                                                             : QString("&High-quality interpolation"));
            QCOMPARE(m.Label1->text(), Q(Text(kTextTimeLabel, language)));
            QCOMPARE(m.Label3->text(), Q(Text(kTextWritingLabel, language)));
        }
        m.EnglishClick();
    }

    // Open playlist and closing the editor stop playback; the editor's
    // closing loads its first entry from the start.
    void openPlaylistAndClosingTheEditorStopPlayback() {
        Program p;
        TMainForm& m = *p.main;
        const QString a = Wave("a.wav", 20), b = Wave("b.wav", 20);
        m.OpenOne(a);
        p.main->Player().AppendEntries({b});
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        p.playlist->show();
        p.playlist->CloseAction();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
        QCOMPARE(m.CurrentFile(), a);
        QCOMPARE(m.TrackBar2->value(), 0);

        const QString list = dir_.path() + "/list.snl";
        QFile f(list);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write((b + "\r\n" + a + "\r\n").toUtf8());
        f.close();
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        p.services.files << list;
        m.Openplaylist1Click();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
        QCOMPARE(m.CurrentFile(), b);
    }

    // The file named on the command line is opened at the first showing
    // only; showing the window again does not restart it.
    void commandLineFileOpensOnce() {
        const QString a = Wave("cli.wav", 20);
        Program p({a});
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Stop"));
        QTRY_COMPARE(p.device.opens.load(), 1);
        p.main->PlayStopClick();
        QTRY_COMPARE(Shown(p.main->PlayStop), QString("Play"));
        p.main->hide();
        p.main->show();
        QTest::qWait(300);
        QCOMPARE(Shown(p.main->PlayStop), QString("Play"));
        QCOMPARE(p.device.opens.load(), 1);
    }

    void saveAsRefusalsAndASave() {
        Program p;
        TMainForm& m = *p.main;
        const QString file = Wave("in.wav", 20);
        m.OpenOne(file);
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        m.SaveAs1Click();
        QCOMPARE(p.services.messages.size(), 1);
        QVERIFY(p.services.messages.last().startsWith("Error|First, stop playback"));
        QVERIFY(p.services.dialogFolders.isEmpty());  // no dialog while playing
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));

        p.services.files << file;
        m.SaveAs1Click();
        QCOMPARE(p.services.messages.last(), "Error|You cannot overwrite the file you opened.\n" + file);
        QFile::link(file, dir_.path() + "/alias.wav");
        p.services.files << dir_.path() + "/alias.wav";
        m.SaveAs1Click();
        QCOMPARE(p.services.messages.size(), 3);
        QCOMPARE(m.Tag().Load(), 0);

        const QString out = dir_.path() + "/out/saved.wav";
        QDir().mkpath(dir_.path() + "/out");
        p.services.files << out;
        m.SetBarPosition(500);
        m.SaveAs1Click();
        QCOMPARE(Registry().ReadString("LastSaveFolder"), dir_.path() + "/out/");
        QTRY_VERIFY(QFile::exists(out));
        QTRY_VERIFY(!m.Label3->isVisible() && m.TrackBar2->value() == 0);
        const WaveReadResult saved = ReadWaveFile(out.toStdString());
        QVERIFY(saved.ok());
        // The second half of 20 s, as 44100 Hz 16-bit stereo.
        QVERIFY(std::abs(saved.info.DataBytes() / 176400.0 - 10.0) < 0.01);
    }

    void closingDuringASilentSaveFinishesTheFile() {
        const QString out = dir_.path() + "/closing.wav";
        {
            Program p;
            TMainForm& m = *p.main;
            m.OpenOne(Wave("long.wav", 600));
            p.services.files << out;
            m.SaveAs1Click();
            // Closed the moment the save has begun: a save left alone for a
            // polling step of 50 ms can be done already.
            QDeadlineTimer deadline(10000);
            while (QFileInfo(out).size() <= 44 && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QVERIFY(QFileInfo(out).size() > 44);
            m.close();
        }  // the window is gone and the thread has ended
        const WaveReadResult saved = ReadWaveFile(out.toStdString());
        QVERIFY(saved.ok());
        const test::Bytes bytes = test::ReadAll(out.toStdString());
        QCOMPARE(static_cast<qsizetype>(LoadLE32(&bytes[40])), static_cast<qsizetype>(bytes.size() - 44));
        QVERIFY(bytes.size() < 44 + 600u * 176400);  // it stopped early, and promptly
    }

    void noFileStateAndFileLoadedUpdate() {
        Program p;
        TMainForm& m = *p.main;
        m.OpenOne(Wave("a.wav"));
        p.main->Player().AppendEntries({Wave("b.wav")});
        QVERIFY(m.NextTrack->isEnabled() && m.PrevTrack->isEnabled());
        p.playlist->Button2Click();
        QCOMPARE(m.windowTitle(), QString("Sonivel"));
        for (QWidget* w : {static_cast<QWidget*>(m.TrackBar2), static_cast<QWidget*>(m.PlayStop),
                           static_cast<QWidget*>(m.Rewind), static_cast<QWidget*>(m.PrevTrack),
                           static_cast<QWidget*>(m.NextTrack)})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(!m.SaveAs1->isEnabled());
    }

    void nextAndPreviousWhileIdleAndPlaying() {
        Program p;
        TMainForm& m = *p.main;
        const QString a = Wave("a.wav", 20), b = Wave("b.wav", 20), c = Wave("c.wav", 20);
        m.OpenOne(a);
        p.main->Player().AppendEntries({b});
        p.main->Player().AppendEntries({c});
        m.PrevTrackClick();
        QTRY_COMPARE(m.CurrentFile(), c);
        // The thread clears the code once the step is done; a Play given
        // before that would be overwritten.
        QTRY_COMPARE(m.Tag().Load(), 0);
        QCOMPARE(m.windowTitle(), "Sonivel - " + c);
        QCOMPARE(Shown(m.PlayStop), QString("Play"));
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        QTRY_COMPARE(p.device.opens.load(), 1);
        const int opens = p.device.opens;
        m.NextTrackClick();
        QTRY_COMPARE(m.CurrentFile(), a);
        // A code given while the thread changes tracks would be overwritten
        // when the new run starts: wait until it plays.
        QTRY_COMPARE(p.device.opens.load(), opens + 1);
        m.PlayStopClick();
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
        // Files of a longer playlist do not enter the recent files.
        QCOMPARE(m.MRUFileList1()->Items(), QStringList{a});
    }

    void settingsRoundTrip() {
        {
            Program p;
            TMainForm& m = *p.main;
            m.N1->trigger();
            m.Mono1->trigger();
            m.PlayonSave->trigger();
            m.AutoRepeat->trigger();
            m.StereoEffects->trigger();
            m.HighQualityInterpolation->trigger();
            m.FrenchClick();
            m.close();
        }
        Registry store;
        QCOMPARE(store.ReadInteger("44100Hz").value(), 0);
        QCOMPARE(store.ReadInteger("16Bits").value(), 1);
        QCOMPARE(store.ReadInteger("Stereo").value(), 0);
        QCOMPARE(store.ReadInteger("PlayOnSave").value(), 1);
        QCOMPARE(store.ReadInteger("StereoEffects").value(), 0);
        QCOMPARE(store.ReadInteger("AutoRepeat").value(), 1);
        QCOMPARE(store.ReadInteger("HighQualityInterpolation").value(), 1);
        QCOMPARE(store.ReadString("Language"), QString("French"));
        CurrentLanguage().store(kEnglish);
        Program again;
        TMainForm& m = *again.main;
        QVERIFY(m.N1->isChecked() && !m.N44100Hz1->isChecked());
        QVERIFY(m.Mono1->isChecked() && m.PlayonSave->isChecked() && m.AutoRepeat->isChecked());
        QVERIFY(!m.StereoEffects->isChecked());
        QVERIFY(m.HighQualityInterpolation->isChecked());
        QVERIFY(m.French->isChecked());
        QCOMPARE(Shown(m.Rewind), QString("Rembobiner"));
    }

    void languageIsFrenchOnlyForTheExactText() {
        for (const char* value : {"french", "FRENCH", "Français", ""}) {
            Registry store;
            store.Settings().clear();
            for (const char* name : {"44100Hz", "16Bits", "Stereo", "PlayOnSave", "StereoEffects", "AutoRepeat"})
                store.WriteInteger(name, 1);
            store.WriteString("Language", QString::fromUtf8(value));
            store.Sync();
            CurrentLanguage().store(kEnglish);
            Program p;
            QVERIFY2(p.main->English->isChecked(), value);
            QCOMPARE(CurrentLanguage().load(), int(kEnglish));
        }
    }

    void registryErrorsNameTheValue() {
        Registry store;
        store.WriteInteger("44100Hz", 0);
        store.WriteInteger("16Bits", 0);
        store.WriteString("Stereo", "loud");
        store.Sync();
        {
            Program p;
            QCOMPARE(p.services.messages, QStringList{"Sonivel|Invalid data type for 'Stereo'"});
            // What was read before the error holds; the program goes on.
            QVERIFY(p.main->N1->isChecked() && p.main->N8bitspersample1->isChecked());
            QVERIFY(p.main->Stereo1->isChecked());
            QVERIFY(p.main->RenderThread() && p.main->RenderThread()->StartupState() == PlayThread::Startup::Ready);
            p.main->close();
        }
        // The close wrote a good set: the next start is clean. (Each program
        // ends before the next starts, as a running one would hold the next
        // one's start-up.)
        {
            Program next;
            QVERIFY(next.services.messages.isEmpty());
        }

        store.Settings().remove("AutoRepeat");
        store.Sync();
        Program missing;
        QCOMPARE(missing.services.messages, QStringList{"Sonivel|Failed to get data for 'AutoRepeat'"});
    }

    void legacySettingsFile() {
        QTemporaryDir programDir;
        QFile legacy(programDir.path() + "/sonivl.cfg");
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write(QByteArray("\0\0\0\1", 4));
        legacy.close();
        {
            Program p({}, programDir.path(), {false});
            TMainForm& m = *p.main;
            QVERIFY(m.N1->isChecked() && m.N8bitspersample1->isChecked() && m.Mono1->isChecked());
            QVERIFY(m.PlayonSave->isChecked());
            QVERIFY(m.StereoEffects->isChecked());
            QCOMPARE(p.services.messages.size(), 1);
            QVERIFY(p.services.messages.front().startsWith(Q(Text(34)) + "|This version of Sonivel no longer"));
            QVERIFY(QFile::exists(legacy.fileName()));  // No keeps it
            QVERIFY(Registry().ValueExists("AskedIfDeleteConfigFile"));
        }
        // Yes deletes it.
        Registry().Settings().remove("AskedIfDeleteConfigFile");
        {
            Program p({}, programDir.path(), {true});
            QVERIFY(!QFile::exists(legacy.fileName()));
        }
        // No legacy file: nothing asked, no marker.
        Registry().Settings().remove("AskedIfDeleteConfigFile");
        {
            Program p({}, programDir.path());
            QVERIFY(p.services.messages.isEmpty());
            QVERIFY(!Registry().ValueExists("AskedIfDeleteConfigFile"));
            QVERIFY(p.main->N44100Hz1->isChecked());
        }
    }

    void legacyQuestionIsAskedOnce() {
        QTemporaryDir programDir;
        QFile legacy(programDir.path() + "/sonivl.cfg");
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write(QByteArray("\1\0\1\0", 4));
        legacy.close();
        {
            Program p({}, programDir.path(), {false});
            QCOMPARE(p.services.messages.size(), 1);
        }
        // Not yet closed once: the file is read again, the question not asked.
        {
            Program p({}, programDir.path());
            QVERIFY(p.services.messages.isEmpty());
            QVERIFY(p.main->N8bitspersample1->isChecked() && p.main->Stereo1->isChecked());
            p.main->close();
        }
        Registry store;
        QCOMPARE(store.ReadInteger("44100Hz").value(), 1);
        QCOMPARE(store.ReadInteger("16Bits").value(), 0);
        QCOMPARE(store.ReadInteger("Stereo").value(), 1);
        QCOMPARE(store.ReadInteger("PlayOnSave").value(), 0);
        QCOMPARE(store.ReadInteger("StereoEffects").value(), 1);
        QCOMPARE(store.ReadInteger("AutoRepeat").value(), 0);
        QCOMPARE(store.ReadString("Language"), QString("English"));
    }

    void recentFilesList() {
        QMenu menu;
        menu.addAction("Open");
        QAction* placeholder = menu.addSeparator();
        menu.addAction("Exit");
        {
            TMRUFileList list;
            list.RemoveOnClick = false;
            list.ShowClearItem = false;
            list.ShowRemoveObsolete = false;
            list.SetAutoSaveName("\\Software\\Korvath\\Sonivel\\");
            list.SetFileMenu(placeholder);
            QCOMPARE(menu.actions().size(), 3);  // empty: the menu as designed
            for (const char* name : {"/a/one.wav", "/a/two.wav", "/a/three.wav", "/a/four.wav", "/a/five.wav"})
                list.AddItem(name);
            list.AddItem("/a/six.wav");
            QCOMPARE(list.Items(), (QStringList{"/a/six.wav", "/a/five.wav", "/a/four.wav", "/a/three.wav", "/a/two.wav"}));
            list.AddItem("/a/three.wav");
            QCOMPARE(list.Items().front(), QString("/a/three.wav"));
            QCOMPARE(list.Items().size(), 5);
            // Separator and five numbered items stand before the placeholder.
            const QList<QAction*> actions = menu.actions();
            QCOMPARE(actions.size(), 3 + 6);
            QVERIFY(actions[1]->isSeparator());
            QCOMPARE(actions[2]->text(), QString("&1 /a/three.wav"));
            QCOMPARE(actions[7], placeholder);
            QSignalSpy clicked(&list, &TMRUFileList::MRUItemClick);
            actions[4]->trigger();
            QCOMPARE(clicked.size(), 1);
            QCOMPARE(clicked.front().front().toString(), QString("/a/five.wav"));
        }
        // Saved on destruction as F0..F4; more than Maximum loaded are all shown.
        Registry store;
        QCOMPARE(store.ReadString("MRU Items/F0"), QString("/a/three.wav"));
        for (int i = 0; i < 7; ++i) store.WriteSectionValue("MRU Items", "F" + QString::number(i), "/b/" + QString::number(i));
        store.Sync();
        TMRUFileList loaded;
        loaded.SetAutoSaveName("\\Software\\Korvath\\Sonivel\\");
        QCOMPARE(loaded.Items().size(), 7);
        loaded.AddItem("/b/new");
        QCOMPARE(loaded.Items().size(), 5);
        loaded.AutoSave = false;
    }
};

QTEST_MAIN(MainFormTest)
#include "mainform_test.moc"
