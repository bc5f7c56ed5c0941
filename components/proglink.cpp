#include "proglink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "desktop_icon.h"
#include "shell.h"

namespace sonivel {

QString TProgLink::ProgramsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
}

bool TProgLink::CreateLink() {
    const QString folder = ProgramsFolder();
    if (folder.isEmpty() || SourceName.isEmpty() || LinkName.isEmpty()) return false;
    // LinkName may separate its folder with a backslash, as on Windows.
    QString relative = QString(LinkName).replace(QChar(0x5C), QChar(0x2F));
    if (relative.endsWith(".lnk", Qt::CaseInsensitive)) relative.chop(4);
    const QString linkPath = folder + "/" + relative + ".desktop";
    // One level of folder is made, as a single directory creation; deeper
    // new folders are not, and the link then cannot be written.
    QDir().mkpath(folder);
    QDir().mkdir(QFileInfo(linkPath).absolutePath());
    const QFileInfo program(SourceName);
    const QString entry = SonivelDesktopEntry(QuoteDesktopExec(program.absoluteFilePath()), InstallDesktopIcon(),
                                              "Path=" + program.absolutePath() + "\n");
    QSaveFile file(linkPath);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(entry.toUtf8());
    return file.commit();
}

}  // namespace sonivel
