// A later copy of the program hands over to the one that runs: through the
// seam for the cases a user cannot wait through, and as the built program.
#include "app/UiLanguage.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/UiThread.h"
#include "ui/SecondCopy.h"
#include "ui/SingleInstance.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

const wchar_t kEnglish[] = L"QEVZUN is already running. Please use the QEVZUN window that is open, or try again later.";
const wchar_t kChinese[] = L"QEVZUN 已在运行。请使用已打开的 QEVZUN 窗口，或稍后再试。";
const char kLogged[] = "GiveWayToRunningCopy: QEVZUN is already running, but its window did not appear within 0 ms";

struct Box {
    std::wstring text;
    std::wstring caption;
    UINT type;
};
std::vector<Box> g_boxes;
LANGID g_language = 0;

int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    g_boxes.push_back({text, caption, type});
    return IDOK;
}
LANGID WINAPI Language() { return g_language; }

class SecondCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_boxes.clear();
        m_saved = g_secondCopyPlatform;
        m_savedLanguage = g_uiLanguage;
        g_secondCopyPlatform.messageBox = &RecordBox;
        g_secondCopyPlatform.userUiLanguage = &Language;
        g_uiLanguage = 0;  // as in a copy whose main dialog never opened
    }
    void TearDown() override {
        g_secondCopyPlatform = m_saved;
        g_uiLanguage = m_savedLanguage;
    }

private:
    SecondCopyPlatform m_saved;
    LANGID m_savedLanguage = 0;
};

struct LanguageCase {
    const char* name;
    LANGID language;
    const wchar_t* text;
};
void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.name; }

class SecondCopyLanguage : public SecondCopyTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(SecondCopyLanguage, WithoutTheRunningWindowTellsTheUserInTheUiLanguage) {
    const LanguageCase& c = GetParam();
    g_language = c.language;
    LogCapture log;

    GiveWayToRunningCopy(0);

    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0].text, c.text);
    EXPECT_EQ(g_boxes[0].caption, L"QEVZUN");
    EXPECT_EQ(g_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(g_uiLanguage, c.language);  // captured as the main dialog would
    EXPECT_EQ(CountMessages(log, "INFO", kLogged), 1) << log.Dump();
}

const LanguageCase kLanguageCases[] = {
    {"ChinesePrc", 0x0804, kChinese},
    {"English", 0x0409, kEnglish},
    {"ChineseTaiwanGetsEnglish", 0x0404, kEnglish},
};
INSTANTIATE_TEST_SUITE_P(Languages, SecondCopyLanguage, ::testing::ValuesIn(kLanguageCases),
                         [](const ::testing::TestParamInfo<LanguageCase>& info) { return std::string(info.param.name); });

TEST_F(SecondCopyTest, TheRunningWindowFoundIsBroughtForwardWithoutABox) {
    HWND first = ::CreateWindowExW(0, L"STATIC", L"first copy", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(first, nullptr);
    MarkAsInstanceWindow(first);
    ::ShowWindow(first, SW_MINIMIZE);
    LogCapture log;

    GiveWayToRunningCopy(0);

    EXPECT_TRUE(g_boxes.empty());
    EXPECT_FALSE(::IsIconic(first));
    EXPECT_TRUE(ProgramLines(log).empty()) << log.Dump();
    UnmarkInstanceWindow(first);
    ::DestroyWindow(first);
}

// The built program, while this test holds the one-copy rule and shows no
// window: after its wait it shows its box; OK ends it.
TEST(ProgramTest, ASecondCopyWithoutTheFirstsWindowSaysThatItRuns) {
    CSingleInstance first;
    ASSERT_TRUE(first.IsFirst());
    LogCapture log(ProgramLogPath());
    ProgramProcess second("\"" + ProgramPath() + "\"");
    ASSERT_TRUE(second.Started());

    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = ProgramWindows::DialogWithItem(second.Id(), 0xFFFF)) != nullptr; }, 60000));
    wchar_t text[256] = {};
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);
    EXPECT_EQ(std::wstring(text), ::GetUserDefaultUILanguage() == 0x0804 ? kChinese : kEnglish);
    EXPECT_EQ(log.Count("GiveWayToRunningCopy: QEVZUN is already running, but its window did not appear within 10000 ms"), 1)
        << log.Dump();

    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(second.Ended(20000));
    EXPECT_EQ(second.ExitCode(), 0u);
}

}  // namespace
