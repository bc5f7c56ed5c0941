// What the program asks of the desktop: to be the player of wave files, and
// to open documents and addresses with the programs the user chose.
#pragma once

#include <QString>
#include <QUrl>

namespace sonivel {

// The MIME types of wave files.
inline constexpr const char* kWaveMimeTypes[] = {"audio/x-wav", "audio/wav", "audio/vnd.wave"};
// The desktop entry that opens wave files with Sonivel.
inline constexpr const char* kAssociationEntry = "sonivel-open.desktop";

// Makes Sonivel the player of wave files. On Linux: a desktop entry that
// passes the file to `program` and the defaults in mimeapps.list, as
// `xdg-mime default` writes them, leaving other entries of the file alone.
// On Windows: the keys under HKEY_CLASSES_ROOT. False when it could not be written.
bool AssociateWaveFiles(const QString& program, const QString& iconName);

// Sets `key`=`value` in `section` of a desktop-style key file's text,
// keeping every other line as it was.
QString SetKeyFileValue(const QString& text, const QString& section, const QString& key, const QString& value);

// Adds `item` to the ;-separated list of `key` in `section` (first, when
// it is not there yet), keeping the other items and lines as they were.
QString AddToKeyFileList(const QString& text, const QString& section, const QString& key, const QString& item);

// A desktop entry's string value: backslash, line break, tab, carriage
// return and a leading blank written as the escapes desktop entry files
// use.
QString EscapeDesktopString(const QString& value);

// A desktop entry's Exec argument for `program`: % doubled; quoted, with
// " ` $ \ escaped inside the quotes, only when the path holds a character
// the Exec syntax reserves; then escaped as every string value is.
QString QuoteDesktopExec(const QString& program);

// The program a desktop entry starts for `program`: its absolute path, or,
// where launchers could not start that path (a % in it), a link to it.
QString DesktopExecProgram(const QString& program);

// The text of Sonivel's desktop entry: `exec` is the whole Exec value and
// `extra` further lines (each ending in a line break) for the entry's purpose.
QString SonivelDesktopEntry(const QString& exec, const QString& icon, const QString& extra);

// Opens a document or an address with the desktop's program for it; false
// when the document is missing or nothing could open it.
bool OpenWithDesktop(const QUrl& url);

}  // namespace sonivel
