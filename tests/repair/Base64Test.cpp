#include "repair/Base64.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct DecodeCase {
    const char* name;
    std::string encoded;
    bool valid;
    std::string decoded;
};
void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name << " \"" << c.encoded << "\""; }

class Base64Decode : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Base64Decode, GivesTheBytesOrRejectsTheText) {
    const DecodeCase& c = GetParam();
    std::string decoded = "left over";
    EXPECT_EQ(DecodeBase64(c.encoded, decoded), c.valid);
    EXPECT_EQ(decoded, c.decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Base64Decode,
    ::testing::Values(
        // The test vectors of RFC 4648, section 10.
        DecodeCase{"empty", "", true, ""},
        DecodeCase{"one_byte", "Zg==", true, "f"},
        DecodeCase{"two_bytes", "Zm8=", true, "fo"},
        DecodeCase{"three_bytes", "Zm9v", true, "foo"},
        DecodeCase{"four_bytes", "Zm9vYg==", true, "foob"},
        DecodeCase{"five_bytes", "Zm9vYmE=", true, "fooba"},
        DecodeCase{"six_bytes", "Zm9vYmFy", true, "foobar"},
        // Every digit, the last two of the alphabet included, and every byte value.
        DecodeCase{"high_digits", "+/+/", true, std::string("\xfb\xff\xbf", 3)},
        DecodeCase{"nul_and_high_bytes", "AP8A", true, std::string("\x00\xff\x00", 3)},
        DecodeCase{"line_ends_kept", "YQpiDQo=", true, "a\nb\r\n"},
        DecodeCase{"length_not_multiple_of_four", "Zm9", false, ""},
        DecodeCase{"foreign_character", "Zm9*", false, ""},
        DecodeCase{"line_break_inside", "Zm9v\nYmFy", false, ""},
        DecodeCase{"padding_not_at_end", "Zg==Zm9v", false, ""},
        DecodeCase{"padding_in_third_place_only", "Zg=v", false, ""},
        DecodeCase{"triple_padding", "Z===", false, ""},
        DecodeCase{"nonzero_pad_bits", "Zh==", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
