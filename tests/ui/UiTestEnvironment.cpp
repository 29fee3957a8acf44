// What every run of the ui suite needs before its first dialog, and a check
// that the Chinese run really runs under a Chinese UI language: a missing
// locale must fail it, not quietly run English twice.
#include "tests/ui/UiTestLanguage.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

namespace {

class UiTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // As the program does at start-up: the progress bar and status bar classes.
        INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), 0xFF};
        ::InitCommonControlsEx(&controls);

        const char* expected = std::getenv("QEVZUN_EXPECT_UI_LANGUAGE");
        if (expected == nullptr || *expected == '\0') return;
        unsigned long wanted = std::strtoul(expected, nullptr, 16);
        ASSERT_EQ(static_cast<unsigned long>(::GetUserDefaultUILanguage()), wanted)
            << "the run was meant for UI language " << expected;
    }
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new UiTestEnvironment);

}  // namespace
