// Settings files that someone edited by hand, that another program or
// version wrote, or that were damaged: the program starts with what it can
// use, says what the settings layer says where a value cannot be read, and
// the next close leaves a file that reads back cleanly.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QtTest>

#include "mrufilelist.h"
#include "registry.h"
#include "ui/ui_support.h"

using namespace sonivel;
using sonivel::test::Program;

namespace {

const char* const kSwitches[] = {"44100Hz",       "16Bits",     "Stereo", "PlayOnSave",
                                 "StereoEffects", "AutoRepeat", "HighQualityInterpolation"};

QString SettingsPath() { return Registry().Settings().fileName(); }

void WriteSettingsFile(const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(SettingsPath()).absolutePath());
    QFile file(SettingsPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The default output: 44100 Hz, 16 bits, stereo with the effect, English.
void VerifyDefaults(TMainForm& m) {
    QVERIFY(m.N44100Hz1->isChecked() && !m.N1->isChecked());
    QVERIFY(m.N16bitspersample1->isChecked() && m.Stereo1->isChecked() && m.StereoEffects->isChecked());
    QVERIFY(!m.PlayonSave->isChecked() && !m.AutoRepeat->isChecked());
    QVERIFY(!m.HighQualityInterpolation->isChecked());
    QVERIFY(m.English->isChecked());
}

// What the close wrote: every switch a plain 0 or 1, and a second start
// that reads it without a word.
void VerifyCleanAfterClose() {
    Registry store;
    for (const char* name : kSwitches) {
        QString error;
        const std::optional<int> v = store.ReadInteger(name, &error);
        QVERIFY2(v && (*v == 0 || *v == 1), qPrintable(error));
    }
    const QString language = store.ReadString("Language");
    QVERIFY2(language == "English" || language == "French", qPrintable(language.left(40)));
    Program again;
    QVERIFY2(again.services.messages.isEmpty(), qPrintable(again.services.messages.join("; ")));
}

}  // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { test::ResetSettings(); }

    // With no language stored, the first start follows the desktop's
    // locale; a stored language wins over it.
    void firstStartFollowsTheDesktopLanguage() {
        const char* names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
        QList<QByteArray> saved;
        for (const char* n : names) saved << qgetenv(n);
        struct Case {
            QList<QByteArray> env;  // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
            QString stored;
            int expected;
        };
        const QList<Case> cases = {
            {{"fr", "", "", "fr_FR.UTF-8"}, {}, kFrench},
            {{"", "", "", "fr_CA.UTF-8"}, {}, kFrench},
            {{"", "fr_BE.UTF-8", "de_DE.UTF-8", "en_US.UTF-8"}, {}, kFrench},
            {{"fr:en", "", "", "C"}, {}, kFrench},
            {{"en_GB:fr", "", "", "fr_FR.UTF-8"}, {}, kEnglish},
            {{"", "", "de_DE.UTF-8", "fr_FR.UTF-8"}, {}, kEnglish},
            {{"", "", "", ""}, {}, kEnglish},
            {{"fr", "", "", "fr_FR.UTF-8"}, "English", kEnglish},
            {{"", "", "", "en_US.UTF-8"}, "French", kFrench},
        };
        for (const Case& c : cases) {
            test::ResetSettings();
            for (int i = 0; i < 4; ++i) qputenv(names[i], c.env[i]);
            if (!c.stored.isEmpty())
                WriteSettingsFile("[General]\n44100Hz=1\n16Bits=1\nStereo=1\nPlayOnSave=0\nStereoEffects=1\n"
                                  "AutoRepeat=0\nLanguage=" + c.stored.toUtf8() + "\n");
            Program p;
            QVERIFY2(p.main->Model().Language() == c.expected, c.env.join(' ').constData());
            QCOMPARE(p.main->French->isChecked(), c.expected == kFrench);
        }
        for (int i = 0; i < 4; ++i) qputenv(names[i], saved[i]);
    }

    void aDamagedFileGivesTheDefaultsAndIsRewritten() {
        // Random bytes, NULs and half a section header: none of it is a setting.
        QByteArray junk(4096, '\0');
        QRandomGenerator rng(7);
        for (char& c : junk) c = static_cast<char>(rng.bounded(256));
        for (const QByteArray& bytes : {junk, QByteArray("[General\n44100Hz\n\0\0\xff\xfe", 20),
                                        QByteArray("\xef\xbb\xbf[Gen\x00\x01", 10)}) {
            WriteSettingsFile(bytes);
            {
                Program p;
                QVERIFY(p.created);
                VerifyDefaults(*p.main);
                QVERIFY(p.main->RenderThread() && p.main->RenderThread()->StartupState() == PlayThread::Startup::Ready);
                p.main->close();
            }
            VerifyCleanAfterClose();
            test::ResetSettings();
        }
    }

    void valuesOfTheWrongTypeAreNamed() {
        struct Case {
            const char* line;
            const char* message;  // the settings layer's, naming the value
        };
        const Case cases[] = {
            {"44100Hz=yes", "Invalid data type for '44100Hz'"},
            {"44100Hz=\"1, 0\"", "Invalid data type for '44100Hz'"},
            {"44100Hz=1, 0", "Invalid data type for '44100Hz'"},
            {"44100Hz=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x6QPoint)", "Invalid data type for '44100Hz'"},
            {"44100Hz=99999999999999999999", "Invalid data type for '44100Hz'"},
            {"44100Hz=", "Invalid data type for '44100Hz'"},
        };
        for (const Case& c : cases) {
            QByteArray file = "[General]\n";
            file += c.line;
            file += "\n16Bits=0\nStereo=0\nPlayOnSave=1\nStereoEffects=0\nAutoRepeat=1\nLanguage=French\n";
            WriteSettingsFile(file);
            {
                Program p;
                QCOMPARE(p.services.messages, QStringList{QString("Sonivel|") + c.message});
                // The first value could not be read: it and the ones after it keep their defaults.
                VerifyDefaults(*p.main);
                p.main->close();
            }
            VerifyCleanAfterClose();
            test::ResetSettings();
        }
    }

    // Settings of older versions have no interpolation value: the classic one,
    // without a word. A value that is there is read like the others.
    void theInterpolationValueMayBeMissingButNotWrong() {
        const QByteArray older = "[General]\n44100Hz=1\n16Bits=1\nStereo=1\nPlayOnSave=0\nStereoEffects=1\nAutoRepeat=0\n";
        struct Case {
            const char* line;
            bool checked;
            const char* message;
        };
        const Case cases[] = {{"", false, nullptr},
                              {"HighQualityInterpolation=1\n", true, nullptr},
                              {"HighQualityInterpolation=0\n", false, nullptr},
                              {"HighQualityInterpolation=maybe\n", false, "Invalid data type for 'HighQualityInterpolation'"}};
        for (const Case& c : cases) {
            WriteSettingsFile(older + c.line);
            {
                Program p;
                QCOMPARE(p.main->HighQualityInterpolation->isChecked(), c.checked);
                QCOMPARE(p.services.messages, c.message ? QStringList{QString("Sonivel|") + c.message} : QStringList{});
                p.main->close();
            }
            VerifyCleanAfterClose();
            test::ResetSettings();
        }
    }

    void numbersAnotherVersionWroteStillMeanOnAndOff() {
        WriteSettingsFile("[General]\n44100Hz=2\n16Bits=-1\nStereo=\" 0 \"\nPlayOnSave=0\nStereoEffects=0\n"
                          "AutoRepeat=1\nLanguage=French\nSomethingNewer=3\n");
        {
            Program p;
            QVERIFY(p.services.messages.isEmpty());
            TMainForm& m = *p.main;
            QVERIFY(m.N44100Hz1->isChecked() && m.N16bitspersample1->isChecked() && m.Mono1->isChecked());
            QVERIFY(!m.StereoEffects->isChecked() && m.AutoRepeat->isChecked() && m.French->isChecked());
            m.close();
        }
        QCOMPARE(Registry().ReadInteger("44100Hz").value(), 1);
        // A value this version does not know is left for the one that wrote it.
        QCOMPARE(Registry().ReadInteger("SomethingNewer").value(), 3);
        VerifyCleanAfterClose();
    }

    void hugeValuesAndLongListsDoNotStopTheProgram() {
        const QString longName = "/" + QString(100000, 'n') + ".wav";
        QByteArray file = "[General]\n44100Hz=1\n16Bits=1\nStereo=1\nPlayOnSave=0\nStereoEffects=1\nAutoRepeat=0\n";
        file += "Language=" + QByteArray(1 << 20, 'F') + "\n";
        file += "LastOpenFolder=" + QByteArray(1 << 20, 'd') + "\n";
        file += "\n[MRU%20Items]\n";
        for (int i = 0; i < 300; ++i) file += "F" + QByteArray::number(i) + "=/music/track" + QByteArray::number(i) + ".wav\n";
        file += "F300=" + longName.toUtf8() + "\n";
        WriteSettingsFile(file);
        {
            Program p;
            QVERIFY(p.created);
            QVERIFY(p.services.messages.isEmpty());
            QVERIFY(p.main->English->isChecked());
            // The recent-file items stay within reach: a long name is shortened for the menu.
            for (QAction* a : p.main->File1->actions())
                QVERIFY2(p.main->File1->fontMetrics().horizontalAdvance(a->text()) < 400, qPrintable(a->text().left(40)));
            // The stored folder, however long, is no folder: the open dialog
            // starts at home, and the program goes on.
            p.main->Open1Click();
            QCOMPARE(p.services.dialogFolders.last(), QDir::homePath());
            p.main->close();
        }
        VerifyCleanAfterClose();
    }

    void anUnwritableSettingsFileDoesNotStopTheClose() {
        // The settings file is a folder: nothing can be read or written there.
        QFile::remove(SettingsPath());
        QVERIFY(QDir().mkpath(SettingsPath()));
        {
            Program p;
            QVERIFY(p.created);
            VerifyDefaults(*p.main);
            p.main->close();
        }
        QVERIFY(QFileInfo(SettingsPath()).isDir());
        QVERIFY(QDir().rmdir(SettingsPath()));
    }
};

QTEST_MAIN(SettingsTest)
#include "settings_test.moc"
