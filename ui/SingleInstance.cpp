#include "ui/SingleInstance.h"

#include "log/Log.h"

namespace {

const wchar_t kMutexName[] = L"Global\\QEVZUN.SingleInstance.5f0c2a1e";
const wchar_t kWindowProperty[] = L"QEVZUN.InstanceWindow";

BOOL CALLBACK FindMarkedWindow(HWND window, LPARAM found) {
    if (!IsInstanceWindow(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

CSingleInstance::CSingleInstance() {
    m_mutex.reset(::CreateMutexW(nullptr, FALSE, kMutexName));
    DWORD error = ::GetLastError();
    if (m_mutex && error == ERROR_ALREADY_EXISTS) {
        m_first = false;
    } else if (!m_mutex && error == ERROR_ACCESS_DENIED) {
        m_first = false;  // it exists, made by a copy running under other rights
    } else if (!m_mutex) {
        // Better a second copy than no copy at all.
        LogError("%s: Fail to create the instance mutex, error code:%d", "CSingleInstance",
                 static_cast<int>(error));
    }
}

bool IsInstanceWindow(HWND window) {
    return ::GetPropW(window, kWindowProperty) != nullptr;
}

void MarkAsInstanceWindow(HWND window) {
    ::SetPropW(window, kWindowProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
}

void UnmarkInstanceWindow(HWND window) {
    ::RemovePropW(window, kWindowProperty);
}

HWND FindInstanceWindow() {
    HWND found = nullptr;
    ::EnumWindows(&FindMarkedWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

bool ActivateRunningInstance(DWORD waitMs) {
    // The running copy may still be gathering its facts before its window exists.
    DWORD start = ::GetTickCount();
    HWND found = FindInstanceWindow();
    while (found == nullptr && ::GetTickCount() - start < waitMs) {
        ::Sleep(100);
        found = FindInstanceWindow();
    }
    if (found == nullptr) return false;
    if (::IsIconic(found)) ::ShowWindow(found, SW_RESTORE);
    ::SetForegroundWindow(::GetLastActivePopup(found));
    return true;
}
