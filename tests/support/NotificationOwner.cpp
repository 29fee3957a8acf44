#include "tests/support/NotificationOwner.h"

namespace {
const wchar_t kClassName[] = L"QevzunTestNotificationOwner";
}

NotificationOwner::NotificationOwner() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &NotificationOwner::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    m_window = ::CreateWindowExW(0, kClassName, L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                 wc.hInstance, this);
}

NotificationOwner::~NotificationOwner() {
    if (m_window) ::DestroyWindow(m_window);
}

std::vector<std::pair<UINT, WPARAM>> NotificationOwner::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

LRESULT CALLBACK NotificationOwner::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<NotificationOwner*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && msg >= WM_USER + 1 && msg <= WM_USER + 18) {
        std::lock_guard<std::mutex> lock(self->m_mutex);
        self->m_received.emplace_back(msg, wParam);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
