#pragma once
// The program's two blocking HTTP GET operations over WinINet, and the debugger
// trace that reports their failed steps. Each waits at most g_networkTimeoutMs
// (BuildConfig.h) for a connection and for each next part of the exchange.
#include "log/Log.h"

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <string>

// The most InternetGetData keeps in memory unless its caller asks for less.
constexpr std::size_t kMaxDataBodyBytes = 1048576;

// secure: HTTPS, and port 0 is its default, 443; a certificate that the system
// does not trust for host fails the request. Otherwise plain HTTP, port 0: 80.

// The body as received; empty or partial when the transfer failed. The status
// line is not examined: the body decides.
// A body longer than maxBodyBytes is not read further and gives an empty
// result: the program is a 32-bit process, and no cut-off prefix of an answer
// may pass for the answer.
std::string InternetGetData(const std::string& host, const std::string& objectName, unsigned short port = 0,
                            std::size_t maxBodyBytes = kMaxDataBodyBytes, bool secure = false);

// Stores the body at localPath, as a new file (whatever was there is removed
// first; a link, not what it leads to). 1 after a complete
// transfer of a 200 answer, 0 otherwise; what arrived before a failure stays.
// Only one chunk is ever in memory, whatever the size of the body.
int InternetGetFile(const std::string& host, const std::string& objectName, const std::string& localPath,
                    unsigned short port = 0, bool secure = false);

// printf-style into the debugger output channel, at most 4095 characters; no line end added.
void DebugTrace(const char* format, ...) QEVZUN_PRINTF(1, 2);

// Seams in front of the calls whose outcome or argument a test machine cannot
// show: the connected-state answer, the request flags (no cache there answers
// differently), and the debugger channel.
using ConnectedStateFn = BOOL(WINAPI*)(LPDWORD flags, DWORD reserved);
extern ConnectedStateFn g_internetGetConnectedState;
using HttpOpenRequestFn = HINTERNET(WINAPI*)(HINTERNET connection, LPCSTR verb, LPCSTR objectName, LPCSTR version,
                                             LPCSTR referrer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);
extern HttpOpenRequestFn g_httpOpenRequest;
using DebugOutputFn = void(WINAPI*)(LPCSTR text);
extern DebugOutputFn g_outputDebugString;
