#include "tests/lab/LabProgram.h"

#include "res/resource.h"
#include "tests/support/DialogState.h"
#include "tests/support/UiThread.h"
#include "ui/SingleInstance.h"

#include <commctrl.h>

std::string LabProgram::Path(bool secure) { return secure ? QEVZUN_LAB_SECURE_PROGRAM : QEVZUN_LAB_PROGRAM; }

std::string LabProgram::LogPath(bool secure) {
    const std::string program = Path(secure);
    return program.substr(0, program.find_last_of('\\')) + "\\QEVZUNLOG.log";
}

bool LabProgram::Start(bool secure) {
    m_process = std::make_unique<ProgramProcess>("\"" + Path(secure) + "\"");
    return m_process->Started();
}

bool LabProgram::Ended(DWORD timeoutMs) const {
    return !m_process || !m_process->Started() || m_process->Ended(timeoutMs);
}

DWORD LabProgram::ExitCode() const { return m_process ? m_process->ExitCode() : STILL_ACTIVE; }

namespace {

struct Search {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && ::IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

bool IsProgressDialog(HWND window) {
    return ::GetDlgItem(window, IDC_STAGE_TEXT) != nullptr && ::GetDlgItem(window, IDC_PROGRESS) != nullptr;
}

bool IsDialogClass(HWND window) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    return lstrcmpW(name, L"#32770") == 0;
}

}  // namespace

std::vector<HWND> LabProgram::Windows() const {
    Search search = {m_process ? m_process->Id() : 0, {}};
    if (m_process && m_process->Started()) ::EnumWindows(&CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND LabProgram::MainWindow() const {
    return m_process && m_process->Started() ? ProgramWindows::MainWindowOf(m_process->Id()) : nullptr;
}

HWND LabProgram::ProgressWindow() const {
    HWND any = nullptr;
    for (HWND window : Windows()) {
        if (!IsProgressDialog(window)) continue;
        if (::IsWindowEnabled(window)) return window;
        any = window;
    }
    return any;
}

HWND LabProgram::MessageBoxWindow() const {
    for (HWND window : Windows()) {
        if (IsDialogClass(window) && !IsInstanceWindow(window) && !IsProgressDialog(window)) return window;
    }
    return nullptr;
}

HWND LabProgram::WaitForMainWindow(DWORD timeoutMs) const {
    HWND window = nullptr;
    WaitFor([&] { return (window = MainWindow()) != nullptr || Ended(0); }, timeoutMs);
    return window;
}

HWND LabProgram::WaitForProgressWindow(DWORD timeoutMs) const {
    HWND window = nullptr;
    WaitFor([&] { return (window = ProgressWindow()) != nullptr || Ended(0); }, timeoutMs);
    return window;
}

HWND LabProgram::WaitForMessageBox(DWORD timeoutMs) const {
    HWND window = nullptr;
    WaitFor([&] { return (window = MessageBoxWindow()) != nullptr || Ended(0); }, timeoutMs);
    return window;
}
