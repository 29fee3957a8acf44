#include "repair/ServiceRepairWorkflow.h"

#include "app/Handles.h"
#include "inspect/InstallLayout.h"
#include "inspect/TextConversion.h"
#include "net/AgentStateQuery.h"
#include "repair/ProgressMessages.h"
#include "repair/ServiceControl.h"

#include <string>

ServiceControl::ServiceControl()
    : openManager(&::OpenSCManagerW),
      openService(&::OpenServiceW),
      queryStatus(&::QueryServiceStatusEx),
      startService(&::StartServiceW),
      changeConfig(&::ChangeServiceConfigW),
      controlService(&::ControlService),
      createService(&::CreateServiceW),
      stopWaitMs(30000),
      stopPollMs(250) {}

ServiceControl g_serviceControl;

namespace {

constexpr DWORD kManagerRights = SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE;
constexpr unsigned int kStatePolls = 5;

bool QueryStatus(SC_HANDLE service, SERVICE_STATUS_PROCESS& status) {
    DWORD needed = 0;
    return g_serviceControl.queryStatus(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                                        sizeof(status), &needed) != FALSE;
}

bool Start(SC_HANDLE service) { return g_serviceControl.startService(service, 0, nullptr) != FALSE; }

// A missing service is created to start with the system, running the row's
// executable in a process of its own, and started.
bool CreateAndStart(const QEVComponent& component) {
    UniqueServiceHandle manager(g_serviceControl.openManager(nullptr, nullptr, kManagerRights));
    if (!manager) return false;
    // Quoted: an unquoted path with spaces lets a planted "C:\Program.exe" run
    // with the service's rights.
    const std::wstring binaryPath = L"\"" + component.first + L"\"";
    UniqueServiceHandle created(g_serviceControl.createService(
        manager.get(), component.second.c_str(), component.second.c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, binaryPath.c_str(),
        nullptr, nullptr, L"", L"", L""));
    if (!created) return false;
    return Start(created.get());
}

enum class StopWait { Stopped, RestartedMeanwhile, TimedOut, QueryFailed };

// Waits, bounded, until a service that accepted a stop request reports stopped:
// starting it while it is still stopping would fail and leave it stopped.
// Something else may restart it meanwhile (the agent's own monitor does): it
// is then start-pending, or running again, which shows as running after a
// state other than running, or in a process other than the one told to stop.
StopWait WaitUntilStopped(SC_HANDLE service, DWORD stoppedProcess) {
    bool leftRunning = false;
    for (DWORD waited = 0;; waited += g_serviceControl.stopPollMs) {
        SERVICE_STATUS_PROCESS status{};
        if (!QueryStatus(service, status)) return StopWait::QueryFailed;
        switch (status.dwCurrentState) {
        case SERVICE_STOPPED:
            return StopWait::Stopped;
        case SERVICE_START_PENDING:
            return StopWait::RestartedMeanwhile;
        case SERVICE_RUNNING:
            if (leftRunning || status.dwProcessId != stoppedProcess) return StopWait::RestartedMeanwhile;
            break;
        default:
            leftRunning = true;
            break;
        }
        if (waited >= g_serviceControl.stopWaitMs) return StopWait::TimedOut;
        ::Sleep(g_serviceControl.stopPollMs);
    }
}

// A running service: stopped and started again. One that someone else
// restarted meanwhile is running as wanted; one that is still stopping when
// the wait ends gets its start all the same, which a service that runs after
// all answers with "already running".
bool RestartRunning(SC_HANDLE service, DWORD runningProcess) {
    SERVICE_STATUS status{};
    if (!g_serviceControl.controlService(service, SERVICE_CONTROL_STOP, &status)) return false;
    switch (WaitUntilStopped(service, runningProcess)) {
    case StopWait::QueryFailed:
        return false;
    case StopWait::RestartedMeanwhile:
        return true;
    case StopWait::Stopped:
    case StopWait::TimedOut:
        break;
    }
    return Start(service) || ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING;
}

bool RepairRow(SC_HANDLE manager, const QEVComponent& component) {
    UniqueServiceHandle service(g_serviceControl.openService(manager, component.second.c_str(), SERVICE_ALL_ACCESS));
    if (!service) {
        if (::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) return false;
        return CreateAndStart(component);
    }

    SERVICE_STATUS_PROCESS status{};
    if (!QueryStatus(service.get(), status)) return false;
    switch (status.dwCurrentState) {
    case SERVICE_STOPPED:
        if (Start(service.get())) return true;
        if (::GetLastError() != ERROR_SERVICE_DISABLED) return false;
        if (!g_serviceControl.changeConfig(service.get(), SERVICE_NO_CHANGE, SERVICE_DEMAND_START,
                                           SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr)) {
            return false;
        }
        return Start(service.get());
    case SERVICE_RUNNING:
        return RestartRunning(service.get(), status.dwProcessId);
    default:
        // Pending or paused: the manager is busy with it; leave it be.
        return true;
    }
}

bool RepairAllRows(RepairJob& job) {
    UniqueServiceHandle manager(g_serviceControl.openManager(nullptr, nullptr, kManagerRights));
    if (!manager) return false;
    UINT row = 0;
    for (const auto& entry : QEVComponentTable) {
        ++row;
        job.Send(UM_REPAIR_BEGIN + row);
        if (!RepairRow(manager.get(), entry.second)) return false;
    }
    return true;
}

}  // namespace

DWORD RunServiceRepairWorkflow(RepairJob& job) {
    job.Send(UM_REPAIR_BEGIN);
    if (RepairAllRows(job)) {
        job.Send(UM_REPAIR_CHECK_STATE);
        if (CheckQEVStatusWithDelay(WideToUtf8(job.m_strUUID), kStatePolls, true) == 1) {
            job.m_bRepairSucceeded = true;
        }
    }
    job.Send(job.m_bRepairSucceeded ? UM_REPAIR_OK : UM_REPAIR_FAIL);
    return 0;
}
