// Linked into a copy of the start-up baseline: one function of every system
// library that QEVZUN.exe imports, so that the copy loads what the program
// loads before its first line runs, and nothing more is done with them.
#include <winsock2.h>  // before windows.h, for the IP helper
#include <windows.h>
#include <commctrl.h>
#include <iphlpapi.h>
#include <objbase.h>
#include <oleauto.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wininet.h>

extern void* volatile g_programImports[];
void* volatile g_programImports[] = {
    reinterpret_cast<void*>(&::CoInitializeEx),        reinterpret_cast<void*>(&::SysAllocString),
    reinterpret_cast<void*>(&::InternetOpenA),         reinterpret_cast<void*>(&::GetAdaptersAddresses),
    reinterpret_cast<void*>(&::SHGetKnownFolderPath),  reinterpret_cast<void*>(&::PathRemoveFileSpecA),
    reinterpret_cast<void*>(&::InitCommonControlsEx),  reinterpret_cast<void*>(&::OpenSCManagerW),
    reinterpret_cast<void*>(&::GetFileVersionInfoSizeA),
};
