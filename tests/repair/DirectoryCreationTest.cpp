#include "repair/DirectoryCreation.h"

#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <string>

namespace {

bool IsDirectory(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

class DirectoryCreation : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = MakeTempDirectory("dirs");
        char cwd[MAX_PATH] = {};
        ::GetCurrentDirectoryA(MAX_PATH, cwd);
        m_oldCwd = cwd;
        ::SetCurrentDirectoryA(m_root.c_str());
    }
    void TearDown() override {
        ::SetCurrentDirectoryA(m_oldCwd.c_str());
        RemoveTree(m_root);
        ::SetEnvironmentVariableA("QEVZUN_TEST_BASE", nullptr);
    }
    std::string m_root, m_oldCwd;
};

struct RelativeCase {
    const char* name;
    const char* input;
    const char* expected;
    const char* created;  // relative to the working directory
};
void PrintTo(const RelativeCase& c, std::ostream* os) { *os << c.name; }


class RelativePaths : public DirectoryCreation, public ::testing::WithParamInterface<RelativeCase> {};

TEST_P(RelativePaths, JoinWithBackslashesAndCreateEachLevel) {
    const RelativeCase& c = GetParam();
    EXPECT_EQ(ExpandAndCreateDirectories(c.input), c.expected);
    EXPECT_TRUE(IsDirectory(m_root + "\\" + c.created)) << c.created;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RelativePaths,
    ::testing::Values(RelativeCase{"nested", "a/b/c", "a\\b\\c", "a\\b\\c"},
                      RelativeCase{"double_slash", "a//b", "a\\b", "a\\b"},
                      RelativeCase{"trailing_slash", "a/b/", "a\\b", "a\\b"},
                      RelativeCase{"two_percent_is_plain", "%%/x", "%%\\x", "%%\\x"},
                      RelativeCase{"unclosed_percent_is_plain", "%AB/y", "%AB\\y", "%AB\\y"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DirectoryCreation, EmptyPathGivesEmptyText) {
    EXPECT_EQ(ExpandAndCreateDirectories(""), "");
}

TEST_F(DirectoryCreation, BackslashPathIsOneComponentCreatedWhenItsParentExists) {
    std::string path = m_root + "\\Wexo";
    EXPECT_EQ(ExpandAndCreateDirectories(path), path);
    EXPECT_TRUE(IsDirectory(path));
    // Present already: returned unchanged, nothing logged.
    LogCapture log;
    EXPECT_EQ(ExpandAndCreateDirectories(path), path);
    EXPECT_EQ(log.Count("Failed to create"), 0);
}

TEST_F(DirectoryCreation, MissingParentFailsWithOneLogLineNamingTheLevel) {
    std::string path = m_root + "\\missing\\QEV";
    LogCapture log;
    EXPECT_EQ(ExpandAndCreateDirectories(path), "");
    EXPECT_FALSE(IsDirectory(path));
    EXPECT_EQ(log.Count("[ERROR]"), 1) << log.Dump();
    EXPECT_TRUE(log.Contains("ExpandAndCreateDirectories: Failed to create directory " + path)) << log.Dump();
}

TEST_F(DirectoryCreation, EnvironmentReferenceExpandsAndTheLevelsBelowAreCreated) {
    ::SetEnvironmentVariableA("QEVZUN_TEST_BASE", m_root.c_str());
    EXPECT_EQ(ExpandAndCreateDirectories("%QEVZUN_TEST_BASE%/Wexo/QEV"), m_root + "\\Wexo\\QEV");
    EXPECT_TRUE(IsDirectory(m_root + "\\Wexo\\QEV"));
}

TEST_F(DirectoryCreation, UnknownVariableFirstFailsOnTheEmptyName) {
    LogCapture log;
    EXPECT_EQ(ExpandAndCreateDirectories("%QEVZUN_NO_SUCH_VARIABLE%/x"), "");
    EXPECT_EQ(log.Count("ExpandAndCreateDirectories: Failed to create directory "), 1) << log.Dump();
    EXPECT_FALSE(IsDirectory(m_root + "\\x"));
}

TEST_F(DirectoryCreation, UnknownVariableInTheMiddleLeavesThePathAsItWas) {
    EXPECT_EQ(ExpandAndCreateDirectories("a/%QEVZUN_NO_SUCH_VARIABLE%/b"), "a\\b");
    EXPECT_TRUE(IsDirectory(m_root + "\\a\\b"));
}

TEST_F(DirectoryCreation, LeadingSlashStaysOnTheFirstComponentOnly) {
    std::string top = "qevzun-dirs-" + std::to_string(::GetCurrentProcessId());
    EXPECT_EQ(ExpandAndCreateDirectories("/" + top + "/a"), "/" + top + "\\a");
    // The same text names the created level (on Windows: the working drive's root).
    EXPECT_TRUE(IsDirectory("/" + top + "\\a"));
    RemoveTree("/" + top);
}

TEST_F(DirectoryCreation, FileAtAnIntermediateLevelCountsAsPresentThenTheNextLevelFails) {
    ASSERT_TRUE(WriteWholeFile(m_root + "\\blocker", "x"));
    LogCapture log;
    EXPECT_EQ(ExpandAndCreateDirectories("blocker/inner"), "");
    EXPECT_TRUE(log.Contains("Failed to create directory blocker\\inner")) << log.Dump();
}

}  // namespace
