#include "ui/ModalDialog.h"

#include "log/Log.h"
#include "ui/ResourceText.h"

#include <exception>

namespace {

// Messages whose result a dialog procedure returns itself rather than
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_VKEYTOITEM:
        return true;
    default:
        return false;
    }
}

}  // namespace

INT_PTR CModalDialog::DoModal(HWND owner) {
    return ::DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(m_templateId), owner, &CModalDialog::DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

void CModalDialog::EndDialog(INT_PTR result) {
    if (m_hWnd != nullptr) ::EndDialog(m_hWnd, result);
}

BOOL CModalDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void CModalDialog::FocusItem(HWND control) {
    m_focusOnActivate = nullptr;
    if (::GetActiveWindow() != m_hWnd || !::IsWindowEnabled(m_hWnd)) {
        m_focusOnActivate = control;
        return;
    }
    MoveFocusTo(control);
}

void CModalDialog::MoveFocusTo(HWND control) {
    // WM_NEXTDLGCTL rather than DM_SETDEFID: the progress dialog reads
    // WM_USER+1, which DM_SETDEFID is, as a progress message.
    ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

bool CModalDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
    switch (LOWORD(wParam)) {
    case IDOK:
        OnOK();
        result = 0;
        return true;
    case IDCANCEL:
        OnCancel();
        result = 0;
        return true;
    default:
        return false;
    }
}

INT_PTR CModalDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) OnDestroy();
    if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && m_focusOnActivate != nullptr) {
        HWND control = m_focusOnActivate;
        m_focusOnActivate = nullptr;
        if (::IsChild(m_hWnd, control)) {
            // Instead of the system's restoring the focus the dialog had.
            MoveFocusTo(control);
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, 0);
            return TRUE;
        }
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result)) return FALSE;
    if (ReturnsResultDirectly(message)) return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
    return TRUE;
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CModalDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CModalDialog*>(lParam);
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = window;
    } else {
        self = reinterpret_cast<CModalDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
        if (self == nullptr) return FALSE;
    }
    // Nothing may unwind through the system's frames: what a handler failed
    // to do is logged and the message gets its default handling.
    try {
        if (message == WM_INITDIALOG) return self->OnInitDialog();
        INT_PTR handled = self->Dispatch(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrW(window, DWLP_USER, 0);
            self->m_hWnd = nullptr;
        }
        return handled;
    } catch (const std::exception& e) {
        LogCrit("%s: message 0x%04x failed: %s", "CModalDialog::DialogProc", message, e.what());
    } catch (...) {
        LogCrit("%s: message 0x%04x failed", "CModalDialog::DialogProc", message);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return message == WM_INITDIALOG ? TRUE : FALSE;
}
