// Keyboard access and names for screen readers: every command of both
// windows can be reached without a mouse, in either language.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFile>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QtTest>

#include "playlist_model.h"
#include "ui/ui_support.h"

using namespace sonivel;
using sonivel::test::Program;
using sonivel::test::Shown;

namespace {

QString AccessibleName(QObject* object) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face ? face->text(QAccessible::Name) : QString();
}

// Every key that the menu bar and the buttons of `window` answer to, in order.
QString KeysOf(QWidget* window) {
    QString keys;
    if (auto* bar = window->findChild<QMenuBar*>()) keys += MenuBarMnemonics(bar);
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (const QChar key = MnemonicOf(b->text()); !key.isNull() && b->window() == window) keys += key;
    return keys;
}

bool AllDifferent(const QString& keys) {
    for (qsizetype i = 0; i < keys.size(); ++i)
        if (keys.indexOf(keys[i], i + 1) >= 0) return false;
    return true;
}

// Alt and the key of `button`'s mark, delivered as the window system delivers it.
void PressKeyOf(QWidget* window, const QAbstractButton* button) {
    const QChar key = MnemonicOf(button->text()).toUpper();
    QVERIFY2(!key.isNull(), qPrintable(button->text()));
    QTest::keyClick(window->windowHandle(), static_cast<Qt::Key>(key.unicode()), Qt::AltModifier);
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString Wave(const QString& name) { return test::WriteWave(dir_.path(), name); }

private slots:
    void init() { test::ResetSettings(); }

    void mnemonicsAreChosenFromTheCaptions() {
        // Word starts first, then any letter; reserved keys and earlier picks skipped.
        QCOMPARE(AddMnemonics({"Play", "Stop", "Rewind", "Previous Track", "Next Track", "Playlist..."}, "fOph"),
                 QStringList({"P&lay", "&Stop", "&Rewind", "Previous &Track", "&Next Track", "Pl&aylist..."}));
        // Non-ASCII letters are not offered: they are awkward to type with Alt.
        QCOMPARE(AddMnemonics({"Arrêter"}, "ar"), QStringList{"Arrê&ter"});
        // An existing mark stays and takes its key away from the others.
        QCOMPARE(AddMnemonics({"Open", "&Ok"}), QStringList({"O&pen", "&Ok"}));
        // Literal ampersands stay visible; a caption with no free key stays unmarked.
        QCOMPARE(AddMnemonics({"Rock & Roll", "ab", "ba", "ab"}, "c"),
                 QStringList({"&Rock && Roll", "&ab", "&ba", "ab"}));
        QCOMPARE(StripMnemonics("&Rock && Roll"), QString("Rock & Roll"));
        QCOMPARE(MnemonicOf("Rock && &Roll"), QChar('r'));
        QVERIFY(MnemonicOf("Rock && Roll").isNull());
        QCOMPARE(AddMnemonics({}), QStringList());
    }

    void everyKeyOfTheMainWindowIsItsOwnInBothLanguages() {
        Program p;
        TMainForm& m = *p.main;
        for (const int language : {kEnglish, kFrench}) {
            m.SwitchLanguage(language);
            for (QAbstractButton* b : {static_cast<QAbstractButton*>(m.PlayStop), static_cast<QAbstractButton*>(m.Rewind),
                                       static_cast<QAbstractButton*>(m.PrevTrack), static_cast<QAbstractButton*>(m.NextTrack),
                                       static_cast<QAbstractButton*>(m.PlaylistShow)})
                QVERIFY2(!MnemonicOf(b->text()).isNull(), qPrintable(b->text()));
            // Stop's key too, so no button's key moves when playback starts.
            const QStringList playStop = AddMnemonics({QString::fromUtf8(Text(kTextPlay, language).data()),
                                                       QString::fromUtf8(Text(kTextStop, language).data())},
                                                      MenuBarMnemonics(m.menuBar()));
            QCOMPARE(m.PlayStop->text(), playStop[0]);
            const QString keys = KeysOf(&m) + MnemonicOf(playStop[1]);
            QVERIFY2(AllDifferent(keys), qPrintable(keys));
            p.playlist->SetCaptions();
            QVERIFY2(AllDifferent(KeysOf(p.playlist.get())), qPrintable(KeysOf(p.playlist.get())));
            for (QAbstractButton* b : p.playlist->findChildren<QAbstractButton*>())
                QVERIFY2(!MnemonicOf(b->text()).isNull(), qPrintable(b->text()));
        }
    }

    void buttonsAnswerTheirKeysAndSpace() {
        Program p;
        TMainForm& m = *p.main;
        const QString first = Wave("a.wav"), second = Wave("b.wav");
        p.services.files << first;
        m.Open1Click();
        m.Player().AppendEntries({second});
        m.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&m));

        m.TrackBar2->setValue(500);
        // A button's key clicks it the way a mouse click looks: pressed, then released.
        PressKeyOf(&m, m.Rewind);
        QTRY_COMPARE(m.TrackBar2->value(), 0);

        PressKeyOf(&m, m.NextTrack);
        QTRY_COMPARE(m.windowTitle(), "Sonivel - " + second);

        // Space on the focused button; Tab walks the buttons in their order.
        m.PlayStop->setFocus();
        QTRY_VERIFY(m.PlayStop->hasFocus());
        QTest::keyClick(m.windowHandle(), Qt::Key_Tab);
        QVERIFY(m.Rewind->hasFocus());
        QTest::keyClick(m.windowHandle(), Qt::Key_Tab);
        QVERIFY(m.PrevTrack->hasFocus());
        QTest::keyClick(m.windowHandle(), Qt::Key_Space);
        QTRY_COMPARE(m.windowTitle(), "Sonivel - " + first);

        PressKeyOf(&m, m.PlayStop);
        QTRY_COMPARE(Shown(m.PlayStop), QString("Stop"));
        QVERIFY(m.IsPlaying());
        PressKeyOf(&m, m.PlayStop);
        QTRY_COMPARE(Shown(m.PlayStop), QString("Play"));
    }

    void everyControlHasANameInTheCurrentLanguage() {
        Program p;
        TMainForm& m = *p.main;
        const auto check = [](QWidget* window) {
            const QList<QWidget*> controls = window->findChildren<QWidget*>();
            int named = 0;
            for (QWidget* w : controls) {
                const bool interactive = qobject_cast<QAbstractButton*>(w) || qobject_cast<QAbstractSlider*>(w) ||
                                         qobject_cast<QAbstractItemView*>(w) || qobject_cast<QComboBox*>(w);
                if (!interactive || w->focusPolicy() == Qt::NoFocus || !w->objectName().size()) continue;
                QVERIFY2(!AccessibleName(w).trimmed().isEmpty(), qPrintable(w->objectName()));
                QVERIFY2(!AccessibleName(w).contains('&'), qPrintable(AccessibleName(w)));
                ++named;
            }
            QVERIFY(named > 0);
        };
        check(&m);
        check(p.playlist.get());
        for (QAction* action : m.menuBar()->actions()) QVERIFY(!action->text().isEmpty());
        QCOMPARE(AccessibleName(m.Rewind), QString("Rewind"));
        QCOMPARE(AccessibleName(p.playlist->DirectoryListBox1), QString("Folders"));

        m.SwitchLanguage(kFrench);
        p.playlist->SetCaptions();
        check(&m);
        check(p.playlist.get());
        QCOMPARE(AccessibleName(m.Rewind), QString("Rembobiner"));
        QCOMPARE(AccessibleName(p.playlist->Playlist), QString("Liste de jeu"));
        QCOMPARE(AccessibleName(p.playlist->DirectoryListBox1), QString("Dossiers"));
    }

    void theAboutBoxLinksAreLinksToAScreenReader() {
        QList<QUrl> opened;
        TAboutBox box(nullptr, [&opened](const QUrl& url) { opened << url; });
        QAccessibleInterface* link = QAccessible::queryAccessibleInterface(box.Homepage);
        QVERIFY(link);
        QCOMPARE(link->role(), QAccessible::Link);
        QCOMPARE(link->text(QAccessible::Name), box.Homepage->text());
        QVERIFY(link->actionInterface());
        QCOMPARE(link->actionInterface()->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
        link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(opened, QList<QUrl>{QUrl(box.Homepage->text())});
        QVERIFY(box.Homepage->Clicked());
    }
};

QTEST_MAIN(KeyboardTest)
#include "keyboard_test.moc"
