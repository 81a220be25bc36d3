#pragma once

#include "CallTable.h"
#include "Events.h"
#include "Queue.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// What a QueueStatus or QueueSummary asks for, and how the PBX that answers writes it.
struct QueueQuery
{
    EventStyle style = EventStyle::Current;
    std::int64_t now = 0;
    std::string_view actionId = {};
    std::string_view queue = {};  // only this queue (letter case aside); empty: all
    std::string_view member = {}; // QueueStatus: only members with this interface (or, from 12 on,
                                  // this name); empty: all
};

// The complete bytes of the answer to "Action: QueueStatus": per queue its QueueParams, its
// members and its waiting callers, each in the generation's fields, the callers' names raw as
// every version sends them; then QueueStatusComplete. An ActionID ends every block and follows
// the completion's Event line.
std::string queueStatusAnswer(const std::vector<Queue>& queues, const CallTable& calls,
                              const QueueQuery& query);

// The answer to "Action: QueueSummary" (1.6 on): per queue the members logged in and free, the
// callers, the averages and the longest wait.
std::string queueSummaryAnswer(const std::vector<Queue>& queues, const QueueQuery& query);

} // namespace pbxsim
