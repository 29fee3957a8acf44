#pragma once
// Lays out what an installed agent leaves on the machine (program directory,
// version file, data directory with its databases) in one call, and removes it.
#include <optional>
#include <string>
#include <vector>

struct FakeAgentSpec {
    enum class Sensor { SQLite, Text, Missing };

    bool programDirectory = true;
    std::optional<std::string> agentVersion = std::string("3.5.12.1\r\n");
    bool dataDirectory = true;
    std::optional<std::string> generalDb;  // bytes of "db_general"; unset: a default with kUuid
    Sensor sensor = Sensor::SQLite;
    std::vector<std::string> otherDbFiles = {"db_cache", "db_event"};  // beside db_sensor
};

namespace FakeAgent {
extern const char* const kUuid;

std::string ProgramDir();  // the native Program Files\Tamvoro\QEV
std::string DataDir();     // ProgramData\Wexo\QEV

// A database-like file: SQLite-style header, filler, then "AGENT_UUID" + uuid + record bytes.
std::string GeneralDbWithUuid(const std::string& uuid);

void Install(const FakeAgentSpec& spec = FakeAgentSpec());
void Remove();  // the whole agent footprint, whatever state it is in
}  // namespace FakeAgent

// Installs in the constructor, removes in the destructor.
class ScopedFakeAgent {
public:
    explicit ScopedFakeAgent(const FakeAgentSpec& spec = FakeAgentSpec()) { FakeAgent::Install(spec); }
    ~ScopedFakeAgent() { FakeAgent::Remove(); }
    ScopedFakeAgent(const ScopedFakeAgent&) = delete;
    ScopedFakeAgent& operator=(const ScopedFakeAgent&) = delete;
};
