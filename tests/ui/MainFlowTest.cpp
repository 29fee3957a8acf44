// Whole roads through the dialogs: the main dialog, the progress dialogs it
// opens and the keys a user presses.
#include "tests/ui/MainDialogFixture.h"

#include <ostream>
#include <vector>

namespace {

class MainFlow : public MainDialogTest {};

TEST_F(MainFlow, FailedRepairThenReinstallReportsSuccessThroughBothDialogs) {
    HWND main = Open(WithStatus(AgentStatus::Inactive));
    HWND repair = PressAndWaitForProgress(main);
    ASSERT_TRUE(ScriptedWorker::IsServiceRepair(0));
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REPAIR_BEGIN));
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REPAIR_FAIL));

    Press(repair, IDC_INSTALL);
    HWND reinstall = m_ui->WaitForDialog(IDC_STAGE_TEXT, repair);
    ASSERT_NE(reinstall, nullptr);
    ASSERT_TRUE(ScriptedWorker::WaitForStarts(2));
    EXPECT_FALSE(ScriptedWorker::IsServiceRepair(1));
    EXPECT_EQ(ScriptedWorker::StartUuid(1), L"");

    FakeFacts after = FakeMainDialog::Facts();
    after.uuid = L"uuid-after-the-reinstall";
    after.version = "3.6.0.4";
    FakeMainDialog::SetFacts(after);
    ASSERT_TRUE(ScriptedWorker::Send(1, UM_REINSTALL_BEGIN));
    ASSERT_TRUE(ScriptedWorker::Send(1, UM_REINSTALL_OK));

    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(repair) && !::IsWindow(reinstall); }));
    EXPECT_EQ(m_ui->Windows(), std::vector<HWND>{main});
    EXPECT_EQ(ItemText(main, IDC_STATUS_TEXT), Expected(L"活跃", L"Active"));
    EXPECT_EQ(ItemText(main, IDC_UUID), L"uuid-after-the-reinstall");
    EXPECT_EQ(ItemText(main, IDC_VERSION), L"3.6.0.4");
    EXPECT_TRUE(ItemShown(main, IDC_REPAIR_DONE));
    EXPECT_TRUE(ItemEnabled(main, IDOK));
    EXPECT_TRUE(::IsWindowEnabled(main));
}

TEST_F(MainFlow, AcknowledgedReinstallFailureClosesTheProgram) {
    HWND main = Open(WithStatus(AgentStatus::OldVersion));
    HWND progress = PressAndWaitForProgress(main);
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REINSTALL_FAIL));
    Press(progress, IDC_INSTALL);
    ASSERT_TRUE(Closed());
    EXPECT_EQ(m_result, IDCANCEL);
}

// The dialog is closed while its worker keeps reporting; the worker finishes
// on its own later. Nothing may touch the ended dialog, and the main dialog
// goes on as before: waiting, with its button off, closed by Escape.
TEST_F(MainFlow, ClosingTheProgressDialogMidRepairLeavesTheMainDialogUsable) {
    HWND main = Open(WithStatus(AgentStatus::OldVersion));
    HWND progress = PressAndWaitForProgress(main);
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REINSTALL_BEGIN));
    for (int i = 0; i < 200; ++i) ScriptedWorker::Post(0, i % 2 ? UM_DOWNLOAD_BEGIN : UM_DOWNLOAD_DONE);

    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == progress; }));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(progress); }));
    EXPECT_EQ(CloseQuestion::Asked().size(), 1u);

    // Whatever the worker still had to say reaches nobody, its success too.
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_CHECK_STATE));
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REINSTALL_OK));
    EXPECT_EQ(ScriptedWorker::AttachedWindow(0), nullptr);
    ScriptedWorker::Finish(0);
    ASSERT_TRUE(ScriptedWorker::FinishAll());

    EXPECT_EQ(ItemText(main, IDC_STATUS_TEXT), Expected(L"版本过低", L"Old Version"));
    EXPECT_FALSE(ItemShown(main, IDC_REPAIR_DONE));
    EXPECT_FALSE(ItemEnabled(main, IDOK));
    EXPECT_TRUE(::IsWindowEnabled(main));
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == main; }));
    PressKey(VK_ESCAPE);
    ASSERT_TRUE(Closed());
    EXPECT_EQ(m_result, IDCANCEL);
}

// ---------------------------------------------------------------- keys

struct KeyCase {
    const char* name;
    int status;
    std::vector<WORD> keys;  // pressed one after the other, each once handled
    bool closes;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

const KeyCase kKeyCases[] = {
    {"EnterOnAnActiveAgentCloses", AgentStatus::Active, {VK_RETURN}, true},
    {"EscapeCloses", AgentStatus::OldVersion, {VK_ESCAPE}, true},
    // Enter disables the button; Escape still reaches the dialog after that.
    {"EnterThenEscapeOnAnUnrecognisedState", AgentStatus::Unrecognised, {VK_RETURN, VK_ESCAPE}, true},
    {"EnterTwiceOnAnUnrecognisedState", AgentStatus::Unrecognised, {VK_RETURN, VK_RETURN}, false},
};

class MainDialogKeys : public MainFlow, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MainDialogKeys, EnterIsThePushButtonAndEscapeCloses) {
    const KeyCase& c = GetParam();
    HWND main = Open(WithStatus(c.status));
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == main; }));
    for (WORD key : c.keys) {
        PressKey(key);
        // Keys go through the input queue: a round trip after a short wait
        // lets the dialog's thread take them up first.
        ::Sleep(100);
        ::SendMessageW(main, WM_NULL, 0, 0);
    }
    EXPECT_EQ(m_ui->WaitUntilDone(c.closes ? 10000 : 300), c.closes);
    EXPECT_EQ(ScriptedWorker::Starts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, MainDialogKeys, ::testing::ValuesIn(kKeyCases),
                         [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

// After a repair's success the push button, now "Complete", has the focus:
// Space, which presses only the focused button, ends the program instead of
// typing into the computer name.
struct CompletionKeyCase {
    const char* name;
    int status;
    UINT success;
};

void PrintTo(const CompletionKeyCase& c, std::ostream* os) { *os << c.name; }

const CompletionKeyCase kCompletionKeyCases[] = {
    {"AfterAReinstall", AgentStatus::OldVersion, UM_REINSTALL_OK},
    {"AfterAServiceRepair", AgentStatus::Inactive, UM_REPAIR_OK},
};

class MainDialogCompletionKeys : public MainFlow, public ::testing::WithParamInterface<CompletionKeyCase> {};

TEST_P(MainDialogCompletionKeys, ThePushButtonHasTheFocus) {
    const CompletionKeyCase& c = GetParam();
    HWND main = Open(WithStatus(c.status));
    HWND progress = PressAndWaitForProgress(main);
    ASSERT_TRUE(ScriptedWorker::Send(0, c.success));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(progress) && ::GetForegroundWindow() == main; }));
    ::SendMessageW(main, WM_NULL, 0, 0);
    EXPECT_EQ(FocusOnThreadOf(main), ::GetDlgItem(main, IDOK));

    PressKey(VK_SPACE);
    ASSERT_TRUE(Closed());
    EXPECT_EQ(m_result, IDCANCEL);
}

INSTANTIATE_TEST_SUITE_P(Keyboard, MainDialogCompletionKeys, ::testing::ValuesIn(kCompletionKeyCases),
                         [](const ::testing::TestParamInfo<CompletionKeyCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
