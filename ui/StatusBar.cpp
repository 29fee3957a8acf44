#include "ui/StatusBar.h"

#include "ui/ResourceText.h"

#include <commctrl.h>

bool CStatusBar::Create(HWND parent, UINT id, UINT textId) {
    m_hWnd = ::CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), ResourceModule(),
                               nullptr);
    if (m_hWnd == nullptr) return false;
    RECT client = {};
    ::GetClientRect(parent, &client);
    int rightEdge = client.right - client.left;
    ::SendMessageW(m_hWnd, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&rightEdge));
    std::wstring text = LoadResourceString(textId);
    ::SendMessageW(m_hWnd, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return true;
}
