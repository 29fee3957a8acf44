#pragma once
// The agent's local databases, looked into without knowing their structure.
#include <string>

// The text after the first decodable "AGENT_UUID" marker in the data directory's
// "db_general" (at most 50 characters, zero characters included), or "N/A".
std::wstring GetAgentUUID();

// True when the file opens read-write as an SQLite 3 database whose schema
// parses. Never creates or changes the file.
bool CheckIsSQLite3(const std::string& path);
