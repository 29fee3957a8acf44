// Stands in for each of the agent's service executables: whichever of the five
// names it is installed under, it registers with the service control manager,
// reports itself running and ends when it is told to stop. Started any other
// way it finds no control manager to talk to and exits at once.
#include "app/Handles.h"

#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
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
    ReportState(SERVICE_STOPPED);
}

}  // namespace

int main() {
    wchar_t anyName[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{anyName, RunService}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table)) return 0;
    return ::GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? 0 : 1;
}
