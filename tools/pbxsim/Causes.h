#pragma once

#include <string_view>

namespace pbxsim {

// Why a call ended, as the PBX numbers it in Hangup's Cause.
namespace Cause {
inline constexpr int Unset = 0; // a manager Hangup without a Cause of its own
inline constexpr int Normal = 16;
inline constexpr int Busy = 17;
inline constexpr int NoAnswer = 19;
inline constexpr int Rejected = 21;
} // namespace Cause

// The PBX's text for a cause, "Normal Clearing" for 16; "Unknown" for one it has no text for.
std::string_view causeText(int cause);

// A cause as a command or an action gives it: 0 to 127, or normal, busy, noanswer, rejected;
// -1 when it is none of these.
int readCause(std::string_view text);

} // namespace pbxsim
