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
