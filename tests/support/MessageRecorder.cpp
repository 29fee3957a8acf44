#include "tests/support/MessageRecorder.h"

namespace {
const wchar_t kClassName[] = L"QevzunTestMessageRecorder";
}

MessageRecorder::MessageRecorder() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &MessageRecorder::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    m_window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, this);
}

MessageRecorder::~MessageRecorder() {
    if (m_window) ::DestroyWindow(m_window);
}

std::vector<UINT> MessageRecorder::Codes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_codes;
}

bool MessageRecorder::PumpUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return true;
}

LRESULT CALLBACK MessageRecorder::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageRecorder*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && msg >= WM_USER + 1 && msg <= WM_USER + 18) {
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_codes.push_back(static_cast<UINT>(wParam));
        }
        if (self->m_hook) self->m_hook(static_cast<UINT>(wParam));
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
