// The built program itself: its start-up, its one-copy rule and the DLL
// search it restricts.
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UiThread.h"
#include "tests/support/ProgramProcess.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>
#include <string>

namespace {

TEST(ProgramTest, ASecondCopyBringsTheFirstForwardAndEnds) {
    LogCapture log(ProgramLogPath());
    ProgramProcess first("\"" + ProgramPath() + "\"");
    ASSERT_TRUE(first.Started());
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = ProgramWindows::MainWindowOf(first.Id())) != nullptr && ::IsWindowVisible(window); },
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

    ProgramProcess second("\"" + ProgramPath() + "\"");
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

// The real end of the program, in a probe whose main dialog closes while a
// worker logs and reads the tables: a race, so it is run many times.
TEST(ProgramTest, EndsWithExitCodeZeroWhileAWorkerStillRuns) {
    const std::string probeDirectory = ExecutableDirectory() + "\\..\\exit_probe";
    for (int run = 1; run <= 20; ++run) {
        ProgramProcess probe("\"" + probeDirectory + "\\exit_probe.exe\"");
        ASSERT_TRUE(probe.Started());
        ASSERT_TRUE(probe.Ended(60000)) << "run " << run;
        EXPECT_EQ(probe.ExitCode(), 0u) << "run " << run;
    }
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
    ProgramProcess probe("\"" + SiblingPath("qevzun_dll_search_probe.exe") + "\" " + c.argument);
    ASSERT_TRUE(probe.Started());
    ASSERT_TRUE(probe.Ended(30000));
    EXPECT_EQ(probe.ExitCode(), c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(Startup, DllSearch, ::testing::ValuesIn(kProbeCases),
                         [](const ::testing::TestParamInfo<ProbeCase>& info) { return std::string(info.param.name); });

}  // namespace
