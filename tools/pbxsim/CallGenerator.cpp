#include "CallGenerator.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace pbxsim {

namespace {

template <class T, std::size_t N> const T& pick(Rng& rng, const std::array<T, N>& items)
{
    return items[static_cast<std::size_t>(rng.below(N))];
}

constexpr std::array<std::string_view, 20> FirstNames = {
    "Alice",  "Bob",      "Carla",     "David", "Zoë",   "José",   "Søren",
    "Łukasz", "François", "Ana",       "Björn", "Çağla", "Émilie", "Henry",
    "Ingrid", "Jürgen",   "Katarzyna", "Liam",  "Maya",  "Noah"};
constexpr std::array<std::string_view, 20> LastNames = {
    "Smith",    "Müller", "García",  "Østergaard", "Lefèvre", "Núñez",  "Ångström",
    "Yılmaz",   "Jones",  "Nowak",   "Brown",      "Dubois",  "Rossi",  "Schäfer",
    "Kowalski", "Weiß",   "O'Brien", "Taylor",     "Novák",   "Fischer"};
constexpr std::array<std::string_view, 6> OutsideNames = {
    "ACME Corp", "CITY HALL", "Dr. Petra Krüger", "WIRELESS CALLER", "Hôtel Bellevue", "Anonymous"};
constexpr std::array<std::string_view, 6> Extensions = {"600",  "601",  "700",
                                                        "8000", "8001", "9000"};

// Calls that differ only in their caller names: numbers from `first.number` up, channels
// SIP/<number>-0000<tag><index>, started `first.spacing` seconds apart.
struct NamedCallsStart
{
    std::size_t number;
    const char* tag;
    std::int64_t spacing;
    std::size_t uniqueid;
};

std::vector<Call> callsNamed(const std::vector<std::string>& names, std::int64_t now,
                             const NamedCallsStart& first)
{
    std::vector<Call> calls;
    calls.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string num = std::to_string(first.number + i);
        Call call;
        call.channel = "SIP/" + num + "-0000" + first.tag + hex8(i).substr(6);
        call.callerNum = num;
        call.callerName = names[i];
        call.extension = "600";
        call.context = "from-internal";
        call.startedAt = now - first.spacing * static_cast<std::int64_t>(i + 1);
        call.uniqueid = std::to_string(call.startedAt) + '.' + std::to_string(first.uniqueid + i);
        calls.push_back(std::move(call));
    }
    return calls;
}

} // namespace

std::string hex8(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%08llx",
                  static_cast<unsigned long long>(value & 0xffffffffULL));
    return text;
}

CallGenerator::CallGenerator(std::uint64_t seed)
    : rng(seed)
{
    // A PBX numbers its channels and unique ids from running counters.
    channelCounter = 0x1000 + rng.below(0xe000);
    idCounter = rng.below(5000);
}

Call CallGenerator::next(std::int64_t now, bool justStarted)
{
    Call call;
    const std::string_view tech = rng.below(2) == 0 ? "SIP" : "PJSIP";
    const std::uint64_t kind = rng.below(100);
    std::string peer;
    if (kind < 65) {
        // An internal phone calling a colleague, a queue or the voicemail.
        call.callerNum = std::to_string(2000 + rng.below(900));
        peer = call.callerNum;
        call.context = "from-internal";
        call.extension = rng.below(3) == 0 ? std::string(pick(rng, Extensions))
                                           : std::to_string(2000 + rng.below(900));
        if (rng.below(10) != 0) {
            call.callerName = pick(rng, FirstNames);
            call.callerName += ' ';
            call.callerName += pick(rng, LastNames);
        }
    } else {
        // An outside caller on the trunk, with or without a name from the network.
        call.callerNum = "+4930" + std::to_string(1000000 + rng.below(9000000));
        peer = "telco";
        call.context = "from-trunk";
        call.extension = std::string(pick(rng, Extensions));
        if (rng.below(3) != 0)
            call.callerName = pick(rng, OutsideNames);
    }
    channelCounter += 1 + rng.below(16);
    call.channel = std::string(tech) + '/' + peer + '-' + hex8(channelCounter);
    call.startedAt = now - static_cast<std::int64_t>(rng.below(3600));
    if (justStarted)
        call.startedAt = now;
    call.uniqueid = std::to_string(call.startedAt) + '.' + std::to_string(idCounter);
    idCounter += 1 + rng.below(3);
    return call;
}

std::string bridgeUuid(Rng& rng)
{
    const std::uint64_t high = rng.next();
    const std::uint64_t low = rng.next();
    char text[40];
    std::snprintf(text, sizeof text, "%08llx-%04llx-4%03llx-%04llx-%012llx",
                  static_cast<unsigned long long>(high >> 32),
                  static_cast<unsigned long long>((high >> 16) & 0xffff),
                  static_cast<unsigned long long>(high & 0xfff),
                  static_cast<unsigned long long>(0x8000 | ((low >> 48) & 0x3fff)),
                  static_cast<unsigned long long>(low & 0xffffffffffffULL));
    return text;
}

std::string CallGenerator::nextUniqueid(std::int64_t now)
{
    return std::to_string(now) + '.' + std::to_string(idCounter++);
}

std::string CallGenerator::personName()
{
    return std::string(pick(rng, FirstNames)) + ' ' + std::string(pick(rng, LastNames));
}

std::vector<Call> generateCalls(std::size_t count, std::uint64_t seed, std::int64_t now)
{
    CallGenerator generator(seed);
    std::vector<Call> calls;
    calls.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        calls.push_back(generator.next(now));
    return calls;
}

std::vector<Call> hostileCalls(std::int64_t now)
{
    const std::vector<std::string> names = {
        "Authentication failed",
        "Authentication accepted",
        "Message: Authentication accepted",
        "Response: Success",
        "Event: Status",
        "Event: StatusComplete",
        "Uniqueid: 9",
        "Asterisk Call Manager/1.1",
        "Currently No Calls",
        "Channel: SIP/6666-00000001",
        "Seconds: 99999",
        "O'Neil \"Bob\" back\\slash Who? tab\tend",
        "LongName300-" + std::string(288, 'x'),
        "Zoë Müller",
        "",
    };
    return callsNamed(names, now, {6601, "ee", 60, 9000});
}

std::vector<Call> namedCalls(const std::vector<std::string>& names, std::int64_t now)
{
    return callsNamed(names, now, {7701, "ff", 30, 7000});
}

} // namespace pbxsim
