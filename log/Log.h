#pragma once
// The program's one diagnostic channel: a rolling log file beside the executable.
#include <cstddef>

#if defined(__GNUC__)
#define QEVZUN_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define QEVZUN_PRINTF(fmt, args)
#endif

// printf-style; callable from any thread; never fail towards the caller.
void LogInfo(const char* format, ...) QEVZUN_PRINTF(1, 2);   // priority 600
void LogError(const char* format, ...) QEVZUN_PRINTF(1, 2);  // priority 300
void LogCrit(const char* format, ...) QEVZUN_PRINTF(1, 2);   // priority 200

// Common step behind the entry points, and the self-configuration it runs.
void LogWrite(int priority, const char* text, std::size_t length);
void LogConfigure();
