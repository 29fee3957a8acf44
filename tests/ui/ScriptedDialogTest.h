#pragma once
// What every dialog test over scripted repair workers shares: fresh workers and
// a close question answered Yes when it begins; when it ends, the dialogs'
// thread taken down, every worker finished and the real question restored.
#include "tests/support/ScriptedWorker.h"
#include "tests/support/UiThread.h"
#include "tests/ui/CloseQuestion.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

class ScriptedDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ScriptedWorker::Reset();
        CloseQuestion::Install(IDYES);
    }
    void TearDown() override {
        CloseQuestion::SetAnswer(IDYES);  // whatever the test answered, it ends here
        m_ui.reset();
        EXPECT_TRUE(ScriptedWorker::FinishAll());
        CloseQuestion::Restore();
    }

    std::unique_ptr<UiThread> m_ui;  // the thread that runs the dialogs
};
