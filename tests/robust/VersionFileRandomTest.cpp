#include "inspect/VersionDiscovery.h"

#include "tests/robust/RandomCases.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using robust::Below;
using robust::OneIn;
using robust::Rng;
using robust::Shown;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// A separator is any character but a line terminator.
bool IsSeparator(char c) { return c != '\n' && c != '\r'; }
// \s of the pattern: space, tab, line feed, vertical tab, form feed, carriage return.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The tail "(sep [01])*" up to the end of core.
bool BinaryParts(const std::string& core, std::size_t at) {
    while (at < core.size()) {
        if (at + 2 > core.size() || !IsSeparator(core[at]) || (core[at + 1] != '0' && core[at + 1] != '1'))
            return false;
        at += 2;
    }
    return true;
}

// number (sep number){2} (sep [01])*, each number 1 to 10 digits, tried in
// every split so that separators may be digits too.
bool Numbers(const std::string& core, std::size_t at, int left) {
    for (std::size_t digits = 1; digits <= 10 && at + digits <= core.size(); ++digits) {
        if (!IsDigit(core[at + digits - 1])) break;
        const std::size_t next = at + digits;
        if (left == 1) {
            if (BinaryParts(core, next)) return true;
        } else if (next < core.size() && IsSeparator(core[next]) && Numbers(core, next + 1, left - 1)) {
            return true;
        }
    }
    return false;
}

// What the version file's first 32 bytes, up to a zero byte, say: the text
// without its trailing white space when that has the version form, else "N/A".
std::string ReferenceVersion(const std::string& file) {
    std::string head = file.substr(0, 32);
    head = head.substr(0, head.find('\0'));
    std::string core = head;
    while (!core.empty() && IsSpace(core.back())) core.pop_back();
    return Numbers(core, 0, 3) ? core : std::string("N/A");
}

std::string Digits(Rng& rng, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('0' + Below(rng, 10));
    return s;
}

char SeparatorLike(Rng& rng) {
    static const char choices[] = {'.', '.', '.', '-', 'x', ' ', '\t', '\n', '\r', '\0', '5', '\xFF', '\xA0'};
    return choices[Below(rng, sizeof choices)];
}

char SpaceLike(Rng& rng) {
    static const char choices[] = {' ', '\t', '\r', '\n', '\v', '\f', '\xA0', '\x85', 'x', '\0'};
    return choices[Below(rng, sizeof choices)];
}

// 0 to 40 bytes, mostly near the version form: numbers of 0 to 12 digits,
// odd separators, binary and other tail parts, white space, leading blanks,
// zero bytes and random bytes.
std::string RandomVersionFile(Rng& rng) {
    std::string s;
    if (OneIn(rng, 8)) {
        for (std::size_t n = Below(rng, 41); n > 0; --n) s += robust::AnyByte(rng);
        return s;
    }
    if (OneIn(rng, 10)) s += OneIn(rng, 2) ? ' ' : '\t';
    const std::size_t numbers = 1 + Below(rng, 4);
    for (std::size_t i = 0; i < numbers; ++i) {
        if (i > 0) s += SeparatorLike(rng);
        s += Digits(rng, OneIn(rng, 8) ? Below(rng, 13) : 1 + Below(rng, 4));
    }
    for (std::size_t parts = Below(rng, 5); parts > 0; --parts) {
        s += SeparatorLike(rng);
        s += OneIn(rng, 4) ? static_cast<char>('0' + Below(rng, 10)) : static_cast<char>('0' + Below(rng, 2));
    }
    for (std::size_t n = OneIn(rng, 3) ? Below(rng, 30) : 0; n > 0; --n) s += SpaceLike(rng);
    if (OneIn(rng, 6)) s += std::string(1, robust::AnyByte(rng)) + "more";
    if (s.size() > 40) s.resize(40);
    return s;
}

// The agent's version file with random content of 0 to 40 bytes, read
// through the program's own entry point: never more than the rule allows,
// never a fallback to the executable, no log line while the file exists.
TEST(VersionFileRandom, AgentVersionFollowsThePatternRuleOnRandomFiles) {
    ScopedFakeAgent agent;
    const std::string path = FakeAgent::ProgramDir() + "\\data\\meta\\agent_version";
    const char* const keys[] = {"agent", "AGENT", "Agent"};
    const unsigned seed = 4242u;
    Rng rng(seed);
    const int cases = 2000;
    int accepted = 0;
    LogCapture log;
    for (int i = 0; i < cases; ++i) {
        const std::string file = RandomVersionFile(rng);
        ASSERT_TRUE(WriteWholeFile(path, file));
        const std::string expected = ReferenceVersion(file);
        const std::string got = GetProductVersion(keys[i % 3]);
        ASSERT_EQ(got, expected) << "seed " << seed << " case " << i << " file " << Shown(file) << "\n got "
                                 << Shown(got) << "\n expected " << Shown(expected);
        accepted += expected != "N/A" ? 1 : 0;
    }
    EXPECT_EQ(log.Count("GetVersion"), 0) << log.Dump();
    EXPECT_EQ(log.Count("VersionInfo"), 0) << log.Dump();
    // Both verdicts came up in numbers; a generator gone lopsided would test little.
    EXPECT_GT(accepted, cases / 10);
    EXPECT_LT(accepted, cases - cases / 10);
}

}  // namespace
