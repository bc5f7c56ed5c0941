#include "playlist_file.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

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
        entries << QString::fromUtf8(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) entries << QString::fromUtf8(bytes.mid(start));
    return entries;
}

QByteArray FormatPlaylist(const QStringList& entries) {
    QByteArray out;
    for (const QString& e : entries) out += e.toUtf8() + "\r\n";
    return out;
}

bool ReadPlaylistFile(const QString& path, QStringList& entries, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QString("Cannot open file %1").arg(QDir::toNativeSeparators(path));
        return false;
    }
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
