#include "Events.h"

#include "Causes.h"
#include "Fields.h"

#include <string>

namespace pbxsim {

namespace {

constexpr std::string_view CallPrivilege = "call,all";
constexpr std::string_view Presentation = "0 (Presentation Allowed, Not Screened)";

// What a soft hangup request says in its Cause: the request's kind, an explicit one.
constexpr std::string_view ExplicitRequest = "16";

void head(std::string& out, std::string_view event, std::string_view privilege)
{
    eventHead(out, event, privilege);
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

ChannelView ringing(const Call& call)
{
    return {call, Ring, {}, {}, "1"};
}

void currentBlock(std::string& out, std::string_view event, std::string_view privilege,
                  const ChannelView& s)
{
    head(out, event, privilege);
    channelBlock(out, s);
}

void dialplanStep(std::string& out, std::string_view application, std::string_view data,
                  const ChannelView& s, bool current, std::string_view privilege)
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
                dialplanStep(out, "Set", setCallerIdData(call), ChannelView{call}, current(),
                             dialplanPrivilege());
            if (wants(EventClass::Call))
                callerId(ChannelView{call});
            break;
        case CallChange::Kind::Extension:
            if (wantsDialplan()) {
                const ChannelTraits traits = traitsOf(call);
                ChannelView s{call};
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
                hungUp(ChannelView{call}, causeOf(change), change.byAction, change.peer);
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
        const ChannelView ring = ringing(call);
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
            ChannelView numberOnly = ring;
            numberOnly.number = call.callerNum;
            callerId(numberOnly);
        }
        if (!call.callerNum.empty() || !call.callerName.empty()) {
            ChannelView identified = ring;
            identified.number = call.callerNum;
            identified.name = call.callerName;
            callerId(identified);
        }
        newState(ChannelView{call});
        deviceState(call.channel, "INUSE");
    }

    void callerId(const ChannelView& s)
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

    void newState(const ChannelView& s)
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
    void request(const ChannelView& s, int cause, bool byAction)
    {
        const std::string_view event = byAction ? "SoftHangupRequest" : "HangupRequest";
        if (current()) {
            currentBlock(out, event, CallPrivilege, s);
        } else {
            head(out, event, CallPrivilege);
            field(out, "Channel", s.channel);
            field(out, "Uniqueid", s.uniqueid);
        }
        // A request made on the channel names its kind; one the PBX queues, the hangup's cause.
        field(out, "Cause", byAction ? ExplicitRequest : std::to_string(cause));
        end(out);
    }

    void hangup(const ChannelView& s, int cause, bool shortForm)
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
        field(out, "Cause", std::to_string(cause));
        field(out, "Cause-txt", causeText(cause));
        end(out);
    }

    // With a peer the call leaves its bridge on the way, as the PBX reports it: the bridge is
    // left before the hangup itself and destroyed once the channel is gone.
    void hungUp(const ChannelView& s, int cause, bool byAction, const Call* peer = nullptr)
    {
        if (style == EventStyle::Current || style == EventStyle::Pbx11)
            request(s, cause, byAction);
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
            channelBlock(out, ChannelView{*call});
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
            channelBlock(out, ChannelView{*call});
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
            hungUp(ChannelView{original}, Cause::Normal, false);
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
        ChannelView survivor{clone};
        survivor.uniqueid = original.uniqueid;
        callerId(survivor);
        ChannelView remains{clone};
        remains.channel = zombie;
        hangup(remains, Cause::Normal, style != EventStyle::Pbx11);
    }

    std::string& out;
    EventStyle style;
    unsigned mask;
    bool unlinkAsBridge;
};

} // namespace

void appendCallEvents(std::string& out, const CallChange& change, EventStyle style, unsigned mask,
                      bool unlinkAsBridge)
{
    Writer(out, style, mask, unlinkAsBridge).write(change);
}

} // namespace pbxsim
