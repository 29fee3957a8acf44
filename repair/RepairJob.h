#pragma once
// What a repair worker shares with the progress dialog that started it. Both
// hold it through std::shared_ptr, so either may end first: when the dialog
// ends it detaches, after which the worker's reports go nowhere and its result
// flags land in this object rather than in a destroyed dialog.
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

class RepairJob {
public:
    explicit RepairJob(std::wstring uuid) : m_strUUID(std::move(uuid)) {}
    RepairJob(const RepairJob&) = delete;
    RepairJob& operator=(const RepairJob&) = delete;

    // UI thread: the window that receives the progress messages.
    void Attach(HWND window);
    // UI thread, when the dialog ends. Returns once no message is in flight to
    // the window; messages sent meanwhile are handled, so this never deadlocks
    // against a worker blocked in SendMessage.
    void Detach();
    HWND Window() const;

    // Worker: SendMessageA(window, code, code, 0) while attached; nothing after.
    void Send(UINT code);

    // Touched only by the worker once it runs.
    std::wstring m_strUUID;
    bool m_bReinstallSucceeded = false;
    bool m_bRepairSucceeded = false;

private:
    mutable std::mutex m_mutex;
    HWND m_window = nullptr;
    int m_sending = 0;
};

using RepairWorkflow = DWORD (*)(RepairJob&);

// Starts the workflow on a thread of its own (default stack, normal priority);
// the thread keeps the job alive until it ends. The thread is not waited for.
bool StartRepairThread(const std::shared_ptr<RepairJob>& job, RepairWorkflow workflow);
