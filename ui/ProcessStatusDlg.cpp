#include "ui/ProcessStatusDlg.h"

#include "app/UiLanguage.h"
#include "repair/ProgressMessages.h"
#include "ui/PointFont.h"
#include "ui/ProgressStages.h"

CloseConfirmationBox g_closeConfirmationBox = &::MessageBoxW;

namespace {

constexpr COLORREF kFailColour = RGB(255, 0, 0);

}  // namespace

CProcessStatusDlg::CProcessStatusDlg(bool bServiceRepair, std::wstring strUUID, RepairWorkflows workflows)
    : CModalDialog(IDD_PROCESS_STATUS),
      m_bServiceRepair(bServiceRepair),
      m_fontFail(CreatePointFont(100, L"黑体", nullptr)),
      m_job(std::make_shared<RepairJob>(std::move(strUUID))),
      m_workflows(workflows) {}

void CProcessStatusDlg::DoDataExchange() {
    Bind(IDC_PROGRESS, m_progress);
    Bind(IDC_STAGE_TEXT, m_staticInfo);
    Bind(IDC_INSTALL, m_btnInstall);
    Bind(IDC_FAIL_LABEL, m_staticFail);
}

BOOL CProcessStatusDlg::OnInitDialog() {
    CModalDialog::OnInitDialog();
    m_wndStatusBar.Create(m_hWnd, IDW_STATUS_BAR, IDS_SUPPORT_CONTACT);
    // A static draws with the font it was given, so the label gets its font
    // itself; its colour comes from WM_CTLCOLORSTATIC.
    if (m_fontFail) m_staticFail.SetFont(m_fontFail.get());

    m_job->Attach(m_hWnd);
    StartRepairThread(m_job, m_bServiceRepair ? m_workflows.serviceRepair : m_workflows.reinstall);
    return TRUE;
}

bool CProcessStatusDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message >= UM_REINSTALL_BEGIN && message <= UM_REPAIR_CHECK_STATE) {
        OnProgress(wParam);  // the senders repeat the code in wParam; it alone counts
        result = 0;
        return true;
    }
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_INSTALL && HIWORD(wParam) == BN_CLICKED) {
            OnInstallClicked();
            result = 0;
            return true;
        }
        break;
    case WM_CTLCOLORSTATIC:
        if (reinterpret_cast<HWND>(lParam) == m_staticFail.GetSafeHwnd()) {
            LRESULT brush = ::DefWindowProcW(m_hWnd, message, wParam, lParam);
            HDC dc = reinterpret_cast<HDC>(wParam);
            if (m_fontFail) ::SelectObject(dc, m_fontFail.get());
            ::SetTextColor(dc, kFailColour);
            result = brush;
            return true;
        }
        return false;
    default:
        break;
    }
    return CModalDialog::OnMessage(message, wParam, lParam, result);
}

void CProcessStatusDlg::OnProgress(WPARAM code) {
    if (m_bEnded) return;
    const ProgressStage* stage = FindProgressStage(code);
    if (stage == nullptr) return;
    if (stage->textEnglish != nullptr) m_staticInfo.SetWindowText(Pick(stage->textChinese, stage->textEnglish));
    if (stage->barPosition >= 0) m_progress.SetPos(stage->barPosition);
    switch (stage->effect) {
    case StageEffect::None:
        break;
    case StageEffect::RelayAndEnd:
        ::SendMessageW(GetOwnerWindow(), stage->code, stage->code, 0);
        End();
        break;
    case StageEffect::ReinstallFailed:
        m_progress.ShowWindow(false);
        m_staticFail.ShowWindow(true);
        m_btnInstall.SetWindowText(Pick(L"确认", L"OK"));
        m_btnInstall.ShowWindow(true);
        m_bInstallOnClick = false;
        FocusItem(m_btnInstall.GetSafeHwnd());  // Enter acknowledges, as a click does
        break;
    case StageEffect::RepairFailed:
        m_progress.ShowWindow(false);
        m_btnInstall.ShowWindow(true);
        m_bInstallOnClick = true;
        FocusItem(m_btnInstall.GetSafeHwnd());  // Enter takes the offer, as a click does
        break;
    }
}

void CProcessStatusDlg::OnInstallClicked() {
    if (m_bEnded) return;
    if (m_bInstallOnClick) {
        // The reinstall runs over this dialog, which stays on screen (disabled)
        // and ends after it: until then it must still relay what the new
        // dialog reports to it.
        CProcessStatusDlg reinstall(false, std::wstring(), m_workflows);
        reinstall.DoModal(m_hWnd);
        End();
    } else {
        ::SendMessageW(GetOwnerWindow(), UM_REINSTALL_FAIL, UM_REINSTALL_FAIL, 0);
        End();
    }
}

void CProcessStatusDlg::OnOK() {
    // Enter must not leave a running repair behind without the question.
}

void CProcessStatusDlg::OnCancel() {
    if (m_bEnded) return;
    int answer = g_closeConfirmationBox(m_hWnd, Pick(L"是否确认退出？", L"Are you sure you want to exit?"),
                                        Pick(L"温馨提示", L"Warning"), MB_YESNO | MB_ICONQUESTION);
    if (answer != IDNO) End();
}

void CProcessStatusDlg::OnDestroy() {
    m_bEnded = true;
    // The worker may go on; from here its reports go nowhere and its results
    // land in the job, which it keeps alive.
    m_job->Detach();
}

void CProcessStatusDlg::End() {
    m_bEnded = true;
    EndDialog(IDCANCEL);
}
