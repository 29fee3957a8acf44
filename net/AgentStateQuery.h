#pragma once
// Asks the status server which state it holds for this machine's agent, once or
// by polling, and turns the answer into an AgentStatus code.
#include <windows.h>

#include <map>
#include <string>

// Server state name -> AgentStatus code; names match exactly, case included.
// Built once at start-up and only read (find) afterwards, from any thread.
extern const std::map<std::string, int> ServerStateCodes;

// An answer that did not arrive whole, is not JSON, or is longer than 1 MiB
// is no usable answer.
// Not installed: 4; UUID exactly "N/A" (the whole text): 2; otherwise one ask.
// releaseVersion is written only when a usable answer arrived. uuid is UTF-8;
// the request carries it up to its first zero byte.
int CheckQEVStatusImmediate(const std::string& uuid, std::string& releaseVersion);

// poll: up to tries asks, g_pollPauseMs apart, until the server reports NORMAL;
// the code of the last usable answer, or 2 when none came.
// !poll: one ask without a pause.
int CheckQEVStatusWithDelay(const std::string& uuid, unsigned int tries, bool poll);

// Seam in front of the pause between polls.
using PollSleepFn = void(WINAPI*)(DWORD milliseconds);
extern PollSleepFn g_pollSleep;
