#include "shell.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace sonivel {

QString SetKeyFileValue(const QString& text, const QString& section, const QString& key, const QString& value) {
    QStringList lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    const QString header = "[" + section + "]";
    int start = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].trimmed() == header) {
            start = i;
            break;
        }
    if (start < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines << QString();
        lines << header << key + "=" + value;
        return lines.join('\n') + '\n';
    }
    int end = start + 1;
    while (end < lines.size() && !lines[end].trimmed().startsWith('[')) ++end;
    for (int i = start + 1; i < end; ++i) {
        const QString line = lines[i].trimmed();
        if (line.section('=', 0, 0).trimmed() == key && line.contains('=')) {
            lines[i] = key + "=" + value;
            return lines.join('\n') + '\n';
        }
    }
    // After the section's last key, before any blank lines that close it.
    int at = end;
    while (at > start + 1 && lines[at - 1].trimmed().isEmpty()) --at;
    lines.insert(at, key + "=" + value);
    return lines.join('\n') + '\n';
}

namespace {

bool WriteText(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(text.toUtf8());
    return file.commit();
}

QString ReadText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

}  // namespace

QString QuoteDesktopExec(const QString& program) {
    QString quoted = program;
    quoted.replace("\\", "\\\\").replace("\"", "\\\"").replace("`", "\\`").replace("$", "\\$");
    return "\"" + quoted + "\"";
}

QString SonivelDesktopEntry(const QString& exec, const QString& icon, const QString& extra) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Sonivel\n"
           "GenericName=Wave player\n"
           "Comment=Plays wave files in a better format and saves them\n"
           "Exec=" + exec + "\n"
           "Icon=" + icon + "\n"
           "Terminal=false\n"
           "Categories=AudioVideo;Audio;Player;\n" + extra;
}

bool AssociateWaveFiles(const QString& program, const QString& iconName) {
#ifdef _WIN32
    QSettings root("HKEY_CLASSES_ROOT", QSettings::NativeFormat);
    root.setValue(".wav/.", "Sonivel");
    root.setValue("Sonivel/.", "Wave Sound");
    root.setValue("Sonivel/shell/.", "Play");
    root.setValue("Sonivel/shell/play/.", "Play");
    root.setValue("Sonivel/shell/play/command/.", "\"" + QDir::toNativeSeparators(program) + "\" \"%1\"");
    root.setValue("Sonivel/DefaultIcon/.", QDir::toNativeSeparators(program) + ",0");
    root.sync();
    (void)iconName;
    return root.status() == QSettings::NoError;
#else
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    // Hidden from menus: the launcher is the menu entry; this one only opens files.
    const QString entry = SonivelDesktopEntry(QuoteDesktopExec(QFileInfo(program).absoluteFilePath()) + " %f",
                                              iconName,
                                              "NoDisplay=true\nMimeType=audio/x-wav;audio/wav;audio/vnd.wave;\n");
    if (!WriteText(applications + "/" + kAssociationEntry, entry)) return false;
    const QString list = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/mimeapps.list";
    QString text = ReadText(list);
    for (const char* type : kWaveMimeTypes)
        text = SetKeyFileValue(text, "Default Applications", type, kAssociationEntry);
    return WriteText(list, text);
#endif
}

bool OpenWithDesktop(const QUrl& url) {
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace sonivel
