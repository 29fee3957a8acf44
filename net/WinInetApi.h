#pragma once
// WinINet is not one of the system's known DLLs, so the program never imports
// it: its entry points are bound from the system directory on first use.
#include "app/UniqueHandle.h"

#include <windows.h>
#include <wininet.h>

struct WinInetApi {
    decltype(&::InternetGetConnectedState) getConnectedState = nullptr;
    decltype(&::InternetOpenA) open = nullptr;
    decltype(&::InternetConnectA) connect = nullptr;
    decltype(&::HttpOpenRequestA) openRequest = nullptr;
    decltype(&::HttpSendRequestA) sendRequest = nullptr;
    decltype(&::HttpQueryInfoA) queryInfo = nullptr;
    decltype(&::InternetReadFile) readFile = nullptr;
    decltype(&::InternetSetOptionA) setOption = nullptr;
    decltype(&::InternetQueryOptionA) queryOption = nullptr;
    decltype(&::InternetCloseHandle) closeHandle = nullptr;
    // False when the library or one of the entries is missing; error then
    // tells why, and no entry is used.
    bool complete = false;
    DWORD error = 0;
};

// Bound once per process, on the first call from any thread.
const WinInetApi& WinInet();

// An internet handle closes through the bound entry; a handle exists only
// when WinInet() was complete.
struct InternetHandleTraits {
    static HINTERNET Invalid() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { WinInet().closeHandle(h); }
};
using UniqueInternetHandle = UniqueHandle<HINTERNET, InternetHandleTraits>;
