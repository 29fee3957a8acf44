#include "repair/ReinstallWorkflow.h"

#include "app/BuildConfig.h"
#include "app/Handles.h"
#include "app/NotAvailable.h"
#include "app/SystemLibrary.h"
#include "app/UiLanguage.h"
#include "inspect/AgentDatabase.h"
#include "inspect/InstallLayout.h"
#include "inspect/ServicePresence.h"
#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "net/AgentStateQuery.h"
#include "net/HttpTransport.h"
#include "repair/HeldFile.h"
#include "repair/PackageSignature.h"
#include "repair/ProgressMessages.h"
#include "repair/ReinstallPlatform.h"
#include "repair/UninstallScript.h"

#include <string>
#include <vector>

ReinstallPlatform g_reinstallPlatform;

namespace {

constexpr unsigned int kDownloadTries = 3;
constexpr unsigned int kStatePolls = 30;

// Starts a program of the system directory by its full path and waits for it
// without a time-out; false when it did not start. A bare name would be looked
// for in the program's own folder first, where anyone may have put a program
// of that name. The child starts in the system directory, not in whatever
// folder is current. The exit code is never looked at: the server decides.
bool RunSystemProgramAndWait(const char* program, const std::string& arguments) {
    const std::string directory = SystemDirectory();
    if (directory.empty()) {
        LogError("%s: No system directory for %s", "CProcessStatusDlg::QEVReinstallThread", program);
        return false;
    }
    const std::string commandLine = "\"" + directory + "\\" + program + "\" " + arguments;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!g_reinstallPlatform.createProcess(nullptr, line.data(), nullptr, nullptr, TRUE,
                                           CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr,
                                           directory.c_str(), &startup, &process)) {
        return false;
    }
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    ::WaitForSingleObject(processHandle.get(), INFINITE);
    return true;
}

// Deletes every plain file of the directory whose name begins with "db_", as
// "del /Q" would, without a command interpreter: which one runs would be up to
// the user's environment (COMSPEC), and the program runs elevated.
void DeleteDatabaseFiles(const std::string& directory) {
    WIN32_FIND_DATAA found{};
    UniqueFindHandle search(::FindFirstFileA((directory + "\\db_*").c_str(), &found));
    if (!search) return;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        ::DeleteFileA((directory + "\\" + found.cFileName).c_str());
    } while (::FindNextFileA(search.get(), &found));
}

// The script as written, held against writers until the script host has
// ended; invalid (and logged) when it is not there as written any more.
UniqueFileHandle HoldUninstallScript(const std::string& path) {
    UniqueFileHandle held = HoldFileForChild(path);
    std::string content;
    if (!held || !ReadHeldFile(held.get(), content, kMaxUninstallScriptBytes) || content != UninstallScriptText()) {
        LogError("%s: %s changed after it was written", "CProcessStatusDlg::QEVReinstallThread", path.c_str());
        return UniqueFileHandle();
    }
    return held;
}

const wchar_t* DownloadFailureText() {
    return Pick(L"下载Wexo安全助手安装包失败！", L" Fail to download QEV installation package!");
}

// "" when the system reports no temporary directory that fits the buffer.
std::string TemporaryDirectory() {
    char buffer[MAX_PATH] = {};
    const DWORD length = ::GetTempPathA(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(buffer);
}

// The package path as a 260-character buffer would hold it: cut, never overrun.
std::string BoundedPath(const std::string& directory, const char* name) {
    std::string path = directory + name;
    if (path.size() > MAX_PATH - 1) path.resize(MAX_PATH - 1);
    return path;
}

const char* PackageForThisMachine() {
    SYSTEM_INFO info{};
    g_reinstallPlatform.getNativeSystemInfo(&info);
    switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64:
    case PROCESSOR_ARCHITECTURE_IA64:
        return "download/qev/qev64.msi";
    default:
        return "download/qev/qev32.msi";
    }
}

// One download try: the package held and its signature verified through
// that handle, or an invalid handle. A package that cannot be held or fails
// the check is deleted, so the next try starts anew.
UniqueFileHandle DownloadVerifiedPackage(const char* serverPath, const std::string& packagePath) {
    if (InternetGetFile(g_downloadServerHost, serverPath, packagePath, g_downloadServerPort,
                        g_downloadServerSecure) == 0) {
        return UniqueFileHandle();
    }
    UniqueFileHandle package = HoldFileForChild(packagePath);
    if (!package) {
        LogError("%s: Cannot hold %s: %s", "CProcessStatusDlg::QEVReinstallThread", packagePath.c_str(),
                 GetLastErrorText().c_str());
    } else if (VerifyPackageSignature(package.get(), packagePath)) {
        return package;
    }
    package.reset();
    ::DeleteFileA(packagePath.c_str());
    return UniqueFileHandle();
}

bool UninstallNeeded() {
    return IsQEVInstalled() || CheckIsServiceExist("QEV Updater") || CheckIsServiceExist("QEVSensor");
}

// Every step before the final message; a failure returns early and leaves
// m_bReinstallSucceeded false.
void Reinstall(RepairJob& job) {
    if (UninstallNeeded()) {
        job.Send(UM_REINSTALL_BEGIN);
        std::string scriptPath;
        if (!WriteUninstallScript(scriptPath)) return;
        const UniqueFileHandle script = HoldUninstallScript(scriptPath);
        if (!script) return;
        // Quoted: an unquoted path with spaces lets a planted "C:\Program.exe" run.
        if (!RunSystemProgramAndWait("wscript.exe", "\"" + scriptPath + "\"")) {
            LogAndShowMessage(Pick(L"卸载Wexo安全助手失败！", L"Fail to uninstall QEV！"));
            return;
        }
        job.Send(UM_UNINSTALL_DONE);
    }

    const std::string dataDir = GetQEVDataDirectory();
    if (CheckIsSQLite3(dataDir + "\\db_sensor")) {
        const std::string command = "del /Q \"" + dataDir + "\\db_*\"";
        LogInfo("%s(%d) Excute %s", "CProcessStatusDlg::QEVReinstallThread", __LINE__, command.c_str());
        DeleteDatabaseFiles(dataDir);
    }

    job.Send(UM_DOWNLOAD_BEGIN);
    const char* serverPath = PackageForThisMachine();
    const std::string tempDir = TemporaryDirectory();
    // Without one the bare package name would be downloaded into, and
    // installed from, whatever directory is current.
    if (tempDir.empty()) {
        LogError("%s: No temporary directory for %s", "CProcessStatusDlg::QEVReinstallThread", "QEVInstaller.msi");
        LogAndShowMessage(DownloadFailureText());
        return;
    }
    const std::string packagePath = BoundedPath(tempDir, "QEVInstaller.msi");

    // From the check until the installer has ended the package is held
    // against writers, so what was verified is what is installed.
    UniqueFileHandle package;
    for (unsigned int attempt = 0; attempt < kDownloadTries && !package; ++attempt) {
        package = DownloadVerifiedPackage(serverPath, packagePath);
    }
    if (!package) {
        LogAndShowMessage(DownloadFailureText());
        return;
    }

    job.Send(UM_DOWNLOAD_DONE);
    job.Send(UM_INSTALL_BEGIN);
    if (!RunSystemProgramAndWait("msiexec.exe", "/i \"" + packagePath + "\" /qn")) {
        LogAndShowMessage(Pick(L"安装Wexo安全助手失败！", L"Fail to install QEV!"));
        return;
    }

    package.reset();
    ::DeleteFileA((tempDir + "QEVUinstall.vbe").c_str());
    ::DeleteFileA(packagePath.c_str());

    job.Send(UM_CHECK_STATE);
    const std::wstring fresh = GetAgentUUID();
    if (fresh != job.m_strUUID && fresh != kNotAvailableWide) job.m_strUUID = fresh;
    if (CheckQEVStatusWithDelay(WideToUtf8(job.m_strUUID), kStatePolls, true) == 1) {
        job.m_bReinstallSucceeded = true;
    }
}

}  // namespace

ReinstallPlatform::ReinstallPlatform()
    : createProcess(&::CreateProcessA),
      getNativeSystemInfo(&::GetNativeSystemInfo),
      messageBox(&::MessageBoxW) {}

void LogAndShowMessage(const std::wstring& text) {
    LogInfo("%s", WideToUtf8(text).c_str());
    g_reinstallPlatform.messageBox(nullptr, text.c_str(), L"QEVZUN", MB_OK | MB_ICONEXCLAMATION);
}

DWORD RunReinstallWorkflow(RepairJob& job) {
    job.m_bReinstallSucceeded = false;
    Reinstall(job);
    job.Send(job.m_bReinstallSucceeded ? UM_REINSTALL_OK : UM_REINSTALL_FAIL);
    return 0;
}
