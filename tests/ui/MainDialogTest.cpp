#include "tests/support/LogMessages.h"
#include "tests/ui/MainDialogFixture.h"

#include "inspect/TextConversion.h"

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- the status table

enum class PressEffect { ClosesProgram, OpensServiceRepair, OpensReinstall, OnlyDisables };

struct StatusCase {
    const char* name;
    int status;
    const wchar_t* textChinese;  // null: the template's "活跃" / "Active"
    const wchar_t* textEnglish;
    bool ownColour;  // false: the ordinary text colour
    COLORREF colour;
    bool hintShown;
    const wchar_t* buttonChinese;  // null: the template's label
    const wchar_t* buttonEnglish;
    const char* logWord;
    PressEffect press;
};

void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

const StatusCase kStatusCases[] = {
    {"Active", AgentStatus::Active, L"活跃", L"Active", true, RGB(0, 255, 0), false, L"完成", L"Complete", "Active",
     PressEffect::ClosesProgram},
    {"Inactive", AgentStatus::Inactive, L"不活跃", L"Inactive", true, RGB(255, 0, 0), false, L"诊断修复", L"Repair",
     "Inactive", PressEffect::OpensServiceRepair},
    {"OldVersion", AgentStatus::OldVersion, L"版本过低", L"Old Version", true, RGB(255, 200, 0), true, nullptr,
     nullptr, "Old Version", PressEffect::OpensReinstall},
    {"NotInstalled", AgentStatus::NotInstalled, L"未安装", L"Not installed", true, RGB(255, 0, 0), true, nullptr,
     nullptr, "Not installed", PressEffect::OpensReinstall},
    {"Unrecognised", AgentStatus::Unrecognised, nullptr, nullptr, false, 0, true, nullptr, nullptr, "",
     PressEffect::OnlyDisables},
    // A code no query returns is shown and handled like an unrecognised state.
    {"CodeOutsideTheTable", 7, nullptr, nullptr, false, 0, true, nullptr, nullptr, "", PressEffect::OnlyDisables},
};

class MainDialogStatus : public MainDialogTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(MainDialogStatus, ShowsTheStatusAsItsRowSaysAndLogsTheSummary) {
    const StatusCase& c = GetParam();
    LogCapture log;
    HWND dialog = Open(WithStatus(c.status));

    EXPECT_EQ(ItemText(dialog, IDC_STATUS_TEXT), c.textEnglish ? Expected(c.textChinese, c.textEnglish)
                                                                : Expected(L"活跃", L"Active"));
    EXPECT_EQ(StaticTextColour(dialog, IDC_STATUS_TEXT), c.ownColour ? c.colour : ::GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(ItemShown(dialog, IDC_REINSTALL_HINT), c.hintShown);
    EXPECT_EQ(ItemText(dialog, IDOK), c.buttonEnglish ? Expected(c.buttonChinese, c.buttonEnglish)
                                                       : Expected(L"一键安装", L"Install"));
    EXPECT_TRUE(ItemEnabled(dialog, IDOK));
    EXPECT_FALSE(ItemShown(dialog, IDC_REPAIR_DONE));

    const std::string summary = "QEV Agent Version:3.5.12.1, UUID:" + WideToUtf8(FakeMainDialog::Facts().uuid) +
                                ", Status:" + c.logWord;
    EXPECT_EQ(CountMessages(log, "INFO", summary), 1) << log.Dump();
}

TEST_P(MainDialogStatus, PushButtonActsAsItsRowSays) {
    const StatusCase& c = GetParam();
    FakeFacts facts = WithStatus(c.status);
    HWND dialog = Open(facts);
    Press(dialog, IDOK);

    switch (c.press) {
    case PressEffect::ClosesProgram:
        ASSERT_TRUE(Closed());
        EXPECT_EQ(m_result, IDCANCEL);
        EXPECT_EQ(ScriptedWorker::Starts(), 0);
        break;
    case PressEffect::OpensServiceRepair:
    case PressEffect::OpensReinstall: {
        HWND progress = m_ui->WaitForDialog(IDC_STAGE_TEXT);
        ASSERT_NE(progress, nullptr);
        ASSERT_TRUE(ScriptedWorker::WaitForStarts(1));
        EXPECT_EQ(ScriptedWorker::IsServiceRepair(0), c.press == PressEffect::OpensServiceRepair);
        EXPECT_EQ(ScriptedWorker::StartUuid(0), facts.uuid);
        EXPECT_EQ(::GetWindow(progress, GW_OWNER), dialog);
        EXPECT_FALSE(ItemEnabled(dialog, IDOK));

        // Left without success: the button stays off and the dialog stays open.
        ::PostMessageW(progress, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        ASSERT_TRUE(WaitFor([&] { return !::IsWindow(progress); }));
        ::SendMessageW(dialog, WM_NULL, 0, 0);
        EXPECT_FALSE(ItemEnabled(dialog, IDOK));
        EXPECT_FALSE(m_ui->Done());
        break;
    }
    case PressEffect::OnlyDisables:
        ASSERT_TRUE(WaitFor([&] { return !ItemEnabled(dialog, IDOK); }));
        ::SendMessageW(dialog, WM_NULL, 0, 0);  // the handler has returned
        EXPECT_EQ(m_ui->Windows(), std::vector<HWND>{dialog});
        EXPECT_EQ(ScriptedWorker::Starts(), 0);
        EXPECT_FALSE(m_ui->Done());
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, MainDialogStatus, ::testing::ValuesIn(kStatusCases),
                         [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- version texts

struct VersionCase {
    const char* name;
    std::string version;
    std::string latest;
    const wchar_t* shownChinese;
    const wchar_t* shownEnglish;
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << c.name; }

const VersionCase kVersionCases[] = {
    {"NoLatestVersion", "3.5.12.1", "", L"3.5.12.1", L"3.5.12.1"},
    {"LatestAppendedWithoutBlank", "3.5.12.1", "3.6.0.4", L"3.5.12.1(最新版本为3.6.0.4)",
     L"3.5.12.1(The latest version is 3.6.0.4)"},
    {"UnreadableVersion", "N/A", "3.6.0.4", L"N/A(最新版本为3.6.0.4)", L"N/A(The latest version is 3.6.0.4)"},
    {"NonAsciiVersion", "3.5-\xe6\xb5\x8b\xe8\xaf\x95", "", L"3.5-测试", L"3.5-测试"},
    // Bytes that are not UTF-8 show as "N/A" instead of ending the program.
    {"VersionNotUtf8", "3.5\xff\xfe", "3.6.0.4", L"N/A(最新版本为3.6.0.4)", L"N/A(The latest version is 3.6.0.4)"},
    {"LatestNotUtf8", "3.5.12.1", "3.6\xc3\x28", L"3.5.12.1(最新版本为N/A)", L"3.5.12.1(The latest version is N/A)"},
};

class MainDialogVersion : public MainDialogTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(MainDialogVersion, InstalledVersionWithTheLatestOneAppended) {
    const VersionCase& c = GetParam();
    FakeFacts facts = WithStatus(AgentStatus::OldVersion, c.latest);
    facts.version = c.version;
    LogCapture log;
    HWND dialog = Open(facts);

    std::wstring shown = Expected(c.shownChinese, c.shownEnglish);
    EXPECT_EQ(ItemText(dialog, IDC_VERSION), shown);
    EXPECT_EQ(FakeMainDialog::VersionKeys(), std::vector<std::string>{"agent"});
    // The log has the text as shown, suffix included.
    std::string summary = "QEV Agent Version:" + WideToUtf8(shown) + ", UUID:" + WideToUtf8(facts.uuid) +
                          ", Status:Old Version";
    EXPECT_EQ(CountMessages(log, "INFO", summary), 1) << log.Dump();
    EXPECT_EQ(ItemText(dialog, IDC_STATUS_TEXT), Expected(L"版本过低", L"Old Version"));
}

INSTANTIATE_TEST_SUITE_P(Texts, MainDialogVersion, ::testing::ValuesIn(kVersionCases),
                         [](const ::testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the facts

struct FactsCase {
    const char* name;
    std::wstring uuid;
    bool computerNameFails;
    MacAddressSet macs;
    std::string uuidAsQueried;
};

void PrintTo(const FactsCase& c, std::ostream* os) { *os << c.name; }

const FactsCase kFactsCases[] = {
    {"Typical", L"0c5e7a1d-4b2f-4e8a-9d36-7f1b2c3d4e5f", false,
     {"00:1A:2B:3C:4D:5E", "52:54:00:12:34:56", "A4:BB:6D:00:00:01"}, "0c5e7a1d-4b2f-4e8a-9d36-7f1b2c3d4e5f"},
    {"NothingReadable", L"N/A", true, {}, "N/A"},
    // The query gets the UUID as UTF-8.
    {"NonAsciiUuid", L"uuid-\u00fc\u4e2d", false, {"00:1A:2B:3C:4D:5E"}, "uuid-\xc3\xbc\xe4\xb8\xad"},
};

class MainDialogFacts : public MainDialogTest, public ::testing::WithParamInterface<FactsCase> {};

TEST_P(MainDialogFacts, ShowsWhatItGathered) {
    const FactsCase& c = GetParam();
    FakeFacts facts;
    facts.uuid = c.uuid;
    facts.computerNameFails = c.computerNameFails;
    facts.macs = c.macs;
    HWND dialog = Open(facts);

    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    ::GetComputerNameW(name, &size);
    EXPECT_EQ(ItemText(dialog, IDC_COMPUTER_NAME), c.computerNameFails ? std::wstring() : std::wstring(name));
    EXPECT_EQ(ItemText(dialog, IDC_UUID), c.uuid);

    std::vector<std::wstring> macs;
    for (const std::string& mac : c.macs) macs.push_back(Utf8ToWide(mac));
    EXPECT_EQ(ListBoxItems(dialog, IDC_MAC_LIST), macs);
    EXPECT_EQ(FakeMainDialog::StatusQueries(), std::vector<std::string>{c.uuidAsQueried});
}

INSTANTIATE_TEST_SUITE_P(Opening, MainDialogFacts, ::testing::ValuesIn(kFactsCases),
                         [](const ::testing::TestParamInfo<FactsCase>& info) { return std::string(info.param.name); });

// A UI language the rule does not count as Chinese: the code's texts are
// English (the template is the resource lookup's choice).
TEST_F(MainDialogTest, ChineseOtherThanPrcGetsTheEnglishTexts) {
    for (LANGID language : {LANGID(0x0404), LANGID(0x0C04)}) {
        FakeFacts facts = WithStatus(AgentStatus::Inactive, "3.6");
        facts.uiLanguage = language;
        HWND dialog = Open(facts);
        EXPECT_EQ(ItemText(dialog, IDC_STATUS_TEXT), L"Inactive") << language;
        EXPECT_EQ(ItemText(dialog, IDOK), L"Repair") << language;
        EXPECT_EQ(ItemText(dialog, IDC_VERSION), L"3.5.12.1(The latest version is 3.6)") << language;
        EXPECT_STREQ(ItemFont(dialog, IDC_REINSTALL_HINT).lfFaceName, L"Arial") << language;
        m_ui.reset();
    }
}

// ---------------------------------------------------------------- template, fonts, menu, status bar

TEST_F(MainDialogTest, TemplateOfTheUiLanguage) {
    HWND dialog = Open(WithStatus(AgentStatus::OldVersion));
    EXPECT_EQ(WindowText(dialog), L"QEVZUN");

    std::vector<std::wstring> labels =
        ChineseUi() ? std::vector<std::wstring>{L"计算机名称：", L"MAC地址表：",
                                                L"注意：请匹配邮件中的MAC地址，若未找到相同地址，请阅读邮件进一步处理",
                                                L"UUID：", L"QEV 版本号：", L"安全助手状态：", L"版本过低",
                                                L"您的安全助手需进行重新安装，请点击下方按钮，进行一键安装（可能需要几分钟的时间）",
                                                L"修复已完成！"}
                    : std::vector<std::wstring>{L"Computer：", L"MAC List：",
                                                L"Note: If you do not find the same address, please check your email",
                                                L"UUID：", L"QEV Version：", L"QEV Status:", L"Old Version",
                                                L"Security assistant needs to be reinstalled. Please click the button "
                                                L"below to install (it may take a few minutes)",
                                                L"Repair completed!"};
    EXPECT_EQ(StaticTexts(dialog), labels);

    RECT client;
    ::GetClientRect(dialog, &client);
    RECT size = DialogUnitsToPixels(dialog, 0, 0, 268, ChineseUi() ? 197 : 204);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    RECT button = ChineseUi() ? DialogUnitsToPixels(dialog, 110, 169, 50, 14)
                              : DialogUnitsToPixels(dialog, 112, 174, 50, 14);
    EXPECT_EQ(ItemRect(dialog, IDOK).left, button.left);
    EXPECT_EQ(ItemRect(dialog, IDOK).top, button.top);

    LONG style = ::GetWindowLongW(dialog, GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME);
    EXPECT_TRUE(::GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    LONG listStyle = ::GetWindowLongW(::GetDlgItem(dialog, IDC_MAC_LIST), GWL_STYLE);
    EXPECT_EQ(listStyle & (LBS_SORT | LBS_NOINTEGRALHEIGHT), LBS_SORT | LBS_NOINTEGRALHEIGHT);
    EXPECT_FALSE(::GetWindowLongW(::GetDlgItem(dialog, IDC_UUID), GWL_STYLE) & ES_READONLY);
}

TEST_F(MainDialogTest, NotesUseTheDisplayFontOfTheLanguage) {
    HWND dialog = Open(WithStatus(AgentStatus::OldVersion));
    for (int id : {IDC_REINSTALL_HINT, IDC_REPAIR_DONE}) {
        LOGFONTW font = ItemFont(dialog, id);
        EXPECT_EQ(std::wstring(font.lfFaceName), Expected(L"黑体", L"Arial")) << id;
        EXPECT_EQ(font.lfHeight, PointHeight(120)) << id;
    }
    // The other labels keep the dialog's font.
    EXPECT_STRNE(ItemFont(dialog, IDC_STATUS_TEXT).lfFaceName, ItemFont(dialog, IDC_REINSTALL_HINT).lfFaceName);
}

TEST_F(MainDialogTest, StatusBarShowsTheContactLineAcrossTheDialog) {
    HWND dialog = Open();
    RECT client;
    ::GetClientRect(dialog, &client);
    EXPECT_EQ(StatusBarText(dialog), Expected(L"如有任何问题，请Quillo联系【Varnel】",
                                              L" If you have any problems, please contact [Varnel] on Quillo "));
    EXPECT_EQ(StatusBarParts(dialog), std::vector<int>{static_cast<int>(client.right)});
    HWND bar = ::GetDlgItem(dialog, 0xE801);
    RECT barRect = ItemRect(dialog, 0xE801);
    EXPECT_TRUE(::IsWindowVisible(bar));
    EXPECT_EQ(barRect.bottom, client.bottom);
}

TEST_F(MainDialogTest, WindowCarriesTheProgramIcon) {
    HWND dialog = Open();
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dialog, WM_GETICON, ICON_BIG, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0)), icon);
    EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageW(dialog, WM_QUERYDRAGICON, 0, 0)), icon);
}

TEST_F(MainDialogTest, SystemMenuOpensTheAboutBox) {
    HWND dialog = Open();
    HMENU menu = ::GetSystemMenu(dialog, FALSE);
    int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
    wchar_t text[64] = {};
    ::GetMenuStringW(menu, count - 1, text, 64, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(text), Expected(L"关于 QEVZUN(&A)...", L"About QEVZUN(&A)..."));
    EXPECT_TRUE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);

    ::PostMessageW(dialog, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    HWND about = m_ui->WaitForDialog(IDOK, dialog);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(WindowText(about), Expected(L"关于 QEVZUN", L"About QEVZUN"));
    std::vector<std::wstring> texts = StaticTexts(about);
    EXPECT_NE(std::find(texts.begin(), texts.end(), Expected(L"QEVZUN，2.5 版", L"QEVZUN，2.5 Version")), texts.end());
    EXPECT_EQ(ItemText(about, IDOK), Expected(L"确定", L"OK"));
    EXPECT_EQ(::GetWindow(about, GW_OWNER), dialog);

    Press(about, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(about); }));
    EXPECT_FALSE(m_ui->Done());  // only the About box ended
    EXPECT_TRUE(::IsWindowEnabled(dialog));
}

// ---------------------------------------------------------------- notifications

enum class Outcome { ReinstallOk, RepairOk, Closes, Nothing };

struct NotificationCase {
    const char* name;
    UINT message;
    WPARAM wParam;
    Outcome outcome;
};

void PrintTo(const NotificationCase& c, std::ostream* os) { *os << c.name; }

const NotificationCase kNotificationCases[] = {
    {"ReinstallOk", UM_REINSTALL_OK, UM_REINSTALL_OK, Outcome::ReinstallOk},
    {"RepairOk", UM_REPAIR_OK, UM_REPAIR_OK, Outcome::RepairOk},
    {"ReinstallFail", UM_REINSTALL_FAIL, UM_REINSTALL_FAIL, Outcome::Closes},
    // One handler for the three messages: wParam decides.
    {"RepairOkCarriedByReinstallOk", UM_REINSTALL_OK, UM_REPAIR_OK, Outcome::RepairOk},
    {"ReinstallOkCarriedByRepairOk", UM_REPAIR_OK, UM_REINSTALL_OK, Outcome::ReinstallOk},
    {"ReinstallFailCarriedByRepairOk", UM_REPAIR_OK, UM_REINSTALL_FAIL, Outcome::Closes},
    {"OtherCodeCarriedByReinstallOk", UM_REINSTALL_OK, UM_REINSTALL_BEGIN, Outcome::Nothing},
    {"ZeroCarriedByRepairOk", UM_REPAIR_OK, 0, Outcome::Nothing},
};

class MainDialogNotifications : public MainDialogTest, public ::testing::WithParamInterface<NotificationCase> {};

TEST_P(MainDialogNotifications, HandledByTheCodeInWParam) {
    const NotificationCase& c = GetParam();
    FakeFacts facts = WithStatus(AgentStatus::OldVersion, "3.6.0.4");
    HWND dialog = Open(facts);
    // What a reinstall leaves behind, for the handler to read again.
    FakeFacts after = facts;
    after.uuid = L"uuid-after-the-reinstall";
    after.version = "3.6.0.4";
    after.latest = "3.6.0.5";
    after.status = AgentStatus::Inactive;  // not used: the worker saw it active
    FakeMainDialog::SetFacts(after);

    ::SendMessageW(dialog, c.message, c.wParam, 0);
    if (c.outcome == Outcome::Closes) {
        ASSERT_TRUE(Closed());
        EXPECT_EQ(m_result, IDCANCEL);
        return;
    }
    EXPECT_FALSE(m_ui->Done());
    if (c.outcome == Outcome::Nothing) {
        EXPECT_EQ(ItemText(dialog, IDC_STATUS_TEXT), Expected(L"版本过低", L"Old Version"));
        EXPECT_FALSE(ItemShown(dialog, IDC_REPAIR_DONE));
        EXPECT_EQ(ItemText(dialog, IDOK), Expected(L"一键安装", L"Install"));
        EXPECT_EQ(FakeMainDialog::UuidReads(), 0);
        return;
    }
    EXPECT_EQ(ItemText(dialog, IDC_STATUS_TEXT), Expected(L"活跃", L"Active"));
    EXPECT_EQ(StaticTextColour(dialog, IDC_STATUS_TEXT), RGB(0, 255, 0));
    EXPECT_TRUE(ItemShown(dialog, IDC_REPAIR_DONE));
    EXPECT_EQ(ItemText(dialog, IDOK), Expected(L"完成", L"Complete"));
    EXPECT_TRUE(ItemEnabled(dialog, IDOK));
    if (c.outcome == Outcome::ReinstallOk) {
        EXPECT_EQ(ItemText(dialog, IDC_UUID), L"uuid-after-the-reinstall");
        EXPECT_EQ(ItemText(dialog, IDC_VERSION),
                  Expected(L"3.6.0.4(最新版本为3.6.0.5)", L"3.6.0.4(The latest version is 3.6.0.5)"));
        EXPECT_EQ(FakeMainDialog::StatusQueries(), std::vector<std::string>{"uuid-after-the-reinstall"});
        EXPECT_FALSE(ItemShown(dialog, IDC_REINSTALL_HINT));
    } else {
        // Nothing is read again and the hint is left as it was.
        EXPECT_EQ(FakeMainDialog::UuidReads(), 0);
        EXPECT_TRUE(FakeMainDialog::StatusQueries().empty());
        EXPECT_EQ(ItemText(dialog, IDC_UUID), facts.uuid);
        EXPECT_EQ(ItemText(dialog, IDC_VERSION),
                  Expected(L"3.5.12.1(最新版本为3.6.0.4)", L"3.5.12.1(The latest version is 3.6.0.4)"));
        EXPECT_TRUE(ItemShown(dialog, IDC_REINSTALL_HINT));
    }

    // Completed: the push button now ends the program.
    Press(dialog, IDOK);
    ASSERT_TRUE(Closed());
    EXPECT_EQ(ScriptedWorker::Starts(), 0);
}

INSTANTIATE_TEST_SUITE_P(Dispatch, MainDialogNotifications, ::testing::ValuesIn(kNotificationCases),
                         [](const ::testing::TestParamInfo<NotificationCase>& info) {
                             return std::string(info.param.name);
                         });

struct RereadCase {
    const char* name;
    std::wstring uuidAfter;
    std::string versionAfter;
    std::wstring uuidShown;
    std::wstring versionShown;
    std::string uuidAsked = WideToUtf8(uuidShown);  // the UUID the state query is given
};

void PrintTo(const RereadCase& c, std::ostream* os) { *os << c.name; }

const wchar_t kFirstUuid[] = L"0c5e7a1d-4b2f-4e8a-9d36-7f1b2c3d4e5f";

const RereadCase kRereadCases[] = {
    {"NewUuidReplacesTheOld", L"uuid-after-the-reinstall", "3.6.0.4", L"uuid-after-the-reinstall", L"3.6.0.4"},
    {"UnreadableUuidKeepsTheOld", L"N/A", "3.6.0.4", kFirstUuid, L"3.6.0.4"},
    // Only the whole text "N/A" is unreadable, as for the state query (UuidPathTest);
    // a window text ends at the zero byte.
    {"NaThenFileBytesReplacesTheOld", std::wstring(L"N/A\0xyz", 7), "3.6.0.4", L"N/A", L"3.6.0.4",
     std::string("N/A\0xyz", 7)},
    {"SameUuid", kFirstUuid, "3.6.0.4", kFirstUuid, L"3.6.0.4"},
    {"UnreadableVersion", kFirstUuid, "N/A", kFirstUuid, L"N/A"},
    {"VersionNotUtf8", kFirstUuid, "3.6\xff", kFirstUuid, L"N/A"},
};

class MainDialogReread : public MainDialogTest, public ::testing::WithParamInterface<RereadCase> {};

TEST_P(MainDialogReread, AfterAReinstallUuidAndVersionAreReadAgain) {
    const RereadCase& c = GetParam();
    HWND dialog = Open(FakeFacts());
    FakeFacts after = FakeMainDialog::Facts();
    after.uuid = c.uuidAfter;
    after.version = c.versionAfter;
    FakeMainDialog::SetFacts(after);

    ::SendMessageW(dialog, UM_REINSTALL_OK, UM_REINSTALL_OK, 0);
    EXPECT_EQ(ItemText(dialog, IDC_UUID), c.uuidShown);
    EXPECT_EQ(ItemText(dialog, IDC_VERSION), c.versionShown);  // no latest version this time
    EXPECT_EQ(FakeMainDialog::StatusQueries(), std::vector<std::string>{c.uuidAsked});
    EXPECT_EQ(FakeMainDialog::VersionKeys(), std::vector<std::string>{"agent"});
}

INSTANTIATE_TEST_SUITE_P(Uuid, MainDialogReread, ::testing::ValuesIn(kRereadCases),
                         [](const ::testing::TestParamInfo<RereadCase>& info) { return std::string(info.param.name); });

}  // namespace
