// The recordings of a real PBX's queues, replayed block by block through the reader; after each
// step the set must say what the recording's text shows.
#include "FixtureFile.h"
#include "QueuesTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace corvale;
using namespace std::chrono_literals;

namespace {

class Replay
{
public:
    explicit Replay(const std::string& name)
        : blocks(blocksOf(fixture(name + ".recv.bin")))
        , actions(blocksOf(fixture(name + ".sent.bin")))
    {
        queues.setListener(&heard);
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
    Queues queues{[this] { return clock; }, [] { return std::chrono::system_clock::now(); }};
    Recorder heard{queues};

private:
    // A listing begins with the answer to the action that asked for it, which names its queue.
    void apply(const Fields& block)
    {
        if (block.front().first == "Event") {
            feed(reader, queues, block, true);
            return;
        }
        if (block.front() != Fields::value_type("Response", "Success") || sent >= actions.size())
            return;
        std::string action, queue;
        for (const auto& [key, value] : actions[sent++]) {
            if (key == "Action")
                action = value;
            if (key == "Queue")
                queue = value;
        }
        if (action == "QueueStatus" || action == "QueueSummary")
            queues.listingStarted(
                action == "QueueStatus" ? QueueListing::Status : QueueListing::Summary, queue);
    }

    std::vector<Fields> blocks;
    std::vector<Fields> actions;
    std::size_t next = 0;
    std::size_t sent = 0;
    QueueBlock reader;
};

std::string queueLine(const std::string& name, const std::string& counters,
                      const std::string& callers, const std::string& members)
{
    return name + " " + counters + " |" + (callers.empty() ? "" : " ") + callers + " | " + members;
}

std::string figures(const Queue& q)
{
    char text[120];
    std::snprintf(text, sizeof text, "hold %us talk %us level %us %.1f%% %.1f%%", q.holdTime,
                  q.talkTime, q.serviceLevel, q.serviceLevelPerf.value_or(-1),
                  q.serviceLevelPerf2.value_or(-1));
    return text;
}

// Recording 23: its three callers, each waiting `wait`, or none.
std::vector<std::string> recording23(const std::string& wait)
{
    const std::string pause = " paused@1796857114 0";
    const auto caller = [&wait](const char* position, const char* extension, const char* n) {
        return std::string(position) + " Local/" + extension + "@queue-callers-0000000" + n +
               ";2 556" + extension + " <Waiting " + extension + "> " + wait;
    };
    return {
        queueLine("support", "0/0", wait.empty() ? "" : caller("1", "5501", "2"),
                  "Local/6003@queue-agents/n Cleo Agent" + pause),
        queueLine("sales", "0/0",
                  wait.empty() ? "" : caller("1", "5001", "0") + ", " + caller("2", "5002", "1"),
                  "Local/6002@queue-agents/n Ben Agent" + pause +
                      ", Local/6001@queue-agents/n Anna Agent" + pause)};
}

// Recording 24's sales queue.
std::string sales24(const std::string& counters, const std::string& callers,
                    const std::string& anna)
{
    return queueLine("sales", counters, callers,
                     "Local/6002@queue-agents/n Ben Agent paused@1796857127 0, "
                     "Local/6001@queue-agents/n Anna Agent " +
                         anna);
}

const std::string Caller5011 = "Local/5011@queue-callers-00000000;2 5565011 <Waiting 5011> ";
const std::string Caller5012 = "Local/5012@queue-callers-00000001;2 5565012 <Waiting 5012> ";

} // namespace

TEST(QueuesReplayTest, QueueStatusAndSummaryListThreeCallersAndOneQueueAlone)
{
    Replay replay("23_queue_status");
    replay.through("QueueStatusComplete");
    EXPECT_TRUE(replay.queues.listed());
    EXPECT_EQ(shape(replay.queues), recording23(""));
    EXPECT_EQ(figures(replay.queues.at(0)), "hold 0s talk 0s level 60s 0.0% 0.0%");
    replay.through("QueueSummaryComplete");
    EXPECT_EQ(shape(replay.queues), recording23(""));

    replay.through("QueueStatusComplete");
    EXPECT_EQ(shape(replay.queues), recording23("2s"));
    const QueueCaller* second = replay.queues.waitingOn("Local/5002@queue-callers-00000001;2");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->queue->name, "sales");
    EXPECT_EQ(second->uniqueid, "1796857118.3");
    EXPECT_EQ(replay.queues.at(1).longestWait(replay.queues.now()), 2);

    // Two seconds on, the waits have ticked to what the listing of support alone then says;
    // sales, which it does not cover, keeps its callers; nor do the channel listings touch them.
    replay.through("QueueSummaryComplete");
    replay.clock += 2s;
    EXPECT_EQ(shape(replay.queues), recording23("4s"));
    const auto heardBefore = replay.heard.log.size();
    replay.toEnd();
    EXPECT_EQ(shape(replay.queues), recording23("4s"));
    EXPECT_EQ(replay.heard.log.size(), heardBefore);
}

TEST(QueuesReplayTest, EventsFollowCallersThroughAbandonAnswerAndEnd)
{
    Replay replay("24_events_queue_lifecycle");
    replay.through("QueueStatusComplete");
    EXPECT_EQ(shape(replay.queues).at(1), sales24("0/0", "", "paused@1796857127 0"));

    replay.through("QueueCallerJoin");
    replay.clock += 2s;
    replay.through("QueueCallerJoin");
    EXPECT_EQ(
        shape(replay.queues).at(1),
        sales24("0/0", "1 " + Caller5011 + "2s, 2 " + Caller5012 + "0s", "paused@1796857127 0"));

    // The first gives up: told and counted, and gone with its Leave; the second moves up.
    replay.through("QueueCallerAbandon");
    EXPECT_EQ(replay.heard.history,
              (std::vector<std::string>{"abandoned sales 1/1 5s 5565011 <Waiting 5011> "
                                        "Local/5011@queue-callers-00000000;2"}));
    replay.through("QueueCallerLeave");
    EXPECT_EQ(shape(replay.queues).at(1),
              sales24("0/1", "1 " + Caller5012 + "0s", "paused@1796857127 0"));

    replay.through("QueueMemberPause");
    EXPECT_EQ(shape(replay.queues).at(1), sales24("0/1", "1 " + Caller5012 + "0s", "free 0"));
    replay.through("AgentCalled");
    EXPECT_EQ(shape(replay.queues).at(1), sales24("0/1", "1 " + Caller5012 + "0s", "ringing 0"));

    replay.through("AgentConnect");
    const std::string caller = "Local/5012@queue-callers-00000001;2";
    EXPECT_EQ(replay.heard.history.back(),
              "answered sales by Anna Agent on Local/6001@queue-agents-00000002;1 6s " + caller);
    EXPECT_EQ(replay.queues.waitingOn(caller), nullptr);
    ASSERT_NE(replay.queues.answerOn(caller), nullptr);
    EXPECT_EQ(replay.queues.answerOn(caller)->interface, "Local/6001@queue-agents/n");
    EXPECT_EQ(replay.queues.answerFor("1796857133.3"), replay.queues.answerOn(caller));
    replay.through("QueueStatusComplete");
    EXPECT_EQ(shape(replay.queues).at(1), sales24("0/1", "", "on a call 0"));
    EXPECT_EQ(figures(replay.queues.at(1)), "hold 1s talk 0s level 30s 0.0% 100.0%");
    const MemberCounts counts = replay.queues.at(1).counts();
    EXPECT_EQ(
        std::vector<std::size_t>({counts.loggedIn, counts.free, counts.onCall, counts.paused}),
        std::vector<std::size_t>({2, 0, 1, 1}));

    // The agent hangs up: the call is done, and the member's status brings its count.
    replay.through("AgentComplete");
    EXPECT_EQ(replay.queues.answerOn(caller), nullptr);
    replay.through("QueueMemberStatus");
    EXPECT_EQ(shape(replay.queues).at(1), sales24("1/1", "", "free 1"));
    EXPECT_EQ(replay.queues.at(1).members[1]->lastCall, 1796857145);
    replay.toEnd();
    EXPECT_EQ(shape(replay.queues).at(1), sales24("1/1", "", "free 1"));
    EXPECT_EQ(figures(replay.queues.at(1)), "hold 1s talk 6s level 30s 100.0% 100.0%");
    EXPECT_EQ(replay.heard.history.size(), 2u);
}

TEST(QueuesReplayTest, WithoutTheAgentClassOnlyTheListingsTellOfCallers)
{
    Replay replay("25_queue_call_class_only");
    replay.through("QueueSummaryComplete");
    const auto heardBefore = replay.heard.log.size();
    replay.through("QueueParams");
    EXPECT_EQ(replay.heard.log.size(), heardBefore); // the caller's call events say nothing here
    replay.toEnd();
    EXPECT_EQ(shape(replay.queues).at(1),
              queueLine("sales", "0/0",
                        "1 Local/5021@queue-callers-00000000;2 5565021 <Waiting 5021> 3s",
                        "Local/6002@queue-agents/n Ben Agent paused@1796857150 0, "
                        "Local/6001@queue-agents/n Anna Agent paused@1796857150 0"));
}
