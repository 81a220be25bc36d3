#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pbxsim {

struct Call
{
    std::string channel;        // e.g. "SIP/2041-0000a3f1" or "PJSIP/2041-00000a3f" (bytes)
    std::string callerNum;      // e.g. "2041"
    std::string callerName;     // raw bytes as the caller set it (may be UTF-8 or hostile text)
    std::string extension;      // e.g. "600"
    std::string context;        // e.g. "from-internal"
    std::string uniqueid;       // e.g. "1796751510.12"
    std::int64_t startedAt;     // unix seconds when the call started
    std::string linkedid = {};  // the conversation it belongs to; empty: its own uniqueid
    std::string bridgeId = {};  // the bridge it is in, e.g. "c2a9a126-513a-4b27-9928-08eca28835bc"
    std::string bridgedTo = {}; // the channel it is bridged to; empty when it is not
    std::string bridgedUniqueid = {};
    std::string connectedNum = {};  // the connected line: the party the PBX says it talks to
    std::string connectedName = {}; // raw bytes, as the far side set them
    std::string queue = {};         // the queue it waits in (or was answered from), or answers for
    bool agent = false;             // a queue member's channel, dialled by the queue
};

// The conversation a channel belongs to, as Linkedid says it.
inline const std::string& linkedidOf(const Call& call)
{
    return call.linkedid.empty() ? call.uniqueid : call.linkedid;
}

// What a channel is doing in the dialplan.
struct ChannelTraits
{
    std::string_view priority;
    std::string_view application;
    std::string data;
    std::string_view format;
    std::string_view dnid;
};
ChannelTraits traitsOf(const Call& call);

// The channel technology: the part of the name before its first '/'.
std::string_view channelType(std::string_view channel);

} // namespace pbxsim
