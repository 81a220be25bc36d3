#include "Listing.h"

#include <array>
#include <cstdio>

namespace pbxsim {

namespace {

constexpr std::string_view Unknown = "<unknown>";

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

std::string hex8(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%08llx",
                  static_cast<unsigned long long>(value & 0xffffffffULL));
    return text;
}

} // namespace

// Local pairs wait in the dialplan (as in a test setup), phone and trunk channels sit in Dial.
ChannelTraits traitsOf(const Call& call)
{
    const std::string_view type = channelType(call.channel);
    if (type == "Local")
        return {"4", "Wait", "600", "slin", ""};
    std::string data(type);
    data += '/';
    data += call.extension;
    data += ",30";
    return {"1", "Dial", std::move(data), "ulaw", call.extension};
}

namespace {

void field(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    out += ": ";
    out += value;
    out += "\r\n";
}

std::string_view orUnknown(std::string_view value)
{
    return value.empty() ? Unknown : value;
}

// The current PBX's description of a channel, as its events and listings carry it.
void channelBlock(std::string& out, const Call& call, const ChannelTraits& traits)
{
    field(out, "Channel", call.channel);
    field(out, "ChannelState", "6");
    field(out, "ChannelStateDesc", "Up");
    field(out, "CallerIDNum", orUnknown(call.callerNum));
    field(out, "CallerIDName",
          call.callerName.empty() ? std::string(Unknown) : cEscape(call.callerName));
    field(out, "ConnectedLineNum", Unknown);
    field(out, "ConnectedLineName", Unknown);
    field(out, "Language", "en");
    field(out, "AccountCode", "");
    field(out, "Context", call.context);
    field(out, "Exten", call.extension);
    field(out, "Priority", traits.priority);
    field(out, "Uniqueid", call.uniqueid);
    field(out, "Linkedid", linkedidOf(call));
}

// "01:02:03"; the hours are not limited to two digits.
std::string duration(std::int64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds % 3600 / 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

void modernRecord(std::string& out, const Call& call, std::int64_t now)
{
    const ChannelTraits traits = traitsOf(call);
    const std::int64_t seconds = now > call.startedAt ? now - call.startedAt : 0;
    field(out, "Event", "Status");
    field(out, "Privilege", "Call");
    channelBlock(out, call, traits);
    field(out, "Type", channelType(call.channel));
    field(out, "DNID", traits.dnid);
    field(out, "EffectiveConnectedLineNum", Unknown);
    field(out, "EffectiveConnectedLineName", Unknown);
    field(out, "TimeToHangup", "0");
    field(out, "BridgeID", call.bridgeId);
    field(out, "Application", traits.application);
    field(out, "Data", traits.data);
    out += "Nativeformats: (";
    out += traits.format;
    out += ")\r\n";
    field(out, "Readformat", traits.format);
    field(out, "Readtrans", "");
    field(out, "Writeformat", traits.format);
    field(out, "Writetrans", "");
    field(out, "Callgroup", "0");
    field(out, "Pickupgroup", "0");
    field(out, "Seconds", std::to_string(seconds));
    out += "\r\n";
}

// Older versions send names raw: whatever the caller set reaches the wire unchanged.
void legacyRecord(std::string& out, const Call& call, std::int64_t now)
{
    const std::int64_t seconds = now > call.startedAt ? now - call.startedAt : 0;
    field(out, "Event", "Status");
    field(out, "Privilege", "Call");
    field(out, "Channel", call.channel);
    field(out, "CallerID", orUnknown(call.callerNum));
    field(out, "CallerIDNum", orUnknown(call.callerNum));
    field(out, "CallerIDName", orUnknown(call.callerName));
    field(out, "Account", "");
    field(out, "State", "Up");
    field(out, "Context", call.context);
    field(out, "Extension", call.extension);
    field(out, "Priority", traitsOf(call).priority);
    field(out, "Seconds", std::to_string(seconds));
    field(out, "Link", call.bridgedTo);
    field(out, "Uniqueid", call.uniqueid);
    out += "\r\n";
}

// 1.8 to 11, for a channel in the dialplan: connected line fields, the state as a number and a
// text, and the bridged peer only when there is one. Names are sent raw.
void pbx18Record(std::string& out, const Call& call, std::int64_t now)
{
    const std::int64_t seconds = now > call.startedAt ? now - call.startedAt : 0;
    field(out, "Event", "Status");
    field(out, "Privilege", "Call");
    field(out, "Channel", call.channel);
    field(out, "CallerIDNum", orUnknown(call.callerNum));
    field(out, "CallerIDName", orUnknown(call.callerName));
    field(out, "ConnectedLineNum", Unknown);
    field(out, "ConnectedLineName", Unknown);
    field(out, "Accountcode", "");
    field(out, "ChannelState", "6");
    field(out, "ChannelStateDesc", "Up");
    field(out, "Context", call.context);
    field(out, "Extension", call.extension);
    field(out, "Priority", traitsOf(call).priority);
    field(out, "Seconds", std::to_string(seconds));
    if (!call.bridgedTo.empty()) {
        field(out, "BridgedChannel", call.bridgedTo);
        field(out, "BridgedUniqueid", call.bridgedUniqueid);
    }
    field(out, "Uniqueid", call.uniqueid);
    out += "\r\n";
}

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

std::string_view channelType(std::string_view channel)
{
    return channel.substr(0, channel.find('/'));
}

std::string cEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        char escaped = 0;
        switch (c) {
        case '\a':
            escaped = 'a';
            break;
        case '\b':
            escaped = 'b';
            break;
        case '\f':
            escaped = 'f';
            break;
        case '\n':
            escaped = 'n';
            break;
        case '\r':
            escaped = 'r';
            break;
        case '\t':
            escaped = 't';
            break;
        case '\v':
            escaped = 'v';
            break;
        case '\\':
        case '\'':
        case '"':
        case '?':
            escaped = c;
            break;
        default:
            break;
        }
        if (escaped != 0) {
            out += '\\';
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
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

std::string coreShowChannelsAnswer(const std::vector<Call>& calls, bool current, std::int64_t now,
                                   std::string_view actionId)
{
    std::string id;
    if (!actionId.empty())
        field(id, "ActionID", actionId);
    std::string out;
    out.reserve(256 + calls.size() * (current ? 460 : 400));
    field(out, "Response", "Success");
    out += id;
    field(out, "EventList", "start");
    field(out, "Message", "Channels will follow");
    out += "\r\n";
    for (const Call& call : calls) {
        const ChannelTraits traits = traitsOf(call);
        const std::string up = duration(now > call.startedAt ? now - call.startedAt : 0);
        field(out, "Event", "CoreShowChannel");
        out += id;
        if (current) {
            // Every name escaped here, unlike Status.
            channelBlock(out, call, traits);
            field(out, "Application", traits.application);
            field(out, "ApplicationData", traits.data);
            field(out, "Duration", up);
            field(out, "BridgeId", call.bridgeId);
        } else {
            // Up to 11 names go out raw, and unset ones empty.
            field(out, "Channel", call.channel);
            field(out, "UniqueID", call.uniqueid);
            field(out, "Context", call.context);
            field(out, "Extension", call.extension);
            field(out, "Priority", traits.priority);
            field(out, "ChannelState", "6");
            field(out, "ChannelStateDesc", "Up");
            field(out, "Application", traits.application);
            field(out, "ApplicationData", traits.data);
            field(out, "CallerIDnum", call.callerNum);
            field(out, "CallerIDname", call.callerName);
            field(out, "ConnectedLineNum", "");
            field(out, "ConnectedLineName", "");
            field(out, "Duration", up);
            field(out, "AccountCode", "");
            field(out, "BridgedChannel", call.bridgedTo);
            field(out, "BridgedUniqueID", call.bridgedUniqueid);
        }
        out += "\r\n";
    }
    field(out, "Event", "CoreShowChannelsComplete");
    field(out, "EventList", "Complete");
    field(out, "ListItems", std::to_string(calls.size()));
    out += id;
    out += "\r\n";
    return out;
}

std::string statusAnswer(const std::vector<Call>& calls, Dialect dialect, std::int64_t now)
{
    const bool modern = dialect == Dialect::Modern;
    std::string out;
    out.reserve(256 + calls.size() * (modern ? 720 : 340));
    field(out, "Response", "Success");
    if (modern)
        field(out, "EventList", "start");
    field(out, "Message", "Channel status will follow");
    out += "\r\n";
    for (const Call& call : calls) {
        if (modern)
            modernRecord(out, call, now);
        else if (dialect == Dialect::Pbx18)
            pbx18Record(out, call, now);
        else
            legacyRecord(out, call, now);
    }
    const std::string items = std::to_string(calls.size());
    field(out, "Event", "StatusComplete");
    if (modern) {
        field(out, "EventList", "Complete");
        field(out, "ListItems", items);
    }
    field(out, "Items", items);
    out += "\r\n";
    return out;
}

} // namespace pbxsim
