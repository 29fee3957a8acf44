#include "inspect/InstallLayout.h"

#include "tests/support/FakeAgent.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <knownfolders.h>
#include <windows.h>

#include <vector>

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool Is64BitWindows() {
    BOOL wow = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow);
    return wow != FALSE;
}

TEST(InstallLayout, ProgramDirectoryStepsFromTheProcessFolderIntoNativeProgramFiles) {
    std::string dir = GetQEVInstallDirectory();
    if (Is64BitWindows()) {
        EXPECT_EQ(Lower(dir), "c:\\program files (x86)\\..\\program files\\tamvoro\\qev");
    } else {
        EXPECT_EQ(Lower(dir), "c:\\program files\\..\\program files\\tamvoro\\qev");
    }
}

TEST(InstallLayout, DataDirectoryIsUnderProgramData) {
    EXPECT_EQ(Lower(GetQEVDataDirectory()), "c:\\programdata\\wexo\\qev");
}

TEST(InstallLayout, InstalledExactlyWhenSomethingStandsAtTheProgramDirectory) {
    FakeAgent::Remove();
    EXPECT_FALSE(IsQEVInstalled());
    {
        ScopedFakeAgent agent;
        EXPECT_TRUE(IsQEVInstalled());
    }
    EXPECT_FALSE(IsQEVInstalled());

    // A plain file at that path counts too.
    ::CreateDirectoryA("C:\\Program Files\\Tamvoro", nullptr);
    ASSERT_TRUE(WriteWholeFile(FakeAgent::ProgramDir(), "not a directory"));
    EXPECT_TRUE(IsQEVInstalled());
    FakeAgent::Remove();
}

HRESULT WINAPI FailingKnownFolder(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR* out) {
    *out = nullptr;
    return E_FAIL;
}

TEST(InstallLayout, FailedKnownFolderLookupGivesEmptyPathsAndNotInstalled) {
    struct Restore { ~Restore() { g_knownFolderPath = &::SHGetKnownFolderPath; } } restore;
    g_knownFolderPath = &FailingKnownFolder;
    EXPECT_EQ(GetQEVDataDirectory(), "");
    EXPECT_EQ(GetQEVInstallDirectory(), "");
    EXPECT_FALSE(IsQEVInstalled());
}

TEST(ComponentTable, FiveRowsInKeyOrderWithTheirServices) {
    struct Row { const wchar_t* image; const wchar_t* path; const wchar_t* service; };
    const std::vector<Row> expected = {
        {L"QEV UPDATER.EXE", L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEV UPDATER.EXE", L"QEV Updater"},
        {L"QEVMON.EXE", L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVMON.EXE", L"QEVMon"},
        {L"QEVNETMON.EXE", L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVNETMON.EXE", L"QevNetMon"},
        {L"QEVSENSOR.EXE", L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVSENSOR.EXE", L"QEVSensor"},
        {L"QEVSERVICE.EXE", L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVSERVICE.EXE", L"QEVService"},
    };
    ASSERT_EQ(QEVComponentTable.size(), expected.size());
    std::size_t i = 0;
    for (const auto& [image, component] : QEVComponentTable) {
        EXPECT_EQ(image, expected[i].image);
        EXPECT_EQ(component.first, expected[i].path);
        EXPECT_EQ(component.second, expected[i].service);
        ++i;
    }
}

}  // namespace
