#pragma once
// Read access to the local WMI service for the MAC address collection: one
// object, one connection, one fixed query, then destroyed.
#include "app/ComPtr.h"
#include "wmi/WmiObjects.h"

#include <wbemidl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

// Property name -> value text (UTF-8); properties with empty text are left out.
using WmiRow = std::map<std::string, std::string>;
using WmiRows = std::vector<WmiRow>;

class WmiQuery {
public:
    WmiQuery();
    ~WmiQuery();
    WmiQuery(const WmiQuery&) = delete;
    WmiQuery& operator=(const WmiQuery&) = delete;

    // Joins the thread to the multithreaded apartment and connects to
    // "ROOT\CIMV2"; true when that connection is ready for queries.
    bool Connect();

    // "SELECT MACAddress FROM Win32_NetworkAdapterConfiguration", one row per
    // object with a non-empty property. Empty without a connection. May throw
    // WmiError when an object's property names cannot be walked.
    WmiRows QueryMacAddresses();

private:
    ComPtr<IWbemServices> m_services;
    ComPtr<IWbemLocator> m_locator;
    ComPtr<IWbemServices> m_volumeEncryptionServices;  // held, never queried
    HRESULT m_comInit;
};

// Seam in front of IWbemServices::ExecQuery, so that tests can hand the query
// objects that Wine's WMI never delivers. The default runs the real query.
using WmiExecQueryFn = HRESULT (*)(IWbemServices* services, const wchar_t* language, const wchar_t* query,
                                   std::unique_ptr<WmiObjectEnumerator>& objects);
extern WmiExecQueryFn g_wmiExecQuery;
HRESULT ExecWbemQuery(IWbemServices* services, const wchar_t* language, const wchar_t* query,
                      std::unique_ptr<WmiObjectEnumerator>& objects);
