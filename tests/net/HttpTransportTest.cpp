#include "net/HttpTransport.h"

#include "tests/support/HttpTestServer.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_traces;
void WINAPI RecordTrace(LPCSTR text) { g_traces.emplace_back(text); }

// Every byte value, in an order that shows a lost, repeated or swapped chunk.
std::string PatternBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 16384) % 256);
    return bytes;
}

const char* const kHost = "127.0.0.1";
const char* const kPackageObject = "download/qev/qev64.msi";

class TransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_traces.clear();
        g_outputDebugString = &RecordTrace;
        ASSERT_TRUE(m_server.Start()) << m_server.StartError();
        m_dir = MakeTempDirectory("transport");
        m_package = m_dir + "\\QEVInstaller.msi";
        // A package left from an earlier run: every download starts from an empty file.
        ASSERT_TRUE(WriteWholeFile(m_package, "stale package bytes"));
    }
    void TearDown() override {
        m_server.Stop();
        g_outputDebugString = &::OutputDebugStringA;
        g_internetGetConnectedState = m_realConnectedState;
        g_httpOpenRequest = m_realOpenRequest;
        RemoveTree(m_dir);
    }

    std::string GetData() { return InternetGetData(kHost, kPackageObject, m_server.Port()); }
    int GetFile() { return InternetGetFile(kHost, kPackageObject, m_package, m_server.Port()); }

    HttpTestServer m_server;
    std::string m_dir;
    std::string m_package;
    // The real calls, put back after each case.
    ConnectedStateFn m_realConnectedState = g_internetGetConnectedState;
    HttpOpenRequestFn m_realOpenRequest = g_httpOpenRequest;
};

TEST_F(TransportTest, SendsAPlainGetOfTheObjectNameAsTheAgent) {
    m_server.Route("/download/qev/qev64.msi", HttpReply::Bytes("MSI"));
    LogCapture log;
    EXPECT_EQ(GetData(), "MSI");
    EXPECT_EQ(GetFile(), 1);

    std::vector<HttpRequestRecord> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const HttpRequestRecord& r : requests) {
        EXPECT_EQ(r.method, "GET");
        EXPECT_EQ(r.target, "/download/qev/qev64.msi");
        EXPECT_EQ(r.version, "HTTP/1.1");
        EXPECT_EQ(r.Header("Host"), std::string(kHost) + ":" + std::to_string(m_server.Port()));
        EXPECT_EQ(r.Header("User-Agent"), "QEV Agent");
        EXPECT_EQ(r.Header("Connection"), "Keep-Alive");
        for (const char* absent : {"Referer", "Accept", "Content-Length", "Authorization", "Cookie"})
            EXPECT_FALSE(r.HasHeader(absent)) << absent;
        EXPECT_EQ(r.body, "");
    }
    EXPECT_EQ(log.Count("Download QEV from url:127.0.0.1/download/qev/qev64.msi"), 1) << log.Dump();
    EXPECT_TRUE(g_traces.empty());
}

// The package path lies in the user's temporary directory, where the user may
// put a hard link to a file that only administrators may change: the elevated
// download must not write through it. Only the link goes; the file it led to
// stays as it was.
TEST_F(TransportTest, HardLinkAtThePackagePathIsReplacedNotWrittenThrough) {
    const std::string protectedFile = m_dir + "\\protected.dat";
    ASSERT_TRUE(WriteWholeFile(protectedFile, "an administrator's file"));
    ASSERT_TRUE(::DeleteFileA(m_package.c_str()));
    ASSERT_TRUE(::CreateHardLinkA(m_package.c_str(), protectedFile.c_str(), nullptr)) << ::GetLastError();
    m_server.Route("/download/qev/qev64.msi", HttpReply::Bytes("MSI"));
    EXPECT_EQ(GetFile(), 1);
    EXPECT_EQ(ReadWholeFile(m_package), "MSI");
    EXPECT_EQ(ReadWholeFile(protectedFile), "an administrator's file");
}

// The flags are checked where they are handed over: whether a cached answer
// would be used is not a thing the server can see.
struct OpenRequestCall {
    std::string verb;
    bool defaultVersion = false, noReferrer = false, noAcceptTypes = false;
    DWORD flags = 0;
};
std::vector<OpenRequestCall> g_openRequests;
HINTERNET WINAPI RecordOpenRequest(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                                   LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
    g_openRequests.push_back({verb ? verb : "", version == nullptr, referrer == nullptr, acceptTypes == nullptr, flags});
    return ::HttpOpenRequestA(connection, verb, object, version, referrer, acceptTypes, flags, context);
}

TEST_F(TransportTest, EveryFetchGoesToTheServerWithoutCacheAndWithKeepAlive) {
    HttpReply cacheable = HttpReply::Bytes("v1");
    cacheable.headers = {{"Cache-Control", "public, max-age=86400"},
                         {"Last-Modified", "Mon, 01 Jan 2024 00:00:00 GMT"},
                         {"ETag", "\"v1\""}};
    m_server.Route("/download/qev/qev64.msi", cacheable);
    g_openRequests.clear();
    g_httpOpenRequest = &RecordOpenRequest;

    EXPECT_EQ(GetData(), "v1");
    EXPECT_EQ(GetData(), "v1");
    EXPECT_EQ(GetFile(), 1);

    std::vector<HttpRequestRecord> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const HttpRequestRecord& r : requests) {
        EXPECT_FALSE(r.HasHeader("If-Modified-Since"));
        EXPECT_FALSE(r.HasHeader("If-None-Match"));
    }
    ASSERT_EQ(g_openRequests.size(), 3u);
    for (const OpenRequestCall& call : g_openRequests) {
        EXPECT_EQ(call.verb, "GET");
        EXPECT_TRUE(call.defaultVersion && call.noReferrer && call.noAcceptTypes);
    }
    EXPECT_EQ(g_openRequests[0].flags, static_cast<DWORD>(INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION));
    EXPECT_EQ(g_openRequests[1].flags, 0x80400000u);
    // The package is not even written to the cache.
    EXPECT_EQ(g_openRequests[2].flags, 0x80400000u | INTERNET_FLAG_NO_CACHE_WRITE);
}

// What a request would go to and how, taken where the request is opened; the
// request then goes no further, so nothing needs to listen on 443.
struct OpenedRequest {
    std::string url;
    DWORD flags = 0;
    DWORD securityFlags = 0;
};
std::vector<OpenedRequest> g_opened;
HINTERNET WINAPI OpenAndStop(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR referrer,
                             LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
    HINTERNET request = ::HttpOpenRequestA(connection, verb, object, version, referrer, acceptTypes, flags, context);
    OpenedRequest opened;
    opened.flags = flags;
    if (request != nullptr) {
        char url[512] = {};
        DWORD size = sizeof(url);
        if (::InternetQueryOptionA(request, INTERNET_OPTION_URL, url, &size)) opened.url = url;
        size = sizeof(opened.securityFlags);
        ::InternetQueryOptionA(request, INTERNET_OPTION_SECURITY_FLAGS, &opened.securityFlags, &size);
        ::InternetCloseHandle(request);
    }
    g_opened.push_back(opened);
    ::SetLastError(ERROR_INTERNET_OPERATION_CANCELLED);
    return nullptr;
}

struct TransportCase {
    const char* name;
    bool secure;
    unsigned short port;
    const char* url;  // where both operations go
};
void PrintTo(const TransportCase& c, std::ostream* os) { *os << c.name; }

class TransportChoiceTest : public TransportTest, public ::testing::WithParamInterface<TransportCase> {};

TEST_P(TransportChoiceTest, SecureAddsTheSecureFlagAndMakesPortZero443AndNeverRelaxesTheCertificateCheck) {
    const TransportCase& c = GetParam();
    g_opened.clear();
    g_httpOpenRequest = &OpenAndStop;

    EXPECT_EQ(InternetGetData(kHost, kPackageObject, c.port, kMaxDataBodyBytes, c.secure), "");
    EXPECT_EQ(InternetGetFile(kHost, kPackageObject, m_package, c.port, c.secure), 0);

    const DWORD secureFlag = c.secure ? INTERNET_FLAG_SECURE : 0;
    ASSERT_EQ(g_opened.size(), 2u);
    EXPECT_EQ(g_opened[0].flags, 0x80400000u | secureFlag);
    EXPECT_EQ(g_opened[1].flags, 0x80400000u | INTERNET_FLAG_NO_CACHE_WRITE | secureFlag);
    for (const OpenedRequest& opened : g_opened) {
        EXPECT_EQ(opened.url, c.url);
        const DWORD relaxing = INTERNET_FLAG_IGNORE_CERT_CN_INVALID | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                               INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
        EXPECT_EQ(opened.flags & relaxing, 0u);
        const DWORD ignoring = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION |
                               SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                               SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
        EXPECT_EQ(opened.securityFlags & ignoring, 0u);
    }
    EXPECT_EQ(m_server.RequestCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Transports, TransportChoiceTest,
    ::testing::Values(
        TransportCase{"plain_default_port", false, 0, "http://127.0.0.1/download/qev/qev64.msi"},
        TransportCase{"plain_given_port", false, 58443, "http://127.0.0.1:58443/download/qev/qev64.msi"},
        TransportCase{"secure_default_port", true, 0, "https://127.0.0.1/download/qev/qev64.msi"},
        TransportCase{"secure_given_port", true, 58443, "https://127.0.0.1:58443/download/qev/qev64.msi"}),
    [](const auto& info) { return std::string(info.param.name); });

// WinINet keeps what it reads in the user's URL cache unless told not to: a
// downloaded installer would stay there as a second copy.
TEST_F(TransportTest, ADownloadedPackageLeavesNoCopyInTheUrlCache) {
    const std::string url = "http://" + std::string(kHost) + ":" + std::to_string(m_server.Port()) + "/" +
                            kPackageObject;
    const std::string package = PatternBytes(300000);
    m_server.Route("/download/qev/qev64.msi", HttpReply::Bytes(package));
    ::DeleteUrlCacheEntryA(url.c_str());

    // The answer of a state query is still cached: the probe sees the cache.
    EXPECT_EQ(GetData(), package);
    DWORD size = 0;
    EXPECT_FALSE(::GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_TRUE(::DeleteUrlCacheEntryA(url.c_str()));

    EXPECT_EQ(GetFile(), 1);
    EXPECT_TRUE(ReadWholeFile(m_package) == package);
    size = 0;
    EXPECT_FALSE(::GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

struct BodyCase {
    const char* name;
    std::string body;
};
void PrintTo(const BodyCase& c, std::ostream* os) { *os << c.name; }

class TransportBodyTest : public TransportTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(TransportBodyTest, ArrivesWholeAndInOrderInMemoryAndInTheFile) {
    const std::string& body = GetParam().body;
    m_server.Route("/download/qev/qev64.msi", HttpReply::Bytes(body));

    std::string data = GetData();
    EXPECT_EQ(data.size(), body.size());
    EXPECT_TRUE(data == body);
    EXPECT_EQ(GetFile(), 1);
    std::string stored = ReadWholeFile(m_package);
    EXPECT_TRUE(FileExists(m_package));
    EXPECT_EQ(stored.size(), body.size());
    EXPECT_TRUE(stored == body);
    EXPECT_TRUE(g_traces.empty());
}

INSTANTIATE_TEST_SUITE_P(Bodies, TransportBodyTest,
                         ::testing::Values(BodyCase{"empty", ""},
                                           BodyCase{"one_byte_over_a_chunk", PatternBytes(16385)},
                                           BodyCase{"several_chunks_with_every_byte_value", PatternBytes(100000)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransportTest, ErrorPageIsDataButNeverAStoredPackage) {
    LogCapture log;
    std::string page = HttpReply::NotFound().body;  // the server's answer to any unknown path

    EXPECT_EQ(GetData(), page);
    EXPECT_TRUE(g_traces.empty());

    EXPECT_EQ(GetFile(), 0);
    EXPECT_TRUE(FileExists(m_package));
    EXPECT_EQ(ReadWholeFile(m_package), "");
    ASSERT_EQ(g_traces.size(), 1u);
    EXPECT_EQ(g_traces[0], "ZUN!InternetGetFile Failed on HttpStatus, status 404\n");
    EXPECT_EQ(m_server.RequestCount(), 2u);
}

TEST_F(TransportTest, ConnectionDroppedInTheBodyKeepsWhatArrived) {
    // Two whole chunks arrive, then the connection is reset: the next read fails.
    std::string body = PatternBytes(100000);
    const std::size_t arrived = 2 * 16384;
    m_server.Push(HttpReply::DroppedInBody(body, arrived));

    std::string data = GetData();
    EXPECT_EQ(data.size(), arrived);
    EXPECT_TRUE(data == body.substr(0, arrived));

    // A package moves in chunks of 1 MiB: the two whole ones are stored in
    // order, and of the one broken off in flight at most what had come.
    const std::size_t fileChunk = 1048576;
    std::string package = PatternBytes(3 * fileChunk);
    const std::size_t packageArrived = 2 * fileChunk + 32768;
    m_server.Push(HttpReply::DroppedInBody(package, packageArrived));

    EXPECT_EQ(GetFile(), 0);
    std::string stored = ReadWholeFile(m_package);
    EXPECT_GE(stored.size(), 2 * fileChunk);
    EXPECT_LE(stored.size(), packageArrived);
    EXPECT_TRUE(stored == package.substr(0, stored.size()));

    ASSERT_EQ(g_traces.size(), 2u);
    EXPECT_EQ(g_traces[0].rfind("ZUN!InternetGetData Failed on InternetReadFile, last error ", 0), 0u) << g_traces[0];
    EXPECT_EQ(g_traces[1].rfind("ZUN!InternetGetFile Failed on InternetReadFile, last error ", 0), 0u) << g_traces[1];
}

struct UnreachableCase {
    const char* name;
    bool resolvableHost;  // false: a name that no resolver knows
};
void PrintTo(const UnreachableCase& c, std::ostream* os) { *os << c.name; }

class UnreachableServerTest : public TransportTest, public ::testing::WithParamInterface<UnreachableCase> {};

TEST_P(UnreachableServerTest, GivesNothingAndAnEmptyPackage) {
    unsigned short port = m_server.Port();
    m_server.Stop();  // nobody listens there any more
    std::string host = GetParam().resolvableHost ? kHost : "qevzun-no-such-host.invalid";

    EXPECT_EQ(InternetGetData(host, kPackageObject, port), "");
    EXPECT_EQ(InternetGetFile(host, kPackageObject, m_package, port), 0);
    EXPECT_TRUE(FileExists(m_package));
    EXPECT_EQ(ReadWholeFile(m_package), "");

    // Connect or send, as the platform decides; one trace per call.
    ASSERT_EQ(g_traces.size(), 2u);
    const char* operations[] = {"InternetGetData", "InternetGetFile"};
    for (int i = 0; i < 2; ++i) {
        std::string prefix = std::string("ZUN!") + operations[i] + " Failed on ";
        EXPECT_EQ(g_traces[i].rfind(prefix, 0), 0u) << g_traces[i];
        std::string step = g_traces[i].substr(prefix.size(), g_traces[i].find(',') - prefix.size());
        EXPECT_TRUE(step == "InternetConnect" || step == "HttpSendRequest") << g_traces[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Hosts, UnreachableServerTest,
                         ::testing::Values(UnreachableCase{"nobody_listening", true},
                                           UnreachableCase{"unresolvable_name", false}),
                         [](const auto& info) { return std::string(info.param.name); });

BOOL WINAPI NotConnected(LPDWORD flags, DWORD) {
    *flags = 0;
    ::SetLastError(ERROR_NOT_CONNECTED);
    return FALSE;
}

TEST_F(TransportTest, NoNetworkConnectionStopsBeforeAnyRequest) {
    g_internetGetConnectedState = &NotConnected;
    EXPECT_EQ(GetData(), "");
    EXPECT_EQ(GetFile(), 0);
    EXPECT_TRUE(FileExists(m_package));
    EXPECT_EQ(ReadWholeFile(m_package), "");
    EXPECT_EQ(m_server.RequestCount(), 0u);
    std::vector<std::string> expected = {
        "ZUN!InternetGetData Failed on InternetGetConnectedState, last error 2250\n",
        "ZUN!InternetGetFile Failed on InternetGetConnectedState, last error 2250\n",
    };
    EXPECT_EQ(g_traces, expected);
}

TEST_F(TransportTest, PackageThatCannotBeStoredIsNotFetched) {
    m_server.Route("/download/qev/qev64.msi", HttpReply::Bytes("MSI"));
    std::string nowhere = m_dir + "\\missing\\QEVInstaller.msi";
    EXPECT_EQ(InternetGetFile(kHost, kPackageObject, nowhere, m_server.Port()), 0);
    EXPECT_FALSE(FileExists(nowhere));
    EXPECT_EQ(m_server.RequestCount(), 0u);
    std::vector<std::string> expected = {"ZUN!InternetGetFile Failed on CreateFile, last error 3\n"};
    EXPECT_EQ(g_traces, expected);
}

TEST(DebugTrace, FormatsWithoutAddingALineEndAndCutsAt4095Characters) {
    g_traces.clear();
    g_outputDebugString = &RecordTrace;
    DebugTrace("ZUN!%s Failed on %s, last error %d", "InternetGetData", "InternetOpen", 12007);
    DebugTrace("%s", std::string(5000, 'x').c_str());
    g_outputDebugString = &::OutputDebugStringA;

    ASSERT_EQ(g_traces.size(), 2u);
    EXPECT_EQ(g_traces[0], "ZUN!InternetGetData Failed on InternetOpen, last error 12007");
    EXPECT_EQ(g_traces[1], std::string(4095, 'x'));
}

}  // namespace
