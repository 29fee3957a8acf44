#pragma once
// The log lines of the package signature check (the message part, after the
// priority), for a package at path.
#include "app/BuildConfig.h"

#include <string>

namespace SignatureMessages {

inline std::string Trusted(const std::string& path) {
    return "VerifyPackageSignature: " + path + " is signed by \"" + g_packageSigner + "\"";
}

// result as logged: "0" and eight hex digits, for example "0800b0100".
inline std::string NotTrusted(const std::string& path, const std::string& result) {
    return "VerifyPackageSignature: The signature of " + path + " is not trusted: WinVerifyTrust " + result;
}

inline std::string OtherSigner(const std::string& path, const std::string& found) {
    return "VerifyPackageSignature: " + path + " is signed by \"" + found + "\", not by \"" + g_packageSigner + "\"";
}

inline std::string NotTheHeldFile(const std::string& path) {
    return "VerifyPackageSignature: " + path + " does not name the held package";
}

// WinVerifyTrust's answer for a file without a signature (TRUST_E_NOSIGNATURE).
constexpr const char* kNoSignature = "0800b0100";

}  // namespace SignatureMessages
