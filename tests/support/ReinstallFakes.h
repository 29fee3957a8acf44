#pragma once
// Stand-ins for the reinstall's platform calls that tests replace most often:
// message boxes that are recorded and answered at once, and a processor that
// is always x64 (so the 64-bit package is the one asked for).
#include <windows.h>

#include <string>
#include <vector>

namespace ReinstallFakes {

// The texts of the boxes shown since the test last cleared them.
inline std::vector<std::wstring> g_boxes;

inline int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
    g_boxes.push_back(text);
    return IDOK;
}

inline void WINAPI X64(LPSYSTEM_INFO info) {
    ::GetNativeSystemInfo(info);
    info->wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
}

}  // namespace ReinstallFakes

namespace ReinstallFakes {

// The command lines the reinstall asked to start since the test cleared them.
inline std::vector<std::string> g_started;

// Starts nothing and says it did: the "process" is an event that is already
// set, so the wait for it returns at once.
inline BOOL WINAPI PretendToStart(LPCSTR, LPSTR line, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                                  LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION process) {
    g_started.push_back(line);
    process->hProcess = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    process->hThread = nullptr;
    return process->hProcess != nullptr;
}

// The file a child is handed on its command line: the second quoted text of
// "<program>" "<file>" or "<program>" /i "<file>" /qn.
inline std::string HandedFile(const std::string& line) {
    const std::size_t open = line.find('"', line.find('"', line.find('"') + 1) + 1);
    const std::size_t close = line.find('"', open + 1);
    if (open == std::string::npos || close == std::string::npos) return std::string();
    return line.substr(open + 1, close - open - 1);
}

}  // namespace ReinstallFakes
