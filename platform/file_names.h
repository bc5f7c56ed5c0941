// File names as the file system sees them: byte strings on Linux, compared
// exactly there and without regard to letter case on Windows.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace sonivel {

// The bytes of a name, read as UTF-8. A byte that is not part of valid UTF-8
// (always 0x80 or more) becomes the lone surrogate U+DC00 + byte, so a name
// in an older 8-bit encoding keeps its bytes through the program:
// EncodeFileName gives them back exactly. Valid names read exactly as QFile::decodeName reads them.
QString DecodeFileName(const QByteArray& bytes);
// The inverse of DecodeFileName: UTF-8, with U+DC80..U+DCFF back as bytes.
QByteArray EncodeFileName(const QString& name);
inline std::string FileNameBytes(const QString& name) { return EncodeFileName(name).toStdString(); }

// Whether two names name the same entry of a folder listing: exactly equal
// where the file system tells letter cases apart (Linux), equal in any case
// where it does not (Windows).
bool SameFileName(const QString& a, const QString& b);
Qt::CaseSensitivity FileNameCase();
// A name as a set or map key: names that SameFileName finds equal get
// equal keys.
QString FileNameKey(const QString& name);

// A playlist file holds one name a line: a name with a line break (or a NUL)
// cannot be stored in one.
bool FitsPlaylistLine(const QString& name);

}  // namespace sonivel
