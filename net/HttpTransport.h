#pragma once
// The program's two blocking HTTP GET operations over WinINet, and the debugger
// trace that reports their failed steps.
#include "log/Log.h"

#include <windows.h>
#include <wininet.h>

#include <string>

// The body as received; empty or partial when the transfer failed. The status
// line is not examined: the body decides. port 0: the HTTP default, 80.
std::string InternetGetData(const std::string& host, const std::string& objectName, unsigned short port = 0);

// Stores the body at localPath (created or truncated first). 1 after a complete
// transfer of a 200 answer, 0 otherwise; what arrived before a failure stays.
int InternetGetFile(const std::string& host, const std::string& objectName, const std::string& localPath,
                    unsigned short port = 0);

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
