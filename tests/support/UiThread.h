#pragma once
// Runs dialogs on a user-interface thread of their own, so that a test can
// drive them from its own thread as a user would: find them, read them,
// press their buttons, and wait for them to end.
#include <windows.h>

#include <functional>
#include <vector>

class UiThread {
public:
    // `body` runs at once on the new thread, typically one modal dialog run.
    explicit UiThread(std::function<void()> body);
    // Ends whatever is still open (Cancel to every window of the thread) and
    // waits for the thread; fails the test if it will not end.
    ~UiThread();
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;

    DWORD Id() const { return m_id; }
    bool WaitUntilDone(DWORD timeoutMs = 10000) const;
    bool Done() const { return WaitUntilDone(0); }

    // The thread's visible top-level windows, in z-order.
    std::vector<HWND> Windows() const;
    // A visible top-level window of the thread that has a child with the id,
    // except `other`; waited for up to timeoutMs. Null if none came.
    HWND WaitForDialog(int controlId, HWND other = nullptr, DWORD timeoutMs = 10000) const;

private:
    static DWORD WINAPI Main(LPVOID self);
    std::function<void()> m_body;
    HANDLE m_thread = nullptr;
    DWORD m_id = 0;
};

// Polls pred every few milliseconds; true once it holds.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs = 10000);
