#pragma once

#include "Events.h"
#include "Listing.h"

#include <string>
#include <string_view>

// Caller names that forge manager text where a PBX sends a name raw: an empty line in them ends
// the genuine block early, and the rest of the genuine block closes the forged one.
namespace pbxsim {

// A Status record for `victim`, an existing channel, with a forged Seconds before the empty line,
// in the dialect's record ("Connected Forger" of the recordings).
std::string forgedStatusRecord(Dialect dialect, std::string_view victim);

// An empty line, then a Shutdown as a restarting PBX sends it ("Shutdown Forger").
std::string forgedShutdown();

// A QueueEntry of `queue` for `victim` in the generation's fields, with a forged Wait before
// the empty line.
std::string forgedQueueEntry(EventStyle style, std::string_view queue, const Call& victim);

// A call on `channel` whose name forges `text` where the dialect sends a name raw: a current
// PBX's effective connected line, else the caller's name.
Call forgingCall(Dialect dialect, std::string channel, std::string_view number,
                 std::string_view callerName, std::string text);

} // namespace pbxsim
