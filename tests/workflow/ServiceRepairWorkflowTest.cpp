#include "repair/ServiceRepairWorkflow.h"

#include "app/BuildConfig.h"
#include "inspect/InstallLayout.h"
#include "inspect/TextConversion.h"
#include "repair/ProgressMessages.h"
#include "repair/ServiceControl.h"
#include "tests/support/AgentServices.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UiThread.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace {

const std::vector<UINT> kAllRows = {UM_REPAIR_BEGIN, UM_REPAIR_ITEM1, UM_REPAIR_ITEM2, UM_REPAIR_ITEM3,
                                    UM_REPAIR_ITEM4, UM_REPAIR_ITEM5, UM_REPAIR_CHECK_STATE};

std::vector<UINT> With(std::vector<UINT> codes, UINT last) {
    codes.push_back(last);
    return codes;
}

std::string StateAnswer(const char* state) {
    return std::string("{\"status\":0,\"data\":{\"state\":\"") + state + "\"}}";
}

class ServiceRepair : public ::testing::Test {
protected:
    void SetUp() override {
        FakeAgent::Remove();
        m_services.RemoveAll();
        ASSERT_TRUE(m_services.CopyExecutables()) << "copy: " << ::GetLastError();
        ASSERT_TRUE(m_status.Start(g_statusServerPort)) << m_status.StartError();
        m_status.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(StateAnswer("NORMAL")); });
        m_job.Attach(m_recorder.Window());
    }
    void TearDown() override {
        g_serviceControl = ServiceControl();
        m_services.RemoveAll();
        FakeAgent::Remove();
    }

    AgentServices m_services;
    HttpTestServer m_status;
    MessageRecorder m_recorder;
    RepairJob m_job{L"6f1c2a9e-3b7d-4c55-9e21-8a0d4b6f7c13"};
};

TEST_F(ServiceRepair, AllRunningAreStoppedAndStartedAgainThenTheServerDecides) {
    ASSERT_TRUE(m_services.CreateAll()) << "create " << ::GetLastError();
    std::map<std::wstring, DWORD> before;
    for (const auto& name : AgentServices::Names()) {
        ASSERT_TRUE(m_services.Start(name));
        before[name] = m_services.ProcessId(name);
    }
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), With(kAllRows, UM_REPAIR_OK));
    EXPECT_TRUE(m_job.m_bRepairSucceeded);
    for (const auto& name : AgentServices::Names()) {
        EXPECT_TRUE(m_services.WaitFor(name, SERVICE_RUNNING)) << name.c_str();
        // Restarted: a process of its own replaced the one that ran before.
        EXPECT_NE(m_services.ProcessId(name), before[name]) << name.c_str();
        EXPECT_NE(m_services.ProcessId(name), 0u) << name.c_str();
    }
    ASSERT_EQ(m_status.RequestCount(), 1u);
    EXPECT_EQ(m_status.Requests()[0].target, "/aapi/v1/zun/agentState/6f1c2a9e-3b7d-4c55-9e21-8a0d4b6f7c13");
}

TEST_F(ServiceRepair, StoppedDisabledAndMissingServicesEndUpRunning) {
    ASSERT_TRUE(m_services.CreateAll()) << "create " << ::GetLastError();
    m_services.Remove(L"QEVSensor");                     // missing: created
    m_services.Remove(L"QEVMon");
    ASSERT_TRUE(m_services.Create(L"QEVMon", SERVICE_DISABLED));      // disabled: manual start, then started
    RunServiceRepairWorkflow(m_job);                     // the rest are stopped: started
    EXPECT_EQ(m_recorder.Codes(), With(kAllRows, UM_REPAIR_OK));
    for (const auto& name : AgentServices::Names()) EXPECT_TRUE(m_services.WaitFor(name, SERVICE_RUNNING)) << name.c_str();

    EXPECT_EQ(m_services.ConfigOf(L"QEVMon").start, static_cast<DWORD>(SERVICE_DEMAND_START));
    const auto created = m_services.ConfigOf(L"QEVSensor");
    EXPECT_EQ(created.start, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(created.type & SERVICE_WIN32_OWN_PROCESS, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(created.error, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(created.display, L"QEVSensor");
    // Quoted, so that "C:\Program.exe" can never stand in for the agent.
    EXPECT_EQ(created.path, L"\"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVSENSOR.EXE\"");
}

TEST_F(ServiceRepair, ServerThatDoesNotReportNormalFailsAfterFivePolls) {
    ASSERT_TRUE(m_services.CreateAll()) << "create " << ::GetLastError();
    m_status.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(StateAnswer("INACTIVE")); });
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), With(kAllRows, UM_REPAIR_FAIL));
    EXPECT_EQ(m_status.RequestCount(), 5u);
    EXPECT_FALSE(m_job.m_bRepairSucceeded);
}

// Failures Wine's manager does not produce for an administrator, through the seam.
SC_HANDLE WINAPI NoRightsManager(LPCWSTR, LPCWSTR, DWORD) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

SC_HANDLE WINAPI DeniedForThirdRow(SC_HANDLE manager, LPCWSTR name, DWORD access) {
    if (std::wstring(name) == L"QevNetMon") {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return ::OpenServiceW(manager, name, access);
}

BOOL WINAPI RefusedStop(SC_HANDLE, DWORD, LPSERVICE_STATUS) {
    ::SetLastError(ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
    return FALSE;
}

// The stop is accepted but the service keeps reporting that it is stopping.
BOOL WINAPI AcceptedStop(SC_HANDLE, DWORD, LPSERVICE_STATUS) { return TRUE; }
BOOL WINAPI NeverStops(SC_HANDLE s, SC_STATUS_TYPE level, LPBYTE buffer, DWORD size, LPDWORD needed) {
    BOOL ok = ::QueryServiceStatusEx(s, level, buffer, size, needed);
    auto* status = reinterpret_cast<SERVICE_STATUS_PROCESS*>(buffer);
    if (ok && status->dwCurrentState == SERVICE_RUNNING && g_serviceControl.controlService == &AcceptedStop) {
        static int asked = 0;
        if (++asked > 1) status->dwCurrentState = SERVICE_STOP_PENDING;
    }
    return ok;
}

TEST_F(ServiceRepair, NoRightsOnTheManagerSendsOnlyBeginAndFail) {
    g_serviceControl.openManager = &NoRightsManager;
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REPAIR_BEGIN, UM_REPAIR_FAIL}));
    EXPECT_EQ(m_status.RequestCount(), 0u);
}

TEST_F(ServiceRepair, FailureInTheThirdRowLeavesTheLaterRowsUntouched) {
    ASSERT_TRUE(m_services.CreateAll()) << "create " << ::GetLastError();
    g_serviceControl.openService = &DeniedForThirdRow;
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REPAIR_BEGIN, UM_REPAIR_ITEM1, UM_REPAIR_ITEM2,
                                                     UM_REPAIR_ITEM3, UM_REPAIR_FAIL}));
    EXPECT_EQ(m_status.RequestCount(), 0u);
    EXPECT_TRUE(m_services.WaitFor(L"QEV Updater", SERVICE_RUNNING));
    EXPECT_EQ(m_services.State(L"QEVSensor"), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_EQ(m_services.State(L"QEVService"), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceRepair, RunningServiceThatRefusesToStopAbortsTheRepair) {
    ASSERT_TRUE(m_services.CreateAll()) << "create " << ::GetLastError();
    ASSERT_TRUE(m_services.Start(L"QEV Updater"));
    g_serviceControl.controlService = &RefusedStop;
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REPAIR_BEGIN, UM_REPAIR_ITEM1, UM_REPAIR_FAIL}));
}

std::vector<std::wstring> g_starts;
BOOL WINAPI RecordedStart(SC_HANDLE service, DWORD argc, LPCWSTR* argv) {
    BOOL started = ::StartServiceW(service, argc, argv);
    DWORD error = ::GetLastError();
    g_starts.push_back(started ? L"started" : std::to_wstring(error));
    ::SetLastError(error);
    return started;
}

// The wait ends while the service still reports that it is stopping: it gets
// its start all the same, and "already running" (it never stopped) counts.
TEST_F(ServiceRepair, RunningServiceThatDoesNotStopInTimeIsStartedAnyway) {
    ASSERT_TRUE(m_services.CreateAll()) << "create " << ::GetLastError();
    ASSERT_TRUE(m_services.Start(L"QEV Updater"));
    g_starts.clear();
    g_serviceControl.controlService = &AcceptedStop;
    g_serviceControl.queryStatus = &NeverStops;
    g_serviceControl.startService = &RecordedStart;
    g_serviceControl.stopWaitMs = 300;
    g_serviceControl.stopPollMs = 50;
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), With(kAllRows, UM_REPAIR_OK));
    ASSERT_FALSE(g_starts.empty());
    EXPECT_EQ(g_starts[0], std::to_wstring(ERROR_SERVICE_ALREADY_RUNNING));  // row 1's start, after the wait
    EXPECT_EQ(m_status.RequestCount(), 1u);
}

// Something else (the agent's own monitor) starts the service again as soon as
// it has stopped, before the repair looks again.
TEST_F(ServiceRepair, ServiceRestartedByAWatchdogDuringTheWaitCountsAsHandled) {
    ASSERT_TRUE(m_services.CreateAll()) << "create " << ::GetLastError();
    // Slow to stop, so that the watchdog can get in before the repair looks.
    m_services.Remove(L"QEV Updater");
    ASSERT_TRUE(m_services.Create(L"QEV Updater", SERVICE_DEMAND_START, AgentServices::kSlowStop));
    ASSERT_TRUE(m_services.Start(L"QEV Updater"));
    ProgramProcess watchdog(AgentServices::WatchdogCommand(L"QEV Updater"));
    ASSERT_TRUE(watchdog.Started());
    // The watchdog is at work once it has restarted the service itself.
    const DWORD first = m_services.ProcessId(L"QEV Updater");
    ASSERT_TRUE(m_services.Stop(L"QEV Updater"));
    ASSERT_TRUE(WaitFor([&] { return m_services.ProcessId(L"QEV Updater") != 0 &&
                                     m_services.ProcessId(L"QEV Updater") != first; }, 60000));
    g_serviceControl.stopWaitMs = 3000;  // so that a repair that waits in vain ends within the test

    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), With(kAllRows, UM_REPAIR_OK));
    EXPECT_TRUE(m_services.WaitFor(L"QEV Updater", SERVICE_RUNNING));
}

}  // namespace
