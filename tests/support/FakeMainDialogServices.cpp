#include "tests/support/FakeMainDialogServices.h"

#include "tests/support/ScriptedWorker.h"

#include <mutex>

namespace {

std::mutex g_mutex;
FakeFacts g_facts;
int g_uuidReads = 0;
std::vector<std::string> g_versionKeys;
std::vector<std::string> g_statusQueries;

LANGID WINAPI UiLanguage() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_facts.uiLanguage != 0 ? g_facts.uiLanguage : ::GetUserDefaultUILanguage();
}

std::wstring AgentUuid() {
    std::lock_guard<std::mutex> lock(g_mutex);
    ++g_uuidReads;
    return g_facts.uuid;
}

BOOL WINAPI ComputerName(LPWSTR buffer, LPDWORD size) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_facts.computerNameFails) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    return ::GetComputerNameW(buffer, size);
}

MacAddressSet Macs() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_facts.macs;
}

std::string Version(std::string key) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_versionKeys.push_back(key);
    return g_facts.version;
}

int Status(const std::string& uuid, std::string& latest) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_statusQueries.push_back(uuid);
    latest = g_facts.latest;
    return g_facts.status;
}

}  // namespace

namespace FakeMainDialog {

void SetFacts(const FakeFacts& facts) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_facts = facts;
    g_uuidReads = 0;
    g_versionKeys.clear();
    g_statusQueries.clear();
}

FakeFacts Facts() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_facts;
}

MainDialogServices Services() {
    return MainDialogServices{&UiLanguage, &AgentUuid, &ComputerName, &Macs, &Version, &Status,
                              ScriptedWorker::Workflows()};
}

int UuidReads() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_uuidReads;
}

int VersionReads() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<int>(g_versionKeys.size());
}

std::vector<std::string> StatusQueries() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_statusQueries;
}

std::vector<std::string> VersionKeys() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_versionKeys;
}

}  // namespace FakeMainDialog
