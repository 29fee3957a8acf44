// The start-up baseline: the least a Win32 program from this toolchain does to
// show one dialog, so that the program's own start-up cost stands out.
#include "MinimalDialog.h"

#include <windows.h>

namespace {

INT_PTR CALLBACK MinimalDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(window, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ::DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MINIMAL), nullptr, &MinimalDialogProc, 0);
    return 0;
}
