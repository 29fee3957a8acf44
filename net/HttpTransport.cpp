#include "net/HttpTransport.h"

#include "app/BuildConfig.h"
#include "app/FreshFile.h"
#include "app/Handles.h"
#include "net/WinInetApi.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The seams' real calls. A seam is only called once WinInet() was found complete.
BOOL WINAPI BoundConnectedState(LPDWORD flags, DWORD reserved) {
    return WinInet().getConnectedState(flags, reserved);
}
HINTERNET WINAPI BoundOpenRequest(HINTERNET connection, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                                  LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context) {
    return WinInet().openRequest(connection, verb, objectName, version, referrer, acceptTypes, flags, context);
}

}  // namespace

ConnectedStateFn g_internetGetConnectedState = &BoundConnectedState;
HttpOpenRequestFn g_httpOpenRequest = &BoundOpenRequest;
DebugOutputFn g_outputDebugString = &::OutputDebugStringA;

namespace {

constexpr DWORD kChunkSize = 16384;
// A package moves in larger chunks: each read and write costs a fixed price
// in calls on top of the bytes, and where calls are dear (a 32-bit process
// under emulation) 16 KiB chunks bound the download at a fraction of what the
// connection carries. Still one chunk in memory, whatever the package's size.
constexpr DWORD kFileChunkSize = 1048576;
// Always from the origin server, never from a cache; keep-alive requested.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION;
// Without NO_CACHE_WRITE WinINet stores every body it reads in the user's URL
// cache as well: each package download would leave a second copy of the
// installer there and write every byte twice.
constexpr DWORD kPackageRequestFlags = kRequestFlags | INTERNET_FLAG_NO_CACHE_WRITE;
const char* const kUserAgent = "QEV Agent";

// Over HTTPS WinINet checks the server's certificate chain and name and fails
// the request when either does not hold. No flag or option here ever relaxes
// that: a server that cannot prove itself gets no request.
DWORD WithTransport(DWORD requestFlags, bool secure) {
    return secure ? requestFlags | INTERNET_FLAG_SECURE : requestFlags;
}

// Port 0 names the service's default, which for INTERNET_SERVICE_HTTP is 80
// whatever the request flags say; over HTTPS it must be 443.
INTERNET_PORT ServerPort(unsigned short port, bool secure) {
    return port == 0 && secure ? INTERNET_DEFAULT_HTTPS_PORT : port;
}

void TraceFailure(const char* operation, const char* step, DWORD error) {
    DebugTrace("ZUN!%s Failed on %s, last error %d\n", operation, step, static_cast<int>(error));
}

// Whether the answer in hand still comes over HTTPS. A redirect that the
// server answers with is followed inside HttpSendRequest, and not every WinINet
// refuses one that leads to plain HTTP: an answer from there is none.
// A URL that cannot be read counts as not secure.
bool StillSecure(HINTERNET request) {
    DWORD size = 0;
    WinInet().queryOption(request, INTERNET_OPTION_URL, nullptr, &size);
    if (size == 0 || size > 65536) return false;
    std::vector<char> url(size + 1, '\0');
    if (!WinInet().queryOption(request, INTERNET_OPTION_URL, url.data(), &size)) return false;
    return ::_strnicmp(url.data(), "https://", 8) == 0;
}

// Without limits of its own WinINet may wait for a silent server for minutes
// or without end, and the state query waits on the main dialog's thread. The
// limits apply to each wait, not to the whole transfer, so a long download
// that keeps moving is never cut. They are set on the internet handle, which
// hands them to what is opened from it, and on the request itself, which not
// every WinINet takes over from its parents.
void LimitWaits(const char* operation, HINTERNET handle) {
    static const DWORD kOptions[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                                     INTERNET_OPTION_RECEIVE_TIMEOUT};
    DWORD timeout = g_networkTimeoutMs;
    for (DWORD option : kOptions) {
        // A refused option leaves the platform's own limit; the transfer goes on.
        if (!WinInet().setOption(handle, option, &timeout, sizeof(timeout)))
            TraceFailure(operation, "InternetSetOption", ::GetLastError());
    }
}

// One GET in flight. Members close in reverse order: request, connection, internet.
struct Transfer {
    UniqueInternetHandle internet;
    UniqueInternetHandle connection;
    UniqueInternetHandle request;
};

// Connected-state check, open, connect, open request, send. Traces the failing step.
bool SendRequest(const char* operation, const std::string& host, const std::string& objectName,
                 unsigned short port, bool secure, DWORD requestFlags, Transfer& transfer) {
    const WinInetApi& api = WinInet();
    if (!api.complete) {
        TraceFailure(operation, "InternetOpen", api.error);
        return false;
    }
    DWORD connectedFlags = 0;
    if (!g_internetGetConnectedState(&connectedFlags, 0)) {
        TraceFailure(operation, "InternetGetConnectedState", ::GetLastError());
        return false;
    }
    transfer.internet.reset(api.open(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!transfer.internet) {
        TraceFailure(operation, "InternetOpen", ::GetLastError());
        return false;
    }
    LimitWaits(operation, transfer.internet.get());
    transfer.connection.reset(api.connect(transfer.internet.get(), host.c_str(), ServerPort(port, secure), nullptr,
                                          nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!transfer.connection) {
        TraceFailure(operation, "InternetConnect", ::GetLastError());
        return false;
    }
    transfer.request.reset(g_httpOpenRequest(transfer.connection.get(), "GET", objectName.c_str(), nullptr,
                                            nullptr, nullptr, WithTransport(requestFlags, secure), 0));
    if (!transfer.request) {
        TraceFailure(operation, "HttpOpenRequest", ::GetLastError());
        return false;
    }
    LimitWaits(operation, transfer.request.get());
    if (!api.sendRequest(transfer.request.get(), nullptr, 0, nullptr, 0)) {
        TraceFailure(operation, "HttpSendRequest", ::GetLastError());
        return false;
    }
    if (secure && !StillSecure(transfer.request.get())) {
        TraceFailure(operation, "HttpsRedirect", ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        return false;
    }
    return true;
}

// Reads the body chunk by chunk until a read of 0 bytes; consume(data, n) gets
// exactly the bytes of each chunk and may refuse them by returning false.
template <typename Consumer>
bool ReadBody(const char* operation, HINTERNET request, DWORD chunkSize, Consumer&& consume) {
    std::vector<char> buffer(chunkSize, '\0');
    for (;;) {
        DWORD read = 0;
        if (!WinInet().readFile(request, buffer.data(), chunkSize, &read)) {
            TraceFailure(operation, "InternetReadFile", ::GetLastError());
            return false;
        }
        if (read == 0) return true;
        if (!consume(buffer.data(), read)) return false;
    }
}

// An installer package is only what a 200 answer carries; an error page is not one.
bool AnswerIsOk(const char* operation, HINTERNET request) {
    DWORD status = 0;
    DWORD length = sizeof(status);
    if (!WinInet().queryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) {
        TraceFailure(operation, "HttpQueryInfo", ::GetLastError());
        return false;
    }
    if (status != HTTP_STATUS_OK) {
        DebugTrace("ZUN!%s Failed on HttpStatus, status %lu\n", operation, static_cast<unsigned long>(status));
        return false;
    }
    return true;
}

}  // namespace

void DebugTrace(const char* format, ...) {
    char buffer[4096] = {};
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof(buffer), format, args);  // longer output is cut at 4095
    va_end(args);
    g_outputDebugString(buffer);
}

std::string InternetGetData(const std::string& host, const std::string& objectName, unsigned short port,
                            std::size_t maxBodyBytes, bool secure) {
    static const char* const kOperation = "InternetGetData";
    std::string body;
    bool tooLong = false;
    Transfer transfer;
    if (SendRequest(kOperation, host, objectName, port, secure, kRequestFlags, transfer)) {
        ReadBody(kOperation, transfer.request.get(), kChunkSize, [&](const char* data, DWORD n) {
            if (n > maxBodyBytes - body.size()) {
                tooLong = true;
                return false;  // the rest is not read; closing the request drops it
            }
            body.append(data, n);
            return true;
        });
    }
    if (tooLong) {
        DebugTrace("ZUN!%s Failed on BodyLimit, more than %lu bytes\n", kOperation,
                   static_cast<unsigned long>(maxBodyBytes));
        return std::string();
    }
    return body;
}

int InternetGetFile(const std::string& host, const std::string& objectName, const std::string& localPath,
                    unsigned short port, bool secure) {
    static const char* const kOperation = "InternetGetFile";
    LogInfo("Download QEV from url:%s/%s", host.c_str(), objectName.c_str());

    // A package that cannot be stored is no download: nothing is fetched then.
    // The file is made afresh, never truncated: the path lies where the user
    // may write, and a link planted there would send the bytes elsewhere.
    UniqueFileHandle file = CreateFreshFile(localPath);
    if (!file) {
        TraceFailure(kOperation, "CreateFile", ::GetLastError());
        return 0;
    }

    bool complete = false;
    {
        Transfer transfer;
        if (SendRequest(kOperation, host, objectName, port, secure, kPackageRequestFlags, transfer) &&
            AnswerIsOk(kOperation, transfer.request.get())) {
            complete = ReadBody(kOperation, transfer.request.get(), kFileChunkSize, [&file](const char* data, DWORD n) {
                DWORD written = 0;
                if (!::WriteFile(file.get(), data, n, &written, nullptr) || written != n) {
                    TraceFailure(kOperation, "WriteFile", ::GetLastError());
                    return false;
                }
                return true;
            });
        }
        file.reset();  // the file is closed before the handles of the transfer
    }
    return complete ? 1 : 0;
}
