#include "repair/ReinstallWorkflow.h"

#include "app/BuildConfig.h"
#include "app/Handles.h"
#include "app/NotAvailable.h"
#include "app/UiLanguage.h"
#include "inspect/AgentDatabase.h"
#include "inspect/InstallLayout.h"
#include "inspect/ServicePresence.h"
#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "net/AgentStateQuery.h"
#include "net/HttpTransport.h"
#include "repair/ProgressMessages.h"
#include "repair/ReinstallPlatform.h"
#include "repair/UninstallScript.h"

#include <cstdlib>
#include <string>
#include <vector>

ReinstallPlatform g_reinstallPlatform;

namespace {

constexpr unsigned int kDownloadTries = 3;
constexpr unsigned int kStatePolls = 30;

// Runs a command line and waits for it without a time-out; false when it did
// not start. The exit code is never looked at: the server's answer decides.
bool RunAndWait(const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!g_reinstallPlatform.createProcess(nullptr, line.data(), nullptr, nullptr, TRUE,
                                           CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr,
                                           nullptr, &startup, &process)) {
        return false;
    }
    UniqueKernelHandle processHandle(process.hProcess);
    UniqueKernelHandle threadHandle(process.hThread);
    ::WaitForSingleObject(processHandle.get(), INFINITE);
    return true;
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
        // Quoted: an unquoted path with spaces lets a planted "C:\Program.exe" run.
        if (!RunAndWait("wscript \"" + scriptPath + "\"")) {
            LogAndShowMessage(Pick(L"卸载Wexo安全助手失败！", L"Fail to uninstall QEV！"));
            return;
        }
        job.Send(UM_UNINSTALL_DONE);
    }

    const std::string dataDir = GetQEVDataDirectory();
    if (CheckIsSQLite3(dataDir + "\\db_sensor")) {
        const std::string command = "del /Q \"" + dataDir + "\\db_*\"";
        LogInfo("%s(%d) Excute %s", "CProcessStatusDlg::QEVReinstallThread", __LINE__, command.c_str());
        g_reinstallPlatform.runShellCommand(command.c_str());
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

    bool downloaded = false;
    for (unsigned int attempt = 0; attempt < kDownloadTries && !downloaded; ++attempt) {
        downloaded = InternetGetFile(g_downloadServerHost, serverPath, packagePath, g_downloadServerPort, g_downloadServerSecure) != 0;
    }
    if (!downloaded) {
        LogAndShowMessage(DownloadFailureText());
        return;
    }

    job.Send(UM_DOWNLOAD_DONE);
    job.Send(UM_INSTALL_BEGIN);
    if (!RunAndWait("msiexec.exe /i \"" + packagePath + "\" /qn")) {
        LogAndShowMessage(Pick(L"安装Wexo安全助手失败！", L"Fail to install QEV!"));
        return;
    }

    ::DeleteFileA((tempDir + "QEVUinstall.vbe").c_str());
    ::DeleteFileA(packagePath.c_str());

    job.Send(UM_CHECK_STATE);
    const std::wstring fresh = GetAgentUUID();
    if (fresh != job.m_strUUID && fresh != kNotAvailableWide) job.m_strUUID = fresh;
    if (CheckQEVStatusWithDelay(WideToUtf8(job.m_strUUID), kStatePolls, true) == 1) {
        job.m_bReinstallSucceeded = true;
    }
}

int WINAPI DefaultMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    return ::MessageBoxW(owner, text, caption, type);
}

int DefaultShellCommand(const char* command) { return std::system(command); }

}  // namespace

ReinstallPlatform::ReinstallPlatform()
    : createProcess(&::CreateProcessA),
      getNativeSystemInfo(&::GetNativeSystemInfo),
      messageBox(&DefaultMessageBox),
      runShellCommand(&DefaultShellCommand) {}

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
