#include "inspect/VersionDiscovery.h"

#include "inspect/InstallLayout.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

namespace {

// ---------------------------------------------------------------- file content

struct ContentCase {
    const char* name;
    std::string content;
    const char* expected;
};
void PrintTo(const ContentCase& c, std::ostream* os) { *os << c.name; }

class VersionFileContent : public ::testing::TestWithParam<ContentCase> {
protected:
    void SetUp() override { m_dir = MakeTempDirectory("version"); }
    void TearDown() override { RemoveTree(m_dir); }
    std::string m_dir;
};

TEST_P(VersionFileContent, AcceptsOnlyTheVersionFormWithinTheFirst32Bytes) {
    const ContentCase& c = GetParam();
    const std::string path = m_dir + "\\agent_version";
    ASSERT_TRUE(WriteWholeFile(path, c.content));
    LogCapture log;
    EXPECT_EQ(GetVersion(path), c.expected);
    EXPECT_EQ(log.Count("GetVersion"), 0) << log.Dump();
}

const std::string k24Spaces(24, ' ');

INSTANTIATE_TEST_SUITE_P(
    Table, VersionFileContent,
    ::testing::Values(
        ContentCase{"plain", "3.5.12.1", "3.5.12.1"},
        ContentCase{"crlf", "10.0.1\r\n", "10.0.1"},
        ContentCase{"binary_parts_after_third_number", "2.0.0.0.1\n", "2.0.0.0.1"},
        ContentCase{"trailing_tabs_and_spaces", "3.5.12.1 \t\r\n\n", "3.5.12.1"},
        ContentCase{"fourth_part_not_0_or_1", "1.2.3.4", "N/A"},
        ContentCase{"fourth_part_two_digits", "3.5.12.10", "N/A"},
        ContentCase{"two_numbers", "1.2", "N/A"},
        ContentCase{"any_separator_character", "1-2-3", "1-2-3"},
        ContentCase{"line_feed_is_no_separator", "1\n2\n3", "N/A"},
        ContentCase{"leading_space", " 3.5.12.1", "N/A"},
        ContentCase{"text_after_line_feed", "3.5.12.1\nbuild 7", "N/A"},
        ContentCase{"text_beyond_32_bytes", "3.5.12.1" + k24Spaces + "and then anything", "3.5.12.1"},
        ContentCase{"text_at_byte_32", "3.5.12.1" + std::string(23, ' ') + "x", "N/A"},
        ContentCase{"zero_byte_ends_text", std::string("3.5.12.1\0garbage", 16), "3.5.12.1"},
        ContentCase{"empty", "", "N/A"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VersionFile, MissingFileGivesNAWithOneErrorLine) {
    const std::string dir = MakeTempDirectory("version-missing");
    const std::string path = dir + "\\agent_version";
    LogCapture log;
    EXPECT_EQ(GetVersion(path), "N/A");
    EXPECT_EQ(log.Count("GetVersion"), 1) << log.Dump();
    EXPECT_EQ(CountMessages(log, "ERROR", "GetVersion: Unable to read version file - " + path), 1) << log.Dump();
    RemoveTree(dir);
}

// ---------------------------------------------------------------- product keys

struct KeyCase {
    const char* name;
    const char* key;
    const char* expected;
};
void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class ProductKey : public ::testing::TestWithParam<KeyCase> {
protected:
    void SetUp() override {
        const std::string meta = FakeAgent::ProgramDir() + "\\data\\meta\\";
        ASSERT_TRUE(WriteWholeFile(meta + "content_version", "7.1.0\n"));
        ASSERT_TRUE(WriteWholeFile(meta + "av_version", "4.0.0.1"));
        ASSERT_TRUE(WriteWholeFile(meta + "antiy_version", "2.2.2\r\n"));
    }
    ScopedFakeAgent m_agent;  // agent_version "3.5.12.1\r\n"
};

TEST_P(ProductKey, SelectsTheKeysFileInAnyLetterCase) {
    const KeyCase& c = GetParam();
    LogCapture log;
    EXPECT_EQ(GetProductVersion(c.key), c.expected);
    EXPECT_TRUE(ProgramLines(log).empty()) << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProductKey,
    ::testing::Values(KeyCase{"agent", "agent", "3.5.12.1"},
                      KeyCase{"upper_case", "AGENT", "3.5.12.1"},
                      KeyCase{"mixed_case", "Agent", "3.5.12.1"},
                      KeyCase{"content", "content", "7.1.0"},
                      KeyCase{"av", "AV", "4.0.0.1"},
                      KeyCase{"antiy", "Antiy", "2.2.2"},
                      KeyCase{"trailing_space", "agent ", "0"},
                      KeyCase{"empty", "", "0"},
                      KeyCase{"unknown", "sensor", "0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProductVersion, MissingAgentFileNamesTheForwardSlashPathUnderTheProgramDirectory) {
    FakeAgentSpec spec;
    spec.agentVersion.reset();
    ScopedFakeAgent agent(spec);
    LogCapture log;
    EXPECT_EQ(GetProductVersion("agent"), "N/A");
    EXPECT_EQ(CountMessages(log, "ERROR",
                            "GetVersion: Unable to read version file - " + GetQEVInstallDirectory() +
                                "/data/meta/agent_version"),
              1)
        << log.Dump();
}

// The executable's version is a fallback only for an empty or "0" result, which
// never arises: a missing or malformed file stays "N/A" even beside a versioned
// qevsensor.exe.
TEST(ProductVersion, ExecutableVersionIsNotConsultedForMissingOrMalformedFiles) {
    for (const char* content : {static_cast<const char*>(nullptr), "0", ""}) {
        FakeAgentSpec spec;
        if (content == nullptr) spec.agentVersion.reset(); else spec.agentVersion = std::string(content);
        ScopedFakeAgent agent(spec);
        ASSERT_TRUE(::CopyFileA(SiblingPath("qevzun_version_sample.exe").c_str(),
                                (FakeAgent::ProgramDir() + "\\bin\\qevsensor.exe").c_str(), FALSE));
        LogCapture log;
        EXPECT_EQ(GetProductVersion("agent"), "N/A") << (content ? content : "(missing)");
        EXPECT_FALSE(log.Contains("VersionInfo")) << log.Dump();
    }
}

// ---------------------------------------------------------------- executable version

enum class Image { Versioned, ShortRoot, Text, None };

struct ExecutableCase {
    const char* name;
    const char* key;
    const char* file;  // under bin
    Image image;
    const char* expected;
    const char* line;  // error line up to " err: ", with %s for the path; null: none
};
void PrintTo(const ExecutableCase& c, std::ostream* os) { *os << c.name; }

class ExecutableVersion : public ::testing::TestWithParam<ExecutableCase> {
protected:
    ScopedFakeAgent m_agent;
};

TEST_P(ExecutableVersion, ReadsTheProductVersionOfTheKeysExecutable) {
    const ExecutableCase& c = GetParam();
    const std::string target = FakeAgent::ProgramDir() + "\\bin\\" + c.file;
    switch (c.image) {
    case Image::Versioned:
        ASSERT_TRUE(::CopyFileA(SiblingPath("qevzun_version_sample.exe").c_str(), target.c_str(), FALSE));
        break;
    case Image::ShortRoot:
        ASSERT_TRUE(::CopyFileA(SiblingPath("qevzun_version_sample_short.exe").c_str(), target.c_str(), FALSE));
        break;
    case Image::Text: ASSERT_TRUE(WriteWholeFile(target, "not a program")); break;
    case Image::None: break;
    }
    LogCapture log;
    EXPECT_EQ(GetExecutableVersion(c.key), c.expected);
    if (c.line == nullptr) {
        EXPECT_TRUE(ProgramLines(log).empty()) << log.Dump();
    } else {
        std::string line = c.line;
        line.replace(line.find("%s"), 2, GetQEVInstallDirectory() + "/bin/" + c.file);
        EXPECT_EQ(CountMessagesStartingWith(log, "ERROR", line + ". err: "), 1) << log.Dump();
        EXPECT_EQ(ProgramLines(log).size(), 1u) << log.Dump();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExecutableVersion,
    ::testing::Values(
        ExecutableCase{"agent_is_qevsensor", "agent", "qevsensor.exe", Image::Versioned, "7.80.65535.1", nullptr},
        ExecutableCase{"av_is_qevmon", "av", "qevmon.exe", Image::Versioned, "7.80.65535.1", nullptr},
        ExecutableCase{"missing_executable", "agent", "qevsensor.exe", Image::None, "0",
                       "VersionInfo size 0 for file: %s"},
        ExecutableCase{"no_version_resource", "av", "qevmon.exe", Image::Text, "0",
                       "VersionInfo size 0 for file: %s"},
        ExecutableCase{"root_without_fixed_record", "agent", "qevsensor.exe", Image::ShortRoot, "0",
                       "VerQueryValue() FAILED for file: %s"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExecutableVersionKey, UnknownProductGivesZeroWithOneLine) {
    LogCapture log;
    EXPECT_EQ(GetExecutableVersion("content"), "0");
    EXPECT_EQ(CountMessages(log, "ERROR", "Unknown product : content"), 1) << log.Dump();
    EXPECT_EQ(GetExecutableVersion("AGENT"), "0");  // no lower-casing here
    EXPECT_EQ(CountMessages(log, "ERROR", "Unknown product : AGENT"), 1) << log.Dump();
}

}  // namespace
