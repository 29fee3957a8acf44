// The uninstall script's own steps, under the script host's VBScript engine,
// against a made-up machine: a fake layer that only this test appends to the
// real script text stands in for Win32_Product, the registry provider, the
// shell object and the file system (parts Wine lacks or cannot be made to
// fail), and records every call the script makes.
#include "repair/Base64.h"
#include "repair/UninstallScript.h"
#include "tests/repair/ScriptHostProbe.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr DWORD kScriptLimitMs = 180000;  // a run that takes longer counts as hung
const std::string kDependencies = "SOFTWARE\\Classes\\Installer\\Dependencies";
const std::string kUninstall = "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kDatabase[] = "C:\\ProgramData\\Wexo\\QEV\\db_general";  // below the fake Windows folder's drive

std::string Dependency(const std::string& name) { return kDependencies + "\\" + name; }
std::string Uninstall(const std::string& name) { return kUninstall + "\\" + name; }

// What the script asked for, as the fake layer writes it.
std::string Uninstalled(const std::string& code) {
    return "Run|msiexec.exe /x " + code + " /norestart /qn |<missing>|True";  // default window, waited for
}
std::string Listed(const std::string& key, bool in64BitView = true) {
    return "EnumKey|" + key + "|" + (in64BitView ? "True" : "False");
}
std::string Deleted(const std::string& key) { return "RegDelete|HKLM\\" + key + "\\"; }
std::string Event(const std::string& text) { return "LogEvent|1|" + text; }
const std::string kDatabaseLooked = std::string("FileExists|") + kDatabase;
const std::string kDatabaseDeleted = std::string("DeleteFile|") + kDatabase;

struct Key {
    std::string path;
    const char* displayName;  // nullptr: a key without the value
};

struct Scenario {
    const char* name;
    std::vector<std::string> products;
    const char* systemType;
    std::vector<Key> keys;  // besides the two parents, in enumeration order
    std::vector<std::pair<std::string, int>> failedDeletions;  // key -> scripting error number
    bool database;
    int databaseDeleteError;
    std::vector<std::string> expected;  // the calls that change or report something, and the listings
    int dependencyReads;                // DisplayName reads of dependency keys; -1: not looked at
};
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The fake layer with this scenario's machine behind it.
std::string FakeLayer(const Scenario& s, const std::string& recordPath) {
    std::ostringstream vbs;
    vbs << ReadWholeFile(QEVZUN_UNINSTALL_SCRIPT_FAKES) << "\n"
        << "Function FakeRecordPath()\n    FakeRecordPath = " << Quoted(recordPath) << "\nEnd Function\n"
        << "Sub BuildWorld(world)\n"
        << "    world.SystemType = " << Quoted(s.systemType) << "\n"
        << "    world.DatabaseExists = " << (s.database ? "True" : "False") << "\n"
        << "    world.DatabaseDeleteError = " << s.databaseDeleteError << "\n"
        << "    world.AddKey " << Quoted(kDependencies) << ", Null\n"
        << "    world.AddKey " << Quoted(kUninstall) << ", Null\n";
    for (const std::string& code : s.products) vbs << "    world.AddProduct " << Quoted(code) << "\n";
    for (const Key& k : s.keys) {
        vbs << "    world.AddKey " << Quoted(k.path) << ", " << (k.displayName ? Quoted(k.displayName) : "Null") << "\n";
    }
    for (const auto& failed : s.failedDeletions) {
        vbs << "    world.FailDeletion " << Quoted(failed.first) << ", " << failed.second << "\n";
    }
    vbs << "End Sub\n";
    return vbs.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

class UninstallScriptSteps : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override { m_dir = MakeTempDirectory("script-steps"); }
    void TearDown() override { RemoveTree(m_dir); }

    // Every call the script made, in order.
    std::vector<std::string> Run(const Scenario& s) {
        std::string script;
        EXPECT_TRUE(DecodeBase64(g_uninstallScriptBase64, script));
        const std::string recordPath = m_dir + "\\calls.txt";
        const std::string scriptPath = m_dir + "\\QEVUinstall.vbs";
        EXPECT_TRUE(WriteWholeFile(scriptPath, script + "\n" + FakeLayer(s, recordPath)));
        ScriptRun run = RunWithScriptHost(scriptPath, kScriptLimitMs);
        EXPECT_TRUE(run.started) << "wscript could not be started";
        EXPECT_TRUE(run.finished) << "still running after " << kScriptLimitMs << " ms";
        EXPECT_EQ(run.exitCode, 0u);
        return Lines(ReadWholeFile(recordPath));
    }

    std::string m_dir;
};

TEST_P(UninstallScriptSteps, MakesExactlyTheCallsOfItsSteps) {
    const Scenario& s = GetParam();
    const std::vector<std::string> calls = Run(s);
    ASSERT_FALSE(calls.empty()) << "the fake layer recorded nothing: the script did not run";

    std::vector<std::string> acting;
    int dependencyReads = 0;
    for (const std::string& call : calls) {
        EXPECT_FALSE(StartsWith(call, "WrongRoot|")) << call;
        for (const char* kind : {"Run|", "EnumKey|", "RegDelete|", "LogEvent|", "FileExists|", "DeleteFile|"}) {
            if (StartsWith(call, kind)) acting.push_back(call);
        }
        if (StartsWith(call, "GetStringValue|" + kDependencies + "\\")) ++dependencyReads;
    }
    EXPECT_EQ(acting, s.expected);
    if (s.dependencyReads >= 0) {
        EXPECT_EQ(dependencyReads, s.dependencyReads);
    }
}

const char kInstaller[] = "QEV Installer";

std::vector<Key> TwelveRegistrations() {
    // A registration of another installer first, then twelve of ours; the
    // uninstall keys carry the same names but no display name.
    std::vector<Key> keys = {{Dependency("Other.Installer"), "Other Installer"}};
    for (int i = 1; i <= 12; ++i) keys.push_back({Dependency("QEV.Reg" + std::to_string(100 + i)), kInstaller});
    keys.push_back({Uninstall("Other.Installer"), nullptr});
    for (int i = 1; i <= 12; ++i) keys.push_back({Uninstall("QEV.Reg" + std::to_string(100 + i)), nullptr});
    return keys;
}

std::vector<std::string> FirstTenDeleted() {
    std::vector<std::string> expected = {Listed(kDependencies), Listed(kUninstall)};
    for (int i = 1; i <= 10; ++i) expected.push_back(Deleted(Uninstall("QEV.Reg" + std::to_string(100 + i))));
    expected.push_back(kDatabaseLooked);
    return expected;
}

const Scenario kScenarios[] = {
    {"ProductsUninstalledInOrderEachWaitedFor",
     {"{0A1B2C3D-0000-4000-8000-000000000001}", "{0A1B2C3D-0000-4000-8000-000000000002}",
      "{0A1B2C3D-0000-4000-8000-000000000003}"},
     "x64-based PC", {}, {}, false, 0,
     {Uninstalled("{0A1B2C3D-0000-4000-8000-000000000001}"), Uninstalled("{0A1B2C3D-0000-4000-8000-000000000002}"),
      Uninstalled("{0A1B2C3D-0000-4000-8000-000000000003}"), Listed(kDependencies), Listed(kUninstall),
      kDatabaseLooked},
     -1},
    {"TwelveRegistrationsTheFirstTenRemembered", {}, "x64-based PC", TwelveRegistrations(), {}, false, 0,
     FirstTenDeleted(),
     12},  // the other installer's and eleven of ours: the eleventh match ends the listing
    {"ThirtyTwoBitSystemEndsAfterTheSystemType",
     {"{0A1B2C3D-0000-4000-8000-000000000001}"}, "X86-based PC",
     {{Dependency("QEV.Reg101"), kInstaller}, {Uninstall("QEV.Reg101"), kInstaller}}, {}, true, 0,
     // The registrations are read with the system type known (it picks the
     // registry view), but nothing after that step happens.
     {Uninstalled("{0A1B2C3D-0000-4000-8000-000000000001}"), Listed(kDependencies, false)},
     -1},
    {"RememberedKeyDeletedOnceNotAgainByItsDisplayName", {}, "x64-based PC",
     {{Dependency("QEV.Reg101"), kInstaller},
      {Uninstall("QEV.Reg101"), kInstaller},    // remembered: deleted in the first pass only
      {Uninstall("QEV.Reg102"), kInstaller},    // by its display name
      {Uninstall("QEV.Reg103"), "QEV Installer Helper"}},
     {}, false, 0,
     {Listed(kDependencies), Listed(kUninstall), Deleted(Uninstall("QEV.Reg101")), Deleted(Uninstall("QEV.Reg102")),
      kDatabaseLooked},
     -1},
    {"FailedDeletionsReportedWithTheErrorNumber", {}, "x64-based PC",
     {{Dependency("QEV.Reg101"), kInstaller}, {Uninstall("QEV.Reg101"), nullptr}, {Uninstall("QEV.Reg102"), kInstaller}},
     // Each event carries its own deletion's number (70: what the file system
     // object gives for a file held open).
     {{Uninstall("QEV.Reg101"), 5}, {Uninstall("QEV.Reg102"), 1002}}, true, 70,
     {Listed(kDependencies), Listed(kUninstall), Deleted(Uninstall("QEV.Reg101")),
      Event("QEVUinstall from uuidArr falied , error code = 5"), Deleted(Uninstall("QEV.Reg102")),
      Event("QEVUinstall falied , error code = 1002"), kDatabaseLooked, kDatabaseDeleted,
      Event("QEVUinstall DeleteFolder falied , error code = 70")},
     -1},
    {"RememberedKeyThatStaysIsTriedAgainByItsDisplayName", {}, "x64-based PC",
     {{Dependency("QEV.Reg101"), kInstaller}, {Uninstall("QEV.Reg101"), kInstaller}},
     {{Uninstall("QEV.Reg101"), 5}}, false, 0,
     {Listed(kDependencies), Listed(kUninstall), Deleted(Uninstall("QEV.Reg101")),
      Event("QEVUinstall from uuidArr falied , error code = 5"), Deleted(Uninstall("QEV.Reg101")),
      Event("QEVUinstall falied , error code = 5"), kDatabaseLooked},
     -1},
    {"DatabaseDeletedWithoutEvent", {}, "x64-based PC", {}, {}, true, 0,
     {Listed(kDependencies), Listed(kUninstall), kDatabaseLooked, kDatabaseDeleted}, -1},
    {"AbsentDatabaseNoEvent", {}, "x64-based PC", {}, {}, false, 0,
     {Listed(kDependencies), Listed(kUninstall), kDatabaseLooked}, -1},
};

INSTANTIATE_TEST_SUITE_P(Scenarios, UninstallScriptSteps, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) { return std::string(info.param.name); });

}  // namespace
