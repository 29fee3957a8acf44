#include "repair/PackageSignature.h"

#include "app/BuildConfig.h"
#include "app/SystemLibrary.h"
#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "repair/HeldFile.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <string>
#include <vector>

namespace {

const char* const kOperation = "VerifyPackageSignature";

// Neither DLL is a known DLL: both come from the system directory only.
struct TrustEntryPoints {
    decltype(&::WinVerifyTrust) winVerifyTrust = nullptr;
    decltype(&::WTHelperProvDataFromStateData) provDataFromStateData = nullptr;
    decltype(&::WTHelperGetProvSignerFromChain) provSignerFromChain = nullptr;
    decltype(&::WTHelperGetProvCertFromChain) provCertFromChain = nullptr;
    decltype(&::CertGetNameStringW) certGetNameString = nullptr;

    bool complete = false;
};

TrustEntryPoints BindTrust() {
    static const SystemLibrary wintrust(L"wintrust.dll");
    static const SystemLibrary crypt32(L"crypt32.dll");
    TrustEntryPoints e;
    e.complete = wintrust.Bind(e.winVerifyTrust, "WinVerifyTrust") &&
                 wintrust.Bind(e.provDataFromStateData, "WTHelperProvDataFromStateData") &&
                 wintrust.Bind(e.provSignerFromChain, "WTHelperGetProvSignerFromChain") &&
                 wintrust.Bind(e.provCertFromChain, "WTHelperGetProvCertFromChain") &&
                 crypt32.Bind(e.certGetNameString, "CertGetNameStringW");
    return e;
}

const TrustEntryPoints& Trust() {
    static const TrustEntryPoints entries = BindTrust();
    return entries;
}

std::wstring WidePath(const std::string& path) {
    // The narrow paths of this program go to the "A" calls, which read them
    // in the ANSI code page.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> wide(static_cast<size_t>(length));
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    return std::wstring(wide.data());
}

// The signer's name as it may appear in a log line: whoever made the
// certificate chose it, so line breaks and other control characters are
// shown as '?', and a very long name is cut.
std::string NameForLog(const std::wstring& name) {
    constexpr size_t kMaxLogged = 256;
    std::wstring shown = name.substr(0, kMaxLogged);
    for (wchar_t& c : shown) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029) c = L'?';
    }
    if (name.size() > kMaxLogged) shown += L"...";
    return WideToUtf8(shown);
}

// The subject common name of the first signer's certificate; false when the
// verified signature names no signer certificate.
bool SignerCommonName(const TrustEntryPoints& trust, HANDLE stateData, std::wstring& name) {
    CRYPT_PROVIDER_DATA* provider = trust.provDataFromStateData(stateData);
    if (provider == nullptr) return false;
    CRYPT_PROVIDER_SGNR* signer = trust.provSignerFromChain(provider, 0, FALSE, 0);
    if (signer == nullptr) return false;
    CRYPT_PROVIDER_CERT* certificate = trust.provCertFromChain(signer, 0);
    if (certificate == nullptr || certificate->pCert == nullptr) return false;
    char commonNameOid[] = szOID_COMMON_NAME;
    const DWORD length =
        trust.certGetNameString(certificate->pCert, CERT_NAME_ATTR_TYPE, 0, commonNameOid, nullptr, 0);
    if (length <= 1) {  // only the terminator: no common name
        name.clear();
        return true;
    }
    std::vector<wchar_t> buffer(length);
    trust.certGetNameString(certificate->pCert, CERT_NAME_ATTR_TYPE, 0, commonNameOid, buffer.data(), length);
    name.assign(buffer.data(), length - 1);
    return true;
}

}  // namespace

bool VerifyPackageSignature(HANDLE file, const std::string& path) {
    const TrustEntryPoints& trust = Trust();
    if (!trust.complete) {
        LogError("%s: No signature check: wintrust.dll or crypt32.dll is missing from the system directory",
                 kOperation);
        return false;
    }

    // WinVerifyTrust is given the held handle, but the system's handler for
    // a file type may open the file by its name instead (Windows Installer
    // packages are read as structured storage): before and after the check
    // the name must lead to the held file, or other bytes would be checked.
    const auto namesHeldPackage = [&] {
        if (PathNamesHeldFile(path, file)) return true;
        LogError("%s: %s does not name the held package", kOperation, path.c_str());
        return false;
    };
    if (!namesHeldPackage()) return false;

    const std::wstring widePath = WidePath(path);
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof(fileInfo);
    fileInfo.pcwszFilePath = widePath.c_str();
    fileInfo.hFile = file;

    WINTRUST_DATA data{};
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    // No revocation check, and nothing fetched from the network: the tool
    // repairs machines that often have no working connection, where any
    // revocation check fails for every package; and an elevated process
    // should not go to the addresses a certificate names. The signature and
    // the chain to a trusted root are checked in full.
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = trust.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

    std::wstring signer;
    const bool named = result == ERROR_SUCCESS && SignerCommonName(trust, data.hWVTStateData, signer);

    // The state the verification kept is released whatever it answered.
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    trust.winVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);

    if (!namesHeldPackage()) return false;
    if (result != ERROR_SUCCESS) {
        LogError("%s: The signature of %s is not trusted: WinVerifyTrust 0%08lx", kOperation, path.c_str(),
                 static_cast<unsigned long>(result));
        return false;
    }
    if (!named) {
        LogError("%s: The signature of %s names no signer certificate", kOperation, path.c_str());
        return false;
    }
    const std::string found = NameForLog(signer);
    if (signer != Utf8ToWide(g_packageSigner)) {
        LogError("%s: %s is signed by \"%s\", not by \"%s\"", kOperation, path.c_str(), found.c_str(),
                 g_packageSigner);
        return false;
    }
    LogInfo("%s: %s is signed by \"%s\"", kOperation, path.c_str(), found.c_str());
    return true;
}
