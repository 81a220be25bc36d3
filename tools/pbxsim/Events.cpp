#include "Events.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>
#include <utility>

namespace pbxsim {

namespace {

constexpr std::string_view Unknown = "<unknown>";
constexpr std::string_view CallPrivilege = "call,all";
constexpr std::string_view Presentation = "0 (Presentation Allowed, Not Screened)";

struct State
{
    std::string_view number;
    std::string_view text;
};
constexpr State Ring{"4", "Ring"};
constexpr State Up{"6", "Up"};

// How a hangup is reported: a manager Hangup leaves the cause unset, the PBX's own clears normally.
struct Cause
{
    std::string_view number;
    std::string_view text;
};
constexpr Cause ByAction{"0", "Unknown"};
constexpr Cause Normal{"16", "Normal Clearing"};

constexpr std::array<std::pair<std::string_view, unsigned>, 21> ClassNames = {{
    {"system", 1u << 0},     {"call", 1u << 1},        {"log", 1u << 2},
    {"verbose", 1u << 3},    {"command", 1u << 4},     {"agent", 1u << 5},
    {"user", 1u << 6},       {"config", 1u << 7},      {"dtmf", 1u << 8},
    {"reporting", 1u << 9},  {"cdr", 1u << 10},        {"dialplan", 1u << 11},
    {"originate", 1u << 12}, {"agi", 1u << 13},        {"cc", 1u << 15},
    {"aoc", 1u << 16},       {"test", 1u << 17},       {"security", 1u << 18},
    {"message", 1u << 30},   {"all", EventClass::All}, {"none", 0},
}};

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool anyOf(std::string_view value, std::initializer_list<std::string_view> words)
{
    for (const std::string_view word : words) {
        if (equalsNoCase(value, word))
            return true;
    }
    return false;
}

void field(std::string& out, std::string_view key, std::string_view value)
{
    out += key;
    out += ": ";
    out += value;
    out += "\r\n";
}

void head(std::string& out, std::string_view event, std::string_view privilege)
{
    field(out, "Event", event);
    field(out, "Privilege", privilege);
}

void end(std::string& out)
{
    out += "\r\n";
}

std::string_view orText(std::string_view value, std::string_view instead)
{
    return value.empty() ? instead : value;
}

// "SIP/2041-0000a3f1" is a call on the device "SIP/2041".
std::string_view deviceOf(std::string_view channel)
{
    const std::size_t dash = channel.rfind('-');
    return dash == std::string_view::npos ? channel : channel.substr(0, dash);
}

// A channel as an event describes it at one moment: the call's fields, some of them overridden
// for the steps of a call that is still being set up.
struct Snapshot
{
    const Call& call;
    State state = Up;
    std::string_view number = call.callerNum;
    std::string_view name = call.callerName;
    std::string_view priority = traitsOf(call).priority;
    std::string_view channel = call.channel;
    std::string_view uniqueid = call.uniqueid;
};

Snapshot ringing(const Call& call)
{
    return {call, Ring, {}, {}, "1"};
}

// The channel block every current event about a channel carries.
void channelFields(std::string& out, const Snapshot& s)
{
    field(out, "Channel", s.channel);
    field(out, "ChannelState", s.state.number);
    field(out, "ChannelStateDesc", s.state.text);
    field(out, "CallerIDNum", orText(s.number, Unknown));
    field(out, "CallerIDName", s.name.empty() ? std::string(Unknown) : cEscape(s.name));
    field(out, "ConnectedLineNum", Unknown);
    field(out, "ConnectedLineName", Unknown);
    field(out, "Language", "en");
    field(out, "AccountCode", "");
    field(out, "Context", s.call.context);
    field(out, "Exten", s.call.extension);
    field(out, "Priority", s.priority);
    field(out, "Uniqueid", s.uniqueid);
    field(out, "Linkedid", s.uniqueid == s.call.uniqueid ? linkedidOf(s.call) : s.uniqueid);
}

void currentBlock(std::string& out, std::string_view event, std::string_view privilege,
                  const Snapshot& s)
{
    head(out, event, privilege);
    channelFields(out, s);
}

void dialplanStep(std::string& out, std::string_view application, std::string_view data,
                  const Snapshot& s, bool current, std::string_view privilege)
{
    if (current) {
        currentBlock(out, "Newexten", privilege, s);
        field(out, "Extension", s.call.extension);
        field(out, "Application", application);
        field(out, "AppData", data);
    } else {
        head(out, "Newexten", privilege);
        field(out, "Channel", s.channel);
        field(out, "Context", s.call.context);
        field(out, "Extension", s.call.extension);
        field(out, "Priority", s.priority);
        field(out, "Application", application);
        field(out, "AppData", data);
        field(out, "Uniqueid", s.uniqueid);
    }
    end(out);
}

std::string setCallerIdData(const Call& call)
{
    return "CALLERID(all)=\"" + call.callerName + "\" <" + call.callerNum + ">";
}

class Writer
{
public:
    Writer(std::string& text, EventStyle eventStyle, unsigned eventMask, bool bridgeUnlink)
        : out(text)
        , style(eventStyle)
        , mask(eventMask)
        , unlinkAsBridge(bridgeUnlink)
    {}

    void write(const CallChange& change)
    {
        if (!wants(EventClass::Call) && !wantsDialplan())
            return;
        const Call& call = change.call;
        switch (change.kind) {
        case CallChange::Kind::Started:
            started(call);
            break;
        case CallChange::Kind::CallerId:
            if (wantsDialplan())
                dialplanStep(out, "Set", setCallerIdData(call), Snapshot{call}, current(),
                             dialplanPrivilege());
            if (wants(EventClass::Call))
                callerId(Snapshot{call});
            break;
        case CallChange::Kind::Extension:
            if (wantsDialplan()) {
                const ChannelTraits traits = traitsOf(call);
                Snapshot s{call};
                s.priority = "1";
                dialplanStep(out, traits.application, traits.data, s, current(),
                             dialplanPrivilege());
            }
            break;
        case CallChange::Kind::Renamed:
            if (wants(EventClass::Call))
                rename(change.oldName, call.channel, call.uniqueid);
            break;
        case CallChange::Kind::Masqueraded:
            if (wants(EventClass::Call))
                masquerade(*change.original, call);
            break;
        case CallChange::Kind::HungUp:
            if (wants(EventClass::Call))
                hungUp(Snapshot{call}, change.byAction ? ByAction : Normal, change.byAction,
                       change.peer);
            break;
        case CallChange::Kind::Bridged:
            if (wants(EventClass::Call))
                bridged(call, *change.peer);
            break;
        case CallChange::Kind::Unbridged:
            if (wants(EventClass::Call)) {
                left(call, *change.peer);
                destroyed(call.bridgeId);
            }
            break;
        }
    }

private:
    bool current() const { return style == EventStyle::Current; }
    bool wants(unsigned eventClass) const { return (mask & eventClass) == eventClass; }
    // 1.4 counts dialplan steps as call events; later versions have a class of their own.
    bool wantsDialplan() const
    {
        return wants(style == EventStyle::Pbx14 ? EventClass::Call : EventClass::Dialplan);
    }
    std::string_view dialplanPrivilege() const
    {
        return style == EventStyle::Pbx14 ? CallPrivilege : "dialplan,all";
    }

    void started(const Call& call)
    {
        const Snapshot ring = ringing(call);
        if (wants(EventClass::Call)) {
            if (current()) {
                currentBlock(out, "Newchannel", CallPrivilege, ring);
            } else if (style == EventStyle::Pbx14) {
                head(out, "Newchannel", CallPrivilege);
                field(out, "Channel", call.channel);
                field(out, "State", Ring.text);
                field(out, "CallerIDNum", Unknown);
                field(out, "CallerIDName", Unknown);
                field(out, "Uniqueid", call.uniqueid);
            } else {
                head(out, "Newchannel", CallPrivilege);
                field(out, "Channel", call.channel);
                field(out, "ChannelState", Ring.number);
                field(out, "ChannelStateDesc", Ring.text);
                field(out, "CallerIDNum", "");
                field(out, "CallerIDName", "");
                field(out, "AccountCode", "");
                field(out, "Exten", call.extension);
                field(out, "Context", call.context);
                field(out, "Uniqueid", call.uniqueid);
            }
            end(out);
        }
        if (wantsDialplan()) {
            const ChannelTraits traits = traitsOf(call);
            dialplanStep(out, traits.application, traits.data, ring, current(),
                         dialplanPrivilege());
        }
        if (!wants(EventClass::Call))
            return;
        // A current PBX sets the number and the name one after the other.
        if (current() && !call.callerNum.empty() && !call.callerName.empty()) {
            Snapshot numberOnly = ring;
            numberOnly.number = call.callerNum;
            callerId(numberOnly);
        }
        if (!call.callerNum.empty() || !call.callerName.empty()) {
            Snapshot identified = ring;
            identified.number = call.callerNum;
            identified.name = call.callerName;
            callerId(identified);
        }
        newState(Snapshot{call});
        deviceState(call.channel, "INUSE");
    }

    void callerId(const Snapshot& s)
    {
        if (current()) {
            currentBlock(out, "NewCallerid", CallPrivilege, s);
        } else {
            const bool old = style == EventStyle::Pbx14;
            head(out, old ? "Newcallerid" : "NewCallerid", CallPrivilege);
            field(out, "Channel", s.channel);
            field(out, old ? "CallerID" : "CallerIDNum",
                  old ? orText(s.number, "<Unknown>") : s.number);
            field(out, "CallerIDName", old ? orText(s.name, "<Unknown>") : s.name);
            field(out, "Uniqueid", s.uniqueid);
        }
        field(out, "CID-CallingPres", Presentation);
        end(out);
    }

    void newState(const Snapshot& s)
    {
        if (current()) {
            currentBlock(out, "Newstate", CallPrivilege, s);
        } else if (style == EventStyle::Pbx14) {
            head(out, "Newstate", CallPrivilege);
            field(out, "Channel", s.channel);
            field(out, "State", s.state.text);
            field(out, "CallerID", orText(s.number, Unknown));
            field(out, "CallerIDName", orText(s.name, Unknown));
            field(out, "Uniqueid", s.uniqueid);
        } else {
            head(out, "Newstate", CallPrivilege);
            field(out, "Channel", s.channel);
            field(out, "ChannelState", s.state.number);
            field(out, "ChannelStateDesc", s.state.text);
            field(out, "CallerIDNum", s.number);
            field(out, "CallerIDName", s.name);
            field(out, "ConnectedLineNum", "");
            field(out, "ConnectedLineName", "");
            field(out, "Uniqueid", s.uniqueid);
        }
        end(out);
    }

    // Only current versions say which device a call makes busy; clients must pass it over.
    void deviceState(std::string_view channel, std::string_view state)
    {
        if (!current())
            return;
        head(out, "DeviceStateChange", CallPrivilege);
        field(out, "Device", deviceOf(channel));
        field(out, "State", state);
        end(out);
    }

    void rename(std::string_view from, std::string_view to, std::string_view uniqueid)
    {
        head(out, "Rename", CallPrivilege);
        field(out, style == EventStyle::Pbx14 ? "Oldname" : "Channel", from);
        field(out, "Newname", to);
        field(out, "Uniqueid", uniqueid);
        end(out);
    }

    // A request to end a call; 11 and later report it before the hangup itself.
    void request(const Snapshot& s, bool byAction)
    {
        const std::string_view event = byAction ? "SoftHangupRequest" : "HangupRequest";
        if (current()) {
            currentBlock(out, event, CallPrivilege, s);
        } else {
            head(out, event, CallPrivilege);
            field(out, "Channel", s.channel);
            field(out, "Uniqueid", s.uniqueid);
        }
        field(out, "Cause", Normal.number);
        end(out);
    }

    void hangup(const Snapshot& s, Cause cause, bool shortForm)
    {
        if (current()) {
            currentBlock(out, "Hangup", CallPrivilege, s);
        } else {
            head(out, "Hangup", CallPrivilege);
            field(out, "Channel", s.channel);
            field(out, "Uniqueid", s.uniqueid);
            if (style != EventStyle::Pbx14 && !shortForm) {
                field(out, "CallerIDNum", orText(s.number, Unknown));
                field(out, "CallerIDName", orText(s.name, Unknown));
                field(out, "ConnectedLineNum", Unknown);
                field(out, "ConnectedLineName", Unknown);
                if (style == EventStyle::Pbx11)
                    field(out, "AccountCode", "");
            }
        }
        field(out, "Cause", cause.number);
        field(out, "Cause-txt", cause.text);
        end(out);
    }

    // With a peer the call leaves its bridge on the way, as the PBX reports it: the bridge is
    // left before the hangup itself and destroyed once the channel is gone.
    void hungUp(const Snapshot& s, Cause cause, bool byAction, const Call* peer = nullptr)
    {
        if (style == EventStyle::Current || style == EventStyle::Pbx11)
            request(s, byAction);
        if (peer != nullptr)
            left(s.call, *peer);
        hangup(s, cause, false);
        deviceState(s.channel, "NOT_INUSE");
        if (peer != nullptr)
            destroyed(s.call.bridgeId);
    }

    // BridgeCreate, BridgeEnter and BridgeLeave say which bridge, and with how many in it.
    void bridgeBlock(std::string_view event, std::string_view bridgeId, int channels)
    {
        head(out, event, CallPrivilege);
        field(out, "BridgeUniqueid", bridgeId);
        field(out, "BridgeType", "basic");
        field(out, "BridgeTechnology", "simple_bridge");
        field(out, "BridgeCreator", Unknown);
        field(out, "BridgeName", Unknown);
        field(out, "BridgeNumChannels", std::to_string(channels));
        field(out, "BridgeVideoSourceMode", "none");
    }

    // Up to 11 one event names both channels: Link and Unlink in 1.4, Bridge from 1.6 on.
    void pairEvent(std::string_view event, std::string_view state, const Call& a, const Call& b)
    {
        head(out, event, CallPrivilege);
        if (!state.empty()) {
            field(out, "Bridgestate", state);
            field(out, "Bridgetype", "core");
        }
        field(out, "Channel1", a.channel);
        field(out, "Channel2", b.channel);
        field(out, "Uniqueid1", a.uniqueid);
        field(out, "Uniqueid2", b.uniqueid);
        field(out, "CallerID1", a.callerNum);
        field(out, "CallerID2", b.callerNum);
        end(out);
    }

    void bridged(const Call& a, const Call& b)
    {
        if (!current()) {
            if (style == EventStyle::Pbx14)
                pairEvent("Link", {}, a, b);
            else
                pairEvent("Bridge", "Link", a, b);
            return;
        }
        bridgeBlock("BridgeCreate", a.bridgeId, 0);
        end(out);
        int inBridge = 0;
        for (const Call* call : {&a, &b}) {
            bridgeBlock("BridgeEnter", a.bridgeId, ++inBridge);
            channelFields(out, Snapshot{*call});
            end(out);
        }
    }

    // Both leave; the bridge itself goes with destroyed().
    void left(const Call& a, const Call& b)
    {
        if (!current()) {
            if (unlinkAsBridge && style != EventStyle::Pbx14)
                pairEvent("Bridge", "Unlink", a, b);
            else
                pairEvent("Unlink", {}, a, b);
            return;
        }
        int inBridge = 2;
        for (const Call* call : {&a, &b}) {
            bridgeBlock("BridgeLeave", a.bridgeId, --inBridge);
            channelFields(out, Snapshot{*call});
            end(out);
        }
    }

    void destroyed(std::string_view bridgeId)
    {
        if (!current())
            return;
        bridgeBlock("BridgeDestroy", bridgeId, 0);
        end(out);
    }

    // The original takes over the clone. Up to 11 the names go round in three renames and the
    // clone's remains hang up as "<original><ZOMBIE>"; a current PBX swaps names and unique ids
    // silently, and the original's channel just hangs up.
    void masquerade(const Call& original, const Call& clone)
    {
        if (current()) {
            hungUp(Snapshot{original}, Normal, false);
            return;
        }
        const std::string masq = clone.channel + "<MASQ>";
        const std::string zombie = original.channel + "<ZOMBIE>";
        if (style != EventStyle::Pbx14) {
            head(out, "Masquerade", CallPrivilege);
            field(out, "Clone", clone.channel);
            field(out, "CloneState", Up.text);
            field(out, "Original", original.channel);
            field(out, "OriginalState", Up.text);
            end(out);
        }
        rename(clone.channel, masq, clone.uniqueid);
        rename(original.channel, clone.channel, original.uniqueid);
        rename(masq, zombie, clone.uniqueid);
        Snapshot survivor{clone};
        survivor.uniqueid = original.uniqueid;
        callerId(survivor);
        Snapshot remains{clone};
        remains.channel = zombie;
        hangup(remains, Normal, style != EventStyle::Pbx11);
    }

    std::string& out;
    EventStyle style;
    unsigned mask;
    bool unlinkAsBridge;
};

} // namespace

EventStyle eventStyleFor(std::string_view greetingVersion)
{
    unsigned major = 0;
    unsigned minor = 0;
    const char* first = greetingVersion.data();
    const char* last = first + greetingVersion.size();
    auto [next, ec] = std::from_chars(first, last, major);
    if (ec != std::errc())
        return EventStyle::Current;
    if (next != last && *next == '.')
        std::from_chars(next + 1, last, minor);
    if (major >= 2)
        return EventStyle::Current;
    if (major == 1 && minor == 0)
        return EventStyle::Pbx14;
    return major == 1 && minor >= 3 ? EventStyle::Pbx11 : EventStyle::Pbx16;
}

unsigned eventMask(std::string_view value)
{
    if (value.empty())
        return EventClass::All;
    if (value.find_first_not_of("0123456789") == std::string_view::npos) {
        unsigned long long bits = 0;
        std::from_chars(value.data(), value.data() + value.size(), bits);
        return static_cast<unsigned>(bits & EventClass::All);
    }
    if (anyOf(value, {"off", "no", "false", "n", "f"}))
        return 0;
    if (anyOf(value, {"on", "yes", "true", "y", "t"}))
        return EventClass::All;
    unsigned mask = 0;
    std::size_t pos = 0;
    while (pos <= value.size()) {
        const std::size_t comma = std::min(value.find(',', pos), value.size());
        const std::string_view name = value.substr(pos, comma - pos);
        for (const auto& [known, bits] : ClassNames) {
            if (name == known)
                mask |= bits;
        }
        pos = comma + 1;
    }
    return mask;
}

bool unlinksAsBridge(std::string_view greetingVersion)
{
    const EventStyle style = eventStyleFor(greetingVersion);
    return style == EventStyle::Pbx11 ||
           (style == EventStyle::Pbx16 && greetingVersion.substr(0, 3) == "1.2");
}

void appendCallEvents(std::string& out, const CallChange& change, EventStyle style, unsigned mask,
                      bool unlinkAsBridge)
{
    Writer(out, style, mask, unlinkAsBridge).write(change);
}

void appendLoginEvents(std::string& out, EventStyle style, unsigned mask, const LoginFacts& facts)
{
    if (style == EventStyle::Pbx14)
        return;
    if ((mask & EventClass::System) != 0) {
        head(out, "FullyBooted", "system,all");
        if (style == EventStyle::Current) {
            field(out, "Uptime", std::to_string(facts.uptime));
            field(out, "LastReload", std::to_string(facts.uptime));
        }
        field(out, "Status", "Fully Booted");
        end(out);
    }
    if (style == EventStyle::Current && (mask & EventClass::Security) != 0) {
        const std::time_t seconds = static_cast<std::time_t>(facts.now);
        std::tm utc{};
        gmtime_r(&seconds, &utc);
        char when[40];
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%S.000+0000", &utc);
        char session[24];
        std::snprintf(session, sizeof session, "0x%llx",
                      static_cast<unsigned long long>(facts.sessionId));
        head(out, "SuccessfulAuth", "security,all");
        field(out, "EventTV", when);
        field(out, "Severity", "Informational");
        field(out, "Service", "AMI");
        field(out, "EventVersion", "1");
        field(out, "AccountID", facts.user);
        field(out, "SessionID", session);
        field(out, "LocalAddress", "IPV4/TCP/" + std::string(facts.localAddress));
        field(out, "RemoteAddress", "IPV4/TCP/" + std::string(facts.remoteAddress));
        field(out, "UsingPassword", "0");
        field(out, "SessionTV", when);
        end(out);
    }
}

void appendShutdownEvent(std::string& out)
{
    head(out, "Shutdown", "system,all");
    field(out, "Shutdown", "Cleanly");
    field(out, "Restart", "True");
    end(out);
}

} // namespace pbxsim
