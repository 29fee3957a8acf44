#pragma once
// The service control manager calls of the service repair, behind a table so
// that tests can produce the answers Wine's manager never gives (no rights,
// a refused stop, a service that never stops).
#include <windows.h>
#include <winsvc.h>

struct ServiceControl {
    ServiceControl();  // the real calls
    decltype(&::OpenSCManagerW) openManager;
    decltype(&::OpenServiceW) openService;
    decltype(&::QueryServiceStatusEx) queryStatus;
    decltype(&::StartServiceW) startService;
    decltype(&::ChangeServiceConfigW) changeConfig;
    decltype(&::ControlService) controlService;
    decltype(&::CreateServiceW) createService;
    DWORD stopWaitMs;      // how long a stopped-then-started service may take to stop
    DWORD stopPollMs;      // how often its state is asked meanwhile
};

extern ServiceControl g_serviceControl;
