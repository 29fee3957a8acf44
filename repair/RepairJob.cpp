#include "repair/RepairJob.h"

#include "log/Log.h"

void RepairJob::Attach(HWND window) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_window = window;
}

HWND RepairJob::Window() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_window;
}

void RepairJob::Detach() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_window = nullptr;
    while (m_sending > 0) {
        lock.unlock();
        // A worker is inside SendMessage to our window: let it be delivered.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG msg;
        ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        lock.lock();
    }
}

void RepairJob::Send(UINT code) {
    HWND window;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        window = m_window;
        if (window == nullptr) return;
        ++m_sending;
    }
    ::SendMessageA(window, code, static_cast<WPARAM>(code), 0);
    std::lock_guard<std::mutex> lock(m_mutex);
    --m_sending;
}

namespace {

struct ThreadStart {
    std::shared_ptr<RepairJob> job;
    RepairWorkflow workflow;
};

DWORD WINAPI RepairThreadMain(LPVOID param) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(param));
    return start->workflow(*start->job);
}

}  // namespace

bool StartRepairThread(const std::shared_ptr<RepairJob>& job, RepairWorkflow workflow) {
    auto* start = new ThreadStart{job, workflow};
    HANDLE thread = ::CreateThread(nullptr, 0, &RepairThreadMain, start, 0, nullptr);
    if (thread == nullptr) {
        LogError("%s: Fail to start repair thread, error code:%d", "StartRepairThread",
                 static_cast<int>(::GetLastError()));
        delete start;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}
