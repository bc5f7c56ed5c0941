// Windows: wave files opened by Sonivel from Explorer, written under
// HKEY_CLASSES_ROOT with the registry API alone.
#pragma once

#ifdef _WIN32
#include <string>

namespace sonivel {

// ".wav" -> "Sonivel" ("Wave Sound"), whose "play" verb (the default) runs
// `"program" "%1"` and whose icon is the program's first. False when any
// value could not be written (writing HKEY_CLASSES_ROOT may need rights the
// person lacks).
bool AssociateWaveFilesWindows(const std::wstring& program);

}  // namespace sonivel
#endif
