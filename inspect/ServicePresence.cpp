#include "inspect/ServicePresence.h"

#include "app/Handles.h"
#include "log/Log.h"

#include <windows.h>

bool CheckIsServiceExist(std::string serviceName) {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        LogError("%s(%d) OpenSCManager Fail! Error Code:%d", "CheckIsServiceExist", __LINE__,
                 static_cast<int>(::GetLastError()));
        return false;
    }
    // Any reason the service cannot be opened (absent, access denied) counts as absence.
    UniqueServiceHandle service(::OpenServiceA(manager.get(), serviceName.c_str(), SERVICE_ALL_ACCESS));
    if (!service) {
        LogError("%s(%d) OpenService Fail! Service Name:%s, Error Code:%d", "CheckIsServiceExist", __LINE__,
                 serviceName.c_str(), static_cast<int>(::GetLastError()));
        return false;
    }
    return true;
}
