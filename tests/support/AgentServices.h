#pragma once
// The agent's five services as the machine's service control manager holds
// them, all running the fake agent's service program from the paths of the
// component table. Operations report success; tests assert on it.
#include <windows.h>

#include <string>
#include <vector>

class AgentServices {
public:
    AgentServices();
    ~AgentServices();  // removes every agent service it can find
    AgentServices(const AgentServices&) = delete;
    AgentServices& operator=(const AgentServices&) = delete;

    // The fake agent's service program in the build tree: beside the calling
    // binary's directory, in fakeagent\service.
    static std::string ServiceProgram();
    static std::vector<std::wstring> Names();  // in component-table order
    // The same program as a watchdog that starts the named service again as
    // soon as it sees it stopped, as the agent's own monitor does.
    static std::string WatchdogCommand(const std::wstring& name);
    // Makes the service take a moment between its stop request and its stop
    // (stop-pending meanwhile), as the agent's own services do. Not the
    // default: Wine's Windows Installer does not wait for such a stop before
    // it starts the services of a package it installs.
    static constexpr const wchar_t* kSlowStop = L"--slow-stop";

    // The service program copied to each image path of the component table.
    bool CopyExecutables();
    // arguments: for the service program's command line, such as kSlowStop.
    bool Create(const std::wstring& name, DWORD startType = SERVICE_DEMAND_START,
                const std::wstring& arguments = std::wstring());
    bool CreateAll(DWORD startType = SERVICE_DEMAND_START);
    bool Start(const std::wstring& name);  // and waits until it runs

    bool Stop(const std::wstring& name);  // the stop request only; true when it was accepted

    DWORD State(const std::wstring& name) const;  // 0 when the service is missing
    DWORD ProcessId(const std::wstring& name) const;  // of a running service; 0 otherwise
    bool WaitFor(const std::wstring& name, DWORD state) const;

    struct Config {
        DWORD type = 0, start = 0, error = 0;
        std::wstring path, display;
    };
    Config ConfigOf(const std::wstring& name) const;

    void Remove(const std::wstring& name);  // stopped first; waits until it is gone
    void RemoveAll();

    // The services are kept when this object goes (the lab leaves them for the program).
    void Keep() { m_keep = true; }

private:
    SC_HANDLE m_manager;
    bool m_keep = false;
};
