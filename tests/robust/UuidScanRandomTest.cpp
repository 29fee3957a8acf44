#include "inspect/AgentDatabase.h"

#include "inspect/InstallLayout.h"
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

const std::string kMarker = "AGENT_UUID";

// The rule, naively: look for the marker from the start; take up to 50 bytes
// after it; when they decode, that is the UUID; otherwise cut the text after
// this marker and look again. No marker left: "N/A".
std::wstring ReferenceUuid(const std::string& file) {
    std::string rest = file;
    for (;;) {
        std::size_t found = std::string::npos;
        for (std::size_t i = 0; i + kMarker.size() <= rest.size(); ++i) {
            if (rest.compare(i, kMarker.size(), kMarker) == 0) {
                found = i;
                break;
            }
        }
        if (found == std::string::npos) return L"N/A";
        rest = rest.substr(found + kMarker.size());
        std::wstring uuid;
        if (robust::ReferenceUtf8Decode(rest.substr(0, 50), uuid)) return uuid;
    }
}

std::string RandomUuidText(Rng& rng) {
    static const char hex[] = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 36; ++i) s += (i == 8 || i == 13 || i == 18 || i == 23) ? '-' : hex[Below(rng, 16)];
    return s;
}

// Filler that looks like database pages: zero runs, record bytes, text, and
// near misses of the marker.
std::string Filler(Rng& rng, std::size_t pieces) {
    std::string s;
    for (std::size_t i = 0; i < pieces; ++i) {
        switch (Below(rng, 7)) {
        case 0: s += std::string(Below(rng, 20), '\0'); break;
        case 1: for (std::size_t k = Below(rng, 12); k > 0; --k) s += robust::AnyByte(rng); break;
        case 2: s += "AGENT_NAME workstation"; break;
        case 3: s += kMarker.substr(0, 1 + Below(rng, kMarker.size() - 1)); break;  // a cut marker
        case 4: s += "agent_uuid"; break;                                            // wrong case
        case 5: s += "\xC3\xA9\xE4\xB8\xAD"; break;
        default: s += "SQLite format 3"; break;
        }
    }
    return s;
}

// What follows a planted marker.
std::string AfterMarker(Rng& rng) {
    switch (Below(rng, 8)) {
    case 0: return RandomUuidText(rng);                                   // the usual record
    case 1: return RandomUuidText(rng) + std::string("\x02\x11\0\0", 4);  // record bytes, zeros included
    case 2: return "\xC3(" + RandomUuidText(rng);                          // undecodable at once
    case 3: return std::string(Below(rng, 50), 'a') + "\xE4\xB8";          // a sequence cut inside or at the window
    case 4: return std::string(1, static_cast<char>(0x80 + Below(rng, 64))); // stray continuation
    case 5: return "\xF4\x90\x80\x80";                                       // beyond 10FFFF
    case 6: return "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";                    // multibyte text
    default: return std::string();                                           // marker followed directly by more
    }
}

std::string RandomGeneralDb(Rng& rng) {
    if (OneIn(rng, 40)) return std::string();  // an empty file
    std::string bytes = Filler(rng, Below(rng, 8));
    const std::size_t markers = Below(rng, 5);
    for (std::size_t m = 0; m < markers; ++m) {
        bytes += kMarker + AfterMarker(rng);
        if (!OneIn(rng, 3)) bytes += Filler(rng, Below(rng, 4));
    }
    if (OneIn(rng, 6)) bytes += kMarker;  // the very end of the file
    return bytes;
}

// Random "db_general" files in the agent's data directory, read as the
// program reads them: GetAgentUUID against the reference of the rule, and
// each "N/A" with the one line its cause writes.
TEST(UuidScanRandom, GetAgentUuidFollowsTheMarkerRuleOnRandomFiles) {
    ScopedFakeAgent agent;
    const std::string path = GetQEVDataDirectory() + "\\db_general";
    const unsigned seed = 8675309u;
    Rng rng(seed);
    const int cases = 1200;
    int empty = 0, notFound = 0, found = 0;
    LogCapture log;
    for (int i = 0; i < cases; ++i) {
        const std::string file = RandomGeneralDb(rng);
        ASSERT_TRUE(WriteWholeFile(path, file));
        const std::wstring expected = file.empty() ? std::wstring(L"N/A") : ReferenceUuid(file);
        const std::wstring got = GetAgentUUID();
        ASSERT_EQ(got, expected) << "seed " << seed << " case " << i << " file " << Shown(file) << "\n got "
                                 << Shown(got) << "\n expected " << Shown(expected);
        if (file.empty()) {
            ++empty;
        } else if (expected == L"N/A") {
            ++notFound;
        } else {
            ++found;
        }
    }
    EXPECT_EQ(log.Count("GetAgentUUID: Fail to get db size! db path:" + path), empty);
    EXPECT_EQ(log.Count("GetAgentUUID: Fail to find string at db file! db path:" + path + ", string:AGENT_UUID"),
              notFound);
    EXPECT_EQ(log.Count("GetAgentUUID"), empty + notFound);
    EXPECT_GT(found, cases / 4);
    EXPECT_GT(notFound, cases / 10);
}

}  // namespace
