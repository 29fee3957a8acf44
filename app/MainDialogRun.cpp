#include "app/MainDialogRun.h"

#include "ui/ModalDialog.h"

#include <windows.h>

void RunMainDialogThenEndProcess(CModalDialog& mainDialog) {
    mainDialog.DoModal();  // its result does not matter
    ::ExitProcess(0);
}
