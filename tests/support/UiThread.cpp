#include "tests/support/UiThread.h"

#include <gtest/gtest.h>

UiThread::UiThread(std::function<void()> body) : m_body(std::move(body)) {
    m_thread = ::CreateThread(nullptr, 0, &UiThread::Main, this, 0, &m_id);
}

DWORD WINAPI UiThread::Main(LPVOID self) {
    static_cast<UiThread*>(self)->m_body();
    return 0;
}

UiThread::~UiThread() {
    if (m_thread == nullptr) return;
    for (int round = 0; round < 100 && !WaitUntilDone(100); ++round) {
        for (HWND window : Windows()) ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    if (!WaitUntilDone(0)) {
        ADD_FAILURE() << "the dialogs' thread did not end";
        ::TerminateThread(m_thread, 1);
    }
    ::CloseHandle(m_thread);
}

bool UiThread::WaitUntilDone(DWORD timeoutMs) const {
    return ::WaitForSingleObject(m_thread, timeoutMs) == WAIT_OBJECT_0;
}

namespace {
BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
    if (::IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}
}  // namespace

std::vector<HWND> UiThread::Windows() const {
    std::vector<HWND> windows;
    ::EnumThreadWindows(m_id, &CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND UiThread::WaitForDialog(int controlId, HWND other, DWORD timeoutMs) const {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND window : Windows()) {
                if (window != other && ::GetDlgItem(window, controlId) != nullptr) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return found;
}

bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(5);
    }
    return true;
}
