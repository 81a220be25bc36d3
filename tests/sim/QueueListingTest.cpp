// QueueStatus and QueueSummary against recording 23 and the older generations' sources.
#include "QueueListing.h"

#include "Blocks.h"
#include "Forgeries.h"
#include "QueueTable.h"
#include "RecordedQueues.h"

#include <gtest/gtest.h>

using namespace pbxsim;
using namespace simtest;

namespace {

constexpr std::int64_t Loaded = 1796857114; // the recording's queues came up then
constexpr std::int64_t Joined = 1796857118; // and its callers joined them

class QueueListingTest : public ::testing::Test
{
protected:
    QueueListingTest()
    {
        for (Queue& q : recordedQueues(Loaded))
            queues.addQueue(std::move(q));
    }
    void joinRecordedCallers()
    {
        queues.join("sales", queueCaller(5001, 0, "1796857118", 1, Joined), Joined);
        queues.join("sales", queueCaller(5002, 1, "1796857118", 3, Joined), Joined);
        queues.join("support", queueCaller(5501, 2, "1796857118", 5, Joined), Joined);
    }
    std::string status(std::int64_t at, std::string_view id = {}, std::string_view queue = {},
                       EventStyle style = EventStyle::Current)
    {
        return queueStatusAnswer(queues.queues(), table, {style, at, id, queue});
    }

    std::int64_t now = Joined;
    CallTable table;
    CallGenerator generator{1};
    QueueTable queues{table, generator, [this] { return now; }};
};

} // namespace

// Byte for byte: empty, with three callers waiting, for one queue with an ActionID; the
// summaries; and the waiting callers' own channels, in Queue.
TEST_F(QueueListingTest, AnswersAsRecorded)
{
    const std::vector<std::string> recorded = answersIn(fixture("23_queue_status.recv.bin"));
    ASSERT_EQ(recorded.size(), 9u);
    EXPECT_EQ(status(Joined), recorded[1]);
    EXPECT_EQ(queueSummaryAnswer(queues.queues(), {EventStyle::Current, Joined}), recorded[2]);

    joinRecordedCallers();
    EXPECT_EQ(status(Joined + 2), recorded[3]);
    EXPECT_EQ(queueSummaryAnswer(queues.queues(), {EventStyle::Current, Joined + 3}), recorded[4]);
    EXPECT_EQ(status(Joined + 4, "q2", "SUPPORT"), recorded[5]);

    // Each caller's own channel, in CoreShowChannels and in Status.
    const auto blockOf = [](const std::string& text, const std::string& channel) {
        for (const Block& block : splitBlocks(text))
            if (field(block, "Channel") == channel)
                return block;
        return Block{};
    };
    for (const Call& caller : table.calls()) {
        const Block listed =
            blockOf(coreShowChannelsAnswer(table.calls(), true, Joined + 5, ""), caller.channel);
        EXPECT_EQ(listed, blockOf(recorded[6], caller.channel));
        EXPECT_EQ(blockOf(statusAnswer(table.calls(), Dialect::Modern, Joined + 6), caller.channel),
                  blockOf(recorded[7], caller.channel));
        EXPECT_EQ(field(listed, "Application"), "Queue");
    }
}

// Up to 11 the answer is a plain acknowledgement and the completion carries nothing but the
// ActionID; each version's blocks have the fields its source writes.
TEST_F(QueueListingTest, OlderGenerationsHaveTheirOwnFields)
{
    joinRecordedCallers();
    using Keys = std::vector<std::string>;
    const std::string head = "Event Queue ";
    const Keys params14 = words(head + "Max Calls Holdtime Completed Abandoned ServiceLevel "
                                       "ServicelevelPerf Weight ActionID");
    const Keys params18 = words(head + "Max Strategy Calls Holdtime TalkTime Completed Abandoned "
                                       "ServiceLevel ServicelevelPerf Weight ActionID");
    const Keys member14 =
        words(head + "Name Location Membership Penalty CallsTaken LastCall Status Paused ActionID");
    const Keys member11 = words(head + "Name Location StateInterface Membership Penalty "
                                       "CallsTaken LastCall IsInCall Status Paused ActionID");
    const Keys entry14 = words(head + "Position Channel CallerID CallerIDName Wait ActionID");
    const Keys entry18 = words(head + "Position Channel Uniqueid CallerIDNum CallerIDName "
                                      "ConnectedLineNum ConnectedLineName Wait ActionID");
    struct Generation
    {
        EventStyle style;
        Keys params, member, entry;
    };
    for (const Generation& g : {Generation{EventStyle::Pbx14, params14, member14, entry14},
                                Generation{EventStyle::Pbx16, params18, member14, entry18},
                                Generation{EventStyle::Pbx11, params18, member11, entry18}}) {
        const auto shape = shapeOf(status(Joined, "7", "support", g.style));
        ASSERT_EQ(shape.size(), 5u);
        EXPECT_EQ(shape[0], words("Response ActionID Message"));
        EXPECT_EQ(shape[1], g.params);
        EXPECT_EQ(shape[2], g.member);
        EXPECT_EQ(shape[3], g.entry);
        EXPECT_EQ(shape[4], words("Event ActionID"));
    }
}

// Every version sends a waiting caller's name as it is: one that holds an empty line cuts its
// entry, and the entry's rest closes a forged one for another caller.
TEST_F(QueueListingTest, AForgedNameCutsTheEntryInEveryGeneration)
{
    joinRecordedCallers();
    const Call victim = *table.find("Local/5501@queue-callers-00000002;2");
    for (const EventStyle style : {EventStyle::Pbx14, EventStyle::Pbx11, EventStyle::Current}) {
        Call forger = queueCaller(5009, 9 + static_cast<unsigned>(style), "1796857119",
                                  10 + static_cast<int>(style), Joined);
        forger.callerName = forgedQueueEntry(style, "support", victim);
        ASSERT_EQ(queues.join("support", forger, Joined), QueueTable::Result::Done);
        const std::vector<Block> blocks = splitBlocks(status(Joined + 1, "f", "support", style));
        std::vector<std::string> entries;
        for (const Block& block : blocks)
            if (block.front() == "Event: QueueEntry")
                entries.push_back(field(block, "Channel") + " " + block.back());
        EXPECT_EQ(entries, (std::vector<std::string>{victim.channel + " ActionID: f",
                                                     forger.channel + " Wait: 987654",
                                                     victim.channel + " ActionID: f"}))
            << static_cast<int>(style);
        table.hangup(forger.channel);
    }
}
