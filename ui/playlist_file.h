// Playlist files ("snl"): one path a line, CR LF after each line.
#pragma once

#include <QString>
#include <QStringList>

namespace sonivel {

// Splits the text of a playlist file into entries: the text ends at its
// first NUL; lines end at CR LF, a lone CR or a lone LF; no empty entry
// follows a final line break. Entries are taken verbatim.
QStringList ParsePlaylist(const QByteArray& bytes);
// The bytes of a playlist file: every entry followed by CR LF.
QByteArray FormatPlaylist(const QStringList& entries);

// Reads a playlist file; false (and `error` set to the framework's message
// "Cannot open file %s") when it cannot be read.
bool ReadPlaylistFile(const QString& path, QStringList& entries, QString* error);
// Writes a playlist file through a temporary file that replaces the old one
// only when complete, so a failed save never leaves half a playlist where a
// good one stood. False and "Cannot create file %s" on failure.
bool WritePlaylistFile(const QString& path, const QStringList& entries, QString* error);

}  // namespace sonivel
