#include "QueueActions.h"
#include "QueuesTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace corvale;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::seconds Wall{1000000};

std::chrono::system_clock::time_point wallClock()
{
    return std::chrono::system_clock::time_point(Wall);
}

class QueuesTest : public ::testing::Test
{
protected:
    std::chrono::steady_clock::time_point clock{};
    Queues queues{[this] { return clock; }, &wallClock};
    Recorder recorder{queues};
    QueueBlock reader;

    void SetUp() override { queues.setListener(&recorder); }

    void events(const std::string& bytes, Queues& into, bool escaped = false)
    {
        for (const Fields& each : blocksOf(bytes))
            feed(reader, into, each, escaped);
    }
    void events(const std::string& bytes) { events(bytes, queues); }
};

// A 1.4 listing (no Uniqueid, the number as CallerID, no member's name), then a 1.4 Join.
const std::string Older =
    block("Event: QueueParams|Queue: sales|Max: 0|Calls: 1|Holdtime: 0|Completed: 0|Abandoned: "
          "0|ServiceLevel: 0|ServicelevelPerf: 0.0|Weight: 0") +
    block("Event: QueueMember|Queue: sales|Location: SIP/100|Membership: static|Penalty: "
          "0|CallsTaken: 0|LastCall: 0|Status: 1|Paused: 0") +
    block("Event: QueueEntry|Queue: sales|Position: 1|Channel: SIP/200-01|CallerID: "
          "200|CallerIDName: Bob|Wait: 5") +
    block("Event: QueueStatusComplete") +
    block("Event: Join|Channel: SIP/201-02|CallerID: 201|CallerIDName: Carol|Queue: "
          "sales|Position: 2|Count: 2|Uniqueid: 1.2");
const std::string Bob = "1 SIP/200-01 200 <Bob> 5s";
const std::string Carol = "2 SIP/201-02 201 <Carol> 0s";
const std::string LeaveCarol =
    block("Event: Leave|Channel: SIP/201-02|Queue: sales|Count: 1|Position: 2|Uniqueid: 1.2");
const std::string Connect18 =
    block("Event: AgentConnect|Queue: sales|Uniqueid: 1.2|Channel: SIP/100-09|Member: "
          "SIP/100|MemberName: Anna|Holdtime: 7|BridgedChannel: 1.9|Ringtime: 1");

} // namespace

TEST_F(QueuesTest, EveryGenerationsEventsChangeTheSetAsTheySay)
{
    struct Case
    {
        const char* what;
        std::string events;
        std::string callers;
        std::string members;
        std::vector<std::string> history{};
        std::string counters = "0/0";
        bool escaped = false;
    };
    const Case cases[] = {
        {"1.4 Leave", block("Event: Leave|Channel: SIP/200-01|Queue: sales|Count: 1|Uniqueid: 1.1"),
         "1 SIP/201-02 201 <Carol> 0s", "SIP/100 free 0"},
        {"1.6 Join ahead of the others",
         block("Event: Join|Channel: SIP/202-03|CallerIDNum: 202|CallerIDName: Dave|Queue: "
               "sales|Position: 1|Count: 3|Uniqueid: 1.3"),
         "1 SIP/202-03 202 <Dave> 0s, 2 SIP/200-01 200 <Bob> 5s, 3 SIP/201-02 201 <Carol> 0s",
         "SIP/100 free 0"},
        {"1.8 abandon by Uniqueid alone",
         block("Event: QueueCallerAbandon|Queue: sales|Uniqueid: 1.2|Position: "
               "2|OriginalPosition: 2|HoldTime: 9") +
             LeaveCarol,
         Bob,
         "SIP/100 free 0",
         {"abandoned sales 2/2 9s 201 <Carol> SIP/201-02"},
         "0/1"},
        {"1.4 pause without reason or time",
         block(
             "Event: QueueMemberPaused|Queue: sales|Location: SIP/100|MemberName: Anna|Paused: 1"),
         Bob + ", " + Carol, "SIP/100 Anna paused@1000000 0"},
        {"11 pause with a Reason",
         block("Event: QueueMemberPaused|Queue: sales|Location: SIP/100|MemberName: Anna|Paused: "
               "1|Reason: Lunch"),
         Bob + ", " + Carol, "SIP/100 Anna paused Lunch@1000000 0"},
        {"16 pause with PausedReason and LastPause",
         block("Event: QueueMemberPause|Queue: sales|MemberName: Anna|Interface: "
               "SIP/100|CallsTaken: 2|LastPause: 999000|InCall: 0|Status: 1|Paused: "
               "1|PausedReason: Lunch"),
         Bob + ", " + Carol, "SIP/100 Anna paused Lunch@999000 2"},
        {"1.4 member status on a call",
         block("Event: QueueMemberStatus|Queue: sales|Location: SIP/100|MemberName: "
               "Anna|CallsTaken: 3|LastCall: 99|Status: 2|Paused: 0"),
         Bob + ", " + Carol, "SIP/100 Anna on a call 3"},
        {"a member added, another removed",
         block("Event: QueueMemberAdded|Queue: sales|Location: SIP/101|MemberName: Ben|Status: "
               "5|Paused: 0") +
             block("Event: QueueMemberRemoved|Queue: sales|Location: SIP/100|MemberName: Anna"),
         Bob + ", " + Carol, "SIP/101 Ben unavailable 0"},
        {"1.4 AgentCalled names the caller's channel alone",
         block("Event: AgentCalled|AgentCalled: SIP/100|ChannelCalling: SIP/201-02|CallerID: 201"),
         Bob + ", " + Carol, "SIP/100 ringing 0"},
        {"12 rung, and the caller leaving stops it",
         block("Event: AgentCalled|Channel: SIP/201-02|Uniqueid: 1.2|Queue: sales|Interface: "
               "SIP/100|MemberName: Anna") +
             LeaveCarol,
         Bob, "SIP/100 free 0"},
        {"1.8 AgentConnect after the Leave",
         LeaveCarol + Connect18,
         Bob,
         "SIP/100 on a call 0",
         {"answered sales by Anna on SIP/100-09 7s SIP/201-02"}},
        {"1.8 AgentComplete counts the call",
         LeaveCarol + Connect18 +
             block("Event: AgentComplete|Queue: sales|Uniqueid: 1.2|Channel: SIP/100-09|Member: "
                   "SIP/100|MemberName: Anna|HoldTime: 7|TalkTime: 30|Reason: caller"),
         Bob,
         "SIP/100 free 1",
         {"answered sales by Anna on SIP/100-09 7s SIP/201-02"},
         "1/0"},
        {"12 names escaped in events, the first line of a key counting",
         block("Event: QueueCallerJoin|Channel: SIP/203-04|CallerIDNum: 203|CallerIDName: "
               "O\\'Neil \\\"Bo\\\\b\\\"|Queue: sales|Queue: support|Position: 3|Uniqueid: 1.4"),
         Bob + ", " + Carol + ", 3 SIP/203-04 203 <O'Neil \"Bo\\b\"> 0s",
         "SIP/100 free 0",
         {},
         "0/0",
         true},
        {"a listed caller's name is raw",
         block("Event: QueueEntry|Queue: sales|Position: 3|Channel: SIP/203-04|CallerIDNum: "
               "203|CallerIDName: Back\\\\slash|Wait: 1"),
         Bob + ", " + Carol + ", 3 SIP/203-04 203 <Back\\\\slash> 1s",
         "SIP/100 free 0",
         {},
         "0/0",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Queues set{[this] { return clock; }, &wallClock};
        Recorder heard(set);
        set.setListener(&heard);
        events(Older + c.events, set, c.escaped);
        EXPECT_EQ(shape(set), std::vector<std::string>{"sales " + c.counters + " | " + c.callers +
                                                       " | " + c.members});
        EXPECT_EQ(heard.history, c.history);
    }
}

TEST_F(QueuesTest, ACompleteListingIsTheTruthForWhatItCovers)
{
    const std::string both =
        block("Event: QueueParams|Queue: sales") +
        block("Event: QueueMember|Queue: sales|Name: Anna|Location: SIP/A|Status: 1|Paused: 0") +
        block("Event: QueueMember|Queue: sales|Name: Ben|Location: SIP/B|Status: 1|Paused: 0") +
        block("Event: QueueEntry|Queue: sales|Position: 1|Channel: SIP/1-1|Wait: 9") +
        block("Event: QueueEntry|Queue: sales|Position: 2|Channel: SIP/2-1|Wait: 3") +
        block("Event: QueueParams|Queue: support") +
        block("Event: QueueMember|Queue: support|Name: Cleo|Location: SIP/C|Status: 1|Paused: 0") +
        block("Event: QueueStatusComplete");
    const std::string salesAlone =
        block("Event: QueueParams|Queue: sales") +
        block("Event: QueueMember|Queue: sales|Name: Anna|Location: SIP/A|Status: 1|Paused: 0") +
        block("Event: QueueEntry|Queue: sales|Position: 1|Channel: SIP/2-1|Wait: 4");
    const std::string end = block("Event: QueueStatusComplete");
    const std::string listedBoth[] = {
        "sales 0/0 | 1 SIP/1-1  <> 9s, 2 SIP/2-1  <> 3s | SIP/A Anna free 0, SIP/B Ben free 0",
        "support 0/0 | | SIP/C Cleo free 0"};
    struct Case
    {
        const char* what;
        QueueListing kind;
        std::string only;
        bool damaged;
        std::string records;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"everything, with less in it",
         QueueListing::Status,
         "",
         false,
         salesAlone + end,
         {"sales 0/0 | 1 SIP/2-1  <> 4s | SIP/A Anna free 0"}},
        {"a caller who joins while it is under way",
         QueueListing::Status,
         "",
         false,
         block("Event: QueueCallerJoin|Channel: SIP/9-9|Queue: sales|Position: 2") + salesAlone +
             end,
         {"sales 0/0 | 1 SIP/2-1  <> 4s, 2 SIP/9-9  <> 0s | SIP/A Anna free 0"}},
        {"one queue, naming nothing", QueueListing::Status, "support", false, end, {listedBoth[0]}},
        {"one queue with nothing in it",
         QueueListing::Status,
         "support",
         false,
         block("Event: QueueParams|Queue: support") + end,
         {listedBoth[0], "support 0/0 | |"}},
        {"records lost on the way",
         QueueListing::Status,
         "",
         true,
         end,
         {listedBoth[0], listedBoth[1]}},
        {"the summary names the queues alone",
         QueueListing::Summary,
         "",
         false,
         block("Event: QueueSummary|Queue: sales|HoldTime: 0") +
             block("Event: QueueSummaryComplete"),
         {listedBoth[0]}},
        {"the end of another listing",
         QueueListing::Summary,
         "",
         false,
         end,
         {listedBoth[0], listedBoth[1]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Queues set{[this] { return clock; }, &wallClock};
        set.listingStarted(QueueListing::Status);
        events(both, set);
        ASSERT_EQ(shape(set), (std::vector<std::string>{listedBoth[0], listedBoth[1]}));
        set.listingStarted(c.kind, c.only);
        if (c.damaged)
            set.listingDamaged();
        events(c.records, set);
        EXPECT_EQ(shape(set), c.expected);
    }

    // The first case as a view hears it: each row from the end, as it stands.
    queues.listingStarted(QueueListing::Status);
    events(both);
    recorder.log.clear();
    queues.listingStarted(QueueListing::Status);
    events(salesAlone + end);
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"change caller 1 sales", "remove queue 1 support",
                                        "remove caller 0 SIP/1-1", "remove member 1 SIP/B",
                                        "change queue 0"}));
}

TEST_F(QueuesTest, EventsAnnounceEachRowAsItComesAndGoes)
{
    events(block("Event: QueueCallerJoin|Channel: SIP/1-1|Queue: sales|Position: 1") +
           block("Event: QueueCallerJoin|Channel: SIP/2-1|Queue: sales|Position: 1") +
           block("Event: QueueCallerLeave|Channel: SIP/2-1|Queue: sales"));
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"add queue 0", "add caller 0 sales", "change queue 0",
                                        "add caller 0 sales", "change caller 1 sales",
                                        "change queue 0", "remove caller 0 SIP/2-1",
                                        "change caller 0 sales", "change queue 0"}));
    // A channel waits in one queue at a time: joining another, it has left the first.
    events(block("Event: QueueCallerJoin|Channel: SIP/1-1|Queue: support|Position: 1"));
    EXPECT_EQ(shape(queues),
              (std::vector<std::string>{"sales 0/0 | |", "support 0/0 | 1 SIP/1-1  <> 0s |"}));
    EXPECT_EQ(queues.waitingOn("SIP/1-1")->queue->name, "support");
}

TEST_F(QueuesTest, WaitsTickOnFromTheListingInWholeSeconds)
{
    queues.listingStarted(QueueListing::Status);
    events(block("Event: QueueEntry|Queue: sales|Position: 1|Channel: SIP/1-1|Wait: 5") +
           block("Event: QueueEntry|Queue: sales|Position: 2|Channel: SIP/2-1|Wait: 2") +
           block("Event: QueueStatusComplete"));
    clock += 3500ms;
    const Queue& sales = queues.at(0);
    EXPECT_EQ(sales.callers[0]->waitSeconds(queues.now()), 8);
    EXPECT_EQ(sales.callers[1]->waitSeconds(queues.now()), 5);
    EXPECT_EQ(sales.longestWait(queues.now()), 8);
    EXPECT_EQ(sales.callers[0]->joined(), std::chrono::steady_clock::time_point() - 5s);
    // A join counts from the moment it is heard of; a wait never runs backwards.
    events(block("Event: Join|Channel: SIP/3-1|Queue: sales|Position: 3"));
    clock += 1s;
    EXPECT_EQ(sales.callers[2]->waitSeconds(queues.now()), 1);
    EXPECT_EQ(sales.callers[2]->waitSeconds(queues.now() - 10s), 0);
}

TEST_F(QueuesTest, AnAnswerIsKnownUntilItsCallEndsAndOnlySoMany)
{
    const auto connect = [](const std::string& id) {
        return block("Event: AgentConnect|Channel: SIP/c-" + id + "|Uniqueid: " + id +
                     "|DestChannel: SIP/a-1|Queue: sales|Interface: SIP/a|MemberName: Anna");
    };
    events(connect("1"));
    ASSERT_NE(queues.answerOn("SIP/c-1"), nullptr);
    EXPECT_EQ(queues.answerOn("SIP/c-1")->memberName, "Anna");
    EXPECT_EQ(queues.answerFor("1")->channel, "SIP/c-1");
    events(block("Event: AgentComplete|Channel: SIP/c-1|Uniqueid: 1|DestChannel: SIP/a-1|Queue: "
                 "sales|Interface: SIP/a"));
    EXPECT_EQ(queues.answerOn("SIP/c-1"), nullptr);
    EXPECT_EQ(queues.answerFor("1"), nullptr);

    for (std::size_t n = 0; n <= QueueAnswers::RememberedAnswers; ++n)
        events(connect(std::to_string(n)));
    EXPECT_EQ(queues.answerOn("SIP/c-0"), nullptr);
    EXPECT_NE(queues.answerOn("SIP/c-1"), nullptr);
    EXPECT_NE(queues.answerFor(std::to_string(QueueAnswers::RememberedAnswers)), nullptr);
}

TEST(QueueActionsTest, ActionsAreExactAndRefusedWhenAValueBreaksItsLine)
{
    EXPECT_EQ(queuePauseAction("SIP/100", true),
              "Action: QueuePause\r\nInterface: SIP/100\r\nPaused: true\r\n\r\n");
    EXPECT_EQ(queuePauseAction("Local/6001@agents/n", false, "sales", "Lunch break"),
              "Action: QueuePause\r\nInterface: Local/6001@agents/n\r\nPaused: false\r\n"
              "Queue: sales\r\nReason: Lunch break\r\n\r\n");
    EXPECT_EQ(queueStatusAction("q7"), "Action: QueueStatus\r\nActionID: q7\r\n\r\n");
    EXPECT_EQ(queueStatusAction("q8", "support"),
              "Action: QueueStatus\r\nQueue: support\r\nActionID: q8\r\n\r\n");
    EXPECT_EQ(queueSummaryAction("q9"), "Action: QueueSummary\r\nActionID: q9\r\n\r\n");
    for (const std::string_view bad :
         {std::string_view("a\r\nAction: Hangup"), std::string_view("a\nb"),
          std::string_view("a\0b", 3), std::string_view("a\rb")}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(queuePauseAction(bad, true));
        EXPECT_FALSE(queuePauseAction("SIP/1", true, bad));
        EXPECT_FALSE(queuePauseAction("SIP/1", true, "sales", bad));
        EXPECT_FALSE(queueStatusAction(bad));
        EXPECT_FALSE(queueStatusAction("q1", bad));
        EXPECT_FALSE(queueSummaryAction("q1", bad));
    }
}
