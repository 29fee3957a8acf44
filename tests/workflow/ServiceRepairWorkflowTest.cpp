#include "repair/ServiceRepairWorkflow.h"

#include "app/BuildConfig.h"
#include "inspect/InstallLayout.h"
#include "inspect/TextConversion.h"
#include "repair/ProgressMessages.h"
#include "repair/ServiceControl.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

// The agent's five services, all running the fake agent's service program from
// the paths of the component table.
class AgentServices {
public:
    AgentServices() : m_manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}
    ~AgentServices() {
        RemoveAll();
        if (m_manager) ::CloseServiceHandle(m_manager);
    }

    static std::string ServiceProgram() {
        std::string here = ExecutableDirectory();
        return here.substr(0, here.find_last_of('\\')) + "\\fakeagent\\service\\qevzun_fakeagent_service.exe";
    }

    void CopyExecutables() {
        ::CreateDirectoryA("C:\\Program Files\\Tamvoro", nullptr);
        ::CreateDirectoryA("C:\\Program Files\\Tamvoro\\QEV", nullptr);
        ::CreateDirectoryA("C:\\Program Files\\Tamvoro\\QEV\\bin", nullptr);
        const std::string program = ServiceProgram();
        for (const auto& row : QEVComponentTable) {
            ASSERT_TRUE(::CopyFileA(program.c_str(), WideToUtf8(row.second.first).c_str(), FALSE))
                << "copy: " << ::GetLastError();
        }
    }

    void Create(const std::wstring& name, DWORD startType) {
        for (const auto& row : QEVComponentTable) {
            if (row.second.second != name) continue;
            std::wstring path = L"\"" + row.second.first + L"\"";
            SC_HANDLE s = ::CreateServiceW(m_manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL,
                                           path.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
            ASSERT_NE(s, nullptr) << "create " << ::GetLastError();
            ::CloseServiceHandle(s);
        }
    }
    void CreateAll(DWORD startType = SERVICE_DEMAND_START) {
        for (const auto& row : QEVComponentTable) Create(row.second.second, startType);
    }

    void Start(const std::wstring& name) {
        SC_HANDLE s = ::OpenServiceW(m_manager, name.c_str(), SERVICE_ALL_ACCESS);
        ASSERT_NE(s, nullptr);
        ASSERT_TRUE(::StartServiceW(s, 0, nullptr)) << ::GetLastError();
        ::CloseServiceHandle(s);
        ASSERT_TRUE(WaitFor(name, SERVICE_RUNNING));
    }

    DWORD State(const std::wstring& name) const {
        SC_HANDLE s = ::OpenServiceW(m_manager, name.c_str(), SERVICE_QUERY_STATUS);
        if (!s) return 0;
        SERVICE_STATUS status{};
        ::QueryServiceStatus(s, &status);
        ::CloseServiceHandle(s);
        return status.dwCurrentState;
    }

    bool WaitFor(const std::wstring& name, DWORD state) const {
        for (int i = 0; i < 200; ++i) {
            if (State(name) == state) return true;
            ::Sleep(50);
        }
        return false;
    }

    struct Config {
        DWORD type = 0, start = 0, error = 0;
        std::wstring path, display;
    };
    Config ConfigOf(const std::wstring& name) const {
        Config c;
        SC_HANDLE s = ::OpenServiceW(m_manager, name.c_str(), SERVICE_QUERY_CONFIG);
        if (!s) return c;
        DWORD needed = 0;
        ::QueryServiceConfigW(s, nullptr, 0, &needed);
        std::vector<BYTE> buffer(needed + 16);
        auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
        if (::QueryServiceConfigW(s, q, static_cast<DWORD>(buffer.size()), &needed)) {
            c.type = q->dwServiceType;
            c.start = q->dwStartType;
            c.error = q->dwErrorControl;
            c.path = q->lpBinaryPathName ? q->lpBinaryPathName : L"";
            c.display = q->lpDisplayName ? q->lpDisplayName : L"";
        }
        ::CloseServiceHandle(s);
        return c;
    }

    void Remove(const std::wstring& name) {
        SC_HANDLE s = ::OpenServiceW(m_manager, name.c_str(), SERVICE_ALL_ACCESS);
        if (!s) return;
        SERVICE_STATUS status{};
        ::ControlService(s, SERVICE_CONTROL_STOP, &status);
        ::DeleteService(s);
        ::CloseServiceHandle(s);
        WaitFor(name, 0);
    }
    void RemoveAll() {
        for (const auto& row : QEVComponentTable) Remove(row.second.second);
    }

private:
    SC_HANDLE m_manager;
};

std::vector<std::wstring> ServiceNames() {
    std::vector<std::wstring> names;
    for (const auto& row : QEVComponentTable) names.push_back(row.second.second);
    return names;
}

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
        m_services.CopyExecutables();
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
    m_services.CreateAll();
    for (const auto& name : ServiceNames()) m_services.Start(name);
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), With(kAllRows, UM_REPAIR_OK));
    EXPECT_TRUE(m_job.m_bRepairSucceeded);
    for (const auto& name : ServiceNames()) EXPECT_TRUE(m_services.WaitFor(name, SERVICE_RUNNING)) << name.c_str();
    ASSERT_EQ(m_status.RequestCount(), 1u);
    EXPECT_EQ(m_status.Requests()[0].target, "/aapi/v1/zun/agentState/6f1c2a9e-3b7d-4c55-9e21-8a0d4b6f7c13");
}

TEST_F(ServiceRepair, StoppedDisabledAndMissingServicesEndUpRunning) {
    m_services.CreateAll();
    m_services.Remove(L"QEVSensor");                     // missing: created
    m_services.Remove(L"QEVMon");
    m_services.Create(L"QEVMon", SERVICE_DISABLED);      // disabled: manual start, then started
    RunServiceRepairWorkflow(m_job);                     // the rest are stopped: started
    EXPECT_EQ(m_recorder.Codes(), With(kAllRows, UM_REPAIR_OK));
    for (const auto& name : ServiceNames()) EXPECT_TRUE(m_services.WaitFor(name, SERVICE_RUNNING)) << name.c_str();

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
    m_services.CreateAll();
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
    m_services.CreateAll();
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
    m_services.CreateAll();
    m_services.Start(L"QEV Updater");
    g_serviceControl.controlService = &RefusedStop;
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REPAIR_BEGIN, UM_REPAIR_ITEM1, UM_REPAIR_FAIL}));
}

TEST_F(ServiceRepair, RunningServiceThatDoesNotStopInTimeAbortsTheRow) {
    m_services.CreateAll();
    m_services.Start(L"QEV Updater");
    g_serviceControl.controlService = &AcceptedStop;
    g_serviceControl.queryStatus = &NeverStops;
    g_serviceControl.stopWaitMs = 300;
    g_serviceControl.stopPollMs = 50;
    RunServiceRepairWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REPAIR_BEGIN, UM_REPAIR_ITEM1, UM_REPAIR_FAIL}));
    EXPECT_EQ(m_status.RequestCount(), 0u);
}

}  // namespace
