#pragma once

#include "Call.h"
#include "Rng.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pbxsim {

// A bridge's unique id as a current PBX makes them: a random UUID.
std::string bridgeUuid(Rng& rng);

// Makes the calls of generateCalls one at a time, so that calls started later continue the same
// channel and unique id counters and never repeat a name.
class CallGenerator
{
public:
    explicit CallGenerator(std::uint64_t seed);
    // The next call, up since a random moment in the hour before `now`, or, with `justStarted`,
    // since `now`.
    Call next(std::int64_t now, bool justStarted = false);
    // A unique id that no generated call has or will have.
    std::string nextUniqueid(std::int64_t now);
    // A channel counter no generated call has used, for channels named elsewhere.
    std::uint64_t nextChannelNumber() { return ++channelCounter; }
    // A person's name as the calls carry them, "Søren Weiß" for one.
    std::string personName();

private:
    Rng rng;
    std::uint64_t channelCounter;
    std::uint64_t idCounter;
};

// Realistic calls: SIP and PJSIP channels, internal and outside callers, names with and without
// non-ASCII letters (UTF-8), start times spread over the hour before `now`. The same seed gives
// the same calls on every machine.
std::vector<Call> generateCalls(std::size_t count, std::uint64_t seed, std::int64_t now);

// Calls whose caller names look like manager text ("Authentication failed", "Event: Status",
// "Uniqueid: 9", ...) or need escaping, so a client can be shown not to be steered by them.
std::vector<Call> hostileCalls(std::int64_t now);

// One call per name, the name exactly these bytes (NUL, CR, LF and all): channels SIP/7701-...,
// caller numbers from 7701, extension 600, up for 30 s, 60 s, ... at `now`.
std::vector<Call> namedCalls(const std::vector<std::string>& names, std::int64_t now);

// "0000a3f1": eight hex digits, as a PBX numbers its channels.
std::string hex8(std::uint64_t value);

} // namespace pbxsim
