#include "Activity.h"

#include "Causes.h"

#include <array>
#include <limits>
#include <string>

namespace pbxsim {

namespace {

constexpr std::array<int, 8> Causes = {Cause::Normal,   Cause::Normal,  Cause::Normal,
                                       Cause::Normal,   Cause::Normal,  Cause::Busy,
                                       Cause::NoAnswer, Cause::Rejected};

} // namespace

Activity::Activity(CallTable& calls, QueueTable* queueTable, CallGenerator& callGenerator,
                   std::uint64_t seed)
    : table(calls)
    , queues(queueTable)
    , generator(callGenerator)
    , rng(seed ^ 0xac71)
{}

void Activity::begin(Clock::time_point now)
{
    bActive = true;
    schedule(now);
}

void Activity::schedule(Clock::time_point from)
{
    // Three to six seconds apart, so that an operator sees each one.
    due = from + std::chrono::milliseconds(3000 + rng.below(3000));
}

void Activity::run(Clock::time_point now, std::int64_t unixNow)
{
    if (!bActive || now < due)
        return;
    step(unixNow);
    schedule(now);
}

void Activity::step(std::int64_t now)
{
    // Try the chosen kind first, then the others, so that something always happens.
    const std::uint64_t first = rng.below(queues == nullptr ? 1 : 4);
    for (std::uint64_t n = 0; n < 4; ++n) {
        switch ((first + n) % 4) {
        case 0:
            if (endCall(now))
                return;
            break;
        case 1:
            if (queues != nullptr && abandon(now))
                return;
            break;
        case 2:
            if (queues != nullptr && answer(now))
                return;
            break;
        default:
            if (queues != nullptr && endTalk())
                return;
            break;
        }
    }
}

bool Activity::endCall(std::int64_t now)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const Call* call = table.pick(rng.next());
        if (call == nullptr)
            return false;
        if (!call->queue.empty())
            continue; // the queues' own calls come and go below
        const std::size_t before = table.size();
        table.hangup(std::string(call->channel), false, Causes[rng.below(Causes.size())]);
        for (std::size_t ended = before - table.size(); ended > 0; --ended)
            table.start(generator.next(now, true));
        return true;
    }
    return false;
}

bool Activity::abandon(std::int64_t now)
{
    const Call* waiting = queues->pickWaiting(rng.next());
    if (waiting == nullptr)
        return false;
    const std::string queue = waiting->queue;
    table.hangup(std::string(waiting->channel), false, Cause::Normal);
    queues->join(queue, generator.next(now, true));
    return true;
}

bool Activity::answer(std::int64_t now)
{
    const Call* waiting = queues->pickWaiting(rng.next());
    if (waiting == nullptr)
        return false;
    const std::string queue = waiting->queue;
    if (queues->answer(std::string(waiting->channel)) != QueueTable::Result::Done)
        return false;
    queues->join(queue, generator.next(now, true));
    return true;
}

bool Activity::endTalk()
{
    const std::vector<std::string> talks =
        queues->answeredBefore(std::numeric_limits<std::int64_t>::max());
    if (talks.empty())
        return false;
    table.hangup(talks.front(), false, Cause::Normal);
    return true;
}

} // namespace pbxsim
