#pragma once

#include "Call.h"

#include <string>
#include <string_view>

// Manager text as the PBX writes it: "Key: value" lines, and the channel block a current PBX puts
// in its events and listings.
namespace pbxsim {

inline constexpr std::string_view Unknown = "<unknown>";

inline void field(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    out += ": ";
    out += value;
    out += "\r\n";
}

// "Event: <event>" and "Privilege: <classes>", as every event begins.
inline void eventHead(std::string& out, std::string_view event, std::string_view privilege)
{
    field(out, "Event", event);
    field(out, "Privilege", privilege);
}

inline std::string_view orUnknown(std::string_view value)
{
    return value.empty() ? Unknown : value;
}

// "ActionID: <id>" and its line end, or nothing when the action carried none.
std::string actionIdLine(std::string_view actionId);

// A current PBX writes caller names C-escaped: \a \b \f \n \r \t \v \\ \' \" \? ; every other
// byte, UTF-8 included, goes out as it is.
std::string cEscape(std::string_view text);

struct State
{
    std::string_view number;
    std::string_view text;
};
inline constexpr State Down{"0", "Down"};
inline constexpr State Ring{"4", "Ring"};
inline constexpr State Up{"6", "Up"};

// A channel as an event or a listing describes it at one moment: the call's fields, some of them
// overridden for the steps of a call that is still being set up.
struct ChannelView
{
    const Call& call;
    State state = Up;
    std::string_view number = call.callerNum;
    std::string_view name = call.callerName;
    std::string_view priority = traitsOf(call).priority;
    std::string_view channel = call.channel;
    std::string_view uniqueid = call.uniqueid;
};

// The channel block, each key after `prefix` ("Dest" for the other party of a queue's events).
void channelBlock(std::string& out, const ChannelView& view, std::string_view prefix = {});

// "01:02:03"; the hours are not limited to two digits.
std::string duration(std::int64_t seconds);

} // namespace pbxsim
