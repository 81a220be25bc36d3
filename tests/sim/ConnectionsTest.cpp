#include "Blocks.h"
#include "PbxSim.h"
#include "TestClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace simtest;

namespace {

using namespace std::chrono_literals;

// What the simulator does to its connections as a whole: slow readers, restarts, stalls.
class ConnectionsTest : public ::testing::Test
{
protected:
    void start(const QStringList& arguments)
    {
        sim = std::make_unique<PbxSim>(arguments);
        ASSERT_NE(sim->port(), 0) << sim->error().toStdString();
    }
    // Connects `c`, takes the greeting and logs in with `login`.
    void logIn(TestClient& c, std::string_view login = DefaultLogin)
    {
        ASSERT_TRUE(c.connectTo(sim->port()));
        ASSERT_NE(c.readUntil("\r\n").find("Asterisk Call Manager/"), std::string::npos);
        c.send(login);
        ASSERT_EQ(c.readBlock().substr(0, LoginAccepted.size()), LoginAccepted);
    }
    // The `queued` figures: bytes waiting now, the most one connection held, connections dropped.
    std::vector<std::uint64_t> queued()
    {
        const QStringList words = sim->command("queued").split(' ');
        std::vector<std::uint64_t> figures;
        for (int i = 1; i < words.size(); ++i)
            figures.push_back(words[i].toULongLong());
        return figures;
    }

    std::unique_ptr<PbxSim> sim;
    TestClient client;
};

const QStringList Current = {"--dialect", "modern", "--greeting-version", "13.0.0"};

} // namespace

TEST_F(ConnectionsTest, AClientThatStopsReadingDuringChurnIsDisconnected)
{
    constexpr std::uint64_t Bound = 1 << 20;
    start(Current + QStringList{"--calls", "50", "--max-queued", QString::number(Bound)});
    logIn(client, loginWithEvents("call"));
    TestClient quiet;
    logIn(quiet);

    // `client` reads nothing more: the kernel's buffers fill, then the simulator's queue.
    ASSERT_EQ(sim->command("churn 2000"), "ok");
    std::vector<std::uint64_t> figures = queued();
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (figures.size() == 3 && figures[2] == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        figures = queued();
    }
    ASSERT_EQ(figures.size(), 3u);
    EXPECT_EQ(figures[2], 1u);
    // Bounded: at most one round of events beyond the bound, and nothing held once it is gone.
    EXPECT_LE(figures[1], Bound + 256 * 1024);
    ASSERT_EQ(sim->command("churn 0"), "ok");
    EXPECT_EQ(queued()[0], 0u);
    client.readToClose(10000);
    EXPECT_TRUE(client.closed());

    // The others go on being served.
    quiet.send("Action: Ping\r\n\r\n");
    EXPECT_EQ(quiet.readBlock().substr(0, 31), "Response: Success\r\nPing: Pong\r\n");
}

namespace {

// Connects over and over until the simulator takes the connection, for at most `limit`.
bool connectWithin(TestClient& c, std::uint16_t port, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!c.connectTo(port)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

std::vector<std::string> channelsOf(const std::string& status)
{
    std::vector<std::string> channels;
    for (const Block& block : blocksStarting(status, "Event: Status"))
        channels.push_back(field(block, "Channel"));
    return channels;
}

} // namespace

TEST_F(ConnectionsTest, RestartTellsClosesRefusesAndComesBackWithTheCalls)
{
    start(Current + QStringList{"--calls", "3"});
    logIn(client, loginWithEvents("call,system"));
    EXPECT_EQ(eventNames(client.readBlock()), std::vector<std::string>{"FullyBooted"});
    TestClient quiet;
    logIn(quiet, loginWithEvents("call"));
    quiet.send(StatusAction);
    const std::vector<std::string> before = channelsOf(quiet.readStatus());
    ASSERT_EQ(before.size(), 3u);

    ASSERT_EQ(sim->command("restart 1"), "ok");
    // As recorded: Shutdown to a client reading system events, then the close; nothing to others.
    const std::string recorded = fixture("21_restart_seen_by_client.recv.bin");
    const std::string shutdown = recorded.substr(recorded.rfind("Event: Shutdown\r\n"));
    EXPECT_EQ(client.readToClose(), shutdown);
    EXPECT_TRUE(client.closed());
    EXPECT_EQ(quiet.readToClose(), "");
    EXPECT_TRUE(quiet.closed());
    TestClient refused;
    EXPECT_FALSE(refused.connectTo(sim->port()));

    ASSERT_TRUE(connectWithin(client, sim->port(), 5s));
    EXPECT_EQ(client.readUntil("\r\n"), "Asterisk Call Manager/13.0.0\r\n");
    client.send(loginWithEvents("call,system"));
    // As after the recorded restart: FullyBooted counts from it.
    const std::string login = client.readUntil("Status: Fully Booted\r\n\r\n");
    EXPECT_EQ(shapeOf(login), shapeOf(fixture("22_login_after_restart.recv.bin").substr(30, 148)));
    EXPECT_LE(std::stoi(field(splitBlocks(login).at(1), "Uptime")), 5);
    client.send(StatusAction);
    EXPECT_EQ(channelsOf(client.readStatus()), before);
}

TEST_F(ConnectionsTest, FreezeHoldsEveryOpenConnectionThenLetsItGo)
{
    start(Current + QStringList{"--calls", "1"});
    logIn(client, loginWithEvents("call"));
    ASSERT_EQ(sim->command("freeze 2"), "ok");
    client.send("Action: Ping\r\n\r\n");
    ASSERT_EQ(sim->command("start SIP/7-00000007 7 Seven"), "ok SIP/7-00000007");
    EXPECT_EQ(client.readBlock(300), "");
    EXPECT_TRUE(client.timedOut());
    EXPECT_FALSE(client.closed());

    // A connection made meanwhile is served.
    TestClient fresh;
    logIn(fresh);

    // Once the link is back, what was queued goes out, and then the answer.
    const std::string after = client.readUntil("Ping: Pong\r\n", 10000);
    EXPECT_EQ(eventNames(after).front(), "Newchannel");
    EXPECT_NE(after.find("Response: Success\r\nPing: Pong\r\n"), std::string::npos);
}

TEST_F(ConnectionsTest, SilentTakesConnectionsButNeverGreetsThem)
{
    start({"--calls", "1"});
    logIn(client);
    ASSERT_EQ(sim->command("silent"), "ok");
    TestClient mute;
    ASSERT_TRUE(mute.connectTo(sim->port()));
    mute.send(DefaultLogin);
    EXPECT_EQ(mute.readUntil("\r\n", 300), "");
    EXPECT_TRUE(mute.timedOut());
    // Those greeted before go on.
    client.send("Action: Ping\r\n\r\n");
    EXPECT_EQ(client.readBlock().substr(0, 19), "Response: Success\r\n");

    ASSERT_EQ(sim->command("silent off"), "ok");
    TestClient heard;
    logIn(heard);
    EXPECT_EQ(mute.readUntil("\r\n", 300), "");
    EXPECT_FALSE(mute.closed());
}
