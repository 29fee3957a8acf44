// The built program itself: its start-up, its one-copy rule and the DLL
// search it restricts.
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UiThread.h"
#include "ui/SingleInstance.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

namespace {

// The program sits at the top of the build tree, two levels above the suite.
std::string ProgramPath() { return ExecutableDirectory() + "\\..\\..\\QEVZUN.exe"; }

class Process {
public:
    explicit Process(const std::string& commandLine) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        std::string line = commandLine;
        if (::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &m_info)) {
            ::CloseHandle(m_info.hThread);
        } else {
            m_info.hProcess = nullptr;
        }
    }
    ~Process() {
        if (m_info.hProcess == nullptr) return;
        if (!Ended(0)) ::TerminateProcess(m_info.hProcess, 99);
        ::CloseHandle(m_info.hProcess);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

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

struct WindowSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK MatchInstanceWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !IsInstanceWindow(window)) return TRUE;
    search->found = window;
    return FALSE;
}

// The marked main window of one process (test dialogs elsewhere are marked too).
HWND InstanceWindowOf(DWORD process) {
    WindowSearch search = {process, nullptr};
    ::EnumWindows(&MatchInstanceWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(ProgramTest, ASecondCopyBringsTheFirstForwardAndEnds) {
    LogCapture log(ExecutableDirectory() + "\\..\\..\\QEVZUNLOG.log");
    Process first("\"" + ProgramPath() + "\"");
    ASSERT_TRUE(first.Started());
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = InstanceWindowOf(first.Id())) != nullptr && ::IsWindowVisible(window); },
                        60000));

    // One summary line, whatever this machine's agent looks like.
    ASSERT_TRUE(WaitFor([&] { return log.Count("QEV Agent Version:") > 0; }, 5000));
    bool matched = false;
    for (const std::string& line : log.Lines()) {
        matched = matched || std::regex_match(line, std::regex(R"(\[INFO\] QEV Agent Version:.*, UUID:.*, Status:(Active|Inactive|Old Version|Not installed|))"));
    }
    EXPECT_TRUE(matched) << log.Dump();

    ::ShowWindowAsync(window, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return ::IsIconic(window) != FALSE; }));

    Process second("\"" + ProgramPath() + "\"");
    ASSERT_TRUE(second.Started());
    ASSERT_TRUE(second.Ended(30000));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_FALSE(first.Ended(0));
    EXPECT_FALSE(::IsIconic(window));
    EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == window; }, 5000));

    // Closing the main dialog ends the program; no window stays behind.
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(first.Ended(20000));
    EXPECT_EQ(first.ExitCode(), 0u);
    EXPECT_FALSE(::IsWindow(window));
}

struct ProbeCase {
    const char* name;
    const char* argument;
    DWORD exitCode;  // 1: the planted DLL was loaded
};

void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }

const ProbeCase kProbeCases[] = {
    {"UnrestrictedLoadsThePlantedDll", "open", 1},  // the probe can see the fault
    {"RestrictedNeverLoadsIt", "restricted", 0},
};

class DllSearch : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(DllSearch, PlantedDllBesideTheExecutable) {
    const ProbeCase& c = GetParam();
    ASSERT_TRUE(FileExists(SiblingPath("qevzun_planted.dll")));
    Process probe("\"" + SiblingPath("qevzun_dll_search_probe.exe") + "\" " + c.argument);
    ASSERT_TRUE(probe.Started());
    ASSERT_TRUE(probe.Ended(30000));
    EXPECT_EQ(probe.ExitCode(), c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Startup, DllSearch, ::testing::ValuesIn(kProbeCases),
                         [](const ::testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

}  // namespace
