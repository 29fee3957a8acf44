// The uninstall script run by the script host, as the reinstall runs it.
#include "repair/UninstallScript.h"

#include "app/Handles.h"
#include "app/UniqueHandle.h"
#include "tests/repair/ScriptHostProbe.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UniqueRegistryKey.h"
#include "tests/support/VbeScripts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr DWORD kScriptLimitMs = 180000;  // a run that takes longer counts as hung
const char kDependencies[] = "SOFTWARE\\Classes\\Installer\\Dependencies\\";
// The 32-bit view's uninstall key: WOW6432Node on a 64-bit system.
const char kUninstall32[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool Is64BitSystem() {
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64 || info.wProcessorArchitecture == 12;
}

// displayName: nullptr for a key without the value.
bool CreateKey(const std::string& path, REGSAM view, const char* displayName) {
    UniqueRegistryKey key;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS)
        return false;
    if (!displayName) return true;
    return ::RegSetValueExA(key.get(), "DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(displayName),
                            static_cast<DWORD>(std::strlen(displayName) + 1)) == ERROR_SUCCESS;
}

bool KeyExists(const std::string& path, REGSAM view) {
    UniqueRegistryKey key;
    return ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

void DeleteKeyTree(const std::string& path, REGSAM view) {
    {
        UniqueRegistryKey key;
        if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) != ERROR_SUCCESS)
            return;
        ::RegDeleteTreeA(key.get(), nullptr);
    }
    ::RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

bool ServiceExists(const wchar_t* name) {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    UniqueServiceHandle service(::OpenServiceW(manager.get(), name, SERVICE_QUERY_STATUS));
    return static_cast<bool>(service);
}

std::string GeneralDb() { return FakeAgent::DataDir() + "\\db_general"; }

class UninstallScriptRun : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_vbeNote = EnsureVbeScriptsRun(); }
    void SetUp() override {
        if (!s_vbeNote.empty()) RecordProperty("vbe_association", s_vbeNote);
        FakeAgent::Remove();
    }
    void TearDown() override { FakeAgent::Remove(); }

    // Writes the script as the reinstall does and runs it; checks that it
    // ended by itself, quietly.
    ScriptRun WriteAndRun() {
        std::string path;
        EXPECT_TRUE(WriteUninstallScript(path));
        ScriptRun run = RunWithScriptHost(path, kScriptLimitMs);
        ::DeleteFileA(path.c_str());
        EXPECT_TRUE(run.started) << "wscript could not be started";
        EXPECT_TRUE(run.finished) << "still running after " << kScriptLimitMs << " ms";
        EXPECT_EQ(run.exitCode, 0u);
        return run;
    }

    // Parts of a test that this system's script host cannot show.
    void NotShown(const std::string& what) { m_notShown += (m_notShown.empty() ? "" : "; ") + what; }
    void SkipWhatWasNotShown() {
        if (!m_notShown.empty()) GTEST_SKIP() << "not shown on this system: " << m_notShown;
    }

    static std::string s_vbeNote;
    std::string m_notShown;
};
std::string UninstallScriptRun::s_vbeNote;

TEST_F(UninstallScriptRun, NothingToRemoveEndsQuietlyWithoutEvents) {
    ScopedFakeAgentPackageCleanup noPackage;
    ScriptHostEvents events;
    WriteAndRun();
    EXPECT_FALSE(FileExists(GeneralDb()));

    if (!ProbeScriptHost().eventsReadBack) {
        NotShown("no script host event can be read back");
    } else {
        EXPECT_EQ(events.Added().find("QEVUinstall"), std::string::npos) << events.Added();
    }
    SkipWhatWasNotShown();
}

TEST_F(UninstallScriptRun, DeletesOnlyTheGeneralDatabaseOnA64BitSystem) {
    FakeAgentSpec spec;
    spec.programDirectory = false;
    FakeAgent::Install(spec);
    WriteAndRun();
    // A 32-bit system ends the script before the database step.
    EXPECT_EQ(FileExists(GeneralDb()), !Is64BitSystem());
    EXPECT_TRUE(FileExists(FakeAgent::DataDir() + "\\db_sensor"));
    for (const std::string& other : spec.otherDbFiles) EXPECT_TRUE(FileExists(FakeAgent::DataDir() + "\\" + other));
}

TEST_F(UninstallScriptRun, DatabaseThatCannotBeDeletedIsReportedAndTheScriptEnds) {
    if (!Is64BitSystem()) GTEST_SKIP() << "a 32-bit system never reaches the database step";
    FakeAgentSpec spec;
    spec.programDirectory = false;
    FakeAgent::Install(spec);
    ScriptHostEvents events;
    {
        // Held open without delete sharing, as a running agent may hold it.
        UniqueFileHandle held(::CreateFileA(GeneralDb().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        WriteAndRun();
    }
    EXPECT_TRUE(FileExists(GeneralDb()));

    if (!ProbeScriptHost().eventsReadBack) {
        NotShown("no script host event can be read back");
    } else {
        const std::regex reported("QEVUinstall DeleteFolder falied , error code = -?[0-9]+ ");
        EXPECT_TRUE(std::regex_search(events.Added(), reported)) << events.Added();
    }
    SkipWhatWasNotShown();
}

TEST_F(UninstallScriptRun, RemovesTheInstalledAgentAndItsUninstallRegistration) {
    const std::string package = FakeAgentPackage::PathForThisSystem();
    if (!FakeAgentPackage::IsBuilt(package)) GTEST_SKIP() << "fake agent package not built: " << package;
    ScopedFakeAgentPackageCleanup cleanup;
    const DWORD installed = FakeAgentPackage::Install(package);
    ASSERT_TRUE(installed == ERROR_SUCCESS || installed == ERROR_SUCCESS_REBOOT_REQUIRED) << installed;
    ASSERT_TRUE(FakeAgentPackage::IsInstalled());
    ASSERT_TRUE(FileExists(FakeAgent::ProgramDir() + "\\bin\\QEV UPDATER.EXE"));
    ASSERT_TRUE(ServiceExists(L"QEVService"));
    ASSERT_TRUE(FileExists(GeneralDb()));
    const std::string key = FakeAgentPackage::kRegistrationKey;
    ASSERT_TRUE(KeyExists(kDependencies + key, KEY_WOW64_64KEY));
    ASSERT_TRUE(KeyExists(kUninstall32 + key, KEY_WOW64_32KEY));
    const ScriptHostAbilities abilities = ProbeScriptHost();

    WriteAndRun();

    EXPECT_EQ(FileExists(GeneralDb()), !Is64BitSystem());
    // Only the uninstall registration is removed; the dependency key stays.
    EXPECT_TRUE(KeyExists(kDependencies + key, KEY_WOW64_64KEY));
    if (!Is64BitSystem()) {
        EXPECT_TRUE(KeyExists(kUninstall32 + key, KEY_WOW64_32KEY));
    } else if (!abilities.readsSubKeyLists || !abilities.deletesKeys) {
        NotShown("StdRegProv subkey lists or WScript.Shell.RegDelete unusable, so no registration is removed");
    } else {
        EXPECT_FALSE(KeyExists(kUninstall32 + key, KEY_WOW64_32KEY));
    }

    if (!abilities.listsProducts) {
        NotShown("Win32_Product lists no installed product, so msiexec /x is never started");
    } else {
        EXPECT_FALSE(FakeAgentPackage::IsInstalled());
        EXPECT_FALSE(FileExists(FakeAgent::ProgramDir()));
        for (const wchar_t* service : {L"QEV Updater", L"QEVMon", L"QevNetMon", L"QEVSensor", L"QEVService"})
            EXPECT_FALSE(ServiceExists(service)) << "service still there";
    }
    SkipWhatWasNotShown();
}

// The registration clean-up on keys laid out by the test.
struct KeySpec {
    std::string name;
    const char* dependency;  // DisplayName of the dependency key; nullptr: no such key, "-": key without the value
    const char* uninstall;   // DisplayName of the uninstall key (always made)
    bool withSubKey;         // the shell object cannot delete a key that has subkeys
    bool removed;            // expected on a 64-bit system
};
struct CleanupCase {
    const char* name;
    std::vector<KeySpec> keys;
    std::vector<const char*> events;  // text before the error number, in order
};
void PrintTo(const CleanupCase& c, std::ostream* os) { *os << c.name << " (" << c.keys.size() << " keys)"; }

std::vector<KeySpec> TwelveRegistrations() {
    std::vector<KeySpec> keys;
    for (int i = 1; i <= 12; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "QEVZUN-TEST-K%02d", i);
        keys.push_back({name, "QEV Installer", "Other Product", false, i <= 10});
    }
    return keys;
}

class RegistrationCleanup : public UninstallScriptRun, public ::testing::WithParamInterface<CleanupCase> {
protected:
    void TearDown() override {
        for (const KeySpec& key : GetParam().keys) {
            DeleteKeyTree(kDependencies + key.name, KEY_WOW64_64KEY);
            DeleteKeyTree(kUninstall32 + key.name, KEY_WOW64_32KEY);
        }
        UninstallScriptRun::TearDown();
    }
};

TEST_P(RegistrationCleanup, RemovesTheUninstallKeysOfTheInstaller) {
    const CleanupCase& c = GetParam();
    const ScriptHostAbilities abilities = ProbeScriptHost();
    if (Is64BitSystem() && (!abilities.readsSubKeyLists || !abilities.deletesKeys))
        GTEST_SKIP() << "not shown on this system: StdRegProv subkey lists or WScript.Shell.RegDelete unusable";
    for (const KeySpec& key : c.keys) {
        if (key.dependency) {
            const bool noValue = std::string(key.dependency) == "-";
            ASSERT_TRUE(CreateKey(kDependencies + key.name, KEY_WOW64_64KEY, noValue ? nullptr : key.dependency));
        }
        ASSERT_TRUE(CreateKey(kUninstall32 + key.name, KEY_WOW64_32KEY, key.uninstall));
        if (key.withSubKey) {
            ASSERT_TRUE(CreateKey(kUninstall32 + key.name + "\\Inner", KEY_WOW64_32KEY, nullptr));
        }
    }
    ScriptHostEvents events;

    WriteAndRun();

    for (const KeySpec& key : c.keys) {
        EXPECT_EQ(KeyExists(kUninstall32 + key.name, KEY_WOW64_32KEY), !(key.removed && Is64BitSystem())) << key.name;
        if (key.dependency) {
            EXPECT_TRUE(KeyExists(kDependencies + key.name, KEY_WOW64_64KEY)) << key.name;
        }
    }
    if (!abilities.eventsReadBack) {
        NotShown("no script host event can be read back");
    } else {
        const std::string added = events.Added();
        std::string expected;
        if (Is64BitSystem()) {
            for (const char* text : c.events) expected += std::string(text) + "-?[0-9]+ \\n";
        }
        const std::regex line("QEVUinstall[^\\n]*\\n");
        std::string qevEvents;
        for (std::sregex_iterator it(added.begin(), added.end(), line), end; it != end; ++it) qevEvents += it->str();
        EXPECT_TRUE(std::regex_match(qevEvents, std::regex(expected))) << qevEvents;
    }
    SkipWhatWasNotShown();
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegistrationCleanup,
    ::testing::Values(
        CleanupCase{"remembered_key_removed_whatever_its_name",
                    {{"QEVZUN-TEST-A", "QEV Installer", "Other Product", false, true},
                     // Removed by the first rule; the second finds it gone.
                     {"QEVZUN-TEST-B", "QEV Installer", "QEV Installer", false, true}},
                    {}},
        CleanupCase{"installer_name_matched_exactly",
                    {{"QEVZUN-TEST-C", nullptr, "QEV Installer", false, true},
                     {"QEVZUN-TEST-D", nullptr, "qev installer", false, false},
                     {"QEVZUN-TEST-E", nullptr, "QEV Installer 2", false, false},
                     {"QEVZUN-TEST-F", "QEV installer", "Other Product", false, false},
                     {"QEVZUN-TEST-G", "-", "Other Product", false, false}},
                    {}},
        CleanupCase{"first_ten_registrations_remembered", TwelveRegistrations(), {}},
        CleanupCase{"undeletable_key_reported",
                    {{"QEVZUN-TEST-H", nullptr, "QEV Installer", true, false}},
                    {"QEVUinstall falied , error code = "}},
        CleanupCase{"undeletable_remembered_key_reported_by_both_rules",
                    {{"QEVZUN-TEST-I", "QEV Installer", "QEV Installer", true, false}},
                    {"QEVUinstall from uuidArr falied , error code = ", "QEVUinstall falied , error code = "}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
