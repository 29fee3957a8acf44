// Stands in for each of the agent's service executables: whichever of the five
// names it is installed under, it registers with the service control manager,
// reports itself running and ends when it is told to stop. Started any other
// way it finds no control manager to talk to and exits at once. A service
// whose command line adds "--slow-stop" takes 100 ms to stop. Started as
// "watch <service name>" it is a watchdog that starts that service again
// whenever it sees it stopped, until it is ended.
#include "app/Handles.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
DWORD g_stopDelayMs = 0;  // 100 with "--slow-stop" on the service's command line
HANDLE g_stopRequested = nullptr;

void ReportState(DWORD state, DWORD exitCode = NO_ERROR) {
    SERVICE_STATUS status = {};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWin32ExitCode = exitCode;
    status.dwWaitHint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : 3000;
    ::SetServiceStatus(g_statusHandle, &status);
}

DWORD WINAPI HandleControl(DWORD control, DWORD, LPVOID, LPVOID) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
        ReportState(SERVICE_STOP_PENDING);
        ::SetEvent(g_stopRequested);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI RunService(DWORD argc, LPWSTR* argv) {
    // An own-process service is handed its name as the first argument.
    const wchar_t* name = argc > 0 && argv[0] ? argv[0] : L"";
    g_statusHandle = ::RegisterServiceCtrlHandlerExW(name, HandleControl, nullptr);
    if (!g_statusHandle) return;

    UniqueKernelHandle stopRequested(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopRequested) {
        ReportState(SERVICE_STOPPED, ::GetLastError());
        return;
    }
    g_stopRequested = stopRequested.get();
    ReportState(SERVICE_RUNNING);
    ::WaitForSingleObject(stopRequested.get(), INFINITE);
    // As the agent's own services do, it may take a moment to finish its work
    // (and says so, stop-pending) before it reports stopped.
    ::Sleep(g_stopDelayMs);
    ReportState(SERVICE_STOPPED);
}

int Watch(const std::wstring& name) {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 2;
    UniqueServiceHandle service(::OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS | SERVICE_START));
    if (!service) return 3;
    for (;;) {
        SERVICE_STATUS status{};
        if (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOPPED) {
            ::StartServiceW(service.get(), 0, nullptr);
        }
        ::Sleep(5);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "watch") == 0) {
        const std::string name = argv[2];  // service names are ASCII
        return Watch(std::wstring(name.begin(), name.end()));
    }

    if (argc == 2 && std::strcmp(argv[1], "--slow-stop") == 0) g_stopDelayMs = 100;
    wchar_t anyName[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{anyName, RunService}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table)) return 0;
    return ::GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? 0 : 1;
}
