#include "ui/QEVZUNDlg.h"

#include "app/NotAvailable.h"
#include "app/UiLanguage.h"
#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "repair/ProgressMessages.h"
#include "ui/AboutDlg.h"
#include "ui/PointFont.h"
#include "ui/ProcessStatusDlg.h"
#include "ui/ResourceText.h"
#include "ui/SingleInstance.h"
#include "ui/StatusPresentation.h"

#include <stdexcept>

namespace {

// Texts from the agent's files and the server are not trusted to be UTF-8;
// one that is not shows as "N/A" rather than ending the program.
std::wstring DisplayText(const char* operation, const char* what, const std::string& utf8) {
    try {
        return Utf8ToWide(utf8);
    } catch (const std::range_error&) {
        LogError("%s: %s is not valid UTF-8", operation, what);
        return kNotAvailableWide;
    }
}

}  // namespace

CQEVZUNDlg::CQEVZUNDlg(const MainDialogServices& services)
    : CModalDialog(IDD_QEVZUN_DIALOG),
      m_hIcon(::LoadIconW(ResourceModule(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      // An unrecognised state never sets a colour: it keeps the usual one.
      m_crStatus(::GetSysColor(COLOR_WINDOWTEXT)),
      m_services(services) {}

void CQEVZUNDlg::DoDataExchange() {
    Bind(IDC_MAC_LIST, m_listMac);
    Bind(IDC_REINSTALL_HINT, m_staticHint);
    Bind(IDOK, m_btnInstall);
    Bind(IDC_REPAIR_DONE, m_staticDone);
}

BOOL CQEVZUNDlg::OnInitDialog() {
    CModalDialog::OnInitDialog();
    AddAboutItemToSystemMenu();
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_wndStatusBar.Create(m_hWnd, IDW_STATUS_BAR, IDS_SUPPORT_CONTACT);

    g_uiLanguage = m_services.userUiLanguage();
    m_font = CreatePointFont(120, Pick(L"黑体", L"Arial"), m_hWnd);
    // A static draws with the font it was given, so the two notes get theirs
    // as their own font; without it they keep the dialog's.
    if (m_font) {
        m_staticHint.SetFont(m_font.get());
        m_staticDone.SetFont(m_font.get());
    }

    m_strUUID = m_services.agentUUID();

    wchar_t computerName[16] = {};
    DWORD size = 16;
    if (m_services.computerName(computerName, &size)) m_strComputerName = computerName;

    m_macList = m_services.macAddresses();
    m_strVersion = DisplayText("CQEVZUNDlg::OnInitDialog", "version", m_services.productVersion("agent"));

    std::string latest;
    m_nStatus = m_services.checkStatus(WideToUtf8(m_strUUID), latest);
    m_strVersion += VersionText("CQEVZUNDlg::OnInitDialog", latest);

    ::SetDlgItemTextW(m_hWnd, IDC_COMPUTER_NAME, m_strComputerName.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_VERSION, m_strVersion.c_str());
    ::SetDlgItemTextW(m_hWnd, IDC_UUID, m_strUUID.c_str());
    for (const std::string& mac : m_macList) {
        try {
            m_listMac.AddString(Utf8ToWide(mac));
        } catch (const std::range_error&) {
            LogError("%s: a MAC address is not valid UTF-8", "CQEVZUNDlg::OnInitDialog");
        }
    }

    ApplyStatusPresentation();
    LogInfo("QEV Agent Version:%s, UUID:%s, Status:%s", WideToUtf8(m_strVersion).c_str(),
            WideToUtf8(m_strUUID).c_str(), PresentationOf(m_nStatus).logWord);

    MarkAsInstanceWindow(m_hWnd);
    return TRUE;
}

std::wstring CQEVZUNDlg::VersionText(const char* operation, const std::string& latest) const {
    if (latest.empty()) return std::wstring();
    return Pick(L"(最新版本为", L"(The latest version is ") + DisplayText(operation, "latest version", latest) +
           L")";
}

void CQEVZUNDlg::AddAboutItemToSystemMenu() {
    std::wstring about = LoadResourceString(IDS_ABOUTBOX);
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    if (about.empty() || systemMenu == nullptr) return;
    ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

void CQEVZUNDlg::ApplyStatusPresentation() {
    const StatusPresentation& look = PresentationOf(m_nStatus);
    if (!look.applies) return;
    ::SetDlgItemTextW(m_hWnd, IDC_STATUS_TEXT, Pick(look.textChinese, look.textEnglish));
    m_crStatus = look.colour;
    if (look.hideHint) m_staticHint.ShowWindow(false);
    if (look.buttonEnglish != nullptr) m_btnInstall.SetWindowText(Pick(look.buttonChinese, look.buttonEnglish));
    m_bServiceRepair = look.serviceRepair;
}

bool CQEVZUNDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about;
            about.DoModal(m_hWnd);
            result = 0;
            return true;
        }
        return false;
    case WM_PAINT:
        if (!::IsIconic(m_hWnd)) return false;
        PaintMinimised();
        result = 0;
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    case WM_CTLCOLORSTATIC: {
        HWND control = reinterpret_cast<HWND>(lParam);
        HDC dc = reinterpret_cast<HDC>(wParam);
        int id = ::GetDlgCtrlID(control);
        if (id != IDC_STATUS_TEXT && id != IDC_REINSTALL_HINT && id != IDC_REPAIR_DONE) return false;
        result = ::DefWindowProcW(m_hWnd, message, wParam, lParam);
        if (id == IDC_STATUS_TEXT) {
            ::SetTextColor(dc, m_crStatus);
        } else if (m_font) {
            ::SelectObject(dc, m_font.get());
        }
        return true;
    }
    case UM_REINSTALL_OK:
    case UM_REINSTALL_FAIL:
    case UM_REPAIR_OK:
        OnRepairNotification(wParam);
        result = 0;
        return true;
    default:
        return CModalDialog::OnMessage(message, wParam, lParam, result);
    }
}

void CQEVZUNDlg::OnOK() {
    // The push button; also Enter. A disabled button starts nothing, however
    // the command arrives.
    if (!m_btnInstall.IsWindowEnabled()) return;
    m_btnInstall.EnableWindow(false);
    // The disabled button cannot keep the focus, and without a focus Escape
    // would no longer reach the dialog.
    if (::GetFocus() == nullptr || ::GetFocus() == m_btnInstall.GetSafeHwnd()) {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, 0, FALSE);
    }
    CProcessStatusDlg progress(m_bServiceRepair, m_strUUID, m_services.workflows);
    switch (m_nStatus) {
    case AgentStatus::Active:
        EndDialog(IDCANCEL);
        break;
    case AgentStatus::Inactive:
    case AgentStatus::OldVersion:
    case AgentStatus::NotInstalled:
        progress.DoModal(m_hWnd);
        break;
    default:
        break;
    }
}

void CQEVZUNDlg::OnRepairNotification(WPARAM code) {
    switch (code) {
    case UM_REINSTALL_OK: {
        std::wstring uuid = m_services.agentUUID();
        if (uuid != m_strUUID && uuid != kNotAvailableWide) m_strUUID = uuid;
        std::wstring version =
            DisplayText("CQEVZUNDlg::OnRepairNotification", "version", m_services.productVersion("agent"));
        std::string latest;
        m_services.checkStatus(WideToUtf8(m_strUUID), latest);  // only the latest version counts here
        m_strVersion = version + VersionText("CQEVZUNDlg::OnRepairNotification", latest);
        ShowCompleted();
        ::SetDlgItemTextW(m_hWnd, IDC_UUID, m_strUUID.c_str());
        ::SetDlgItemTextW(m_hWnd, IDC_VERSION, m_strVersion.c_str());
        m_staticHint.ShowWindow(false);
        break;
    }
    case UM_REINSTALL_FAIL:
        EndDialog(IDCANCEL);
        break;
    case UM_REPAIR_OK:
        ShowCompleted();
        break;
    default:
        break;
    }
}

void CQEVZUNDlg::ShowCompleted() {
    m_nStatus = AgentStatus::Active;
    m_crStatus = kActiveColour;
    ::SetDlgItemTextW(m_hWnd, IDC_STATUS_TEXT, Pick(L"活跃", L"Active"));
    m_staticDone.ShowWindow(true);
    m_btnInstall.SetWindowText(Pick(L"完成", L"Complete"));
    m_btnInstall.EnableWindow(true);
    // The success arrives while the progress dialog is still over this one:
    // the button takes the focus once it is gone.
    FocusItem(m_btnInstall.GetSafeHwnd());
}

void CQEVZUNDlg::PaintMinimised() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
}

void CQEVZUNDlg::OnDestroy() {
    UnmarkInstanceWindow(m_hWnd);
}
