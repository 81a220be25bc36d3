#include "CallTable.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace pbxsim;

namespace {

constexpr std::int64_t Now = 1796751512;

class Recorder : public CallTable::Listener
{
public:
    std::vector<std::string> seen; // "<kind> <channel>"
    void callChanged(const CallChange& change) override
    {
        seen.push_back(std::to_string(static_cast<int>(change.kind)) + " " + change.call.channel);
    }
};

std::vector<std::string> channelsOf(const CallTable& table)
{
    std::vector<std::string> channels;
    for (const Call& call : table.calls())
        channels.push_back(call.channel);
    return channels;
}

} // namespace

// Thousands of calls start and end in any order; the table keeps the rest in the order they
// started and finds each by channel or unique id, however often its holes were closed.
TEST(CallTableTest, CallsComeAndGoAndTheRestKeepTheirOrder)
{
    CallGenerator generator(5);
    CallTable table;
    Recorder recorder;
    table.subscribe(&recorder);
    std::vector<std::string> expected;
    Rng rng(9);
    std::size_t started = 0, ended = 0;
    for (int round = 0; round < 4000; ++round) {
        if (rng.below(3) != 0 || table.size() == 0) {
            Call call = generator.next(Now, true);
            expected.push_back(call.channel);
            ASSERT_TRUE(table.start(std::move(call)));
            ++started;
        } else {
            const std::string channel = table.pick(rng.next())->channel;
            ASSERT_TRUE(table.hangup(channel));
            expected.erase(std::find(expected.begin(), expected.end(), channel));
            ++ended;
        }
        if (round % 997 == 0) {
            ASSERT_EQ(channelsOf(table), expected);
        }
    }
    EXPECT_EQ(channelsOf(table), expected);
    EXPECT_EQ(table.size(), expected.size());
    EXPECT_EQ(recorder.seen.size(), started + ended);
    for (const Call& call : table.calls()) {
        ASSERT_EQ(table.find(call.uniqueid), &call);
        ASSERT_EQ(table.find(call.channel), &call);
    }
    EXPECT_FALSE(table.start(table.calls().front())) << "a channel name is never taken twice";
    table.unsubscribe(&recorder);
    table.hangup(expected.back());
    EXPECT_EQ(recorder.seen.size(), started + ended);
}

TEST(CallTableTest, RenameNeedsAFreeName)
{
    CallTable table(generateCalls(2, 1, Now));
    const std::string first = table.calls()[0].channel;
    const std::string second = table.calls()[1].channel;
    EXPECT_FALSE(table.rename(first, second));
    EXPECT_FALSE(table.rename("SIP/none-0", "SIP/new-1"));
    std::string shouted = first;
    std::transform(shouted.begin(), shouted.end(), shouted.begin(), ::toupper);
    EXPECT_TRUE(table.rename(shouted, "SIP/new-1"));
    EXPECT_EQ(channelsOf(table), (std::vector<std::string>{"SIP/new-1", second}));
    EXPECT_EQ(table.find(first), nullptr);
}

TEST(CallTableTest, MasqueradeLeavesTheCloneNameWithTheRightUniqueid)
{
    for (const bool swap : {false, true}) {
        CallTable table(generateCalls(3, 1, Now));
        const Call original = table.calls()[0];
        const Call clone = table.calls()[2];
        ASSERT_TRUE(table.masquerade(original.channel, clone.channel, swap));
        ASSERT_EQ(table.size(), 2u);
        const Call* survivor = table.find(clone.channel);
        ASSERT_NE(survivor, nullptr);
        EXPECT_EQ(table.find(original.channel), nullptr);
        // Up to 11 the survivor carries the original's unique id; since 12 it keeps its own.
        const std::string kept = swap ? clone.uniqueid : original.uniqueid;
        EXPECT_EQ(survivor->uniqueid, kept);
        EXPECT_EQ(table.find(kept), survivor);
        EXPECT_EQ(table.find(swap ? original.uniqueid : clone.uniqueid), nullptr);
        EXPECT_EQ(survivor->callerName, clone.callerName);
        EXPECT_EQ(survivor->extension, original.extension);
        EXPECT_FALSE(table.masquerade(clone.channel, clone.channel, swap));
    }
}

TEST(CallTableTest, ABridgeEndsWithEitherSideAndFollowsARename)
{
    CallTable table(generateCalls(4, 3, 1000));
    const std::string a = table.calls()[0].channel;
    const std::string b = table.calls()[1].channel;
    const std::string c = table.calls()[2].channel;
    EXPECT_FALSE(table.bridge(a, a, "x"));
    EXPECT_FALSE(table.unbridge(a));
    ASSERT_TRUE(table.bridge(a, b, "x"));
    EXPECT_FALSE(table.bridge(a, c, "y"));
    EXPECT_FALSE(table.bridge(c, b, "y"));
    ASSERT_TRUE(table.rename(b, "SIP/renamed-00000001"));
    EXPECT_EQ(table.find(a)->bridgedTo, "SIP/renamed-00000001");

    // Unbridged, they go on apart, still one conversation.
    ASSERT_TRUE(table.unbridge("SIP/renamed-00000001"));
    EXPECT_EQ(table.find(a)->bridgedTo + table.find(a)->bridgeId, "");
    EXPECT_EQ(linkedidOf(*table.find(a)), linkedidOf(*table.find("SIP/renamed-00000001")));
    EXPECT_TRUE(table.hangup(a));
    EXPECT_EQ(table.size(), 3u);

    ASSERT_TRUE(table.bridge(c, "SIP/renamed-00000001", "z"));
    EXPECT_TRUE(table.hangup("SIP/renamed-00000001"));
    EXPECT_EQ(table.size(), 1u);
    EXPECT_EQ(table.find(c), nullptr);
}
