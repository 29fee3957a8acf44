// Resource ids shared by the resource scripts and the dialogs.
#ifndef QEVZUN_RESOURCE_H
#define QEVZUN_RESOURCE_H

// Templates and string-table entries (each in English and Simplified Chinese).
#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_QEVZUN_DIALOG       102
#define IDS_SUPPORT_CONTACT     102
#define IDR_MAINFRAME           128
#define IDD_PROCESS_STATUS      130

// Main dialog controls.
#define IDC_COMPUTER_NAME       1000
#define IDC_VERSION             1001
#define IDC_MAC_LIST            1002
#define IDC_UUID                1003
#define IDC_REINSTALL_HINT      1005
#define IDC_STATUS_TEXT         1009
#define IDC_REPAIR_DONE         1013

// Progress dialog controls.
#define IDC_STAGE_TEXT          1010
#define IDC_PROGRESS            1011
#define IDC_INSTALL             1012
#define IDC_FAIL_LABEL          1014

// System-menu item that opens the About box.
#define IDM_ABOUTBOX            0x0010

// The one status bar of a dialog; its single pane shows IDS_SUPPORT_CONTACT.
#define IDW_STATUS_BAR          0xE801

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

#endif
