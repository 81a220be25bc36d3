#pragma once

#include <string>

namespace corvale {

struct Conversation;
struct LiveCall;

// One channel of a conversation: a row of the live calls.
struct Leg
{
    const LiveCall* call = nullptr; // stays put while the channel is up, renames included
    Conversation* conversation = nullptr;
    // The keys it is filed under, as they were when last read: the call may already say
    // otherwise when a change is announced.
    std::string channel;
    std::string localChannel; // a Local channel's half: the channel's name without ";1" / ";2"
    std::string bridgeId;
    std::string bridgedTo;
    std::string linkedid;
};

} // namespace corvale
