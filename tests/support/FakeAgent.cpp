#include "tests/support/FakeAgent.h"

#include "tests/support/TestFiles.h"

#include <sqlite3.h>
#include <windows.h>

#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace FakeAgent {

const char* const kUuid = "6f1c2a9e-3b7d-4c55-9e21-8a0d4b6f7c13";

namespace {

std::string SystemDrive() {
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    return std::string(windows, 2);  // "C:"
}

void MakeDirs(const std::string& path) {
    std::error_code ec;
    fs::create_directories(fs::u8path(path), ec);
    if (ec) throw std::runtime_error("cannot create " + path + ": " + ec.message());
}

void WriteOrThrow(const std::string& path, const std::string& bytes) {
    if (!WriteWholeFile(path, bytes)) throw std::runtime_error("cannot write " + path);
}

void MakeSqliteDatabase(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        throw std::runtime_error("cannot create sqlite " + path);
    }
    sqlite3_exec(db, "create table sensor_events(id INTEGER primary key, body text);"
                     "insert into sensor_events(body) values('boot');",
                 nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
}

}  // namespace

std::string ProgramDir() { return SystemDrive() + "\\Program Files\\Tamvoro\\QEV"; }
std::string DataDir() { return SystemDrive() + "\\ProgramData\\Wexo\\QEV"; }

std::string GeneralDbWithUuid(const std::string& uuid) {
    std::string bytes("SQLite format 3\0", 16);
    bytes += std::string(84, '\x01');
    bytes += "table kv(k text, v text)";
    bytes += std::string(40, '\0');
    bytes += "AGENT_UUID";
    bytes += uuid;
    bytes += std::string("\x02\x11\0\0", 4);
    bytes += "AGENT_NAME workstation";
    bytes += std::string(64, '\0');
    return bytes;
}

void Install(const FakeAgentSpec& spec) {
    Remove();
    if (spec.programDirectory) {
        MakeDirs(ProgramDir() + "\\bin");
        MakeDirs(ProgramDir() + "\\data\\meta");
        if (spec.agentVersion) WriteOrThrow(ProgramDir() + "\\data\\meta\\agent_version", *spec.agentVersion);
    }
    if (spec.dataDirectory) {
        MakeDirs(DataDir());
        WriteOrThrow(DataDir() + "\\db_general", spec.generalDb ? *spec.generalDb : GeneralDbWithUuid(kUuid));
        switch (spec.sensor) {
        case FakeAgentSpec::Sensor::SQLite: MakeSqliteDatabase(DataDir() + "\\db_sensor"); break;
        case FakeAgentSpec::Sensor::Text: WriteOrThrow(DataDir() + "\\db_sensor", "plain text, not a database\n"); break;
        case FakeAgentSpec::Sensor::Missing: break;
        }
        for (const std::string& name : spec.otherDbFiles) WriteOrThrow(DataDir() + "\\" + name, "agent data " + name);
    }
}

void Remove() {
    RemoveTree(SystemDrive() + "\\Program Files\\Tamvoro");
    RemoveTree(SystemDrive() + "\\ProgramData\\Wexo");
}

}  // namespace FakeAgent
