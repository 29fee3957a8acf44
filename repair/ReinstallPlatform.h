#pragma once
// The system calls of the reinstall workflow that tests must be able to steer:
// starting processes, the processor architecture and the message box (which
// would block an unattended run).
#include <windows.h>

struct ReinstallPlatform {
    ReinstallPlatform();  // the real calls
    decltype(&::CreateProcessA) createProcess;
    decltype(&::GetNativeSystemInfo) getNativeSystemInfo;
    int(WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT);
};

extern ReinstallPlatform g_reinstallPlatform;
