#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "about.h"
#include "artlabel.h"
#include "proglink.h"
#include "registry.h"
#include "shell.h"
#include "texts.h"
#include "ui/ui_support.h"

using namespace sonivel;
using sonivel::test::Program;

namespace {

QString ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString Field(const QString& entry, const QString& key) {
    for (const QString& line : entry.split('\n'))
        if (line.startsWith(key + "=")) return line.mid(key.size() + 1);
    return {};
}

// desktop-file-validate's verdict, or a skip where it is not installed.
bool Valid(const QString& path, QString* output) {
    QProcess p;
    p.start("desktop-file-validate", {path});
    if (!p.waitForFinished(10000)) return true;
    *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode() == 0;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
    QTemporaryDir home_;

private slots:
    void init() {
        // Desktop folders of a fresh account, per test.
        static int n = 0;
        const QString base = home_.path() + "/" + QString::number(++n);
        qputenv("XDG_DATA_HOME", (base + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (base + "/config").toUtf8());
        test::ResetSettings();
    }

    void launcherLink() {
        TProgLink link;
        link.SourceName = "/opt/my apps/sonivel";
        link.LinkName = "Sonivel.lnk";
        QVERIFY(link.CreateLink());
        const QString path = TProgLink::ProgramsFolder() + "/Sonivel.desktop";
        const QString entry = ReadFile(path);
        QCOMPARE(Field(entry, "Type"), QString("Application"));
        QCOMPARE(Field(entry, "Name"), QString("Sonivel"));
        QCOMPARE(Field(entry, "Exec"), QString("\"/opt/my apps/sonivel\""));
        QCOMPARE(Field(entry, "Path"), QString("/opt/my apps"));
        QCOMPARE(Field(entry, "Icon"), QString("sonivel"));
        QVERIFY(QFile::exists(QString::fromUtf8(qgetenv("XDG_DATA_HOME")) + "/icons/hicolor/48x48/apps/sonivel.png"));
        QString output;
        QVERIFY2(Valid(path, &output), qPrintable(output));

        // One new folder level is made; two are not, and nothing is written.
        link.LinkName = "Audio\\Sonivel.lnk";
        QVERIFY(link.CreateLink());
        QVERIFY(QFile::exists(TProgLink::ProgramsFolder() + "/Audio/Sonivel.desktop"));
        link.LinkName = "Deep\\Deeper\\Sonivel.lnk";
        QVERIFY(!link.CreateLink());
        QVERIFY(!QFile::exists(TProgLink::ProgramsFolder() + "/Deep"));
    }

    // Entries written for programs in folders with blanks, quotes, %, \, $,
    // ; and accents pass the validator and start that program, in its
    // folder, with the file given, when a real launcher (GLib's) runs them.
    void entriesStartTheProgramsTheyName() {
        const QString gio = QStandardPaths::findExecutable("gio");
        const QStringList folders{"plain", "my apps", "100%", "say \"hi\"", "back\\slash", "$HOME", "semi;colon",
                                  QString::fromUtf8("Été ♫")};
        int n = 0;
        for (const QString& name : folders) {
            const QString folder = home_.path() + "/programs/" + name;
            QVERIFY(QDir().mkpath(folder));
            const QString record = home_.path() + QString("/started-%1").arg(++n);
            const QString program = folder + "/sonivel";
            QFile script(program);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\nprintf '%s|%s|%s' \"$0\" \"$PWD\" \"$*\" > '" + record.toUtf8() + ".tmp'\nmv '" +
                         record.toUtf8() + ".tmp' '" + record.toUtf8() + "'\n");
            script.close();
            script.setPermissions(script.permissions() | QFile::ExeOwner);

            TProgLink link;
            link.SourceName = program;
            link.LinkName = QString("Test%1.lnk").arg(n);
            QVERIFY(link.CreateLink());
            const QString launcher = TProgLink::ProgramsFolder() + QString("/Test%1.desktop").arg(n);
            QVERIFY(AssociateWaveFiles(program, "sonivel"));
            const QString opener = TProgLink::ProgramsFolder() + "/" + kAssociationEntry;
            QString output;
            QVERIFY2(Valid(launcher, &output), qPrintable(name + ": " + output));
            QVERIFY2(Valid(opener, &output), qPrintable(name + ": " + output));
            if (name == "plain") {
                // Nothing to quote: a plain path, which every launcher parses.
                QCOMPARE(Field(ReadFile(launcher), "Exec"), program);
                QCOMPARE(Field(ReadFile(opener), "Exec"), program + " %F");
            }
            if (gio.isEmpty()) continue;
            const auto started = [&](const QString& entry, const QStringList& files) {
                QFile::remove(record);
                QProcess::execute(gio, QStringList{"launch", entry} + files);
                for (int i = 0; i < 100 && !QFile::exists(record); ++i) QTest::qWait(50);
                return ReadFile(record).split('|');
            };
            const QStringList fromMenu = started(launcher, {});
            QCOMPARE(fromMenu.size(), 3);
            QCOMPARE(QFileInfo(fromMenu[0]).canonicalFilePath(), QFileInfo(program).canonicalFilePath());
            QCOMPARE(fromMenu[1], folder);
            // Files chosen together start one program with all of them.
            const QString wave = home_.path() + "/Side A (live) & more.wav", side = home_.path() + "/Side B.wav";
            const QStringList withFile = started(opener, {wave, side});
            QCOMPARE(withFile.size(), 3);
            QCOMPARE(QFileInfo(withFile[0]).canonicalFilePath(), QFileInfo(program).canonicalFilePath());
            QCOMPARE(withFile[2], wave + " " + side);
        }
        if (gio.isEmpty()) QSKIP("gio is not installed: the entries were validated, not launched");
    }

    // The person's launcher for this program takes the installed entry's
    // place (the same desktop-file ID) instead of a second menu item.
    void launcherForThisProgramUsesItsDesktopId() {
        QGuiApplication::setDesktopFileName("sonivel");
        TProgLink link;
        link.SourceName = QCoreApplication::applicationFilePath();
        link.LinkName = "Sonivel.lnk";
        QVERIFY(link.CreateLink());
        QVERIFY(QFile::exists(TProgLink::ProgramsFolder() + "/sonivel.desktop"));
        QCOMPARE(QDir(TProgLink::ProgramsFolder()).entryList({"*.desktop"}), QStringList{"sonivel.desktop"});
        // Described in both languages, the French as French people write it.
        const QString entry = ReadFile(TProgLink::ProgramsFolder() + "/sonivel.desktop");
        QCOMPARE(Field(entry, "Comment[fr]"),
                 QString::fromUtf8("Lit les anciens fichiers WAV dans un meilleur format et les enregistre"));
        QCOMPARE(Field(entry, "GenericName[fr]"), QString::fromUtf8("Lecteur de fichiers WAV"));
        QGuiApplication::setDesktopFileName(QString());
    }

    void keyFileEditing() {
        QCOMPARE(SetKeyFileValue("", "Default Applications", "audio/wav", "a.desktop"),
                 QString("[Default Applications]\naudio/wav=a.desktop\n"));
        const QString text = "[Default Applications]\ntext/plain=gedit.desktop\naudio/wav=old.desktop\n\n"
                             "[Added Associations]\nimage/png=eog.desktop\n";
        QCOMPARE(SetKeyFileValue(text, "Default Applications", "audio/wav", "new.desktop"),
                 QString("[Default Applications]\ntext/plain=gedit.desktop\naudio/wav=new.desktop\n\n"
                         "[Added Associations]\nimage/png=eog.desktop\n"));
        QCOMPARE(SetKeyFileValue(text, "Default Applications", "audio/x-wav", "new.desktop"),
                 QString("[Default Applications]\ntext/plain=gedit.desktop\naudio/wav=old.desktop\n"
                         "audio/x-wav=new.desktop\n\n[Added Associations]\nimage/png=eog.desktop\n"));
    }

    void waveFileAssociation() {
        const QString config = QString::fromUtf8(qgetenv("XDG_CONFIG_HOME"));
        QDir().mkpath(config);
        QFile list(config + "/mimeapps.list");
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("[Default Applications]\ntext/plain=gedit.desktop\n\n[Added Associations]\nimage/png=eog.desktop;\n");
        list.close();

        Program p;
        p.main->AssociatewavefileswithSonivel1Click();
        QVERIFY(p.services.messages.isEmpty());
        const QString entryPath = TProgLink::ProgramsFolder() + "/" + kAssociationEntry;
        const QString entry = ReadFile(entryPath);
        QCOMPARE(Field(entry, "MimeType"), QString("audio/x-wav;audio/wav;audio/vnd.wave;"));
        QVERIFY(Field(entry, "Exec").startsWith(QCoreApplication::applicationFilePath() + " "));
        QVERIFY(Field(entry, "Exec").endsWith(" %F"));
        QString output;
        QVERIFY2(Valid(entryPath, &output), qPrintable(output));
        const QString defaults = ReadFile(config + "/mimeapps.list");
        for (const char* type : kWaveMimeTypes)
            QVERIFY(defaults.contains(QString(type) + "=" + kAssociationEntry));
        QVERIFY(defaults.contains("text/plain=gedit.desktop"));
        // Listed among the programs that open wave files, beside the others.
        for (const char* type : kWaveMimeTypes)
            QVERIFY(defaults.contains(QString(type) + "=" + kAssociationEntry + ";"));
        QVERIFY(defaults.contains("image/png=eog.desktop;"));
        QCOMPARE(AddToKeyFileList("[Added Associations]\naudio/wav=vlc.desktop;\n", "Added Associations", "audio/wav",
                                  "sonivel-open.desktop"),
                 QString("[Added Associations]\naudio/wav=sonivel-open.desktop;vlc.desktop;\n"));
        // Twice: the same files.
        p.main->AssociatewavefileswithSonivel1Click();
        QCOMPARE(ReadFile(config + "/mimeapps.list"), defaults);
        QCOMPARE(ReadFile(entryPath), entry);

        // A path with blanks is quoted, so the file manager starts it whole.
        QVERIFY(AssociateWaveFiles("/opt/my apps/sonivel", "sonivel"));
        QCOMPARE(Field(ReadFile(entryPath), "Exec"), QString("\"/opt/my apps/sonivel\" %F"));
    }

    void helpCommands() {
        // One window, with the desktop replaced by a recorder (deps are taken
        // at construction); a second window in this process would wait for
        // the first one's instance lock.
        test::CountingDevice device;
        SystemClock clock;
        QList<QUrl> opened;
        bool succeed = true;
        MainFormDeps deps;
        test::TestServices services;
        deps.services = &services;
        deps.device = &device;
        deps.clock = &clock;
        deps.programFolder = "/opt/sonivel";
        deps.handoffWaitMs = 1;
        deps.openUrl = [&](const QUrl& url) {
            opened << url;
            return succeed;
        };
        TMainForm form(deps, {});
        QVERIFY(form.FormCreate());

        form.UsingSonivel1Click();
        QCOMPARE(opened.last(), QUrl::fromLocalFile("/opt/sonivel/help.htm"));
        QVERIFY(services.messages.isEmpty());
        QVERIFY(!Registry().ValueExists("NoFrenchManual"));  // English: no notice, no marker

        form.FrenchClick();
        form.Intextformat1Click();
        QCOMPARE(services.messages.size(), 1);
        QCOMPARE(services.messages.front(), "|" + QString::fromUtf8(Text(59, kFrench).data()));
        QVERIFY(Registry().ValueExists("NoFrenchManual"));
        QCOMPARE(opened.last(), QUrl::fromLocalFile("/opt/sonivel/help.txt"));
        form.UsingSonivel1Click();
        QCOMPARE(services.messages.size(), 1);  // once

        succeed = false;
        form.Intextformat1Click();
        QCOMPARE(services.messages.last(),
                 QString::fromUtf8("Erreur|Fichier de texte d'aide ne peut être ouvert."));
        form.EnglishClick();
        form.UsingSonivel1Click();
        QCOMPARE(services.messages.last(),
                 QString("Error|Could not open your web browser. Try\nthe text format version of the online help."));
        form.close();
    }

    void helpFilesAreFoundBesideTheProgram() {
        // The build puts them beside the programs; the real opener refuses a missing one.
        QVERIFY(QFile::exists(QString(SONIVEL_APP_DIR) + "/help.htm"));
        QVERIFY(QFile::exists(QString(SONIVEL_APP_DIR) + "/help.txt"));
        QVERIFY(!OpenWithDesktop(QUrl::fromLocalFile("/nonexistent/help.txt")));
    }

    void aboutBox() {
        QList<QUrl> opened;
        TAboutBox box(nullptr, [&](const QUrl& url) { opened << url; });
        box.show();
        QCOMPARE(box.windowTitle(), QString("About Sonivel"));
        QCOMPARE(box.PageControl1->currentWidget(), box.TabSheet1);
        box.Homepage->Click();
        QCOMPARE(opened.last(), QUrl(box.Homepage->text()));
        QVERIFY(box.Homepage->styleSheet().contains("red"));
        QVERIFY(box.EMail->styleSheet().contains("blue"));
        box.accept();

        CurrentLanguage().store(kFrench);
        box.show();
        QCOMPARE(box.windowTitle(), QString::fromUtf8("À propos de Sonivel"));
        QCOMPARE(box.PageControl1->currentWidget(), box.TabSheet2);
        QCOMPARE(box.Notice->text(), QString::fromUtf8("Libre d'utilisation, de copie et de diffusion."));
        box.Label6->Click();
        QCOMPARE(opened.last(), QUrl(TAboutBox::kMail));
        box.accept();
        CurrentLanguage().store(kEnglish);
        box.show();
        QCOMPARE(box.PageControl1->currentWidget(), box.TabSheet1);
        QVERIFY(box.Homepage->styleSheet().contains("red"));  // still red on a later showing
        box.EMail->Click();
        QCOMPARE(opened.last(), QUrl(TAboutBox::kMail));  // the stored address, not the label
        box.accept();
    }

    // Both captions of the About box, as it sets them: each stripe of the
    // fill is there, and every fill pixel stands out at least 4.5:1 from
    // each neighbour outside the letters (WCAG's ratio of luminances).
    void decorativeLabelPaints() {
        const auto luminance = [](QColor c) {
            const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
            return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
        };
        for (const auto& [family, size, text] : {std::tuple{"Times New Roman", 16, "Version 2.0"}, std::tuple{"Arial", 32, "Sonivel"}}) {
            TArtLabel caption(text);
            QFont f(family);
            f.setBold(true);
            f.setPixelSize(size);
            caption.setFont(f);
            caption.resize(caption.sizeHint());
            const QImage shot = caption.grab().toImage();
            const auto isFill = [&](QColor c) { return std::count(std::begin(TArtLabel::kStripeColors), std::end(TArtLabel::kStripeColors), c) > 0; };
            double worst = 21;
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x) {
                    const QColor c = shot.pixelColor(x, y);
                    if (!isFill(c)) continue;
                    for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                        const QPoint n = QPoint(x, y) + d;
                        if (!shot.rect().contains(n) || isFill(shot.pixelColor(n))) continue;
                        const double a = luminance(c), b = luminance(shot.pixelColor(n));
                        worst = std::min(worst, (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05));
                    }
                }
            QVERIFY2(worst >= 4.5, qPrintable(QString("%1: %2:1").arg(text).arg(worst)));
        }

        TArtLabel label("Sonivel");
        QFont font("Arial");
        font.setBold(true);
        font.setPixelSize(32);
        label.setFont(font);
        label.resize(label.sizeHint());
        const QImage image = label.grab().toImage();
        const QColor face = label.palette().button().color();
        int stripes[3] = {0, 0, 0}, white = 0, shadow = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c == face) continue;
                for (int k = 0; k < 3; ++k)
                    if (c == TArtLabel::kStripeColors[k]) ++stripes[k];
                if (c == Qt::white) ++white;
            }
        QVERIFY(stripes[0] > 20 && stripes[1] > 20 && stripes[2] > 20);
        QVERIFY(white > 20);
        // Below the letters' lowest row, only the shadow reaches.
        int lowest = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == Qt::white) lowest = std::max(lowest, y);
        for (int y = lowest + 1; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(128, 128, 128)) ++shadow;
        QVERIFY(shadow > 5);
        // A horizontal stripe is two pixels high: within a letter, colours
        // change every second row.
        label.SetText("I");
        QCOMPARE(label.Text(), QString("I"));
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
