#include "win_association.h"

#ifdef _WIN32
#include <windows.h>

namespace sonivel {
namespace {

// Sets the default value of HKEY_CLASSES_ROOT\key, making the key if needed.
bool SetDefault(const std::wstring& key, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const bool ok = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
                    ERROR_SUCCESS;
    RegCloseKey(handle);
    return ok;
}

}  // namespace

bool AssociateWaveFilesWindows(const std::wstring& program) {
    bool ok = SetDefault(L".wav", L"Sonivel");
    ok = SetDefault(L"Sonivel", L"Wave Sound") && ok;
    ok = SetDefault(L"Sonivel\\shell", L"Play") && ok;
    ok = SetDefault(L"Sonivel\\shell\\play", L"Play") && ok;
    ok = SetDefault(L"Sonivel\\shell\\play\\command", L"\"" + program + L"\" \"%1\"") && ok;
    ok = SetDefault(L"Sonivel\\DefaultIcon", program + L",0") && ok;
    return ok;
}

}  // namespace sonivel
#endif
