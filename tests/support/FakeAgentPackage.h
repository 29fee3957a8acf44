#pragma once
// The fake agent's installer packages (tests/fakeagent), installed and removed
// through the Windows Installer as the reinstall installs the real agent.
#include <windows.h>

#include <string>

namespace FakeAgentPackage {

extern const char* const kProductName;      // "Tamvoro QEV Agent"
extern const char* const kVersion;          // the text of data\meta\agent_version
extern const char* const kUuid;             // after "AGENT_UUID" in db_general
extern const char* const kRegistrationKey;  // dependency and uninstall key name
extern const char* const kProductCode64;
extern const char* const kProductCode32;

// How a built package is signed: by the lab's package signer (the name the
// test binaries expect), not at all, by another publisher of the lab's CA,
// with the expected name by a self-signed certificate that no one trusts, or
// by the lab's CA under the expected name followed by a line break and a
// made-up log line.
enum class Signing { Publisher, Unsigned, WrongPublisher, UntrustedRoot, LineBreakInName };

// Windows paths of the built packages (qev64.msi for 64-bit systems, qev32.msi
// for 32-bit ones), and the one that fits this machine's processor.
std::string Path64(Signing signing = Signing::Publisher);
std::string Path32(Signing signing = Signing::Publisher);
std::string PathForThisSystem();
// Signed by the lab's package signer; Windows Installer refuses to install it.
std::string RefusedPath();
bool IsBuilt(const std::string& package);

// Results of a Windows Installer run.
constexpr DWORD kNotStarted = 0xFFFFFFFFu;  // msiexec could not be started
constexpr DWORD kTimedOut = 0xFFFFFFFEu;    // it was still running at the limit and was ended

// "msiexec.exe /i "<package>" /qn", waited for: msiexec's exit code (0 when
// the package was installed).
DWORD Install(const std::string& package, DWORD timeoutMs = 300000);
// "msiexec.exe /x <product code> /qn" for each fake product that is installed.
void Uninstall(DWORD timeoutMs = 300000);

bool IsInstalled();  // either product, as the Windows Installer reports it

// What an uninstall leaves on purpose, as the real agent leaves it: the data
// directory and the installer registrations.
void RemoveLeftovers();

}  // namespace FakeAgentPackage

// Removes any fake product and its leftovers when made and when gone.
class ScopedFakeAgentPackageCleanup {
public:
    ScopedFakeAgentPackageCleanup();
    ~ScopedFakeAgentPackageCleanup();
    ScopedFakeAgentPackageCleanup(const ScopedFakeAgentPackageCleanup&) = delete;
    ScopedFakeAgentPackageCleanup& operator=(const ScopedFakeAgentPackageCleanup&) = delete;
};
