#include "tests/support/ScriptedWorker.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <deque>
#include <mutex>
#include <vector>

namespace {

struct Worker {
    bool serviceRepair = false;
    std::wstring uuid;
    RepairJob* job = nullptr;  // valid until finished
    std::deque<UINT> queue;
    int handed = 0;   // codes given to this worker
    int sent = 0;     // codes whose send has returned
    bool finish = false;
    bool finished = false;
};

std::mutex g_mutex;
std::condition_variable g_changed;
std::vector<std::shared_ptr<Worker>> g_workers;

std::shared_ptr<Worker> WorkerAt(int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= g_workers.size()) return nullptr;
    return g_workers[static_cast<std::size_t>(i)];
}

DWORD Run(RepairJob& job, bool serviceRepair) {
    auto self = std::make_shared<Worker>();
    self->serviceRepair = serviceRepair;
    self->uuid = job.m_strUUID;
    self->job = &job;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_workers.push_back(self);
    }
    g_changed.notify_all();
    for (;;) {
        UINT code;
        {
            std::unique_lock<std::mutex> lock(g_mutex);
            g_changed.wait(lock, [&] { return !self->queue.empty() || self->finish; });
            if (self->queue.empty()) break;
            code = self->queue.front();
            self->queue.pop_front();
        }
        job.Send(code);
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            ++self->sent;
        }
        g_changed.notify_all();
    }
    if (serviceRepair) {
        job.m_bRepairSucceeded = true;
    } else {
        job.m_bReinstallSucceeded = true;
    }
    job.m_strUUID = L"written by the worker at its end";
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        self->finished = true;
        self->job = nullptr;
    }
    g_changed.notify_all();
    return 0;
}

DWORD Reinstall(RepairJob& job) { return Run(job, false); }
DWORD ServiceRepair(RepairJob& job) { return Run(job, true); }

}  // namespace

namespace ScriptedWorker {

RepairWorkflows Workflows() { return RepairWorkflows{&Reinstall, &ServiceRepair}; }

void Reset() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_workers.clear();
}

bool WaitForStarts(int n, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return static_cast<int>(g_workers.size()) >= n; });
}

int Starts() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<int>(g_workers.size());
}

bool IsServiceRepair(int i) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto w = WorkerAt(i);
    return w && w->serviceRepair;
}

std::wstring StartUuid(int i) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto w = WorkerAt(i);
    return w ? w->uuid : L"<no such worker>";
}

HWND AttachedWindow(int i) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto w = WorkerAt(i);
    return w && w->job != nullptr ? w->job->Window() : nullptr;
}

void Post(int i, UINT code) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto w = WorkerAt(i);
        if (!w) return;
        w->queue.push_back(code);
        ++w->handed;
    }
    g_changed.notify_all();
}

bool Send(int i, UINT code, DWORD timeoutMs) {
    int target;
    std::shared_ptr<Worker> w;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        w = WorkerAt(i);
        if (!w) return false;
        w->queue.push_back(code);
        target = ++w->handed;
    }
    g_changed.notify_all();
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return w->sent >= target; });
}

void Finish(int i) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto w = WorkerAt(i);
        if (w) w->finish = true;
    }
    g_changed.notify_all();
}

bool FinishAll(DWORD timeoutMs) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (auto& w : g_workers) w->finish = true;
    }
    g_changed.notify_all();
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        for (auto& w : g_workers)
            if (!w->finished) return false;
        return true;
    });
}

}  // namespace ScriptedWorker
