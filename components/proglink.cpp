#include "proglink.h"

#include "win_shortcut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStandardPaths>

#include "desktop_icon.h"
#include "shell.h"

namespace sonivel {

QString TProgLink::ProgramsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
}

bool TProgLink::CreateLink() {
#ifdef _WIN32
    // The shell's own shortcut, in the Start menu's programs.
    if (SourceName.isEmpty() || LinkName.isEmpty()) return false;
    return CreateStartMenuShortcut(QDir::toNativeSeparators(QFileInfo(SourceName).absoluteFilePath()).toStdWString(),
                                   QString(LinkName).replace('/', '\\').toStdWString());
#else
    const QString folder = ProgramsFolder();
    if (folder.isEmpty() || SourceName.isEmpty() || LinkName.isEmpty()) return false;
    // LinkName may separate its folder with a backslash, as on Windows.
    QString relative = QString(LinkName).replace(QChar(0x5C), QChar(0x2F));
    if (relative.endsWith(".lnk", Qt::CaseInsensitive)) relative.chop(4);
    // A link to this program carries its desktop-file ID, so the person's
    // entry takes the place of the installed one instead of a second item.
    const QString id = QGuiApplication::desktopFileName();
    const int slash = static_cast<int>(relative.lastIndexOf('/'));
    if (!id.isEmpty() && QFileInfo(SourceName).canonicalFilePath() == QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath() &&
        relative.mid(slash + 1).compare(id, Qt::CaseInsensitive) == 0)
        relative = relative.left(slash + 1) + id;
    const QString linkPath = folder + "/" + relative + ".desktop";
    // One level of folder is made, as a single directory creation; deeper
    // new folders are not, and the link then cannot be written.
    QDir().mkpath(folder);
    QDir().mkdir(QFileInfo(linkPath).absolutePath());
    const QFileInfo program(SourceName);
    const QString entry = SonivelDesktopEntry(QuoteDesktopExec(DesktopExecProgram(program.absoluteFilePath())), InstallDesktopIcon(),
                                              "Path=" + EscapeDesktopString(program.absolutePath()) + "\n");
    QSaveFile file(linkPath);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(entry.toUtf8());
    return file.commit();
#endif
}

}  // namespace sonivel
