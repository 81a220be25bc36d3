#include "Call.h"

namespace pbxsim {

// Local pairs wait in the dialplan (as in a test setup), phone and trunk channels sit in Dial; a
// queue's caller sits in Queue, and the member's channel it rings was dialled by the queue.
ChannelTraits traitsOf(const Call& call)
{
    const std::string_view type = channelType(call.channel);
    const std::string_view format = type == "Local" ? "slin" : "ulaw";
    if (call.agent)
        return {"1", "AppQueue", "(Outgoing Line)", format, ""};
    if (!call.queue.empty())
        return {"4", "Queue", call.queue + ",r,,,600", format, ""};
    if (type == "Local")
        return {"4", "Wait", "600", format, ""};
    std::string data(type);
    data += '/';
    data += call.extension;
    data += ",30";
    return {"1", "Dial", std::move(data), format, call.extension};
}

std::string_view channelType(std::string_view channel)
{
    return channel.substr(0, channel.find('/'));
}

} // namespace pbxsim
