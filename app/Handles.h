#pragma once
// The handle kinds the program holds, as UniqueHandle instantiations.
#include "app/UniqueHandle.h"

#include <windows.h>
#include <winsvc.h>
#include <cstdio>

struct KernelHandleTraits {  // process, thread, event: null means none
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile: INVALID_HANDLE_VALUE means none
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {  // FindFirstFile: INVALID_HANDLE_VALUE means none
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct ServiceHandleTraits {
    static SC_HANDLE Invalid() noexcept { return nullptr; }
    static void Close(SC_HANDLE h) noexcept { ::CloseServiceHandle(h); }
};
struct StdioFileTraits {
    static std::FILE* Invalid() noexcept { return nullptr; }
    static void Close(std::FILE* f) noexcept { std::fclose(f); }
};

using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<HANDLE, FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindHandleTraits>;
using UniqueServiceHandle = UniqueHandle<SC_HANDLE, ServiceHandleTraits>;
using UniqueStdioFile = UniqueHandle<std::FILE*, StdioFileTraits>;
