#pragma once
// The main dialog run on a thread of its own over facts the test chose, with
// scripted repair workers and a stand-in for the close question.
#include "app/AgentStatus.h"
#include "repair/ProgressMessages.h"
#include "res/resource.h"
#include "tests/support/DialogState.h"
#include "tests/support/FakeMainDialogServices.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScriptedWorker.h"
#include "tests/support/UiThread.h"
#include "tests/ui/CloseQuestion.h"
#include "tests/ui/ScriptedDialogTest.h"
#include "tests/ui/UiTestLanguage.h"
#include "ui/QEVZUNDlg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

class MainDialogTest : public ScriptedDialogTest {
protected:
    // Opens the dialog over the facts; returns it once it is on screen.
    HWND Open(const FakeFacts& facts = FakeFacts()) {
        FakeMainDialog::SetFacts(facts);
        m_ui = std::make_unique<UiThread>([this] {
            CQEVZUNDlg dialog(FakeMainDialog::Services());
            m_result = dialog.DoModal();
        });
        HWND dialog = m_ui->WaitForDialog(IDC_STATUS_TEXT);
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    // Presses the push button and waits for the progress dialog it opens.
    HWND PressAndWaitForProgress(HWND main) {
        Press(main, IDOK);
        HWND progress = m_ui->WaitForDialog(IDC_STAGE_TEXT);
        EXPECT_NE(progress, nullptr);
        EXPECT_TRUE(ScriptedWorker::WaitForStarts(1));
        return progress;
    }

    bool Closed() { return m_ui->WaitUntilDone(10000); }

    std::atomic<INT_PTR> m_result{0};
};

// Facts with a UUID of this process alone, so that its summary line cannot be
// mistaken for another run's in the suite's shared log file.
inline FakeFacts WithStatus(int status, std::string latest = std::string()) {
    FakeFacts facts;
    facts.uuid = L"uuid-of-process-" + std::to_wstring(::GetCurrentProcessId());
    facts.status = status;
    facts.latest = std::move(latest);
    return facts;
}
