// Files and names as Linux has them: names that differ only in case, names
// with line breaks or in an older 8-bit encoding, special files offered as
// playlists, saves that fail part-way, and the real file dialogs.
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QTreeView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include "file_names.h"
#include "mrufilelist.h"
#include "playlist_file.h"
#include "playlist_model.h"
#include "playlist_open.h"
#include "ui/ui_support.h"
#include "waveread.h"

using namespace sonivel;
using sonivel::test::Program;

namespace {

// Writes `bytes` under a name given as raw bytes (not necessarily UTF-8).
bool WriteRaw(const QByteArray& path, const QByteArray& bytes) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    ::close(fd);
    return ok;
}

QByteArray ReadRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QByteArray WaveBytes(double seconds) {
    const test::Format f{1, 1, 11025, 8};
    const test::Bytes b = test::MakeWave(f, test::NoiseSamples(f, static_cast<std::size_t>(seconds * f.rate)));
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

// What a file dialog was, as the person saw it.
struct DialogSeen {
    bool shown = false;
    QString title, suffix;
    QStringList filters;
    QFileDialog::AcceptMode accept = QFileDialog::AcceptOpen;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool confirmsOverwrite = false;
    QString directory;  // the folder it shows
    QSize size;
    QStringList cutCells;  // cells of the detail view too wide for their column
};

// Answers the next file dialog: records it, types `name` into its name box
// and accepts it as a person pressing Enter would.
void AnswerNextDialog(DialogSeen& seen, const QString& name, const QString& chooseFilter = {}) {
    auto* timer = new QTimer(qApp);  // freed with the application at the latest
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &seen, name, chooseFilter] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) return;
        // The folder is read in the background: wait (a while) for its rows.
        auto* tree = dialog->findChild<QTreeView*>("treeView");
        static int waited = 0;
        if (tree && tree->model()->rowCount(tree->rootIndex()) == 0 && ++waited < 100) return;
        waited = 0;
        timer->stop();
        if (tree) {
            const QFontMetrics cells(tree->font());
            for (int row = 0; row < tree->model()->rowCount(tree->rootIndex()); ++row)
                for (int column = 1; column < tree->header()->count(); ++column) {
                    const QString text = tree->model()->index(row, column, tree->rootIndex()).data().toString();
                    if (cells.horizontalAdvance(text) > tree->header()->sectionSize(column)) seen.cutCells << text;
                }
        }
        timer->deleteLater();
        seen.shown = true;
        seen.title = dialog->windowTitle();
        seen.suffix = dialog->defaultSuffix();
        seen.filters = dialog->nameFilters();
        seen.accept = dialog->acceptMode();
        seen.mode = dialog->fileMode();
        seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        seen.size = dialog->size();
        seen.directory = dialog->directory().absolutePath();
        // A filter chosen as a person chooses it, in the dialog's list.
        if (auto* kinds = dialog->findChild<QComboBox*>("fileTypeCombo"); kinds && !chooseFilter.isEmpty()) {
            const int at = kinds->findText(chooseFilter);
            kinds->setCurrentIndex(at);
            emit kinds->activated(at);
            emit kinds->textActivated(chooseFilter);
        }
        if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit")) edit->setText(name);
        // A refusal ("File not found") would be a box of its own, shown inside accept(): close it
        // and the dialog, so the test fails instead of waiting.
        auto* rescue = new QTimer(qApp);
        QObject::connect(rescue, &QTimer::timeout, rescue, [rescue, d = QPointer<QFileDialog>(dialog)] {
            if (!d || !d->isVisible()) {
                rescue->deleteLater();
                return;
            }
            for (QMessageBox* box : d->findChildren<QMessageBox*>())
                if (box->isVisible()) box->done(QDialog::Rejected);
            static_cast<QDialog*>(d.data())->done(QDialog::Rejected);
        });
        rescue->start(300);
        static_cast<QDialog*>(dialog)->accept();  // as Enter in the dialog
    });
    timer->start(20);
}

}  // namespace

class FilesTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void init() { test::ResetSettings(); }

    void namesAreDecodedWithoutLoss() {
        const QByteArray latin1("/m/caf\xe9 \xff.wav");
        const QString name = DecodeFileName(latin1);
        QCOMPARE(EncodeFileName(name), latin1);
        QVERIFY(name.startsWith("/m/caf"));
        // Valid UTF-8 reads as any UTF-8 reader reads it.
        const QByteArray utf8 = QString::fromUtf8("/m/Été — ♫ 𝄞.wav").toUtf8();
        QCOMPARE(DecodeFileName(utf8), QString::fromUtf8(utf8));
        QCOMPARE(EncodeFileName(DecodeFileName(utf8)), utf8);
        // Overlong forms, encoded surrogates and truncated sequences are bytes.
        for (const QByteArray& odd : {QByteArray("\xc0\xaf"), QByteArray("\xed\xa0\x80"), QByteArray("a\xe2\x82"),
                                      QByteArray("\xf4\x90\x80\x80"), QByteArray("\x80\xbf")})
            QCOMPARE(EncodeFileName(DecodeFileName(odd)), odd);
        QVERIFY(SameFileName("/m/a.wav", "/m/a.wav"));
        QVERIFY(!SameFileName("/m/A.wav", "/m/a.wav"));
        QVERIFY(!FitsPlaylistLine("/m/a\nb.wav"));
        QVERIFY(!FitsPlaylistLine("/m/a\rb.wav"));
        QVERIFY(FitsPlaylistLine("/m/a b.wav"));
    }

    void namesDifferingInCaseAreTwoFiles() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        QDir().mkpath(dir_.path() + "/case");
        for (const char* n : {"Track.wav", "track.wav"}) WriteRaw(QFile::encodeName(dir_.path() + "/case/" + n), WaveBytes(0.1));
        QVERIFY(e.GoToFolder(dir_.path() + "/case"));
        e.Button1Click();
        QStringList both = e.Entries();
        both.sort();
        QCOMPARE(both, (QStringList{dir_.path() + "/case/Track.wav", dir_.path() + "/case/track.wav"}));
        // The recent-files list keeps them apart too.
        p.main->OpenOne(dir_.path() + "/case/Track.wav");
        p.main->OpenOne(dir_.path() + "/case/track.wav");
        QCOMPARE(p.main->MRUFileList1()->Items().mid(0, 2),
                 (QStringList{dir_.path() + "/case/track.wav", dir_.path() + "/case/Track.wav"}));
    }

    void recentFilesShortenTheFoldersNotTheName() {
        const QFontMetrics m(QApplication::font("QMenu"));
        const QString path = "/home/someone/Music/Collections/Old tapes/1978/Side B.wav";
        const auto shortened = [&](int width) { return ElidePath(path, m, width); };
        QCOMPARE(shortened(m.horizontalAdvance(path)), path);
        const QString ellipsis(QChar(0x2026));
        // Folders go from the middle; the first folder and the name stay whole.
        const QString oneFolder = "/home/" + ellipsis + "/1978/Side B.wav";
        QCOMPARE(shortened(m.horizontalAdvance(oneFolder)), oneFolder);
        const QString noFolder = "/home/" + ellipsis + "/Side B.wav";
        QCOMPARE(shortened(m.horizontalAdvance(noFolder)), noFolder);
        QCOMPARE(shortened(m.horizontalAdvance(ellipsis + "/Side B.wav")), ellipsis + "/Side B.wav");
        for (int width : {40, 80, 120, 200, 300}) {
            const QString s = shortened(width);
            QVERIFY2(m.horizontalAdvance(s) <= width, qPrintable(s));
            if (m.horizontalAdvance("/home/" + ellipsis + "/Side B.wav") <= width) QVERIFY(s.endsWith("/Side B.wav"));
        }
        // In the menu, at the list's own width.
        Program p;
        p.main->OpenOne(path);
        const QList<QAction*> items = p.main->findChildren<QAction*>("MRUItem1");
        QVERIFY(!items.isEmpty());
        QVERIFY2(items.front()->text().endsWith("/Side B.wav"), qPrintable(items.front()->text()));
    }

    void namesWithLineBreaksStayOutOfThePlaylist() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        const QString folder = dir_.path() + "/breaks";
        QDir().mkpath(folder);
        WriteRaw(QFile::encodeName(folder + "/ok.wav"), WaveBytes(0.1));
        WriteRaw(QFile::encodeName(folder + "/two\nlines.wav"), WaveBytes(0.1));
        e.Model->Append({"/m/kept.wav"});
        QVERIFY(e.GoToFolder(folder));
        QCOMPARE(e.FileListBox1->count(), 2);
        e.Button1Click();
        QCOMPARE(e.Entries(), (QStringList{"/m/kept.wav", folder + "/ok.wav"}));
        QCOMPARE(p.services.messages.size(), 1);
        QVERIFY(p.services.messages.last().startsWith("Error|A playlist holds one name a line"));
        QVERIFY(p.services.messages.last().contains(folder + "/two\\nlines.wav"));

        // A drop, in French: the good names go in, the message says which and why.
        p.main->FrenchClick();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile("/m/new.wav"), QUrl::fromLocalFile("/m/bad\r\nname.wav")});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(e.Playlist->viewport(), &enter);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(e.Playlist->viewport(), &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(e.Entries(), (QStringList{"/m/kept.wav", folder + "/ok.wav", "/m/new.wav"}));
        QVERIFY(p.services.messages.last().startsWith("Erreur|Une liste de lecture garde un nom par ligne"));
        QVERIFY(p.services.messages.last().contains("/m/bad\\r\\nname.wav"));
        p.main->EnglishClick();

        // Opened in the main window it plays, but is not listed; what is
        // saved reads back the same.
        p.main->OpenOne(folder + "/two\nlines.wav");
        QCOMPARE(p.main->CurrentFile(), folder + "/two\nlines.wav");
        QCOMPARE(e.Count(), 0);
        e.Model->Append({"/m/a.wav", "/m/b.wav"});
        const QString saved = dir_.path() + "/breaks.snl";
        p.services.files << saved << saved;
        e.Button6Click();
        e.Model->Clear();
        QVERIFY(OpenPlaylistFile(&e, p.services, p.main->Player()));
        QCOMPARE(e.Entries(), (QStringList{"/m/a.wav", "/m/b.wav"}));
    }

    void playlistInAnOlderEncodingSurvivesUntouched() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        // A real file whose name is Latin-1, listed in a Latin-1 playlist.
        const QByteArray folder = QFile::encodeName(dir_.path());
        const QByteArray song = folder + "/caf\xe9.wav";
        QVERIFY(WriteRaw(song, WaveBytes(2)));
        const QByteArray text = song + "\r\n/m/\xe0 la carte.wav\r\n";
        const QString list = dir_.path() + "/old.snl";
        QVERIFY(WriteRaw(QFile::encodeName(list), text));
        p.services.files << list;
        p.main->Openplaylist1Click();
        QCOMPARE(e.Count(), 2);
        // Opens as a file: the engine gets the name's own bytes.
        QCOMPARE(FileNameBytes(p.main->CurrentFile()), song.toStdString());
        QVERIFY(ReadWaveFile(FileNameBytes(p.main->CurrentFile())).ok());
        p.main->PlayStopClick();
        QTRY_COMPARE(test::Shown(p.main->PlayStop), QString("Stop"));
        p.main->PlayStopClick();
        QTRY_COMPARE(test::Shown(p.main->PlayStop), QString("Play"));
        QVERIFY(p.services.messages.isEmpty());
        // Saved untouched: byte for byte what was read.
        const QString copy = dir_.path() + "/copy.snl";
        p.services.files << copy;
        e.Button6Click();
        QCOMPARE(ReadRaw(copy), text);
        ::unlink(song.constData());  // QTemporaryDir cannot name it to remove it
    }

    void onlyRegularFilesArePlaylists() {
        const QString fifo = dir_.path() + "/pipe.snl";
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QStringList entries{"before"};
        QString error;
        // Neither waits for a writer nor reads without end.
        for (const QString& special : {fifo, QString("/dev/zero"), dir_.path()}) {
            QVERIFY2(!ReadPlaylistFile(special, entries, &error), qPrintable(special));
            QCOMPARE(error, "Cannot open file " + special);
            QCOMPARE(entries, QStringList{"before"});
        }
    }

    void aFailedSaveKeepsTheOldFileEvenForRoot() {
        const QString path = dir_.path() + "/good.snl";
        QString error;
        QVERIFY(WritePlaylistFile(path, {"/m/old.wav"}, &error));
        const QByteArray before = ReadRaw(path);
        // A file size limit stops the write part-way for every user, root too.
        QStringList many;
        for (int i = 0; i < 2000; ++i) many << QString("/m/%1.wav").arg(i);
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool written = WritePlaylistFile(path, many, &error);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!written);
        QCOMPARE(error, "Cannot create file " + path);
        QCOMPARE(ReadRaw(path), before);
        QCOMPARE(QDir(dir_.path()).entryList({"good.snl*"}, QDir::Files | QDir::Hidden), QStringList{"good.snl"});
    }

    // Save As of a file whose output a wave file cannot hold: the box says
    // why, nothing is written, and the window is ready to play.
    void saveTooLargeForAWaveFileIsRefused() {
        for (const int language : {kEnglish, kFrench}) {
            Program p;
            CurrentLanguage().store(language);
            test::TempDir temp;
            const QString in = QString::fromStdString(temp.WriteSparseWave("long.wav", {1, 1, 11025, 8}, 11025u * 3600 * 15 / 2));
            const QString out = QString::fromStdString(temp.File("out.wav"));
            p.main->OpenOne(in);
            p.services.files << out;
            p.main->SaveAs1Click();
            QTRY_COMPARE(p.services.messages.size(), 1);
            QCOMPARE(p.services.messages.front(), ErrorBoxCaption(ErrorSource::Program) + "|" + NamingFile(Q(Text(kTextOutputTooLarge)), out));
            QVERIFY(p.services.messages.front().contains(language == kFrench ? "4 Gio" : "4 GiB"));
            QTRY_COMPARE(test::Shown(p.main->PlayStop), Q(Text(kTextPlay)));
            QVERIFY(!QFile::exists(out));
        }
        CurrentLanguage().store(kEnglish);
    }

    // Each file dialog opens where the person works: Open and Save As in the
    // current file's folder, else the last one used; the playlist dialogs in
    // theirs; else the home folder, never the list of drives.
    void dialogsOpenWhereThePersonWorks() {
        const QString work = dir_.path() + "/work", last = dir_.path() + "/last", gone = dir_.path() + "/gone/";
        QDir().mkpath(work);
        QDir().mkpath(last);
        WriteRaw(QFile::encodeName(work + "/a.wav"), WaveBytes(0.2));
        struct Case {
            const char* dialog;
            bool loaded;
            QString stored;
            QString expected;
        };
        const QList<Case> cases = {
            {"Open", false, {}, QDir::homePath()},
            {"Open", false, last + "/", last},
            {"Open", false, gone, QDir::homePath()},
            {"Open", true, last + "/", work},
            {"Save As", true, last + "/", work},
            {"Open Playlist", false, {}, QDir::homePath()},
            {"Open Playlist", true, last + "/", last},
            {"Save Playlist", true, gone, QDir::homePath()},
        };
        for (const Case& c : cases) {
            test::ResetSettings();
            Program p;
            const QString key = QString(c.dialog) == "Open"      ? "LastOpenFolder"
                                : QString(c.dialog) == "Save As" ? "LastSaveFolder"
                                                                 : "LastPlayListFolder";
            if (!c.stored.isEmpty()) Registry().WriteString(key, c.stored);
            if (c.loaded) p.main->OpenOne(work + "/a.wav");
            if (QString(c.dialog) == "Open") p.main->Open1Click();
            else if (QString(c.dialog) == "Save As") p.main->SaveAs1Click();
            else if (QString(c.dialog) == "Open Playlist") p.playlist->Button5Click();
            else p.playlist->Button6Click();
            QCOMPARE(p.services.dialogFolders.size(), 1);
            QVERIFY2(p.services.dialogFolders.front() == c.expected,
                     qPrintable(QString("%1 %2: %3").arg(c.dialog, c.stored, p.services.dialogFolders.front())));
        }
    }

    void theRealFileDialogs() {
        Program p;
        QtUiServices real;
        p.services.realDialogs = &real;
        TPlaylistForm& e = *p.playlist;
        const QString folder = dir_.path() + "/dialogs";
        QDir().mkpath(folder);
        QVERIFY(WritePlaylistFile(folder + "/mylist.snl", {"/m/x.wav"}, nullptr));
        Registry().WriteString("LastPlayListFolder", folder + "/");
        const int minWidth = QFontMetrics(QApplication::font()).averageCharWidth() * 100;

        // Open playlist: "mylist" typed finds mylist.snl.
        DialogSeen open;
        AnswerNextDialog(open, "mylist");
        QVERIFY(OpenPlaylistFile(&e, p.services, p.main->Player()));
        QVERIFY(open.shown);
        QCOMPARE(open.title, QString("Open Playlist"));
        QCOMPARE(open.directory, folder);
        QCOMPARE(open.filters, (QStringList{"All playlists (*.snl *.m3u *.m3u8 *.pls)", "Sonivel Playlist (*.snl)",
                                            "M3U Playlist (*.m3u *.m3u8)", "PLS Playlist (*.pls)"}));
        QCOMPARE(open.suffix, QString("snl"));
        QCOMPARE(open.accept, QFileDialog::AcceptOpen);
        QCOMPARE(open.mode, QFileDialog::ExistingFile);
        QVERIFY(open.size.width() >= minWidth);
        QVERIFY2(open.cutCells.isEmpty(), qPrintable(open.cutCells.join(" / ")));
        QCOMPARE(e.Entries(), QStringList{"/m/x.wav"});

        // Save playlist: "newlist" typed is saved as newlist.snl.
        DialogSeen save;
        AnswerNextDialog(save, "newlist");
        e.Button6Click();
        QVERIFY(save.shown);
        QCOMPARE(save.title, QString("Save Playlist"));
        QCOMPARE(save.filters, (QStringList{"Sonivel Playlist (*.snl)", "M3U8 Playlist (*.m3u8)"}));
        QCOMPARE(save.suffix, QString("snl"));
        QCOMPARE(save.accept, QFileDialog::AcceptSave);
        QVERIFY(save.confirmsOverwrite);
        QCOMPARE(ReadRaw(folder + "/newlist.snl"), QByteArray("/m/x.wav\r\n"));
        // The other kind chosen in the list: its suffix, and its contents.
        DialogSeen m3u;
        AnswerNextDialog(m3u, "otherlist", "M3U8 Playlist (*.m3u8)");
        e.Button6Click();
        QVERIFY(m3u.shown);
        QCOMPARE(ReadRaw(folder + "/otherlist.m3u8"), QByteArray("#EXTM3U\n/m/x.wav\n"));
        QVERIFY(!QFile::exists(folder + "/otherlist.snl"));

        // The main window's Open: wave files, "wav" added to a bare name.
        WriteRaw(QFile::encodeName(folder + "/song.wav"), WaveBytes(0.5));
        Registry().WriteString("LastOpenFolder", folder + "/");
        DialogSeen wave;
        AnswerNextDialog(wave, "song");
        p.main->Open1Click();
        QVERIFY(wave.shown);
        QCOMPARE(wave.suffix, QString("wav"));
        QCOMPARE(wave.mode, QFileDialog::ExistingFile);
        QVERIFY(wave.filters.front().startsWith("Wave files ("));
        QVERIFY(wave.size.width() >= minWidth);
        QVERIFY2(wave.cutCells.isEmpty(), qPrintable(wave.cutCells.join(" / ")));
        QCOMPARE(p.main->CurrentFile(), folder + "/song.wav");

        // Save As: asks before overwriting, "wav" added.
        Registry().WriteString("LastSaveFolder", folder + "/");
        DialogSeen saveAs;
        AnswerNextDialog(saveAs, "raised");
        p.main->SaveAs1Click();
        QVERIFY(saveAs.shown);
        QCOMPARE(saveAs.suffix, QString("wav"));
        QCOMPARE(saveAs.accept, QFileDialog::AcceptSave);
        QVERIFY(saveAs.confirmsOverwrite);
        QTRY_VERIFY(QFileInfo(folder + "/raised.wav").size() > 44);
    }
};

QTEST_MAIN(FilesTest)
#include "files_test.moc"
