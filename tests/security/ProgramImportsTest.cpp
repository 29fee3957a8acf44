// What the loader resolves before the program's first instruction: only the
// system's known DLLs, which it never looks for beside the executable.
#include "tests/support/ProgramProcess.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The names of the DLLs an executable imports, read from its import directory.
std::vector<std::string> ImportedDlls(const std::string& image) {
    std::vector<std::string> names;
    auto at = [&](std::size_t offset, std::size_t size) { return offset + size <= image.size(); };
    if (!at(0, sizeof(IMAGE_DOS_HEADER))) return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (!at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS32))) return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return image.size();
    };
    for (std::size_t entry = fileOffset(imports.VirtualAddress);
         at(entry, sizeof(IMAGE_IMPORT_DESCRIPTOR)); entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + entry);
        if (descriptor->Name == 0) break;
        const std::size_t name = fileOffset(descriptor->Name);
        if (!at(name, 1)) break;
        std::string text(image.data() + name, strnlen(image.data() + name, image.size() - name));
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
        names.push_back(text);
    }
    return names;
}

// The known DLLs of current Windows (the KnownDLLs key of the session
// manager's configuration), the C runtime among them.
const std::set<std::string> kKnownDlls = {
    "advapi32.dll", "clbcatq.dll",  "combase.dll",  "comdlg32.dll", "coml2.dll",   "difxapi.dll",
    "gdi32.dll",    "gdiplus.dll",  "imagehlp.dll", "imm32.dll",    "kernel32.dll", "msctf.dll",
    "msvcrt.dll",   "normaliz.dll", "nsi.dll",      "ole32.dll",    "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll",   "sechost.dll",  "setupapi.dll", "shcore.dll",   "shell32.dll",  "shlwapi.dll",
    "user32.dll",   "wldap32.dll",  "ws2_32.dll"};

TEST(ProgramImports, OnlyKnownDlls) {
    const std::vector<std::string> imported = ImportedDlls(ReadWholeFile(ProgramPath()));
    ASSERT_FALSE(imported.empty()) << "no import directory read from " << ProgramPath();
    for (const std::string& dll : imported) EXPECT_EQ(kKnownDlls.count(dll), 1u) << dll;
}

}  // namespace
