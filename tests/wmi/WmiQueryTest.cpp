#include "wmi/WmiQuery.h"

#include "tests/support/FakeWmi.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <ostream>
#include <string>

namespace {

// ---------------------------------------------------------------- against Wine's WMI

TEST(WmiQuery, RealQueryGivesOneMacAddressRowPerAdapterConfigurationWithAnAddress) {
    WmiQuery wmi;
    ASSERT_TRUE(wmi.Connect());
    LogCapture log;
    const WmiRows rows = wmi.QueryMacAddresses();
    ASSERT_FALSE(rows.empty());
    for (const WmiRow& row : rows) {
        ASSERT_EQ(row.size(), 1u);
        EXPECT_EQ(row.begin()->first, "MACAddress");
        EXPECT_EQ(row.begin()->second.size(), 17u) << row.begin()->second;
    }
    EXPECT_EQ(log.Count("WMI:"), 0) << log.Dump();
}

TEST(WmiQuery, WithoutAConnectionTheQueryIsNotRunAndNothingIsLogged) {
    ScopedFakeWmiQuery fake({MacObject(L"11:11:11:11:11:11")});
    LogCapture log;
    WmiQuery wmi;
    EXPECT_TRUE(wmi.QueryMacAddresses().empty());
    EXPECT_EQ(fake.Calls(), 0);
    EXPECT_TRUE(ProgramLines(log).empty()) << log.Dump();
}

// ---------------------------------------------------------------- the query seam

TEST(WmiQuery, RunsTheFixedWqlQueryOnTheConnection) {
    ScopedFakeWmiQuery fake({MacObject(L"11:11:11:11:11:11"), MacObject(L"22:22:22:22:22:22")});
    WmiQuery wmi;
    ASSERT_TRUE(wmi.Connect());
    const WmiRows expected = {{{"MACAddress", "11:11:11:11:11:11"}}, {{"MACAddress", "22:22:22:22:22:22"}}};
    EXPECT_EQ(wmi.QueryMacAddresses(), expected);
    EXPECT_EQ(fake.Calls(), 1);
    EXPECT_EQ(fake.Language(), L"WQL");
    EXPECT_EQ(fake.Query(), L"SELECT MACAddress FROM Win32_NetworkAdapterConfiguration");
}

TEST(WmiQuery, FailedQueryGivesNoRowsAndLogsTheThreadsLastError) {
    ScopedFakeWmiQuery fake({MacObject(L"11:11:11:11:11:11")}, static_cast<HRESULT>(0x80041003L));
    WmiQuery wmi;
    ASSERT_TRUE(wmi.Connect());
    LogCapture log;
    EXPECT_TRUE(wmi.QueryMacAddresses().empty());
    ASSERT_EQ(CountMessagesStartingWith(log, "ERROR", "WMI: Query failed. "), 1) << log.Dump();
    const std::string line = log.Lines().back();
    EXPECT_EQ(line.substr(line.size() - 12), "Error code 5") << line;  // the seam left ERROR_ACCESS_DENIED
}

// ---------------------------------------------------------------- COM initialisation

struct ComCase {
    const char* name;
    bool callerJoins;  // the calling thread initialised COM before
    DWORD callerModel;
    bool connects;
};
void PrintTo(const ComCase& c, std::ostream* os) { *os << c.name; }

class WmiComLifetime : public ::testing::TestWithParam<ComCase> {};

// Whatever the helper initialised it also undoes; the caller's own
// initialisation stays, and once the caller undoes it the thread is free to
// join any apartment again.
TEST_P(WmiComLifetime, DestructionBalancesTheHelpersOwnInitialisation) {
    const ComCase& c = GetParam();
    if (c.callerJoins) {
        ASSERT_EQ(::CoInitializeEx(nullptr, c.callerModel), S_OK);
    }
    LogCapture log;
    {
        WmiQuery wmi;
        EXPECT_EQ(wmi.Connect(), c.connects);
    }
    if (!c.connects) {
        ASSERT_EQ(CountMessagesStartingWith(log, "CRIT", "WMI: Failed to initialize COM library. "), 1) << log.Dump();
        const std::string line = log.Lines().back();
        EXPECT_EQ(line.substr(line.size() - 16), ", hr : 080010106") << line;  // RPC_E_CHANGED_MODE
    }
    if (c.callerJoins) {
        EXPECT_EQ(::CoInitializeEx(nullptr, c.callerModel), S_FALSE);  // still in the caller's apartment
        ::CoUninitialize();
        ::CoUninitialize();
    }
    HRESULT fresh = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(fresh, S_OK);
    if (SUCCEEDED(fresh)) ::CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(
    Table, WmiComLifetime,
    ::testing::Values(ComCase{"thread_without_com", false, 0, true},
                      ComCase{"caller_in_multithreaded_apartment", true, COINIT_MULTITHREADED, true},
                      ComCase{"caller_in_single_threaded_apartment", true, COINIT_APARTMENTTHREADED, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
