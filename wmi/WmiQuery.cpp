#include "wmi/WmiQuery.h"

#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "wmi/ComValues.h"
#include "wmi/WbemObjects.h"
#include "wmi/WmiRowReader.h"

#include <objbase.h>

WmiExecQueryFn g_wmiExecQuery = &ExecWbemQuery;

namespace {

unsigned Hex(HRESULT hr) { return static_cast<unsigned>(hr); }

HRESULT ConnectNamespace(IWbemLocator* locator, const wchar_t* name, ComPtr<IWbemServices>& services) {
    UniqueBstr resource(::SysAllocString(name));
    return locator->ConnectServer(resource.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put());
}

}  // namespace

HRESULT ExecWbemQuery(IWbemServices* services, const wchar_t* language, const wchar_t* query,
                      std::unique_ptr<WmiObjectEnumerator>& objects) {
    UniqueBstr languageText(::SysAllocString(language));
    UniqueBstr queryText(::SysAllocString(query));
    ComPtr<IEnumWbemClassObject> enumerator;
    HRESULT hr = services->ExecQuery(languageText.get(), queryText.get(),
                                     WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                     enumerator.put());
    if (SUCCEEDED(hr)) objects = WrapWbemEnumerator(std::move(enumerator));
    return hr;
}

WmiQuery::WmiQuery() : m_comInit(E_FAIL) {}

WmiQuery::~WmiQuery() {
    // Every interface goes back before the apartment is left.
    m_volumeEncryptionServices.reset();
    m_services.reset();
    m_locator.reset();
    // S_FALSE (already initialised in this mode) is a counted initialisation
    // too; leaving it unbalanced would keep COM alive after the owner's own
    // CoUninitialize.
    if (SUCCEEDED(m_comInit)) ::CoUninitialize();
}

bool WmiQuery::Connect() {
    m_comInit = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(m_comInit)) {
        LogCrit("WMI: Failed to initialize COM library. %s, hr : 0%08x", GetLastErrorText().c_str(), Hex(m_comInit));
        return false;
    }

    HRESULT hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    m_locator.put_void());
    if (FAILED(hr)) {
        LogError("WMI: Failed to create IWbemLocator object. %s hr:0%08x", GetLastErrorText().c_str(), Hex(hr));
        return false;
    }

    hr = ConnectNamespace(m_locator.get(), L"ROOT\\CIMV2", m_services);
    if (FAILED(hr)) {
        LogError("WMI: Could not connect. %s hr:0%08x", GetLastErrorText().c_str(), Hex(hr));
        return false;
    }

    hr = ::CoSetProxyBlanket(m_services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) {
        LogError("WMI: Could not set proxy blanket. %s, hr:0%08x", GetLastErrorText().c_str(), Hex(hr));
        return false;
    }

    hr = ConnectNamespace(m_locator.get(), L"ROOT\\CIMV2\\Security\\MicrosoftVolumeEncryption",
                          m_volumeEncryptionServices);
    if (FAILED(hr)) {
        LogError("WMI: Could not connect server for MicrosoftVolumeEncryption. %s, hr:0%08x",
                 GetLastErrorText().c_str(), Hex(hr));
    }
    return true;
}

WmiRows WmiQuery::QueryMacAddresses() {
    if (!m_services) return WmiRows();
    std::unique_ptr<WmiObjectEnumerator> objects;
    HRESULT hr = g_wmiExecQuery(m_services.get(), L"WQL", L"SELECT MACAddress FROM Win32_NetworkAdapterConfiguration",
                                objects);
    if (FAILED(hr)) {
        LogError("WMI: Query failed. %s", GetLastErrorText().c_str());
        return WmiRows();
    }
    if (!objects) return WmiRows();
    return ReadWmiRows(*objects);
}
