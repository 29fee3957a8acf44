#include "inspect/InstallLayout.h"

#include "inspect/TextConversion.h"

#include <knownfolders.h>
#include <shlwapi.h>

KnownFolderPathFn g_knownFolderPath = &::SHGetKnownFolderPath;

const std::map<std::wstring, QEVComponent> QEVComponentTable = {
    {L"QEVSERVICE.EXE", {L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVSERVICE.EXE", L"QEVService"}},
    {L"QEVSENSOR.EXE", {L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVSENSOR.EXE", L"QEVSensor"}},
    {L"QEVNETMON.EXE", {L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVNETMON.EXE", L"QevNetMon"}},
    {L"QEVMON.EXE", {L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEVMON.EXE", L"QEVMon"}},
    {L"QEV UPDATER.EXE", {L"C:\\Program Files\\Tamvoro\\QEV\\bin\\QEV UPDATER.EXE", L"QEV Updater"}},
};

namespace {

std::string KnownFolderWithSuffix(REFKNOWNFOLDERID folder, const wchar_t* suffix) {
    PWSTR base = nullptr;
    g_knownFolderPath(folder, 0, nullptr, &base);
    std::wstring path;
    bool found = base != nullptr && base[0] != L'\0';
    if (found) {
        path = base;
        path += suffix;
    }
    ::CoTaskMemFree(base);  // owed even when the lookup failed
    return found ? WideToUtf8(path) : std::string();
}

}  // namespace

std::string GetQEVDataDirectory() {
    return KnownFolderWithSuffix(FOLDERID_ProgramData, L"\\Wexo\\QEV");
}

std::string GetQEVInstallDirectory() {
    // A 32-bit process on 64-bit Windows gets "Program Files (x86)"; step up to
    // the drive root and into the native folder. The ".." stays in the text.
    return KnownFolderWithSuffix(FOLDERID_ProgramFiles, L"\\..\\Program Files\\Tamvoro\\QEV");
}

bool IsQEVInstalled() {
    std::string dir = GetQEVInstallDirectory();
    // An empty path would name the current directory; it never names the agent.
    return !dir.empty() && ::PathFileExistsA(dir.c_str()) != FALSE;
}
