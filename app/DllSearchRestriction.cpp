#include "app/DllSearchRestriction.h"

#include <windows.h>

#include <cstring>

bool RestrictDllSearchToSystemDirectory() {
    ::SetDllDirectoryW(L"");  // drops the current directory from the search
    // Windows 7 has the call only with KB2533623, so it is looked up.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    FARPROC address = kernel != nullptr ? ::GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
    if (address == nullptr) return false;
    SetDefaultDllDirectoriesFn setDefault;
    static_assert(sizeof(setDefault) == sizeof(address), "function pointers of one size");
    std::memcpy(&setDefault, &address, sizeof(setDefault));
    return setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
}
