#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

std::string ProbeDir() {
    std::string here = ExecutableDirectory();
    return here.substr(0, here.find_last_of('\\')) + "\\log_probe";
}
std::string ProbeLog() { return ProbeDir() + "\\QEVZUNLOG.log"; }

void RunProbe(const std::string& args) {
    std::string cmd = "\"" + ProbeDir() + "\\log_probe.exe\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    ASSERT_TRUE(::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string l = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

// "2026-12-10 01:02:03,456 [INFO] log_probe 1234 message"
const std::regex kLine(R"(^(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d,\d{3}) \[([A-Z]+)\] log_probe (\d+) (.*)$)");

struct Parsed {
    std::string priority, message;
    unsigned long thread = 0;
};

std::vector<Parsed> ParseLog(const std::string& text) {
    std::vector<Parsed> out;
    for (const std::string& l : SplitLines(text)) {
        std::smatch m;
        if (!std::regex_match(l, m, kLine)) {
            ADD_FAILURE() << "malformed log line: " << l.substr(0, 200);
            continue;
        }
        out.push_back({m[2], m[4], std::stoul(m[3])});
    }
    return out;
}

class LogFacility : public ::testing::Test {
protected:
    void SetUp() override {
        ::DeleteFileA(ProbeLog().c_str());
        ::DeleteFileA((ProbeLog() + ".1").c_str());
    }
};

TEST_F(LogFacility, FirstLineOfARunAnnouncesTheProcessThenAllThreeEntryPointsWrite) {
    RunProbe("entries");
    auto lines = ParseLog(ReadWholeFile(ProbeLog()));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].priority, "INFO");
    EXPECT_TRUE(std::regex_match(lines[0].message,
                                 std::regex(R"(Logger initialized for process "log_probe" \(PID \d+\))")))
        << lines[0].message;
    EXPECT_EQ(lines[1].priority, "INFO");
    EXPECT_EQ(lines[1].message, "info 1");
    EXPECT_EQ(lines[2].priority, "ERROR");
    EXPECT_EQ(lines[2].message, "error two");
    EXPECT_EQ(lines[3].priority, "CRIT");
    EXPECT_EQ(lines[3].message, "crit 3");
    EXPECT_EQ(lines[0].thread, lines[1].thread);
}

TEST_F(LogFacility, TwoRunsAppendToTheSameFileEachWithItsOwnStartLine) {
    RunProbe("hello");
    RunProbe("hello");
    auto lines = ParseLog(ReadWholeFile(ProbeLog()));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].message.find("Logger initialized"), std::string::npos);
    EXPECT_EQ(lines[1].message, "hello");
    EXPECT_NE(lines[2].message.find("Logger initialized"), std::string::npos);
    EXPECT_EQ(lines[3].message, "hello");
}

TEST_F(LogFacility, LengthRuleKeeps2046CutsAt2047AndDropsLongerTexts) {
    RunProbe("lengths");
    auto lines = ParseLog(ReadWholeFile(ProbeLog()));
    ASSERT_EQ(lines.size(), 4u);  // start line, 2046, 2047 cut, "after"
    EXPECT_EQ(lines[1].message, std::string(2046, 'a'));
    EXPECT_EQ(lines[2].message, std::string(2046, 'b'));
    EXPECT_EQ(lines[3].message, "after");
}

TEST_F(LogFacility, PercentInFormattedTextIsWrittenUnchanged) {
    RunProbe("percent");
    auto lines = ParseLog(ReadWholeFile(ProbeLog()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].message, "Response: {\"state\":\"100%d %s %n\"}");
}

TEST_F(LogFacility, LinesFromSeveralThreadsAtOnceStayWholeAndNoneIsLost) {
    RunProbe("threads");
    auto lines = ParseLog(ReadWholeFile(ProbeLog()));
    ASSERT_EQ(lines.size(), 1u + 4 * 250);
    std::map<std::string, int> seen;
    std::map<int, unsigned long> threadOf;
    const std::regex body(R"(worker (\d) line (\d+) x{100})");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lines[i].message, m, body)) << lines[i].message;
        ++seen[lines[i].message];
        int worker = std::stoi(m[1]);
        if (threadOf.count(worker)) {
            EXPECT_EQ(threadOf[worker], lines[i].thread);
        }
        threadOf[worker] = lines[i].thread;
    }
    EXPECT_EQ(seen.size(), 1000u);
    EXPECT_EQ(threadOf.size(), 4u);
}

TEST_F(LogFacility, FileRollsIntoOneBackupAtTenMebibytes) {
    // Each line is a little over 1000 bytes: 10 300 lines pass 10 485 760 bytes once.
    RunProbe("fill 10300");
    std::string backup = ReadWholeFile(ProbeLog() + ".1");
    std::string current = ReadWholeFile(ProbeLog());
    EXPECT_GE(backup.size(), 10485760u);
    EXPECT_LT(backup.size(), 10485760u + 1200u);
    EXPECT_FALSE(current.empty());
    EXPECT_LT(current.size(), 10485760u);
    // Nothing lost across the roll: the backup ends where the new file starts.
    auto before = ParseLog(backup);
    auto after = ParseLog(current);
    ASSERT_FALSE(before.empty());
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(before.size() + after.size(), 1u + 10300u);

    // A second roll replaces the backup: still only two files.
    RunProbe("fill 10300");
    EXPECT_TRUE(FileExists(ProbeLog() + ".1"));
    EXPECT_FALSE(FileExists(ProbeLog() + ".2"));
}

}  // namespace
