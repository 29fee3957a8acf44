#include "tests/lab/WindowDescription.h"

#include <commctrl.h>

// WM_GETTEXT reaches the controls of another process (edit controls keep
// their text to themselves otherwise).
std::wstring TextOf(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 2000, &copied);
    return buffer;
}

std::wstring ControlText(HWND dialog, int id) { return TextOf(::GetDlgItem(dialog, id)); }

namespace {

BOOL CALLBACK DescribeChild(HWND child, LPARAM param) {
    auto* text = reinterpret_cast<std::wstring*>(param);
    wchar_t name[32] = {};
    ::GetClassNameW(child, name, 32);
    if (!::IsWindowVisible(child)) return TRUE;
    *text += L" [" + std::to_wstring(::GetDlgCtrlID(child));
    if (lstrcmpiW(name, PROGRESS_CLASSW) == 0) {
        *text += L" bar " + std::to_wstring(::SendMessageW(child, PBM_GETPOS, 0, 0));
    } else {
        *text += L" " + TextOf(child);
    }
    if (!::IsWindowEnabled(child)) *text += L" (disabled)";
    *text += L"]";
    return TRUE;
}

}  // namespace

std::wstring DescribeWindow(HWND window) {
    std::wstring text = L"\"" + TextOf(window) + L"\"";
    if (!::IsWindowEnabled(window)) text += L" (disabled)";
    ::EnumChildWindows(window, &DescribeChild, reinterpret_cast<LPARAM>(&text));
    return text;
}
