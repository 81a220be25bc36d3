#include "QueueEvents.h"

#include "Fields.h"

namespace pbxsim {

namespace {

constexpr std::string_view AgentPrivilege = "agent,all";

using Kind = QueueChange::Kind;

// Where an older PBX has no name for a caller it writes "unknown", without brackets.
std::string_view orBare(std::string_view value)
{
    return value.empty() ? std::string_view("unknown") : value;
}

std::string number(std::int64_t value)
{
    return std::to_string(value);
}

class QueueWriter
{
public:
    QueueWriter(std::string& text, const QueueChange& queueChange, EventStyle eventStyle)
        : out(text)
        , change(queueChange)
        , style(eventStyle)
        , q(queueChange.queue)
    {}

    void write()
    {
        if (style == EventStyle::Current)
            current();
        else
            older();
        out += "\r\n";
    }

private:
    // From 12 on: the caller's channel block (and the member's, as Dest...) or the member's
    // fields, then what the event says.
    void current()
    {
        switch (change.kind) {
        case Kind::Joined:
        case Kind::Left:
            callerEvent(change.kind == Kind::Joined ? "QueueCallerJoin" : "QueueCallerLeave");
            field(out, "Position", number(change.position));
            field(out, "Count", number(change.count));
            break;
        case Kind::Abandoned:
            callerEvent("QueueCallerAbandon");
            field(out, "Position", number(change.position));
            field(out, "OriginalPosition", number(change.originalPosition));
            field(out, "HoldTime", number(change.holdTime));
            break;
        case Kind::AgentCalled:
        case Kind::AgentConnected:
        case Kind::AgentCompleted:
            agentEvent();
            break;
        case Kind::MemberStatus:
            memberEvent("QueueMemberStatus");
            break;
        case Kind::MemberPaused:
            memberEvent("QueueMemberPause");
            break;
        case Kind::MemberAdded:
            memberEvent("QueueMemberAdded");
            break;
        case Kind::MemberRemoved:
            memberEvent("QueueMemberRemoved");
            break;
        }
    }

    void callerEvent(std::string_view event)
    {
        eventHead(out, event, AgentPrivilege);
        channelBlock(out, ChannelView{*change.caller});
        field(out, "Queue", q.name);
    }

    void agentEvent()
    {
        const QueueMember& m = *change.member;
        eventHead(out,
                  change.kind == Kind::AgentCalled      ? "AgentCalled"
                  : change.kind == Kind::AgentConnected ? "AgentConnect"
                                                        : "AgentComplete",
                  AgentPrivilege);
        channelBlock(out, ChannelView{*change.caller});
        // The member's channel is still being rung when the queue calls it.
        ChannelView dest{*change.agent};
        if (change.kind == Kind::AgentCalled)
            dest.state = Down;
        channelBlock(out, dest, "Dest");
        field(out, "Queue", q.name);
        field(out, "Interface", m.interface);
        field(out, "MemberName", m.name);
        if (change.kind == Kind::AgentConnected) {
            field(out, "HoldTime", number(change.holdTime));
            field(out, "RingTime", "0");
        } else if (change.kind == Kind::AgentCompleted) {
            field(out, "HoldTime", number(change.holdTime));
            field(out, "TalkTime", number(change.talkTime));
            field(out, "Reason", change.reason);
        }
    }

    void memberEvent(std::string_view event)
    {
        const QueueMember& m = *change.member;
        eventHead(out, event, AgentPrivilege);
        field(out, "Queue", q.name);
        field(out, "MemberName", m.name);
        field(out, "Interface", m.interface);
        field(out, "StateInterface", m.interface);
        field(out, "Membership", m.dynamic ? "dynamic" : "static");
        field(out, "Penalty", number(m.penalty));
        field(out, "CallsTaken", number(m.callsTaken));
        field(out, "LastCall", number(m.lastCall));
        field(out, "LastPause", number(m.lastPause));
        field(out, "LoginTime", number(m.loginTime));
        field(out, "InCall", m.inCall ? "1" : "0");
        field(out, "Status", number(m.status));
        field(out, "Paused", m.paused ? "1" : "0");
        // Unpaused with a reason, the member carries it for this one event.
        field(out, "PausedReason",
              change.kind == Kind::MemberPaused ? change.reason : std::string_view(m.pausedReason));
        field(out, "Ringinuse", "0");
        field(out, "Wrapuptime", "0");
    }

    // 1.4 to 11: flat events that name the channels; each version added a field or two.
    void older()
    {
        const bool pbx14 = style == EventStyle::Pbx14;
        const bool pbx11 = style == EventStyle::Pbx11;
        const Call* caller = change.caller;
        switch (change.kind) {
        case Kind::Joined:
            eventHead(out, "Join", "call,all");
            field(out, "Channel", caller->channel);
            field(out, pbx14 ? "CallerID" : "CallerIDNum", orBare(caller->callerNum));
            field(out, "CallerIDName", orBare(caller->callerName));
            if (!pbx14) {
                field(out, "ConnectedLineNum", orBare(caller->connectedNum));
                field(out, "ConnectedLineName", orBare(caller->connectedName));
            }
            field(out, "Queue", q.name);
            field(out, "Position", number(change.position));
            field(out, "Count", number(change.count));
            field(out, "Uniqueid", caller->uniqueid);
            break;
        case Kind::Left:
            eventHead(out, "Leave", "call,all");
            field(out, "Channel", caller->channel);
            field(out, "Queue", q.name);
            field(out, "Count", number(change.count));
            if (!pbx14)
                field(out, "Position", number(change.position));
            field(out, "Uniqueid", caller->uniqueid);
            break;
        case Kind::Abandoned:
            eventHead(out, "QueueCallerAbandon", AgentPrivilege);
            field(out, "Queue", q.name);
            field(out, "Uniqueid", caller->uniqueid);
            field(out, "Position", number(change.position));
            field(out, "OriginalPosition", number(change.originalPosition));
            field(out, "HoldTime", number(change.holdTime));
            break;
        case Kind::AgentCalled:
            agentCalled(pbx14);
            break;
        case Kind::AgentConnected:
        case Kind::AgentCompleted:
            agentConnectedOrCompleted(pbx14, pbx11);
            break;
        case Kind::MemberStatus:
        case Kind::MemberAdded:
            member(change.kind == Kind::MemberStatus ? "QueueMemberStatus" : "QueueMemberAdded",
                   pbx11);
            break;
        case Kind::MemberPaused:
            eventHead(out, "QueueMemberPaused", AgentPrivilege);
            memberNames();
            field(out, "Paused", change.member->paused ? "1" : "0");
            if (!pbx14 && !change.reason.empty())
                field(out, "Reason", change.reason);
            break;
        case Kind::MemberRemoved:
            eventHead(out, "QueueMemberRemoved", AgentPrivilege);
            memberNames();
            break;
        }
    }

    void memberNames()
    {
        field(out, "Queue", q.name);
        field(out, "Location", change.member->interface);
        field(out, "MemberName", change.member->name);
    }

    void member(std::string_view event, bool pbx11)
    {
        const QueueMember& m = *change.member;
        eventHead(out, event, AgentPrivilege);
        memberNames();
        if (pbx11)
            field(out, "StateInterface", m.interface);
        field(out, "Membership", m.dynamic ? "dynamic" : "static");
        field(out, "Penalty", number(m.penalty));
        field(out, "CallsTaken", number(m.callsTaken));
        field(out, "LastCall", number(m.lastCall));
        if (pbx11 && change.kind == Kind::MemberStatus)
            field(out, "InCall", m.inCall ? "1" : "0");
        field(out, "Status", number(m.status));
        field(out, "Paused", m.paused ? "1" : "0");
    }

    void agentCalled(bool pbx14)
    {
        const Call& caller = *change.caller;
        eventHead(out, "AgentCalled", AgentPrivilege);
        if (!pbx14)
            field(out, "Queue", q.name);
        field(out, "AgentCalled", change.member->interface);
        field(out, "AgentName", change.member->name);
        field(out, "ChannelCalling", caller.channel);
        if (!pbx14)
            field(out, "DestinationChannel", change.agent->channel);
        field(out, pbx14 ? "CallerID" : "CallerIDNum", orBare(caller.callerNum));
        field(out, "CallerIDName", orBare(caller.callerName));
        if (!pbx14) {
            field(out, "ConnectedLineNum", orBare(caller.connectedNum));
            field(out, "ConnectedLineName", orBare(caller.connectedName));
        }
        field(out, "Context", caller.context);
        field(out, "Extension", caller.extension);
        field(out, "Priority", traitsOf(caller).priority);
        if (!pbx14)
            field(out, "Uniqueid", caller.uniqueid);
    }

    void agentConnectedOrCompleted(bool pbx14, bool pbx11)
    {
        const bool connect = change.kind == Kind::AgentConnected;
        eventHead(out, connect ? "AgentConnect" : "AgentComplete", AgentPrivilege);
        field(out, "Queue", q.name);
        field(out, "Uniqueid", change.caller->uniqueid);
        field(out, "Channel", change.agent->channel);
        field(out, "Member", change.member->interface);
        field(out, "MemberName", change.member->name);
        // 11 spells the times with a capital T, as AgentComplete always did.
        field(out, connect && !pbx11 ? "Holdtime" : "HoldTime", number(change.holdTime));
        if (connect) {
            field(out, "BridgedChannel", change.agent->uniqueid);
            if (!pbx14)
                field(out, pbx11 ? "RingTime" : "Ringtime", "0");
        } else {
            field(out, "TalkTime", number(change.talkTime));
            field(out, "Reason", change.reason);
        }
    }

    std::string& out;
    const QueueChange& change;
    EventStyle style;
    const Queue& q;
};

// Up to 11 a caller's joining and leaving are call events; everything else, and from 12 on every
// queue event, is an agent event.
unsigned classOf(const QueueChange& change, EventStyle style)
{
    const bool callerMoves = change.kind == Kind::Joined || change.kind == Kind::Left;
    return callerMoves && style != EventStyle::Current ? EventClass::Call : EventClass::Agent;
}

} // namespace

void appendQueueEvents(std::string& out, const QueueChange& change, EventStyle style, unsigned mask)
{
    const unsigned needed = classOf(change, style);
    if ((mask & needed) == needed)
        QueueWriter(out, change, style).write();
}

} // namespace pbxsim
