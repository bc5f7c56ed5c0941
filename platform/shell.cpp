#include "shell.h"

#include "win_association.h"

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


QString AddToKeyFileList(const QString& text, const QString& section, const QString& key, const QString& item) {
    // The current value of the key in the section, if any.
    const QStringList lines = text.split('\n');
    const QString header = "[" + section + "]";
    bool inSection = false;
    QString current;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith('[')) inSection = line == header;
        else if (inSection && line.contains('=') && line.section('=', 0, 0).trimmed() == key)
            current = line.section('=', 1).trimmed();
    }
    QStringList items = current.split(';', Qt::SkipEmptyParts);
    if (items.contains(item)) return text;
    items.prepend(item);
    return SetKeyFileValue(text, section, key, items.join(';') + ';');
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

QString EscapeDesktopString(const QString& value) {
    QString escaped;
    escaped.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == '\\') escaped += "\\\\";
        else if (c == '\n') escaped += "\\n";
        else if (c == '\t') escaped += "\\t";
        else if (c == '\r') escaped += "\\r";
        else if (c == ' ' && i == 0) escaped += "\\s";  // a leading blank would be trimmed
        else escaped += c;
    }
    return escaped;
}

QString QuoteDesktopExec(const QString& program) {
    // A literal % is written %%, or it would start a field code.
    QString argument = QString(program).replace("%", "%%");
    // Quoted only when it holds a character the Exec syntax reserves: some
    // launchers cannot parse quotes around a plain path.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument) needsQuotes = needsQuotes || reserved.contains(c);
    if (needsQuotes) {
        QString quoted;
        for (const QChar c : argument) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
            quoted += c;
        }
        argument = '"' + quoted + '"';
    }
    // Then the escapes every string value of the file has.
    return EscapeDesktopString(argument);
}

QString DesktopExecProgram(const QString& program) {
    const QString absolute = QFileInfo(program).absoluteFilePath();
#ifndef _WIN32
    // GLib's launchers look the program up before undoing %%, so a path with
    // a % could never start from them: such a program is started through a
    // link of the person's own, under a plain name.
    if (absolute.contains('%')) {
        const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/sonivel/bin";
        const QString link = folder + "/sonivel";
        if (!link.contains('%') && QDir().mkpath(folder)) {
            if (QFileInfo(link).symLinkTarget() != absolute) {
                QFile::remove(link);
                if (!QFile::link(absolute, link)) return absolute;
            }
            return link;
        }
    }
#endif
    return absolute;
}

QString SonivelDesktopEntry(const QString& exec, const QString& icon, const QString& extra) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Sonivel\n"
           "GenericName=Wave player\n"
           "GenericName[fr]=Lecteur de fichiers WAV\n"
           "Comment=Plays old wave files in a better format and saves them\n"
           "Comment[fr]=Lit les anciens fichiers WAV dans un meilleur format et les enregistre\n"
           "Exec=" + exec + "\n"
           "Icon=" + EscapeDesktopString(icon) + "\n"
           "Terminal=false\n"
           "Categories=AudioVideo;Audio;Player;\n" + extra;
}

namespace {
// The wave types as a desktop entry lists them: "a;b;c;".
QString MimeTypeList() {
    QString list;
    for (const char* type : kWaveMimeTypes) list += QString(type) + ';';
    return list;
}
}  // namespace

bool AssociateWaveFiles(const QString& program, const QString& iconName) {
#ifdef _WIN32
    (void)iconName;
    return AssociateWaveFilesWindows(QDir::toNativeSeparators(program).toStdWString());
#else
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    // Hidden from menus: the launcher is the menu entry; this one only opens files.
    const QString entry = SonivelDesktopEntry(QuoteDesktopExec(DesktopExecProgram(program)) + " %F",
                                              iconName,
                                              "NoDisplay=true\nMimeType=" + MimeTypeList() + "\n");
    if (!WriteText(applications + "/" + kAssociationEntry, entry)) return false;
    const QString list = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/mimeapps.list";
    QString text = ReadText(list);
    // The default, and listed among the programs that can open wave files
    // ("Open With"), without waiting for the desktop's cache to be rebuilt.
    for (const char* type : kWaveMimeTypes) {
        text = SetKeyFileValue(text, "Default Applications", type, kAssociationEntry);
        text = AddToKeyFileList(text, "Added Associations", type, kAssociationEntry);
    }
    return WriteText(list, text);
#endif
}

bool OpenWithDesktop(const QUrl& url) {
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile())) return false;
    return QDesktopServices::openUrl(url);
}

}  // namespace sonivel
