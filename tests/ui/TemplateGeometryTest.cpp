// The built program's dialog templates, in both languages, against the
// layout the dialogs are designed with: ids, classes, positions and sizes in
// dialog units, styles and texts, control by control in creation (and tab)
// order. Read from QEVZUN.exe itself, so that what ships is what is checked.
#include "res/resource.h"
#include "tests/support/ProgramProcess.h"
#include "tests/ui/DialogTemplate.h"

#include "inspect/TextConversion.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

// A kind of control: its class, the style bits it must have, and the bits
// (of `mask`) it must not have.
struct Kind {
    const wchar_t* className;
    DWORD style;
    DWORD mask;
};

constexpr DWORD kStaticMask = SS_TYPEMASK | SS_NOPREFIX | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_DISABLED;
constexpr DWORD kButtonMask = BS_TYPEMASK | WS_VISIBLE | WS_TABSTOP | WS_DISABLED;
constexpr DWORD kEditMask = ES_AUTOHSCROLL | ES_READONLY | ES_MULTILINE | WS_BORDER | WS_TABSTOP | WS_VISIBLE | WS_DISABLED;
constexpr DWORD kListStyle =
    LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE;

const Kind kDefaultButton = {L"Button", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, kButtonMask};
const Kind kHiddenButton = {L"Button", BS_PUSHBUTTON | WS_TABSTOP, kButtonMask};
const Kind kLabel = {L"Static", SS_LEFT | WS_VISIBLE, kStaticMask};
const Kind kLabelNoPrefix = {L"Static", SS_LEFT | SS_NOPREFIX | WS_VISIBLE, kStaticMask};
const Kind kCentred = {L"Static", SS_CENTER | WS_VISIBLE, kStaticMask};
const Kind kHiddenCentred = {L"Static", SS_CENTER, kStaticMask};
const Kind kIcon = {L"Static", SS_ICON | WS_VISIBLE, kStaticMask};
const Kind kEdit = {L"Edit", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | WS_VISIBLE, kEditMask};
const Kind kList = {L"ListBox", kListStyle, kListStyle | LBS_MULTIPLESEL | LBS_OWNERDRAWFIXED | LBS_EXTENDEDSEL};
const Kind kProgressBar = {PROGRESS_CLASSW, WS_BORDER | WS_VISIBLE, WS_BORDER | WS_VISIBLE | PBS_VERTICAL};

struct Control {
    int id;
    Kind kind;
    const wchar_t* text;  // null: not fixed (the About box's second line); L"#128": icon 128
    short x, y, cx, cy;
};

struct Template {
    const char* name;
    UINT id;
    LANGID language;
    const wchar_t* caption;
    short cx, cy;
    DWORD style;  // of DS_MODALFRAME, WS_THICKFRAME, WS_POPUP, WS_CAPTION, WS_SYSMENU
    DWORD exStyle;
    WORD pointSize;
    std::vector<Control> controls;
};

void PrintTo(const Template& t, std::ostream* os) { *os << t.name; }

constexpr DWORD kFrameMask = DS_MODALFRAME | WS_THICKFRAME | WS_POPUP | WS_CHILD | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kModal = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

Template AboutBox(bool zh) {
    return {zh ? "AboutChinese" : "AboutEnglish", IDD_ABOUTBOX, zh ? kChinese : kEnglish,
            zh ? L"关于 QEVZUN" : L"About QEVZUN", 170, 62, kModal, 0, 9,
            {
                {-1, kIcon, L"#128", 14, 14, 20, 20},
                {-1, kLabelNoPrefix, zh ? L"QEVZUN，2.5 版" : L"QEVZUN，2.5 Version", 42, 14, 114, 8},
                {-1, kLabel, nullptr, 42, 26, 114, 8},
                {IDOK, kDefaultButton, zh ? L"确定" : L"OK", 113, 41, 50, 14},
            }};
}

// Where the Chinese template differs, its value comes first.
short Pick(bool zh, short chinese, short english) { return zh ? chinese : english; }

Template MainDialog(bool zh) {
    return {zh ? "MainChinese" : "MainEnglish", IDD_QEVZUN_DIALOG, zh ? kChinese : kEnglish, L"QEVZUN", 268,
            Pick(zh, 197, 204), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, WS_EX_APPWINDOW, 9,
            {
                {IDOK, kDefaultButton, zh ? L"一键安装" : L"Install", Pick(zh, 110, 112), Pick(zh, 169, 174), 50, 14},
                {-1, kLabel, zh ? L"计算机名称：" : L"Computer：", Pick(zh, 25, 30), 31, Pick(zh, 52, 64), 8},
                {IDC_COMPUTER_NAME, kEdit, L"", 73, 29, 128, 14},
                {-1, kLabel, zh ? L"MAC地址表：" : L"MAC List：", Pick(zh, 25, 30), 48, 46, 8},
                {IDC_MAC_LIST, kList, L"", 73, 48, 128, 45},
                {-1, kLabel,
                 zh ? L"注意：请匹配邮件中的MAC地址，若未找到相同地址，请阅读邮件进一步处理"
                    : L"Note: If you do not find the same address, please check your email",
                 206, Pick(zh, 50, 46), 54, Pick(zh, 46, 79)},
                {-1, kLabel, L"UUID：", Pick(zh, 25, 30), 100, 46, 8},
                {IDC_UUID, kEdit, L"", 73, 97, 128, 14},
                {-1, kLabel, zh ? L"QEV 版本号：" : L"QEV Version：", Pick(zh, 25, 30), 118, Pick(zh, 42, 52), 8},
                {IDC_VERSION, kEdit, L"", 73, 116, 128, 14},
                {-1, kLabel, zh ? L"安全助手状态：" : L"QEV Status:", Pick(zh, 25, 30), 135, 57, 8},
                {IDC_STATUS_TEXT, kLabel, zh ? L"活跃" : L"Active", 76, 135, 127, 8},
                // Chinese: 22 units high instead of 19, for two lines of the
                // 12-point display font.
                {IDC_REINSTALL_HINT, kLabel,
                 zh ? L"您的安全助手需进行重新安装，请点击下方按钮，进行一键安装（可能需要几分钟的时间）"
                    : L"Security assistant needs to be reinstalled. Please click the button below to install (it "
                      L"may take a few minutes)",
                 Pick(zh, 25, 29), Pick(zh, 147, 145), Pick(zh, 228, 225), Pick(zh, 22, 26)},
                {IDC_REPAIR_DONE, kHiddenCentred, zh ? L"修复已完成！" : L"Repair completed!", 73, 7, 128, 13},
            }};
}

Template ProgressDialog(bool zh) {
    return {zh ? "ProgressChinese" : "ProgressEnglish", IDD_PROCESS_STATUS, zh ? kChinese : kEnglish, L"QEVZUN", 211,
            96, kModal, 0, 8,
            {
                // 33 units high instead of 31, for the four lines of the
                // longest stage text.
                {IDC_STAGE_TEXT, kCentred, L"Static", 33, 24, 145, 33},
                {IDC_PROGRESS, kProgressBar, L"", 33, 48, 145, 14},
                {IDC_INSTALL, kHiddenButton, zh ? L"一键安装" : L"Install", 79, 61, 50, 14},
                // 10 units high instead of 8, for one line of its 10-point face.
                {IDC_FAIL_LABEL, kHiddenCentred, zh ? L"安装激活失败" : L"Install And Active Fail", Pick(zh, 66, 44),
                 11, Pick(zh, 83, 125), 10},
            }};
}

const Template kTemplates[] = {AboutBox(false), AboutBox(true),         MainDialog(false),
                               MainDialog(true), ProgressDialog(false), ProgressDialog(true)};

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(value));
    return text;
}

class TemplateGeometry : public ::testing::TestWithParam<Template> {
protected:
    static void SetUpTestSuite() {
        s_program = ::LoadLibraryExA(ProgramPath().c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    }
    static void TearDownTestSuite() {
        if (s_program != nullptr) ::FreeLibrary(s_program);
        s_program = nullptr;
    }
    static HMODULE s_program;
};

HMODULE TemplateGeometry::s_program = nullptr;

TEST_P(TemplateGeometry, AsTheLayoutTableSays) {
    const Template& expected = GetParam();
    ASSERT_NE(s_program, nullptr) << ProgramPath() << " cannot be read (" << ::GetLastError() << ")";
    DialogTemplate actual;
    std::string error;
    ASSERT_TRUE(ReadDialogTemplate(s_program, expected.id, expected.language, actual, error)) << error;

    EXPECT_EQ(actual.caption, expected.caption);
    EXPECT_EQ(actual.cx, expected.cx);
    EXPECT_EQ(actual.cy, expected.cy);
    EXPECT_EQ(Hex(actual.style & kFrameMask), Hex(expected.style));
    EXPECT_EQ(Hex(actual.exStyle & WS_EX_APPWINDOW), Hex(expected.exStyle));
    EXPECT_EQ(actual.face, L"MS Shell Dlg");
    EXPECT_EQ(actual.pointSize, expected.pointSize);
    if (expected.id == IDD_PROCESS_STATUS) {
        EXPECT_EQ(actual.weight, FW_NORMAL);
    }

    ASSERT_EQ(actual.items.size(), expected.controls.size());
    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const Control& want = expected.controls[i];
        const DialogTemplateItem& got = actual.items[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(lstrcmpiW(got.className.c_str(), want.kind.className), 0) << WideToUtf8(got.className);
        EXPECT_EQ(Hex(got.style & want.kind.mask), Hex(want.kind.style));
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        if (want.text == nullptr) {
            EXPECT_FALSE(got.text.empty());
        } else if (want.text[0] == L'#') {
            EXPECT_EQ(got.textOrdinal, std::stoi(want.text + 1));
        } else {
            EXPECT_EQ(got.text, want.text);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateGeometry, ::testing::ValuesIn(kTemplates),
                         [](const ::testing::TestParamInfo<Template>& info) { return std::string(info.param.name); });

}  // namespace
