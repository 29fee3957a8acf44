#include "tests/support/UnmanagedWindows.h"

#include <windows.h>

#include <string>

void LeaveProgramsWindowsUnmanaged(const std::wstring& name) {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr) return;
    std::wstring key = L"Software\\Wine\\AppDefaults\\" + name + L"\\X11 Driver";
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
        ERROR_SUCCESS) {
        return;
    }
    const wchar_t no[] = L"N";
    ::RegSetValueExW(handle, L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no), sizeof(no));
    ::RegCloseKey(handle);
}
