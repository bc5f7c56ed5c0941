// Arbitrary bytes as a playlist file: reading never fails or loses a byte of
// any name, whatever its encoding, and writing what was read and reading it
// again gives the same entries. The same bytes as another player's M3U or
// PLS list: every entry is an absolute path (or another program's address)
// a playlist line can hold, and
// the M3U8 written of them reads back as the same entries.
#include <QByteArray>
#include <QStringList>

#include "file_names.h"
#include "playlist_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList entries = sonivel::ParsePlaylist(bytes);
    for (const QString& e : entries)
        if (e.contains('\r') || e.contains('\n') || e.contains(QChar(0))) __builtin_trap();
    if (sonivel::ParsePlaylist(sonivel::FormatPlaylist(entries)) != entries) __builtin_trap();
    // The names hold every byte before the first NUL but the line breaks.
    QByteArray text = bytes.left(bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0'));
    text.replace("\r", "").replace("\n", "");
    QByteArray names;
    for (const QString& e : entries) names += sonivel::EncodeFileName(e);
    if (names != text) __builtin_trap();

    for (const QStringList& read : {sonivel::ParseM3u(bytes, "/lists"), sonivel::ParsePls(bytes, "/lists")}) {
        QStringList paths;
        for (const QString& e : read) {
            if (!sonivel::FitsPlaylistLine(e)) __builtin_trap();
            if (e.startsWith('/')) paths << e;
            else if (!e.contains("://")) __builtin_trap();  // a stream's address, kept as written
        }
        if (sonivel::ParseM3u(sonivel::FormatM3u8(paths), "/elsewhere") != paths) __builtin_trap();
    }
    return 0;
}
