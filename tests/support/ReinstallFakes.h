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
