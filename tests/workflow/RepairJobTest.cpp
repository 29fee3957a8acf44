#include "repair/RepairJob.h"

#include "repair/ProgressMessages.h"
#include "tests/support/MessageRecorder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace {

// A worker that reports for a while, then writes its result into the job.
std::atomic<int> g_sent{0};
HANDLE g_finished = nullptr;
HANDLE g_release = nullptr;

DWORD SlowWorkflow(RepairJob& job) {
    for (int i = 0; i < 40; ++i) {
        job.Send(UM_REPAIR_ITEM1);
        ++g_sent;
        if (i == 5) ::WaitForSingleObject(g_release, 10000);  // the dialog ends here
    }
    job.m_bRepairSucceeded = true;
    job.m_strUUID = L"written after the dialog ended";
    job.Send(UM_REPAIR_OK);
    ::SetEvent(g_finished);
    return 0;
}

class RepairJobLifetime : public ::testing::Test {
protected:
    void SetUp() override {
        g_sent = 0;
        g_finished = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    void TearDown() override {
        ::CloseHandle(g_finished);
        ::CloseHandle(g_release);
    }
};

TEST_F(RepairJobLifetime, DialogSideReleasedMidRunTheWorkerFinishesAlone) {
    std::weak_ptr<RepairJob> observer;
    {
        auto recorder = std::make_unique<MessageRecorder>();
        auto job = std::make_shared<RepairJob>(L"uuid");
        observer = job;
        job->Attach(recorder->Window());
        ASSERT_TRUE(StartRepairThread(job, &SlowWorkflow));
        ASSERT_TRUE(recorder->PumpUntil([&] { return recorder->Codes().size() >= 6; }, 20000));

        // The dialog ends: detach, drop its reference, destroy its window.
        job->Detach();
        job.reset();
        recorder.reset();
        ::SetEvent(g_release);
    }
    ASSERT_EQ(::WaitForSingleObject(g_finished, 20000), WAIT_OBJECT_0);
    // The thread's own reference goes when its function returns.
    for (int i = 0; i < 200 && !observer.expired(); ++i) ::Sleep(10);
    EXPECT_TRUE(observer.expired());
    EXPECT_EQ(g_sent.load(), 40);
}

TEST_F(RepairJobLifetime, NothingReachesTheWindowAfterDetach) {
    MessageRecorder recorder;
    auto job = std::make_shared<RepairJob>(L"");
    job->Attach(recorder.Window());
    ASSERT_TRUE(StartRepairThread(job, &SlowWorkflow));
    ASSERT_TRUE(recorder.PumpUntil([&] { return recorder.Codes().size() >= 6; }, 20000));
    job->Detach();
    const std::size_t seen = recorder.Codes().size();
    ::SetEvent(g_release);
    ASSERT_EQ(::WaitForSingleObject(g_finished, 20000), WAIT_OBJECT_0);
    recorder.PumpUntil([] { return false; }, 100);
    EXPECT_EQ(recorder.Codes().size(), seen);
    EXPECT_TRUE(job->m_bRepairSucceeded);  // the result lands in the job, not in freed memory
}

// A worker blocked in SendMessage while the dialog's thread detaches without
// pumping first: Detach must deliver the message rather than deadlock.
DWORD BlockingSendWorkflow(RepairJob& job) {
    ::SetEvent(g_release);
    job.Send(UM_REPAIR_BEGIN);
    ::SetEvent(g_finished);
    return 0;
}

TEST_F(RepairJobLifetime, DetachWhileAWorkerWaitsInSendMessageDoesNotDeadlock) {
    MessageRecorder recorder;
    auto job = std::make_shared<RepairJob>(L"");
    job->Attach(recorder.Window());
    ASSERT_TRUE(StartRepairThread(job, &BlockingSendWorkflow));
    ASSERT_EQ(::WaitForSingleObject(g_release, 10000), WAIT_OBJECT_0);
    ::Sleep(100);  // let the worker enter SendMessage
    job->Detach();
    EXPECT_EQ(::WaitForSingleObject(g_finished, 10000), WAIT_OBJECT_0);
}

}  // namespace
