#include "repair/HeldFile.h"

#include <windows.h>

UniqueFileHandle HoldFileForChild(const std::string& path) {
    // The link itself is opened, not what it points to: a held link would
    // still let its target be swapped.
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return file;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) return UniqueFileHandle();
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return UniqueFileHandle();
    }
    return file;
}

bool PathNamesHeldFile(const std::string& path, HANDLE file) {
    // Attributes only, sharing everything: this look must not itself stand
    // in the way of the child that opens the file next.
    UniqueFileHandle named(::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!named) return false;
    BY_HANDLE_FILE_INFORMATION held{};
    BY_HANDLE_FILE_INFORMATION found{};
    if (!::GetFileInformationByHandle(file, &held) || !::GetFileInformationByHandle(named.get(), &found)) return false;
    return held.dwVolumeSerialNumber == found.dwVolumeSerialNumber && held.nFileIndexHigh == found.nFileIndexHigh &&
           held.nFileIndexLow == found.nFileIndexLow;
}

bool ReadHeldFile(HANDLE file, std::string& content, unsigned long maxBytes) {
    content.clear();
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    char buffer[65536];
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) return false;
        if (read == 0) return true;
        if (read > maxBytes - content.size()) return false;
        content.append(buffer, read);
    }
}
