// Arbitrary bytes as a playlist file: reading never fails or loses text, and
// writing what was read and reading it again gives the same entries.
#include <QByteArray>
#include <QStringList>

#include "playlist_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList entries = sonivel::ParsePlaylist(bytes);
    for (const QString& e : entries)
        if (e.contains('\r') || e.contains('\n') || e.contains(QChar(0))) __builtin_trap();
    if (sonivel::ParsePlaylist(sonivel::FormatPlaylist(entries)) != entries) __builtin_trap();
    return 0;
}
