#include "app/SystemLibrary.h"

#include <string>

namespace {

// Windows 7 knows LOAD_LIBRARY_SEARCH_SYSTEM32 only with KB2533623 and
// refuses the flag without it; there the library is loaded by its full path,
// and its own imports are then looked for in its directory first.
HMODULE LoadFromSystemDirectory(const wchar_t* name) {
    HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module != nullptr || ::GetLastError() != ERROR_INVALID_PARAMETER) return module;
    wchar_t directory[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    const std::wstring path = std::wstring(directory) + L"\\" + name;
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

SystemLibrary::SystemLibrary(const wchar_t* name) noexcept
    : m_module(LoadFromSystemDirectory(name)), m_loadError(m_module != nullptr ? 0 : ::GetLastError()) {}

std::string SystemDirectory() {
    char directory[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(directory);
}

std::string SystemDirectoryPath(const char* name) {
    const std::string directory = SystemDirectory();
    return directory.empty() ? directory : directory + "\\" + name;
}
