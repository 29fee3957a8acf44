#include "net/StateAnswer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// Answers whose members do not have the documented JSON types: the JSON
// library throws on most of them when read naively.
struct OddAnswerCase {
    const char* name;
    std::string body;
};
void PrintTo(const OddAnswerCase& c, std::ostream* os) { *os << c.name; }

class OddAnswerTest : public ::testing::TestWithParam<OddAnswerCase> {};

TEST_P(OddAnswerTest, IsParsedButNotUsable) {
    StateAnswer answer = ReadStateAnswer(GetParam().body);
    EXPECT_TRUE(answer.parsed);
    EXPECT_FALSE(answer.usable);
    EXPECT_EQ(answer.stateName, "");
    EXPECT_EQ(answer.releaseVersion, "");
    EXPECT_FALSE(answer.compactJson.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, OddAnswerTest,
    ::testing::Values(
        OddAnswerCase{"status_string", R"({"status":"0","data":{"state":"NORMAL"}})"},
        OddAnswerCase{"status_object", R"({"status":{},"data":{"state":"NORMAL"}})"},
        OddAnswerCase{"data_string", R"({"status":0,"data":"NORMAL"})"},
        OddAnswerCase{"state_number", R"({"status":0,"data":{"state":1,"releaseVersion":"2.1.0"}})"},
        OddAnswerCase{"state_object", R"({"status":0,"data":{"state":{"name":"NORMAL"}}})"},
        OddAnswerCase{"release_version_number", R"({"status":0,"data":{"state":"NORMAL","releaseVersion":2.1}})"},
        OddAnswerCase{"release_version_array", R"({"status":0,"data":{"state":"NORMAL","releaseVersion":["2"]}})"},
        OddAnswerCase{"root_array", R"([{"status":0,"data":{"state":"NORMAL"}}])"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StateAnswer, NestingTooDeepForTheReaderIsNoAnswer) {
    StateAnswer answer = ReadStateAnswer(std::string(5000, '['));
    EXPECT_FALSE(answer.parsed);
    EXPECT_FALSE(answer.usable);
}

TEST(StateAnswer, NumbersAndTextsReadAsTheLibraryConvertsThem) {
    // A real status is truncated, null status and state read as 0 and "".
    StateAnswer answer = ReadStateAnswer(R"({"status":0.7,"data":{"state":null,"releaseVersion":"2.1.0"}})");
    EXPECT_TRUE(answer.usable);
    EXPECT_EQ(answer.stateName, "");
    EXPECT_EQ(answer.releaseVersion, "2.1.0");
    EXPECT_TRUE(ReadStateAnswer(R"({"status":false,"data":null})").usable);
    EXPECT_FALSE(ReadStateAnswer(R"({"status":true})").usable);
    EXPECT_FALSE(ReadStateAnswer(R"({"status":4294967296})").usable);
}

}  // namespace
