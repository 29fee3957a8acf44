#pragma once
// A hidden top-level window to own a progress dialog in place of the main
// dialog: it records the notifications (WM_USER+1..+18, by wParam) it gets.
// Create it on the thread that runs the dialog.
#include <windows.h>

#include <mutex>
#include <vector>

class NotificationOwner {
public:
    NotificationOwner();
    ~NotificationOwner();
    NotificationOwner(const NotificationOwner&) = delete;
    NotificationOwner& operator=(const NotificationOwner&) = delete;

    HWND Window() const { return m_window; }
    // Each notification as (message, wParam), in order.
    std::vector<std::pair<UINT, WPARAM>> Received() const;

private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
    HWND m_window = nullptr;
    mutable std::mutex m_mutex;
    std::vector<std::pair<UINT, WPARAM>> m_received;
};
