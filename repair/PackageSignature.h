#pragma once
// The downloaded package is installed by an elevated msiexec, and it comes over
// plain HTTP from a server anyone on the network path can stand in for. So it
// is installed only when its Authenticode signature holds, up to a root the
// machine trusts, and the certificate that signed it is the expected
// publisher's: the subject's common name equals g_packageSigner (BuildConfig.h).
#include <windows.h>

#include <string>

// Verifies the package through file, a handle that holds it open against
// writers (HoldFileForChild), so the bytes checked are the bytes installed;
// path names the same file, for the log and for the system's file-type
// handlers. True only when both checks pass; a failure logs why: the
// WinVerifyTrust result, or the signer name that was found.
bool VerifyPackageSignature(HANDLE file, const std::string& path);
