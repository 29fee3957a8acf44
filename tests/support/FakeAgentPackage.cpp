#include "tests/support/FakeAgentPackage.h"

#include "app/Handles.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/TestFiles.h"

#include <msi.h>

#include <initializer_list>
#include <vector>

// The build tree defines these (tests/fakeagent/CMakeLists.txt).
#ifndef QEVZUN_FAKEAGENT_QEV64_MSI
#define QEVZUN_FAKEAGENT_QEV64_MSI ""
#define QEVZUN_FAKEAGENT_QEV32_MSI ""
#define QEVZUN_FAKEAGENT_REFUSED_MSI ""
#define QEVZUN_FAKEAGENT_VERSION ""
#define QEVZUN_FAKEAGENT_UUID ""
#endif

namespace FakeAgentPackage {

const char* const kProductName = "Tamvoro QEV Agent";
const char* const kVersion = QEVZUN_FAKEAGENT_VERSION;
const char* const kUuid = QEVZUN_FAKEAGENT_UUID;
// Must match tests/fakeagent/FakeAgent.wxs.
const char* const kRegistrationKey = "{5C0E6B7A-2D41-4F88-9B3E-0A7D1C6F4E21}";
const char* const kProductCode64 = "{3F7A9C21-5B4E-4D6A-8E1F-2C9B7D0A6E53}";
const char* const kProductCode32 = "{9D4B2E71-3C6A-4F1E-8B5D-7A0C2E9F4B16}";

namespace {

DWORD RunInstaller(std::string command, DWORD timeoutMs) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process))
        return kNotStarted;
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    if (::WaitForSingleObject(processHandle.get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(processHandle.get(), kTimedOut);
        ::WaitForSingleObject(processHandle.get(), 10000);
        return kTimedOut;
    }
    DWORD exitCode = kNotStarted;
    ::GetExitCodeProcess(processHandle.get(), &exitCode);
    return exitCode;
}

bool IsProductInstalled(const char* productCode) {
    return ::MsiQueryProductStateA(productCode) == INSTALLSTATE_DEFAULT;
}

void DeleteKey(const std::string& path, REGSAM view) {
    ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

// The variants lie in directories of their own beside the signed package
// (tests/fakeagent/CMakeLists.txt).
std::string Variant(const std::string& path, Signing signing) {
    const char* directory = nullptr;
    switch (signing) {
    case Signing::Publisher: return path;
    case Signing::Unsigned: directory = "unsigned"; break;
    case Signing::WrongPublisher: directory = "wrong-publisher"; break;
    case Signing::UntrustedRoot: directory = "untrusted-root"; break;
    case Signing::LineBreakInName: directory = "line-break"; break;
    }
    const std::size_t slash = path.find_last_of('\\');
    if (path.empty() || slash == std::string::npos) return std::string();
    return path.substr(0, slash + 1) + directory + path.substr(slash);
}

}  // namespace

std::string Path64(Signing signing) { return Variant(QEVZUN_FAKEAGENT_QEV64_MSI, signing); }
std::string Path32(Signing signing) { return Variant(QEVZUN_FAKEAGENT_QEV32_MSI, signing); }
std::string RefusedPath() { return QEVZUN_FAKEAGENT_REFUSED_MSI; }

std::string PathForThisSystem() {
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
    case PROCESSOR_ARCHITECTURE_IA64:
    case 12:  // PROCESSOR_ARCHITECTURE_ARM64
        return Path64();
    default:
        return Path32();
    }
}

bool IsBuilt(const std::string& package) { return !package.empty() && FileExists(package); }

DWORD Install(const std::string& package, DWORD timeoutMs) {
    return RunInstaller("msiexec.exe /i \"" + package + "\" /qn", timeoutMs);
}

void Uninstall(DWORD timeoutMs) {
    for (const char* code : {kProductCode64, kProductCode32}) {
        if (IsProductInstalled(code)) RunInstaller(std::string("msiexec.exe /x ") + code + " /qn", timeoutMs);
    }
}

bool IsInstalled() { return IsProductInstalled(kProductCode64) || IsProductInstalled(kProductCode32); }

void RemoveLeftovers() {
    const std::string key = kRegistrationKey;
    DeleteKey("SOFTWARE\\Classes\\Installer\\Dependencies\\" + key, KEY_WOW64_64KEY);
    // The uninstall key lives in the 32-bit view (WOW6432Node on 64-bit systems).
    DeleteKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key, KEY_WOW64_32KEY);
    RemoveTree(FakeAgent::DataDir());
}

}  // namespace FakeAgentPackage

ScopedFakeAgentPackageCleanup::ScopedFakeAgentPackageCleanup() {
    FakeAgentPackage::Uninstall();
    FakeAgentPackage::RemoveLeftovers();
}

ScopedFakeAgentPackageCleanup::~ScopedFakeAgentPackageCleanup() {
    FakeAgentPackage::Uninstall();
    FakeAgentPackage::RemoveLeftovers();
}
