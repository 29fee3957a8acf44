#pragma once
// The modal dialog that runs one repair on a worker thread and shows how far
// it has got; it relays a success to its owner window and, after a failure,
// offers the next step.
#include "repair/RepairJob.h"
#include "res/resource.h"
#include "ui/DialogControls.h"
#include "ui/GdiHandles.h"
#include "ui/ModalDialog.h"
#include "ui/RepairWorkflows.h"
#include "ui/StatusBar.h"

#include <memory>
#include <string>

// Shows the question before a running repair's dialog is left: MessageBoxW,
// replaced by tests.
using CloseConfirmationBox = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
extern CloseConfirmationBox g_closeConfirmationBox;

class CProcessStatusDlg : public CModalDialog {
public:
    // bServiceRepair: the service repair workflow, otherwise the reinstall.
    CProcessStatusDlg(bool bServiceRepair, std::wstring strUUID,
                      RepairWorkflows workflows = DefaultRepairWorkflows());

    // What the worker shares with the dialog, its result flags included. It
    // outlives the dialog for as long as the worker runs.
    const std::shared_ptr<RepairJob>& Job() const { return m_job; }

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnOK() override;
    void OnCancel() override;
    void OnDestroy() override;

private:
    void OnProgress(WPARAM code);
    void OnInstallClicked();
    void End();

    CProgressCtrl m_progress;
    CStatic m_staticInfo;
    bool m_bServiceRepair;
    bool m_bInstallOnClick = true;  // button 1012: start a reinstall, or acknowledge a failure
    CButton m_btnInstall;
    CStatic m_staticFail;
    UniqueFont m_fontFail;
    CStatusBar m_wndStatusBar;
    std::shared_ptr<RepairJob> m_job;
    RepairWorkflows m_workflows;
    bool m_bEnded = false;  // once set, the worker's late reports change nothing
};
