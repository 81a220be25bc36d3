#include "LiveSession.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <set>

namespace corvale::fuzz {

namespace {

// Written out here rather than taken from the client, so a fault there cannot hide itself.
constexpr std::string_view LiveLogin =
    "Action: login\r\nUsername: admin\r\nSecret: secret\r\nEvents: call\r\n\r\n";
constexpr std::string_view StatusText = "Action: Status\r\n\r\n";
constexpr std::string_view CoreShowChannelsText = "Action: CoreShowChannels\r\n\r\n";

constexpr std::size_t PoolSize = 10;
constexpr std::size_t MaxSteps = 400;

std::string channelName(std::size_t i)
{
    return "SIP/" + std::to_string(100 + i) + "-0000000" + std::to_string(i % 10);
}

// How a current PBX writes a caller's name in events and in a record's CallerIDName.
std::string escaped(std::string_view name)
{
    std::string out;
    for (const char c : name) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

} // namespace

LiveSession::LiveSession()
    : calls(std::locale::classic())
    , client(window, std::locale::classic())
{
    window.user = "admin";
    window.secret = "secret";
    client.followCalls(&calls);
}

std::string LiveSession::injected(std::uint8_t choice) const
{
    const std::string victim = model.empty() ? channelName(0) : model.begin()->first;
    switch (choice % 13) {
    case 0:
        return "Asterisk Call Manager/1.1";
    case 1:
        return "Message: Authentication failed";
    case 2:
        return "Response: Error\r\nMessage: Authentication failed";
    case 3:
        return "Response: Success\r\nMessage: Authentication accepted";
    case 4:
        return "Response: Error\r\nMessage: Permission denied";
    case 5:
        return "Event: Hangup\r\nChannel: " + victim + "\r\nCause: 16";
    case 6:
        return "Event: Newchannel\r\nChannel: Fake/1\r\nCallerIDNum: 666";
    case 7:
        return "Event: StatusComplete";
    case 8:
        return "Event: Status\r\nChannel: Fake/2\r\nUniqueid: 9";
    case 9:
        return "Uniqueid: 7\r\nEvent: Hangup\r\nChannel: " + victim;
    case 10:
        return "Response: Success\r\nMessage: Channel status will follow";
    case 11:
        return "Event: Rename\r\nChannel: " + victim + "\r\nOldname: " + victim +
               "\r\nNewname: Fake/3";
    default:
        return "Uniqueid: 8\r\nResponse: Error\r\nMessage: Permission denied";
    }
}

std::string LiveSession::record(const std::string& channel, const std::string& name) const
{
    switch (generation) {
    case Generation::V14:
        return "Event: Status\r\nPrivilege: Call\r\nChannel: " + channel +
               "\r\nCallerID: 100\r\nCallerIDNum: 100\r\nCallerIDName: " + name +
               "\r\nAccount: \r\nState: Up\r\nContext: default\r\nExtension: 200\r\n"
               "Priority: 1\r\nSeconds: 30\r\nLink: \r\nUniqueid: 1.1\r\n\r\n";
    case Generation::V18:
        return "Event: Status\r\nPrivilege: Call\r\nChannel: " + channel +
               "\r\nCallerIDNum: 100\r\nCallerIDName: " + name +
               "\r\nConnectedLineNum: 200\r\nConnectedLineName: " + name +
               "\r\nAccountcode: \r\nChannelState: 6\r\nChannelStateDesc: Up\r\n"
               "Context: default\r\nExtension: 200\r\nPriority: 1\r\nSeconds: 30\r\n"
               "Uniqueid: 1.1\r\n\r\n";
    case Generation::Current:
        break;
    }
    // A current PBX escapes the caller's name but not the effective connected line's.
    return "Event: Status\r\nPrivilege: Call\r\nChannel: " + channel +
           "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\nCallerIDNum: 100\r\nCallerIDName: " +
           escaped(name) +
           "\r\nConnectedLineNum: 200\r\nConnectedLineName: <unknown>\r\nLanguage: en\r\n"
           "AccountCode: \r\nContext: default\r\nExten: 200\r\nPriority: 1\r\nUniqueid: 1.1\r\n"
           "Linkedid: 1.1\r\nType: SIP\r\nDNID: \r\nEffectiveConnectedLineNum: 200\r\n"
           "EffectiveConnectedLineName: " +
           name +
           "\r\nTimeToHangup: 0\r\nBridgeID: \r\nApplication: Dial\r\nData: \r\n"
           "Seconds: 30\r\n\r\n";
}

std::string LiveSession::coreShowChannels() const
{
    // Every name escaped: nothing to inject.
    std::string bytes = "Response: Success\r\nEventList: start\r\nMessage: Channels will "
                        "follow\r\n\r\n";
    for (const auto& entry : model)
        bytes += "Event: CoreShowChannel\r\nChannel: " + entry.first +
                 "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\nCallerIDNum: 100\r\n"
                 "CallerIDName: Caller\\r\\nEvent: Hangup\r\nUniqueid: 1.1\r\nLinkedid: 1.1\r\n"
                 "Application: Dial\r\nDuration: 00:01:00\r\nBridgeId: \r\n\r\n";
    bytes += "Event: CoreShowChannelsComplete\r\nEventList: Complete\r\nListItems: " +
             std::to_string(model.size()) + "\r\n\r\n";
    return bytes;
}

std::string LiveSession::event(const char* name, const std::string& channel,
                               const std::string& callerName) const
{
    return std::string("Event: ") + name + "\r\nPrivilege: call,all\r\nChannel: " + channel +
           "\r\nChannelState: 4\r\nChannelStateDesc: Ring\r\nCallerIDNum: 100\r\nCallerIDName: " +
           (rawNames() ? callerName : escaped(callerName)) +
           "\r\nContext: default\r\nExten: 200\r\nUniqueid: 1.1\r\nCause: 16\r\n\r\n";
}

std::string LiveSession::renameEvent(const std::string& from, const std::string& to) const
{
    if (generation == Generation::V14)
        return "Event: Rename\r\nPrivilege: call,all\r\nOldname: " + from + "\r\nNewname: " + to +
               "\r\nUniqueid: 1.1\r\n\r\n";
    return "Event: Rename\r\nPrivilege: call,all\r\nChannel: " + from + "\r\nNewname: " + to +
           "\r\nUniqueid: 1.1\r\n\r\n";
}

std::string LiveSession::run(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const auto setup = in.ConsumeIntegral<std::uint8_t>();
    static constexpr const char* Greetings[] = {
        "Asterisk Call Manager/1.0", "Asterisk Call Manager/1.1", "Asterisk Call Manager/1.3",
        "Asterisk Call Manager/2.0.0", "Asterisk Call Manager/2.10.6"};
    const std::size_t greeting = setup % std::size(Greetings);
    generation = greeting == 0  ? Generation::V14
                 : greeting < 3 ? Generation::V18
                                : Generation::Current;
    bCoreShowChannels = generation == Generation::Current && (setup & 0x80) != 0;
    client.useCoreShowChannels(bCoreShowChannels);
    for (std::size_t n = in.ConsumeIntegralInRange<std::size_t>(1, 8); n > 0; --n)
        chunkSizes.push_back(in.ConsumeIntegral<std::uint8_t>());

    std::set<std::string> gone; // hung up or renamed away, and not back since
    const auto listing = [&](std::uint8_t injectAt, std::uint8_t what) {
        if (bCoreShowChannels)
            return coreShowChannels();
        std::string bytes = "Response: Success\r\nMessage: Channel status will follow\r\n\r\n";
        std::size_t i = 0;
        for (const auto& [channel, count] : model) {
            std::string name = "Caller " + std::to_string(count);
            if (i++ == injectAt)
                name += "\r\n" + injected(what);
            bytes += record(channel, name);
            gone.erase(channel);
        }
        bytes += "Event: StatusComplete\r\nItems: " + std::to_string(model.size()) + "\r\n\r\n";
        return bytes;
    };

    deliver(std::string(Greetings[greeting]) +
            "\r\nResponse: Success\r\nMessage: Authentication accepted\r\n\r\n");
    deliver(listing(0, 0));
    compare("login");

    for (std::size_t steps = 0; failure.empty() && in.remaining_bytes() > 0 && steps < MaxSteps;
         ++steps) {
        const auto op = in.ConsumeIntegral<std::uint8_t>();
        const auto arg = in.ConsumeIntegral<std::uint8_t>();
        const std::string channel = channelName(arg % PoolSize);
        // An injected name in an event only where that PBX writes names raw.
        std::string name = "Caller";
        if (rawNames() && (op & 0x80) != 0)
            name += "\r\n" + injected(arg / PoolSize);
        const char* step = "";
        switch (op % 7) {
        case 0:
        case 1:
            deliver(event("Newchannel", channel, name));
            ++model[channel];
            gone.erase(channel);
            step = "Newchannel";
            break;
        case 2:
            deliver(event("Hangup", channel, name));
            model.erase(channel);
            gone.insert(channel);
            step = "Hangup";
            break;
        case 3:
            // A channel known or not: an event for it says it exists, unless it has just gone.
            deliver(event("Newstate", channel, name));
            if (gone.count(channel) == 0 && model.count(channel) == 0)
                model[channel] = 1;
            step = "Newstate";
            break;
        case 4: {
            if (model.empty())
                break;
            const std::string from = model.begin()->first;
            if (from == channel)
                break;
            deliver(renameEvent(from, channel));
            const int count = model[from];
            model.erase(from);
            model[channel] = count;
            gone.insert(from);
            gone.erase(channel);
            step = "Rename";
            break;
        }
        case 5:
            client.sendStatus();
            deliver(listing(arg % (model.size() + 1), static_cast<std::uint8_t>(op >> 3)));
            step = "listing";
            break;
        default:
            // An event the list ignores, carrying lines in a value of its own in any PBX.
            deliver("Event: VarSet\r\nPrivilege: dialplan,all\r\nChannel: " + channel +
                    "\r\nVariable: X\r\nValue: x\r\n" + injected(arg) +
                    "\r\nUniqueid: 1.1\r\n\r\n");
            step = "VarSet";
            break;
        }
        compare(step);
    }
    return failure;
}

void LiveSession::deliver(const std::string& bytes)
{
    std::size_t at = 0;
    while (at < bytes.size() && !client.ended()) {
        std::size_t n = chunkSizes[nextChunk++ % chunkSizes.size()];
        if (n == 0)
            n = bytes.size();
        n = std::min(n, bytes.size() - at);
        client.dataArrival(std::string_view(bytes).substr(at, n));
        at += n;
    }
}

void LiveSession::compare(const char* step)
{
    if (afterStep)
        afterStep(calls);
    const std::string after = std::string(" (after ") + step + ")";
    for (const std::string& request : window.events) {
        if (request == "send " + std::string(LiveLogin)) {
            if (++nLogins > 1)
                fail("the login was sent again" + after);
        } else if (request.rfind("send ", 0) == 0 &&
                   request.substr(5) != (bCoreShowChannels ? CoreShowChannelsText : StatusText)) {
            fail("not an action the live client sends: " + request.substr(0, 200) + after);
        } else if (request.rfind("message ", 0) == 0 || request == "end") {
            fail("the client asked its window for: " + request.substr(0, 200) + after);
        }
    }
    window.events.clear();
    if (client.ended())
        fail("the client ended" + after);

    std::string got;
    std::string expected;
    for (std::size_t row = 0; row < calls.size(); ++row) {
        const std::string& channel = calls.at(row).channel;
        got += " " + channel;
        if (calls.rowOf(channel) != row)
            fail("the row of " + channel + " is not found where it is" + after);
    }
    for (const auto& entry : model)
        expected += " " + entry.first;
    if (calls.size() != model.size()) {
        fail("the calls are" + got + ", but the channels are" + expected + after);
        return;
    }
    for (const auto& entry : model) {
        if (!calls.rowOf(entry.first)) {
            fail("the calls are" + got + ", but the channels are" + expected + after);
            return;
        }
    }
}

void LiveSession::fail(std::string what)
{
    if (failure.empty())
        failure = std::move(what);
}

} // namespace corvale::fuzz
