#include "tests/support/HttpTestServer.h"

#include "app/UniqueHandle.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iterator>

namespace {

struct SocketTraits {
    static SOCKET Invalid() noexcept { return INVALID_SOCKET; }
    static void Close(SOCKET s) noexcept { ::closesocket(s); }
};
using UniqueSocket = UniqueHandle<SOCKET, SocketTraits>;

constexpr std::size_t kMaxHead = 64 * 1024;
constexpr DWORD kReceiveTimeoutMs = 5000;
constexpr DWORD kCloseWaitMs = 2000;
constexpr int kBindAttempts = 50;  // 100 ms apart
constexpr long kAcceptPollUs = 50 * 1000;

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(const std::string& s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return std::string();
    std::size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

const char* ReasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

bool SendAll(SOCKET s, const char* data, std::size_t size) {
    while (size > 0) {
        int chunk = static_cast<int>(std::min<std::size_t>(size, 64 * 1024));
        int sent = ::send(s, data, chunk, 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

void SetReceiveTimeout(SOCKET s, DWORD ms) {
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof(ms));
}


// Reads one request head and any Content-Length body. False on a closed,
// timed-out or malformed connection.
bool ReadRequest(SOCKET s, HttpRequestRecord& request) {
    std::string data;
    std::size_t headEnd = std::string::npos;
    char buffer[4096];
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        if (data.size() > kMaxHead) return false;
        int n = ::recv(s, buffer, sizeof(buffer), 0);
        if (n <= 0) return false;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    std::string head = data.substr(0, headEnd);
    std::string rest = data.substr(headEnd + 4);

    std::size_t lineEnd = head.find("\r\n");
    std::string requestLine = head.substr(0, lineEnd);
    std::size_t sp1 = requestLine.find(' ');
    std::size_t sp2 = requestLine.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) return false;
    request.method = requestLine.substr(0, sp1);
    request.target = requestLine.substr(sp1 + 1, sp2 - sp1 - 1);
    request.version = requestLine.substr(sp2 + 1);

    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        std::size_t next = head.find("\r\n", pos);
        std::string line = head.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
        std::size_t colon = line.find(':');
        if (colon != std::string::npos) request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        if (next == std::string::npos) break;
        pos = next + 2;
    }

    std::size_t length = static_cast<std::size_t>(std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10));
    while (rest.size() < length) {
        int n = ::recv(s, buffer, sizeof(buffer), 0);
        if (n <= 0) return false;
        rest.append(buffer, static_cast<std::size_t>(n));
    }
    request.body = rest.substr(0, length);
    return true;
}

std::string ResponseHead(const HttpReply& reply, std::uint64_t contentLength) {
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
    if (!reply.contentType.empty()) head += "Content-Type: " + reply.contentType + "\r\n";
    head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto& [name, value] : reply.headers) head += name + ": " + value + "\r\n";
    head += "\r\n";
    return head;
}

constexpr std::size_t kPatternBlock = 64 * 1024;
constexpr std::size_t kStreamChunk = 64 * 1024;

// Holds the connection without answering until the peer closes it or Stop wakes it.
void WaitForPeerToLeave(SOCKET s) {
    SetReceiveTimeout(s, 0);  // no limit
    char sink[1024];
    while (::recv(s, sink, sizeof(sink), 0) > 0) {
    }
}

// Sends the body of a Streamed reply, made piece by piece. False when the peer went.
bool SendStreamedBody(SOCKET s, const HttpReply& reply) {
    std::vector<char> chunk(kStreamChunk);
    std::uint64_t sent = 0;
    while (sent < reply.streamedSize) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kStreamChunk, reply.streamedSize - sent));
        for (std::size_t i = 0; i < n;) {
            std::uint64_t offset = sent + i;
            if (offset < reply.body.size()) {
                std::size_t take = std::min<std::size_t>(n - i, reply.body.size() - static_cast<std::size_t>(offset));
                std::copy_n(reply.body.data() + offset, take, chunk.data() + i);
                i += take;
            } else if (reply.fill >= 0) {
                std::fill(chunk.data() + i, chunk.data() + n, static_cast<char>(reply.fill));
                i = n;
            } else {
                HttpReply::PatternBytes(offset, chunk.data() + i, n - i);
                i = n;
            }
        }
        if (!SendAll(s, chunk.data(), n)) return false;
        sent += n;
    }
    return true;
}

// Lets the client close first, so that the server's port is not left in
// TIME_WAIT for the next test process that binds it.
void WaitForClientClose(SOCKET s) {
    SetReceiveTimeout(s, kCloseWaitMs);
    char sink[1024];
    while (::recv(s, sink, sizeof(sink), 0) > 0) {
    }
}

}  // namespace

// ---------------------------------------------------------------- records and replies

bool HttpRequestRecord::HasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return SameName(h.first, name); });
}

std::string HttpRequestRecord::Header(const std::string& name) const {
    for (const auto& h : headers)
        if (SameName(h.first, name)) return h.second;
    return std::string();
}

HttpReply HttpReply::Json(std::string body) {
    HttpReply r;
    r.body = std::move(body);
    return r;
}

HttpReply HttpReply::Bytes(std::string body, std::string contentType) {
    HttpReply r;
    r.body = std::move(body);
    r.contentType = std::move(contentType);
    return r;
}

HttpReply HttpReply::NotFound() {
    HttpReply r;
    r.status = 404;
    r.contentType = "text/html";
    r.body = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>\n";
    return r;
}

HttpReply HttpReply::DroppedInBody(std::string body, std::size_t bytesBeforeDrop) {
    HttpReply r;
    r.kind = Kind::DropInBody;
    r.contentType = "application/octet-stream";
    r.body = std::move(body);
    r.bytesBeforeDrop = std::min(bytesBeforeDrop, r.body.size());
    return r;
}

HttpReply HttpReply::Reset() {
    HttpReply r;
    r.kind = Kind::ResetWithoutAnswer;
    return r;
}

HttpReply HttpReply::NeverAnswers() {
    HttpReply r;
    r.kind = Kind::Silent;
    return r;
}

HttpReply HttpReply::StalledInBody(std::string body, std::size_t bytesBeforeDrop) {
    HttpReply r = DroppedInBody(std::move(body), bytesBeforeDrop);
    r.kind = Kind::StallInBody;
    return r;
}

HttpReply HttpReply::Pattern(std::uint64_t size) {
    HttpReply r;
    r.kind = Kind::Streamed;
    r.contentType = "application/octet-stream";
    r.streamedSize = size;
    return r;
}

HttpReply HttpReply::Padded(std::string start, std::uint64_t size, char fill) {
    HttpReply r;
    r.kind = Kind::Streamed;
    r.body = std::move(start);
    r.streamedSize = size;
    r.fill = static_cast<unsigned char>(fill);
    return r;
}

void HttpReply::PatternBytes(std::uint64_t offset, char* out, std::size_t size) {
    static const std::vector<char> cycle = [] {
        std::vector<char> bytes(kPatternBlock);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 251);
        return bytes;
    }();
    while (size > 0) {
        std::size_t inBlock = static_cast<std::size_t>(offset % kPatternBlock);
        std::uint64_t block = offset / kPatternBlock;
        std::size_t n = std::min(size, kPatternBlock - inBlock);
        std::copy_n(cycle.data() + inBlock, n, out);
        for (std::size_t i = inBlock; i < 8 && i < inBlock + n; ++i)
            out[i - inBlock] = static_cast<char>((block >> (8 * i)) & 0xFF);
        out += n;
        offset += n;
        size -= n;
    }
}

// ---------------------------------------------------------------- server

struct HttpTestServer::Connection {
    std::mutex closing;  // Stop may wake the socket while its thread closes it
    UniqueSocket socket;
    std::thread thread;
    std::atomic<bool> done{false};

    // abortive: the peer sees a reset, not an orderly end of the stream.
    void Close(bool abortive) {
        std::lock_guard<std::mutex> lock(closing);
        if (abortive && socket) {
            linger hard{1, 0};
            ::setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof(hard));
        }
        socket.reset();
    }
    void Wake() {
        std::lock_guard<std::mutex> lock(closing);
        if (socket) ::shutdown(socket.get(), SD_BOTH);
    }
};

HttpTestServer::HttpTestServer() = default;

HttpTestServer::~HttpTestServer() { Stop(); }

bool HttpTestServer::Start(unsigned short port) {
    Stop();
    m_startError.clear();
    WSADATA wsa;
    if (int rc = ::WSAStartup(MAKEWORD(2, 2), &wsa); rc != 0) {
        m_startError = "WSAStartup failed: " + std::to_string(rc);
        return false;
    }
    m_winsockStarted = true;

    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);

    UniqueSocket listener;
    int error = 0;
    for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
        listener.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        if (!listener) {
            error = ::WSAGetLastError();
            break;
        }
        if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            error = 0;
            break;
        }
        error = ::WSAGetLastError();
        listener.reset();
        if (port == 0 || error != WSAEADDRINUSE) break;
        ::Sleep(100);
    }
    if (error != 0 || ::listen(listener.get(), SOMAXCONN) != 0) {
        m_startError = "cannot listen on 127.0.0.1:" + std::to_string(port) + ", error " +
                       std::to_string(error != 0 ? error : ::WSAGetLastError());
        Stop();
        return false;
    }
    sockaddr_in bound{};
    int boundLength = sizeof(bound);
    ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&bound), &boundLength);
    m_port = ntohs(bound.sin_port);

    m_accepting = true;
    m_acceptThread = std::thread([this, raw = listener.release()] { AcceptLoop(raw); });
    return true;
}

void HttpTestServer::StopAccepting() {
    m_accepting = false;
    std::lock_guard<std::mutex> lock(m_acceptJoinMutex);
    if (m_acceptThread.joinable()) m_acceptThread.join();
}

void HttpTestServer::Stop() {
    StopAccepting();
    std::vector<std::unique_ptr<Connection>> connections;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        connections.swap(m_connections);
        // Wake connections that wait for their peer.
    }
    for (auto& c : connections) c->Wake();
    for (auto& c : connections)
        if (c->thread.joinable()) c->thread.join();
    if (m_winsockStarted) {
        ::WSACleanup();
        m_winsockStarted = false;
    }
}

void HttpTestServer::AcceptLoop(std::uintptr_t rawListener) {
    UniqueSocket listener(static_cast<SOCKET>(rawListener));
    while (m_accepting) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener.get(), &readable);
        timeval wait{0, kAcceptPollUs};
        int ready = ::select(0, &readable, nullptr, nullptr, &wait);
        if (ready < 0) break;
        if (ready == 0 || !m_accepting) continue;
        UniqueSocket accepted(::accept(listener.get(), nullptr, nullptr));
        if (!accepted) continue;
        ReapFinishedConnections();
        auto connection = std::make_unique<Connection>();
        connection->socket = std::move(accepted);
        Connection* raw = connection.get();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connections.push_back(std::move(connection));
        raw->thread = std::thread([this, raw] {
            Serve(*raw);
            raw->done = true;
        });
    }
    // The listener closes here: from now on connections are refused.
}

void HttpTestServer::ReapFinishedConnections() {
    std::vector<std::unique_ptr<Connection>> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto split = std::stable_partition(m_connections.begin(), m_connections.end(),
                                           [](const auto& c) { return !c->done; });
        std::move(split, m_connections.end(), std::back_inserter(finished));
        m_connections.erase(split, m_connections.end());
    }
    for (auto& c : finished) c->thread.join();
}

void HttpTestServer::Serve(Connection& connection) {
    SOCKET s = connection.socket.get();
    SetReceiveTimeout(s, kReceiveTimeoutMs);
    HttpRequestRecord request;
    if (!ReadRequest(s, request)) {
        connection.Close(false);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requests.push_back(request);
    }
    HttpReply reply = ReplyFor(request);

    switch (reply.kind) {
    case HttpReply::Kind::ResetWithoutAnswer:
        connection.Close(true);
        return;
    case HttpReply::Kind::DropInBody: {
        std::string head = ResponseHead(reply, reply.body.size());
        if (SendAll(s, head.data(), head.size()) && SendAll(s, reply.body.data(), reply.bytesBeforeDrop))
            ::Sleep(reply.dropDelayMs);
        connection.Close(true);
        return;
    }
    case HttpReply::Kind::Silent:
        WaitForPeerToLeave(s);
        connection.Close(false);
        return;
    case HttpReply::Kind::StallInBody: {
        std::string head = ResponseHead(reply, reply.body.size());
        if (SendAll(s, head.data(), head.size()) && SendAll(s, reply.body.data(), reply.bytesBeforeDrop))
            WaitForPeerToLeave(s);
        connection.Close(false);
        return;
    }
    case HttpReply::Kind::Streamed: {
        if (reply.answerDelayMs > 0) ::Sleep(reply.answerDelayMs);
        std::string head = ResponseHead(reply, reply.streamedSize);
        // A client that stops reading makes the send fail, which ends the stream.
        if (SendAll(s, head.data(), head.size()) && SendStreamedBody(s, reply)) WaitForClientClose(s);
        connection.Close(false);
        return;
    }
    case HttpReply::Kind::Answer: {
        if (reply.answerDelayMs > 0) ::Sleep(reply.answerDelayMs);
        std::string message = ResponseHead(reply, reply.body.size());
        if (request.method != "HEAD") message += reply.body;
        if (SendAll(s, message.data(), message.size())) WaitForClientClose(s);
        connection.Close(false);
        return;
    }
    }
}

HttpReply HttpTestServer::ReplyFor(const HttpRequestRecord& request) {
    Handler fallback;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pushed.empty()) {
            HttpReply reply = std::move(m_pushed.front());
            m_pushed.erase(m_pushed.begin());
            return reply;
        }
        auto route = m_routes.find(request.target);
        if (route != m_routes.end()) return route->second;
        fallback = m_fallback;
    }
    return fallback ? fallback(request) : HttpReply::NotFound();
}

void HttpTestServer::Push(HttpReply reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pushed.push_back(std::move(reply));
}

void HttpTestServer::Route(const std::string& target, HttpReply reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_routes[target] = std::move(reply);
}

void HttpTestServer::SetFallback(Handler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fallback = std::move(handler);
}

std::vector<HttpRequestRecord> HttpTestServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::size_t HttpTestServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests.size();
}
