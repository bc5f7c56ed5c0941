// Folders as the wave files below them, in the order a person reads a
// listing: "Track 2" before "Track 10".
#pragma once

#include <QString>
#include <QStringList>

namespace sonivel {

// Natural name order: runs of digits compare as numbers, everything else
// without regard to letter case; names equal that way fall back to the
// exact comparison, so the order is total.
bool NaturalLess(const QString& a, const QString& b);

// A name ending in ".wav" in any letter case.
bool HasWaveSuffix(const QString& name);

// The wave files below `folder`: its own in natural order, then each
// subfolder's the same way, the subfolders in natural order. Hidden entries
// are left out; a folder reached twice (a link back up) is listed once.
QStringList WaveFilesBelow(const QString& folder);

// A name ending in a playlist file's suffix (.m3u, .m3u8, .pls, .snl) in any
// letter case.
bool HasPlaylistSuffix(const QString& name);

// Each folder among `names` replaced by the wave files below it, and each
// playlist file by its entries, everything else kept as it is, in order. A
// name ending in .wav is taken for a file; a playlist that cannot be read
// stays a name, which then says why it does not open.
QStringList ExpandFolders(const QStringList& names);

}  // namespace sonivel
