#pragma once

#include "Call.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// Device states as a queue reports its members' Status.
namespace DeviceState {
inline constexpr int NotInUse = 1;
inline constexpr int InUse = 2;
inline constexpr int Unavailable = 5;
} // namespace DeviceState

struct QueueMember
{
    std::string name;      // "Anna Agent"
    std::string interface; // "Local/6001@queue-agents/n": what the queue dials
    bool dynamic = false;  // added at run time rather than configured
    int penalty = 0;
    int callsTaken = 0;
    std::int64_t lastCall = 0; // unix seconds its last call ended; 0: none yet
    std::int64_t lastPause = 0;
    std::int64_t loginTime = 0;
    bool inCall = false;
    int status = DeviceState::NotInUse;
    bool paused = false;
    std::string pausedReason;
};

// A caller waiting in a queue: its channel is a call that is up, running the Queue application.
struct QueueCaller
{
    std::string uniqueid;
    std::int64_t joinedAt = 0;
    int originalPosition = 0;
};

struct Queue
{
    std::string name;
    std::string strategy = "ringall";
    int serviceLevel = 60; // seconds within which a call counts as answered in time
    int holdtime = 0;      // running averages, as the PBX keeps them
    int talktime = 0;
    int completed = 0;
    int abandoned = 0;
    int completedInServiceLevel = 0;
    int abandonedInServiceLevel = 0;
    std::vector<QueueMember> members;
    std::vector<QueueCaller> callers; // in the order they are served
};

// What happened in a queue, for the sessions that report it as events.
struct QueueChange
{
    enum class Kind
    {
        Joined,         // `caller` joined at `position`; `count` wait now
        Left,           // `caller` left from `position`, answered or not; `count` wait now
        Abandoned,      // `caller` gave up at `position` after `holdTime`; Left follows
        AgentCalled,    // `member` is rung on `agent` for `caller`
        AgentConnected, // `member` answered `caller` after `holdTime`
        AgentCompleted, // the call of `caller` and `member` ended after `talkTime`; `reason` says
                        // which side ended it: "caller" or "agent"
        MemberStatus,   // `member`'s device state or its calls changed
        MemberPaused,   // `member` was paused or unpaused, with `reason` if one was given
        MemberAdded,
        MemberRemoved // `member` is still there while it is told
    };
    Kind kind;
    const Queue& queue;
    const QueueMember* member = nullptr;
    const Call* caller = nullptr;
    const Call* agent = nullptr; // the member's channel
    int position = 0;
    int originalPosition = 0;
    int count = 0;
    std::int64_t holdTime = 0;
    std::int64_t talkTime = 0;
    std::string_view reason = {};
};

} // namespace pbxsim
