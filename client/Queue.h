#pragma once

#include "QueueFields.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale {

struct Queue;

// What a member is doing as an operator reads it: a call outweighs ringing, ringing a pause, a
// pause an unreachable device.
enum class MemberState
{
    Free,
    Ringing,
    OnCall,
    Paused,
    Unavailable
};

// A caller waiting in a queue. Text is the bytes of the wire; the name is unescaped.
struct QueueCaller
{
    const Queue* queue = nullptr;
    unsigned position = 0; // 1 is next, as the PBX numbers them
    std::string channel;
    std::string uniqueid; // empty where the PBX did not say (the listing of 1.4)
    std::string number;
    std::string name;
    // The PBX's Wait at the last listing (0 for a caller first seen joining), counted on from
    // `since`.
    std::uint32_t waited = 0;
    std::chrono::steady_clock::time_point since;
    std::uint64_t listedIn = 0;

    std::int64_t waitSeconds(std::chrono::steady_clock::time_point now) const;
    // Takes in what a record or event says, the wait counted from `now`; true when what a view
    // shows of it changed.
    bool describe(const CallerFields& fields, std::chrono::steady_clock::time_point now);
    std::chrono::steady_clock::time_point joined() const
    {
        return since - std::chrono::seconds(waited);
    }
};

// A member of a queue: an agent, or a phone the queue rings.
struct QueueMember
{
    const Queue* queue = nullptr;
    std::string name;      // empty where the PBX gives none (the listing of 1.4)
    std::string interface; // Location or Interface: what QueuePause names
    // The PBX's device state (0 unknown, 1 not in use, 2 in use, 3 busy, 4 invalid,
    // 5 unavailable, 6 ringing, 7 ringing while in use, 8 on hold), the same in every version.
    int status = 0;
    bool paused = false;
    std::string pausedReason;
    std::int64_t pausedAt = 0; // the PBX's time (Unix seconds) of the last pause; 0 unknown
    bool inCall = false;
    bool ringing = false; // rung for a caller and not yet answered or given up
    std::string rungFor;  // the Uniqueid of that caller, where the PBX said
    std::uint32_t callsTaken = 0;
    std::int64_t lastCall = 0; // Unix seconds when the last call ended; 0 none
    std::uint64_t listedIn = 0;

    MemberState state() const;
    // Takes in what a record (`listing`) or event says; true when anything changed. A pause that
    // starts without a time of its own began at `pauseStarts` (0: unknown).
    bool apply(const MemberFields& fields, bool listing, std::int64_t pauseStarts);
    // As the PBX counts a member logged in: its device can be reached.
    bool loggedIn() const { return status != 4 && status != 5; }
};

// Members by state (which partition them) and those logged in.
struct MemberCounts
{
    std::size_t loggedIn = 0;
    std::size_t free = 0;
    std::size_t ringing = 0;
    std::size_t onCall = 0;
    std::size_t paused = 0;
    std::size_t unavailable = 0;
};

struct Queue
{
    std::string name;
    // The figures as the PBX last reported them, counted on by the events in between.
    std::uint32_t completed = 0; // calls answered and ended
    std::uint32_t abandoned = 0;
    std::uint32_t holdTime = 0; // the PBX's average wait, in seconds
    std::uint32_t talkTime = 0;
    std::uint32_t serviceLevel = 0;          // a call answered within this many seconds counts
    std::optional<double> serviceLevelPerf;  // percent answered within it
    std::optional<double> serviceLevelPerf2; // 16 and later: abandoned within it count as well

    std::vector<std::unique_ptr<QueueCaller>> callers; // by position
    std::vector<std::unique_ptr<QueueMember>> members; // in the order first seen
    std::uint64_t order = 0;
    std::uint64_t listedIn = 0;

    // The figures a record gives; true when any changed.
    bool apply(const QueueFields& fields);
    std::size_t indexOf(const QueueCaller& caller) const;
    QueueCaller* callerWithUniqueid(std::string_view uniqueid) const;
    // Where a caller at this position goes: before those behind it and those beside it.
    std::size_t placeOf(unsigned position) const;
    // members.size() when none has this interface.
    std::size_t memberIndex(std::string_view interface) const;
    MemberCounts counts() const;
    // The longest wait of its callers; 0 with none.
    std::int64_t longestWait(std::chrono::steady_clock::time_point now) const;
};

} // namespace corvale
