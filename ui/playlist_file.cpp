#include "playlist_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "file_names.h"
#include "os.h"

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

QByteArray FormatPlaylist(const QStringList& entries) {
    QByteArray out;
    for (const QString& e : entries) out += EncodeFileName(e) + "\r\n";
    return out;
}

bool ReadPlaylistFile(const QString& path, QStringList& entries, QString* error) {
    const auto fail = [&] {
        if (error) *error = QString("Cannot open file %1").arg(QDir::toNativeSeparators(path));
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
    entries = ParsePlaylist(file.readAll());
    return true;
}

bool WritePlaylistFile(const QString& path, const QStringList& entries, QString* error) {
    QSaveFile file(path);
    const QByteArray bytes = FormatPlaylist(entries);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = QString("Cannot create file %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

}  // namespace sonivel
