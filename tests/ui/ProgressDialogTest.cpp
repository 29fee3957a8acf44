#include "repair/ProgressMessages.h"
#include "tests/support/DialogState.h"
#include "tests/ui/ProgressDialogFixture.h"
#include "tests/ui/UiTestLanguage.h"

#include <commctrl.h>

#include <ostream>

namespace {

using Notification = std::pair<UINT, WPARAM>;

// ---------------------------------------------------------------- the message table

enum class Ending { Stays, RelaysAndEnds };

struct StageCase {
    const char* name;
    UINT code;
    bool serviceRepair;          // the mode whose worker sends the code
    const wchar_t* textChinese;  // null: the template's "Static" stays
    const wchar_t* textEnglish;
    int bar;                     // expected position (0: untouched)
    bool barShown;
    bool failLabelShown;
    const wchar_t* buttonChinese;  // null: the button stays hidden
    const wchar_t* buttonEnglish;
    Ending ending;
};

void PrintTo(const StageCase& c, std::ostream* os) { *os << c.name; }

const wchar_t kInstall[] = L"Install";
const wchar_t kInstallChinese[] = L"一键安装";

const StageCase kStageCases[] = {
    {"ReinstallBegin", UM_REINSTALL_BEGIN, false, L"正在重新安装并激活安全助手，请勿退出程序",
     L"The security assistant is being reinstalled and activated. Please do not exit the program", 10, true, false,
     nullptr, nullptr, Ending::Stays},
    {"UninstallDone", UM_UNINSTALL_DONE, false, L"旧版本卸载完毕，即将开始下载新版本",
     L"The old version has been uninstalled, and the new version will be downloaded soon", 20, true, false, nullptr,
     nullptr, Ending::Stays},
    {"DownloadBegin", UM_DOWNLOAD_BEGIN, false, L"新版本下载中，请稍后", L"The new version is downloading, please wait",
     30, true, false, nullptr, nullptr, Ending::Stays},
    {"NeverSent", WM_USER + 4, false, nullptr, nullptr, 0, true, false, nullptr, nullptr, Ending::Stays},
    {"DownloadDone", UM_DOWNLOAD_DONE, false, L"下载完成，即将开始安装",
     L"The download is complete and the installation will start soon", 70, true, false, nullptr, nullptr,
     Ending::Stays},
    {"InstallBegin", UM_INSTALL_BEGIN, false, L"安装中，请稍后", L"Installing, please wait", 80, true, false, nullptr,
     nullptr, Ending::Stays},
    {"ReinstallOk", UM_REINSTALL_OK, false, nullptr, nullptr, 0, true, false, nullptr, nullptr,
     Ending::RelaysAndEnds},
    {"ReinstallFail", UM_REINSTALL_FAIL, false, L"请稍后重试或Quillo联系Varnel",
     L"Please try again or contact Varnel on Quillo", 0, false, true, L"确认", L"OK", Ending::Stays},
    {"CheckState", UM_CHECK_STATE, false, L"状态检测中，请稍后", L"Status checking, please wait", 90, true, false,
     nullptr, nullptr, Ending::Stays},
    {"RepairBegin", UM_REPAIR_BEGIN, true, L"正在诊断问题并尝试自动修复",
     L"Diagnosing the problem and trying to fix it automatically", 10, true, false, nullptr, nullptr, Ending::Stays},
    {"RepairItem1", UM_REPAIR_ITEM1, true, nullptr, nullptr, 20, true, false, nullptr, nullptr, Ending::Stays},
    {"RepairItem2", UM_REPAIR_ITEM2, true, nullptr, nullptr, 20, true, false, nullptr, nullptr, Ending::Stays},
    {"RepairItem3", UM_REPAIR_ITEM3, true, nullptr, nullptr, 40, true, false, nullptr, nullptr, Ending::Stays},
    {"RepairItem4", UM_REPAIR_ITEM4, true, nullptr, nullptr, 60, true, false, nullptr, nullptr, Ending::Stays},
    {"RepairItem5", UM_REPAIR_ITEM5, true, nullptr, nullptr, 70, true, false, nullptr, nullptr, Ending::Stays},
    {"RepairOk", UM_REPAIR_OK, true, nullptr, nullptr, 0, true, false, nullptr, nullptr, Ending::RelaysAndEnds},
    {"RepairFail", UM_REPAIR_FAIL, true,
     L"您的安全助手需进行重新安装，请点击下方按钮，进行一键安装（可能需要几分钟的时间）",
     L"Your security assistant needs to be reinstalled. Please click the button below to install (it may take a few "
     L"minutes)",
     0, false, false, kInstallChinese, kInstall, Ending::Stays},
    {"RepairCheckState", UM_REPAIR_CHECK_STATE, true, L"状态检测中，请稍后", L"Status checking, please wait", 90,
     true, false, nullptr, nullptr, Ending::Stays},
};

class ProgressStageTexts : public ProgressDialogTest, public ::testing::WithParamInterface<StageCase> {};

TEST_P(ProgressStageTexts, EachMessageShowsItsRowOfTheTable) {
    const StageCase& c = GetParam();
    HWND dialog = Open(c.serviceRepair);
    ASSERT_EQ(ScriptedWorker::IsServiceRepair(0), c.serviceRepair);
    ASSERT_TRUE(ScriptedWorker::Send(0, c.code));

    if (c.ending == Ending::RelaysAndEnds) {
        ASSERT_TRUE(Ended());
        EXPECT_EQ(Notifications(), (std::vector<Notification>{{c.code, c.code}}));
        return;
    }
    EXPECT_EQ(ItemText(dialog, IDC_STAGE_TEXT), c.textEnglish ? Expected(c.textChinese, c.textEnglish) : L"Static");
    EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), c.bar);
    EXPECT_EQ(ItemShown(dialog, IDC_PROGRESS), c.barShown);
    EXPECT_EQ(ItemShown(dialog, IDC_FAIL_LABEL), c.failLabelShown);
    EXPECT_EQ(ItemShown(dialog, IDC_INSTALL), c.buttonEnglish != nullptr);
    if (c.buttonEnglish != nullptr) {
        EXPECT_EQ(ItemText(dialog, IDC_INSTALL), Expected(c.buttonChinese, c.buttonEnglish));
    }
    EXPECT_TRUE(::IsWindow(dialog));
    EXPECT_TRUE(Notifications().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, ProgressStageTexts, ::testing::ValuesIn(kStageCases),
                         [](const ::testing::TestParamInfo<StageCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- roads through the table

struct Step {
    UINT code;
    const wchar_t* textChinese;  // what the stage text reads afterwards
    const wchar_t* textEnglish;
    int bar;
};

struct RoadCase {
    const char* name;
    bool serviceRepair;
    std::vector<Step> steps;
};

void PrintTo(const RoadCase& c, std::ostream* os) { *os << c.name; }

const wchar_t kRepairBeginZh[] = L"正在诊断问题并尝试自动修复";
const wchar_t kRepairBeginEn[] = L"Diagnosing the problem and trying to fix it automatically";

const RoadCase kRoads[] = {
    // The items move the bar and leave the first text alone.
    {"ServiceRepair",
     true,
     {{UM_REPAIR_BEGIN, kRepairBeginZh, kRepairBeginEn, 10},
      {UM_REPAIR_ITEM1, kRepairBeginZh, kRepairBeginEn, 20},
      {UM_REPAIR_ITEM2, kRepairBeginZh, kRepairBeginEn, 20},
      {UM_REPAIR_ITEM3, kRepairBeginZh, kRepairBeginEn, 40},
      {UM_REPAIR_ITEM4, kRepairBeginZh, kRepairBeginEn, 60},
      {UM_REPAIR_ITEM5, kRepairBeginZh, kRepairBeginEn, 70},
      {UM_REPAIR_CHECK_STATE, L"状态检测中，请稍后", L"Status checking, please wait", 90}}},
    // An agent that needs no uninstall: "Static" until the download begins.
    {"ReinstallWithoutUninstall",
     false,
     {{WM_USER + 4, L"Static", L"Static", 0},
      {UM_DOWNLOAD_BEGIN, L"新版本下载中，请稍后", L"The new version is downloading, please wait", 30},
      {UM_DOWNLOAD_DONE, L"下载完成，即将开始安装", L"The download is complete and the installation will start soon",
       70},
      {UM_INSTALL_BEGIN, L"安装中，请稍后", L"Installing, please wait", 80},
      {UM_CHECK_STATE, L"状态检测中，请稍后", L"Status checking, please wait", 90}}},
};

class ProgressRoads : public ProgressDialogTest, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(ProgressRoads, TextAndBarFollowEachStage) {
    const RoadCase& c = GetParam();
    HWND dialog = Open(c.serviceRepair);
    for (const Step& step : c.steps) {
        ASSERT_TRUE(ScriptedWorker::Send(0, step.code));
        EXPECT_EQ(ItemText(dialog, IDC_STAGE_TEXT), Expected(step.textChinese, step.textEnglish)) << step.code;
        EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), step.bar) << step.code;
    }
}

INSTANTIATE_TEST_SUITE_P(Roads, ProgressRoads, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<RoadCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the handler reads wParam

struct CarrierCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    const wchar_t* textEnglish;  // null: unchanged
    int bar;
};

void PrintTo(const CarrierCase& c, std::ostream* os) { *os << c.name; }

const CarrierCase kCarriers[] = {
    {"RepairBeginCarriedByReinstallBegin", UM_REINSTALL_BEGIN, UM_REPAIR_BEGIN, kRepairBeginEn, 10},
    {"DownloadBeginCarriedByRepairItem5", UM_REPAIR_ITEM5, UM_DOWNLOAD_BEGIN,
     L"The new version is downloading, please wait", 30},
    {"CodeOutsideTheRange", UM_REINSTALL_BEGIN, WM_USER + 19, nullptr, 0},
    {"ZeroCode", UM_DOWNLOAD_BEGIN, 0, nullptr, 0},
};

class ProgressCarriers : public ProgressDialogTest, public ::testing::WithParamInterface<CarrierCase> {};

TEST_P(ProgressCarriers, OnlyTheCodeInWParamCounts) {
    const CarrierCase& c = GetParam();
    g_uiLanguage = 0x0409;  // the English member, whatever this run's language
    HWND dialog = Open(false);
    ::SendMessageW(dialog, c.message, c.wParam, 0);
    EXPECT_EQ(ItemText(dialog, IDC_STAGE_TEXT), c.textEnglish ? c.textEnglish : L"Static");
    EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), c.bar);
    EXPECT_FALSE(m_ui->Done());
}

INSTANTIATE_TEST_SUITE_P(WParam, ProgressCarriers, ::testing::ValuesIn(kCarriers),
                         [](const ::testing::TestParamInfo<CarrierCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the button's two roles

TEST_F(ProgressDialogTest, AfterAFailedReinstallTheButtonTellsTheOwnerAndEnds) {
    HWND dialog = Open(false);
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REINSTALL_FAIL));
    Press(dialog, IDC_INSTALL);
    ASSERT_TRUE(Ended());
    EXPECT_EQ(Notifications(), (std::vector<Notification>{{UM_REINSTALL_FAIL, UM_REINSTALL_FAIL}}));
    EXPECT_EQ(ScriptedWorker::Starts(), 1);  // no reinstall offered
}

TEST_F(ProgressDialogTest, AfterAFailedRepairTheButtonOpensAReinstallOverThisDialog) {
    HWND first = Open(true, L"uuid-of-the-opener");
    HWND second = OpenReinstallFromFailedRepair(first);
    ASSERT_NE(second, nullptr);

    EXPECT_FALSE(ScriptedWorker::IsServiceRepair(1));
    EXPECT_EQ(ScriptedWorker::StartUuid(1), L"");
    EXPECT_EQ(::GetWindow(second, GW_OWNER), first);
    EXPECT_TRUE(::IsWindowVisible(first));  // stays on screen underneath, disabled
    EXPECT_FALSE(::IsWindowEnabled(first));
    EXPECT_EQ(ItemText(second, IDC_STAGE_TEXT), L"Static");
    EXPECT_FALSE(ItemShown(second, IDC_INSTALL));
}

TEST_F(ProgressDialogTest, ReinstallSuccessTravelsThroughTheEarlierDialogToItsOwner) {
    HWND first = Open(true);
    HWND second = OpenReinstallFromFailedRepair(first);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(ScriptedWorker::Send(1, UM_REINSTALL_OK));
    ASSERT_TRUE(Ended());  // both dialogs are gone
    EXPECT_EQ(Notifications(), (std::vector<Notification>{{UM_REINSTALL_OK, UM_REINSTALL_OK}}));
}

TEST_F(ProgressDialogTest, AnAcknowledgedReinstallFailureStopsAtTheEarlierDialog) {
    HWND first = Open(true);
    HWND second = OpenReinstallFromFailedRepair(first);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(ScriptedWorker::Send(1, UM_REINSTALL_FAIL));
    Press(second, IDC_INSTALL);
    ASSERT_TRUE(Ended());
    EXPECT_TRUE(Notifications().empty());  // the owner is not told
}

// ---------------------------------------------------------------- the keyboard after a failure

struct FailureKeyCase {
    const char* name;
    bool serviceRepair;
    UINT failure;
    bool opensReinstall;  // otherwise: acknowledges, tells the owner and ends
};

void PrintTo(const FailureKeyCase& c, std::ostream* os) { *os << c.name; }

const FailureKeyCase kFailureKeyCases[] = {
    {"EnterAcknowledgesAFailedReinstall", false, UM_REINSTALL_FAIL, false},
    {"EnterTakesTheReinstallAfterAFailedRepair", true, UM_REPAIR_FAIL, true},
};

class ProgressFailureKeys : public ProgressDialogTest, public ::testing::WithParamInterface<FailureKeyCase> {};

TEST_P(ProgressFailureKeys, TheButtonHasTheFocusAndEnterPressesIt) {
    const FailureKeyCase& c = GetParam();
    HWND dialog = Open(c.serviceRepair);
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == dialog; }));
    ASSERT_TRUE(ScriptedWorker::Send(0, c.failure));
    EXPECT_EQ(FocusOnThreadOf(dialog), ::GetDlgItem(dialog, IDC_INSTALL));

    PressKey(VK_RETURN);
    if (c.opensReinstall) {
        ASSERT_TRUE(ScriptedWorker::WaitForStarts(2));
        EXPECT_FALSE(ScriptedWorker::IsServiceRepair(1));
        EXPECT_NE(m_ui->WaitForDialog(IDC_STAGE_TEXT, dialog), nullptr);
    } else {
        ASSERT_TRUE(Ended());
        EXPECT_EQ(Notifications(), (std::vector<Notification>{{UM_REINSTALL_FAIL, UM_REINSTALL_FAIL}}));
    }
    EXPECT_TRUE(CloseQuestion::Asked().empty());
}

INSTANTIATE_TEST_SUITE_P(Keyboard, ProgressFailureKeys, ::testing::ValuesIn(kFailureKeyCases),
                         [](const ::testing::TestParamInfo<FailureKeyCase>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------- leaving

enum class Leave { EscapeKey, CloseBox, EnterKey };

struct LeaveCase {
    const char* name;
    Leave how;
    int answer;
    bool asks;
    bool ends;
};

void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }

const LeaveCase kLeaveCases[] = {
    {"EscapeAnsweredNo", Leave::EscapeKey, IDNO, true, false},
    {"EscapeAnsweredYes", Leave::EscapeKey, IDYES, true, true},
    {"CloseBoxAnsweredNo", Leave::CloseBox, IDNO, true, false},
    {"CloseBoxAnsweredYes", Leave::CloseBox, IDYES, true, true},
    // Any answer but No leaves.
    {"EscapeAnsweredCancel", Leave::EscapeKey, IDCANCEL, true, true},
    // Enter has no business ending a running repair.
    {"EnterIsIgnored", Leave::EnterKey, IDYES, false, false},
};

class ProgressLeaving : public ProgressDialogTest, public ::testing::WithParamInterface<LeaveCase> {};

TEST_P(ProgressLeaving, TheDialogAsksFirstAndTheWorkerOutlivesIt) {
    const LeaveCase& c = GetParam();
    CloseQuestion::SetAnswer(c.answer);
    HWND dialog = Open(false);
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REINSTALL_BEGIN));
    ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == dialog; }));

    switch (c.how) {
    case Leave::EscapeKey:
        PressKey(VK_ESCAPE);
        break;
    case Leave::CloseBox:
        ::PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case Leave::EnterKey:
        PressKey(VK_RETURN);
        break;
    }
    if (c.asks) {
        ASSERT_TRUE(WaitFor([] { return !CloseQuestion::Asked().empty(); }));
        std::vector<AskedQuestion> asked = CloseQuestion::Asked();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].owner, dialog);
        EXPECT_EQ(asked[0].text, Expected(L"是否确认退出？", L"Are you sure you want to exit?"));
        EXPECT_EQ(asked[0].caption, Expected(L"温馨提示", L"Warning"));
        EXPECT_EQ(asked[0].type, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    }

    if (c.ends) {
        ASSERT_TRUE(Ended());
        // The worker goes on alone: its reports reach nobody, nothing waits for it.
        EXPECT_EQ(ScriptedWorker::AttachedWindow(0), nullptr);
        EXPECT_TRUE(ScriptedWorker::Send(0, UM_DOWNLOAD_BEGIN, 2000));
        EXPECT_TRUE(ScriptedWorker::Send(0, UM_REINSTALL_OK, 2000));
        EXPECT_TRUE(Notifications().empty());
    } else {
        // Let the key's handling finish before looking.
        ::SendMessageW(dialog, WM_NULL, 0, 0);
        EXPECT_FALSE(m_ui->Done());
        EXPECT_EQ(ScriptedWorker::AttachedWindow(0), dialog);
        ASSERT_TRUE(ScriptedWorker::Send(0, UM_DOWNLOAD_BEGIN));
        EXPECT_EQ(ProgressPosition(dialog, IDC_PROGRESS), 30);
        if (!c.asks) {
            EXPECT_TRUE(CloseQuestion::Asked().empty());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Leave, ProgressLeaving, ::testing::ValuesIn(kLeaveCases),
                         [](const ::testing::TestParamInfo<LeaveCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- looks

TEST_F(ProgressDialogTest, FailureLabelIsRedInItsOwnFontAndTheStatusBarSpansTheDialog) {
    HWND dialog = Open(false);
    RECT client;
    ::GetClientRect(dialog, &client);
    ASSERT_TRUE(ScriptedWorker::Send(0, UM_REINSTALL_FAIL));

    EXPECT_EQ(ItemText(dialog, IDC_FAIL_LABEL), Expected(L"安装激活失败", L"Install And Active Fail"));
    EXPECT_EQ(StaticTextColour(dialog, IDC_FAIL_LABEL), RGB(255, 0, 0));
    LOGFONTW font = ItemFont(dialog, IDC_FAIL_LABEL);
    EXPECT_STREQ(font.lfFaceName, L"黑体");
    EXPECT_EQ(font.lfHeight, PointHeight(100));
    EXPECT_NE(StaticTextColour(dialog, IDC_STAGE_TEXT), RGB(255, 0, 0));

    EXPECT_EQ(StatusBarText(dialog), Expected(L"如有任何问题，请Quillo联系【Varnel】",
                                              L" If you have any problems, please contact [Varnel] on Quillo "));
    EXPECT_EQ(StatusBarParts(dialog), std::vector<int>{static_cast<int>(client.right)});
}

TEST_F(ProgressDialogTest, TemplateOfTheUiLanguage) {
    HWND dialog = Open(false);
    EXPECT_EQ(WindowText(dialog), L"QEVZUN");
    RECT client;
    ::GetClientRect(dialog, &client);
    RECT size = DialogUnitsToPixels(dialog, 0, 0, 211, 96);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    RECT label = ChineseUi() ? DialogUnitsToPixels(dialog, 66, 11, 83, 8) : DialogUnitsToPixels(dialog, 44, 11, 125, 8);
    RECT actual = ItemRect(dialog, IDC_FAIL_LABEL);
    EXPECT_EQ(actual.left, label.left);
    EXPECT_EQ(actual.right, label.right);
    RECT button = DialogUnitsToPixels(dialog, 79, 61, 50, 14);
    EXPECT_EQ(ItemRect(dialog, IDC_INSTALL).left, button.left);
    EXPECT_EQ(ItemRect(dialog, IDC_INSTALL).top, button.top);
    EXPECT_EQ(ItemText(dialog, IDC_INSTALL), Expected(kInstallChinese, kInstall));
}

}  // namespace
