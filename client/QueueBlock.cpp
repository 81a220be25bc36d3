#include "QueueBlock.h"

#include "ManagerClient.h"
#include "Queues.h"

#include <charconv>

namespace corvale {

QueueEvent classifyQueueEvent(std::string_view name)
{
    switch (name.size()) {
    case 4:
        if (name == "Join")
            return QueueEvent::Join;
        break;
    case 5:
        if (name == "Leave")
            return QueueEvent::Leave;
        break;
    case 9:
        if (name == "AgentDump")
            return QueueEvent::AgentDump;
        break;
    case 10:
        if (name == "QueueEntry")
            return QueueEvent::Entry;
        break;
    case 11:
        if (name == "QueueParams")
            return QueueEvent::Params;
        if (name == "QueueMember")
            return QueueEvent::Member;
        if (name == "AgentCalled")
            return QueueEvent::AgentCalled;
        break;
    case 12:
        if (name == "QueueSummary")
            return QueueEvent::Summary;
        if (name == "AgentConnect")
            return QueueEvent::AgentConnect;
        break;
    case 13:
        if (name == "AgentComplete")
            return QueueEvent::AgentComplete;
        break;
    case 15:
        if (name == "QueueCallerJoin")
            return QueueEvent::Join;
        break;
    case 16:
        if (name == "QueueCallerLeave")
            return QueueEvent::Leave;
        if (name == "QueueMemberAdded")
            return QueueEvent::MemberAdded;
        if (name == "QueueMemberPause")
            return QueueEvent::MemberPause;
        break;
    case 17:
        if (name == "QueueMemberStatus")
            return QueueEvent::MemberStatus;
        if (name == "QueueMemberPaused")
            return QueueEvent::MemberPause;
        if (name == "AgentRingNoAnswer")
            return QueueEvent::AgentRingNoAnswer;
        break;
    case 18:
        if (name == "QueueCallerAbandon")
            return QueueEvent::Abandon;
        if (name == "QueueMemberRemoved")
            return QueueEvent::MemberRemoved;
        break;
    case 19:
        if (name == "QueueStatusComplete")
            return QueueEvent::StatusComplete;
        break;
    case 20:
        if (name == "QueueSummaryComplete")
            return QueueEvent::SummaryComplete;
        break;
    default:
        break;
    }
    return QueueEvent::Other;
}

QueueBlock::Field QueueBlock::classifyField(std::string_view key)
{
    switch (key.size()) {
    case 4:
        if (key == "Name")
            return Name;
        if (key == "Wait")
            return Wait;
        break;
    case 5:
        if (key == "Queue")
            return Queue;
        break;
    case 6:
        if (key == "Status")
            return Status;
        if (key == "Paused")
            return Paused;
        if (key == "Member")
            return Member;
        if (key == "Reason")
            return Reason;
        if (key == "InCall")
            return InCall;
        break;
    case 7:
        if (key == "Channel")
            return Channel;
        break;
    case 8:
        if (key == "Position")
            return Position;
        if (key == "Uniqueid")
            return Uniqueid;
        if (key == "CallerID")
            return CallerID;
        if (key == "HoldTime" || key == "Holdtime")
            return HoldTime;
        if (key == "TalkTime")
            return TalkTime;
        if (key == "Location")
            return Location;
        if (key == "LastCall")
            return LastCall;
        break;
    case 9:
        if (key == "Interface")
            return Interface;
        if (key == "Completed")
            return Completed;
        if (key == "Abandoned")
            return Abandoned;
        if (key == "LastPause")
            return LastPause;
        break;
    case 10:
        if (key == "MemberName")
            return MemberName;
        if (key == "CallsTaken")
            return CallsTaken;
        break;
    case 11:
        if (key == "CallerIDNum")
            return CallerIDNum;
        if (key == "AgentCalled")
            return AgentCalled;
        if (key == "DestChannel")
            return DestChannel;
        break;
    case 12:
        if (key == "CallerIDName")
            return CallerIDName;
        if (key == "PausedReason")
            return PausedReason;
        if (key == "ServiceLevel")
            return ServiceLevel;
        break;
    case 14:
        if (key == "ChannelCalling")
            return ChannelCalling;
        break;
    case 16:
        if (key == "OriginalPosition")
            return OriginalPosition;
        if (key == "ServicelevelPerf")
            return ServicelevelPerf;
        break;
    case 17:
        if (key == "ServicelevelPerf2")
            return ServicelevelPerf2;
        break;
    default:
        break;
    }
    return NotRead;
}

void QueueBlock::open(std::string_view eventName)
{
    kind = classifyQueueEvent(eventName);
    seen = 0;
}

void QueueBlock::field(std::string_view key, std::string_view value)
{
    if (kind == QueueEvent::Other || kind == QueueEvent::None)
        return;
    const Field which = classifyField(key);
    if (which == NotRead || has(which))
        return;
    seen |= std::uint64_t{1} << which;
    values[which].assign(value);
}

std::string_view QueueBlock::text(Field which) const
{
    return has(which) ? std::string_view(values[which]) : std::string_view();
}

std::optional<std::string_view> QueueBlock::given(Field which) const
{
    if (!has(which))
        return std::nullopt;
    return std::string_view(values[which]);
}

std::optional<std::string_view> QueueBlock::either(Field first, Field second) const
{
    return has(first) ? given(first) : given(second);
}

template <typename Number> std::optional<Number> QueueBlock::number(Field which) const
{
    if (!has(which))
        return std::nullopt;
    const std::string& digits = values[which];
    Number out{};
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out);
    if (error != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return out;
}

std::optional<bool> QueueBlock::flag(Field which) const
{
    const auto value = number<int>(which);
    if (!value)
        return std::nullopt;
    return *value != 0;
}

std::string_view QueueBlock::callerName(bool escaped)
{
    if (!escaped)
        return values[CallerIDName];
    unescapeName(values[CallerIDName], name);
    return name;
}

void QueueBlock::close(Queues& queues, bool escapedNames)
{
    const QueueEvent what = kind;
    kind = QueueEvent::None;
    switch (what) {
    case QueueEvent::Params:
    case QueueEvent::Summary: {
        QueueFields fields;
        fields.name = text(Queue);
        fields.holdTime = number<std::uint32_t>(HoldTime);
        fields.talkTime = number<std::uint32_t>(TalkTime);
        if (what == QueueEvent::Params) {
            fields.completed = number<std::uint32_t>(Completed);
            fields.abandoned = number<std::uint32_t>(Abandoned);
            fields.serviceLevel = number<std::uint32_t>(ServiceLevel);
            fields.serviceLevelPerf = number<double>(ServicelevelPerf);
            fields.serviceLevelPerf2 = number<double>(ServicelevelPerf2);
        }
        queues.listedQueue(fields);
        return;
    }
    case QueueEvent::StatusComplete:
        queues.listingComplete(QueueListing::Status);
        return;
    case QueueEvent::SummaryComplete:
        queues.listingComplete(QueueListing::Summary);
        return;
    case QueueEvent::Entry:
    case QueueEvent::Join: {
        // CallerID is the number up to 1.4, CallerIDNum later.
        CallerFields fields{text(Queue), text(Channel), text(Uniqueid)};
        fields.number = either(CallerIDNum, CallerID);
        if (has(CallerIDName))
            fields.name = callerName(escapedNames && what == QueueEvent::Join);
        fields.position = number<unsigned>(Position).value_or(0);
        if (what == QueueEvent::Entry) {
            fields.wait = number<std::uint32_t>(Wait);
            queues.listedCaller(fields);
        } else {
            queues.callerJoined(fields);
        }
        return;
    }
    case QueueEvent::Leave:
        queues.callerLeft(text(Queue), text(Channel), text(Uniqueid));
        return;
    case QueueEvent::Abandon: {
        // Up to 11 the caller is named by its Uniqueid alone.
        AbandonedCaller caller;
        caller.queue = text(Queue);
        caller.channel = text(Channel);
        caller.uniqueid = text(Uniqueid);
        caller.number = text(CallerIDNum);
        if (has(CallerIDName))
            caller.name = callerName(escapedNames);
        caller.position = number<unsigned>(Position).value_or(0);
        caller.originalPosition = number<unsigned>(OriginalPosition).value_or(0);
        caller.holdTime = number<std::uint32_t>(HoldTime).value_or(0);
        queues.callerAbandoned(caller);
        return;
    }
    case QueueEvent::Member:
        member(queues, true);
        return;
    case QueueEvent::MemberStatus:
    case QueueEvent::MemberAdded:
    case QueueEvent::MemberPause:
        member(queues, false);
        return;
    case QueueEvent::MemberRemoved:
        queues.memberRemoved(text(Queue), has(Interface) ? text(Interface) : text(Location));
        return;
    case QueueEvent::AgentCalled:
    case QueueEvent::AgentRingNoAnswer:
    case QueueEvent::AgentDump:
    case QueueEvent::AgentConnect:
    case QueueEvent::AgentComplete:
        agent(queues, what);
        return;
    default:
        return;
    }
}

void QueueBlock::member(Queues& queues, bool listing)
{
    // The listing names a member's interface Location and its name Name in every version; the
    // events say Location and MemberName up to 11, Interface and MemberName from 12. A pause's
    // reason is PausedReason from 16, Reason in the pause events before.
    MemberFields fields;
    fields.queue = text(Queue);
    fields.interface = has(Interface) ? text(Interface) : text(Location);
    fields.name = listing ? either(Name, MemberName) : either(MemberName, Name);
    fields.status = number<int>(Status);
    fields.paused = flag(Paused);
    fields.pausedReason = either(PausedReason, Reason);
    fields.pausedAt = number<std::int64_t>(LastPause);
    fields.inCall = flag(InCall);
    fields.callsTaken = number<std::uint32_t>(CallsTaken);
    fields.lastCall = number<std::int64_t>(LastCall);
    if (listing)
        queues.listedMember(fields);
    else
        queues.memberUpdated(fields);
}

void QueueBlock::agent(Queues& queues, QueueEvent what)
{
    const bool current = has(DestChannel);
    // The member is Interface from 12, Member up to 11 (AgentCalled in AgentCalled).
    const std::string_view interface = has(Interface) ? text(Interface)
                                       : has(Member)  ? text(Member)
                                                      : text(AgentCalled);
    std::string_view queue = text(Queue);
    std::string_view uniqueid = text(Uniqueid);
    if (what == QueueEvent::AgentCalled || what == QueueEvent::AgentRingNoAnswer ||
        what == QueueEvent::AgentDump) {
        // 1.4's AgentCalled names neither queue nor Uniqueid, only the caller's channel.
        if (const QueueCaller* caller = queues.waitingOn(text(ChannelCalling))) {
            if (queue.empty())
                queue = caller->queue->name;
            if (uniqueid.empty())
                uniqueid = caller->uniqueid;
        }
        queues.memberRung(queue, interface, uniqueid, what == QueueEvent::AgentCalled);
        return;
    }
    AnsweredCaller call;
    call.queue = queue;
    call.channel = current ? text(Channel) : std::string_view();
    call.uniqueid = uniqueid;
    call.memberName = text(MemberName);
    call.interface = interface;
    call.memberChannel = current ? text(DestChannel) : text(Channel);
    call.holdTime = number<std::uint32_t>(HoldTime).value_or(0);
    if (what == QueueEvent::AgentConnect)
        queues.callerAnswered(call);
    else
        queues.callCompleted(call, !current); // from 12 a member status with the count follows
}

} // namespace corvale
