#include "Control.h"

#include <gtest/gtest.h>

using namespace pbxsim;

namespace {

constexpr std::int64_t Now = 1796751512;

class ControlTest : public ::testing::Test, public CallTable::Listener
{
protected:
    void callChanged(const CallChange& change) override { kinds.push_back(change.kind); }
    void SetUp() override { table.subscribe(this); }
    void TearDown() override { table.unsubscribe(this); }

    CallGenerator generator{1};
    CallTable table{generateCalls(3, 77, Now)};
    Control control{table, generator, EventStyle::Pbx16, 1};
    std::vector<CallChange::Kind> kinds;
};

using Kind = CallChange::Kind;

// Records what the connection commands ask of the server.
class FakeTransport : public Transport
{
public:
    QueueFigures queued() const override { return {5, 7, 1}; }
    void restart(std::uint32_t seconds) override
    {
        asked.push_back("restart " + std::to_string(seconds));
    }
    void freeze(std::uint32_t seconds) override
    {
        asked.push_back("freeze " + std::to_string(seconds));
    }
    void setSilent(bool on) override { asked.push_back(on ? "silent" : "heard"); }
    std::vector<std::string> asked;
};

} // namespace

TEST_F(ControlTest, CommandsChangeTheCallsAndSaySo)
{
    EXPECT_EQ(control.run("start SIP/2041-00000001 2041 Zoë  Müller ", Now),
              "ok SIP/2041-00000001");
    const Call* call = table.find("SIP/2041-00000001");
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->callerName, "Zoë  Müller");
    EXPECT_EQ(call->startedAt, Now);
    EXPECT_EQ(control.run("start sip/2041-00000001", Now),
              "error channel sip/2041-00000001 exists");
    EXPECT_EQ(control.run("callerid SIP/2041-00000001 2042 Bob Jones", Now), "ok");
    EXPECT_EQ(call->callerNum + "/" + call->callerName, "2042/Bob Jones");
    EXPECT_EQ(control.run("callerid SIP/2041-00000001 2043", Now), "ok");
    EXPECT_EQ(call->callerName, "");
    EXPECT_EQ(control.run("exten SIP/2041-00000001 700", Now), "ok");
    EXPECT_EQ(call->extension, "700");
    EXPECT_EQ(control.run("rename SIP/2041-00000001 SIP/2041-00000002", Now), "ok");
    EXPECT_EQ(control.run("count", Now), "ok 4");
    EXPECT_EQ(control.run("hangup SIP/2041-00000002", Now), "ok");
    EXPECT_EQ(control.run("hangup SIP/2041-00000002", Now), "error no such channel");

    const std::string generated = control.run("start", Now);
    ASSERT_EQ(generated.substr(0, 3), "ok ");
    EXPECT_EQ(table.find(generated.substr(3))->startedAt, Now);
    EXPECT_EQ(kinds,
              (std::vector<Kind>{Kind::Started, Kind::CallerId, Kind::CallerId, Kind::Extension,
                                 Kind::Renamed, Kind::HungUp, Kind::Started}));

    for (const char* bad : {"", "bogus x y", "hangup", "exten SIP/x", "rename a", "churn",
                            "churn many", "churn 5 soon", "masquerade a a"})
        EXPECT_EQ(control.run(bad, Now).substr(0, 6), "error ") << bad;
    EXPECT_EQ(table.size(), 4u);
}

TEST_F(ControlTest, ConnectionCommandsGoToTheServer)
{
    EXPECT_EQ(control.run("restart 2", Now), "error no connections here");
    FakeTransport server;
    control.setTransport(&server);
    EXPECT_EQ(control.run("restart 2", Now), "ok");
    EXPECT_EQ(control.run("freeze 0", Now), "ok");
    EXPECT_EQ(control.run("silent", Now), "ok");
    EXPECT_EQ(control.run("silent off", Now), "ok");
    EXPECT_EQ(control.run("silent on", Now), "ok");
    EXPECT_EQ(control.run("queued", Now), "ok 5 7 1");
    EXPECT_EQ(control.run("restart soon", Now), "error usage: restart SECONDS");
    EXPECT_EQ(control.run("silent maybe", Now), "error usage: silent [on|off]");
    EXPECT_EQ(control.run("freeze", Now), "error missing argument; usage: freeze SECONDS");
    EXPECT_EQ(server.asked,
              (std::vector<std::string>{"restart 2", "freeze 0", "silent", "heard", "silent"}));
}

TEST_F(ControlTest, UnknownCommandsAreToldWhatThereIs)
{
    const std::string help = control.run("help", Now);
    ASSERT_EQ(help.substr(0, 3), "ok ");
    const std::string list = help.substr(3);
    for (const char* usage : {"start [CHANNEL [NUMBER [NAME...]]]", "hangup CHANNEL",
                              "restart SECONDS", "freeze SECONDS", "silent [on|off]"})
        EXPECT_NE(list.find(usage), std::string::npos) << usage;
    EXPECT_EQ(control.run("bogus", Now), "error unknown command bogus; commands: " + list);
    EXPECT_EQ(control.run("bogus x y", Now), "error unknown command bogus; commands: " + list);
    EXPECT_EQ(control.run("callerid SIP/x", Now),
              "error missing argument; usage: callerid CHANNEL NUMBER [NAME...]");
}

TEST_F(ControlTest, MasqueradeFollowsTheGreetingsGeneration)
{
    const Call original = table.calls()[0];
    const Call clone = table.calls()[1];
    const std::string command = "masquerade " + original.channel + " " + clone.channel;
    EXPECT_EQ(control.run(command, Now), "ok");
    EXPECT_EQ(table.find(clone.channel)->uniqueid, original.uniqueid);

    CallTable current(generateCalls(2, 77, Now));
    Control modern(current, generator, EventStyle::Current, 1);
    EXPECT_EQ(modern.run(command, Now), "ok");
    EXPECT_EQ(current.find(clone.channel)->uniqueid, clone.uniqueid);
}

TEST(ChurnPairsTest, BridgedPairsAreReplacedByBridgedPairs)
{
    for (const bool pairs : {false, true}) {
        CallGenerator generator{1};
        CallTable table{generateCalls(6, 77, Now)};
        Control control{table, generator, EventStyle::Current, 1};
        control.setChurnPairs(pairs);
        std::vector<std::string> channels;
        for (const Call& call : table.calls())
            channels.push_back(call.channel);
        for (std::size_t i = 0; i < channels.size(); i += 2)
            ASSERT_EQ(control.run("bridge " + channels[i] + " " + channels[i + 1], Now), "ok");
        control.churnStep(20, Now + 1);

        ASSERT_EQ(table.size(), 6u);
        std::size_t bridged = 0;
        for (const Call& call : table.calls()) {
            if (call.bridgedTo.empty())
                continue;
            ++bridged;
            const Call* peer = table.find(call.bridgedTo);
            ASSERT_NE(peer, nullptr);
            EXPECT_EQ(peer->bridgedTo, call.channel);
            EXPECT_EQ(peer->bridgeId, call.bridgeId);
            EXPECT_EQ(peer->linkedid, call.linkedid);
        }
        // Without pairs a pair that ends is replaced by two calls of their own.
        if (pairs)
            EXPECT_EQ(bridged, 6u);
        else
            EXPECT_LT(bridged, 6u);
    }
}

TEST(ChurnTest, SpreadsTheCallsOverEachSecondAndStopsInTime)
{
    using namespace std::chrono_literals;
    Churn churn;
    const auto t0 = Churn::Clock::now();
    churn.begin(500, 2, t0);
    EXPECT_EQ(churn.due(t0), 0u);
    EXPECT_EQ(churn.due(t0 + 10ms), 5u);
    EXPECT_EQ(churn.due(t0 + 10ms), 0u);
    EXPECT_EQ(churn.nextDue(), t0 + 20ms);
    // A late wake-up catches up: nothing is lost.
    EXPECT_EQ(churn.due(t0 + 1s), 495u);
    EXPECT_TRUE(churn.active());
    EXPECT_EQ(churn.due(t0 + 7s), 500u);
    EXPECT_FALSE(churn.active());
    EXPECT_EQ(churn.due(t0 + 8s), 0u);

    churn.begin(3, 0, t0);
    EXPECT_EQ(churn.due(t0 + 999ms), 2u);
    EXPECT_EQ(churn.due(t0 + 1000ms), 1u);
    EXPECT_EQ(churn.due(t0 + 1h), 3u * 3600 - 3);
    EXPECT_TRUE(churn.active());
}
