#include "playlist_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "file_names.h"
#include "os.h"
#include "texts.h"

namespace sonivel {

QStringList ParsePlaylist(const QByteArray& raw) {
    QByteArray bytes = raw;
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0) bytes.truncate(nul);
    QStringList entries;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        entries << DecodeFileName(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) entries << DecodeFileName(bytes.mid(start));
    return entries;
}

namespace {

// A playlist file's error in the current language, its name as shown.
QString NamedError(int textId, const QString& path) {
    return QString::fromStdString(
        FormatText(textId, {QDir::toNativeSeparators(path).toUtf8().toStdString()}, CurrentLanguage().load()));
}

// The lines of a list made by another program: any line break, the byte
// order mark skipped, blank lines left out. A line is taken as it stands: a
// name may begin or end with a space.
QList<QByteArray> ListLines(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
    bytes.replace("\r\n", "\n");
    bytes.replace('\r', '\n');
    QList<QByteArray> lines;
    for (const QByteArray& line : bytes.split('\n'))
        if (!line.trimmed().isEmpty()) lines << line;
    return lines;
}

// `path` made absolute against `folder`, and cleaned. Done here rather than
// by QDir, which takes a name starting with ':' for one of its resources.
QString AbsoluteIn(const QString& folder, const QString& path) {
    if (QDir::isAbsolutePath(path) && !path.startsWith(':')) return QDir::cleanPath(path);
    return QDir::cleanPath(folder + '/' + path);
}

// One entry of such a list as a path: a file:// address decoded, a relative
// name put in `folder`. A list written on Windows separates its folders
// with backslashes: they are read as separators where the name as written
// does not exist.
QString EntryPath(const QByteArray& entry, const QString& folder) {
    QByteArray bytes = entry;
    const bool fileAddress = bytes.left(7).toLower() == "file://";
    // An address of another kind (a stream) is no file here: kept as
    // written, so that it is named as the list names it.
    static const QRegularExpression otherAddress("^[A-Za-z][A-Za-z0-9+.-]*://");
    if (!fileAddress && otherAddress.match(QString::fromLatin1(bytes.left(40))).hasMatch()) {
        const QString address = DecodeFileName(bytes);
        return FitsPlaylistLine(address) ? address : QString();
    }
    if (fileAddress) {
        bytes.remove(0, 7);
        const qsizetype slash = bytes.indexOf('/');  // after the host, if any
        bytes = slash < 0 ? QByteArray() : QByteArray::fromPercentEncoding(bytes.mid(slash));
    }
    QString path = DecodeFileName(bytes);
    // A decoded address can hold a line break, which no playlist can.
    if (path.isEmpty() || !FitsPlaylistLine(path)) return {};
#ifndef _WIN32
    if (path.contains('\\')) {
        QString slashed = path;
        slashed.replace('\\', '/');
        if (!QFileInfo::exists(AbsoluteIn(folder, path)) && QFileInfo::exists(AbsoluteIn(folder, slashed))) path = slashed;
    }
#endif
    return QDir::toNativeSeparators(AbsoluteIn(folder, path));
}

}  // namespace

PlaylistKind PlaylistKindOf(const QString& path, const QByteArray& bytes) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == "m3u" || suffix == "m3u8") return PlaylistKind::M3u;
    if (suffix == "pls") return PlaylistKind::Pls;
    if (suffix == "snl") return PlaylistKind::Snl;
    const QList<QByteArray> lines = ListLines(bytes.left(256));
    const QByteArray first = lines.isEmpty() ? QByteArray() : lines.front().trimmed().toLower();
    if (first.startsWith("#extm3u")) return PlaylistKind::M3u;
    if (first == "[playlist]") return PlaylistKind::Pls;
    return PlaylistKind::Snl;
}

PlaylistKind SavedKindOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == "m3u8" || suffix == "m3u" ? PlaylistKind::M3u : PlaylistKind::Snl;
}

QStringList ParseM3u(const QByteArray& bytes, const QString& folder) {
    QStringList entries;
    for (const QByteArray& line : ListLines(bytes))
        if (!line.trimmed().startsWith('#')) entries << EntryPath(line, folder);
    entries.removeAll(QString());
    return entries;
}

QStringList ParsePls(const QByteArray& bytes, const QString& folder) {
    QList<std::pair<qint64, QString>> numbered;
    for (const QByteArray& raw : ListLines(bytes)) {
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq < 5 || line.left(4).toLower() != "file") continue;
        bool ok = false;
        const qint64 n = line.mid(4, eq - 4).trimmed().toLongLong(&ok);
        const QString path = EntryPath(line.mid(eq + 1).trimmed(), folder);
        if (ok && !path.isEmpty()) numbered.append({n, path});
    }
    std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList entries;
    for (const auto& [n, path] : numbered) entries << path;
    return entries;
}

QByteArray FormatM3u8(const QStringList& entries) {
    QByteArray out = "#EXTM3U\n";
    const QString here = QDir::currentPath();
    for (const QString& e : entries) out += EncodeFileName(AbsoluteIn(here, QDir::fromNativeSeparators(e))) + "\n";
    return out;
}

QByteArray FormatPlaylist(const QStringList& entries) {
    QByteArray out;
    for (const QString& e : entries) out += EncodeFileName(e) + "\r\n";
    return out;
}

bool ReadPlaylistFile(const QString& path, QStringList& entries, QString* error, PlaylistKind* kind) {
    const auto fail = [&] {
        if (error) *error = NamedError(kTextCannotOpenNamed, path);
        return false;
    };
    QFile file;
#ifdef _WIN32
    if (!QFileInfo(path).isFile()) return fail();
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly)) return fail();
#else
    // Only a regular file is a playlist: opening a FIFO would wait for a
    // writer, and a device such as /dev/zero would read without end.
    const int fd = OpenRegularFileForReading(EncodeFileName(path).constData());
    if (fd < 0) return fail();
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail();
    }
#endif
    // A playlist of names is small; anything far larger is not one.
    constexpr qint64 kMaxPlaylistBytes = 64 << 20;
    if (file.size() > kMaxPlaylistBytes) return fail();
    const QByteArray bytes = file.readAll();
    const PlaylistKind read = PlaylistKindOf(path, bytes);
    const QString folder = QFileInfo(path).absolutePath();
    switch (read) {
        case PlaylistKind::M3u:
            entries = ParseM3u(bytes, folder);
            break;
        case PlaylistKind::Pls:
            entries = ParsePls(bytes, folder);
            break;
        case PlaylistKind::Snl:
            entries = ParsePlaylist(bytes);
            break;
    }
    if (kind) *kind = read;
    return true;
}

bool WritePlaylistFile(const QString& path, const QStringList& entries, QString* error) {
    QSaveFile file(path);
    const QByteArray bytes = SavedKindOf(path) == PlaylistKind::M3u ? FormatM3u8(entries) : FormatPlaylist(entries);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = NamedError(kTextCannotCreateNamed, path);
        return false;
    }
    return true;
}

}  // namespace sonivel
