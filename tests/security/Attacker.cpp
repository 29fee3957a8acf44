// What a process with only the user's rights does to an elevated tool.
//
//   attacker.exe hold-check <file> <report>
//       Stands in for the child the reinstall hands a file to: reads it whole
//       (into <report>), then tries, as another process of the user would, to
//       write, delete, rename and open it for deletion. Exit code: bit 0 the
//       read failed, bits 1-4 one of those attempts succeeded.
//   attacker.exe race <file> <stop-file>
//       Until <stop-file> exists, rewrites <file> whenever it can and swaps it
//       for a copy of its own by rename.
//   attacker.exe (anything else)
//       A program planted where an elevated one might be looked for (beside
//       the program, or named by COMSPEC): leaves "<its own path>.ran" behind
//       with its command line, and ends.
#include "tests/support/TestFiles.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

// As a child that lets others read but not write: it can open the file only
// while no one has it open for writing.
bool ReadAll(const char* path, std::string& bytes) {
    HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char buffer[65536];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof buffer, &read, nullptr) != FALSE) && read > 0) bytes.append(buffer, read);
    ::CloseHandle(file);
    return ok;
}

// Opens with every share mode, so that only the holder's share mode can refuse.
bool CanOpen(const char* path, DWORD access) {
    HANDLE file = ::CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(file);
    return true;
}

int HoldCheck(const char* path, const char* report) {
    int result = 0;
    std::string bytes;
    if (!ReadAll(path, bytes) || !WriteWholeFile(report, bytes)) result |= 1;
    if (CanOpen(path, GENERIC_WRITE)) result |= 2;
    if (CanOpen(path, DELETE)) result |= 4;
    const std::string moved = std::string(path) + ".moved";
    if (::MoveFileExA(path, moved.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        result |= 8;
        ::MoveFileExA(moved.c_str(), path, MOVEFILE_REPLACE_EXISTING);
    }
    if (::DeleteFileA(path)) result |= 16;
    return result;
}

int Race(const char* path, const char* stop) {
    const std::string staged = std::string(path) + ".planted";
    const std::string tampered = "tampered by another process\r\n";
    while (::GetFileAttributesA(stop) == INVALID_FILE_ATTRIBUTES) {
        HANDLE file = ::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ::WriteFile(file, tampered.data(), static_cast<DWORD>(tampered.size()), &written, nullptr);
            ::CloseHandle(file);
        }
        if (WriteWholeFile(staged, tampered)) ::MoveFileExA(staged.c_str(), path, MOVEFILE_REPLACE_EXISTING);
        ::Sleep(1);
    }
    ::DeleteFileA(staged.c_str());
    return 0;
}

int Mark() {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    WriteWholeFile(std::string(self) + ".ran", ::GetCommandLineA());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "hold-check") == 0) return HoldCheck(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "race") == 0) return Race(argv[2], argv[3]);
    return Mark();
}
