#pragma once
// The agent's state as the tool shows it; the repair workflows treat Active as
// success and every other code as failure.
#include <cstdint>

namespace AgentStatus {
enum : std::int32_t {
    Unrecognised = 0,  // the server named a state outside its table, or none
    Active = 1,        // "NORMAL"
    Inactive = 2,      // "INACTIVE"; also no UUID or no usable answer
    OldVersion = 3,    // "LOWVERSION"
    NotInstalled = 4,  // no program directory; nothing is asked
};
}  // namespace AgentStatus
