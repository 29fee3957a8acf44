#include "tests/lab/Lab.h"

#include "net/HttpTransport.h"
#include "tests/support/AgentServices.h"
#include "tests/support/FakeAgent.h"
#include "tests/support/FakeAgentPackage.h"
#include "tests/support/VbeScripts.h"

#include <json/json.h>
#include <windows.h>

#include <exception>
#include <memory>
#include <sstream>

namespace Lab {

const char* const kOldVersion = "3.5.12.1";
const char* NewVersion() { return FakeAgentPackage::kVersion; }

namespace {

const char* const kLabHost = "127.0.0.1";

std::string AskControl(const std::string& what) {
    return InternetGetData(kLabHost, what, static_cast<unsigned short>(QEVZUN_LAB_CONTROL_PORT));
}

}  // namespace

bool Activate(const std::string& name, Scenario& scenario, std::string& error) {
    const std::string body = AskControl("scenario/" + name);
    if (body.empty()) {
        error = "no lab server answers on port " + std::to_string(QEVZUN_LAB_CONTROL_PORT);
        return false;
    }
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string parseError;
    if (!reader->parse(body.data(), body.data() + body.size(), &root, &parseError) || !root.isObject() ||
        !root["agent"].isString()) {
        error = "the lab server does not know the scenario \"" + name + "\": " + body;
        return false;
    }
    scenario.name = name;
    scenario.agent = root["agent"].asString();
    scenario.description = root["description"].isString() ? root["description"].asString() : "";
    scenario.secure = root["secure"].isBool() && root["secure"].asBool();
    return true;
}

std::vector<std::string> ServerRequests() {
    std::vector<std::string> lines;
    std::istringstream text(AskControl("requests"));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

void RemoveAgent() {
    { AgentServices services; }  // removes the five services as it goes
    FakeAgentPackage::Uninstall();
    FakeAgentPackage::RemoveLeftovers();
    FakeAgent::Remove();
}

bool PrepareAgent(const std::string& agent, std::string& error) {
    if (agent != "old" && agent != "active" && agent != "inactive" && agent != "absent") {
        error = "unknown agent state \"" + agent + "\"";
        return false;
    }
    RemoveAgent();
    if (agent == "absent") return true;

    // What an agent installed on this machine leaves, with the UUID the lab's
    // package carries, so the server knows the agent before and after a reinstall.
    FakeAgentSpec spec;
    spec.agentVersion = std::string(agent == "old" ? kOldVersion : NewVersion()) + "\r\n";
    // The agent's record pads the UUID with zero bytes, which end it.
    spec.generalDb = FakeAgent::GeneralDbWithUuid(FakeAgentPackage::kUuid + std::string(14, '\0'));
    try {
        FakeAgent::Install(spec);
    } catch (const std::exception& e) {
        error = std::string("the agent's files: ") + e.what();
        return false;
    }

    AgentServices services;
    services.Keep();
    if (!services.CopyExecutables() || !services.CreateAll(SERVICE_AUTO_START)) {
        error = "the agent's services: error " + std::to_string(::GetLastError());
        return false;
    }
    for (const std::wstring& name : AgentServices::Names()) {
        if (agent == "inactive" && name == L"QEVSensor") continue;  // stays stopped
        if (agent == "inactive" && name == L"QevNetMon") {          // is missing
            services.Remove(name);
            continue;
        }
        if (!services.Start(name)) {
            error = "a service did not start: error " + std::to_string(::GetLastError());
            return false;
        }
    }
    return true;
}

bool Prepare(const std::string& name, Scenario& scenario, std::string& error) {
    if (!Activate(name, scenario, error) || !PrepareAgent(scenario.agent, error)) return false;
    EnsureVbeScriptsRun();
    return true;
}

}  // namespace Lab
