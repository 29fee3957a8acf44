#pragma once
// Facts for the main dialog chosen by the test instead of the machine's, the
// agent's and the status server's, and scripted repair workers.
#include "ui/MainDialogServices.h"

#include <windows.h>

#include <string>
#include <vector>

struct FakeFacts {
    LANGID uiLanguage = 0;  // 0: the system's own UI language
    std::wstring uuid = L"0c5e7a1d-4b2f-4e8a-9d36-7f1b2c3d4e5f";
    bool computerNameFails = false;
    MacAddressSet macs = {"00:1A:2B:3C:4D:5E", "52:54:00:12:34:56"};
    std::string version = "3.5.12.1";
    int status = 2;  // AgentStatus::Inactive
    std::string latest;
};

namespace FakeMainDialog {

// Replaces all facts; what the dialog reads from then on.
void SetFacts(const FakeFacts& facts);
FakeFacts Facts();

// Services reading the current facts, with ScriptedWorker's workflows.
MainDialogServices Services();

// What the dialog asked for so far (since SetFacts).
int UuidReads();
int VersionReads();
std::vector<std::string> StatusQueries();  // the UUID of each query, as sent
std::vector<std::string> VersionKeys();    // the product key of each version read

}  // namespace FakeMainDialog
