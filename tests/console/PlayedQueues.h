#pragma once

#include "../unit/QueuesTestSupport.h"

#include <chrono>
#include <string>

// A PBX's queues the test plays the client for: blocks written as the PBX writes them, read by
// the client's own reader, and clocks of the test's own (the desk's time is `Wall` at the start).
struct PlayedQueues
{
    static constexpr std::int64_t Wall = 1796857200; // 23:00 UTC

    std::chrono::steady_clock::time_point clock{};
    std::chrono::seconds elapsed{0};
    corvale::Queues queues{[this] { return clock; },
                           [this] {
                               return std::chrono::system_clock::time_point(
                                   std::chrono::seconds(Wall) + elapsed);
                           }};
    corvale::QueueBlock reader;

    // Events, or the records of a listing and its end; names in events are escaped, as a
    // current PBX writes them.
    void play(const std::string& bytes)
    {
        for (const Fields& each : blocksOf(bytes))
            feed(reader, queues, each, true);
    }
    void list(const std::string& records)
    {
        queues.listingStarted(corvale::QueueListing::Status);
        play(records + block("Event: QueueStatusComplete|EventList: Complete"));
    }
    void pass(std::chrono::seconds seconds)
    {
        clock += seconds;
        elapsed += seconds;
    }
};

// A current PBX's listing: sales with two callers and three members (one paused, one
// unreachable), support empty and without a service level of its own.
inline std::string salesAndSupport()
{
    return block("Event: QueueParams|Queue: sales|Max: 0|Strategy: ringall|Calls: 2|Holdtime: "
                 "12|TalkTime: 40|Completed: 4|Abandoned: 1|ServiceLevel: 30|ServicelevelPerf: "
                 "75.0|ServicelevelPerf2: 70.0|Weight: 0") +
           block("Event: QueueMember|Queue: sales|Name: Anna Agent|Location: "
                 "Local/6001@queue-agents/n|Membership: static|Penalty: 0|CallsTaken: "
                 "3|LastCall: 1796857075|LastPause: 0|InCall: 0|Status: 1|Paused: "
                 "0|PausedReason: ") +
           block("Event: QueueMember|Queue: sales|Name: Ben Agent|Location: "
                 "Local/6002@queue-agents/n|Membership: static|Penalty: 0|CallsTaken: "
                 "0|LastCall: 0|LastPause: 1796856600|InCall: 0|Status: 1|Paused: "
                 "1|PausedReason: Lunch") +
           block("Event: QueueMember|Queue: sales|Name: Cleo|Location: PJSIP/6003|Membership: "
                 "static|Penalty: 0|CallsTaken: 0|LastCall: 0|LastPause: 0|InCall: 0|Status: "
                 "5|Paused: 0|PausedReason: ") +
           block("Event: QueueEntry|Queue: sales|Position: 1|Channel: PJSIP/5551-01|Uniqueid: "
                 "1.1|CallerIDNum: 5551|CallerIDName: Carol|ConnectedLineNum: "
                 "unknown|ConnectedLineName: unknown|Wait: 40|Priority: 0") +
           block("Event: QueueEntry|Queue: sales|Position: 2|Channel: PJSIP/5552-02|Uniqueid: "
                 "1.2|CallerIDNum: 5552|CallerIDName: Dan|ConnectedLineNum: "
                 "unknown|ConnectedLineName: unknown|Wait: 5|Priority: 0") +
           block("Event: QueueParams|Queue: support|Max: 0|Strategy: rrmemory|Calls: 0|Holdtime: "
                 "0|TalkTime: 0|Completed: 0|Abandoned: 0|ServiceLevel: 0|ServicelevelPerf: "
                 "0.0|ServicelevelPerf2: 0.0|Weight: 0");
}

// Anna answers Dan, as a current PBX tells it.
inline std::string annaAnswersDan()
{
    return block("Event: QueueCallerLeave|Channel: PJSIP/5552-02|Uniqueid: 1.2|Queue: "
                 "sales|Position: 2|Count: 1") +
           block("Event: AgentConnect|Channel: PJSIP/5552-02|Uniqueid: 1.2|CallerIDNum: "
                 "5552|CallerIDName: Dan|DestChannel: Local/6001@queue-agents-00000002;1|Queue: "
                 "sales|Interface: Local/6001@queue-agents/n|MemberName: Anna Agent|HoldTime: "
                 "9|RingTime: 1");
}
