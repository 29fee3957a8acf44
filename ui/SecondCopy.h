#pragma once
// What a later copy of the program does instead of running: it hands over to
// the copy that already runs.
#include <windows.h>

// The calls that tests must be able to steer: the user's UI language, and the
// message box (which would block an unattended run).
struct SecondCopyPlatform {
    SecondCopyPlatform();  // the real calls
    LANGID(WINAPI* userUiLanguage)();
    int(WINAPI* messageBox)(HWND, LPCWSTR, LPCWSTR, UINT);
};

extern SecondCopyPlatform g_secondCopyPlatform;

// Waits up to waitMs for the running copy's window and brings it forward.
// When none appears (it is still starting, or runs where this one cannot see
// it), tells the user in a message box that the tool is already running, in
// the UI language, and logs it. The main dialog never opens in this process,
// so the UI language is captured here, the way the main dialog would.
void GiveWayToRunningCopy(DWORD waitMs);
