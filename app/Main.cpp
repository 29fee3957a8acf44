// The program's entry: no command line, no configuration; one application
// object runs the main dialog.
#include "app/DllSearchRestriction.h"
#include "app/QEVZUNApp.h"

#include <windows.h>

namespace {
CQEVZUNApp theApp;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearchToSystemDirectory();
    theApp.InitInstance();
    return 0;
}
