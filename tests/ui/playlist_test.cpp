#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "dropfile.h"
#include "file_names.h"
#include "folder_files.h"
#include "mrufilelist.h"
#include "playlist_file.h"
#include "registry.h"
#include "texts.h"
#include "playlist_model.h"
#include "ui/ui_support.h"

using namespace sonivel;
using sonivel::test::Program;
using sonivel::test::Shown;

class PlaylistTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(dir_.path() + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    static void Select(QAbstractItemView* list, std::initializer_list<int> rows) {
        list->clearSelection();
        for (int r : rows) list->selectionModel()->select(list->model()->index(r, 0), QItemSelectionModel::Select);
    }

private slots:
    void init() { test::ResetSettings(); }

    void fileFormat() {
        QCOMPARE(FormatPlaylist({"C:\\a.wav", "C:\\b.wav"}).size(), 20);
        QCOMPARE(FormatPlaylist({"x", "y"}), QByteArray("x\r\ny\r\n"));
        const QStringList ab{"A", "B"};
        QCOMPARE(ParsePlaylist("A\r\nB\r\n"), ab);
        QCOMPARE(ParsePlaylist("A\nB\n"), ab);
        QCOMPARE(ParsePlaylist("A\rB\r"), ab);
        QCOMPARE(ParsePlaylist("A\r\nB"), ab);
        QCOMPARE(ParsePlaylist("A\r\n\r\nB"), (QStringList{"A", "", "B"}));
        QCOMPARE(ParsePlaylist("A\n\rB"), (QStringList{"A", "", "B"}));
        QCOMPARE(ParsePlaylist("A\r\nB\r\n\r\n"), (QStringList{"A", "B", ""}));
        QCOMPARE(ParsePlaylist(QByteArray("A\r\nB\0C\r\n", 9)), ab);
        QCOMPARE(ParsePlaylist(""), QStringList{});
        QCOMPARE(ParsePlaylist("  spaced name.wav \r\n"), QStringList{"  spaced name.wav "});
        // A long entry is kept whole.
        const QString longPath = "/" + QString(5000, 'x') + ".wav";
        QCOMPARE(ParsePlaylist(FormatPlaylist({longPath})), QStringList{longPath});
    }

    void aFailedSaveKeepsTheOldFile() {
        const QString path = Write("good.snl", "keep\r\n");
        QString error;
        QVERIFY(WritePlaylistFile(path, {"new"}, &error));
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner);
        const bool failed = !WritePlaylistFile(path, {"broken"}, &error);
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (getuid() != 0) {  // root writes anywhere
            QVERIFY(failed);
            QCOMPARE(error, "Cannot create file " + path);
        }
        // A folder without write permission stops everyone but root; the
        // file-size limit test in files_test stops root too.
        QStringList entries;
        QVERIFY(ReadPlaylistFile(path, entries, &error));
        QCOMPARE(entries, failed ? QStringList{"new"} : QStringList{"broken"});
        QVERIFY(!ReadPlaylistFile(dir_.path() + "/missing.snl", entries, &error));
        QCOMPARE(error, "Cannot open file " + dir_.path() + "/missing.snl");
    }

    void addAndRemove() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        for (const char* n : {"b.wav", "A.WAV", "c.Wav"}) Write(n, "RIFF");
        Write("notes.txt", "x");
        QVERIFY(e.GoToFolder(dir_.path()));
        QCOMPARE(e.FileListBox1->count(), 3);  // wave files in any letter case only
        e.Button1Click();
        e.Button1Click();  // twice: nothing added again
        QCOMPARE(e.Count(), 3);
        QCOMPARE(e.Entries().front(), dir_.path() + "/A.WAV");
        QVERIFY(p.main->NextTrack->isEnabled());
        // Remove: nothing selected removes nothing; some selected go.
        e.Playlist->clearSelection();
        e.Button4Click();
        QCOMPARE(e.Count(), 3);
        // The Delete key in the list is Remove.
        Select(e.Playlist, {0, 2});
        e.show();
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        e.Playlist->setFocus();
        QTest::keyClick(e.Playlist, Qt::Key_Delete);
        QCOMPARE(e.Entries(), QStringList{dir_.path() + "/b.wav"});
        QVERIFY(!p.main->NextTrack->isEnabled());
        // Add only the selected file; a path already there is not added.
        Select(e.FileListBox1, {2});
        e.Button3Click();
        QCOMPARE(e.Count(), 2);
        e.Button3Click();
        QCOMPARE(e.Count(), 2);
        // Everything selected acts as Remove all, with the main window's no-file state.
        p.main->OpenOne(dir_.path() + "/b.wav");
        e.Model->Append({dir_.path() + "/c.Wav"});
        e.Playlist->selectAll();
        e.Button4Click();
        QCOMPARE(e.Count(), 0);
        QCOMPARE(p.main->windowTitle(), QString("Sonivel"));
        // An empty list counts as all selected.
        p.main->OpenOne(dir_.path() + "/b.wav");
        e.Model->Clear();
        e.Button4Click();
        QVERIFY(!p.main->PlayStop->isEnabled());
    }

    // Double-clicks remove from the playlist and add from the file list;
    // a folder opens when clicked, a drive when chosen.
    void doubleClicksFoldersAndDrives() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        const QString folder = dir_.path() + "/browse";
        QDir().mkpath(folder + "/inner");
        QFile(folder + "/one.wav").open(QIODevice::WriteOnly);
        QVERIFY(e.GoToFolder(folder));
        e.show();
        QVERIFY(QTest::qWaitForWindowExposed(&e));
        const auto doubleClick = [](QAbstractItemView* list, int row) {
            // As the mouse does it: a click, then the second press that
            // makes it a double-click.
            const QRect r = list->visualRect(list->model()->index(row, 0));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
        };
        QCOMPARE(e.FileListBox1->count(), 1);
        doubleClick(e.FileListBox1, 0);
        QCOMPARE(e.Entries(), QStringList{folder + "/one.wav"});
        e.Model->Append({"/m/two.wav"});
        doubleClick(e.Playlist, 1);
        QCOMPARE(e.Entries(), QStringList{folder + "/one.wav"});

        // The folder list: the path down to here, then the folders inside.
        QListWidgetItem* inner = nullptr;
        for (int i = 0; i < e.DirectoryListBox1->count(); ++i)
            if (e.DirectoryListBox1->item(i)->text().trimmed() == "inner") inner = e.DirectoryListBox1->item(i);
        QVERIFY(inner);
        QTest::mouseClick(e.DirectoryListBox1->viewport(), Qt::LeftButton, {},
                          e.DirectoryListBox1->visualItemRect(inner).center());
        QTRY_COMPARE(e.CurrentFolder(), folder + "/inner");
        QCOMPARE(e.FileListBox1->count(), 0);
        // A drive: the browser goes to its root.
        const int root = e.DriveComboBox1->findData(QDir::rootPath());
        QVERIFY(root >= 0);
        e.DriveComboBox1->setCurrentIndex(root);
        emit e.DriveComboBox1->activated(root);
        QCOMPARE(e.CurrentFolder(), QDir::rootPath());
        e.CloseAction();
    }

    void rootFolderGetsOneSeparator() {
        Program p;
        QVERIFY(p.playlist->GoToFolder("/"));
        p.playlist->FileListBox1->addItem("x.wav");  // as if the root held one
        p.playlist->Button1Click();
        QCOMPARE(p.playlist->Entries().last(), QString("/x.wav"));
    }

    // The rules themselves, on plain lists.
    void closingTheEditor() {
        {
            Program p;
            TPlaylistForm& e = *p.playlist;
            // Empty: the main window stays as it was.
            p.main->OpenOne("/m/one.wav");
            e.Model->Clear();
            e.CloseAction();
            QCOMPARE(p.main->CurrentFile(), QString("/m/one.wav"));
            QCOMPARE(p.main->windowTitle(), QString("Sonivel - /m/one.wav"));
            // Otherwise the first entry is loaded, and the folder remembered.
            e.Model->Append({"/m/first.wav", "/m/second.wav"});
            QVERIFY(e.GoToFolder(dir_.path()));
            e.CloseAction();
            QCOMPARE(p.main->CurrentFile(), QString("/m/first.wav"));
            QVERIFY(p.main->NextTrack->isEnabled());
            QCOMPARE(Registry().ReadString("LastPlayListSelectionFolder"), dir_.path());
        }

        // The next run's editor opens there; a folder gone since does not
        // keep the window from opening. (One program ends before the next
        // starts: a running one would hold the next one's start-up.)
        {
            Program next;
            next.playlist->show();
            QCOMPARE(next.playlist->CurrentFolder(), dir_.path());
            next.playlist->CloseAction();
        }
        Registry().WriteString("LastPlayListSelectionFolder", dir_.path() + "/vanished");
        Program third;
        third.playlist->show();
        QVERIFY(third.playlist->isVisible());
        QVERIFY(QFileInfo(third.playlist->CurrentFolder()).isDir());
        QCOMPARE(third.playlist->windowTitle(), QString("Playlist"));
        third.playlist->CloseAction();
    }

    // The main window is of one size in both languages; the editor opens at
    // its designed size, the least its language needs, and can be made
    // larger (the playlist takes the room), which a language switch keeps.
    // It opens in the middle of the screen, wherever the main window is.
    void windowsAreFixedAndTheEditorCentred() {
        Program p;
        p.main->move(0, 0);
        for (bool french : {false, true}) {
            if (french) p.main->FrenchClick();
            p.playlist->show();
            QVERIFY(QTest::qWaitForWindowExposed(p.playlist.get()));
            QCOMPARE(p.main->minimumSize(), p.main->maximumSize());
            QCOMPARE(p.main->size(), p.main->minimumSize());
            QCOMPARE(p.playlist->minimumSize(), p.playlist->minimumSizeHint());
            if (!french) {
                QCOMPARE(p.playlist->size(), p.playlist->minimumSize());
                QVERIFY(p.playlist->maximumWidth() > p.playlist->minimumWidth() &&
                        p.playlist->maximumHeight() > p.playlist->minimumHeight());
            }
            const QRect screen = p.playlist->screen()->availableGeometry();
            const QRect frame = p.playlist->frameGeometry();
            // Centred on each axis where it fits, at the screen's edge where not.
            const auto placed = [](int start, int length, int screenStart, int screenLength) {
                const int centred = screenStart + (screenLength - length) / 2;
                return std::abs(start - std::max(centred, screenStart)) <= 1;
            };
            QVERIFY2(placed(frame.left(), frame.width(), screen.left(), screen.width()) &&
                         placed(frame.top(), frame.height(), screen.top(), screen.height()),
                     qPrintable(QString("%1,%2 %3x%4 on %5x%6").arg(frame.left()).arg(frame.top()).arg(frame.width())
                                    .arg(frame.height()).arg(screen.width()).arg(screen.height())));
            if (!french) {
                const int listWidth = p.playlist->Playlist->width();
                p.playlist->resize(p.playlist->size() + QSize(300, 120));
                QTRY_VERIFY(p.playlist->Playlist->width() >= listWidth + 100);
            }
            p.playlist->CloseAction();
        }
        // Made larger, it stays so through a language switch and a showing.
        QVERIFY(p.playlist->width() >= p.playlist->minimumWidth() + 200);
        p.main->EnglishClick();
    }

    // Each entry shows its file name first and its folder after it, the
    // whole name in its tooltip; the current one is marked and bold, and a
    // screen reader hears which it is, in the windows' language.
    void entriesShowTheirNamesAndTheCurrentOne() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        const QString folder = dir_.path() + "/deep/inside/a/folder";
        QDir().mkpath(folder);
        const QString a = test::WriteWave(folder, "a.wav", 0.2), b = test::WriteWave(folder, "b.wav", 0.2);
        p.main->OpenOne(a);
        p.main->Player().AppendEntries({b});
        const QString shownFolder = QDir::toNativeSeparators(folder);
        const auto data = [&](int row, int role) { return e.Model->index(row).data(role); };
        for (const bool french : {false, true}) {
            if (french) p.main->FrenchClick();
            const QString current = french ? "en cours" : "current";
            for (const QString& file : {a, b}) {
                const int row = static_cast<int>(e.Entries().indexOf(file));
                const bool isCurrent = file == a;
                const QString name = QFileInfo(file).fileName();
                QVERIFY(data(row, Qt::DisplayRole).toString().startsWith(name));
                QVERIFY(data(row, Qt::DisplayRole).toString().endsWith(shownFolder));
                QCOMPARE(data(row, Qt::ToolTipRole).toString(), QDir::toNativeSeparators(file));
                QCOMPARE(data(row, Qt::FontRole).value<QFont>().bold(), isCurrent);
                QCOMPARE(data(row, Qt::AccessibleTextRole).toString(),
                         name + ", " + shownFolder + (isCurrent ? ", " + current : QString()));
            }
        }
        p.main->EnglishClick();
        // The mark follows the window: a step, a list emptied.
        p.main->NextTrackClick();
        QTRY_COMPARE(e.Model->CurrentRow(), 1);
        QVERIFY(data(1, Qt::FontRole).value<QFont>().bold() && !data(0, Qt::FontRole).value<QFont>().bold());
        e.Button2Click();
        QCOMPARE(e.Model->CurrentRow(), -1);
    }

    void captionsFollowTheLanguage() {
        Program p;
        p.main->FrenchClick();
        p.playlist->show();
        QCOMPARE(p.playlist->windowTitle(), QString("Liste de jeu"));
        QCOMPARE(Shown(p.playlist->Button1), QString("<< Ajouter tous"));
        QCOMPARE(Shown(p.playlist->Button7), QString("Fermer"));
        p.playlist->CloseAction();
        p.main->EnglishClick();
    }

    void openAndSavePlaylists() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        // Empty: refused without a dialog.
        e.Button6Click();
        QCOMPARE(p.services.messages, QStringList{Q(31) + "|" + Q(58)});
        QCOMPARE(p.services.icons, QList<UiServices::Icon>{UiServices::Icon::Warning});  // the exclamation mark
        QVERIFY(p.services.dialogFolders.isEmpty());

        e.Model->Append({"/m/a.wav", "/m/b.wav", "/m/a.wav"});
        const QString saved = dir_.path() + "/list.snl";
        p.services.files << saved;
        e.Button6Click();
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("/m/a.wav\r\n/m/b.wav\r\n/m/a.wav\r\n"));
        QCOMPARE(Registry().ReadString("LastPlayListFolder"), dir_.path() + "/");
        QCOMPARE(p.services.dialogTitles.last(), QString("Save Playlist"));

        // From the main menu: loaded (duplicates too), first entry current.
        e.Model->Clear();
        p.services.files << saved;
        p.main->Openplaylist1Click();
        QCOMPARE(e.Count(), 3);
        QCOMPARE(p.main->CurrentFile(), QString("/m/a.wav"));
        QVERIFY(p.main->NextTrack->isEnabled());
        QCOMPARE(p.main->MRUFileList1()->Items(), QStringList{});
        QCOMPARE(p.services.dialogFolders.last(), dir_.path());
        // Cancelled: the close handler still runs.
        e.Model->Clear();
        e.Model->Append({"/m/kept.wav"});
        p.main->Openplaylist1Click();
        QCOMPARE(p.main->CurrentFile(), QString("/m/kept.wav"));
        // Unreadable: everything stays, the folder is not written.
        Registry().WriteString("LastPlayListFolder", "/before/");
        p.services.files << dir_.path() + "/missing.snl";
        p.main->Openplaylist1Click();
        QCOMPARE(p.services.messages.last(), "Sonivel|Cannot open file " + dir_.path() + "/missing.snl");
        QCOMPARE(e.Entries(), QStringList{"/m/kept.wav"});
        QCOMPARE(Registry().ReadString("LastPlayListFolder"), QString("/before/"));
    }

    // Lists other players wrote, opened from the main menu as a person
    // opens them: what each kind holds, in order, and one box naming what
    // was left out (in the language of the windows).
    void otherPlayersPlaylists() {
        Program p;
        TPlaylistForm& e = *p.playlist;
        QDir().mkpath(dir_.path() + "/lists/sub");
        const QString folder = dir_.path() + "/lists";
        const QString a = test::WriteWave(folder, "a.wav", 0.2);
        const QString accented = test::WriteWave(folder, QString::fromUtf8("b é.wav"), 0.2);
        const QString inSub = test::WriteWave(folder + "/sub", "c.WAV", 0.2);
        // A name in an older 8-bit encoding: its bytes, not UTF-8.
        const QByteArray latin1Bytes = QFile::encodeName(folder) + "/caf\xe9.wav";
        const QString latin1 = DecodeFileName(latin1Bytes);
        QVERIFY(QFile::copy(a, latin1));
        Write("lists/notwave.wav", "just some text, long enough to be read");
        const QString missing = folder + "/missing.wav", notWave = folder + "/notwave.wav";
        const QByteArray accentedUrl = QUrl::fromLocalFile(accented).toEncoded();

        struct Case {
            const char* name;
            QByteArray bytes;
            QStringList entries, left;
            bool french = false;
        };
        const QList<Case> cases{
            {"plain.m3u", "#EXTM3U\n#EXTINF:1,A\na.wav\n" + QFile::encodeName(accented) + "\nmissing.wav\nsub/c.WAV\n"
                          "http://radio.example/stream\n",
             {a, accented, inSub}, {missing, "http://radio.example/stream"}},
            {"windows.m3u8", "\xEF\xBB\xBF#EXTM3U\r\n# a comment\r\n" + accentedUrl + "\r\nnotwave.wav\r\nsub\\c.WAV\r\n",
             {accented, inSub}, {notWave}, true},
            {"latin1.m3u", "caf\xe9.wav\n../lists/a.wav\n", {latin1, a}, {}},
            {"numbered.pls", "[playlist]\r\nFile2=a.wav\r\nTitle2=A\r\nFile10=missing.wav\r\nFile1=sub/c.WAV\r\nNumberOfEntries=3\r\n",
             {inSub, a}, {missing}},
            {"sniffed.txt", "#EXTM3U\na.wav\n", {a}, {}},
        };
        for (const Case& c : cases) {
            CurrentLanguage().store(c.french ? kFrench : kEnglish);
            const QString list = Write(QString("lists/") + c.name, c.bytes);
            const qsizetype before = p.services.messages.size();
            p.services.files << list;
            p.main->Openplaylist1Click();
            QVERIFY2(e.Entries() == c.entries, qPrintable(QString(c.name) + ": " + e.Entries().join(" | ")));
            QCOMPARE(p.main->CurrentFile(), c.entries.front());
            if (c.left.isEmpty()) {
                QCOMPARE(p.services.messages.size(), before);
                continue;
            }
            QCOMPARE(p.services.messages.size(), before + 1);
            const QString box = p.services.messages.last();
            QVERIFY2(box.startsWith(c.french ? QString::fromUtf8("Erreur|Absents ou pas des fichiers wave")
                                             : QString("Error|Missing or not wave files")),
                     qPrintable(box));
            for (const QString& name : c.left) QVERIFY2(box.split('\n').contains(name), qPrintable(box));
        }
        CurrentLanguage().store(kEnglish);

        // Saved as M3U8 and read back: the same entries, the odd name too.
        const QStringList all{latin1, a, accented, inSub};
        e.Model->Set(all);
        p.services.files << folder + "/saved.m3u8";
        e.Button6Click();
        const QByteArray written = [&] {
            QFile f(folder + "/saved.m3u8");
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QVERIFY(written.startsWith("#EXTM3U\n" + latin1Bytes + "\n"));
        e.Model->Clear();
        p.services.files << folder + "/saved.m3u8";
        p.main->Openplaylist1Click();
        QCOMPARE(e.Entries(), all);
    }

    void droppedFiles() {
        QCOMPARE(TDropFile::FileNameOf("/music/Song.Live.wav"), QString("Song.Live.wav"));
        QCOMPARE(TDropFile::ExtensionOf("Song.Live.wav"), QString("wav"));
        QCOMPARE(TDropFile::ExtensionOf("README"), QString());
        QCOMPARE(TDropFile::FileNameOf("nofolder"), QString());

        // A folder tree: its wave files, each folder's in natural order,
        // then its subfolders'; other files and hidden ones left out.
        const QString tree = dir_.path() + "/album";
        for (const char* sub : {"CD 10", "CD 2", "CD 1", "empty"}) QDir().mkpath(tree + "/" + sub);
        for (const char* name : {"Track 10.wav", "Track 2.WAV", "notes.txt", ".hidden.wav", "CD 1/b.wav",
                                 "CD 10/a.wav", "CD 2/c.wav", "CD 2/Track 1.Wav"})
            Write(QString("album/") + name, "RIFF");
        const QStringList treeFiles{tree + "/Track 2.WAV", tree + "/Track 10.wav", tree + "/CD 1/b.wav",
                                    tree + "/CD 2/c.wav", tree + "/CD 2/Track 1.Wav", tree + "/CD 10/a.wav"};

        Program p;
        const QString longName = dir_.path() + "/" + QString(200, 'n') + ".wav";
        QList<QUrl> urls{QUrl::fromLocalFile("/m/one.wav"), QUrl::fromLocalFile("/m/two.WAV"),
                         QUrl::fromLocalFile(longName), QUrl::fromLocalFile(tree)};
        const auto drop = [&](QWidget* target) {
            QMimeData data;
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &enter);
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &event);
            return enter.isAccepted() && event.isAccepted();
        };
        // On the editor's list: every path appended in order, a folder as
        // its files, duplicates skipped.
        QSignalSpy spy(p.playlist->DropFile, &TDropFile::DropFile);
        QVERIFY(drop(p.playlist->Playlist->viewport()));
        QCOMPARE(spy.size(), 4);
        QCOMPARE(spy[0][0].toString(), QString("/m/one.wav"));
        QCOMPARE(spy[1][1].toString(), QString("two.WAV"));
        QCOMPARE(spy[1][2].toString(), QString("WAV"));
        QCOMPARE(spy[2][0].toString(), longName);
        QCOMPARE(p.playlist->Entries(), (QStringList{"/m/one.wav", "/m/two.WAV", longName} + treeFiles));
        drop(p.playlist->Playlist->viewport());
        QCOMPARE(p.playlist->Count(), 3 + treeFiles.size());
        // On the main window: each file opened in turn; the folder, one
        // choice, is the playlist, its first file current.
        QVERIFY(drop(p.main.get()));
        QCOMPARE(p.main->CurrentFile(), treeFiles.front());
        QCOMPARE(p.playlist->Entries(), treeFiles);
        QCOMPARE(p.main->MRUFileList1()->Items().size(), 4);
        QVERIFY(p.main->NextTrack->isEnabled());
        // A folder without wave files changes nothing and says so.
        urls = {QUrl::fromLocalFile(tree + "/empty")};
        QVERIFY(drop(p.main.get()));
        QCOMPARE(p.playlist->Entries(), treeFiles);
        QCOMPARE(p.services.messages.last(), "Error|There are no wave files in this folder:\n" + tree + "/empty");
        QCOMPARE(p.services.icons.last(), UiServices::Icon::Warning);
        // A playlist file, dropped on either window, named on the command
        // line or handed over, is a playlist: its entries, not itself.
        const QString m3u = Write("mix.m3u", "#EXTM3U\nalbum/CD 1/b.wav\n#EXTINF:1,a\nalbum/CD 10/a.wav\n");
        const QString pls = Write("list.PLS", "[playlist]\nFile2=album/CD 2/c.wav\nFile1=album/Track 10.wav\nNumberOfEntries=2\n");
        const QStringList fromM3u{tree + "/CD 1/b.wav", tree + "/CD 10/a.wav"};
        const QStringList fromPls{tree + "/Track 10.wav", tree + "/CD 2/c.wav"};
        urls = {QUrl::fromLocalFile(m3u)};
        QVERIFY(drop(p.main.get()));
        QCOMPARE(p.playlist->Entries(), fromM3u);
        QCOMPARE(p.main->CurrentFile(), fromM3u.front());
        p.playlist->Model->Clear();
        urls = {QUrl::fromLocalFile(pls), QUrl::fromLocalFile("/m/one.wav")};
        QVERIFY(drop(p.playlist->Playlist->viewport()));
        QCOMPARE(p.playlist->Entries(), fromPls + QStringList{"/m/one.wav"});
        p.main->OpenNames({m3u, pls}, false);
        QCOMPARE(p.playlist->Entries(), fromM3u + fromPls);
        // Drops switched off are refused.
        p.playlist->DropFile->SetEnabled(false);
        spy.clear();
        drop(p.playlist->Playlist->viewport());
        QCOMPARE(spy.size(), 0);
    }

    void naturalNameOrder() {
        const QStringList expected{"01 Intro.wav", "2 b.wav", "10 a.wav", "Track 07.wav", "Track 7.wav", "track 8.wav",
                                   "Track 10.wav", "Track 10a.wav", "Track 100.wav", "Trackless.wav"};
        QStringList names = expected;
        std::reverse(names.begin(), names.end());
        std::swap(names[2], names[7]);
        std::sort(names.begin(), names.end(), NaturalLess);
        QCOMPARE(names, expected);
    }

private:
    static QString Q(int id) { return QString::fromUtf8(Text(id).data(), static_cast<qsizetype>(Text(id).size())); }
};

QTEST_MAIN(PlaylistTest)
#include "playlist_test.moc"
