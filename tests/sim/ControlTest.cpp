#include "Control.h"

#include "Forgeries.h"
#include "QueueSetup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

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

namespace {

// The demo's queues under command, with a clock the test moves.
class QueueControlTest : public ::testing::Test, public QueueTable::Listener
{
protected:
    QueueControlTest()
    {
        addDemoQueues(queues, generator, Now);
        control.setQueues(&queues);
        control.setDialect(Dialect::Modern);
        queues.subscribe(this);
    }
    ~QueueControlTest() override { queues.unsubscribe(this); }
    void queueChanged(const QueueChange& change) override { kinds.push_back(change.kind); }

    std::int64_t now = Now;
    CallGenerator generator{1};
    CallTable table{generateCalls(4, 77, Now)};
    QueueTable queues{table, generator, [this] { return now; }};
    Control control{table, generator, EventStyle::Current, 1};
    std::vector<QueueChange::Kind> kinds;
};

using QueueKind = QueueChange::Kind;

} // namespace

TEST_F(QueueControlTest, QueueCommandsChangeTheQueuesAndSaySo)
{
    EXPECT_EQ(control.run("waiting", Now), "ok 3 0");
    const std::pair<const char*, const char*> rows[] = {
        {"join sales SIP/5011-00000001 5565011 Waiting 5011", "ok SIP/5011-00000001"},
        {"join nowhere", "error no such queue"},
        {"join sales SIP/5011-00000001", "error channel exists"},
        {"answer SIP/5011-00000001 Local/6002@queue-agents/n",
         "error the member is paused or on a call"},
        {"answer SIP/5011-00000001 SIP/none", "error no such member"},
        {"answer SIP/5011-00000001", "ok"},
        {"answer SIP/5011-00000001", "error no such caller waiting"},
        {"pause Local/6001@queue-agents/n Coffee break", "ok"},
        {"unpause Local/6002@queue-agents/n", "ok"},
        {"pause SIP/nobody", "error no such member in any queue"},
        {"add-member support SIP/2041 Dora Agent", "ok"},
        {"add-member support SIP/2041", "error the member is there already"},
        {"remove-member support SIP/2041", "ok"},
        {"remove-member support SIP/2041", "error no such member"},
        {"abandon SIP/5011-00000001", "error no such caller waiting"},
        {"hangup SIP/5011-00000001 busy", "ok"},
        {"hangup SIP/5011-00000001 soon", "error a cause is 0 to 127, or normal, busy, noanswer "
                                          "or rejected"},
        {"queue-churn many", "error queue-churn needs callers per second and, if it is to end, "
                             "seconds"},
        {"waiting", "ok 3 0"},
    };
    for (const auto& [command, reply] : rows)
        EXPECT_EQ(control.run(command, now), reply) << command;
    const QueueMember& anna = queues.find("sales")->members[0];
    EXPECT_EQ(anna.pausedReason, "Coffee break");
    EXPECT_EQ(anna.callsTaken, 1);
    EXPECT_EQ(kinds,
              (std::vector<QueueKind>{QueueKind::Joined, QueueKind::AgentCalled, QueueKind::Left,
                                      QueueKind::AgentConnected, QueueKind::MemberStatus,
                                      QueueKind::MemberPaused, QueueKind::MemberPaused,
                                      QueueKind::MemberAdded, QueueKind::MemberRemoved,
                                      QueueKind::AgentCompleted, QueueKind::MemberStatus}));

    // A waiting caller that abandons, or is hung up by anyone, leaves its queue first.
    const std::string waiting = control.run("join support", now).substr(3);
    kinds.clear();
    EXPECT_EQ(control.run("abandon " + waiting, now), "ok");
    EXPECT_EQ(kinds, (std::vector<QueueKind>{QueueKind::Abandoned, QueueKind::Left}));
    EXPECT_EQ(queues.find("support")->abandoned, 1);
}

TEST_F(QueueControlTest, ForgedCallersNameAChannelThatIsUp)
{
    const Call victim = table.calls()[0];
    EXPECT_EQ(control.run("forge Local/112@c-1;2 " + victim.channel, Now), "ok Local/112@c-1;2");
    EXPECT_EQ(table.find("Local/112@c-1;2")->connectedName,
              forgedStatusRecord(Dialect::Modern, victim.channel));
    EXPECT_EQ(control.run("forge Local/112@c-2;2 SIP/none", Now), "error no such victim channel");
    EXPECT_EQ(control.run("forge-queue sales Local/114@c-1;2 " + victim.channel, Now),
              "ok Local/114@c-1;2");
    EXPECT_EQ(table.find("Local/114@c-1;2")->callerName,
              forgedQueueEntry(EventStyle::Current, "sales", victim));
}

// The queue churn keeps as many callers waiting as there were, and the gentle activity does
// one thing every three to six seconds, replacing what ends.
TEST_F(QueueControlTest, ChurnAndActivityKeepThePbxAsBusyAsItWas)
{
    QueueChurn& churn = *control.queueChurn();
    churn.step(40, now);
    EXPECT_EQ(queues.waiting(), 3u);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), QueueKind::Joined), 40);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), QueueKind::Left), 40);
    const auto answered = std::count(kinds.begin(), kinds.end(), QueueKind::AgentConnected);
    EXPECT_GT(answered, 0);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), QueueKind::Abandoned), 40 - answered);
    now += QueueChurn::TalkSeconds + 1;
    churn.endTalks(now);
    EXPECT_EQ(queues.answered(), 0u);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), QueueKind::AgentCompleted), answered);

    Activity& activity = control.activity();
    const auto t0 = Activity::Clock::now();
    activity.begin(t0);
    const std::size_t calls = table.size();
    kinds.clear();
    control.tick(t0 + std::chrono::seconds(2), now);
    EXPECT_TRUE(kinds.empty());
    for (int second = 7; second <= 70; second += 7)
        control.tick(t0 + std::chrono::seconds(second), now);
    EXPECT_EQ(queues.waiting(), 3u);
    EXPECT_EQ(table.size(), calls + 2 * queues.answered());
    EXPECT_FALSE(kinds.empty());
}

TEST(ChurnCausesTest, TheChurnEndsCallsWithTheCausesGiven)
{
    CallGenerator generator{1};
    CallTable table{generateCalls(50, 77, Now)};
    Control control{table, generator, EventStyle::Current, 1};
    struct Causes : CallTable::Listener
    {
        std::set<int> seen;
        void callChanged(const CallChange& change) override
        {
            if (change.kind == CallChange::Kind::HungUp)
                seen.insert(causeOf(change));
        }
    } causes;
    table.subscribe(&causes);
    control.churnStep(20, Now);
    EXPECT_EQ(causes.seen, (std::set<int>{16}));
    control.setChurnCauses({17, 19});
    causes.seen.clear();
    control.churnStep(40, Now);
    EXPECT_EQ(causes.seen, (std::set<int>{17, 19}));
    table.unsubscribe(&causes);
}
