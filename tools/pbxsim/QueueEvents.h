#pragma once

#include "Events.h"
#include "Queue.h"

#include <string>

namespace pbxsim {

// Appends the events that a session of this style reading these classes gets for the change, as
// a PBX whose queues report members' states and calls (eventmemberstatus, eventwhencalled) sends
// them: up to 11 Join and Leave are call events with the caller's names raw, the rest agent
// events; from 12 on every one is an agent event, the channels in the current block.
void appendQueueEvents(std::string& out, const QueueChange& change, EventStyle style,
                       unsigned mask);

} // namespace pbxsim
