#include "net/RequestTarget.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct EscapeCase {
    const char* name;
    std::string text;
    std::string expected;
};
void PrintTo(const EscapeCase& c, std::ostream* os) { *os << c.name; }

class EscapeRequestPathTextTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeRequestPathTextTest, KeepsPathCharactersAndEncodesTheRest) {
    EXPECT_EQ(EscapeRequestPathText(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, EscapeRequestPathTextTest,
    ::testing::Values(
        EscapeCase{"uuid_unchanged", "6F1C2A9E-3b7d-4c55-9e21-8a0d4b6f7c13", "6F1C2A9E-3b7d-4c55-9e21-8a0d4b6f7c13"},
        EscapeCase{"path_characters_unchanged", "az.AZ_09~!$&'()*+,;=:@/-", "az.AZ_09~!$&'()*+,;=:@/-"},
        EscapeCase{"ascii_a_request_path_may_not_hold", "a b?c#d%41\r\n\x01\t\x1f\x7f\"<>\\^`{|}[]",
                   "a%20b%3Fc%23d%2541%0D%0A%01%09%1F%7F%22%3C%3E%5C%5E%60%7B%7C%7D%5B%5D"},
        EscapeCase{"bytes_from_0x80_up", "\xC3\xA9\x80\xFF", "%C3%A9%80%FF"},
        EscapeCase{"ends_at_the_first_zero_byte", std::string("ab\0c\r\n", 6), "ab"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
