#include "inspect/MachineIdentity.h"

#include "tests/support/FakeWmi.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "wmi/WmiQuery.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <cstring>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<BYTE>;

// ---------------------------------------------------------------- fake adapter enumeration

enum class Adapters {
    List,           // the records of the case, after one sizing call
    NoData,         // a machine without adapters
    AlwaysGrowing,  // every call reports a larger size than the buffer it got
    HugeSize,       // asks for more than the process can allocate
};

struct FakeAdapterState {
    Adapters mode = Adapters::List;
    std::vector<Bytes> addresses;
    int calls = 0;
};
FakeAdapterState g_adapters;

ULONG WINAPI FakeGetAdaptersAddresses(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES buffer, PULONG size) {
    ++g_adapters.calls;
    switch (g_adapters.mode) {
    case Adapters::NoData: return ERROR_NO_DATA;
    case Adapters::AlwaysGrowing: *size += sizeof(IP_ADAPTER_ADDRESSES); return ERROR_BUFFER_OVERFLOW;
    case Adapters::HugeSize:
        *size = 0xFFFFFF00u;
        ::SetLastError(NO_ERROR);
        return ERROR_BUFFER_OVERFLOW;
    case Adapters::List: break;
    }
    const std::size_t n = g_adapters.addresses.size();
    if (n == 0) return ERROR_NO_DATA;
    const ULONG needed = static_cast<ULONG>(n * sizeof(IP_ADAPTER_ADDRESSES));
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return ERROR_BUFFER_OVERFLOW;
    }
    std::memset(buffer, 0, needed);
    for (std::size_t i = 0; i < n; ++i) {
        buffer[i].Length = sizeof(IP_ADAPTER_ADDRESSES);
        buffer[i].Next = i + 1 < n ? &buffer[i + 1] : nullptr;
        const Bytes& a = g_adapters.addresses[i];
        buffer[i].PhysicalAddressLength = static_cast<DWORD>(a.size());
        std::memcpy(buffer[i].PhysicalAddress, a.data(), a.size());
    }
    return NO_ERROR;
}

class ScopedFakeAdapters {
public:
    ScopedFakeAdapters(Adapters mode, std::vector<Bytes> addresses) {
        g_adapters = FakeAdapterState{mode, std::move(addresses), 0};
        g_getAdaptersAddresses = &FakeGetAdaptersAddresses;
    }
    ~ScopedFakeAdapters() { g_getAdaptersAddresses = m_real; }
    int Calls() const { return g_adapters.calls; }

private:
    GetAdaptersAddressesFn m_real = g_getAdaptersAddresses;
};

const Bytes kAdapterA = {0x0a, 0x1b, 0xff, 0x00, 0x9c, 0xde};
const Bytes kAdapterB = {0x02, 0xfc, 0x00, 0x00, 0x00, 0x01};
const MacAddressSet kApiSet = {"02:FC:00:00:00:01", "0A:1B:FF:00:9C:DE"};

// ---------------------------------------------------------------- adapter enumeration

struct ApiCase {
    const char* name;
    Adapters mode;
    std::vector<Bytes> addresses;
    MacAddressSet expected;
    int calls;
};
void PrintTo(const ApiCase& c, std::ostream* os) { *os << c.name; }

class AdapterEnumeration : public ::testing::TestWithParam<ApiCase> {};

TEST_P(AdapterEnumeration, ListsSixByteAddressesAndNothingAfterAFailure) {
    const ApiCase& c = GetParam();
    ScopedFakeAdapters adapters(c.mode, c.addresses);
    LogCapture log;
    EXPECT_EQ(GetMacAddressesByApi(), c.expected);
    EXPECT_EQ(adapters.Calls(), c.calls);
    EXPECT_EQ(log.Count("MacAddress"), 0) << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Table, AdapterEnumeration,
    ::testing::Values(
        ApiCase{"upper_case_pairs_joined_by_colons", Adapters::List, {kAdapterA}, {"0A:1B:FF:00:9C:DE"}, 2},
        ApiCase{"empty_and_eight_byte_addresses_skipped",
                Adapters::List,
                {Bytes{}, Bytes{1, 2, 3, 4, 5, 6, 7, 8}, kAdapterB},
                {"02:FC:00:00:00:01"},
                2},
        ApiCase{"duplicates_once_in_ascending_order", Adapters::List, {kAdapterA, kAdapterB, kAdapterA}, kApiSet, 2},
        ApiCase{"no_adapters", Adapters::NoData, {}, {}, 1},
        ApiCase{"list_keeps_growing_gives_up_after_eight_calls", Adapters::AlwaysGrowing, {}, {}, 8},
        ApiCase{"buffer_cannot_be_allocated", Adapters::HugeSize, {}, {}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AdapterEnumerationOnThisMachine, EveryAddressIsSixUpperCasePairs) {
    const MacAddressSet addresses = GetMacAddressesByApi();
    EXPECT_FALSE(addresses.empty());
    const std::regex form("[0-9A-F]{2}(:[0-9A-F]{2}){5}");
    for (const std::string& a : addresses) EXPECT_TRUE(std::regex_match(a, form)) << a;
}

// ---------------------------------------------------------------- WMI first, then the enumeration

std::vector<std::string> MacLines(const LogCapture& log) {
    std::vector<std::string> lines;
    for (const std::string& line : log.Lines())
        if (line.find("Get MacAddress(") != std::string::npos) lines.push_back(line);
    return lines;
}

const char* const kWmiEmpty = "[ERROR] Get MacAddress(WMI) empty, try to use API";
const char* const kWmiFailed = "[ERROR] Get MacAddress(WMI) failed, try to use API";
const char* const kApiFailed = "[ERROR] Get MacAddress(API) failed";

FakeWmiObjectSpec NullMacObject() {
    FakeWmiObjectSpec spec;
    spec.properties.push_back(NullProperty(L"MACAddress"));
    return spec;
}
FakeWmiObjectSpec ObjectWithoutMac() {
    FakeWmiObjectSpec spec;
    spec.properties.push_back(TextProperty(L"Description", L"Loopback"));
    return spec;
}
FakeWmiObjectSpec UnreadableObject() {
    FakeWmiObjectSpec spec = MacObject(L"EE:EE:EE:EE:EE:EE");
    spec.namesMissing = true;  // the bound query fails and the reader throws
    return spec;
}

struct WmiCase {
    const char* name;
    std::vector<FakeWmiObjectSpec> objects;
    HRESULT execResult;
    Adapters adapters;
    MacAddressSet expected;
    std::vector<std::string> lines;  // the "Get MacAddress" lines, in order
};
void PrintTo(const WmiCase& c, std::ostream* os) { *os << c.name; }

class MacFromWmi : public ::testing::TestWithParam<WmiCase> {};

TEST_P(MacFromWmi, TakesSeventeenCharacterValuesOrFallsBackToTheEnumeration) {
    const WmiCase& c = GetParam();
    ScopedFakeWmiQuery wmi(c.objects, c.execResult);
    ScopedFakeAdapters adapters(c.adapters, {kAdapterA, kAdapterB});
    LogCapture log;
    EXPECT_EQ(GetMacAddresses(), c.expected);
    EXPECT_EQ(wmi.Calls(), 1);
    EXPECT_EQ(MacLines(log), c.lines) << log.Dump();
    // The enumeration is asked exactly when WMI gave nothing usable.
    EXPECT_EQ(adapters.Calls() > 0, !c.lines.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, MacFromWmi,
    ::testing::Values(
        WmiCase{"rows_deduplicated_and_sorted",
                {MacObject(L"1A:00:00:00:00:00"), MacObject(L"0A:00:00:00:00:01"), MacObject(L"1A:00:00:00:00:00"),
                 MacObject(L"AB:CD:00:00:00:00"), MacObject(L"9F:00:00:00:00:00")},
                S_OK,
                Adapters::List,
                {"0A:00:00:00:00:01", "1A:00:00:00:00:00", "9F:00:00:00:00:00", "AB:CD:00:00:00:00"},
                {}},
        WmiCase{"only_seventeen_characters_taken_unchanged",
                {MacObject(L"001A2B3C4D5E"), MacObject(L"00-1a-2b-3c-4d-5e"), MacObject(L"aa:bb:cc:dd:ee:ff"),
                 MacObject(L"00:1A:2B:3C:4D:5E:"), ObjectWithoutMac()},
                S_OK,
                Adapters::List,
                {"00-1a-2b-3c-4d-5e", "aa:bb:cc:dd:ee:ff"},
                {}},
        WmiCase{"null_addresses_fall_back", {NullMacObject(), NullMacObject()}, S_OK, Adapters::List, kApiSet,
                {kWmiEmpty}},
        WmiCase{"twelve_digit_values_fall_back", {MacObject(L"001A2B3C4D5E")}, S_OK, Adapters::List, kApiSet,
                {kWmiEmpty}},
        WmiCase{"empty_fallback_writes_no_further_line", {NullMacObject()}, S_OK, Adapters::NoData, {},
                {kWmiEmpty}},
        WmiCase{"query_error_discards_delivered_rows",
                {MacObject(L"11:11:11:11:11:11"), MacObject(L"22:22:22:22:22:22"), UnreadableObject()},
                S_OK,
                Adapters::List,
                kApiSet,
                {kWmiEmpty}},
        WmiCase{"failed_query_falls_back", {MacObject(L"11:11:11:11:11:11")}, E_FAIL, Adapters::List, kApiSet,
                {kWmiEmpty}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ConnectFailureCase {
    const char* name;
    Adapters adapters;
    MacAddressSet expected;
    std::vector<std::string> lines;
};
void PrintTo(const ConnectFailureCase& c, std::ostream* os) { *os << c.name; }

// A thread in a single-threaded apartment cannot join the multithreaded one,
// so WMI's connection fails for real.
class MacWithoutWmi : public ::testing::TestWithParam<ConnectFailureCase> {
protected:
    void SetUp() override { ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
    void TearDown() override { ::CoUninitialize(); }
};

TEST_P(MacWithoutWmi, FailedConnectionUsesTheEnumerationAndNeverQueries) {
    const ConnectFailureCase& c = GetParam();
    ScopedFakeWmiQuery wmi({MacObject(L"11:11:11:11:11:11")});
    ScopedFakeAdapters adapters(c.adapters, {kAdapterA, kAdapterB});
    LogCapture log;
    EXPECT_EQ(GetMacAddresses(), c.expected);
    EXPECT_EQ(wmi.Calls(), 0);
    EXPECT_EQ(MacLines(log), c.lines) << log.Dump();
    EXPECT_EQ(CountMessagesStartingWith(log, "CRIT", "WMI: Failed to initialize COM library. "), 1)
        << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Table, MacWithoutWmi,
    ::testing::Values(ConnectFailureCase{"enumeration_yields", Adapters::List, kApiSet, {kWmiFailed}},
                      ConnectFailureCase{"enumeration_empty_too", Adapters::NoData, {}, {kWmiFailed, kApiFailed}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- the real thing

TEST(MacOnThisMachine, WmiDeliversTheListWithoutFallback) {
    MacAddressSet fromWmi;
    {
        WmiQuery wmi;
        ASSERT_TRUE(wmi.Connect());
        for (const WmiRow& row : wmi.QueryMacAddresses()) {
            auto found = row.find("MACAddress");
            if (found != row.end() && found->second.size() == 17) fromWmi.insert(found->second);
        }
    }
    ASSERT_FALSE(fromWmi.empty());
    LogCapture log;
    EXPECT_EQ(GetMacAddresses(), fromWmi);
    EXPECT_TRUE(MacLines(log).empty()) << log.Dump();
}

}  // namespace
