#include "LiveSession.h"

#include "SessionChecks.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>
#include <set>

namespace corvale::fuzz {

namespace {

// Written out here rather than taken from the client, so a fault there cannot hide itself.
constexpr std::string_view LiveLogin =
    "Action: login\r\nUsername: admin\r\nSecret: secret\r\nEvents: call\r\n\r\n";
constexpr std::string_view ListLogin =
    "Action: login\r\nUsername: admin\r\nSecret: secret\r\nEvents: Off\r\n\r\n";

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

// The ActionID of the last listing a client sent, read from what it asked of its window.
std::string lastListingId(const RecordingWindow& window)
{
    for (auto it = window.events.rbegin(); it != window.events.rend(); ++it) {
        if (it->rfind("send ", 0) != 0)
            continue;
        if (const auto id = listingActionId(std::string_view(*it).substr(5)))
            return *id;
    }
    return {};
}

// What every genuine record and event here says of a call; anything else a forgery put there.
bool genuineFields(std::string_view number, std::string_view name, std::string_view extension)
{
    return (number == "100" || number.empty()) && (extension == "200" || extension.empty()) &&
           (name.empty() || name.rfind("Caller", 0) == 0);
}

} // namespace

LiveSession::LiveSession()
    : calls(std::locale::classic())
    , client(window, std::locale::classic())
    , listClient(listWindow, std::locale::classic())
{
    for (RecordingWindow* each : {&window, &listWindow}) {
        each->user = "admin";
        each->secret = "secret";
    }
    client.followCalls(&calls);
    client.setListingIds(countingIds());
    listClient.setListingIds(countingIds());
}

void LiveSession::forged()
{
    bDamaged = true;
    for (std::size_t row = 0; row < calls.size(); ++row)
        doubtful.insert(calls.at(row).channel);
    for (const auto& entry : model)
        doubtful.insert(entry.first);
    doubtful.insert(channelName(0)); // a forgery's victim while no channel is up
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

std::string LiveSession::forgedRecord(const std::string& channel, bool channels) const
{
    if (channels)
        return "Event: CoreShowChannel\r\nChannel: " + channel +
               "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\nCallerIDNum: 666\r\n"
               "CallerIDName: Forged\r\nExten: 9999\r\nUniqueid: 6.6\r\nDuration: 99:00:00\r\n"
               "BridgeId: ";
    return "Event: Status\r\nPrivilege: Call\r\nChannel: " + channel +
           "\r\nCallerID: 666\r\nCallerIDNum: 666\r\nCallerIDName: Forged\r\nExtension: 9999\r\n"
           "Exten: 9999\r\nSeconds: 987654\r\nUniqueid: 6.6";
}

std::string LiveSession::cutText(std::uint8_t forgery, bool ahead, bool channels) const
{
    // What a caller's name holds after its first line: perhaps fields of its own record's kind
    // ahead of the cut, then the empty line, then the forgery the rest of the record closes.
    std::string text;
    if (ahead)
        text += "\r\nSeconds: 987654\r\nExtension: 9999\r\nExten: 9999\r\nDuration: 99:00:00";
    text += "\r\n\r\n";
    const std::string victim = model.empty() ? channelName(0) : model.rbegin()->first;
    switch (forgery % 9) {
    case 0:
        return text + forgedRecord(victim, channels);
    case 1:
        return text + forgedRecord("Fake/9", channels);
    case 2:
        return text + (channels ? "Event: CoreShowChannelsComplete\r\nEventList: Complete\r\n"
                                  "ListItems: 0"
                                : "Event: StatusComplete\r\nItems: 0");
    case 3:
        return text + "Event: Shutdown\r\nPrivilege: system,all\r\nShutdown: Cleanly\r\n"
                      "Restart: True";
    case 4:
        return text + "Response: Success\r\nMessage: Channel status will follow";
    case 5:
        return text + "Event: Hangup\r\nPrivilege: call,all\r\nChannel: " + victim +
               "\r\nCause: 16";
    case 6:
        return text; // the cut alone: the rest of the record is a block of its own
    case 7:
        return text + forgedRecord(victim, channels) + "\r\n\r\n" +
               forgedRecord("Fake/8", channels);
    default:
        return text + forgedRecord(victim, channels) + "\r\nActionID: corvale-0000000000000000";
    }
}

std::string LiveSession::record(const std::string& channel, const std::string& name,
                                const std::string& idLine, std::uint8_t what) const
{
    switch (generation) {
    case Generation::V14:
        return "Event: Status\r\nPrivilege: Call\r\nChannel: " + channel +
               "\r\nCallerID: 100\r\nCallerIDNum: 100\r\nCallerIDName: " + name +
               "\r\nAccount: \r\nState: Up\r\nContext: default\r\nExtension: 200\r\n"
               "Priority: 1\r\nSeconds: 30\r\nLink: \r\nUniqueid: 1.1\r\n" +
               idLine + "\r\n";
    case Generation::V18:
        // Both names raw: a caller may cut either, or both.
        return "Event: Status\r\nPrivilege: Call\r\nChannel: " + channel +
               "\r\nCallerIDNum: 100\r\nCallerIDName: " + ((what & 0x40) != 0 ? "Caller" : name) +
               "\r\nConnectedLineNum: 200\r\nConnectedLineName: " +
               ((what & 0xc0) != 0 ? name : "Desk") +
               "\r\nAccountcode: \r\nChannelState: 6\r\nChannelStateDesc: Up\r\n"
               "Context: default\r\nExtension: 200\r\nPriority: 1\r\nSeconds: 30\r\n"
               "Uniqueid: 1.1\r\n" +
               idLine + "\r\n";
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
           "Seconds: 30\r\n" +
           idLine + "\r\n";
}

std::string LiveSession::channelRecord(const std::string& channel, const std::string& name,
                                       const std::string& idLine) const
{
    // A current PBX escapes every name here; a PBX that did not would let a caller cut it.
    return "Event: CoreShowChannel\r\n" + idLine + "Channel: " + channel +
           "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\nCallerIDNum: 100\r\nCallerIDName: " +
           (bRawChannels ? name : escaped(name)) +
           "\r\nUniqueid: 1.1\r\nLinkedid: 1.1\r\nApplication: Dial\r\nDuration: 00:01:00\r\n"
           "BridgeId: \r\n\r\n";
}

std::string LiveSession::listing(bool channels, const std::string& id, std::uint8_t injectAt,
                                 std::uint8_t what) const
{
    const std::string idLine = bEcho ? "ActionID: " + id + "\r\n" : std::string();
    std::string bytes = "Response: Success\r\n" + idLine + "EventList: start\r\nMessage: " +
                        (channels ? "Channels will follow" : "Channel status will follow") +
                        "\r\n\r\n";
    std::size_t i = 0;
    for (const auto& [channel, count] : model) {
        std::string name = "Caller " + std::to_string(count);
        if (i++ == injectAt)
            name += bCuts && (what & 1) != 0 ? cutText(what >> 1 & 15, (what & 32) != 0, channels)
                                             : "\r\n" + injected(what >> 3);
        bytes +=
            channels ? channelRecord(channel, name, idLine) : record(channel, name, idLine, what);
    }
    if (channels)
        return bytes + "Event: CoreShowChannelsComplete\r\nEventList: Complete\r\nListItems: " +
               std::to_string(model.size()) + "\r\n" + idLine + "\r\n";
    return bytes + "Event: StatusComplete\r\n" + idLine + "Items: " + std::to_string(model.size()) +
           "\r\n\r\n";
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
    const auto mode = in.ConsumeIntegral<std::uint8_t>();
    static constexpr const char* Greetings[] = {
        "Asterisk Call Manager/1.0", "Asterisk Call Manager/1.1", "Asterisk Call Manager/1.3",
        "Asterisk Call Manager/2.0.0", "Asterisk Call Manager/2.10.6"};
    const std::size_t greeting = setup % std::size(Greetings);
    generation = greeting == 0  ? Generation::V14
                 : greeting < 3 ? Generation::V18
                                : Generation::Current;
    bCoreShowChannels = generation == Generation::Current && (setup & 0x80) != 0;
    bEcho = (mode & 1) != 0;
    bCuts = (mode & 2) != 0;
    bRawChannels = (mode & 4) != 0;
    client.useCoreShowChannels(bCoreShowChannels);
    for (std::size_t n = in.ConsumeIntegralInRange<std::size_t>(1, 8); n > 0; --n)
        chunkSizes.push_back(in.ConsumeIntegral<std::uint8_t>());

    const std::string greet = std::string(Greetings[greeting]) +
                              "\r\nResponse: Success\r\nMessage: Authentication accepted\r\n\r\n";
    deliver(client, greet);
    deliver(listClient, greet);
    listingStep(0, 0, false); // the listing the accepted login asked for
    compare("login");

    for (std::size_t steps = 0; failure.empty() && in.remaining_bytes() > 0 && steps < MaxSteps;
         ++steps) {
        const auto op = in.ConsumeIntegral<std::uint8_t>();
        const auto arg = in.ConsumeIntegral<std::uint8_t>();
        const std::string channel = channelName(arg % PoolSize);
        // A name that carries lines only where that PBX writes names raw; a cut in an event
        // forges what the next listing to trust has to repair.
        std::string name = "Caller";
        bShutdownForgeable = false;
        if (rawNames() && (op & 0x80) != 0) {
            if (bCuts && (arg & 1) != 0) {
                name += cutText(arg >> 1 & 15, (arg & 32) != 0, false);
                forged();
                bShutdownForgeable = true;
            } else {
                name += "\r\n" + injected(arg / PoolSize);
            }
        }
        const char* step = "";
        // While a forgery may stand, whether the client remembers a name as just gone is not
        // known: an event about it is then taken in or not until a listing names it.
        if (bDamaged) {
            doubtful.insert(channel);
            if (!model.empty())
                doubtful.insert(model.begin()->first);
        }
        switch (op % 7) {
        case 0:
        case 1:
            deliver(client, event("Newchannel", channel, name));
            ++model[channel];
            gone.erase(channel);
            step = "Newchannel";
            break;
        case 2:
            deliver(client, event("Hangup", channel, name));
            model.erase(channel);
            gone.insert(channel);
            step = "Hangup";
            break;
        case 3:
            // A channel known or not: an event for it says it exists, unless it has just gone.
            deliver(client, event("Newstate", channel, name));
            if (model.count(channel) == 0 && doubtful.count(channel) != 0)
                bDamaged = true;
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
            deliver(client, renameEvent(from, channel));
            const int count = model[from];
            model.erase(from);
            model[channel] = count;
            gone.insert(from);
            gone.erase(channel);
            step = "Rename";
            break;
        }
        case 5:
            listingStep(static_cast<std::uint8_t>(arg % (model.size() + 1)),
                        static_cast<std::uint8_t>(op >> 3 | (arg & 0xe0)), true);
            step = "listing";
            break;
        default: {
            // An event the list ignores, carrying lines in a value of its own in any PBX.
            std::string value = "x\r\n" + injected(arg);
            if (bCuts && (op & 0x40) != 0) {
                value = "x" + cutText(arg & 15, (arg & 16) != 0, false);
                forged();
                bShutdownForgeable = true;
            }
            deliver(client, "Event: VarSet\r\nPrivilege: dialplan,all\r\nChannel: " + channel +
                                "\r\nVariable: X\r\nValue: " + value + "\r\nUniqueid: 1.1\r\n\r\n");
            step = "VarSet";
            break;
        }
        }
        compare(step);
    }
    return failure;
}

void LiveSession::listingStep(std::uint8_t injectAt, std::uint8_t what, bool ask)
{
    // A cut is where the record's name is raw: every Status, a CoreShowChannel only from a PBX
    // that writes its names raw.
    const bool cut = bCuts && (what & 1) != 0 && injectAt < model.size();
    const std::uint64_t before = calls.completedListings();
    listWindow.entries.clear();
    std::erase(listWindow.events, "complete");

    // Unless the PBX repeats the ActionID, a cut forges as it did before there was one.
    const bool forgeable = !bEcho && cut && (!bCoreShowChannels || bRawChannels);
    if (forgeable)
        forged();
    // A listing to trust removes every call it does not name, and such a call counts as gone.
    std::vector<std::string> unnamed;
    for (std::size_t row = 0; row < calls.size(); ++row)
        if (model.count(calls.at(row).channel) == 0)
            unnamed.push_back(calls.at(row).channel);
    if (ask) {
        client.sendStatus();
        listClient.sendStatus();
    }
    deliver(client, listing(bCoreShowChannels, lastListingId(window), injectAt, what));
    deliver(listClient, listing(false, lastListingId(listWindow), injectAt, what));

    bDamaged = forgeable;
    bShutdownForgeable = forgeable;
    for (const auto& entry : model)
        gone.erase(entry.first);
    if (!forgeable) {
        gone.insert(unnamed.begin(), unnamed.end());
        for (const auto& entry : model)
            doubtful.erase(entry.first); // listed: their memory is the listing's
    }
    if (!bEcho)
        return;
    const std::string after = " (after a listing)";
    if (calls.completedListings() != before + 1)
        fail("the listing ended " + std::to_string(calls.completedListings() - before) + " times" +
             after);
    if (client.guardedListing() || listClient.guardedListing())
        fail("a listing is still under way after its end" + after);
    if (std::count(listWindow.events.begin(), listWindow.events.end(), "complete") != 1)
        fail("the call list's listing did not end exactly once" + after);
    checkEntries(after);
}

void LiveSession::deliver(ManagerClient& to, const std::string& bytes)
{
    std::size_t at = 0;
    while (at < bytes.size() && !to.ended()) {
        std::size_t n = chunkSizes[nextChunk++ % chunkSizes.size()];
        if (n == 0)
            n = bytes.size();
        n = std::min(n, bytes.size() - at);
        to.dataArrival(std::string_view(bytes).substr(at, n));
        at += n;
    }
}

void LiveSession::checkRequests(RecordingWindow& from, std::string_view login,
                                const std::string& after)
{
    for (const std::string& request : from.events) {
        if (request == "send " + std::string(login)) {
            if (++(&from == &window ? nLogins : nListLogins) > 1)
                fail("the login was sent again" + after);
        } else if (request.rfind("send ", 0) == 0) {
            const std::string_view action = std::string_view(request).substr(5);
            const bool channels = &from == &window && bCoreShowChannels;
            const std::string_view name =
                channels ? "Action: CoreShowChannels\r\n" : "Action: Status\r\n";
            if (!listingActionId(action) || action.substr(0, name.size()) != name)
                fail("not an action the client sends: " + request.substr(0, 200) + after);
        } else if (request.rfind("message ", 0) == 0 || request == "end") {
            fail("the client asked its window for: " + request.substr(0, 200) + after);
        } else if (request == "shutdown" && !bShutdownForgeable) {
            fail("a Shutdown was announced that no PBX sent" + after);
        }
    }
    std::erase_if(from.events, [](const std::string& event) { return event != "complete"; });
}

void LiveSession::checkFields(const std::string& after)
{
    for (std::size_t row = 0; row < calls.size(); ++row) {
        const LiveCall& call = calls.at(row);
        const bool secondsGenuine =
            !call.seconds || *call.seconds == 0.0 || *call.seconds == 30.0 || *call.seconds == 60.0;
        if (!genuineFields(call.number, call.name, call.extension) || !secondsGenuine)
            fail("the call " + call.channel + " shows forged fields: " + calls.entry(row) + after);
    }
}

void LiveSession::checkEntries(const std::string& after)
{
    // The call list's entries: each channel that is up once, each with its own fields.
    std::set<std::string> listed;
    for (const auto& [entry, parts] : listWindow.entries) {
        if (entry == "Currently No Calls" && model.empty() && listWindow.entries.size() == 1)
            continue;
        const std::string channel = entry.substr(0, parts[0]);
        const std::string_view text = entry;
        const std::string_view number = text.substr(parts[0] + 7, parts[1] - parts[0] - 7);
        const std::string_view name = text.substr(parts[1] + 2, parts[2] - parts[1] - 2);
        const std::string_view extension = text.substr(parts[2] + 6, parts[3] - parts[2] - 6);
        const std::string_view minutes = text.substr(parts[3] + 9);
        if (model.count(channel) == 0 || !listed.insert(channel).second)
            fail("the call list shows " + channel + " that is not up, or twice" + after);
        if (!genuineFields(number, name, extension) ||
            (minutes != "0.50 minutes." && minutes != "Unknown minutes."))
            fail("the call list shows forged fields: " + entry.substr(0, 200) + after);
    }
    if (listed.size() != model.size())
        fail("the call list shows " + std::to_string(listed.size()) + " of " +
             std::to_string(model.size()) + " channels" + after);
}

void LiveSession::compare(const char* step)
{
    if (afterStep)
        afterStep(calls);
    const std::string after = std::string(" (after ") + step + ")";
    checkRequests(window, LiveLogin, after);
    checkRequests(listWindow, ListLogin, after);
    if (client.ended() || listClient.ended())
        fail("the client ended" + after);
    // Until a listing to trust has come, a forgery after a cut may stand.
    if (bDamaged)
        return;
    checkFields(after);

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
