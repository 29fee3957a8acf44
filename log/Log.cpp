#include "log/Log.h"

#include <log4cpp/Category.hh>
#include <log4cpp/OstreamAppender.hh>
#include <log4cpp/PatternLayout.hh>
#include <log4cpp/Priority.hh>
#include <log4cpp/RollingFileAppender.hh>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <string>

namespace {
// A plain, non-recursive lock that waits without a kernel object: the lines
// of busy threads meet here on every write, and a wait on an event costs a
// system call each time the lock changes hands.
class LogMutex {
public:
    void lock() noexcept { ::AcquireSRWLockExclusive(&m_lock); }
    void unlock() noexcept { ::ReleaseSRWLockExclusive(&m_lock); }

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
};
}  // namespace

log4cpp::Category* g_rootLogger = nullptr;
std::string g_processName;
std::int64_t g_lastConfigCheckMs = 0;
int g_logThreshold = 0;
LogMutex g_logMutex;

namespace {
// The program logs first on the UI thread, but a first write may still race on
// several threads: the start-up line is written exactly once, before any other.
std::once_flag g_startOnce;
std::atomic<bool> g_loggerReady{false};
thread_local bool t_startingUp = false;
}  // namespace

namespace {

constexpr int kPriorityCrit = 200;
constexpr int kPriorityError = 300;
constexpr int kPriorityInfo = 600;
constexpr std::int64_t kConfigCheckIntervalMs = 10000;
constexpr std::size_t kMaxLogFileSize = 10485760;
constexpr unsigned int kLogBackups = 1;
const char* const kConfiguredPriority = "DEBUG";

std::int64_t WallClockMs() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // 100 ns units since 1601 -> ms since 1970.
    return static_cast<std::int64_t>(t.QuadPart / 10000ULL) - 11644473600000LL;
}

std::string ExecutablePath() {
    char path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return std::string(path, n);
}

std::string ExecutableDirectory() {
    char path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    ::PathRemoveFileSpecA(path);
    return std::string(path);
}

std::string FileNameWithoutExtension(const std::string& path) {
    std::string name = path;
    std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

void LogFormatted(int priority, const char* format, va_list args) {
    char buffer[2048] = {};
    int needed = std::vsnprintf(buffer, 2047, format, args);
    // Too long to keep whole: drop it rather than log half a message.
    if (needed < 0 || needed >= 2048) return;
    std::size_t stored = std::min<std::size_t>(static_cast<std::size_t>(needed), 2046);
    LogWrite(priority, buffer, stored);
}

}  // namespace

void LogConfigure() {
    std::lock_guard<LogMutex> lock(g_logMutex);
    if (g_processName.empty()) {
        std::string exe = ExecutablePath();
        if (!exe.empty()) g_processName = FileNameWithoutExtension(exe);
    }

    std::int64_t now = WallClockMs();
    if (now < g_lastConfigCheckMs + kConfigCheckIntervalMs) return;
    g_lastConfigCheckMs = now;

    std::string name = kConfiguredPriority;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    int wanted = kPriorityInfo;
    try {
        wanted = log4cpp::Priority::getPriorityValue(name);
    } catch (...) {
        wanted = log4cpp::Priority::DEBUG;
    }
    if (wanted == g_logThreshold) return;

    try {
        log4cpp::Category::shutdown();
        auto* layout = new log4cpp::PatternLayout();
        layout->setConversionPattern("%d [%p] %m%n");

        std::string dir = ExecutableDirectory();
        log4cpp::Appender* appender = nullptr;
        if (!dir.empty()) {
            appender = new log4cpp::RollingFileAppender("main", dir + "\\QEVZUNLOG.log",
                                                        kMaxLogFileSize, kLogBackups, true);
        } else {
            appender = new log4cpp::OstreamAppender("main", &std::cout);
        }
        appender->setLayout(layout);
        log4cpp::Category& root = log4cpp::Category::getRoot();
        root.addAppender(appender);
        root.setPriority(wanted);
        g_logThreshold = wanted;
    } catch (...) {
        // Logging must never fail its caller; the lines are lost instead.
    }
}

void LogWrite(int priority, const char* text, std::size_t length) {
    if (!g_loggerReady.load(std::memory_order_acquire) && !t_startingUp) {
        std::call_once(g_startOnce, [] {
            t_startingUp = true;  // the nested start-up write goes straight on
            g_rootLogger = &log4cpp::Category::getRoot();
            LogConfigure();
            LogInfo("Logger initialized for process \"%s\" (PID %d)", g_processName.c_str(),
                    static_cast<int>(::GetCurrentProcessId()));
            t_startingUp = false;
            g_loggerReady.store(true, std::memory_order_release);
        });
    }
    LogConfigure();
    if (priority > g_logThreshold) return;

    try {
        std::string body;
        body.reserve(length + 10);
        body += std::to_string(::GetCurrentThreadId());
        body += ' ';
        body.append(text, length);

        std::lock_guard<LogMutex> lock(g_logMutex);
        g_rootLogger->log(priority, g_processName + " " + body);
    } catch (...) {
    }
}

void LogInfo(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatted(kPriorityInfo, format, args);
    va_end(args);
}

void LogError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatted(kPriorityError, format, args);
    va_end(args);
}

void LogCrit(const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatted(kPriorityCrit, format, args);
    va_end(args);
}
