#include "tests/support/VbeScripts.h"

#include "app/ComPtr.h"
#include "app/UniqueHandle.h"
#include "tests/support/UniqueRegistryKey.h"

#include <objbase.h>
#include <cstring>
#include <windows.h>

namespace {

std::string ReadDefault(const char* key) {
    char value[256] = {};
    DWORD size = sizeof value - 1;
    if (::RegGetValueA(HKEY_CLASSES_ROOT, key, nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return std::string();
    return value;
}

bool WriteDefault(const char* key, const char* value) {
    UniqueRegistryKey handle;
    if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, handle.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExA(handle.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

bool EngineLoads(const std::wstring& progId) {
    CLSID clsid = {};
    if (FAILED(::CLSIDFromProgID(progId.c_str(), &clsid))) return false;
    ComPtr<IClassFactory> factory;
    return SUCCEEDED(::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void()));
}

}  // namespace

std::string EnsureVbeScriptsRun() {
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string fileType = ReadDefault(".vbe");
    std::string engine = fileType.empty() ? std::string() : ReadDefault((fileType + "\\ScriptEngine").c_str());
    const bool runs = !engine.empty() && EngineLoads(std::wstring(engine.begin(), engine.end()));
    if (SUCCEEDED(init)) ::CoUninitialize();
    if (runs) return std::string();

    if (fileType.empty()) fileType = "VBEFile";
    WriteDefault(".vbe", fileType.c_str());
    WriteDefault((fileType + "\\ScriptEngine").c_str(), "VBScript");
    return "\".vbe\" had no loadable script engine (" + (engine.empty() ? std::string("none") : engine) +
           "); mapped to VBScript";
}
