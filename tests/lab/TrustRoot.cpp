// Makes a Wine prefix (or a Windows test machine) trust the lab's root CA, so
// that packages the lab signed verify there:
//   qevzun_trust_root <certificate.cer>   a DER certificate, added to the
//                                         machine's "Root" store
// Wine's crypt32 keeps that store in the registry, so this is done once per
// prefix (cmake/wine-run.sh.in). Exit code 0 when the certificate is trusted.
#include "app/Handles.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

namespace {

struct CertStoreTraits {
    static HCERTSTORE Invalid() noexcept { return nullptr; }
    static void Close(HCERTSTORE store) noexcept { ::CertCloseStore(store, 0); }
};
using UniqueCertStore = UniqueHandle<HCERTSTORE, CertStoreTraits>;

bool ReadCertificate(const char* path, std::vector<BYTE>& bytes) {
    UniqueFileHandle file(::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > 65536) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
           read == bytes.size();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qevzun_trust_root <certificate.cer>\n");
        return 2;
    }
    std::vector<BYTE> der;
    if (!ReadCertificate(argv[1], der)) {
        std::fprintf(stderr, "qevzun_trust_root: cannot read %s (%lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    UniqueCertStore root(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root"));
    if (!root) {
        std::fprintf(stderr, "qevzun_trust_root: cannot open the Root store (%lu)\n", ::GetLastError());
        return 1;
    }
    if (!::CertAddEncodedCertificateToStore(root.get(), X509_ASN_ENCODING, der.data(),
                                            static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                            nullptr)) {
        std::fprintf(stderr, "qevzun_trust_root: cannot add %s (%lu)\n", argv[1], ::GetLastError());
        return 1;
    }
    return 0;
}
