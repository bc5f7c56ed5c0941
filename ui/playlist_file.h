// Playlist files. Sonivel's own ("snl"): one path a line, CR LF after each
// line, read and written exactly so. Read as well: the M3U lists (.m3u,
// .m3u8) and PLS lists (.pls) other players write. Written as well: M3U8.
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

enum class PlaylistKind { Snl, M3u, Pls };
// The kind of a playlist file: by its suffix (.m3u, .m3u8, .pls in any
// letter case), else by its first line ("#EXTM3U", "[playlist]"), else
// Sonivel's own.
PlaylistKind PlaylistKindOf(const QString& path, const QByteArray& bytes);
// The kind a playlist is saved as: M3U8 for a name ending in .m3u8 or
// .m3u, else Sonivel's own.
PlaylistKind SavedKindOf(const QString& path);

// An M3U or M3U8 list: one entry a line, lines starting with '#' (#EXTM3U,
// #EXTINF and the rest) skipped, a byte order mark skipped; a name is read
// as UTF-8 where it is valid and kept as bytes where not (DecodeFileName).
// file:// addresses are decoded, other addresses (streams) kept as they
// are; the rest is relative to `folder`.
QStringList ParseM3u(const QByteArray& bytes, const QString& folder);
// A PLS list: the FileN= values, in the order of N.
QStringList ParsePls(const QByteArray& bytes, const QString& folder);
// An M3U8 list: "#EXTM3U", then one absolute path a line, UTF-8, LF.
QByteArray FormatM3u8(const QStringList& entries);

// Reads a playlist file of any kind; false (and `error` set to the
// framework's message "Cannot open file %s") when it cannot be read.
// `kind`, when given, gets the kind it was read as.
bool ReadPlaylistFile(const QString& path, QStringList& entries, QString* error, PlaylistKind* kind = nullptr);
// Writes a playlist file, of the kind its name asks for, through a temporary
// file that replaces the old one only when complete, so a failed save never
// leaves half a playlist where a good one stood. False and "Cannot create
// file %s" on failure.
bool WritePlaylistFile(const QString& path, const QStringList& entries, QString* error);

}  // namespace sonivel
