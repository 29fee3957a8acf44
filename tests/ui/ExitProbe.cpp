// Started by the program tests as a fresh process: the program's own end, with
// a worker that is still logging and reading the constant tables and seams
// when the main dialog closes.
#include "app/MainDialogRun.h"
#include "inspect/InstallLayout.h"
#include "log/Log.h"
#include "net/AgentStateQuery.h"
#include "tests/support/FakeMainDialogServices.h"
#include "tests/support/ProgramProcess.h"
#include "ui/QEVZUNDlg.h"

#include <windows.h>
#include <commctrl.h>

#include <atomic>

namespace {

std::atomic<unsigned> g_workerRounds{0};

// What a repair worker does all the time: log, look up the tables, use a seam.
DWORD WINAPI BusyWorker(LPVOID) {
    for (unsigned round = 1;; ++round) {
        LogInfo("%s: round %u, state %d", "ExitProbe::BusyWorker", round, ServerStateCodes.find("NORMAL")->second);
        if (QEVComponentTable.find(L"QEVMON.EXE") == QEVComponentTable.end()) LogError("no QEVMon row");
        g_pollSleep(0);
        g_workerRounds = round;
    }
}

// The user closes the main dialog while the worker is in full swing.
DWORD WINAPI Closer(LPVOID) {
    for (int waited = 0; waited < 60000; waited += 10) {
        HWND dialog = ProgramWindows::MainWindowOf(::GetCurrentProcessId());
        if (dialog != nullptr && g_workerRounds > 50) {
            ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            return 0;
        }
        ::Sleep(10);
    }
    ::ExitProcess(2);  // the dialog never came: not the fault looked for
}

// Windows ends a crashed process with the exception's code; Wine may start its
// debugger instead and report 0, so the probe ends with the code itself.
LONG WINAPI EndWithTheExceptionCode(EXCEPTION_POINTERS* exception) {
    ::TerminateProcess(::GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ::SetUnhandledExceptionFilter(&EndWithTheExceptionCode);
    INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), 0xFF};
    ::InitCommonControlsEx(&controls);
    FakeMainDialog::SetFacts(FakeFacts());

    // Progress dialogs closed early leave their workers running: several at once.
    for (int i = 0; i < 4; ++i) {
        UniqueKernelHandle worker(::CreateThread(nullptr, 0, &BusyWorker, nullptr, 0, nullptr));
        if (!worker) return 3;
    }
    UniqueKernelHandle closer(::CreateThread(nullptr, 0, &Closer, nullptr, 0, nullptr));
    if (!closer) return 3;

    CQEVZUNDlg dialog(FakeMainDialog::Services());
    RunMainDialogThenEndProcess(dialog);
}
