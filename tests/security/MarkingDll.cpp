// Stands for a DLL planted beside the program under the name of a system
// library: when anything loads it, it leaves "<its own path>.loaded" behind.
// It exports the one entry the static-import probe asks of "wininet.dll".
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH + 8] = {};
    const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    lstrcatW(path, L".loaded");
    HANDLE marker = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
    return TRUE;
}

// Exported as InternetGetConnectedState (MarkingDll.def).
extern "C" BOOL WINAPI PlantedConnectedState(LPDWORD flags, DWORD) {
    if (flags != nullptr) *flags = 0;
    return FALSE;
}
