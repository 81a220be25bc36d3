// The manager client's queue side: what it asks for, and what of a guarded queue listing and of
// the queue events reaches the queues, with a waiting caller whose name holds an empty line.
#include "FakeWindow.h"
#include "FixtureFile.h"
#include "LiveCalls.h"
#include "ManagerClient.h"
#include "Queues.h"
#include "QueuesTestSupport.h"
#include "WireLines.h"

#include <gtest/gtest.h>

using namespace corvale;

namespace {

// A live client following calls and queues, logged in to a PBX of `greeting`; each listing's
// ActionID is L1, L2, ... in the order they go out.
struct Rig
{
    explicit Rig(std::string_view greeting = "Asterisk Call Manager/13.0.0", bool system = false)
    {
        client.setListingIds([this] { return "L" + std::to_string(++nIds); });
        client.followCalls(&calls);
        if (system)
            client.askForSystemEvents();
        client.followQueues(&queues);
        client.dataArrival(std::string(greeting) + "\r\n");
        login = window.sent.front();
        client.dataArrival(wire({"Response: Success", "Message: Authentication accepted", ""}));
        client.dataArrival(
            wire({"Response: Success", "ActionID: L1", "Message: Channel status will follow", ""}) +
            wire({"Event: StatusComplete", "ActionID: L1", "Items: 0", ""}));
        window.sent.clear();
    }

    // Asks for the queue listings and answers them: QueueStatus with `records` (their ActionID
    // lines written "ActionID: @"), QueueSummary with the queue sales.
    void list(std::string records)
    {
        client.sendQueueListing();
        const std::string id = "L" + std::to_string(nIds - 1);
        for (std::size_t at; (at = records.find("ActionID: @")) != std::string::npos;)
            records.replace(at + 10, 1, id);
        client.dataArrival(wire({"Response: Success", "ActionID: " + id, "EventList: start",
                                 "Message: Queue status will follow", ""}) +
                           records +
                           wire({"Event: QueueStatusComplete", "ActionID: " + id,
                                 "EventList: Complete", "ListItems: 3", ""}));
        const std::string summary = "ActionID: L" + std::to_string(nIds);
        client.dataArrival(wire({"Response: Success", summary, "EventList: start",
                                 "Message: Queue summary will follow", ""}) +
                           wire({"Event: QueueSummary", "Queue: sales", "LoggedIn: 1", "Callers: 2",
                                 summary, ""}) +
                           wire({"Event: QueueSummaryComplete", summary, "EventList: Complete",
                                 "ListItems: 0", ""}));
    }

    std::chrono::steady_clock::time_point clock{};
    FakeWindow window;
    LiveCalls calls;
    Queues queues{[this] { return clock; }};
    ManagerClient client{window};
    int nIds = 0;
    std::string login;
};

// A waiting caller's record as a current PBX writes it, up to its ActionID line.
std::string entry(const std::string& position, const std::string& channel, const std::string& name,
                  const std::string& wait = "7")
{
    return wire({"Event: QueueEntry", "Queue: sales", "Position: " + position,
                 "Channel: " + channel, "Uniqueid: 1796857118." + position,
                 "CallerIDNum: 556" + position, "CallerIDName: " + name,
                 "ConnectedLineNum: unknown", "ConnectedLineName: unknown", "Wait: " + wait,
                 "Priority: 0"});
}

std::string params()
{
    return wire({"Event: QueueParams", "Queue: sales", "Max: 0", "Calls: 2", "Completed: 4",
                 "Abandoned: 1", "ServiceLevel: 30", "ActionID: @", ""});
}

std::string member()
{
    return wire({"Event: QueueMember", "Queue: sales", "Name: Anna Agent",
                 "Location: Local/6001@queue-agents/n", "CallsTaken: 2", "Status: 1", "Paused: 0",
                 "ActionID: @", ""});
}

const std::string Anna = "Local/6001@queue-agents/n Anna Agent free 2";
const std::string Carol = "Local/5001@queue-callers-00000000;2";
const std::string Dave = "Local/5002@queue-callers-00000001;2";

} // namespace

TEST(QueueClientTest, TheLoginAsksForAgentEventsAndTheListingForWhatThePbxHas)
{
    const std::string status = "Action: QueueStatus\r\nActionID: *\r\n\r\n";
    const std::string summary = "Action: QueueSummary\r\nActionID: *\r\n\r\n";
    const struct
    {
        const char* greeting;
        bool system;
        const char* events;
        std::vector<std::string> listing;
    } cases[] = {
        {"Asterisk Call Manager/13.0.0", false, "call,agent", {status, summary}},
        {"Asterisk Call Manager/1.1", true, "call,agent,system", {status, summary}},
        {"Asterisk Call Manager/1.0", false, "call,agent", {status}}, // no QueueSummary in 1.4
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.greeting);
        Rig rig(c.greeting, c.system);
        EXPECT_NE(rig.login.find("\r\nEvents: " + std::string(c.events) + "\r\n"),
                  std::string::npos);
        rig.client.sendQueueListing();
        EXPECT_EQ(anyActionIds(rig.window.sent), c.listing);
    }
}

TEST(QueueClientTest, AListingNoCallerCanForge)
{
    const std::string id = "ActionID: @\r\n\r\n";
    const std::string cut = "Eve\r\n\r\n"; // Eve's name holds an empty line
    const std::string whole =
        params() + member() + entry("1", Carol, "Carol") + id + entry("2", Dave, "Dave") + id;
    const std::string carol = "1 " + Carol + " 5561 <Carol> 7s";
    const std::string dave = "2 " + Dave + " 5562 <Dave> 7s";
    const std::string eve = "1 " + Carol + "  <> 0s"; // what precedes her numbers and names
    const struct
    {
        const char* what;
        std::string records;
        std::string callers;
        std::string members;
    } cases[] = {
        {"whole", whole, carol + ", " + dave, Anna},
        {"a forged caller with another's position and a long wait",
         params() + member() + entry("1", Carol, cut) +
             entry("2", "SIP/forged-00000009", "Forged", "99999") + id + entry("2", Dave, "Dave") +
             id,
         eve + ", " + dave, Anna},
        {"a forged member and a forged end before the genuine records",
         params() + entry("1", Carol, cut) +
             wire({"Event: QueueMember", "Queue: sales", "Name: Mallory", "Location: SIP/mallory",
                   "Paused: 1", ""}) +
             wire({"Event: QueueStatusComplete", "EventList: Complete", ""}) + wire({"Wait: 1"}) +
             id + member() + entry("2", Dave, "Dave") + id,
         eve + ", " + dave, Anna},
        {"two cuts in one record",
         params() + member() + entry("1", Carol, cut + "x\r\n\r\nEvent: QueueEntry") + id +
             entry("2", Dave, "Dave") + id,
         eve + ", " + dave, Anna},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.list(c.records);
        EXPECT_FALSE(rig.queues.listingOpen());
        EXPECT_EQ(shape(rig.queues),
                  (std::vector<std::string>{"sales 4/1 | " + c.callers + " | " + c.members}));
        EXPECT_EQ(rig.client.queueClient().statusListings(), 1u);
    }
}

TEST(QueueClientTest, AListingRemovesWhatItNoLongerHoldsUnlessARecordWasNotSure)
{
    const std::string id = "ActionID: @\r\n\r\n";
    Rig rig;
    rig.list(params() + member() + entry("1", Carol, "Carol") + id + entry("2", Dave, "Dave") + id);
    ASSERT_EQ(rig.queues.at(0).callers.size(), 2u);

    // A member record cut short leaves the listing unsure: nothing goes.
    rig.list(params() + wire({"Event: QueueMember", "Queue: sales", ""}) +
             entry("1", Dave, "Dave") + id);
    EXPECT_EQ(rig.queues.at(0).callers.size(), 2u);
    EXPECT_EQ(rig.queues.at(0).members.size(), 1u);

    // A whole one is the truth: Carol and Anna are gone.
    rig.list(params() + entry("1", Dave, "Dave") + id);
    EXPECT_EQ(shape(rig.queues),
              (std::vector<std::string>{"sales 4/1 | 1 " + Dave + " 5561 <Dave> 7s |"}));
    EXPECT_EQ(rig.client.queueClient().statusListings(), 3u);
}

TEST(QueueClientTest, RecordsWithoutTheListingsActionIdAreNotRead)
{
    const struct
    {
        const char* what;
        std::string bytes;
    } cases[] = {
        // A PBX that does not repeat the ActionID: nothing tells a forged record from a real one.
        {"an unguarded listing",
         wire({"Response: Success", "Message: Queue status will follow", ""}) +
             wire({"Event: QueueParams", "Queue: sales", ""}) +
             wire({"Event: QueueStatusComplete", ""})},
        // A raw name in an event of an older PBX.
        {"records as events",
         wire({"Event: QueueEntry", "Queue: sales", "Position: 1", "Channel: SIP/x", ""}) +
             wire({"Event: QueueStatusComplete", "ActionID: L2", ""})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.client.sendQueueListing();
        rig.client.dataArrival(c.bytes);
        EXPECT_EQ(rig.queues.size(), 0u);
        EXPECT_FALSE(rig.queues.listed());
    }
}

TEST(QueueClientTest, QueueEventsReachTheQueuesAndTellWhetherTheAgentClassIsRead)
{
    const std::string join =
        wire({"Event: QueueCallerJoin", "Privilege: agent,all", "Channel: " + Carol,
              "CallerIDNum: 5561", "CallerIDName: Carol\\\"", "Uniqueid: 1.1", "Queue: sales",
              "Position: 1", "Count: 1", ""});
    const std::string oldJoin =
        wire({"Event: Join", "Privilege: call,all", "Channel: " + Carol, "CallerIDNum: 5561",
              "CallerIDName: Carol\\\"", "Queue: sales", "Position: 1", "Uniqueid: 1.1", ""});
    const struct
    {
        const char* greeting;
        std::string event;
        std::uint64_t agentEvents;
        std::string name; // escaped in the events of a current PBX only
    } cases[] = {
        {"Asterisk Call Manager/13.0.0", join, 1, "Carol\""},
        {"Asterisk Call Manager/1.1", oldJoin, 0, "Carol\\\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.greeting);
        Rig rig(c.greeting);
        rig.client.dataArrival(c.event);
        EXPECT_EQ(rig.client.queueClient().agentEvents(), c.agentEvents);
        EXPECT_EQ(shape(rig.queues), (std::vector<std::string>{"sales 0/0 | 1 " + Carol +
                                                               " 5561 <" + c.name + "> 0s |"}));
    }
}

TEST(QueueClientTest, TheRecordingsTellWhetherTheAgentClassIsRead)
{
    // Recorded without ActionIDs, so only the events reach the queues.
    const struct
    {
        const char* recording;
        std::uint64_t agentEvents;
        std::size_t queues;
    } cases[] = {
        {"24_events_queue_lifecycle", 11, 1}, // two callers of sales, an answer, a pause
        {"25_queue_call_class_only", 0, 0},   // desk, with the call class alone: none
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recording);
        FakeWindow window;
        LiveCalls calls;
        Queues queues;
        ManagerClient client(window);
        client.followCalls(&calls);
        client.followQueues(&queues);
        client.dataArrival(fixture(std::string(c.recording) + ".recv.bin"));
        EXPECT_EQ(client.queueClient().agentEvents(), c.agentEvents);
        EXPECT_EQ(queues.size(), c.queues);
        EXPECT_FALSE(queues.listed());
    }
}

TEST(QueueClientTest, OneListingAtATimeAFewPollsAtMost)
{
    Rig rig;
    for (int poll = 0; poll < 5; ++poll)
        rig.client.pollQueues();
    EXPECT_EQ(rig.window.sent.size(), 4u); // two listings of two actions each
}
