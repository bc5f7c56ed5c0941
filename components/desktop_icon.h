// The program's icon, drawn in code so it is crisp at any size, and its copy
// in the user's icon theme for desktop entries.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace sonivel {

// The program icon at `size` pixels square.
QPixmap DrawProgramIcon(int size);
// The program icon at the sizes a desktop asks for.
QIcon ProgramIcon();
// Writes the icon into $XDG_DATA_HOME/icons/hicolor/<n>x<n>/apps/sonivel.png
// (where missing) and returns the icon name for desktop entries: "sonivel".
QString InstallDesktopIcon();

// The two pictures of the Play/Stop button and the glyphs of the others,
// from the desktop theme where it has them.
QIcon PlayGlyph();
QIcon StopGlyph();
QIcon RewindGlyph();
QIcon PreviousGlyph();
QIcon NextGlyph();
QIcon PlaylistGlyph();

}  // namespace sonivel
