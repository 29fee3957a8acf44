// Shows the dialogs in every state, over made-up facts and scripted workers,
// and writes a picture of each into the directory given as the argument
// (BMP files; scripts/screenshots.sh turns them into PNG). The language is
// the UI language the program runs under.
#include "app/AgentStatus.h"
#include "app/UiLanguage.h"
#include "repair/ProgressMessages.h"
#include "res/resource.h"
#include "tests/support/DialogState.h"
#include "tests/support/FakeMainDialogServices.h"
#include "tests/support/ScreenCapture.h"
#include "tests/support/ScriptedWorker.h"
#include "tests/support/UiThread.h"
#include "tests/ui/CloseQuestion.h"
#include "ui/QEVZUNDlg.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

std::string g_directory;
std::string g_language;
int g_failures = 0;

// Writes the window's picture as <name>-<language>.bmp.
bool Capture(HWND window, const std::string& name) {
    std::string path = g_directory + "\\" + name + "-" + g_language + ".bmp";
    bool ok = SaveWindowPicture(window, path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    if (!ok) ++g_failures;
    return ok;
}

void Fail(const char* what) {
    std::printf("FAILED %s\n", what);
    ++g_failures;
}

// One main dialog run: `tour` gets the dialog once it is on screen.
void WithMainDialog(FakeFacts facts, const std::function<void(UiThread&, HWND)>& tour) {
    ScriptedWorker::Reset();
    FakeMainDialog::SetFacts(facts);
    {
        UiThread ui([] {
            CQEVZUNDlg dialog(FakeMainDialog::Services());
            dialog.DoModal();
        });
        HWND main = ui.WaitForDialog(IDC_STATUS_TEXT);
        if (main == nullptr) {
            Fail("main dialog");
            return;
        }
        WaitFor([&] { return ::GetForegroundWindow() == main; }, 2000);
        tour(ui, main);
    }
    ScriptedWorker::FinishAll();
}

FakeFacts Facts(int status, const std::string& latest = std::string()) {
    FakeFacts facts;
    facts.status = status;
    facts.latest = latest;
    return facts;
}

// Presses the push button and shows the progress dialog after each code.
void ProgressStates(int status, const std::vector<std::pair<UINT, std::string>>& stages) {
    WithMainDialog(Facts(status), [&](UiThread& ui, HWND main) {
        Press(main, IDOK);
        HWND progress = ui.WaitForDialog(IDC_STAGE_TEXT);
        if (progress == nullptr || !ScriptedWorker::WaitForStarts(1)) return Fail("progress dialog");
        for (const auto& stage : stages) {
            ScriptedWorker::Send(0, stage.first);
            Capture(progress, stage.second);
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: qevzun_ui_screenshots <output directory>\n");
        return 2;
    }
    g_directory = argv[1];
    g_language = ::GetUserDefaultUILanguage() == 0x0804 ? "zh" : "en";
    CloseQuestion::Install(IDYES);
    INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), 0xFF};
    ::InitCommonControlsEx(&controls);

    const struct {
        int status;
        const char* name;
        const char* latest;
    } statuses[] = {
        {AgentStatus::Active, "main-active", ""},
        {AgentStatus::Inactive, "main-inactive", ""},
        {AgentStatus::OldVersion, "main-old-version", "3.6.0.4"},
        {AgentStatus::NotInstalled, "main-not-installed", ""},
        {AgentStatus::Unrecognised, "main-unrecognised", ""},
    };
    for (const auto& s : statuses) {
        WithMainDialog(Facts(s.status, s.latest), [&](UiThread&, HWND main) { Capture(main, s.name); });
    }
    WithMainDialog(Facts(AgentStatus::Inactive), [](UiThread&, HWND main) {
        ::SendMessageW(main, UM_REPAIR_OK, UM_REPAIR_OK, 0);
        Capture(main, "main-completed");
    });
    WithMainDialog(Facts(AgentStatus::Active), [](UiThread& ui, HWND main) {
        ::PostMessageW(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
        HWND about = ui.WaitForDialog(IDOK, main);
        if (about == nullptr) return Fail("about box");
        Capture(about, "about");
    });

    // Every stage each workflow can show, in the order its worker sends them.
    ProgressStates(AgentStatus::OldVersion, {{UM_REINSTALL_BEGIN, "progress-reinstall-begin"},
                                             {UM_UNINSTALL_DONE, "progress-uninstall-done"},
                                             {UM_DOWNLOAD_BEGIN, "progress-download"},
                                             {UM_DOWNLOAD_DONE, "progress-download-done"},
                                             {UM_INSTALL_BEGIN, "progress-install"},
                                             {UM_CHECK_STATE, "progress-check-state"},
                                             {UM_REINSTALL_FAIL, "progress-reinstall-failed"}});
    ProgressStates(AgentStatus::Inactive, {{UM_REPAIR_BEGIN, "progress-repair-begin"},
                                           {UM_REPAIR_ITEM1, "progress-repair-item1"},
                                           {UM_REPAIR_ITEM2, "progress-repair-item2"},
                                           {UM_REPAIR_ITEM3, "progress-repair-item3"},
                                           {UM_REPAIR_ITEM4, "progress-repair-item4"},
                                           {UM_REPAIR_ITEM5, "progress-repair-item5"},
                                           {UM_REPAIR_CHECK_STATE, "progress-repair-check-state"},
                                           {UM_REPAIR_FAIL, "progress-repair-failed"}});
    return g_failures == 0 ? 0 : 1;
}
