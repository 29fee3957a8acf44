#pragma once
// A hidden window that records the program's messages (WM_USER+1..+18) it is
// sent: the progress messages of a repair worker, or, as a top-level window
// owning a progress dialog, the notifications meant for the main dialog.
// Sends from the creating thread are delivered at once; sends from other threads
// are delivered while that thread pumps (PumpUntil) or runs a dialog.
#include <windows.h>

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

class MessageRecorder {
public:
    enum class Kind { MessageOnly, TopLevel };
    explicit MessageRecorder(Kind kind = Kind::MessageOnly);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    HWND Window() const { return m_window; }
    std::vector<UINT> Codes() const;  // wParam of each WM_USER+1..+18 message, in order
    std::vector<std::pair<UINT, WPARAM>> Received() const;  // each as (message, wParam)
    // Runs a hook inside the handler of each recorded message (for example to
    // check the machine's state at that stage).
    void OnMessage(std::function<void(UINT)> hook) { m_hook = std::move(hook); }
    // Pumps this thread's messages until pred() holds or the time is up.
    bool PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs);

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_window = nullptr;
    mutable std::mutex m_mutex;
    std::vector<std::pair<UINT, WPARAM>> m_received;
    std::function<void(UINT)> m_hook;
};
