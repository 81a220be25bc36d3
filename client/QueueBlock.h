#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

class Queues;

// The queue listings' records and the queue events, under the names of every PBX generation.
enum class QueueEvent
{
    None,
    Other, // read to its end and ignored
    // QueueStatus: one QueueParams per queue, a QueueMember per member, a QueueEntry per caller.
    Params,
    Member,
    Entry,
    StatusComplete,
    Summary, // QueueSummary, from 1.6
    SummaryComplete,
    Join,    // "Join" up to 11 (class call), "QueueCallerJoin" from 12 (class agent)
    Leave,   // "Leave", "QueueCallerLeave"
    Abandon, // QueueCallerAbandon, just before the caller's Leave
    MemberStatus,
    MemberAdded,
    MemberRemoved,
    MemberPause, // "QueueMemberPaused" up to 11, "QueueMemberPause" from 12
    AgentCalled,
    AgentRingNoAnswer,
    AgentDump,
    AgentConnect,
    AgentComplete
};

QueueEvent classifyQueueEvent(std::string_view name);

// One queue block, from its "Event:" line to its empty line, fed one field at a time. As in a
// status record, the first line of each key counts. The fields are kept in reused strings, so
// reading a block allocates nothing once warm.
//
// Up to 11 the agent events name the caller by Uniqueid and the member's channel as Channel;
// from 12 they carry the caller's channel block and the member's prefixed "Dest".
class QueueBlock
{
public:
    void open(std::string_view eventName);
    bool isOpen() const { return kind != QueueEvent::None; }
    QueueEvent event() const { return kind; }
    void field(std::string_view key, std::string_view value);
    // At the empty line: tells `queues` what the block says, and closes. A current PBX writes
    // the callers' names C-escaped in its events, but raw in a QueueEntry record.
    void close(Queues& queues, bool escapedNames);
    // Closes without applying (the rest of the block was lost).
    void abandon() { kind = QueueEvent::None; }

private:
    enum Field : std::uint8_t
    {
        Queue,
        Position,
        Channel,
        Uniqueid,
        CallerID,
        CallerIDNum,
        CallerIDName,
        Wait,
        OriginalPosition,
        HoldTime, // "Holdtime" in QueueParams and up to 10's AgentConnect
        TalkTime,
        Name,
        MemberName,
        Location,
        Interface,
        Member,
        AgentCalled,
        ChannelCalling,
        Status,
        Paused,
        PausedReason,
        Reason,
        InCall,
        CallsTaken,
        LastCall,
        LastPause,
        Completed,
        Abandoned,
        ServiceLevel,
        ServicelevelPerf,
        ServicelevelPerf2,
        DestChannel,
        FieldCount,
        NotRead = FieldCount
    };
    static Field classifyField(std::string_view key);
    bool has(Field which) const { return (seen & (std::uint64_t{1} << which)) != 0; }
    std::string_view text(Field which) const;
    std::optional<std::string_view> given(Field which) const;
    std::optional<std::string_view> either(Field first, Field second) const;
    template <typename Number> std::optional<Number> number(Field which) const;
    std::optional<bool> flag(Field which) const;
    std::string_view callerName(bool escaped);

    void member(Queues& queues, bool listing);
    void agent(Queues& queues, QueueEvent what);

    QueueEvent kind = QueueEvent::None;
    std::uint64_t seen = 0;
    std::array<std::string, FieldCount> values;
    std::string name;
};

} // namespace corvale
