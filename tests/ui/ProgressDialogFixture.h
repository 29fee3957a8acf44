#pragma once
// A progress dialog run on a thread of its own, owned by a hidden window that
// records what the dialog tells its owner, with scripted workers.
#include "app/UiLanguage.h"
#include "repair/ProgressMessages.h"
#include "res/resource.h"
#include "tests/support/DialogState.h"
#include "tests/support/NotificationOwner.h"
#include "tests/support/ScriptedWorker.h"
#include "tests/support/UiThread.h"
#include "tests/ui/CloseQuestion.h"
#include "tests/ui/ScriptedDialogTest.h"
#include "ui/ProcessStatusDlg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class ProgressDialogTest : public ScriptedDialogTest {
protected:
    void SetUp() override {
        // What the main dialog does when it opens.
        g_uiLanguage = ::GetUserDefaultUILanguage();
        ScriptedDialogTest::SetUp();
    }

    // Opens the dialog and waits until it is up and its worker has started.
    HWND Open(bool serviceRepair, const std::wstring& uuid = L"uuid-of-the-opener") {
        m_ui = std::make_unique<UiThread>([this, serviceRepair, uuid] {
            NotificationOwner owner;
            m_owner = owner.Window();
            CProcessStatusDlg dialog(serviceRepair, uuid, ScriptedWorker::Workflows());
            dialog.DoModal(owner.Window());
            std::lock_guard<std::mutex> lock(m_mutex);
            m_notifications = owner.Received();
        });
        HWND dialog = m_ui->WaitForDialog(IDC_STAGE_TEXT);
        EXPECT_NE(dialog, nullptr);
        EXPECT_TRUE(ScriptedWorker::WaitForStarts(1));
        return dialog;
    }

    bool Ended() { return m_ui->WaitUntilDone(10000); }

    // Fails the service repair of `first` and presses its button: returns the
    // reinstall dialog that opens over it.
    HWND OpenReinstallFromFailedRepair(HWND first) {
        EXPECT_TRUE(ScriptedWorker::Send(0, UM_REPAIR_FAIL));
        Press(first, IDC_INSTALL);
        HWND second = m_ui->WaitForDialog(IDC_STAGE_TEXT, first);
        EXPECT_TRUE(ScriptedWorker::WaitForStarts(2));
        return second;
    }

    // What the owner received, once the dialog run is over.
    std::vector<std::pair<UINT, WPARAM>> Notifications() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_notifications;
    }

    std::atomic<HWND> m_owner{nullptr};
    std::mutex m_mutex;
    std::vector<std::pair<UINT, WPARAM>> m_notifications;
};
