// Servers that misbehave the way real networks and servers do: silence, slow
// answers, connections cut in the middle, error pages, bodies that are not
// JSON, and bodies far larger than a 32-bit process should hold.
#include "app/AgentStatus.h"
#include "app/BuildConfig.h"
#include "app/Handles.h"
#include "net/AgentStateQuery.h"
#include "net/HttpTransport.h"
#include "repair/ProgressMessages.h"
#include "repair/ReinstallPlatform.h"
#include "repair/ReinstallWorkflow.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ReinstallFakes.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_traces;
void WINAPI RecordTrace(LPCSTR text) { g_traces.emplace_back(text); }
void WINAPI NoPause(DWORD) {}

// The step a failure trace names: "ZUN!<operation> Failed on <step>, ...".
std::string TracedStep(const std::string& trace, const std::string& operation) {
    std::string prefix = "ZUN!" + operation + " Failed on ";
    if (trace.rfind(prefix, 0) != 0) return "(not a trace of " + operation + ": " + trace + ")";
    std::size_t end = trace.find(',', prefix.size());
    return trace.substr(prefix.size(), end == std::string::npos ? std::string::npos : end - prefix.size());
}

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kHugeBody = 300 * kMiB;
// Far below the huge bodies, far above one transfer chunk and a parsed answer.
constexpr SIZE_T kMemoryGrowthBound = static_cast<SIZE_T>(32 * kMiB);
constexpr DWORD kChunk = static_cast<DWORD>(kMiB);

// The most memory the process has ever had in its working set. (The peak of
// committed bytes would do as well, but Wine reports the current figure there.)
SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    EXPECT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters)));
    return counters.PeakWorkingSetSize;
}
// A body held whole would lift the peak by the body's size. (Wine's figure can
// even sink a little between two readings: that is no growth.)
void ExpectPeakGrewLessThan(SIZE_T before, SIZE_T bound) {
    SIZE_T after = PeakWorkingSet();
    const SIZE_T growth = after > before ? after - before : 0;
    EXPECT_LT(growth, bound) << "peak working set " << before << " -> " << after;
}

std::string Answer(const std::string& state) {
    return R"({"status":0,"data":{"state":")" + state + R"(","releaseVersion":"2.1.0"}})";
}

HttpReply ErrorPage(int status) {
    HttpReply r = HttpReply::Bytes("<html><head><title>" + std::to_string(status) +
                                       "</title></head><body><h1>Server trouble</h1><p>Try again later.</p></body></html>\n",
                                   "text/html");
    r.status = status;
    return r;
}

HttpReply Delayed(HttpReply reply, unsigned int ms) {
    reply.answerDelayMs = ms;
    return reply;
}

// Comfortably below the network time-out of the test build.
unsigned int SlowButInTime() { return static_cast<unsigned int>(g_networkTimeoutMs / 3); }

// ================================================================ the state query

struct StateFaultCase {
    const char* name;
    HttpReply reply;
    int expected;
    bool usable;            // the latest version is taken and the answer logged
    const char* traceStep;  // the step InternetGetData reports; nullptr: no trace
};

// A connection that the server resets before it answers: depending on when
// the reset meets WinINet (seen under load), the send fails, or the answer
// just ends empty. Either way there is no answer.
const char* const kSendFailsOrEmpty = "HttpSendRequest, or an empty answer";

class StateServerFaults : public ::testing::Test {
protected:
    void SetUp() override {
        g_traces.clear();
        g_outputDebugString = &RecordTrace;
        g_pollSleep = &NoPause;
        FakeAgentSpec spec;
        spec.dataDirectory = false;  // the program directory alone makes the agent installed
        m_agent = std::make_unique<ScopedFakeAgent>(spec);
        ASSERT_TRUE(m_server.Start(g_statusServerPort)) << m_server.StartError();
    }
    void TearDown() override {
        m_server.Stop();
        m_agent.reset();
        g_pollSleep = &::Sleep;
        g_outputDebugString = &::OutputDebugStringA;
    }

    std::unique_ptr<ScopedFakeAgent> m_agent;
    HttpTestServer m_server;
};

TEST_F(StateServerFaults, FaultsAreNoAnswerButLateOrFullSizeAnswersCount) {
    const std::string normal = Answer("NORMAL");
    const std::vector<StateFaultCase> cases = {
        {"never_answers", HttpReply::NeverAnswers(), AgentStatus::Inactive, false, "HttpSendRequest"},
        {"answers_late_but_in_time", Delayed(HttpReply::Json(normal), SlowButInTime()), AgentStatus::Active, true,
         nullptr},
        {"stalls_half_way_through_the_body", HttpReply::StalledInBody(normal, normal.size() / 2),
         AgentStatus::Inactive, false, "InternetReadFile"},
        {"resets_half_way_through_the_body", HttpReply::DroppedInBody(normal, normal.size() / 2),
         AgentStatus::Inactive, false, "InternetReadFile"},
        {"resets_before_answering", HttpReply::Reset(), AgentStatus::Inactive, false, kSendFailsOrEmpty},
        {"not_found_page", HttpReply::NotFound(), AgentStatus::Inactive, false, nullptr},
        {"server_error_page", ErrorPage(500), AgentStatus::Inactive, false, nullptr},
        {"json_cut_short", HttpReply::Json(normal.substr(0, normal.size() - 3)), AgentStatus::Inactive, false,
         nullptr},
        {"single_quoted_json", HttpReply::Json("{'status':0,'data':{'state':'NORMAL'}}"), AgentStatus::Inactive,
         false, nullptr},
        {"zero_bytes_before_json", HttpReply::Json(std::string("\0\0", 2) + normal), AgentStatus::Inactive, false,
         nullptr},
        // Blanks after the root are still JSON: the bound alone decides these three.
        {"whole_answer_of_exactly_1_mib", HttpReply::Padded(normal, kMaxDataBodyBytes, ' '), AgentStatus::Active,
         true, nullptr},
        {"answer_one_byte_past_1_mib", HttpReply::Padded(normal, kMaxDataBodyBytes + 1, ' '),
         AgentStatus::Inactive, false, "BodyLimit"},
        // Closing the request may read the rest away (Wine does, a KiB at a time):
        // that costs time but never memory.
        {"answer_of_300_mib", HttpReply::Padded(normal, kHugeBody, ' '), AgentStatus::Inactive, false, "BodyLimit"},
    };
    for (const StateFaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_traces.clear();
        std::size_t requestsBefore = m_server.RequestCount();
        m_server.Push(c.reply);
        LogCapture log;
        SIZE_T peak = PeakWorkingSet();
        std::string latest = "before";

        EXPECT_EQ(CheckQEVStatusImmediate(FakeAgent::kUuid, latest), c.expected);

        EXPECT_EQ(latest, c.usable ? "2.1.0" : "before");
        EXPECT_EQ(m_server.RequestCount(), requestsBefore + 1);
        EXPECT_EQ(log.Count("CheckQEVStatusImmediate("), c.usable ? 1 : 0) << log.Dump();
        if (c.traceStep == kSendFailsOrEmpty) {
            EXPECT_LE(g_traces.size(), 1u);
            if (!g_traces.empty()) {
                EXPECT_EQ(TracedStep(g_traces[0], "InternetGetData"), "HttpSendRequest");
            }
        } else if (c.traceStep) {
            ASSERT_EQ(g_traces.size(), 1u);
            EXPECT_EQ(TracedStep(g_traces[0], "InternetGetData"), c.traceStep) << g_traces[0];
        } else {
            EXPECT_TRUE(g_traces.empty()) << (g_traces.empty() ? "" : g_traces[0]);
        }
        ExpectPeakGrewLessThan(peak, kMemoryGrowthBound);
    }
}

TEST_F(StateServerFaults, PollingASilentServerEndsAfterItsTries) {
    m_server.SetFallback([](const HttpRequestRecord&) { return HttpReply::NeverAnswers(); });
    EXPECT_EQ(CheckQEVStatusWithDelay(FakeAgent::kUuid, 2, true), AgentStatus::Inactive);
    EXPECT_EQ(m_server.RequestCount(), 2u);
    ASSERT_EQ(g_traces.size(), 2u);
    for (const std::string& trace : g_traces) EXPECT_EQ(TracedStep(trace, "InternetGetData"), "HttpSendRequest");
}

// ================================================================ the transport

const char* const kHost = "127.0.0.1";
const char* const kObject = "download/qev/qev64.msi";

std::string PatternString(std::size_t size) {
    std::string bytes(size, '\0');
    HttpReply::PatternBytes(0, &bytes[0], size);
    return bytes;
}

class TransportFaults : public ::testing::Test {
protected:
    void SetUp() override {
        g_traces.clear();
        g_outputDebugString = &RecordTrace;
        ASSERT_TRUE(m_server.Start()) << m_server.StartError();
        m_dir = MakeTempDirectory("netfault");
        m_package = m_dir + "\\QEVInstaller.msi";
    }
    void TearDown() override {
        m_server.Stop();
        g_outputDebugString = &::OutputDebugStringA;
        RemoveTree(m_dir);
    }

    int GetFile() { return InternetGetFile(kHost, kObject, m_package, m_server.Port()); }

    HttpTestServer m_server;
    std::string m_dir;
    std::string m_package;
};

struct DownloadFaultCase {
    const char* name;
    HttpReply reply;
    int expected;
    std::string stored;     // what the file holds afterwards
    const char* traceStep;  // nullptr: no trace
};

TEST_F(TransportFaults, DownloadEndsOnEveryFaultAndKeepsOnlyWhatArrived) {
    const std::string package = PatternString(200000);
    const std::size_t half = 100000;
    const std::vector<DownloadFaultCase> cases = {
        {"never_answers", HttpReply::NeverAnswers(), 0, "", "HttpSendRequest"},
        {"answers_late_but_in_time", Delayed(HttpReply::Bytes(package), SlowButInTime()), 1, package, nullptr},
        {"stalls_half_way_through_the_body", HttpReply::StalledInBody(package, half), 0, package.substr(0, half),
         "InternetReadFile"},
        {"server_error_page", ErrorPage(500), 0, "", "HttpStatus"},
        {"service_unavailable_page", ErrorPage(503), 0, "", "HttpStatus"},
    };
    for (const DownloadFaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_traces.clear();
        ASSERT_TRUE(WriteWholeFile(m_package, "stale"));
        m_server.Push(c.reply);

        EXPECT_EQ(GetFile(), c.expected);

        // What the platform had buffered of a part-chunk when the wait ended may
        // be lost; what was stored is a beginning of what was sent, never more.
        std::string stored = ReadWholeFile(m_package);
        if (c.expected == 1) {
            EXPECT_EQ(stored.size(), c.stored.size());
            EXPECT_TRUE(stored == c.stored);
        } else {
            EXPECT_LE(stored.size(), c.stored.size());
            EXPECT_TRUE(c.stored.compare(0, stored.size(), stored) == 0);
        }
        if (c.traceStep) {
            ASSERT_EQ(g_traces.size(), 1u);
            EXPECT_EQ(TracedStep(g_traces[0], "InternetGetFile"), c.traceStep) << g_traces[0];
        } else {
            EXPECT_TRUE(g_traces.empty()) << (g_traces.empty() ? "" : g_traces[0]);
        }
    }
}

// Compares the file with the pattern piece by piece, never holding either whole.
bool FileHoldsPattern(const std::string& path, std::uint64_t size, std::string& why) {
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        why = "cannot open " + path;
        return false;
    }
    std::vector<char> got(kChunk), want(kChunk);
    std::uint64_t offset = 0;
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.get(), got.data(), kChunk, &n, nullptr)) {
            why = "read failed at offset " + std::to_string(offset);
            return false;
        }
        if (n == 0) break;
        HttpReply::PatternBytes(offset, want.data(), n);
        if (std::memcmp(got.data(), want.data(), n) != 0) {
            why = "differs in the MiB at offset " + std::to_string(offset);
            return false;
        }
        offset += n;
    }
    if (offset != size) {
        why = std::to_string(offset) + " bytes instead of " + std::to_string(size);
        return false;
    }
    return true;
}

TEST_F(TransportFaults, DownloadOf300MibArrivesWholeWithOnlyAChunkInMemory) {
    m_server.Push(HttpReply::Pattern(kHugeBody));
    SIZE_T peak = PeakWorkingSet();

    EXPECT_EQ(GetFile(), 1);

    ExpectPeakGrewLessThan(peak, kMemoryGrowthBound);
    std::string why;
    EXPECT_TRUE(FileHoldsPattern(m_package, kHugeBody, why)) << why;
    EXPECT_TRUE(g_traces.empty());
}

struct DataLimitCase {
    const char* name;
    std::uint64_t bodySize;
    std::size_t limit;
    bool whole;  // false: nothing is returned
};

TEST_F(TransportFaults, DataStopsReadingPastItsBound) {
    const std::vector<DataLimitCase> cases = {
        {"default_bound_exactly", kMaxDataBodyBytes, kMaxDataBodyBytes, true},
        {"default_bound_and_one_byte", kMaxDataBodyBytes + 1, kMaxDataBodyBytes, false},
        {"callers_bound_within_one_chunk", 100, 99, false},
        {"callers_bound_not_reached", 99, 100, true},
    };
    for (const DataLimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        g_traces.clear();
        m_server.Push(HttpReply::Pattern(c.bodySize));
        SIZE_T peak = PeakWorkingSet();

        std::string data = InternetGetData(kHost, kObject, m_server.Port(), c.limit);

        ExpectPeakGrewLessThan(peak, kMemoryGrowthBound);
        if (c.whole) {
            ASSERT_EQ(data.size(), c.bodySize);
            EXPECT_TRUE(data == PatternString(static_cast<std::size_t>(c.bodySize)));
            EXPECT_TRUE(g_traces.empty());
        } else {
            EXPECT_EQ(data.size(), 0u);
            std::vector<std::string> expected = {"ZUN!InternetGetData Failed on BodyLimit, more than " +
                                                 std::to_string(c.limit) + " bytes\n"};
            EXPECT_EQ(g_traces, expected);
        }
    }
    // A caller that names no bound gets the same 1 MiB.
    m_server.Push(HttpReply::Pattern(kMaxDataBodyBytes + 1));
    EXPECT_EQ(InternetGetData(kHost, kObject, m_server.Port()).size(), 0u);
}

// ================================================================ the reinstall's three downloads

using ReinstallFakes::g_boxes;
using ReinstallFakes::X64;

// The installer as the workflow starts it: what it was given to install is
// recorded, the agent appears as a package that installs would leave it, and
// the "process" is an event that is already set, so the wait ends at once.
struct InstallerStart {
    std::string commandLine;
    std::string package;
};
std::vector<InstallerStart> g_installs;
BOOL WINAPI RecordInstallerStart(LPCSTR, LPSTR line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                 LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION process) {
    g_installs.push_back({line, ReadWholeFile(TempDir() + "QEVInstaller.msi")});
    FakeAgent::Install();
    process->hProcess = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    process->hThread = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    process->dwProcessId = 0;
    process->dwThreadId = 0;
    return TRUE;
}

struct DownloadTriesCase {
    const char* name;
    std::vector<HttpReply> tries;  // one reply per download try, in order
    bool installed;                // false: the workflow gives up after the downloads
};

class ReinstallDownloadTries : public ::testing::Test {
protected:
    void SetUp() override {
        FakeAgent::Remove();  // no uninstall: the road starts with the download
        g_boxes.clear();
        g_installs.clear();
        g_outputDebugString = &RecordTrace;
        g_pollSleep = &NoPause;
        g_reinstallPlatform.messageBox = &ReinstallFakes::RecordBox;
        g_reinstallPlatform.getNativeSystemInfo = &X64;
        g_reinstallPlatform.createProcess = &RecordInstallerStart;
        ASSERT_TRUE(m_status.Start(g_statusServerPort)) << m_status.StartError();
        ASSERT_TRUE(m_download.Start(g_downloadServerPort)) << m_download.StartError();
        m_status.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(Answer("NORMAL")); });
    }
    void TearDown() override {
        m_download.Stop();
        m_status.Stop();
        g_reinstallPlatform = ReinstallPlatform();
        g_pollSleep = &::Sleep;
        g_outputDebugString = &::OutputDebugStringA;
        FakeAgent::Remove();
    }

    HttpTestServer m_status;
    HttpTestServer m_download;
};

TEST_F(ReinstallDownloadTries, OnlyAWholePackageIsEverInstalled) {
    // A package that passes the signature check, so that what decides is
    // whether the whole of it arrived.
    const std::string package = ReadWholeFile(FakeAgentPackage::Path64());
    ASSERT_FALSE(package.empty()) << "the signed packages are not built";
    const std::size_t half = package.size() / 2;
    const HttpReply whole = HttpReply::Bytes(package);
    const HttpReply reset = HttpReply::DroppedInBody(package, half);
    const HttpReply stall = HttpReply::StalledInBody(package, half);
    const std::vector<DownloadTriesCase> cases = {
        {"reset_half_way_on_all_three_tries", {reset, reset, reset}, false},
        {"stalls_half_way_on_all_three_tries", {stall, stall, stall}, false},
        {"reset_stall_then_error_page", {reset, stall, ErrorPage(500)}, false},
        {"reset_half_way_once", {reset, whole}, true},
        {"reset_then_stall_then_whole", {reset, stall, whole}, true},
    };
    const std::vector<UINT> gaveUp = {UM_DOWNLOAD_BEGIN, UM_REINSTALL_FAIL};
    const std::vector<UINT> wholeRoad = {UM_DOWNLOAD_BEGIN, UM_DOWNLOAD_DONE, UM_INSTALL_BEGIN, UM_CHECK_STATE,
                                         UM_REINSTALL_OK};
    for (const DownloadTriesCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAgent::Remove();
        g_boxes.clear();
        g_installs.clear();
        std::size_t downloadsBefore = m_download.RequestCount();
        std::size_t queriesBefore = m_status.RequestCount();
        for (const HttpReply& reply : c.tries) m_download.Push(reply);
        MessageRecorder recorder;
        RepairJob job(L"uuid-before");
        job.Attach(recorder.Window());

        RunReinstallWorkflow(job);

        EXPECT_EQ(m_download.RequestCount() - downloadsBefore, c.tries.size());
        if (c.installed) {
            EXPECT_EQ(recorder.Codes(), wholeRoad);
            EXPECT_TRUE(job.m_bReinstallSucceeded);
            EXPECT_TRUE(g_boxes.empty());
            ASSERT_EQ(g_installs.size(), 1u);
            // The last try starts from an empty file: nothing of the cut tries is left in it.
            EXPECT_EQ(g_installs[0].package.size(), package.size());
            EXPECT_TRUE(g_installs[0].package == package);
        } else {
            EXPECT_EQ(recorder.Codes(), gaveUp);
            EXPECT_FALSE(job.m_bReinstallSucceeded);
            EXPECT_EQ(g_boxes, std::vector<std::wstring>{L" Fail to download QEV installation package!"});
            EXPECT_TRUE(g_installs.empty());
            EXPECT_EQ(m_status.RequestCount(), queriesBefore);  // nothing to ask about
        }
    }
}

}  // namespace
