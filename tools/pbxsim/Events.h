#pragma once

#include "CallTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace pbxsim {

// Whose call events a session gets, told by the greeting's version as a client tells it: 1.0 is
// PBX 1.4, 1.1 and 1.2 are 1.6 to 10, 1.3 is 11, 2 and later are 12 and later.
enum class EventStyle
{
    Pbx14,
    Pbx16,
    Pbx11,
    Current
};
EventStyle eventStyleFor(std::string_view greetingVersion);

// Event classes as the PBX numbers them; an "Events:" value of digits is read as these bits.
namespace EventClass {
inline constexpr unsigned System = 1u << 0;
inline constexpr unsigned Call = 1u << 1;
inline constexpr unsigned Agent = 1u << 5;
inline constexpr unsigned Reporting = 1u << 9;
inline constexpr unsigned Dialplan = 1u << 11;
inline constexpr unsigned Security = 1u << 18;
inline constexpr unsigned All = 0x7fffffffu;
} // namespace EventClass

// The classes a login's "Events:" value asks for, read as the PBX reads it: empty is all, digits
// are a bit mask, on/yes/true/y/t all and off/no/false/n/f none (any letter case), anything else
// a comma list of class names in lower case.
unsigned eventMask(std::string_view value);

// 10 and 11 (greetings 1.2 and 1.3) end every bridge with a Bridge event in state Unlink, where
// 1.6 and 1.8 still send the old Unlink event.
bool unlinksAsBridge(std::string_view greetingVersion);

// Appends the events that a session of this style reading these classes gets for the change:
// whole blocks, each ended by its empty line.
void appendCallEvents(std::string& out, const CallChange& change, EventStyle style, unsigned mask,
                      bool unlinkAsBridge = false);

// What a session is told right after "Authentication accepted".
struct LoginFacts
{
    std::string_view user;
    std::int64_t now = 0;    // unix seconds
    std::int64_t uptime = 0; // seconds since the simulator started
    std::string_view localAddress = "127.0.0.1/5038";
    std::string_view remoteAddress = "127.0.0.1/0";
    std::uint64_t sessionId = 0;
};
void appendLoginEvents(std::string& out, EventStyle style, unsigned mask, const LoginFacts& facts);

// What a PBX that is restarting tells the sessions that read system events, the same in every
// version, before it closes them.
void appendShutdownEvent(std::string& out);

} // namespace pbxsim
