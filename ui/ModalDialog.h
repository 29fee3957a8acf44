#pragma once
// A dialog run modally from a template of the program's resources: the small
// part of a dialog framework the program's three dialogs need.
#include "ui/DialogControls.h"

#include <windows.h>

class CModalDialog {
public:
    explicit CModalDialog(UINT templateId) : m_templateId(templateId) {}
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // Creates the dialog owned by `owner` (none: a top-level window), runs it
    // until it ends and returns its result; -1 when it could not be created.
    INT_PTR DoModal(HWND owner = nullptr);
    void EndDialog(INT_PTR result);

    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    // Attaches the members that stand for controls (runs inside OnInitDialog).
    virtual void DoDataExchange() {}
    // TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    // The dialog's message map: true when the message was handled, with its
    // result in `result`; the default handles OK and Cancel.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Called while the window is being destroyed, children still present.
    virtual void OnDestroy() {}

    // Gives the control the keyboard focus and makes it the default button,
    // so that Enter presses it. A dialog that is not the active window (one
    // disabled under another dialog, for example) gives it the focus when it
    // becomes active again, instead of the control that had it before.
    void FocusItem(HWND control);

    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void Bind(int id, CControl& control) const { control.Attach(GetDlgItem(id)); }
    HWND GetOwnerWindow() const { return ::GetParent(m_hWnd); }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void MoveFocusTo(HWND control);

    UINT m_templateId;
    HWND m_focusOnActivate = nullptr;
};
