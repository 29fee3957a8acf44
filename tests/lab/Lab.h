#pragma once
// The lab: a simulated agent on this machine and the loopback servers that
// play the status and download servers (scripts/lab_server.py, scenarios in
// scripts/lab_scenarios.json). A scenario names both the agent's state and
// what the servers answer.
#include <string>
#include <vector>

namespace Lab {

struct Scenario {
    std::string name;
    std::string agent;  // old, active, inactive or absent
    std::string description;
    bool secure = false;  // the program of the scenario talks HTTPS to both servers
};

// Makes the named scenario the lab servers' active one, with fresh counters.
// False, with the reason, when no lab server answers or it does not know the name.
bool Activate(const std::string& name, Scenario& scenario, std::string& error);

// What the lab servers were asked since the scenario began, one line each
// ("status /aapi/...", "download /download/...").
std::vector<std::string> ServerRequests();

// Puts the simulated agent into the state named by Scenario::agent, after
// removing whatever agent there was.
bool PrepareAgent(const std::string& agent, std::string& error);

// Activate, then PrepareAgent, then what the prefix needs to run the
// uninstall script.
bool Prepare(const std::string& name, Scenario& scenario, std::string& error);

// Every trace of the agent: services, installed product, files.
void RemoveAgent();

// The old agent's version, and the one the lab's package installs.
extern const char* const kOldVersion;
const char* NewVersion();

}  // namespace Lab
