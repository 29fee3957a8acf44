#pragma once
// The built program started as a process of its own, and its windows found
// from the outside, the way a user's second look at the screen would.
#include "tests/support/TestFiles.h"
#include "ui/SingleInstance.h"

#include <windows.h>

#include <string>

// The program sits at the top of the build tree, two levels above the suite.
inline std::string ProgramPath() { return ExecutableDirectory() + "\\..\\..\\QEVZUN.exe"; }
inline std::string ProgramLogPath() { return ExecutableDirectory() + "\\..\\..\\QEVZUNLOG.log"; }

// A started process, ended by force if it is still running when this goes.
class ProgramProcess {
public:
    explicit ProgramProcess(const std::string& commandLine) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::string line = commandLine;
        if (::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_info)) {
            ::CloseHandle(m_info.hThread);
        } else {
            m_info.hProcess = nullptr;
        }
    }
    ~ProgramProcess() {
        if (m_info.hProcess == nullptr) return;
        if (!Ended(0)) ::TerminateProcess(m_info.hProcess, 99);
        ::CloseHandle(m_info.hProcess);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    bool Started() const { return m_info.hProcess != nullptr; }
    DWORD Id() const { return m_info.dwProcessId; }
    bool Ended(DWORD timeoutMs) const { return ::WaitForSingleObject(m_info.hProcess, timeoutMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = 0;
        ::GetExitCodeProcess(m_info.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION m_info = {};
};

namespace ProgramWindows {

struct Search {
    DWORD process;
    bool (*matches)(HWND window, const void* detail);
    const void* detail;
    HWND found;
};

inline BOOL CALLBACK Visit(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !::IsWindowVisible(window) || !search->matches(window, search->detail)) return TRUE;
    search->found = window;
    return FALSE;
}

inline HWND Find(DWORD process, bool (*matches)(HWND, const void*), const void* detail) {
    Search search = {process, matches, detail, nullptr};
    ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The process's marked main window (test dialogs elsewhere are marked too).
inline HWND MainWindowOf(DWORD process) {
    return Find(process, [](HWND w, const void*) { return IsInstanceWindow(w); }, nullptr);
}

// A visible top-level window of the process with a child of that id.
inline HWND DialogWithItem(DWORD process, int id) {
    return Find(process, [](HWND w, const void* d) { return ::GetDlgItem(w, *static_cast<const int*>(d)) != nullptr; },
                &id);
}

// A visible window of the process that the given window owns (a message box).
inline HWND OwnedBy(DWORD process, HWND owner) {
    return Find(process, [](HWND w, const void* d) { return ::GetWindow(w, GW_OWNER) == *static_cast<const HWND*>(d); },
                &owner);
}

}  // namespace ProgramWindows
