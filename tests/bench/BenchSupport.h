#pragma once
// What every bench program shares: a monotonic clock, the process's memory
// counters, and the one line format that scripts/bench.sh collects.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

namespace bench {

inline double NowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerMs;
}

// "SAMPLE <key> <value>": one measurement; the script takes the median per key.
inline void Sample(const std::string& key, double value) {
    std::printf("SAMPLE %s %.3f\n", key.c_str(), value);
    std::fflush(stdout);
}

// A reason why no figure could be taken; the script shows it and fails.
inline void Failure(const std::string& what) {
    std::printf("FAILED %s\n", what.c_str());
    std::fflush(stdout);
}

inline PROCESS_MEMORY_COUNTERS MemoryOf(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters))) counters = PROCESS_MEMORY_COUNTERS{};
    return counters;
}

inline std::string DirectoryOfExecutable() {
    char path[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\'));
}

}  // namespace bench
