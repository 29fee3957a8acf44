#pragma once
// A loopback HTTP/1.1 server inside the test process: plays the status server
// and the download server with scripted answers, and keeps a log of the
// requests it saw. One request per connection ("Connection: close").
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

struct HttpRequestRecord {
    std::string method;
    std::string target;   // as on the request line, e.g. "/aapi/v1/zun/agentState/..."
    std::string version;  // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // in order, as sent
    std::string body;

    bool HasHeader(const std::string& name) const;        // name without regard to case
    std::string Header(const std::string& name) const;    // first value; "" when absent
};

struct HttpReply {
    enum class Kind {
        Answer,              // status line, headers, the whole body
        DropInBody,          // announces the whole body, sends bytesBeforeDrop of it, then resets
        ResetWithoutAnswer,  // reads the request and resets the connection
        Silent,              // reads the request and answers nothing until the client leaves
        StallInBody,         // announces the whole body, sends bytesBeforeDrop of it, then goes silent
        Streamed,            // announces streamedSize bytes and makes them while sending (below)
    };
    Kind kind = Kind::Answer;
    int status = 200;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers;  // extra headers
    std::string body;  // Streamed: the first bytes of the body
    std::size_t bytesBeforeDrop = 0;
    unsigned int dropDelayMs = 400;  // lets the client take in the partial body before the reset
    unsigned int answerDelayMs = 0;  // Answer and Streamed: silence before the status line
    std::uint64_t streamedSize = 0;  // Streamed: body, then fill bytes (or PatternBytes) up to this size
    int fill = -1;                   // Streamed: the byte after body; -1: PatternBytes at that offset

    static HttpReply Json(std::string body);
    static HttpReply Bytes(std::string body, std::string contentType = "application/octet-stream");
    static HttpReply NotFound();  // 404 with a small HTML page
    static HttpReply DroppedInBody(std::string body, std::size_t bytesBeforeDrop);
    static HttpReply Reset();
    static HttpReply NeverAnswers();
    static HttpReply StalledInBody(std::string body, std::size_t bytesBeforeDrop);
    // size bytes of PatternBytes, never held in memory as a whole.
    static HttpReply Pattern(std::uint64_t size);
    // start, then the fill byte up to size bytes in all.
    static HttpReply Padded(std::string start, std::uint64_t size, char fill);

    // The bytes of a Pattern body from offset on: every 64 KiB block begins with
    // its number (8 bytes, little-endian) and goes on in a cycle of 251 bytes,
    // so a lost, repeated or swapped piece of any size shows.
    static void PatternBytes(std::uint64_t offset, char* out, std::size_t size);
};

class HttpTestServer {
public:
    using Handler = std::function<HttpReply(const HttpRequestRecord&)>;

    HttpTestServer();
    ~HttpTestServer();  // stops
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // Listens on 127.0.0.1. port 0: any free port. A fixed port that is busy is
    // retried for a few seconds (another test process may still hold it).
    bool Start(unsigned short port = 0);
    void Stop();                 // waits for every connection to end
    void StopAccepting();        // later connections are refused; callable from a handler
    unsigned short Port() const { return m_port; }
    std::string StartError() const { return m_startError; }

    // Which reply a request gets: the oldest pushed one, else the route for its
    // target, else the fallback (default: NotFound).
    void Push(HttpReply reply);
    void Route(const std::string& target, HttpReply reply);
    void SetFallback(Handler handler);

    std::vector<HttpRequestRecord> Requests() const;
    std::size_t RequestCount() const;

private:
    struct Connection;

    void AcceptLoop(std::uintptr_t listener);  // a SOCKET; users need no Winsock headers
    void Serve(Connection& connection);
    HttpReply ReplyFor(const HttpRequestRecord& request);
    void ReapFinishedConnections();

    unsigned short m_port = 0;
    bool m_winsockStarted = false;
    std::string m_startError;
    std::atomic<bool> m_accepting{false};
    std::thread m_acceptThread;
    std::mutex m_acceptJoinMutex;

    mutable std::mutex m_mutex;  // guards everything below
    std::vector<HttpReply> m_pushed;
    std::map<std::string, HttpReply> m_routes;
    Handler m_fallback;
    std::vector<HttpRequestRecord> m_requests;
    std::vector<std::unique_ptr<Connection>> m_connections;
};
