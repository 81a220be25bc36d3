#pragma once

#include "CallGenerator.h"
#include "CallTable.h"
#include "QueueTable.h"
#include "Rng.h"

#include <chrono>
#include <cstdint>

namespace pbxsim {

// A PBX at a quiet hour, for a demo that should show a history: every few seconds one thing
// happens, and what ends is replaced. A call ends with a cause (mostly normal clearing, now and
// then busy, unanswered or rejected) and another starts; a waiting caller gives up, or a member
// answers one, and another caller joins; an answered call ends.
class Activity
{
public:
    using Clock = std::chrono::steady_clock;

    // Without queues only calls come and go.
    Activity(CallTable& calls, QueueTable* queues, CallGenerator& generator, std::uint64_t seed);

    void begin(Clock::time_point now);
    bool active() const { return bActive; }
    Clock::time_point nextDue() const { return due; }
    // Does what is due by `now`; `unixNow` for the calls that start.
    void run(Clock::time_point now, std::int64_t unixNow);

private:
    void step(std::int64_t now);
    bool endCall(std::int64_t now);
    bool abandon(std::int64_t now);
    bool answer(std::int64_t now);
    bool endTalk();
    void schedule(Clock::time_point from);

    CallTable& table;
    QueueTable* queues;
    CallGenerator& generator;
    Rng rng;
    bool bActive = false;
    Clock::time_point due;
};

} // namespace pbxsim
