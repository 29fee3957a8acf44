#include "app/BuildConfig.h"
#include "app/Handles.h"
#include "app/SystemLibrary.h"
#include "inspect/AgentDatabase.h"
#include "inspect/InstallLayout.h"
#include "repair/ProgressMessages.h"
#include "repair/ReinstallPlatform.h"
#include "repair/ReinstallWorkflow.h"
#include "repair/RepairJob.h"
#include "tests/robust/RandomCases.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ReinstallFakes.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <initializer_list>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using robust::Shown;

bool IsDirectory(const std::string& path) {
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// RemoveTree through the long-path form, for trees deeper than MAX_PATH.
void RemoveLongTree(const std::wstring& path) {
    const std::wstring longForm = L"\\\\?\\" + path;
    const DWORD a = ::GetFileAttributesW(longForm.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return;
    if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetFileAttributesW(longForm.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(longForm.c_str());
        return;
    }
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((longForm + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..") RemoveLongTree(path + L"\\" + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(longForm.c_str());
}

std::wstring Widened(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

// The names in a directory (ASCII here), through the long-path form so that
// directories deeper than MAX_PATH are listed too; false when it cannot be read.
bool List(const std::string& dir, std::vector<std::string>& names) {
    std::string bare = dir;
    while (!bare.empty() && bare.back() == '\\') bare.pop_back();
    names.clear();
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((L"\\\\?\\" + Widened(bare) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") names.push_back(std::string(name.begin(), name.end()));
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return true;
}

std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    List(dir, names);
    return names;
}

bool IsListable(const std::string& dir) {
    std::vector<std::string> names;
    return List(dir, names);
}

// ------------------------------------------------------------ log beside the executable

std::string LogProbeOriginal() {
    const std::string here = ExecutableDirectory();
    return here.substr(0, here.find_last_of('\\')) + "\\log_probe\\log_probe.exe";
}

// Runs the program and waits for it; its exit code, or -1 when it did not start.
long RunToEnd(const std::string& exe, const std::string& args) {
    std::string commandLine = "\"" + exe + "\" " + args;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    ::WaitForSingleObject(processHandle.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(processHandle.get(), &code);
    return static_cast<long>(code);
}

enum class LogObstacle { None, DirectoryInItsPlace, HeldOpenByAnotherProgram };

struct LogFaultCase {
    const char* name;
    LogObstacle obstacle;
};
void PrintTo(const LogFaultCase& c, std::ostream* os) { *os << c.name; }

class LogBesideExecutable : public ::testing::TestWithParam<LogFaultCase> {
protected:
    void SetUp() override { m_dir = MakeTempDirectory(std::string("log-") + GetParam().name); }
    void TearDown() override {
        m_holder.reset();
        RemoveTree(m_dir);
    }
    std::string m_dir;
    UniqueFileHandle m_holder;
};

// A copy of the probe logs 1000 lines from four threads. Where the log file
// cannot be opened the lines are lost and the obstacle stays as it was, but
// the program runs to its end (exit code 0); the plain case shows that the
// same run does write them.
TEST_P(LogBesideExecutable, ProgramRunsOnWhenTheLogFileCannotBeOpened) {
    const std::string exe = m_dir + "\\log_probe.exe";
    const std::string logPath = m_dir + "\\QEVZUNLOG.log";
    ASSERT_TRUE(::CopyFileA(LogProbeOriginal().c_str(), exe.c_str(), FALSE)) << LogProbeOriginal();
    const std::string earlier = "an earlier run's line\r\n";
    switch (GetParam().obstacle) {
    case LogObstacle::None: break;
    case LogObstacle::DirectoryInItsPlace: ASSERT_TRUE(::CreateDirectoryA(logPath.c_str(), nullptr)); break;
    case LogObstacle::HeldOpenByAnotherProgram:
        ASSERT_TRUE(WriteWholeFile(logPath, earlier));
        // Shared with nobody, as a program that locks the file would hold it.
        m_holder.reset(::CreateFileA(logPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
        ASSERT_TRUE(m_holder);
        break;
    }

    EXPECT_EQ(RunToEnd(exe, "threads"), 0);

    switch (GetParam().obstacle) {
    case LogObstacle::None: {
        const std::string log = ReadWholeFile(logPath);
        std::size_t lines = 0;
        for (char c : log) lines += c == '\n' ? 1 : 0;
        EXPECT_EQ(lines, 1001u) << "1000 lines and the start-up line";
        break;
    }
    case LogObstacle::DirectoryInItsPlace:
        EXPECT_TRUE(IsDirectory(logPath));
        EXPECT_TRUE(Entries(logPath).empty());
        break;
    case LogObstacle::HeldOpenByAnotherProgram:
        m_holder.reset();
        EXPECT_EQ(ReadWholeFile(logPath), earlier);
        break;
    }
    EXPECT_FALSE(FileExists(logPath + ".1"));
}

INSTANTIATE_TEST_SUITE_P(Table, LogBesideExecutable,
                         ::testing::Values(LogFaultCase{"writable", LogObstacle::None},
                                           LogFaultCase{"directory_named_like_the_log", LogObstacle::DirectoryInItsPlace},
                                           LogFaultCase{"log_file_held_open_unshared", LogObstacle::HeldOpenByAnotherProgram}),
                         [](const auto& info) { return std::string(info.param.name); });

// ------------------------------------------------------------ reinstall workflow seams

using ReinstallFakes::g_boxes;
using ReinstallFakes::X64;

// The script host and the installer are not run: each start is recorded and
// handed back as a process that has already ended.
using ReinstallFakes::g_started;

// Signed by the lab's publisher, so that it passes the signature check.
const std::string& SignedPackage() {
    static const std::string bytes = ReadWholeFile(FakeAgentPackage::Path64());
    return bytes;
}
const std::string kNormal = "{\"status\":0,\"data\":{\"state\":\"NORMAL\",\"releaseVersion\":\"3.6.0.1\"}}";

class WorkflowFault : public ::testing::Test {
protected:
    void SetUp() override {
        FakeAgent::Remove();
        g_boxes.clear();
        g_started.clear();
        g_reinstallPlatform.messageBox = &ReinstallFakes::RecordBox;
        g_reinstallPlatform.getNativeSystemInfo = &X64;
        g_reinstallPlatform.createProcess = &ReinstallFakes::PretendToStart;
        ASSERT_TRUE(m_status.Start(g_statusServerPort)) << m_status.StartError();
        ASSERT_TRUE(m_download.Start(g_downloadServerPort)) << m_download.StartError();
        m_status.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(kNormal); });
        ASSERT_FALSE(SignedPackage().empty()) << "the signed packages are not built";
        m_download.Route("/download/qev/qev64.msi", HttpReply::Bytes(SignedPackage()));
        m_job.Attach(m_recorder.Window());
        for (const char* name : {"TMP", "TEMP"}) {
            std::vector<char> value(32767, '\0');
            const bool had = ::GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size())) != 0;
            m_savedEnvironment.push_back({name, had, value.data()});
        }
    }
    void TearDown() override {
        for (const auto& saved : m_savedEnvironment)
            ::SetEnvironmentVariableA(saved.name, saved.had ? saved.value.c_str() : nullptr);
        g_reinstallPlatform = ReinstallPlatform();
        FakeAgent::Remove();
        if (!m_root.empty()) RemoveLongTree(Widened(m_root));
    }

    // A fresh directory whose path, as GetTempPathA gives it (with its
    // trailing backslash), is exactly length characters long; made through
    // the long-path form, so it may be longer than MAX_PATH.
    std::string TempDirOfLength(std::size_t length) {
        m_root = MakeTempDirectory("longtmp");
        std::string path = m_root;
        while (path.size() + 1 < length) {
            std::size_t room = length - 1 - path.size() - 1;  // the next component, after its separator
            if (room > 100) room = room - 100 >= 2 ? 100 : room - 2;  // never leave a one-character rest
            path += "\\" + std::string(room, 't');
            const std::wstring wide = L"\\\\?\\" + Widened(path);
            EXPECT_TRUE(::CreateDirectoryW(wide.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) << path;
        }
        EXPECT_EQ(path.size() + 1, length);
        return path + "\\";
    }

    // As GetTempPathA looks them up: TMP first, then TEMP. Given without the
    // trailing backslash, which GetTempPathA adds (Wine refuses a 259-character
    // value that already ends with one).
    static void UseTemp(const std::string& dir) {
        const std::string bare = dir.substr(0, dir.size() - 1);
        ::SetEnvironmentVariableA("TMP", bare.c_str());
        ::SetEnvironmentVariableA("TEMP", bare.c_str());
        char reported[MAX_PATH] = {};
        const DWORD length = ::GetTempPathA(MAX_PATH, reported);
        if (dir.size() < MAX_PATH) {
            EXPECT_EQ(std::string(reported, length), dir);
        } else {
            EXPECT_EQ(length == 0 || length >= MAX_PATH, true) << length;
        }
    }

    struct SavedVariable {
        const char* name;
        bool had;
        std::string value;
    };
    std::vector<SavedVariable> m_savedEnvironment;
    std::string m_root;
    HttpTestServer m_status;
    HttpTestServer m_download;
    MessageRecorder m_recorder;
    RepairJob m_job{L"old-uuid"};
};

const std::vector<UINT> kFailAtTheScript = {UM_REINSTALL_BEGIN, UM_REINSTALL_FAIL};

// ------------------------------------------------------------ temporary directory without room

// 250 characters leave no room for "QEVUinstall.vbe" (the script name would be
// cut): with an agent to remove, the workflow fails before anything is
// written or started, and tells so in the log.
TEST_F(WorkflowFault, TemporaryDirectoryWithoutRoomForTheScriptFailsBeforeWritingAnything) {
    const std::string temp = TempDirOfLength(250);
    UseTemp(temp);
    ScopedFakeAgent agent;
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), kFailAtTheScript);
    EXPECT_FALSE(m_job.m_bReinstallSucceeded);
    EXPECT_TRUE(g_started.empty());
    EXPECT_TRUE(g_boxes.empty());
    EXPECT_EQ(m_download.RequestCount(), 0u);
    EXPECT_TRUE(Entries(temp).empty());
    EXPECT_EQ(CountMessagesStartingWith(log, "ERROR", "WriteUninstallScript: No room for QEVUinstall.vbe"), 1)
        << log.Dump();
}

// Without an agent the uninstall is skipped and the package path is cut to
// 259 characters: the package lands under that cut name inside the temporary
// directory (never beyond the buffer, never elsewhere), the installer is given
// that same path, and the file is removed afterwards.
TEST_F(WorkflowFault, PackageNameCutToTheBufferStaysInsideTheTemporaryDirectory) {
    const std::string temp = TempDirOfLength(250);
    UseTemp(temp);
    const std::string cut = (temp + "QEVInstaller.msi").substr(0, MAX_PATH - 1);
    std::string atInstall;
    std::vector<std::string> entriesAtInstall;
    m_recorder.OnMessage([&](UINT code) {
        if (code != UM_INSTALL_BEGIN) return;
        atInstall = ReadWholeFile(cut);
        entriesAtInstall = Entries(temp);
        FakeAgent::Install();  // what the installer would leave
    });
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_DOWNLOAD_BEGIN, UM_DOWNLOAD_DONE, UM_INSTALL_BEGIN,
                                                     UM_CHECK_STATE, UM_REINSTALL_OK}));
    EXPECT_TRUE(atInstall == SignedPackage());
    EXPECT_EQ(entriesAtInstall, std::vector<std::string>{cut.substr(temp.size())});
    ASSERT_EQ(g_started.size(), 1u);
    EXPECT_EQ(g_started[0], "\"" + SystemDirectoryPath("msiexec.exe") + "\" /i \"" + cut + "\" /qn");
    EXPECT_TRUE(Entries(temp).empty());
}

// A temporary directory of exactly 259 characters leaves no room for any
// name: the package path is the directory itself, which no download can
// write, so the user is told and the workflow fails.
TEST_F(WorkflowFault, TemporaryDirectoryFillingTheWholeBufferFailsTheDownload) {
    const std::string temp = TempDirOfLength(MAX_PATH - 1);
    UseTemp(temp);
    LogCapture log;
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_DOWNLOAD_BEGIN, UM_REINSTALL_FAIL}));
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{L" Fail to download QEV installation package!"});
    EXPECT_EQ(log.Count("Download QEV from url:"), 3) << log.Dump();
    EXPECT_EQ(m_download.RequestCount(), 0u);  // nothing is fetched for a path that cannot be stored
    EXPECT_TRUE(g_started.empty());
    EXPECT_TRUE(IsDirectory(temp));
    EXPECT_TRUE(Entries(temp).empty());
}

// A temporary directory longer than MAX_PATH is not reported at all. The
// script is not written, and the package must not go to the current
// directory in its place: the workflow fails with nothing written there.
TEST_F(WorkflowFault, TemporaryDirectoryLongerThanMaxPathWritesNothingAnywhere) {
    const std::string temp = TempDirOfLength(300);
    UseTemp(temp);
    ASSERT_TRUE(IsListable(temp));
    char current[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, current);
    const std::vector<std::string> before = Entries(current);

    LogCapture log;
    RunReinstallWorkflow(m_job);  // no agent: the download would come first
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_DOWNLOAD_BEGIN, UM_REINSTALL_FAIL}));
    EXPECT_FALSE(m_job.m_bReinstallSucceeded);
    EXPECT_EQ(m_download.RequestCount(), 0u);
    EXPECT_TRUE(g_started.empty());
    EXPECT_EQ(g_boxes, std::vector<std::wstring>{L" Fail to download QEV installation package!"});
    EXPECT_EQ(Entries(current), before);
    EXPECT_FALSE(FileExists(std::string(current) + "\\QEVInstaller.msi"));
    EXPECT_EQ(CountMessages(log, "ERROR", "CProcessStatusDlg::QEVReinstallThread: No temporary directory for QEVInstaller.msi"),
              1)
        << log.Dump();

    {
        ScopedFakeAgent agent;
        MessageRecorder recorder;
        RepairJob job(L"old-uuid");
        job.Attach(recorder.Window());
        RunReinstallWorkflow(job);
        EXPECT_EQ(recorder.Codes(), kFailAtTheScript);
    }
    EXPECT_TRUE(g_started.empty());
    EXPECT_EQ(Entries(current), before);
    EXPECT_TRUE(Entries(temp).empty());
}

// ------------------------------------------------------------ data directory that is a file

class DataDirectoryIsAFile : public WorkflowFault {
protected:
    void SetUp() override {
        WorkflowFault::SetUp();
        const std::string data = FakeAgent::DataDir();
        const std::string parent = data.substr(0, data.find_last_of('\\'));
        ASSERT_TRUE(::CreateDirectoryA(parent.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
        ASSERT_TRUE(WriteWholeFile(data, kContent));
    }
    const std::string kContent = "AGENT_UUID0123456789 this file stands where the data directory should be";
};

// Reading the UUID and checking the sensor database through a path that
// runs through a file: the fixed failure values with their one line each,
// and the file left as it was.
TEST_F(DataDirectoryIsAFile, UuidAndDatabaseCheckGiveTheirFailureValues) {
    const std::string data = GetQEVDataDirectory();
    ASSERT_EQ(data, FakeAgent::DataDir());
    LogCapture log;
    EXPECT_EQ(GetAgentUUID(), L"N/A");
    EXPECT_FALSE(CheckIsSQLite3(data + "\\db_sensor"));
    EXPECT_EQ(CountMessagesStartingWith(log, "ERROR",
                                        "GetAgentUUID: Fail to open db path! db path:" + data + "\\db_general, error code:"),
              1)
        << log.Dump();
    EXPECT_EQ(CountSourceLineMessages(log, "ERROR", "CheckIsSQLite3",
                                      "Fail to open SQLite3 file. Path:" + data + "\\db_sensor ,Result:14"),
              1)
        << log.Dump();
    EXPECT_EQ(ReadWholeFile(data), kContent);
    EXPECT_FALSE(IsDirectory(data));
}

// The whole reinstall over such a machine: no deletion is attempted, the UUID
// that cannot be read keeps the old one, and the server's answer decides.
TEST_F(DataDirectoryIsAFile, ReinstallDeletesNothingAndKeepsTheOldUuid) {
    const std::string data = FakeAgent::DataDir();
    FakeAgentSpec spec;
    spec.dataDirectory = false;
    FakeAgent::Install(spec);  // removes the whole footprint first
    const std::string parent = data.substr(0, data.find_last_of('\\'));
    ASSERT_TRUE(::CreateDirectoryA(parent.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteWholeFile(data, kContent));
    RunReinstallWorkflow(m_job);
    EXPECT_EQ(m_recorder.Codes(), (std::vector<UINT>{UM_REINSTALL_BEGIN, UM_UNINSTALL_DONE, UM_DOWNLOAD_BEGIN,
                                                     UM_DOWNLOAD_DONE, UM_INSTALL_BEGIN, UM_CHECK_STATE,
                                                     UM_REINSTALL_OK}));
    EXPECT_EQ(m_job.m_strUUID, L"old-uuid");
    ASSERT_FALSE(m_status.Requests().empty());
    EXPECT_EQ(m_status.Requests().back().target, "/aapi/v1/zun/agentState/old-uuid");
    EXPECT_EQ(ReadWholeFile(data), kContent);
    EXPECT_TRUE(g_boxes.empty());
}

// ------------------------------------------------------------ db_general changing while read

std::string Version(const std::string& head, const std::string& uuid, const std::string& tail) {
    return head + "AGENT_UUID" + uuid + tail;
}

enum class Rewrite { InPlace, ReplacedByRename };

struct RaceCase {
    const char* name;
    Rewrite rewrite;
};
void PrintTo(const RaceCase& c, std::ostream* os) { *os << c.name; }

class GeneralDbChanging : public ::testing::TestWithParam<RaceCase> {
protected:
    void TearDown() override { FakeAgent::Remove(); }
};

// One version is short with its UUID at the very end of the file, the other
// long with the UUID deep inside and record bytes after it. While a thread
// rewrites "db_general" between the two as fast as it can, every UUID read is
// what one of the versions gives when read alone, or "N/A".
TEST_P(GeneralDbChanging, EveryReadIsOneVersionOrNA) {
    const std::string uuidA = "aaaaaaaa-1111-4aaa-8aaa-aaaaaaaaaaaa";
    const std::string uuidB = "bbbbbbbb-2222-4bbb-9bbb-bbbbbbbbbbbb";
    const std::vector<std::string> versions = {
        Version(std::string("SQLite format 3\0", 16) + std::string(60, '\x01'), uuidA, ""),
        Version(std::string("SQLite format 3\0", 16) + std::string(1400, '\0'), uuidB,
                std::string("\x02\x11\0\0", 4) + "AGENT_NAME workstation" + std::string(300, '\0')),
    };
    FakeAgentSpec spec;
    spec.generalDb = versions[0];
    ScopedFakeAgent agent(spec);
    const std::string path = FakeAgent::DataDir() + "\\db_general";

    std::set<std::wstring> allowed = {L"N/A"};
    for (const std::string& v : versions) {
        ASSERT_TRUE(WriteWholeFile(path, v));
        allowed.insert(GetAgentUUID());
    }
    ASSERT_EQ(allowed.size(), 3u);

    std::atomic<bool> stop{false};
    std::atomic<int> rewrites{0};
    const Rewrite mode = GetParam().rewrite;
    std::thread writer([&] {
        const std::string staging = FakeAgent::DataDir() + "\\db_general.new";
        for (int i = 0; !stop.load(); ++i) {
            const std::string& bytes = versions[i % 2];
            if (mode == Rewrite::InPlace) {
                // As the agent would: truncate and write while readers may hold the file.
                UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
                DWORD written = 0;
                if (file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
                    ++rewrites;
            } else {
                // A new file moved over the old one; refused while a reader has it open.
                if (WriteWholeFile(staging, bytes) &&
                    ::MoveFileExA(staging.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
                    ++rewrites;
                else
                    ::Sleep(0);
            }
        }
    });

    std::set<std::wstring> seen;
    int reads = 0;
    std::wstring stray;
    for (; reads < 500 && stray.empty(); ++reads) {
        const std::wstring got = GetAgentUUID();
        if (allowed.count(got) == 0) stray = got;
        seen.insert(got);
    }
    stop = true;
    writer.join();
    EXPECT_TRUE(stray.empty()) << "read " << reads << " gave " << Shown(stray) << " with " << rewrites.load()
                               << " rewrites";
    EXPECT_GT(rewrites.load(), 0);
    RecordProperty("rewrites", rewrites.load());
    RecordProperty("distinct_results", static_cast<int>(seen.size()));
}

INSTANTIATE_TEST_SUITE_P(Table, GeneralDbChanging,
                         ::testing::Values(RaceCase{"rewritten_in_place", Rewrite::InPlace},
                                           RaceCase{"replaced_by_rename", Rewrite::ReplacedByRename}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
