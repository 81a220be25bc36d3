// The simulator's queues, users and forged callers as a client meets them over loopback.
#include "Blocks.h"
#include "PbxSim.h"
#include "TestClient.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

// A whole QueueStatus answer, up to the end of its completion.
std::string readQueueStatus(TestClient& client)
{
    std::string text = client.readUntil("Event: QueueStatusComplete\r\n");
    return text + client.readBlock();
}

} // namespace

// For a second 50 callers join and 50 leave, each told; the queues stay as full as they were.
TEST(QueueWireTest, TheQueueChurnTellsEveryCallerAndKeepsTheQueuesFull)
{
    PbxSim sim({"--queues", "5", "--members", "10", "--waiting", "20", "--calls", "10", "--dialect",
                "modern", "--greeting-version", "13.0.0"});
    ASSERT_NE(sim.port(), 0) << sim.error().toStdString();
    TestClient client;
    ASSERT_TRUE(client.connectTo(sim.port()));
    client.readUntil("\r\n");
    client.send(loginWithEvents("agent"));
    ASSERT_EQ(client.readBlock(), LoginAccepted);
    ASSERT_EQ(sim.command("queue-churn 50 1"), "ok");
    std::size_t joined = 0, left = 0;
    while ((joined < 50 || left < 50) && !client.timedOut() && !client.closed()) {
        const std::string block = client.readBlock();
        joined += block.rfind("Event: QueueCallerJoin\r\n", 0) == 0 ? 1 : 0;
        left += block.rfind("Event: QueueCallerLeave\r\n", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(joined, 50u);
    EXPECT_EQ(left, 50u);
    EXPECT_EQ(sim.command("waiting").section(' ', 0, 1), "ok 20");
    client.send("Action: QueueStatus\r\nActionID: w\r\n\r\n");
    const std::string status = readQueueStatus(client);
    EXPECT_EQ(countEvents(status, "QueueEntry"), 20u);
    EXPECT_EQ(countEvents(status, "QueueMember"), 10u);
    EXPECT_EQ(field(splitBlocks(status).back(), "ActionID"), "w");
}

// The demo's queues with a user of the call class only, and callers whose names forge records
// of a call that is up.
TEST(QueueWireTest, ADeskUserMeetsTheDemoQueuesAndTheForgers)
{
    PbxSim sim({"--queue-demo", "--calls", "0", "--name-hex", "416c696365", "--forged",
                "SIP/7701-0000ff00", "--add-user", "desk:s3cret:call", "--dialect", "modern",
                "--greeting-version", "13.0.0"});
    ASSERT_NE(sim.port(), 0) << sim.error().toStdString();
    TestClient client;
    ASSERT_TRUE(client.connectTo(sim.port()));
    client.readUntil("\r\n");
    client.send("Action: Login\r\nUsername: desk\r\nSecret: s3cret\r\nEvents: on\r\n\r\n"
                "Action: QueuePause\r\nInterface: Local/6002@queue-agents/n\r\nPaused: no\r\n\r\n");
    ASSERT_EQ(client.readBlock(), LoginAccepted);
    EXPECT_EQ(client.readBlock(), "Response: Error\r\nMessage: Permission denied\r\n\r\n");

    client.send("Action: Status\r\nActionID: s1\r\n\r\n");
    std::vector<Block> cut; // records that end without the ActionID
    const std::vector<Block> listing = splitBlocks(client.readStatus());
    for (std::size_t i = 1; i + 1 < listing.size(); ++i)
        if (listing[i].back() != "ActionID: s1")
            cut.push_back(listing[i]);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[0].back(), "Seconds: 987654");
    EXPECT_EQ(cut[1].back(), "EffectiveConnectedLineName: x");

    client.send("Action: QueueStatus\r\nQueue: sales\r\n\r\n");
    const std::vector<Block> entries = blocksStarting(readQueueStatus(client), "Event: QueueEntry");
    ASSERT_EQ(entries.size(), 4u); // two waiting, the forger, and the entry it forged
    EXPECT_EQ(field(entries[3], "Channel"), "SIP/7701-0000ff00");
    EXPECT_EQ(field(entries[2], "Wait"), "987654");
    EXPECT_TRUE(sim.command("answer Local/114@queue-callers-0000f114;2").startsWith("ok"));
    // Of the answer only the call class reaches desk: the member's channel, its bridge.
    const std::string events = client.readUntil("Event: BridgeEnter\r\n");
    EXPECT_EQ(events.find("Event: Agent"), std::string::npos);
    EXPECT_NE(events.find("Event: Newchannel\r\n"), std::string::npos);
}
