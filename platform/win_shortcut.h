// Windows: a shortcut (.lnk) to a program in the person's Start menu,
// through the shell's IShellLink.
#pragma once

#ifdef _WIN32
#include <string>

namespace sonivel {

// Writes "<Start menu programs>\<linkName>" (linkName may hold one folder,
// "Sonivel\Sonivel.lnk", which is made) pointing at `program`, started in
// its own folder. False when the folder is unknown or the link cannot be saved.
bool CreateStartMenuShortcut(const std::wstring& program, const std::wstring& linkName);

}  // namespace sonivel
#endif
