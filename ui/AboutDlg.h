#pragma once
// The About box, opened from the main dialog's system menu. OK, Escape and the
// close button end it; it has nothing of its own to do.
#include "res/resource.h"
#include "ui/ModalDialog.h"

class CAboutDlg : public CModalDialog {
public:
    CAboutDlg() : CModalDialog(IDD_ABOUTBOX) {}
};
