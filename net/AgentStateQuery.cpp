#include "net/AgentStateQuery.h"

#include "app/AgentStatus.h"
#include "app/BuildConfig.h"
#include "app/NotAvailable.h"
#include "inspect/InstallLayout.h"
#include "log/Log.h"
#include "net/HttpTransport.h"
#include "net/RequestTarget.h"
#include "net/StateAnswer.h"

#include <cstddef>

const std::map<std::string, int> ServerStateCodes = {
    {"NORMAL", AgentStatus::Active},
    {"INACTIVE", AgentStatus::Inactive},
    {"LOWVERSION", AgentStatus::OldVersion},
};

PollSleepFn g_pollSleep = &::Sleep;

namespace {

const char* const kStateObjectPrefix = "aapi/v1/zun/agentState/";
// A state answer is a few hundred bytes; anything past this is no answer.
constexpr std::size_t kMaxStateAnswerBytes = 1048576;

// The UUID comes from an agent file and may carry bytes after a zero byte; the
// path holds what precedes it, as the narrow C-string interface always made it.
std::string UuidText(const std::string& uuid) { return uuid.substr(0, uuid.find('\0')); }

// The tests made before any request, in this order. True when one decided.
// "N/A" is the whole UUID, zero bytes and all, so that the main dialog, which
// compares the whole text too, counts the same UUIDs as unreadable.
bool DecidedWithoutAsking(const std::string& uuid, int& code) {
    if (!IsQEVInstalled()) {
        code = AgentStatus::NotInstalled;
        return true;
    }
    if (uuid == kNotAvailable) {
        code = AgentStatus::Inactive;
        return true;
    }
    return false;
}

StateAnswer AskServer(const std::string& uuidText) {
    std::string objectName = kStateObjectPrefix + EscapeRequestPathText(uuidText);
    return ReadStateAnswer(InternetGetData(g_statusServerHost, objectName, g_statusServerPort, kMaxStateAnswerBytes,
                                           g_statusServerSecure));
}

int CodeOf(const StateAnswer& answer) {
    if (!answer.usable) return AgentStatus::Inactive;
    auto found = ServerStateCodes.find(answer.stateName);  // never inserts
    return found == ServerStateCodes.end() ? AgentStatus::Unrecognised : found->second;
}

}  // namespace

int CheckQEVStatusImmediate(const std::string& uuid, std::string& releaseVersion) {
    int code = AgentStatus::Inactive;
    if (DecidedWithoutAsking(uuid, code)) return code;
    std::string uuidText = UuidText(uuid);

    StateAnswer answer = AskServer(uuidText);
    if (answer.parsed) LogInfo("%s(%d) Response: %s", __func__, __LINE__, answer.compactJson.c_str());
    if (answer.usable) releaseVersion = answer.releaseVersion;
    return CodeOf(answer);
}

int CheckQEVStatusWithDelay(const std::string& uuid, unsigned int tries, bool poll) {
    int code = AgentStatus::Inactive;
    if (DecidedWithoutAsking(uuid, code)) return code;
    std::string uuidText = UuidText(uuid);

    if (!poll) {
        StateAnswer answer = AskServer(uuidText);
        if (answer.parsed) LogInfo("%s(%d) Response: %s", __func__, __LINE__, answer.compactJson.c_str());
        return CodeOf(answer);
    }

    int last = AgentStatus::Inactive;
    for (unsigned int done = 0; done < tries; ++done) {
        StateAnswer answer = AskServer(uuidText);
        if (answer.parsed) {
            LogInfo("%s(%d) Times:%d, Response: %s", __func__, __LINE__, static_cast<int>(done + 1),
                    answer.compactJson.c_str());
        }
        if (answer.usable) {
            last = CodeOf(answer);
            if (last == AgentStatus::Active) return last;
        }
        g_pollSleep(g_pollPauseMs);  // also after the last attempt
    }
    return last;
}
