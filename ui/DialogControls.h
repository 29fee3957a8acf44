#pragma once
// Members that stand for a dialog's child controls: a window handle the dialog
// attaches once its controls exist, and the few operations the dialogs use.
#include <windows.h>
#include <commctrl.h>

#include <string>

class CControl {
public:
    void Attach(HWND window) { m_hWnd = window; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    void SetWindowText(const std::wstring& text) const { ::SetWindowTextW(m_hWnd, text.c_str()); }
    void ShowWindow(bool show) const { ::ShowWindow(m_hWnd, show ? SW_SHOW : SW_HIDE); }
    void EnableWindow(bool enable) const { ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
    bool IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
    void SetFont(HFONT font) const { ::SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE); }

protected:
    HWND m_hWnd = nullptr;
};

class CStatic : public CControl {};
class CButton : public CControl {};

class CListBox : public CControl {
public:
    int AddString(const std::wstring& text) const {
        return static_cast<int>(::SendMessageW(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    }
};

class CProgressCtrl : public CControl {
public:
    void SetPos(int position) const { ::SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0); }
};
