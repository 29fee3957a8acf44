#include "inspect/MachineIdentity.h"

#include "app/SystemLibrary.h"
#include "app/UniqueHandle.h"
#include "log/Log.h"
#include "wmi/WmiQuery.h"

#include <cstdio>

namespace {

// The IP helper is not one of the system's known DLLs: bound from the system
// directory, never imported.
ULONG WINAPI BoundGetAdaptersAddresses(ULONG family, ULONG flags, PVOID reserved, PIP_ADAPTER_ADDRESSES addresses,
                                       PULONG size) {
    static const SystemLibrary library(L"iphlpapi.dll");
    static const GetAdaptersAddressesFn entry = library.Find<GetAdaptersAddressesFn>("GetAdaptersAddresses");
    if (entry == nullptr) return library.MissingError();
    return entry(family, flags, reserved, addresses, size);
}

}  // namespace

GetAdaptersAddressesFn g_getAdaptersAddresses = &BoundGetAdaptersAddresses;

namespace {

constexpr std::size_t kMacTextLength = 17;
constexpr int kMaxEnumerationCalls = 8;

struct ProcessHeapTraits {
    static void* Invalid() noexcept { return nullptr; }
    static void Close(void* block) noexcept { ::HeapFree(::GetProcessHeap(), 0, block); }
};
using UniqueHeapBlock = UniqueHandle<void*, ProcessHeapTraits>;

// False when WMI could not be connected at all. A query that throws leaves
// nothing behind: half an answer is not trusted over the adapter enumeration.
bool CollectFromWmi(MacAddressSet& addresses) {
    WmiQuery wmi;
    if (!wmi.Connect()) return false;
    try {
        for (const WmiRow& row : wmi.QueryMacAddresses()) {
            auto found = row.find("MACAddress");
            if (found != row.end() && found->second.size() == kMacTextLength) addresses.insert(found->second);
        }
    } catch (...) {
        addresses.clear();
    }
    return true;
}

}  // namespace

MacAddressSet GetMacAddresses() {
    MacAddressSet addresses;
    if (!CollectFromWmi(addresses)) {
        LogError("Get MacAddress(WMI) failed, try to use API");
        addresses = GetMacAddressesByApi();
        if (addresses.empty()) LogError("Get MacAddress(API) failed");
        return addresses;
    }
    if (addresses.empty()) {
        LogError("Get MacAddress(WMI) empty, try to use API");
        addresses = GetMacAddressesByApi();
    }
    return addresses;
}

MacAddressSet GetMacAddressesByApi() {
    MacAddressSet addresses;
    UniqueHeapBlock buffer;
    ULONG size = 0;
    ULONG answer = NO_ERROR;
    int calls = 0;
    do {
        answer = g_getAdaptersAddresses(AF_UNSPEC, 0, nullptr, static_cast<PIP_ADAPTER_ADDRESSES>(buffer.get()), &size);
        ++calls;
        if (answer == ERROR_BUFFER_OVERFLOW) {
            buffer.reset();
            buffer.reset(::HeapAlloc(::GetProcessHeap(), 0, size));
            if (!buffer) {
                answer = ::GetLastError();
                break;
            }
        }
    } while (answer == ERROR_BUFFER_OVERFLOW && calls < kMaxEnumerationCalls);
    if (answer != NO_ERROR) return addresses;

    for (auto* adapter = static_cast<const IP_ADAPTER_ADDRESSES*>(buffer.get()); adapter != nullptr;
         adapter = adapter->Next) {
        if (adapter->PhysicalAddressLength != 6) continue;
        char text[kMacTextLength + 1] = {};
        const BYTE* a = adapter->PhysicalAddress;
        std::snprintf(text, sizeof text, "%.2X:%.2X:%.2X:%.2X:%.2X:%.2X", a[0], a[1], a[2], a[3], a[4], a[5]);
        addresses.insert(text);
    }
    return addresses;
}
