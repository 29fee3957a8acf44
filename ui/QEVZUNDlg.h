#pragma once
// The program's main window: the facts about the machine and the QEV agent,
// the agent's status in colour, and the one push button that acts on it.
#include "app/AgentStatus.h"
#include "inspect/MachineIdentity.h"
#include "res/resource.h"
#include "ui/DialogControls.h"
#include "ui/GdiHandles.h"
#include "ui/MainDialogServices.h"
#include "ui/ModalDialog.h"
#include "ui/StatusBar.h"

#include <cstdint>
#include <string>

class CQEVZUNDlg : public CModalDialog {
public:
    explicit CQEVZUNDlg(const MainDialogServices& services = RealMainDialogServices());

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnOK() override;
    void OnDestroy() override;

private:
    void AddAboutItemToSystemMenu();
    void ApplyStatusPresentation();
    void OnRepairNotification(WPARAM code);
    void ShowCompleted();
    void PaintMinimised();
    std::wstring VersionText(const char* operation, const std::string& latest) const;

    HICON m_hIcon;
    CListBox m_listMac;
    UniqueFont m_font;
    CStatic m_staticHint;
    CButton m_btnInstall;
    CStatic m_staticDone;
    CStatusBar m_wndStatusBar;
    COLORREF m_crStatus;
    std::int32_t m_nStatus = AgentStatus::Unrecognised;
    bool m_bServiceRepair = false;
    std::wstring m_strUUID;
    std::wstring m_strVersion;
    std::wstring m_strComputerName;
    MacAddressSet m_macList;
    MainDialogServices m_services;
};
