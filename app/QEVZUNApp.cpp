#include "app/QEVZUNApp.h"

#include "app/MainDialogRun.h"
#include "ui/QEVZUNDlg.h"
#include "ui/SecondCopy.h"
#include "ui/SingleInstance.h"

#include <windows.h>
#include <commctrl.h>

bool CQEVZUNApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), 0xFF};
    ::InitCommonControlsEx(&controls);

    CSingleInstance instance;
    if (!instance.IsFirst()) {
        GiveWayToRunningCopy(10000);
        return false;
    }

    CQEVZUNDlg dialog;
    RunMainDialogThenEndProcess(dialog);  // does not return
}
