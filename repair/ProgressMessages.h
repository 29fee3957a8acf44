#pragma once
// Window messages a repair worker sends to its progress dialog, each with the
// code repeated as wParam and 0 as lParam; receivers act on wParam.
#include <windows.h>

constexpr UINT UM_REINSTALL_BEGIN = WM_USER + 1;
constexpr UINT UM_UNINSTALL_DONE = WM_USER + 2;
constexpr UINT UM_DOWNLOAD_BEGIN = WM_USER + 3;
// WM_USER + 4 is never sent.
constexpr UINT UM_DOWNLOAD_DONE = WM_USER + 5;
constexpr UINT UM_INSTALL_BEGIN = WM_USER + 6;
constexpr UINT UM_REINSTALL_OK = WM_USER + 7;
constexpr UINT UM_REINSTALL_FAIL = WM_USER + 8;
constexpr UINT UM_CHECK_STATE = WM_USER + 9;
constexpr UINT UM_REPAIR_BEGIN = WM_USER + 10;
constexpr UINT UM_REPAIR_ITEM1 = WM_USER + 11;
constexpr UINT UM_REPAIR_ITEM2 = WM_USER + 12;
constexpr UINT UM_REPAIR_ITEM3 = WM_USER + 13;
constexpr UINT UM_REPAIR_ITEM4 = WM_USER + 14;
constexpr UINT UM_REPAIR_ITEM5 = WM_USER + 15;
constexpr UINT UM_REPAIR_OK = WM_USER + 16;
constexpr UINT UM_REPAIR_FAIL = WM_USER + 17;
constexpr UINT UM_REPAIR_CHECK_STATE = WM_USER + 18;
