#include "inspect/TextConversion.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <ostream>
#include <string>

namespace {

struct WideCase {
    const char* name;
    std::wstring wide;
    std::string utf8;
};
void PrintTo(const WideCase& c, std::ostream* os) { *os << c.name; }


class WideToUtf8Cases : public ::testing::TestWithParam<WideCase> {};

TEST_P(WideToUtf8Cases, EncodesEachUnitOnItsOwn) {
    EXPECT_EQ(WideToUtf8(GetParam().wide), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WideToUtf8Cases,
    ::testing::Values(
        WideCase{"empty", L"", ""},
        WideCase{"ascii", L"AGENT", "AGENT"},
        WideCase{"two_bytes", std::wstring(1, wchar_t(0x00E9)), "\xC3\xA9"},
        WideCase{"three_bytes", std::wstring(1, wchar_t(0x4E2D)), "\xE4\xB8\xAD"},
        WideCase{"boundary_7ff", std::wstring(1, wchar_t(0x07FF)), "\xDF\xBF"},
        WideCase{"boundary_800", std::wstring(1, wchar_t(0x0800)), "\xE0\xA0\x80"},
        // A surrogate pair is two 3-byte sequences, not one 4-byte form.
        WideCase{"surrogate_pair", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xED\xA0\xBD\xED\xB8\x80"},
        WideCase{"embedded_zero", std::wstring(L"A\0B", 3), std::string("A\0B", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

struct DecodeCase {
    const char* name;
    std::string utf8;
    bool ok;
    std::wstring wide;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }


class Utf8ToWideCases : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8ToWideCases, DecodesOrRaisesRangeError) {
    const DecodeCase& c = GetParam();
    if (c.ok) {
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
    } else {
        try {
            Utf8ToWide(c.utf8);
            ADD_FAILURE() << "no error raised";
        } catch (const std::range_error& e) {
            EXPECT_STREQ(e.what(), "bad conversion");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8ToWideCases,
    ::testing::Values(
        DecodeCase{"empty", "", true, L""},
        DecodeCase{"e_acute", "\xC3\xA9", true, std::wstring(1, wchar_t(0xE9))},
        DecodeCase{"embedded_zero", std::string("A\0B", 3), true, std::wstring(L"A\0B", 3)},
        DecodeCase{"stray_continuation", "A\x80", false, L""},
        DecodeCase{"cut_off", "A\xC3", false, L""},
        DecodeCase{"cut_off_three", "\xE4\xB8", false, L""},
        DecodeCase{"non_continuation_inside", "\xE4\x41\xAD", false, L""},
        // Overlong forms and encoded surrogates are accepted as they decode.
        DecodeCase{"overlong_slash", "\xC0\xAF", true, L"/"},
        DecodeCase{"encoded_surrogate", "\xED\xA0\xBD", true, std::wstring(1, wchar_t(0xD83D))},
        // Beyond the BMP only the low 16 bits stay.
        DecodeCase{"four_byte_keeps_low_half", "\xF0\x9F\x98\x80", true, std::wstring(1, wchar_t(0xF600))},
        DecodeCase{"max_code_point", "\xF4\x8F\xBF\xBF", true, std::wstring(1, wchar_t(0xFFFF))},
        DecodeCase{"above_max", "\xF4\x90\x80\x80", false, L""},
        DecodeCase{"five_byte_overlong_small", "\xF8\x80\x80\x81\x81", true, std::wstring(1, wchar_t(0x41))},
        DecodeCase{"five_byte_too_large", "\xF8\x88\x80\x80\x80", false, L""},
        DecodeCase{"six_byte_lead_cut", "\xFC\x80", false, L""},
        DecodeCase{"lone_ff", "\xFF", false, L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextConversion, RoundTripOfEveryBmpUnitIsLossless) {
    std::wstring all;
    for (unsigned u = 1; u <= 0xFFFF; ++u) all += static_cast<wchar_t>(u);
    EXPECT_EQ(Utf8ToWide(WideToUtf8(all)), all);
}

TEST(GetLastErrorText, KnownCodeGivesSystemTextThenTheCode) {
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    std::string text = GetLastErrorText();
    const std::string tail = "Error code 2";
    ASSERT_GT(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.find('\n'), std::string::npos);  // one line
}

TEST(GetLastErrorText, CodeWithoutSystemTextIsJustTheCode) {
    ::SetLastError(0x2FFFFFFF);
    EXPECT_EQ(GetLastErrorText(), "Error code " + std::to_string(0x2FFFFFFF));
}

TEST(GetLastErrorText, NegativeLookingCodesPrintSigned) {
    ::SetLastError(0xE0001234);
    EXPECT_EQ(GetLastErrorText(), "Error code " + std::to_string(static_cast<long>(static_cast<LONG>(0xE0001234))));
}

}  // namespace
