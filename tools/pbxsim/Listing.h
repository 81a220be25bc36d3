#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// The status record: 1.4's short one (legacy), 1.8 to 11's (Pbx18) or the current long one.
enum class Dialect
{
    Legacy,
    Modern,
    Pbx18
};

struct Call
{
    std::string channel;        // e.g. "SIP/2041-0000a3f1" or "PJSIP/2041-00000a3f" (bytes)
    std::string callerNum;      // e.g. "2041"
    std::string callerName;     // raw bytes as the caller set it (may be UTF-8 or hostile text)
    std::string extension;      // e.g. "600"
    std::string context;        // e.g. "from-internal"
    std::string uniqueid;       // e.g. "1796751510.12"
    std::int64_t startedAt;     // unix seconds when the call started
    std::string linkedid = {};  // the conversation it belongs to; empty: its own uniqueid
    std::string bridgeId = {};  // the bridge it is in, e.g. "c2a9a126-513a-4b27-9928-08eca28835bc"
    std::string bridgedTo = {}; // the channel it is bridged to; empty when it is not
    std::string bridgedUniqueid = {};
};

// The conversation a channel belongs to, as Linkedid says it.
inline const std::string& linkedidOf(const Call& call)
{
    return call.linkedid.empty() ? call.uniqueid : call.linkedid;
}

// splitmix64: the standard distributions differ between library implementations, this does not.
class Rng
{
public:
    explicit Rng(std::uint64_t seed)
        : state(seed)
    {}
    std::uint64_t next()
    {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }

private:
    std::uint64_t state;
};

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

// What a channel of this technology is doing in the dialplan.
struct ChannelTraits
{
    std::string_view priority;
    std::string_view application;
    std::string data;
    std::string_view format;
    std::string_view dnid;
};
ChannelTraits traitsOf(const Call& call);

// The complete bytes a PBX sends in answer to "Action: CoreShowChannels" at time `now`: the list
// answer, one CoreShowChannel per call and CoreShowChannelsComplete, in the current form or (not
// `current`) in that of 1.8 to 11. A non-empty `actionId` is echoed in every block, as the PBX
// does.
std::string coreShowChannelsAnswer(const std::vector<Call>& calls, bool current, std::int64_t now,
                                   std::string_view actionId);

// The complete bytes a PBX sends in answer to "Action: Status" for these calls at time `now`:
// the Response block, one Event: Status block per call and the StatusComplete block.
std::string statusAnswer(const std::vector<Call>& calls, Dialect dialect, std::int64_t now);

// A current PBX writes caller names C-escaped: \a \b \f \n \r \t \v \\ \' \" \? ; every other
// byte, UTF-8 included, goes out as it is.
std::string cEscape(std::string_view text);

// The channel technology: the part of the name before its first '/'.
std::string_view channelType(std::string_view channel);

} // namespace pbxsim
