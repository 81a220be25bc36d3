#include "QueueChurn.h"

#include "Causes.h"

#include <string>

namespace pbxsim {

QueueChurn::QueueChurn(CallTable& calls, QueueTable& queueTable, CallGenerator& callGenerator,
                       std::uint64_t seed)
    : table(calls)
    , queues(queueTable)
    , generator(callGenerator)
    , rng(seed ^ 0x9c4e)
{}

void QueueChurn::step(std::uint64_t count, std::int64_t now)
{
    const std::size_t nQueues = queues.queues().size();
    if (nQueues == 0)
        return;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (const Call* waiting = queues.pickWaiting(rng.next())) {
            const std::string channel = waiting->channel;
            if (rng.below(2) != 0 || queues.answer(channel) != QueueTable::Result::Done)
                table.hangup(channel, false, Cause::Normal);
        }
        const Queue& queue = queues.queues()[rng.below(nQueues)];
        queues.join(std::string(queue.name), generator.next(now, true));
    }
    endTalks(now);
}

void QueueChurn::endTalks(std::int64_t now)
{
    for (const std::string& caller : queues.answeredBefore(now - TalkSeconds)) {
        const Call* call = table.find(caller);
        if (call == nullptr)
            continue;
        // Either side may end it: the caller, or the member on its own channel.
        const std::string side =
            rng.below(2) == 0 || call->bridgedTo.empty() ? call->channel : call->bridgedTo;
        table.hangup(side, false, Cause::Normal);
    }
}

} // namespace pbxsim
