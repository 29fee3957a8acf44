// Files an attacker with the user's rights plants where the elevated program
// might pick them up: DLLs and programs beside it, a command interpreter
// named by the environment. None of them may ever run.
#include "app/BuildConfig.h"
#include "repair/ProgressMessages.h"
#include "repair/ReinstallWorkflow.h"
#include "tests/security/LoopbackReinstall.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ProgramProcess.h"
#include "tests/support/ReinstallFakes.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UiThread.h"
#include "tests/support/UniqueRegistryKey.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kNormal = "{\"status\":0,\"data\":{\"state\":\"NORMAL\",\"releaseVersion\":\"3.6.0.1\"}}";

// Sets an environment variable for this process and what it starts (the C
// runtime's copy too), and puts the old value back when it goes.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : m_name(name) {
        std::vector<char> old(32767, '\0');
        m_had = ::GetEnvironmentVariableA(name, old.data(), static_cast<DWORD>(old.size())) != 0;
        m_old = old.data();
        Set(value);
    }
    ~ScopedEnvironment() { Set(m_had ? m_old : std::string()); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    void Set(const std::string& value) {
        ::SetEnvironmentVariableA(m_name.c_str(), value.empty() ? nullptr : value.c_str());
        _putenv_s(m_name.c_str(), value.c_str());
    }
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

bool CopyTo(const std::string& from, const std::string& to) {
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

// ------------------------------------------------------------ DLLs beside the program

// Every library that the program asks for, or once imported, that is not
// one of the system's known DLLs: its former imports (the common controls,
// the IP helper, WinINet), the signature check's (wintrust, crypt32), and
// one that the common controls load at run time (dwmapi).
//
// Not planted: version.dll and uxtheme.dll. Wine's own user32 imports the
// version library, and its common controls delay-load uxtheme, both looked
// for beside the executable whatever the program does (seen: a planted copy
// of either is loaded before WinMain, or by the common controls' first
// window). Windows' user32 imports no version library, and a system DLL's
// delayed imports follow the search the program restricted, so there the
// program's own binding of the version library is what counts; only Windows
// can show it.
const char* const kPlantedNames[] = {"iphlpapi.dll", "wininet.dll", "wintrust.dll",
                                     "crypt32.dll",  "comctl32.dll", "dwmapi.dll"};

// Tells Wine to look for native DLLs first for one program, as Windows does
// for DLLs that are not known DLLs, so that one beside the executable would
// be taken (Wine reads the environment's overrides only from its first
// process, the registry's at each start). Removed when it goes.
class NativeFirstFor {
public:
    explicit NativeFirstFor(const std::string& exeName)
        : m_key("Software\\Wine\\AppDefaults\\" + exeName + "\\DllOverrides") {
        UniqueRegistryKey key;
        if (::RegCreateKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                              nullptr) != ERROR_SUCCESS) {
            return;
        }
        static const char kNativeFirst[] = "native,builtin";
        for (const char* name : kPlantedNames) {
            const std::string base(name, std::strlen(name) - 4);
            ::RegSetValueExA(key.get(), base.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(kNativeFirst),
                             sizeof kNativeFirst);
        }
    }
    ~NativeFirstFor() { ::RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str()); }
    NativeFirstFor(const NativeFirstFor&) = delete;
    NativeFirstFor& operator=(const NativeFirstFor&) = delete;

private:
    std::string m_key;
};

// A folder as a user's Downloads folder would be after an attacker's visit:
// a DLL under each of those names.
class PlantedDlls : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = MakeTempDirectory("downloads");
        for (const char* name : kPlantedNames) {
            ASSERT_TRUE(CopyTo(SiblingPath("qevzun_marking_dll.dll"), m_folder + "\\" + name)) << name;
        }
    }
    void TearDown() override { RemoveTree(m_folder); }

    std::vector<std::string> LoadedPlants() const {
        std::vector<std::string> loaded;
        for (const char* name : kPlantedNames) {
            if (FileExists(m_folder + "\\" + name + ".loaded")) loaded.push_back(name);
        }
        return loaded;
    }

    std::string m_folder;
};

TEST_F(PlantedDlls, AStaticImportWouldTakeThePlantedOne) {
    // Shows the attack works here: a program that imports WinINet gets the
    // planted copy.
    ASSERT_TRUE(CopyTo(SiblingPath("qevzun_static_import_probe.exe"), m_folder + "\\probe.exe"));
    NativeFirstFor overrides("probe.exe");
    ProgramProcess probe("\"" + m_folder + "\\probe.exe\"");
    ASSERT_TRUE(probe.Started());
    ASSERT_TRUE(probe.Ended(30000));
    EXPECT_EQ(LoadedPlants(), std::vector<std::string>{"wininet.dll"});
}

TEST_F(PlantedDlls, TheProgramLoadsNoneOfThem) {
    ScopedFakeAgent agent;  // an agent with a version, a UUID to ask the server about
    HttpTestServer status;
    ASSERT_TRUE(status.Start(g_statusServerPort)) << status.StartError();
    status.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(kNormal); });

    const std::string program = m_folder + "\\QEVZUN.exe";
    ASSERT_TRUE(CopyTo(ProgramPath(), program));
    NativeFirstFor overrides("QEVZUN.exe");
    LogCapture log(m_folder + "\\QEVZUNLOG.log");
    ProgramProcess tool("\"" + program + "\"");
    ASSERT_TRUE(tool.Started());
    HWND window = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (window = ProgramWindows::MainWindowOf(tool.Id())) != nullptr; }, 60000))
        << "the program did not show its window; it may have died on a planted DLL";
    // The window shows once the state query (WinINet) and the facts are in.
    EXPECT_TRUE(WaitFor([&] { return log.Count("QEV Agent Version:") > 0; }, 10000)) << log.Dump();
    EXPECT_FALSE(status.Requests().empty());
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(tool.Ended(20000));
    EXPECT_EQ(tool.ExitCode(), 0u);
    EXPECT_EQ(LoadedPlants(), std::vector<std::string>{});
}

// ------------------------------------------------------------ programs the reinstall starts

class PlantedPrograms : public LoopbackReinstall {
protected:
    void TearDown() override {
        for (const std::string& plant : m_plants) {
            ::DeleteFileA(plant.c_str());
            ::DeleteFileA((plant + ".ran").c_str());
        }
        LoopbackReinstall::TearDown();
    }

    // A copy of the marker program at path; removed with its marker after the case.
    std::string Plant(const std::string& path) {
        EXPECT_TRUE(CopyTo(SiblingPath("qevzun_attacker.exe"), path)) << path;
        m_plants.push_back(path);
        return path;
    }
    std::vector<std::string> PlantsThatRan() const {
        std::vector<std::string> ran;
        for (const std::string& plant : m_plants) {
            if (FileExists(plant + ".ran")) ran.push_back(plant + ": " + ReadWholeFile(plant + ".ran"));
        }
        return ran;
    }

    std::vector<std::string> m_plants;
};

TEST_F(PlantedPrograms, ScriptHostAndInstallerBesideTheProgramNeverRun) {
    ScopedFakeAgentPackageCleanup cleanup;
    ScopedFakeAgent agent;  // an installed agent: the uninstall script runs too
    // Beside the running executable, which is also the current directory.
    Plant(ExecutableDirectory() + "\\wscript.exe");
    Plant(ExecutableDirectory() + "\\msiexec.exe");
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(PlantsThatRan(), std::vector<std::string>{});
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REINSTALL_BEGIN, UM_UNINSTALL_DONE, UM_DOWNLOAD_BEGIN,
                                                     UM_DOWNLOAD_DONE, UM_INSTALL_BEGIN, UM_CHECK_STATE,
                                                     UM_REINSTALL_OK}));
    EXPECT_EQ(ReinstallFakes::g_boxes, std::vector<std::wstring>{});
    // The real installer did run: the package's product is there.
    EXPECT_TRUE(FakeAgentPackage::IsInstalled());
}

TEST_F(PlantedPrograms, ACommandInterpreterNamedByTheEnvironmentNeverRuns) {
    g_reinstallPlatform.createProcess = &ReinstallFakes::PretendToStart;
    const std::string folder = MakeTempDirectory("comspec");
    ScopedEnvironment comspec("COMSPEC", Plant(folder + "\\cmd.exe"));
    ScopedFakeAgent agent;  // db_sensor is an SQLite file: the databases go
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(PlantsThatRan(), std::vector<std::string>{});
    EXPECT_TRUE(log.Contains("Excute del /Q \"" + FakeAgent::DataDir() + "\\db_*\"")) << log.Dump();
    for (const char* name : {"db_sensor", "db_cache", "db_event", "db_general"}) {
        EXPECT_FALSE(FileExists(FakeAgent::DataDir() + "\\" + name)) << name;
    }
    RemoveTree(folder);
}

}  // namespace
