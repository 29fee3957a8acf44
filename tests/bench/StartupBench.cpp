// Start-up: from process start to a visible top-level window of that process,
// for the built program and for a program that shows one dialog from a
// template, alternately, in the same prefix. The agent footprint is laid out
// and the status server answers at once, so that the program walks its
// ordinary opening road and no network wait hides in the figure. While the
// program's main dialog is shown its peak working set is taken as well.
//
//   qevzun_bench_startup <runs> [program...]
//
// Further programs, when named, are started in the same rotation and their
// figures printed as startup.extra.<n> (n from 1): a way to take a start-up
// apart, say with the baseline linked against the program's libraries.
#include "BenchSupport.h"

#include "app/BuildConfig.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/HttpTestServer.h"

#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

constexpr DWORD kShowTimeoutMs = 120000;
constexpr DWORD kEndTimeoutMs = 30000;

struct WindowSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->process || !::IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND VisibleWindowOf(DWORD process) {
    WindowSearch search = {process, nullptr};
    ::EnumWindows(&MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct Launch {
    bool shown = false;
    double ms = 0;
    SIZE_T peakWorkingSet = 0;
};

// Starts the program, waits for its window, then closes it as a user would
// (Cancel) and waits for the process to end, so that the next start finds no
// running copy.
Launch StartAndShow(const std::string& program) {
    Launch launch;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::string line = "\"" + program + "\"";
    double start = bench::NowMs();
    if (!::CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        bench::Failure("cannot start " + program + ", error " + std::to_string(::GetLastError()));
        return launch;
    }
    ::CloseHandle(info.hThread);

    HWND window = nullptr;
    for (;;) {
        window = VisibleWindowOf(info.dwProcessId);
        if (window != nullptr) break;
        if (::WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0) break;
        if (bench::NowMs() - start > kShowTimeoutMs) break;
    }
    launch.ms = bench::NowMs() - start;
    launch.shown = window != nullptr;
    if (!launch.shown) {
        bench::Failure(program + " showed no window");
    } else {
        // Once it waits for input it has painted; the peak then covers the
        // whole opening.
        ::WaitForInputIdle(info.hProcess, 5000);
        launch.peakWorkingSet = bench::MemoryOf(info.hProcess).PeakWorkingSetSize;
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    if (::WaitForSingleObject(info.hProcess, kEndTimeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(info.hProcess, 99);
        ::WaitForSingleObject(info.hProcess, kEndTimeoutMs);
    }
    ::CloseHandle(info.hProcess);
    return launch;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    if (runs < 1) runs = 1;

    const std::string here = bench::DirectoryOfExecutable();
    const std::string program = here + "\\..\\..\\QEVZUN.exe";
    const std::string minimal = here + "\\qevzun_bench_minimal_dialog.exe";

    HttpTestServer statusServer;
    statusServer.SetFallback([](const HttpRequestRecord&) {
        return HttpReply::Json(R"({"status":0,"data":{"state":"NORMAL","releaseVersion":"3.5.12.1"}})");
    });
    if (!statusServer.Start(g_statusServerPort)) {
        bench::Failure("status server: " + statusServer.StartError());
        return 1;
    }
    try {
        FakeAgent::Install();
    } catch (const std::exception& e) {
        bench::Failure(std::string("agent footprint: ") + e.what());
        return 1;
    }

    int status = 0;
    // One start of each first: the prefix's libraries and files come into the
    // cache, which the counted starts then all find there.
    if (!StartAndShow(minimal).shown || !StartAndShow(program).shown) status = 1;
    for (int i = 0; status == 0 && i < runs; ++i) {
        Launch base = StartAndShow(minimal);
        Launch own = StartAndShow(program);
        if (!base.shown || !own.shown) {
            status = 1;
            break;
        }
        bench::Sample("startup.baseline", base.ms);
        bench::Sample("startup.qevzun", own.ms);
        bench::Sample("footprint.peak_working_set", static_cast<double>(own.peakWorkingSet));
        bench::Sample("footprint.baseline_peak_working_set", static_cast<double>(base.peakWorkingSet));
        for (int extra = 2; extra < argc; ++extra) {
            Launch other = StartAndShow(argv[extra]);
            if (!other.shown) {
                status = 1;
                break;
            }
            bench::Sample("startup.extra." + std::to_string(extra - 1), other.ms);
        }
    }
    if (status == 0 && statusServer.RequestCount() == 0) {
        bench::Failure("the program never asked the status server");
        status = 1;
    }

    FakeAgent::Remove();
    return status;
}
