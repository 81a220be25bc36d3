// Queue events against recording 24 and the older generations' sources, through a session.
#include "Blocks.h"
#include "ManagerSession.h"
#include "QueueTable.h"
#include "RecordedQueues.h"

#include <gtest/gtest.h>

using namespace pbxsim;
using namespace simtest;

namespace {

constexpr std::int64_t Loaded = 1796857127;

// A PBX with the recording's queues and a session logged in with these classes.
struct RecordedPbx
{
    RecordedPbx(const char* greeting, const std::string& events)
    {
        options.greetingVersion = greeting;
        for (Queue& q : recordedQueues(Loaded))
            queues.addQueue(std::move(q));
        session = std::make_unique<ManagerSession>(options, table, &queues);
        say("Action: Login\r\nUsername: admin\r\nSecret: \r\nEvents: " + events + "\r\n\r\n");
    }
    // What the session sends for these bytes, with the events due.
    std::string say(const std::string& bytes)
    {
        std::vector<Output> out;
        session->receive(bytes, now, out);
        session->takeEvents(out);
        std::string text;
        for (const Output& o : out)
            text += o.bytes;
        return text;
    }
    std::vector<Block> events() { return splitBlocks(say({})); }
    // The recording's life of two callers: one gives up after 5 s, Anna is unpaused and takes
    // the other after 6 s and ends the call after 6 s; each step's events and listings kept.
    struct Steps
    {
        std::vector<Block> joined, abandoned, unpaused, answered, completed;
        std::string talking, after;
    };
    Steps live()
    {
        Steps s;
        now = 1796857131;
        queues.join("sales", queueCaller(5011, 0, "1796857131", 1, now));
        now = 1796857133;
        queues.join("sales", queueCaller(5012, 1, "1796857133", 3, now));
        s.joined = events();
        now = 1796857136;
        table.hangup("Local/5011@queue-callers-00000000;2");
        s.abandoned = events();
        EXPECT_TRUE(queues.pause("Local/6001@queue-agents/n", {}, false, {}));
        s.unpaused = events();
        now = 1796857139;
        EXPECT_EQ(queues.answer("Local/5012@queue-callers-00000001;2"), QueueTable::Result::Done);
        s.answered = events();
        s.talking = say("Action: QueueStatus\r\n\r\n");
        now = 1796857145;
        table.hangup(table.find("Local/5012@queue-callers-00000001;2")->bridgedTo);
        s.completed = events();
        s.after = say("Action: QueueStatus\r\n\r\n");
        return s;
    }

    std::int64_t now = Loaded;
    SessionOptions options;
    CallTable table;
    CallGenerator generator{1};
    QueueTable queues{table, generator, [this] { return now; }};
    std::unique_ptr<ManagerSession> session;
};

std::vector<Block> named(const std::vector<Block>& blocks, const std::string& event)
{
    std::vector<Block> found;
    for (const Block& block : blocks) {
        if (block.front() == "Event: " + event)
            found.push_back(block);
    }
    return found;
}

std::vector<std::string> keys(const Block& block)
{
    std::vector<std::string> all;
    for (const std::string& line : block)
        all.push_back(keyOf(line));
    return all;
}

} // namespace

// Caller and member events equal the recorded blocks; the agent events, whose member channel is
// the simulator's own, have the recorded fields; the figures of the listings in between follow.
TEST(QueueEventsTest, CurrentEventsAndFiguresAsRecorded)
{
    const std::string bytes = fixture("24_events_queue_lifecycle.recv.bin");
    const std::vector<std::string> answers = answersIn(bytes);
    ASSERT_EQ(answers.size(), 4u);
    RecordedPbx pbx("13.0.0", "call,agent");
    EXPECT_EQ(pbx.say("Action: QueueStatus\r\n\r\n"), answers[1]);

    const std::vector<Block> recorded = splitBlocks(bytes);
    const auto recordedAs = [&](const Block& block) {
        return std::find(recorded.begin(), recorded.end(), block) != recorded.end();
    };
    const RecordedPbx::Steps s = pbx.live();
    ASSERT_EQ(named(s.joined, "QueueCallerJoin").size(), 2u);
    for (const auto* step : {&s.joined, &s.abandoned, &s.unpaused, &s.answered, &s.completed})
        for (const char* event : {"QueueCallerJoin", "QueueCallerAbandon", "QueueCallerLeave",
                                  "QueueMemberPause", "QueueMemberStatus"})
            for (const Block& block : named(*step, event))
                EXPECT_TRUE(recordedAs(block)) << ::testing::PrintToString(block);
    // The caller leaves its queue before its channel is told gone.
    ASSERT_FALSE(s.abandoned.empty());
    EXPECT_EQ(s.abandoned.front().front(), "Event: QueueCallerAbandon");
    for (const auto& [step, event] : {std::pair{&s.answered, "AgentCalled"},
                                      {&s.answered, "AgentConnect"},
                                      {&s.completed, "AgentComplete"}}) {
        ASSERT_EQ(named(*step, event).size(), 1u) << event;
        EXPECT_EQ(keys(named(*step, event)[0]), keys(named(recorded, event)[0])) << event;
    }
    EXPECT_EQ(field(named(s.answered, "AgentConnect")[0], "HoldTime"), "6");
    EXPECT_EQ(field(named(s.completed, "AgentComplete")[0], "TalkTime"), "6");
    EXPECT_EQ(field(named(s.completed, "AgentComplete")[0], "Reason"), "agent");
    EXPECT_EQ(s.talking, answers[2]);
    EXPECT_EQ(s.after, answers[3]);
}

// Up to 11 a caller's joining and leaving are call events, the rest agent events, each in its
// version's fields; from 12 on a user without the agent class hears of no queue at all.
TEST(QueueEventsTest, OlderGenerationsAndClasses)
{
    using Names = std::vector<std::string>;
    const Names older = words("Join Join QueueCallerAbandon Leave QueueMemberPaused AgentCalled "
                              "Leave AgentConnect QueueMemberStatus AgentComplete "
                              "QueueMemberStatus");
    const Names current = words("QueueCallerJoin QueueCallerJoin QueueCallerAbandon "
                                "QueueCallerLeave QueueMemberPause AgentCalled QueueCallerLeave "
                                "AgentConnect QueueMemberStatus AgentComplete QueueMemberStatus");
    struct Generation
    {
        const char* greeting;
        const char* classes;
        Names queueEvents;
    };
    for (const Generation& g :
         {Generation{"1.0", "call,agent", older}, Generation{"1.3", "agent,call", older},
          Generation{"13.0.0", "agent", current},
          Generation{"1.1", "call", words("Join Join Leave Leave")},
          Generation{"13.0.0", "call", {}}}) {
        SCOPED_TRACE(g.greeting + std::string(" ") + g.classes);
        RecordedPbx pbx(g.greeting, g.classes);
        const RecordedPbx::Steps s = pbx.live();
        Names seen;
        for (const auto* step : {&s.joined, &s.abandoned, &s.unpaused, &s.answered, &s.completed})
            for (const Block& block : *step) {
                const std::string name = valueOf(block.front());
                if (name.find("Queue") != std::string::npos || name.find("Agent") == 0 ||
                    name == "Join" || name == "Leave")
                    seen.push_back(name);
            }
        EXPECT_EQ(seen, g.queueEvents);
    }

    // The fields of 1.4's and 11's, as their sources write them.
    RecordedPbx pbx14("1.0", "call,agent");
    RecordedPbx pbx11("1.3", "call,agent");
    const RecordedPbx::Steps s14 = pbx14.live();
    const RecordedPbx::Steps s11 = pbx11.live();
    const auto shape = [](const std::vector<Block>& blocks, const std::string& event) {
        const std::vector<Block> found = named(blocks, event);
        return found.empty() ? std::vector<std::string>{} : keys(found[0]);
    };
    EXPECT_EQ(shape(s14.joined, "Join"),
              words("Event Privilege Channel CallerID CallerIDName Queue Position Count Uniqueid"));
    EXPECT_EQ(shape(s11.joined, "Join"),
              words("Event Privilege Channel CallerIDNum CallerIDName ConnectedLineNum "
                    "ConnectedLineName Queue Position Count Uniqueid"));
    EXPECT_EQ(shape(s14.answered, "AgentConnect"),
              words("Event Privilege Queue Uniqueid Channel Member MemberName Holdtime "
                    "BridgedChannel"));
    EXPECT_EQ(shape(s11.answered, "AgentConnect"),
              words("Event Privilege Queue Uniqueid Channel Member MemberName HoldTime "
                    "BridgedChannel RingTime"));
    EXPECT_EQ(shape(s11.answered, "QueueMemberStatus"),
              words("Event Privilege Queue Location MemberName StateInterface Membership Penalty "
                    "CallsTaken LastCall InCall Status Paused"));
    // The member's channel is the caller's other party, and its hangup ends the call.
    EXPECT_EQ(field(named(s14.answered, "Link")[0], "Channel1"),
              "Local/5012@queue-callers-00000001;2");
    EXPECT_EQ(pbx14.table.size(), 0u);
}
