#include "repair/ReinstallWorkflow.h"

#include "app/BuildConfig.h"
#include "app/Handles.h"
#include "app/SystemLibrary.h"
#include "repair/ProgressMessages.h"
#include "repair/ReinstallPlatform.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/SignatureMessages.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> g_boxes;
int WINAPI RecordingMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT type) {
    g_boxes.push_back(text);
    EXPECT_STREQ(caption, L"QEVZUN");
    EXPECT_EQ(type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
    return IDOK;
}

WORD g_architecture = PROCESSOR_ARCHITECTURE_AMD64;
void WINAPI FixedArchitecture(LPSYSTEM_INFO info) {
    ::GetNativeSystemInfo(info);
    info->wProcessorArchitecture = g_architecture;
}

std::vector<std::string> g_commands;
BOOL WINAPI FailingCreateProcess(LPCSTR, LPSTR line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                 LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION) {
    g_commands.push_back(line);
    ::SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

std::string StateAnswer(const char* state) {
    return std::string("{\"status\":0,\"data\":{\"state\":\"") + state + "\",\"releaseVersion\":\"3.6.0.1\"}}";
}

// A rightly signed package that Windows Installer refuses: the install
// fails, the server decides.
const std::string& RefusedPackage() {
    static const std::string bytes = ReadWholeFile(FakeAgentPackage::RefusedPath());
    return bytes;
}

class ReinstallWorkflow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(RefusedPackage().empty()) << "the signed packages are not built";
        FakeAgent::Remove();
        g_boxes.clear();
        g_commands.clear();
        g_architecture = PROCESSOR_ARCHITECTURE_AMD64;
        g_reinstallPlatform.messageBox = &RecordingMessageBox;
        g_reinstallPlatform.getNativeSystemInfo = &FixedArchitecture;
        ASSERT_TRUE(m_status.Start(g_statusServerPort)) << m_status.StartError();
        ASSERT_TRUE(m_download.Start(g_downloadServerPort)) << m_download.StartError();
        m_status.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(StateAnswer("NORMAL")); });
        m_download.Route("/download/qev/qev64.msi", HttpReply::Bytes(RefusedPackage()));
        m_download.Route("/download/qev/qev32.msi", HttpReply::Bytes(RefusedPackage()));
        m_job.Attach(m_recorder.Window());
    }
    void TearDown() override {
        g_reinstallPlatform = ReinstallPlatform();
        FakeAgent::Remove();
    }

    // What a package that installs would leave: the agent's footprint. (The
    // served package is refused by msiexec, so the test stands in for it.)
    static void AgentAppearsWhileInstalling(UINT code) {
        if (code == UM_INSTALL_BEGIN) FakeAgent::Install();
    }

    std::vector<std::string> StateTargets() const {
        std::vector<std::string> targets;
        for (const auto& r : m_status.Requests()) targets.push_back(r.target);
        return targets;
    }

    HttpTestServer m_status;
    HttpTestServer m_download;
    MessageRecorder m_recorder;
    RepairJob m_job{L"old-uuid"};
};

const std::vector<UINT> kFullRoad = {UM_REINSTALL_BEGIN, UM_UNINSTALL_DONE, UM_DOWNLOAD_BEGIN, UM_DOWNLOAD_DONE,
                                     UM_INSTALL_BEGIN, UM_CHECK_STATE, UM_REINSTALL_OK};
const std::vector<UINT> kNoUninstallRoad = {UM_DOWNLOAD_BEGIN, UM_DOWNLOAD_DONE, UM_INSTALL_BEGIN, UM_CHECK_STATE,
                                            UM_REINSTALL_OK};

TEST_F(ReinstallWorkflow, NoAgentInstalledSkipsTheUninstallAndStartsWithTheDownload) {
    bool scriptSeenAtDownload = true;
    m_recorder.OnMessage([&](UINT code) {
        if (code == UM_DOWNLOAD_BEGIN) scriptSeenAtDownload = FileExists(TempDir() + "QEVUinstall.vbe");
        AgentAppearsWhileInstalling(code);
    });
    ::DeleteFileA((TempDir() + "QEVUinstall.vbe").c_str());
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), kNoUninstallRoad);
    EXPECT_FALSE(scriptSeenAtDownload);
    EXPECT_TRUE(m_job.m_bReinstallSucceeded);
    ASSERT_EQ(m_download.Requests().size(), 1u);
    EXPECT_EQ(m_download.Requests()[0].target, "/download/qev/qev64.msi");
}

TEST_F(ReinstallWorkflow, InstalledAgentRunsTheWholeRoadAndCleansUpItsFiles) {
    ScopedFakeAgent agent;
    bool scriptWritten = false;
    m_recorder.OnMessage([&](UINT code) {
        if (code == UM_UNINSTALL_DONE) scriptWritten = FileExists(TempDir() + "QEVUinstall.vbe");
    });
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), kFullRoad);
    EXPECT_TRUE(scriptWritten);
    EXPECT_FALSE(FileExists(TempDir() + "QEVUinstall.vbe"));
    EXPECT_FALSE(FileExists(TempDir() + "QEVInstaller.msi"));
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(log.Count("Download QEV from url:127.0.0.1/download/qev/qev64.msi"), 1) << log.Dump();
}

TEST_F(ReinstallWorkflow, SqliteSensorDatabaseMeansEveryDbFileGoes) {
    ScopedFakeAgent agent;
    bool cleared = false;
    m_recorder.OnMessage([&](UINT code) {
        if (code == UM_DOWNLOAD_BEGIN) {
            cleared = !FileExists(FakeAgent::DataDir() + "\\db_sensor") &&
                      !FileExists(FakeAgent::DataDir() + "\\db_cache") &&
                      !FileExists(FakeAgent::DataDir() + "\\db_event");
        }
    });
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_TRUE(cleared);
    EXPECT_EQ(log.Count("CProcessStatusDlg::QEVReinstallThread("), 1) << log.Dump();
    EXPECT_TRUE(log.Contains("Excute del /Q \"" + FakeAgent::DataDir() + "\\db_*\"")) << log.Dump();
}

struct SensorCase {
    const char* name;
    FakeAgentSpec::Sensor sensor;
};
void PrintTo(const SensorCase& c, std::ostream* os) { *os << c.name; }

class SensorNotSqlite : public ReinstallWorkflow, public ::testing::WithParamInterface<SensorCase> {};

TEST_P(SensorNotSqlite, NothingInTheDataDirectoryIsDeleted) {
    FakeAgentSpec spec;
    spec.sensor = GetParam().sensor;
    ScopedFakeAgent agent(spec);
    // The uninstall script would remove db_general on a real machine; keep the
    // check to the files the workflow itself may delete.
    bool kept = false;
    m_recorder.OnMessage([&](UINT code) {
        if (code == UM_DOWNLOAD_BEGIN)
            kept = FileExists(FakeAgent::DataDir() + "\\db_cache") && FileExists(FakeAgent::DataDir() + "\\db_event");
    });
    RunReinstallWorkflow(m_job);
    EXPECT_TRUE(kept);
}

INSTANTIATE_TEST_SUITE_P(Table, SensorNotSqlite,
                         ::testing::Values(SensorCase{"missing", FakeAgentSpec::Sensor::Missing},
                                           SensorCase{"text", FakeAgentSpec::Sensor::Text}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReinstallWorkflow, TwoFailedDownloadsThenAGoodOneGoOnWithoutAMessage) {
    m_download.Push(HttpReply::NotFound());
    m_download.Push(HttpReply::DroppedInBody(RefusedPackage(), 5));
    m_recorder.OnMessage(&AgentAppearsWhileInstalling);
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_download.Requests().size(), 3u);
    EXPECT_EQ(m_recorder.Codes(), kNoUninstallRoad);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(ReinstallWorkflow, ThreeFailedDownloadsTellTheUserAndFail) {
    m_download.SetFallback([](const HttpRequestRecord&) { return HttpReply::NotFound(); });
    m_download.Route("/download/qev/qev64.msi", HttpReply::NotFound());
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_download.Requests().size(), 3u);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_DOWNLOAD_BEGIN, UM_REINSTALL_FAIL}));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], L" Fail to download QEV installation package!");
    // The box's text is also the whole of one log line.
    EXPECT_EQ(log.Count(" Fail to download QEV installation package!"), 1) << log.Dump();
    EXPECT_EQ(m_status.RequestCount(), 0u);
    EXPECT_FALSE(m_job.m_bReinstallSucceeded);
}

TEST_F(ReinstallWorkflow, FailedInstallerStillSucceedsWhenTheServerSaysNormal) {
    // msiexec refuses the package, and only the server's answer counts.
    ScopedFakeAgent agent;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes().back(), UM_REINSTALL_OK);
    EXPECT_TRUE(m_job.m_bReinstallSucceeded);
}

TEST_F(ReinstallWorkflow, ProcessesThatCannotStartAreReportedWithTheirTexts) {
    g_reinstallPlatform.createProcess = &FailingCreateProcess;
    {
        ScopedFakeAgent agent;  // uninstall first
        RunReinstallWorkflow(m_job);
    }
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REINSTALL_BEGIN, UM_REINSTALL_FAIL}));
    ASSERT_EQ(g_boxes.size(), 1u);
    EXPECT_EQ(g_boxes[0], L"Fail to uninstall QEV\xFF01");
    ASSERT_EQ(g_commands.size(), 1u);
    // Both by full path: a bare name would find a program planted beside ours first.
    EXPECT_EQ(g_commands[0], "\"" + SystemDirectoryPath("wscript.exe") + "\" \"" + TempDir() + "QEVUinstall.vbe\"");

    MessageRecorder second;
    RepairJob job(L"");
    job.Attach(second.Window());
    RunReinstallWorkflow(job);  // no agent now: straight to the installer
    EXPECT_EQ(second.Codes(), (std::vector<UINT>{UM_DOWNLOAD_BEGIN, UM_DOWNLOAD_DONE, UM_INSTALL_BEGIN,
                                                 UM_REINSTALL_FAIL}));
    ASSERT_EQ(g_boxes.size(), 2u);
    EXPECT_EQ(g_boxes[1], L"Fail to install QEV!");
    ASSERT_EQ(g_commands.size(), 2u);
    EXPECT_EQ(g_commands[1], "\"" + SystemDirectoryPath("msiexec.exe") + "\" /i \"" + TempDir() + "QEVInstaller.msi\" /qn");
}

struct ArchitectureCase {
    const char* name;
    WORD architecture;
    const char* target;
};
void PrintTo(const ArchitectureCase& c, std::ostream* os) { *os << c.name; }

class PackageChoice : public ReinstallWorkflow, public ::testing::WithParamInterface<ArchitectureCase> {};

TEST_P(PackageChoice, FollowsTheNativeProcessor) {
    g_architecture = GetParam().architecture;
    m_recorder.OnMessage(&AgentAppearsWhileInstalling);
    RunReinstallWorkflow(m_job);
    ASSERT_EQ(m_download.Requests().size(), 1u);
    EXPECT_EQ(m_download.Requests()[0].target, GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Table, PackageChoice,
    ::testing::Values(ArchitectureCase{"x64", PROCESSOR_ARCHITECTURE_AMD64, "/download/qev/qev64.msi"},
                      ArchitectureCase{"itanium", PROCESSOR_ARCHITECTURE_IA64, "/download/qev/qev64.msi"},
                      ArchitectureCase{"x86", PROCESSOR_ARCHITECTURE_INTEL, "/download/qev/qev32.msi"},
                      ArchitectureCase{"arm64", 12, "/download/qev/qev32.msi"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReinstallWorkflow, FreshUuidAfterTheInstallIsTheOneAsked) {
    ScopedFakeAgent agent;
    m_recorder.OnMessage([&](UINT code) {
        // What the new agent writes while it installs.
        if (code == UM_INSTALL_BEGIN) {
            ::CreateDirectoryA(FakeAgent::DataDir().c_str(), nullptr);
            WriteWholeFile(FakeAgent::DataDir() + "\\db_general", FakeAgent::GeneralDbWithUuid("new-uuid"));
        }
    });
    RunReinstallWorkflow(m_job);
    ASSERT_FALSE(StateTargets().empty());
    // 50 bytes follow the marker: the UUID text and what the record holds after it.
    EXPECT_EQ(StateTargets()[0].rfind("/aapi/v1/zun/agentState/new-uuid", 0), 0u) << StateTargets()[0];
    EXPECT_EQ(m_job.m_strUUID.rfind(L"new-uuid", 0), 0u);
}

TEST_F(ReinstallWorkflow, UnreadableUuidAfterTheInstallKeepsTheOldOne) {
    ScopedFakeAgent agent;
    m_recorder.OnMessage([&](UINT code) {
        if (code == UM_INSTALL_BEGIN) ::DeleteFileA((FakeAgent::DataDir() + "\\db_general").c_str());
    });
    RunReinstallWorkflow(m_job);
    ASSERT_FALSE(StateTargets().empty());
    EXPECT_EQ(StateTargets()[0], "/aapi/v1/zun/agentState/old-uuid");
    EXPECT_EQ(m_job.m_strUUID, L"old-uuid");
}

TEST_F(ReinstallWorkflow, ServerThatNeverSaysNormalFailsAfterThirtyPolls) {
    ScopedFakeAgent agent;
    m_status.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(StateAnswer("LOWVERSION")); });
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_status.RequestCount(), 30u);
    EXPECT_EQ(m_recorder.Codes().back(), UM_REINSTALL_FAIL);
    EXPECT_FALSE(m_job.m_bReinstallSucceeded);
    EXPECT_TRUE(g_boxes.empty());
}

// ---------------------------------------------------------------- the package's signature

// The processes the workflow starts, recorded, then started for real.
BOOL WINAPI RecordingCreateProcess(LPCSTR application, LPSTR line, LPSECURITY_ATTRIBUTES processAttributes,
                                   LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags,
                                   LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup,
                                   LPPROCESS_INFORMATION process) {
    g_commands.push_back(line);
    return ::CreateProcessA(application, line, processAttributes, threadAttributes, inherit, flags, environment,
                            directory, startup, process);
}

std::string PackageBytes(FakeAgentPackage::Signing signing) {
    return ReadWholeFile(FakeAgentPackage::Path64(signing));
}

struct BadSigningCase {
    const char* name;
    FakeAgentPackage::Signing signing;
    std::string (*message)(const std::string& path);  // logged once per try
};
void PrintTo(const BadSigningCase& c, std::ostream* os) { *os << c.name; }

class BadlySignedPackage : public ReinstallWorkflow, public ::testing::WithParamInterface<BadSigningCase> {};

// Each try's package fails the check and is deleted; after the third the user
// is told, as for any failed download, and no installer is started.
TEST_P(BadlySignedPackage, CountsAsAFailedDownloadAndIsNeverInstalled) {
    ScopedFakeAgentPackageCleanup cleanup;  // should it be installed after all
    g_reinstallPlatform.createProcess = &RecordingCreateProcess;
    m_download.Route("/download/qev/qev64.msi", HttpReply::Bytes(PackageBytes(GetParam().signing)));
    const std::string package = TempDir() + "QEVInstaller.msi";
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_download.Requests().size(), 3u);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_DOWNLOAD_BEGIN, UM_REINSTALL_FAIL}));
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{L" Fail to download QEV installation package!"});
    EXPECT_TRUE(g_commands.empty());
    EXPECT_FALSE(FakeAgentPackage::IsInstalled());
    EXPECT_FALSE(FileExists(package));
    EXPECT_EQ(CountMessages(log, "ERROR", GetParam().message(package)), 3) << log.Dump();
    EXPECT_EQ(m_status.RequestCount(), 0u);
    EXPECT_FALSE(m_job.m_bReinstallSucceeded);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadlySignedPackage,
    ::testing::Values(BadSigningCase{"unsigned", FakeAgentPackage::Signing::Unsigned,
                                     [](const std::string& path) {
                                         return SignatureMessages::NotTrusted(path, SignatureMessages::kNoSignature);
                                     }},
                      BadSigningCase{"wrong_publisher", FakeAgentPackage::Signing::WrongPublisher,
                                     [](const std::string& path) {
                                         return SignatureMessages::OtherSigner(path, QEVZUN_LAB_WRONG_SIGNER);
                                     }}),
    [](const auto& info) { return std::string(info.param.name); });

// An unsigned package, then one of another publisher, then the publisher's on
// the third try: only that one is installed, by the real installer, and it
// stays held against writers until the installer has ended.
TEST_F(ReinstallWorkflow, TwoBadlySignedPackagesThenTheRightOneIsInstalled) {
    ScopedFakeAgentPackageCleanup cleanup;
    g_reinstallPlatform.createProcess = &RecordingCreateProcess;
    m_download.Push(HttpReply::Bytes(PackageBytes(FakeAgentPackage::Signing::Unsigned)));
    m_download.Push(HttpReply::Bytes(PackageBytes(FakeAgentPackage::Signing::WrongPublisher)));
    m_download.Route("/download/qev/qev64.msi", HttpReply::Bytes(PackageBytes(FakeAgentPackage::Signing::Publisher)));
    const std::string package = TempDir() + "QEVInstaller.msi";
    DWORD writeError = 0;
    bool deleted = true;
    m_recorder.OnMessage([&](UINT code) {
        if (code != UM_INSTALL_BEGIN) return;
        UniqueFileHandle writer(::CreateFileA(package.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        writeError = writer ? 0 : ::GetLastError();
        deleted = ::DeleteFileA(package.c_str()) != FALSE;
    });
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_download.Requests().size(), 3u);
    EXPECT_EQ(m_recorder.Codes(), kNoUninstallRoad);
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(writeError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(deleted);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0], "\"" + SystemDirectoryPath("msiexec.exe") + "\" /i \"" + package + "\" /qn");
    EXPECT_TRUE(FakeAgentPackage::IsInstalled());
    EXPECT_FALSE(FileExists(package));
    EXPECT_EQ(CountMessages(log, "ERROR", SignatureMessages::NotTrusted(package, SignatureMessages::kNoSignature)), 1)
        << log.Dump();
    EXPECT_EQ(CountMessages(log, "ERROR", SignatureMessages::OtherSigner(package, QEVZUN_LAB_WRONG_SIGNER)), 1)
        << log.Dump();
    EXPECT_EQ(CountMessages(log, "INFO", SignatureMessages::Trusted(package)), 1) << log.Dump();
}

}  // namespace
