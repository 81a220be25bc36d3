#pragma once

#include "CallGenerator.h"
#include "CallTable.h"
#include "Churn.h"
#include "QueueTable.h"
#include "Rng.h"

#include <cstdint>

namespace pbxsim {

// Callers come and go in the queues of a busy PBX: each step one caller joins a queue chosen at
// random and one waiting caller leaves, half of them abandoning and half answered by a free
// member (abandoning when there is none); answered calls end after TalkSeconds, from either side.
class QueueChurn
{
public:
    static constexpr std::int64_t TalkSeconds = 4;

    QueueChurn(CallTable& calls, QueueTable& queues, CallGenerator& generator, std::uint64_t seed);

    // When callers are due, `perSecond` joining and as many leaving a second.
    Churn& timing() { return clock; }
    const Churn& timing() const { return clock; }
    void step(std::uint64_t count, std::int64_t now);
    // Ends the answered calls whose time is up.
    void endTalks(std::int64_t now);

private:
    CallTable& table;
    QueueTable& queues;
    CallGenerator& generator;
    Churn clock;
    Rng rng;
};

} // namespace pbxsim
