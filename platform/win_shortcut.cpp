#include "win_shortcut.h"

#ifdef _WIN32
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <windows.h>

namespace sonivel {

bool CreateStartMenuShortcut(const std::wstring& program, const std::wstring& linkName) {
    PWSTR folder = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Programs, 0, nullptr, &folder))) return false;
    std::wstring path = std::wstring(folder) + L"\\" + linkName;
    CoTaskMemFree(folder);
    const auto slash = path.find_last_of(L'\\');
    CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);  // one level, as the link needs

    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool ok = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        link->SetPath(program.c_str());
        const auto programSlash = program.find_last_of(L"\\/");
        if (programSlash != std::wstring::npos) link->SetWorkingDirectory(program.substr(0, programSlash).c_str());
        link->SetIconLocation(program.c_str(), 0);
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            ok = SUCCEEDED(file->Save(path.c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return ok;
}

}  // namespace sonivel
#endif
