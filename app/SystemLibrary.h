#pragma once
// A DLL that is not one of the system's known DLLs, loaded from the system
// directory and nowhere else. The program runs elevated from folders that the
// user can write (a Downloads folder): a static import of such a DLL is looked
// for beside the executable first, before any code of ours has run. So these
// DLLs are never imported; their few entry points are bound here instead.
//
// A library is loaded on its first use and stays loaded for the life of the
// process, as a static import would: workers that are never joined may still
// call into it while the process ends.
#include <windows.h>

#include <cstring>
#include <string>

class SystemLibrary {
public:
    // name: the bare file name, for example L"wininet.dll".
    explicit SystemLibrary(const wchar_t* name) noexcept;
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // Why Find gave null: the error of the failed load, or, when the library
    // loaded, ERROR_PROC_NOT_FOUND.
    DWORD MissingError() const noexcept { return m_module != nullptr ? ERROR_PROC_NOT_FOUND : m_loadError; }

    // The entry point as a pointer of type Fn; null when the library or the
    // entry is missing.
    template <typename Fn>
    Fn Find(const char* entry) const noexcept {
        FARPROC address = m_module != nullptr ? ::GetProcAddress(m_module, entry) : nullptr;
        Fn fn = nullptr;
        static_assert(sizeof(fn) == sizeof(address), "function pointers of one size");
        std::memcpy(&fn, &address, sizeof(fn));
        return fn;
    }
    // Find into slot; false when the entry is missing.
    template <typename Fn>
    bool Bind(Fn& slot, const char* entry) const noexcept {
        slot = Find<Fn>(entry);
        return slot != nullptr;
    }

private:
    HMODULE m_module;
    DWORD m_loadError;
};

// The system directory as this process sees it, without a trailing separator
// ("C:\Windows\system32"; a 32-bit process on 64-bit Windows is redirected to
// its own system files there). Empty when the system does not say.
std::string SystemDirectory();
// SystemDirectory() + "\\" + name; empty when the directory is.
std::string SystemDirectoryPath(const char* name);
