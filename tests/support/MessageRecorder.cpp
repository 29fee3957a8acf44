#include "tests/support/MessageRecorder.h"

namespace {
const wchar_t kClassName[] = L"QevzunTestMessageRecorder";
}

MessageRecorder::MessageRecorder(Kind kind) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &MessageRecorder::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    ::RegisterClassW(&wc);  // fails harmlessly when already registered
    if (kind == Kind::TopLevel) {
        m_window = ::CreateWindowExW(0, kClassName, L"owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                     wc.hInstance, this);
    } else {
        m_window = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
    }
}

MessageRecorder::~MessageRecorder() {
    if (m_window) ::DestroyWindow(m_window);
}

std::vector<UINT> MessageRecorder::Codes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<UINT> codes;
    for (const auto& received : m_received) codes.push_back(static_cast<UINT>(received.second));
    return codes;
}

std::vector<std::pair<UINT, WPARAM>> MessageRecorder::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
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
            self->m_received.emplace_back(msg, wParam);
        }
        if (self->m_hook) self->m_hook(static_cast<UINT>(wParam));
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}
