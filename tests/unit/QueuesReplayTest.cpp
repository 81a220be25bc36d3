// The recordings of a real PBX's queues, replayed block by block through the reader; after each
// step the set must say what the recording's text shows.
#include "FixtureFile.h"
#include "QueuesTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace corvale;
using namespace std::chrono_literals;

namespace {

// The recordings' PBX clock, near their LastPause and LoginTime.
constexpr std::chrono::seconds Wall{1796857150};

class Replay : public Queues::Listener
{
public:
    explicit Replay(const std::string& name)
        : blocks(blocksOf(fixture(name + ".recv.bin")))
        , actions(blocksOf(fixture(name + ".sent.bin")))
    {
        queues.setListener(this);
    }

    // Applies the blocks up to and including the next event of this name.
    void through(std::string_view event)
    {
        while (next < blocks.size()) {
            const Fields& block = blocks[next++];
            apply(block);
            if (block.front().first == "Event" && block.front().second == event)
                return;
        }
        ADD_FAILURE() << "no further " << event << " in the recording";
    }
    void toEnd()
    {
        while (next < blocks.size())
            apply(blocks[next++]);
    }

    std::chrono::steady_clock::time_point clock{};
    Queues queues{[this] { return clock; },
                  [] { return std::chrono::system_clock::time_point(Wall); }};
    std::vector<std::string> history;
    std::size_t changes = 0;

    void queueChanged(std::size_t) override { ++changes; }
    void childChanged(const Queue&, Queues::Child, std::size_t) override { ++changes; }
    void callerAbandoned(const AbandonedCaller& c) override
    {
        history.push_back("abandoned " + std::string(c.queue) + " " + std::to_string(c.position) +
                          "/" + std::to_string(c.originalPosition) + " after " +
                          std::to_string(c.holdTime) + "s: " + std::string(c.number) + " <" +
                          std::string(c.name) + "> " + std::string(c.channel));
    }
    void callerAnswered(const AnsweredCaller& c) override
    {
        history.push_back("answered " + std::string(c.queue) + " by " + std::string(c.memberName) +
                          " after " + std::to_string(c.holdTime) + "s: " + std::string(c.channel));
    }

private:
    // A listing begins with the answer to the action it was asked for, which names its queue.
    void apply(const Fields& block)
    {
        if (block.front().first == "Event") {
            feed(reader, queues, block, true);
            return;
        }
        if (block.front().first != "Response" || sent >= actions.size())
            return;
        std::string action, queue;
        for (const auto& [key, value] : actions[sent++]) {
            if (key == "Action")
                action = value;
            if (key == "Queue")
                queue = value;
        }
        if (block.front().second == "Success" && action == "QueueStatus")
            queues.listingStarted(QueueListing::Status, queue);
        if (block.front().second == "Success" && action == "QueueSummary")
            queues.listingStarted(QueueListing::Summary, queue);
    }

    std::vector<Fields> blocks;
    std::vector<Fields> actions;
    std::size_t next = 0;
    std::size_t sent = 0;
    QueueBlock reader;
};

const std::vector<std::string> NobodyWaiting = {
    "support: 0 waiting, longest 0s; 0 done, 0 gave up; hold 0s talk 0s; level 60s 0.0%; 1 in, 0 "
    "free, 0 ringing, 0 on a call, 1 paused",
    "  Cleo Agent Local/6003@queue-agents/n paused, 0 calls",
    "sales: 0 waiting, longest 0s; 0 done, 0 gave up; hold 0s talk 0s; level 30s 0.0%; 2 in, 0 "
    "free, 0 ringing, 0 on a call, 2 paused",
    "  Ben Agent Local/6002@queue-agents/n paused, 0 calls",
    "  Anna Agent Local/6001@queue-agents/n paused, 0 calls"};

// Recording 23 once its three callers wait, each for `wait` seconds.
std::vector<std::string> threeWaiting(int wait)
{
    const std::string w = std::to_string(wait) + "s";
    return {"support: 1 waiting, longest " + w +
                "; 0 done, 0 gave up; hold 0s talk 0s; level 60s "
                "0.0%; 1 in, 0 free, 0 ringing, 0 on a call, 1 paused",
            "  1 Local/5501@queue-callers-00000002;2 1796857118.5 5565501 <Waiting 5501> " + w,
            NobodyWaiting[1],
            "sales: 2 waiting, longest " + w +
                "; 0 done, 0 gave up; hold 0s talk 0s; level 30s "
                "0.0%; 2 in, 0 free, 0 ringing, 0 on a call, 2 paused",
            "  1 Local/5001@queue-callers-00000000;2 1796857118.1 5565001 <Waiting 5001> " + w,
            "  2 Local/5002@queue-callers-00000001;2 1796857118.3 5565002 <Waiting 5002> " + w,
            NobodyWaiting[3],
            NobodyWaiting[4]};
}

} // namespace

TEST(QueuesReplayTest, QueueStatusAndSummaryListThreeCallersAndOneQueueAlone)
{
    Replay replay("23_queue_status");
    replay.through("QueueStatusComplete");
    EXPECT_TRUE(replay.queues.listed());
    EXPECT_EQ(dump(replay.queues), NobodyWaiting);
    replay.through("QueueSummaryComplete");
    EXPECT_EQ(dump(replay.queues), NobodyWaiting);

    replay.through("QueueStatusComplete");
    EXPECT_EQ(dump(replay.queues), threeWaiting(2));
    const QueueCaller* second = replay.queues.waitingOn("Local/5002@queue-callers-00000001;2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->queue->name, "sales");
    EXPECT_EQ(second->position, 2u);

    // Two seconds on, the waits have ticked to what the listing of support alone then says;
    // sales, which it does not cover, keeps its callers.
    replay.through("QueueSummaryComplete");
    replay.clock += 2s;
    EXPECT_EQ(dump(replay.queues), threeWaiting(4));
    const auto changesBefore = replay.changes;
    replay.toEnd();
    EXPECT_EQ(dump(replay.queues), threeWaiting(4));
    EXPECT_EQ(replay.changes, changesBefore); // nor do the channel listings touch the queues
}

TEST(QueuesReplayTest, EventsFollowCallersThroughAbandonAnswerAndEnd)
{
    Replay replay("24_events_queue_lifecycle");
    replay.through("QueueStatusComplete");
    EXPECT_EQ(dump(replay.queues), NobodyWaiting);

    replay.through("QueueCallerJoin");
    replay.clock += 2s;
    replay.through("QueueCallerJoin");
    auto sales = dump(replay.queues);
    ASSERT_EQ(sales.size(), 7u);
    EXPECT_EQ(sales[2], "sales: 2 waiting, longest 2s; 0 done, 0 gave up; hold 0s talk 0s; level "
                        "30s 0.0%; 2 in, 0 free, 0 ringing, 0 on a call, 2 paused");
    EXPECT_EQ(sales[3], "  1 Local/5011@queue-callers-00000000;2 1796857131.1 5565011 "
                        "<Waiting 5011> 2s");
    EXPECT_EQ(sales[4], "  2 Local/5012@queue-callers-00000001;2 1796857133.3 5565012 "
                        "<Waiting 5012> 0s");

    // The first gives up: told, counted, and gone with its Leave; the second moves up.
    replay.through("QueueCallerAbandon");
    EXPECT_EQ(replay.history,
              (std::vector<std::string>{"abandoned sales 1/1 after 5s: 5565011 <Waiting 5011> "
                                        "Local/5011@queue-callers-00000000;2"}));
    EXPECT_EQ(replay.queues.at(1).abandoned, 1u);
    replay.through("QueueCallerLeave");
    sales = dump(replay.queues);
    EXPECT_EQ(sales[3], "  1 Local/5012@queue-callers-00000001;2 1796857133.3 5565012 "
                        "<Waiting 5012> 0s");
    EXPECT_EQ(sales.size(), 6u);

    replay.through("QueueMemberPause");
    EXPECT_EQ(dump(replay.queues)[5], "  Anna Agent Local/6001@queue-agents/n free, 0 calls");
    replay.through("AgentCalled");
    EXPECT_EQ(dump(replay.queues)[5], "  Anna Agent Local/6001@queue-agents/n ringing, 0 calls");

    replay.through("AgentConnect");
    const std::string caller = "Local/5012@queue-callers-00000001;2";
    EXPECT_EQ(replay.history.back(), "answered sales by Anna Agent after 6s: " + caller);
    EXPECT_EQ(replay.queues.waitingOn(caller), nullptr);
    const QueueAnswer* answer = replay.queues.answerOn(caller);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer->memberName, "Anna Agent");
    EXPECT_EQ(answer->memberChannel, "Local/6001@queue-agents-00000002;1");
    EXPECT_EQ(replay.queues.answerFor("1796857133.3"), answer);
    replay.through("QueueStatusComplete");
    EXPECT_EQ(dump(replay.queues)[2], "sales: 0 waiting, longest 0s; 0 done, 1 gave up; hold 1s "
                                      "talk 0s; level 30s 0.0%; 2 in, 0 free, 0 ringing, 1 on a "
                                      "call, 1 paused");
    EXPECT_EQ(replay.queues.at(1).serviceLevelPerf2, 100.0);

    // The agent hangs up: the call is done, and the member's status brings its count.
    replay.through("AgentComplete");
    EXPECT_EQ(replay.queues.at(1).completed, 1u);
    EXPECT_EQ(replay.queues.answerOn(caller), nullptr);
    replay.through("QueueMemberStatus");
    EXPECT_EQ(dump(replay.queues)[4], "  Anna Agent Local/6001@queue-agents/n free, 1 calls");
    EXPECT_EQ(replay.queues.at(1).members[1]->lastCall, 1796857145);
    replay.toEnd();
    EXPECT_EQ(dump(replay.queues)[2], "sales: 0 waiting, longest 0s; 1 done, 1 gave up; hold 1s "
                                      "talk 6s; level 30s 100.0%; 2 in, 1 free, 0 ringing, 0 on a "
                                      "call, 1 paused");
    EXPECT_EQ(replay.history.size(), 2u);
}

TEST(QueuesReplayTest, WithoutTheAgentClassOnlyTheListingsTellOfCallers)
{
    Replay replay("25_queue_call_class_only");
    replay.through("QueueStatusComplete");
    EXPECT_EQ(dump(replay.queues), NobodyWaiting);
    replay.through("QueueSummaryComplete");
    const auto changesBefore = replay.changes;
    replay.through("QueueParams");
    EXPECT_EQ(replay.changes, changesBefore); // the call events of the caller say nothing here
    replay.toEnd();
    const auto sales = dump(replay.queues);
    ASSERT_EQ(sales.size(), 6u);
    EXPECT_EQ(sales[3], "  1 Local/5021@queue-callers-00000000;2 1796857158.1 5565021 "
                        "<Waiting 5021> 3s");
}
