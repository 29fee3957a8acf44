#include "net/AgentStateQuery.h"

#include "app/AgentStatus.h"
#include "app/BuildConfig.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"

#include <gtest/gtest.h>
#include <json/json.h>
#include <windows.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

const std::string kStatePath = "/aapi/v1/zun/agentState/";
const std::string kBefore = "1.0.0-before";  // a latest version that the call must not touch

std::vector<DWORD> g_pauses;
void WINAPI RecordPause(DWORD ms) { g_pauses.push_back(ms); }

std::string Answer(const std::string& state) {
    return R"({"status":0,"data":{"state":")" + state + R"(","releaseVersion":"2.1.0"}})";
}

// The compact one-line form the log shows (members in name order).
std::string Compact(const std::string& body) {
    Json::Value root;
    Json::Reader().parse(body, root);
    std::string text = Json::FastWriter().write(root);
    return text.substr(0, text.size() - 1);
}

// Only the program directory decides whether the agent counts as installed.
FakeAgentSpec ProgramDirectoryOnly() {
    FakeAgentSpec spec;
    spec.dataDirectory = false;
    return spec;
}

// The status server on its build-time port, and an installed agent.
class StateQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_pauses.clear();
        g_pollSleep = &RecordPause;
        m_agent = std::make_unique<ScopedFakeAgent>(ProgramDirectoryOnly());
        ASSERT_TRUE(m_server.Start(g_statusServerPort)) << m_server.StartError();
    }
    void TearDown() override {
        m_server.Stop();
        m_agent.reset();
        g_pollSleep = &::Sleep;
    }

    std::unique_ptr<ScopedFakeAgent> m_agent;
    HttpTestServer m_server;
};

TEST_F(StateQueryTest, AsksForTheUuidAsTheAgentWithoutCache) {
    m_server.Push(HttpReply::Json(Answer("NORMAL")));
    std::string latest;
    EXPECT_EQ(CheckQEVStatusImmediate(FakeAgent::kUuid, latest), AgentStatus::Active);

    std::vector<HttpRequestRecord> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].target, kStatePath + FakeAgent::kUuid);
    EXPECT_EQ(requests[0].Header("Host"), std::string(g_statusServerHost) + ":" + std::to_string(g_statusServerPort));
    EXPECT_EQ(requests[0].Header("User-Agent"), "QEV Agent");
    EXPECT_FALSE(requests[0].HasHeader("If-Modified-Since"));
    EXPECT_FALSE(requests[0].HasHeader("If-None-Match"));
}

// ---------------------------------------------------------------- one answer

struct StatusCase {
    const char* name;
    std::string body;
    int expected;
    const char* latest;  // nullptr: left as it was
    const char* logged;  // the compact JSON in the log line; nullptr: no line
};
void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }

class StatusTableTest : public StateQueryTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusTableTest, ImmediateQueryGivesTheCodeAndTheLatestVersion) {
    const StatusCase& c = GetParam();
    m_server.Push(HttpReply::Json(c.body));
    LogCapture log;
    std::string latest = kBefore;

    EXPECT_EQ(CheckQEVStatusImmediate(FakeAgent::kUuid, latest), c.expected);
    EXPECT_EQ(latest, c.latest ? c.latest : kBefore);
    EXPECT_EQ(m_server.RequestCount(), 1u);
    if (c.logged) {
        std::vector<std::string> lines = ProgramLines(log);
        ASSERT_EQ(lines.size(), 2u) << log.Dump();  // the compact form ends with its own line feed
        EXPECT_TRUE(IsSourceLineMessage(lines[0], "INFO", "CheckQEVStatusImmediate", std::string("Response: ") + c.logged))
            << lines[0];
        EXPECT_EQ(lines[1], "");
    } else {
        EXPECT_TRUE(ProgramLines(log).empty()) << log.Dump();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StatusTableTest,
    ::testing::Values(
        StatusCase{"normal", Answer("NORMAL"), AgentStatus::Active, "2.1.0",
                   R"({"data":{"releaseVersion":"2.1.0","state":"NORMAL"},"status":0})"},
        StatusCase{"inactive", Answer("INACTIVE"), AgentStatus::Inactive, "2.1.0",
                   R"({"data":{"releaseVersion":"2.1.0","state":"INACTIVE"},"status":0})"},
        StatusCase{"low_version", Answer("LOWVERSION"), AgentStatus::OldVersion, "2.1.0",
                   R"({"data":{"releaseVersion":"2.1.0","state":"LOWVERSION"},"status":0})"},
        StatusCase{"unknown_state", Answer("RETIRED"), AgentStatus::Unrecognised, "2.1.0",
                   R"({"data":{"releaseVersion":"2.1.0","state":"RETIRED"},"status":0})"},
        StatusCase{"lower_case_state", Answer("normal"), AgentStatus::Unrecognised, "2.1.0",
                   R"({"data":{"releaseVersion":"2.1.0","state":"normal"},"status":0})"},
        StatusCase{"missing_status", R"({"data":{"state":"LOWVERSION"}})", AgentStatus::OldVersion, "",
                   R"({"data":{"state":"LOWVERSION"}})"},
        StatusCase{"status_1_with_normal", R"({"status":1,"data":{"state":"NORMAL","releaseVersion":"2.1.0"}})",
                   AgentStatus::Inactive, nullptr, R"({"data":{"releaseVersion":"2.1.0","state":"NORMAL"},"status":1})"},
        StatusCase{"missing_data", R"({"status":0})", AgentStatus::Unrecognised, "", R"({"status":0})"},
        StatusCase{"empty_data", R"({"status":0,"data":{}})", AgentStatus::Unrecognised, "",
                   R"({"data":{},"status":0})"},
        StatusCase{"state_of_wrong_type", R"({"status":0,"data":{"state":["NORMAL"],"releaseVersion":"2.1.0"}})",
                   AgentStatus::Inactive, nullptr, R"({"data":{"releaseVersion":"2.1.0","state":["NORMAL"]},"status":0})"},
        StatusCase{"not_json", "<html>busy</html>", AgentStatus::Inactive, nullptr, nullptr},
        StatusCase{"empty_body", "", AgentStatus::Inactive, nullptr, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- decided before asking

struct NoRequestCase {
    const char* name;
    bool installed;
    std::string uuid;
    int expected;
};
void PrintTo(const NoRequestCase& c, std::ostream* os) { *os << c.name; }

class NoRequestTest : public StateQueryTest, public ::testing::WithParamInterface<NoRequestCase> {};

TEST_P(NoRequestTest, BothQueriesAnswerWithoutAskingTheServer) {
    const NoRequestCase& c = GetParam();
    if (!c.installed) m_agent.reset();
    m_server.SetFallback([](const HttpRequestRecord&) { return HttpReply::Json(Answer("NORMAL")); });
    LogCapture log;
    std::string latest;

    EXPECT_EQ(CheckQEVStatusImmediate(c.uuid, latest), c.expected);
    EXPECT_EQ(latest, "");
    EXPECT_EQ(CheckQEVStatusWithDelay(c.uuid, 5, true), c.expected);
    EXPECT_EQ(CheckQEVStatusWithDelay(c.uuid, 5, false), c.expected);
    EXPECT_EQ(m_server.RequestCount(), 0u);
    EXPECT_TRUE(g_pauses.empty());
    EXPECT_TRUE(ProgramLines(log).empty()) << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(
    Checks, NoRequestTest,
    ::testing::Values(NoRequestCase{"not_installed", false, FakeAgent::kUuid, AgentStatus::NotInstalled},
                      NoRequestCase{"not_installed_before_na", false, "N/A", AgentStatus::NotInstalled},
                      NoRequestCase{"uuid_na", true, "N/A", AgentStatus::Inactive}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- what is sent

struct UuidCase {
    const char* name;
    std::string uuid;
    std::string sentPath;
};
void PrintTo(const UuidCase& c, std::ostream* os) { *os << c.name; }

class UuidPathTest : public StateQueryTest, public ::testing::WithParamInterface<UuidCase> {};

TEST_P(UuidPathTest, IsSentAsOneSafePath) {
    m_server.Push(HttpReply::Json(Answer("INACTIVE")));
    std::string latest;
    EXPECT_EQ(CheckQEVStatusImmediate(GetParam().uuid, latest), AgentStatus::Inactive);

    std::vector<HttpRequestRecord> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, kStatePath + GetParam().sentPath);
    EXPECT_FALSE(requests[0].HasHeader("X-Injected"));
}

INSTANTIATE_TEST_SUITE_P(
    Uuids, UuidPathTest,
    ::testing::Values(UuidCase{"na_with_trailing_space", "N/A ", "N/A%20"},
                      UuidCase{"na_lower_case", "n/a", "n/a"},
                      UuidCase{"ends_at_zero_byte", FakeAgent::kUuid + std::string("\0\x02\x11", 3), FakeAgent::kUuid},
                      // "N/A" is the whole text, as for the main dialog (MainDialogReread): only
                      // the path stops at the zero byte.
                      UuidCase{"na_then_file_bytes", std::string("N/A\0xyz", 7), "N/A"},
                      UuidCase{"file_bytes_then_na", std::string("xyz\0N/A", 7), "xyz"},
                      UuidCase{"header_injection", "abc HTTP/1.1\r\nX-Injected: 1\r\n\r\n",
                               "abc%20HTTP/1.1%0D%0AX-Injected:%201%0D%0A%0D%0A"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- polling

struct PollStep {
    std::string body;
    bool thenUnreachable = false;  // the server stops listening after this answer
};

struct PollCase {
    const char* name;
    std::vector<PollStep> steps;  // answered in turn; after them: NORMAL
    unsigned int tries;
    bool serverUp;
    int expected;
    std::size_t requests;
    std::size_t pauses;
    int loggedAnswers;
};
void PrintTo(const PollCase& c, std::ostream* os) { *os << c.name; }

class PollTest : public StateQueryTest, public ::testing::WithParamInterface<PollCase> {};

TEST_P(PollTest, PollsUntilNormalOrOutOfTries) {
    const PollCase& c = GetParam();
    auto answered = std::make_shared<std::size_t>(0);
    m_server.SetFallback([this, answered, steps = c.steps](const HttpRequestRecord&) {
        std::size_t i = (*answered)++;
        if (i >= steps.size()) return HttpReply::Json(Answer("NORMAL"));
        if (steps[i].thenUnreachable) m_server.StopAccepting();
        return HttpReply::Json(steps[i].body);
    });
    if (!c.serverUp) m_server.Stop();
    LogCapture log;

    EXPECT_EQ(CheckQEVStatusWithDelay(FakeAgent::kUuid, c.tries, true), c.expected);
    EXPECT_EQ(m_server.RequestCount(), c.requests);
    EXPECT_EQ(g_pauses, std::vector<DWORD>(c.pauses, g_pollPauseMs));
    // One line per parsed answer, numbered by attempt: "Times:<n>, Response: <json>".
    std::vector<std::string> lines;
    for (const std::string& line : ProgramLines(log))
        if (!line.empty()) lines.push_back(line);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(c.loggedAnswers)) << log.Dump();
    for (int n = 1; n <= c.loggedAnswers; ++n) {
        std::string rest = "Times:" + std::to_string(n) + ", Response: " +
                           (n <= static_cast<int>(c.steps.size()) ? Compact(c.steps[n - 1].body) : Compact(Answer("NORMAL")));
        EXPECT_TRUE(IsSourceLineMessage(lines[n - 1], "INFO", "CheckQEVStatusWithDelay", rest)) << lines[n - 1];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, PollTest,
    ::testing::Values(
        PollCase{"normal_on_the_third_attempt",
                 {{Answer("INACTIVE")}, {Answer("INACTIVE")}}, 5, true, AgentStatus::Active, 3, 2, 3},
        PollCase{"inactive_low_version_then_unreachable",
                 {{Answer("INACTIVE")}, {Answer("LOWVERSION"), true}}, 5, true, AgentStatus::OldVersion, 2, 5, 2},
        PollCase{"unreachable_throughout", {}, 5, false, AgentStatus::Inactive, 0, 5, 0},
        PollCase{"unusable_answers_keep_the_last_code",
                 {{Answer("LOWVERSION")}, {R"({"status":1,"data":{"state":"NORMAL"}})"}, {"not json"}},
                 3, true, AgentStatus::OldVersion, 3, 3, 2},
        PollCase{"no_tries", {}, 0, true, AgentStatus::Inactive, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StateQueryTest, SingleAskMakesOneRequestWithoutPause) {
    m_server.Push(HttpReply::Json(Answer("LOWVERSION")));
    LogCapture log;
    EXPECT_EQ(CheckQEVStatusWithDelay(FakeAgent::kUuid, 5, false), AgentStatus::OldVersion);
    EXPECT_EQ(CheckQEVStatusWithDelay(FakeAgent::kUuid, 5, false), AgentStatus::Inactive);  // 404 page: no answer
    EXPECT_EQ(m_server.RequestCount(), 2u);
    EXPECT_TRUE(g_pauses.empty());
    std::vector<std::string> lines = ProgramLines(log);
    ASSERT_FALSE(lines.empty()) << log.Dump();
    EXPECT_TRUE(IsSourceLineMessage(lines[0], "INFO", "CheckQEVStatusWithDelay",
                                    R"(Response: {"data":{"releaseVersion":"2.1.0","state":"LOWVERSION"},"status":0})"))
        << lines[0];
    EXPECT_EQ(log.Count("Times:"), 0);
}

}  // namespace
