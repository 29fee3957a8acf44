#pragma once
#include "repair/RepairJob.h"

#include <string>

// Uninstall, database clean-up, download, silent install, then polling until
// the server reports the agent active. Ends with UM_REINSTALL_OK or _FAIL.
DWORD RunReinstallWorkflow(RepairJob& job);

// Logs the text and shows it in a modal box with one OK button.
void LogAndShowMessage(const std::wstring& text);
