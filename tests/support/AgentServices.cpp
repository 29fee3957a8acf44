#include "tests/support/AgentServices.h"

#include "inspect/InstallLayout.h"
#include "app/Handles.h"
#include "inspect/TextConversion.h"
#include "tests/support/TestFiles.h"

AgentServices::AgentServices() : m_manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}

AgentServices::~AgentServices() {
    if (!m_keep) RemoveAll();
    if (m_manager) ::CloseServiceHandle(m_manager);
}

std::string AgentServices::ServiceProgram() {
    std::string here = ExecutableDirectory();
    return here.substr(0, here.find_last_of('\\')) + "\\fakeagent\\service\\qevzun_fakeagent_service.exe";
}

std::string AgentServices::WatchdogCommand(const std::wstring& name) {
    return "\"" + ServiceProgram() + "\" watch \"" + WideToUtf8(name) + "\"";
}

std::vector<std::wstring> AgentServices::Names() {
    std::vector<std::wstring> names;
    for (const auto& row : QEVComponentTable) names.push_back(row.second.second);
    return names;
}

bool AgentServices::CopyExecutables() {
    ::CreateDirectoryA("C:\\Program Files\\Tamvoro", nullptr);
    ::CreateDirectoryA("C:\\Program Files\\Tamvoro\\QEV", nullptr);
    ::CreateDirectoryA("C:\\Program Files\\Tamvoro\\QEV\\bin", nullptr);
    const std::string program = ServiceProgram();
    for (const auto& row : QEVComponentTable) {
        if (!::CopyFileA(program.c_str(), WideToUtf8(row.second.first).c_str(), FALSE)) return false;
    }
    return true;
}

bool AgentServices::Create(const std::wstring& name, DWORD startType, const std::wstring& arguments) {
    for (const auto& row : QEVComponentTable) {
        if (row.second.second != name) continue;
        std::wstring path = L"\"" + row.second.first + L"\"";
        if (!arguments.empty()) path += L" " + arguments;
        SC_HANDLE s = ::CreateServiceW(m_manager, name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, startType, SERVICE_ERROR_NORMAL, path.c_str(),
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
        if (!s) return false;
        ::CloseServiceHandle(s);
        return true;
    }
    return false;
}

bool AgentServices::CreateAll(DWORD startType) {
    bool all = true;
    for (const auto& row : QEVComponentTable) all = Create(row.second.second, startType) && all;
    return all;
}

bool AgentServices::Start(const std::wstring& name) {
    SC_HANDLE s = ::OpenServiceW(m_manager, name.c_str(), SERVICE_ALL_ACCESS);
    if (!s) return false;
    const bool started = ::StartServiceW(s, 0, nullptr) != FALSE;
    ::CloseServiceHandle(s);
    return started && WaitFor(name, SERVICE_RUNNING);
}

bool AgentServices::Stop(const std::wstring& name) {
    UniqueServiceHandle s(::OpenServiceW(m_manager, name.c_str(), SERVICE_STOP));
    SERVICE_STATUS status{};
    return s && ::ControlService(s.get(), SERVICE_CONTROL_STOP, &status);
}

DWORD AgentServices::ProcessId(const std::wstring& name) const {
    UniqueServiceHandle s(::OpenServiceW(m_manager, name.c_str(), SERVICE_QUERY_STATUS));
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!s || !::QueryServiceStatusEx(s.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                                      sizeof(status), &needed)) {
        return 0;
    }
    return status.dwCurrentState == SERVICE_RUNNING ? status.dwProcessId : 0;
}

DWORD AgentServices::State(const std::wstring& name) const {
    SC_HANDLE s = ::OpenServiceW(m_manager, name.c_str(), SERVICE_QUERY_STATUS);
    if (!s) return 0;
    SERVICE_STATUS status{};
    ::QueryServiceStatus(s, &status);
    ::CloseServiceHandle(s);
    return status.dwCurrentState;
}

bool AgentServices::WaitFor(const std::wstring& name, DWORD state) const {
    for (int i = 0; i < 200; ++i) {
        if (State(name) == state) return true;
        ::Sleep(50);
    }
    return false;
}

AgentServices::Config AgentServices::ConfigOf(const std::wstring& name) const {
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

void AgentServices::Remove(const std::wstring& name) {
    SC_HANDLE s = ::OpenServiceW(m_manager, name.c_str(), SERVICE_ALL_ACCESS);
    if (!s) return;
    SERVICE_STATUS status{};
    ::ControlService(s, SERVICE_CONTROL_STOP, &status);
    ::DeleteService(s);
    ::CloseServiceHandle(s);
    WaitFor(name, 0);
}

void AgentServices::RemoveAll() {
    for (const auto& row : QEVComponentTable) Remove(row.second.second);
}
