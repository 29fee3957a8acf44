#include "tests/support/DialogState.h"

#include <commctrl.h>

std::wstring WindowText(HWND window) {
    wchar_t buffer[1024] = {};
    ::GetWindowTextW(window, buffer, 1024);
    return buffer;
}

std::wstring ItemText(HWND dialog, int id) {
    return WindowText(::GetDlgItem(dialog, id));
}

bool ItemShown(HWND dialog, int id) {
    return (::GetWindowLongW(::GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool ItemEnabled(HWND dialog, int id) {
    return ::IsWindowEnabled(::GetDlgItem(dialog, id)) != FALSE;
}

std::vector<std::wstring> ListBoxItems(HWND dialog, int id) {
    HWND list = ::GetDlgItem(dialog, id);
    std::vector<std::wstring> items;
    LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t buffer[256] = {};
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer));
        items.push_back(buffer);
    }
    return items;
}

int ProgressPosition(HWND dialog, int id) {
    return static_cast<int>(::SendMessageW(::GetDlgItem(dialog, id), PBM_GETPOS, 0, 0));
}

COLORREF StaticTextColour(HWND dialog, int id) {
    HDC screen = ::GetDC(nullptr);
    HDC dc = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    ::SetTextColor(dc, RGB(1, 2, 3));  // a colour nobody sets
    ::SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
    COLORREF colour = ::GetTextColor(dc);
    ::DeleteDC(dc);
    return colour;
}

LOGFONTW ItemFont(HWND dialog, int id) {
    LOGFONTW lf = {};
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(::GetDlgItem(dialog, id), WM_GETFONT, 0, 0));
    if (font != nullptr) ::GetObjectW(font, sizeof(lf), &lf);
    return lf;
}

LONG PointHeight(int tenthsOfPoint) {
    HDC screen = ::GetDC(nullptr);
    int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return -::MulDiv(tenthsOfPoint, dpi, 720);
}

RECT ItemRect(HWND dialog, int id) {
    RECT r = {};
    ::GetWindowRect(::GetDlgItem(dialog, id), &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT DialogUnitsToPixels(HWND dialog, int x, int y, int width, int height) {
    RECT r = {x, y, x + width, y + height};
    ::MapDialogRect(dialog, &r);
    return r;
}

std::wstring StatusBarText(HWND dialog) {
    HWND bar = ::GetDlgItem(dialog, 0xE801);
    wchar_t buffer[512] = {};
    if (LOWORD(::SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0)) < 512) {
        ::SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buffer));
    }
    return buffer;
}

std::vector<int> StatusBarParts(HWND dialog) {
    HWND bar = ::GetDlgItem(dialog, 0xE801);
    int parts[16] = {};
    int count = static_cast<int>(::SendMessageW(bar, SB_GETPARTS, 16, reinterpret_cast<LPARAM>(parts)));
    return std::vector<int>(parts, parts + (count > 0 && count <= 16 ? count : 0));
}

namespace {
BOOL CALLBACK CollectStatic(HWND child, LPARAM list) {
    wchar_t cls[32] = {};
    ::GetClassNameW(child, cls, 32);
    if (lstrcmpiW(cls, L"Static") == 0) reinterpret_cast<std::vector<std::wstring>*>(list)->push_back(WindowText(child));
    return TRUE;
}
}  // namespace

std::vector<std::wstring> StaticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    ::EnumChildWindows(dialog, &CollectStatic, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

HWND FocusOnThreadOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

void Press(HWND dialog, int id) {
    ::PostMessageW(::GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

void PressKey(WORD virtualKey) {
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = virtualKey;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
}
