// The whole tool on the lab: the real program (lab build: lab ports, short
// poll pause; over HTTPS where the scenario says so), a simulated agent with
// real services, the real uninstall script host and Windows Installer, and
// the loopback lab servers.
#include "app/BuildConfig.h"
#include "res/resource.h"
#include "tests/lab/Lab.h"
#include "tests/lab/LabProgram.h"
#include "tests/support/AgentServices.h"
#include "tests/support/DialogState.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/UiThread.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The fragments appear in the lines in this order (other lines between them).
::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& fragments) {
    std::size_t next = 0;
    for (const std::string& line : lines) {
        if (next < fragments.size() && line.find(fragments[next]) != std::string::npos) ++next;
    }
    if (next == fragments.size()) return ::testing::AssertionSuccess();
    std::string all;
    for (const std::string& line : lines) all += "\n  " + line;
    return ::testing::AssertionFailure() << "missing, in order: \"" << fragments[next] << "\" in" << all;
}

int CountOf(const std::vector<std::string>& lines, const std::string& fragment) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(fragment) != std::string::npos;
    }));
}

std::string ThisSystemsPackage() {
    SYSTEM_INFO info = {};
    ::GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? "download /download/qev/qev64.msi"
                                                                          : "download /download/qev/qev32.msi";
}

class EndToEnd : public ::testing::Test {
protected:
    // The prefix leaves the program's windows unmanaged (cmake/wine-prefix.reg):
    // there is no window manager on the test display to wait for.
    void TearDown() override { Lab::RemoveAgent(); }

    // The scenario on the lab servers and the agent in its state; then the
    // program the scenario names, started as the user starts it, with its
    // main window up.
    HWND Open(const std::string& scenario) {
        Lab::Scenario chosen;
        std::string error;
        if (!Lab::Prepare(scenario, chosen, error)) {
            ADD_FAILURE() << error;
            return nullptr;
        }
        m_log = LogCapture(LabProgram::LogPath(chosen.secure));
        if (!m_program.Start(chosen.secure)) {
            ADD_FAILURE() << "cannot start " << LabProgram::Path(chosen.secure);
            return nullptr;
        }
        HWND main = m_program.WaitForMainWindow();
        if (main == nullptr) ADD_FAILURE() << "no main window";
        return main;
    }

    // Every stage text the progress dialogs showed until none was left.
    std::vector<std::wstring> FollowProgress(DWORD timeoutMs = 240000) {
        std::vector<std::wstring> stages;
        WaitFor(
            [&] {
                HWND progress = m_program.ProgressWindow();
                if (progress == nullptr) return true;
                const std::wstring text = ControlText(progress, IDC_STAGE_TEXT);
                if (stages.empty() || stages.back() != text) stages.push_back(text);
                return false;
            },
            timeoutMs);
        return stages;
    }

    // The main dialog after a successful repair, and its button ends the program.
    void ExpectActiveAndComplete(HWND main) {
        EXPECT_EQ(ControlText(main, IDC_STATUS_TEXT), L"Active");
        EXPECT_TRUE(ItemShown(main, IDC_REPAIR_DONE));
        EXPECT_EQ(ControlText(main, IDC_REPAIR_DONE), L"Repair completed!");
        EXPECT_EQ(ControlText(main, IDOK), L"Complete");
        Press(main, IDOK);
        ASSERT_TRUE(m_program.Ended(30000));
        EXPECT_EQ(m_program.ExitCode(), 0u);
    }

    LogCapture m_log{LabProgram::LogPath()};
    LabProgram m_program;
};

// The typical road, over plain HTTP and over HTTPS with the lab's certificate.
struct RoadCase {
    const char* scenario;
    const char* host;       // the lab servers' name in the program of the scenario
    const char* transport;  // what the lab servers note after a request that came over TLS
};
void PrintTo(const RoadCase& c, std::ostream* os) { *os << c.scenario; }

class EndToEndRoad : public EndToEnd, public ::testing::WithParamInterface<RoadCase> {};

TEST_P(EndToEndRoad, AnOldAgentIsReinstalledAndReportedActive) {
    const std::string transport = GetParam().transport;
    HWND main = Open(GetParam().scenario);
    ASSERT_NE(main, nullptr);
    ASSERT_EQ(ControlText(main, IDC_STATUS_TEXT), L"Old Version");
    EXPECT_TRUE(ItemShown(main, IDC_REINSTALL_HINT));
    EXPECT_EQ(ControlText(main, IDOK), L"Install");
    const std::wstring version = ControlText(main, IDC_VERSION);
    EXPECT_NE(version.find(L"3.5.12.1"), std::wstring::npos) << Narrow(version);
    EXPECT_NE(version.find(L"3.6.0.1"), std::wstring::npos) << Narrow(version);

    Press(main, IDOK);
    ASSERT_NE(m_program.WaitForProgressWindow(), nullptr);
    const std::vector<std::wstring> stages = FollowProgress();

    // What was seen, in the order the workflow goes (quick stages may pass unseen).
    const std::vector<std::wstring> road = {
        L"The security assistant is being reinstalled and activated. Please do not exit the program",
        L"The old version has been uninstalled, and the new version will be downloaded soon",
        L"The new version is downloading, please wait",
        L"The download is complete and the installation will start soon",
        L"Installing, please wait",
        L"Status checking, please wait"};
    std::size_t at = 0;
    for (const std::wstring& stage : stages) {
        if (stage == L"Static") continue;
        auto found = std::find(road.begin() + static_cast<std::ptrdiff_t>(at), road.end(), stage);
        ASSERT_NE(found, road.end()) << "out of order or unknown: " << Narrow(stage);
        at = static_cast<std::size_t>(found - road.begin());
    }
    EXPECT_NE(std::find(stages.begin(), stages.end(), road.front()), stages.end());
    EXPECT_NE(std::find(stages.begin(), stages.end(), L"Installing, please wait"), stages.end());

    // The databases went (db_sensor was SQLite); the package's own came in.
    EXPECT_FALSE(FileExists(FakeAgent::DataDir() + "\\db_cache"));
    EXPECT_FALSE(FileExists(FakeAgent::DataDir() + "\\db_event"));
    EXPECT_EQ(ReadWholeFile(FakeAgent::DataDir() + "\\db_general"),
              std::string("AGENT_UUID") + FakeAgentPackage::kUuid);
    EXPECT_TRUE(FakeAgentPackage::IsInstalled());
    EXPECT_FALSE(FileExists(TempDir() + "QEVUinstall.vbe"));
    EXPECT_FALSE(FileExists(TempDir() + "QEVInstaller.msi"));

    ASSERT_TRUE(WaitFor([&] { return ControlText(main, IDC_STATUS_TEXT) == L"Active"; }));
    EXPECT_NE(ControlText(main, IDC_VERSION).find(L"3.6.0.1"), std::wstring::npos);
    EXPECT_FALSE(ItemShown(main, IDC_REINSTALL_HINT));
    ExpectActiveAndComplete(main);

    const std::vector<std::string> requests = Lab::ServerRequests();
    EXPECT_TRUE(InOrder(requests, {"status /aapi/v1/zun/agentState/" + std::string(FakeAgentPackage::kUuid) + transport,
                                   ThisSystemsPackage() + transport, "status /aapi/v1/zun/agentState/"}));
    EXPECT_EQ(CountOf(requests, "download "), 1);
    // Every request of the road went the one way.
    EXPECT_EQ(CountOf(requests, " https"), transport.empty() ? 0 : static_cast<int>(requests.size()));

    EXPECT_TRUE(InOrder(m_log.Lines(),
                        {"QEV Agent Version:3.5.12.1(The latest version is 3.6.0.1), UUID:" + std::string(FakeAgentPackage::kUuid) +
                             ", Status:Old Version",
                         "CheckIsSQLite3", "Excute del /Q",
                         "Download QEV from url:" + std::string(GetParam().host) + "/download/qev/qev",
                         std::string("is signed by \"") + g_packageSigner + "\"", "Times:1, Response:",
                         "\"state\":\"NORMAL\""}));
}

const RoadCase kRoads[] = {{"oldversion", "127.0.0.1", ""}, {"secure", "localhost", " https"}};

INSTANTIATE_TEST_SUITE_P(Lab, EndToEndRoad, ::testing::ValuesIn(kRoads),
                         [](const ::testing::TestParamInfo<RoadCase>& info) {
                             return std::string(info.param.scenario);
                         });

TEST_F(EndToEnd, AnInactiveAgentsServicesAreRepaired) {
    HWND main = Open("inactive");
    ASSERT_NE(main, nullptr);
    AgentServices services;
    services.Keep();
    ASSERT_EQ(services.State(L"QEVSensor"), static_cast<DWORD>(SERVICE_STOPPED));
    ASSERT_EQ(services.State(L"QevNetMon"), 0u);  // missing
    EXPECT_EQ(ControlText(main, IDC_STATUS_TEXT), L"Inactive");
    EXPECT_EQ(ControlText(main, IDOK), L"Repair");

    Press(main, IDOK);
    ASSERT_NE(m_program.WaitForProgressWindow(), nullptr);
    const std::vector<std::wstring> stages = FollowProgress();
    EXPECT_NE(std::find(stages.begin(), stages.end(), L"Diagnosing the problem and trying to fix it automatically"),
              stages.end());

    ASSERT_TRUE(WaitFor([&] { return ControlText(main, IDC_STATUS_TEXT) == L"Active"; }));
    for (const std::wstring& name : AgentServices::Names()) {
        EXPECT_EQ(services.State(name), static_cast<DWORD>(SERVICE_RUNNING)) << Narrow(name);
    }
    EXPECT_EQ(CountOf(Lab::ServerRequests(), "download "), 0);
    ExpectActiveAndComplete(main);
}

TEST_F(EndToEnd, AFailedRepairOffersTheReinstallWhichTellsTheMainDialog) {
    HWND main = Open("repairfails");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, IDC_STATUS_TEXT), L"Inactive");
    Press(main, IDOK);

    HWND repair = m_program.WaitForProgressWindow();
    ASSERT_NE(repair, nullptr);
    ASSERT_TRUE(WaitFor([&] { return ItemShown(repair, IDC_INSTALL); }, 120000));
    EXPECT_EQ(ControlText(repair, IDC_STAGE_TEXT),
              L"Your security assistant needs to be reinstalled. Please click the button below to install (it may "
              L"take a few minutes)");
    EXPECT_EQ(ControlText(repair, IDC_INSTALL), L"Install");
    Press(repair, IDC_INSTALL);

    HWND reinstall = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        reinstall = m_program.ProgressWindow();
        return reinstall != nullptr && reinstall != repair;
    }));
    FollowProgress();
    ASSERT_TRUE(WaitFor([&] { return ControlText(main, IDC_STATUS_TEXT) == L"Active"; }));
    EXPECT_TRUE(FakeAgentPackage::IsInstalled());
    EXPECT_EQ(CountOf(Lab::ServerRequests(), ThisSystemsPackage()), 1);
    ExpectActiveAndComplete(main);
}

// The download server refuses the package, serves one that another
// publisher signed, or shows a certificate that names another host (and is
// never even asked): either way three tries fail and nothing is installed.
struct FailedDownloadCase {
    const char* scenario;
    int packageRequests;
    const char* logged;  // once per try
};
void PrintTo(const FailedDownloadCase& c, std::ostream* os) { *os << c.scenario; }

class EndToEndFailedDownload : public EndToEnd, public ::testing::WithParamInterface<FailedDownloadCase> {};

TEST_P(EndToEndFailedDownload, EndsTheReinstallAndTheAcknowledgementEndsTheProgram) {
    HWND main = Open(GetParam().scenario);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, IDC_STATUS_TEXT), L"Old Version");
    Press(main, IDOK);

    // Three tries, then the worker's own message box; the failure follows its dismissal.
    HWND box = m_program.WaitForMessageBox(120000);
    ASSERT_NE(box, nullptr);
    HWND progress = m_program.ProgressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(ItemShown(progress, IDC_FAIL_LABEL));
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);

    ASSERT_TRUE(WaitFor([&] { return ItemShown(progress, IDC_INSTALL); }));
    EXPECT_TRUE(ItemShown(progress, IDC_FAIL_LABEL));
    EXPECT_EQ(ControlText(progress, IDC_INSTALL), L"OK");
    EXPECT_EQ(ControlText(progress, IDC_STAGE_TEXT), L"Please try again or contact Varnel on Quillo");
    EXPECT_FALSE(FakeAgentPackage::IsInstalled());

    Press(progress, IDC_INSTALL);
    ASSERT_TRUE(m_program.Ended(30000));
    EXPECT_EQ(m_program.ExitCode(), 0u);
    EXPECT_EQ(CountOf(Lab::ServerRequests(), ThisSystemsPackage()), GetParam().packageRequests);
    EXPECT_EQ(CountOf(m_log.Lines(), GetParam().logged), 3) << m_log.Dump();
    EXPECT_TRUE(m_log.Contains("Fail to download QEV installation package!"));
}

const FailedDownloadCase kFailedDownloads[] = {
    {"refused", 3, "Download QEV from url:127.0.0.1/download/qev/qev"},
    {"wrongpublisher", 3, "is signed by \"" QEVZUN_LAB_WRONG_SIGNER "\", not by"},
    {"otherhostdownload", 0, "Download QEV from url:localhost/download/qev/qev"},
};

INSTANTIATE_TEST_SUITE_P(Lab, EndToEndFailedDownload, ::testing::ValuesIn(kFailedDownloads),
                         [](const ::testing::TestParamInfo<FailedDownloadCase>& info) {
                             return std::string(info.param.scenario);
                         });

struct OpeningCase {
    const char* scenario;
    const wchar_t* status;
    const char* logged;   // the summary line's status word
    int stateRequests;    // what reached the status server; -1: as the platform decides
};

void PrintTo(const OpeningCase& c, std::ostream* os) { *os << c.scenario; }

class EndToEndOpening : public EndToEnd, public ::testing::WithParamInterface<OpeningCase> {};

TEST_P(EndToEndOpening, ShowsTheStatusAndClosesOnRequest) {
    const OpeningCase& c = GetParam();
    HWND main = Open(c.scenario);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, IDC_STATUS_TEXT), c.status);
    ASSERT_TRUE(WaitFor([&] { return m_log.Contains("QEV Agent Version:"); }, 5000));
    EXPECT_TRUE(m_log.Contains(std::string(", Status:") + c.logged)) << m_log.Dump();
    if (c.stateRequests >= 0) {
        EXPECT_EQ(CountOf(Lab::ServerRequests(), "status "), c.stateRequests);
    }
    ::PostMessageW(main, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_TRUE(m_program.Ended(30000));
    EXPECT_EQ(m_program.ExitCode(), 0u);
}

const OpeningCase kOpenings[] = {
    {"unreachable", L"Inactive", "Inactive", 0},
    {"notinstalled", L"Not installed", "Not installed", 0},
    {"active", L"Active", "Active", 1},
    // A status server that cannot prove itself gets no request: no answer.
    {"untrustedstatus", L"Inactive", "Inactive", 0},
    // A secure answer never comes from plain HTTP, not even by the server's
    // own redirect (which some WinINets refuse and others follow).
    {"httpsdowngrade", L"Inactive", "Inactive", -1},
};

INSTANTIATE_TEST_SUITE_P(Lab, EndToEndOpening, ::testing::ValuesIn(kOpenings),
                         [](const ::testing::TestParamInfo<OpeningCase>& info) {
                             return std::string(info.param.scenario);
                         });

}  // namespace
