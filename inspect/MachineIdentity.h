#pragma once
// The machine's network adapter MAC addresses, for the user and support to match.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <set>
#include <string>

// Ascending by byte comparison, unique; 17-character texts such as 00:1A:2B:3C:4D:5E.
using MacAddressSet = std::set<std::string>;

// From WMI, or from the adapter enumeration when WMI cannot be reached or
// delivers no usable address. Never throws.
MacAddressSet GetMacAddresses();

// Every adapter with a 6-byte physical address, as upper-case pairs joined by colons.
MacAddressSet GetMacAddressesByApi();

// Seam in front of the adapter enumeration, for the answers a test machine never gives.
using GetAdaptersAddressesFn = ULONG(WINAPI*)(ULONG, ULONG, PVOID, PIP_ADAPTER_ADDRESSES, PULONG);
extern GetAdaptersAddressesFn g_getAdaptersAddresses;
