#include "app/QEVZUNApp.h"

#include "app/MainDialogRun.h"
#include "app/SystemLibrary.h"
#include "ui/QEVZUNDlg.h"
#include "ui/SecondCopy.h"
#include "ui/SingleInstance.h"

#include <windows.h>
#include <commctrl.h>

namespace {

// The common controls are not one of the system's known DLLs: imported, they
// would be looked for beside the executable, and so would what they import
// in turn, before WinMain runs. Bound here, after the search was restricted,
// from the system directory; the manifest's side-by-side binding still
// picks version 6. The result is not examined: the dialogs show what fails.
void InitCommonControlClasses() {
    static const SystemLibrary library(L"comctl32.dll");
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const InitFn init = library.Find<InitFn>("InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), 0xFF};
    if (init != nullptr) init(&controls);
}

}  // namespace

bool CQEVZUNApp::InitInstance() {
    InitCommonControlClasses();

    CSingleInstance instance;
    if (!instance.IsFirst()) {
        GiveWayToRunningCopy(10000);
        return false;
    }

    CQEVZUNDlg dialog;
    RunMainDialogThenEndProcess(dialog);  // does not return
}
