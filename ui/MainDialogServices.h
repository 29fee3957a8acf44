#pragma once
// Where the main dialog gets its facts and its repairs from. The program uses
// the real sources; tests put their own in place of the network and the agent.
#include "inspect/MachineIdentity.h"
#include "ui/RepairWorkflows.h"

#include <windows.h>

#include <string>

struct MainDialogServices {
    LANGID (WINAPI* userUiLanguage)();
    std::wstring (*agentUUID)();                     // "N/A" when unreadable
    BOOL (WINAPI* computerName)(LPWSTR buffer, LPDWORD size);
    MacAddressSet (*macAddresses)();
    std::string (*productVersion)(std::string productKey);  // UTF-8, "N/A" when unreadable
    int (*checkStatus)(const std::string& uuid, std::string& releaseVersion);  // an AgentStatus code
    RepairWorkflows workflows;
};

// The system's UI language and computer name, the agent's files, the status
// server and the two repair workflows.
MainDialogServices RealMainDialogServices();
