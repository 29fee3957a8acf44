#include "wmi/WmiRowReader.h"

#include "tests/support/FakeWmi.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "wmi/WmiError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr HRESULT kWbemFailed = static_cast<HRESULT>(0x80041001L);
constexpr HRESULT kWbemNotFound = static_cast<HRESULT>(0x80041002L);

FakeWmiObjectSpec Object(std::vector<FakeWmiProperty> properties) {
    FakeWmiObjectSpec spec;
    spec.properties = std::move(properties);
    return spec;
}

TEST(WmiRowReader, GetNamesFailingOnTheThirdObjectKeepsTheFirstTwoRowsAndStops) {
    FakeWmiObjectSpec third = MacObject(L"33:33:33:33:33:33");
    third.namesResult = kWbemFailed;
    int delivered = 0;
    FakeWmiEnumerator objects({Object({TextProperty(L"MACAddress", L"11:11:11:11:11:11"),
                                       TextProperty(L"Description", L"Ethernet")}),
                               MacObject(L"22:22:22:22:22:22"), third, MacObject(L"44:44:44:44:44:44")},
                              &delivered);
    LogCapture log;
    const WmiRows rows = ReadWmiRows(objects);
    const WmiRows expected = {{{"Description", "Ethernet"}, {"MACAddress", "11:11:11:11:11:11"}},
                              {{"MACAddress", "22:22:22:22:22:22"}}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(delivered, 3);  // nothing is asked for after the failure
    EXPECT_EQ(CountMessagesStartingWith(log, "ERROR", "WMI: Query GetNames()failed. hr: 080041001 err : "), 1)
        << log.Dump();
}

TEST(WmiRowReader, PropertiesWithoutTextOrThatFailToReadAreLeftOutAndEmptyObjectsAddNoRow) {
    FakeWmiProperty unreadable = TextProperty(L"IPAddress", L"never read");
    unreadable.getResult = kWbemNotFound;
    FakeWmiProperty flag{L"DHCPEnabled", [](VARIANT* v) { v->vt = VT_BOOL; v->boolVal = VARIANT_TRUE; }};
    FakeWmiProperty index{L"Index", [](VARIANT* v) { v->vt = VT_UI4; v->ulVal = 12; }};
    FakeWmiObjectSpec noText = Object({NullProperty(L"MACAddress"), TextProperty(L"Caption", L"")});
    FakeWmiEnumerator objects({Object({NullProperty(L"MACAddress"), unreadable, flag, index}), noText,
                               Object({TextProperty(L"MACAddress", L"\u00e9")})});
    LogCapture log;
    const WmiRows rows = ReadWmiRows(objects);
    const WmiRows expected = {{{"DHCPEnabled", "1"}, {"Index", "12"}}, {{"MACAddress", "\xC3\xA9"}}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(CountMessagesStartingWith(log, "ERROR", "WMI: Query Get() failed. hr: 080041002 er : "), 1)
        << log.Dump();
}

TEST(WmiRowReader, NamesThatCannotBeWalkedThrowForTheCallerToHandle) {
    FakeWmiObjectSpec unwalkable = MacObject(L"22:22:22:22:22:22");
    unwalkable.namesMissing = true;
    FakeWmiEnumerator objects({MacObject(L"11:11:11:11:11:11"), unwalkable});
    EXPECT_THROW(ReadWmiRows(objects), WmiError);
}

}  // namespace
