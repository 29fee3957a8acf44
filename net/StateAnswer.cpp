#include "net/StateAnswer.h"

#include <json/json.h>

namespace {

bool IsTextOrAbsent(const Json::Value& v) { return v.isNull() || v.isString(); }

// Fills the members of a usable answer; false when a member has an unexpected type.
bool ReadMembers(const Json::Value& root, StateAnswer& answer) {
    if (!root.isObject()) return false;
    const Json::Value& status = root["status"];  // absent: null, which reads as 0
    // Strings, arrays and objects have no integer reading; numbers out of the
    // int range do, but never as 0.
    if (!status.isConvertibleTo(Json::intValue) || status.asInt() != 0) return false;
    const Json::Value& data = root["data"];
    if (!data.isNull() && !data.isObject()) return false;
    const Json::Value& state = data["state"];
    const Json::Value& releaseVersion = data["releaseVersion"];
    if (!IsTextOrAbsent(state) || !IsTextOrAbsent(releaseVersion)) return false;
    answer.stateName = state.asString();
    answer.releaseVersion = releaseVersion.asString();
    return true;
}

}  // namespace

StateAnswer ReadStateAnswer(const std::string& body) {
    StateAnswer answer;
    Json::Value root;
    try {
        Json::Reader reader;
        // The reader gives up by throwing on very deep nesting: that is no JSON answer either.
        if (!reader.parse(body, root, true)) return answer;
    } catch (const Json::Exception&) {
        return answer;
    }
    answer.parsed = true;
    try {
        answer.compactJson = Json::FastWriter().write(root);
        answer.usable = ReadMembers(root, answer);
    } catch (const Json::Exception&) {
        // Only reached if the checks above miss a case; such an answer is no answer.
        answer.usable = false;
    }
    if (!answer.usable) {
        answer.stateName.clear();
        answer.releaseVersion.clear();
    }
    return answer;
}
