#include "inspect/AgentDatabase.h"

#include "app/Handles.h"
#include "app/NotAvailable.h"
#include "app/UniqueHandle.h"
#include "inspect/InstallLayout.h"
#include "inspect/TextConversion.h"
#include "log/Log.h"
#include "repair/DirectoryCreation.h"

#include <sqlite3.h>
#include <windows.h>

#include <exception>
#include <string_view>
#include <vector>

namespace {

const char kUuidMarker[] = "AGENT_UUID";
constexpr std::size_t kUuidMarkerLength = sizeof kUuidMarker - 1;
constexpr std::size_t kUuidTakeBytes = 50;

// Prepared to make SQLite parse the schema; never stepped, so nothing is written.
const char kProbeStatement[] =
    "create table if not exists qevdbv2(autoindex INTEGER primary key AUTOINCREMENT, DBKey text , DBValue text)";
constexpr int kProbeStatementLength = 106;
static_assert(sizeof kProbeStatement - 1 == kProbeStatementLength, "probe statement length");

struct SqliteConnectionTraits {
    static sqlite3* Invalid() noexcept { return nullptr; }
    static void Close(sqlite3* db) noexcept { sqlite3_close_v2(db); }
};
struct SqliteStatementTraits {
    static sqlite3_stmt* Invalid() noexcept { return nullptr; }
    static void Close(sqlite3_stmt* statement) noexcept { sqlite3_finalize(statement); }
};
using UniqueSqliteConnection = UniqueHandle<sqlite3*, SqliteConnectionTraits>;
using UniqueSqliteStatement = UniqueHandle<sqlite3_stmt*, SqliteStatementTraits>;

// Each marker is tried in turn until the bytes after one decode. The search goes
// on from just past the failed marker in the same buffer, so the whole scan is
// one pass over the file however many markers fail.
bool FindUuid(std::string_view bytes, std::wstring& uuid) {
    std::size_t from = 0;
    for (;;) {
        std::size_t marker = bytes.find(std::string_view(kUuidMarker, kUuidMarkerLength), from);
        if (marker == std::string_view::npos) return false;
        std::size_t start = marker + kUuidMarkerLength;
        std::size_t take = bytes.size() - start;
        if (take > kUuidTakeBytes) take = kUuidTakeBytes;
        // Undecodable bytes are expected here, so no exception is thrown for
        // them; anything else that goes wrong is treated the same way.
        try {
            if (TryUtf8ToWide(bytes.data() + start, take, uuid)) return true;
        } catch (const std::exception&) {
        }
        from = start;
    }
}

}  // namespace

std::wstring GetAgentUUID() {
    std::wstring result = kNotAvailableWide;
    const std::string path = ExpandAndCreateDirectories(GetQEVDataDirectory()) + "\\db_general";

    // The running agent keeps the file open for writing; share both ways.
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        LogError("%s: Fail to open db path! db path:%s, error code:%d", "GetAgentUUID", path.c_str(),
                 static_cast<int>(::GetLastError()));
        return result;
    }

    DWORD size = ::GetFileSize(file.get(), nullptr);
    if (size == INVALID_FILE_SIZE || size == 0) {
        LogError("%s: Fail to get db size! db path:%s", "GetAgentUUID", path.c_str());
        return result;
    }

    // A file too large for this 32-bit process's memory counts as unreadable.
    std::vector<char> buffer;
    try {
        buffer.assign(size, '\0');
    } catch (const std::exception&) {  // bad_alloc, or length_error beyond max_size
        LogError("%s: Fail to read db! db path:%s", "GetAgentUUID", path.c_str());
        return result;
    }
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer.data(), size, &read, nullptr)) {
        LogError("%s: Fail to read db! db path:%s", "GetAgentUUID", path.c_str());
        return result;
    }

    std::wstring uuid;
    if (FindUuid(std::string_view(buffer.data(), buffer.size()), uuid)) {
        result = uuid;
    } else {
        LogError("%s: Fail to find string at db file! db path:%s, string:%s", "GetAgentUUID", path.c_str(),
                 kUuidMarker);
    }
    return result;
}

bool CheckIsSQLite3(const std::string& path) {
    bool isSQLite3 = false;
    // Read-write without SQLITE_OPEN_CREATE: a missing file stays missing.
    UniqueSqliteConnection db;
    int opened = sqlite3_open_v2(path.c_str(), db.put(),
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_SHAREDCACHE, nullptr);
    if (opened != SQLITE_OK) {
        LogError("%s(%d) Fail to open SQLite3 file. Path:%s ,Result:%d", "CheckIsSQLite3", __LINE__, path.c_str(),
                 opened);
        return isSQLite3;
    }

    UniqueSqliteStatement statement;
    int prepared = sqlite3_prepare_v2(db.get(), kProbeStatement, kProbeStatementLength, statement.put(), nullptr);
    if (prepared == SQLITE_OK) {
        LogInfo("%s(%d) The file is SQLite3 format. Path:%s", "CheckIsSQLite3", __LINE__, path.c_str());
        isSQLite3 = true;
    } else if (prepared == SQLITE_NOTADB) {
        LogInfo("%s(%d) The file is not SQLite3 format. Path:%s", "CheckIsSQLite3", __LINE__, path.c_str());
    } else {
        LogError("%s(%d) Fail to prepare for SQLite3. Path:%s, Result:%d", "CheckIsSQLite3", __LINE__, path.c_str(),
                 prepared);
    }
    return isSQLite3;
}
