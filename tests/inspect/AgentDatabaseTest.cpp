#include "inspect/AgentDatabase.h"

#include "app/Handles.h"
#include "inspect/InstallLayout.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LogMessages.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <windows.h>
#include <winioctl.h>

#include <ostream>
#include <string>

namespace {

std::string GeneralDbPath() { return GetQEVDataDirectory() + "\\db_general"; }

// Bytes below 0x80 (zero included) widen one to one.
std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

bool IsDirectory(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// ---------------------------------------------------------------- UUID scan

const std::string kUuid = FakeAgent::kUuid;  // 36 characters

struct UuidCase {
    const char* name;
    std::string generalDb;
    std::wstring expected;  // "N/A": the marker search fails with its one line
};
void PrintTo(const UuidCase& c, std::ostream* os) { *os << c.name; }

class UuidScan : public ::testing::TestWithParam<UuidCase> {};

TEST_P(UuidScan, TakesFiftyBytesAfterTheFirstDecodableMarker) {
    const UuidCase& c = GetParam();
    FakeAgentSpec spec;
    spec.generalDb = c.generalDb;
    ScopedFakeAgent agent(spec);
    LogCapture log;
    EXPECT_EQ(GetAgentUUID(), c.expected);
    const int notFound = CountMessages(log, "ERROR",
                                       "GetAgentUUID: Fail to find string at db file! db path:" + GeneralDbPath() +
                                           ", string:AGENT_UUID");
    EXPECT_EQ(notFound, c.expected == L"N/A" ? 1 : 0) << log.Dump();
    EXPECT_EQ(log.Count("GetAgentUUID"), notFound) << log.Dump();
}

const std::string kBad = "\xC3(";  // a lead byte followed by no continuation byte

INSTANTIATE_TEST_SUITE_P(
    Table, UuidScan,
    ::testing::Values(
        // 36 characters of UUID plus 14 record bytes, zero bytes included.
        UuidCase{"uuid_and_fourteen_more_bytes", FakeAgent::GeneralDbWithUuid(kUuid),
                 Widen(kUuid + std::string("\x02\x11\0\0", 4) + "AGENT_NAME")},
        UuidCase{"fewer_than_fifty_bytes_left", "header AGENT_UUID" + kUuid, Widen(kUuid)},
        UuidCase{"marker_at_end_of_file", std::string(2, '\0') + "header AGENT_UUID", L""},
        UuidCase{"multibyte_text_decoded", "AGENT_UUID\xC3\xA9\xE4\xB8\xAD", L"\u00e9\u4e2d"},
        UuidCase{"bad_bytes_then_good_marker",
                 "AGENT_UUID" + kBad + std::string(100, 'x') + "AGENT_UUID" + kUuid, Widen(kUuid)},
        // The retry starts right after the failed marker, not 50 bytes later.
        UuidCase{"good_marker_inside_bad_take", "AGENT_UUID" + kBad + "AGENT_UUIDabc", L"abc"},
        // The 50th byte starts a two-byte sequence whose second byte is not taken.
        UuidCase{"sequence_cut_at_fifty_bytes", "AGENT_UUID" + std::string(49, 'a') + "\xC3\xA9", L"N/A"},
        UuidCase{"bad_bytes_and_no_later_marker", "AGENT_UUID" + kBad + kUuid, L"N/A"},
        UuidCase{"no_marker", "SQLite format 3 without the uuid record", L"N/A"},
        UuidCase{"marker_is_case_sensitive", "agent_uuid" + kUuid, L"N/A"}),
    [](const auto& info) { return std::string(info.param.name); });

// Thousands of markers followed by bad bytes: each retry goes on in the same
// buffer, so the scan stays one pass (re-copying the rest at each retry would
// take minutes here).
TEST(UuidScanAtScale, ThousandsOfBadMarkersBeforeTheGoodOne) {
    std::string bytes;
    const std::string bad = "AGENT_UUID" + kBad + std::string(40, 'x');
    bytes.reserve(40000 * bad.size() + 64);
    for (int i = 0; i < 40000; ++i) bytes += bad;
    bytes += "AGENT_UUID" + kUuid;
    FakeAgentSpec spec;
    spec.generalDb = bytes;
    ScopedFakeAgent agent(spec);
    EXPECT_EQ(GetAgentUUID(), Widen(kUuid));
}

class UuidFile : public ::testing::Test {
protected:
    void TearDown() override { FakeAgent::Remove(); }
};

TEST_F(UuidFile, EmptyFileFailsOnItsSize) {
    FakeAgentSpec spec;
    spec.generalDb = std::string();
    FakeAgent::Install(spec);
    LogCapture log;
    EXPECT_EQ(GetAgentUUID(), L"N/A");
    EXPECT_EQ(CountMessages(log, "ERROR", "GetAgentUUID: Fail to get db size! db path:" + GeneralDbPath()), 1)
        << log.Dump();
    EXPECT_EQ(log.Count("GetAgentUUID"), 1) << log.Dump();
}

TEST_F(UuidFile, MissingFileLogsFileNotFound) {
    FakeAgent::Install();
    ASSERT_TRUE(::DeleteFileA(GeneralDbPath().c_str()));
    LogCapture log;
    EXPECT_EQ(GetAgentUUID(), L"N/A");
    EXPECT_EQ(CountMessages(log, "ERROR",
                            "GetAgentUUID: Fail to open db path! db path:" + GeneralDbPath() + ", error code:2"),
              1)
        << log.Dump();
    EXPECT_FALSE(FileExists(GeneralDbPath()));
}

TEST_F(UuidFile, MissingDataDirectoryIsCreatedWhenItsParentExists) {
    FakeAgent::Remove();
    const std::string dataDir = GetQEVDataDirectory();
    const std::string parent = dataDir.substr(0, dataDir.find_last_of('\\'));
    ASSERT_TRUE(::CreateDirectoryA(parent.c_str(), nullptr));
    LogCapture log;
    EXPECT_EQ(GetAgentUUID(), L"N/A");
    EXPECT_TRUE(IsDirectory(dataDir));
    EXPECT_EQ(CountMessages(log, "ERROR",
                            "GetAgentUUID: Fail to open db path! db path:" + GeneralDbPath() + ", error code:2"),
              1)
        << log.Dump();
}

TEST_F(UuidFile, WithoutTheParentOnlyTheBareFileNameIsTried) {
    FakeAgent::Remove();
    LogCapture log;
    EXPECT_EQ(GetAgentUUID(), L"N/A");
    EXPECT_FALSE(IsDirectory(GetQEVDataDirectory()));
    EXPECT_EQ(CountMessagesStartingWith(log, "ERROR", "GetAgentUUID: Fail to open db path! db path:\\db_general, "),
              1)
        << log.Dump();
}

// Several GiB cannot be held by a 32-bit process: that is a failed read, not a
// crash. The file is sparse, so it costs no disk space and no time to make.
TEST_F(UuidFile, FileTooLargeForMemoryIsAFailedRead) {
    FakeAgent::Install();
    {
        UniqueFileHandle file(::CreateFileA(GeneralDbPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD ignored = 0;
        ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = 0xE0000000LL;  // 3.5 GiB, below the 4 GiB that GetFileSize reports whole
        ASSERT_TRUE(::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.get()));
    }
    LogCapture log;
    EXPECT_EQ(GetAgentUUID(), L"N/A");
    EXPECT_EQ(CountMessages(log, "ERROR", "GetAgentUUID: Fail to read db! db path:" + GeneralDbPath()), 1)
        << log.Dump();
}

TEST_F(UuidFile, ReadsWhileTheAgentHoldsTheFileOpenForWriting) {
    FakeAgent::Install();
    UniqueFileHandle agentSide(::CreateFileA(GeneralDbPath().c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(agentSide);
    EXPECT_EQ(GetAgentUUID(), Widen(kUuid + std::string("\x02\x11\0\0", 4) + "AGENT_NAME"));
}

// ---------------------------------------------------------------- SQLite format check

enum class DbFile { Missing, Empty, RandomBytes, Text, DatabaseWithoutProbeTable, LockedDatabase };

struct SqliteCase {
    const char* name;
    DbFile file;
    bool expected;
    const char* priority;
    const char* rest;  // after "CheckIsSQLite3(<line>) ", with %s for the path
};
void PrintTo(const SqliteCase& c, std::ostream* os) { *os << c.name; }

class SqliteCheck : public ::testing::TestWithParam<SqliteCase> {
protected:
    void SetUp() override {
        m_dir = MakeTempDirectory("sqlite");
        m_path = m_dir + "\\db_sensor";
    }
    void TearDown() override {
        if (m_holder != nullptr) {
            sqlite3_exec(m_holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close_v2(m_holder);
        }
        RemoveTree(m_dir);
    }

    void MakeDatabase() {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "create table sensor_events(id INTEGER primary key, body text);"
                                   "insert into sensor_events(body) values('boot');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close_v2(db);
    }

    void Prepare(DbFile file) {
        switch (file) {
        case DbFile::Missing: break;
        case DbFile::Empty: ASSERT_TRUE(WriteWholeFile(m_path, "")); break;
        case DbFile::RandomBytes: {
            std::string bytes(8192, '\0');
            unsigned int x = 2463534242u;
            for (char& b : bytes) {
                x ^= x << 13; x ^= x >> 17; x ^= x << 5;
                b = static_cast<char>(x >> 24);
            }
            ASSERT_TRUE(WriteWholeFile(m_path, bytes));
            break;
        }
        case DbFile::Text: ASSERT_TRUE(WriteWholeFile(m_path, "plain text, not a database\n")); break;
        case DbFile::DatabaseWithoutProbeTable: MakeDatabase(); break;
        case DbFile::LockedDatabase:
            MakeDatabase();
            ASSERT_EQ(sqlite3_open_v2(m_path.c_str(), &m_holder, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(m_holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
            break;
        }
    }

    bool HasTable(const char* table) {
        sqlite3* db = nullptr;
        bool found = false;
        if (sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "select 1 from sqlite_master where name = ?", -1, &st, nullptr) == SQLITE_OK) {
                sqlite3_bind_text(st, 1, table, -1, SQLITE_STATIC);
                found = sqlite3_step(st) == SQLITE_ROW;
            }
            sqlite3_finalize(st);
        }
        sqlite3_close_v2(db);
        return found;
    }

    std::string m_dir, m_path;
    sqlite3* m_holder = nullptr;
};

TEST_P(SqliteCheck, AnswersFromThePreparedProbeAndLeavesTheFileAsItWas) {
    const SqliteCase& c = GetParam();
    Prepare(c.file);
    const bool existed = FileExists(m_path);
    const std::string before = ReadWholeFile(m_path);

    LogCapture log;
    EXPECT_EQ(CheckIsSQLite3(m_path), c.expected);

    std::string rest = c.rest;
    rest.replace(rest.find("%s"), 2, m_path);
    EXPECT_EQ(CountSourceLineMessages(log, c.priority, "CheckIsSQLite3", rest), 1) << log.Dump();
    EXPECT_EQ(log.Count("CheckIsSQLite3"), 1) << log.Dump();

    if (m_holder != nullptr) {
        sqlite3_exec(m_holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(m_holder);
        m_holder = nullptr;
    }
    EXPECT_EQ(FileExists(m_path), existed);
    EXPECT_EQ(ReadWholeFile(m_path), before);
    if (existed && c.expected) {
        EXPECT_FALSE(HasTable("qevdbv2"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SqliteCheck,
    ::testing::Values(
        SqliteCase{"missing_file", DbFile::Missing, false, "ERROR", "Fail to open SQLite3 file. Path:%s ,Result:14"},
        SqliteCase{"zero_length_file", DbFile::Empty, true, "INFO", "The file is SQLite3 format. Path:%s"},
        SqliteCase{"random_bytes", DbFile::RandomBytes, false, "INFO", "The file is not SQLite3 format. Path:%s"},
        SqliteCase{"text_file", DbFile::Text, false, "INFO", "The file is not SQLite3 format. Path:%s"},
        SqliteCase{"database_without_probe_table", DbFile::DatabaseWithoutProbeTable, true, "INFO",
                   "The file is SQLite3 format. Path:%s"},
        SqliteCase{"locked_database", DbFile::LockedDatabase, false, "ERROR",
                   "Fail to prepare for SQLite3. Path:%s, Result:5"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
