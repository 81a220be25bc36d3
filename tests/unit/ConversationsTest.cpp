#include "Conversations.h"

#include "PbxWords.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace corvale;

namespace {

using Groups = std::vector<std::vector<std::string>>;
using LegRows = std::vector<std::vector<const Leg*>>;

Groups groupsOf(const Conversations& conversations)
{
    Groups out;
    for (std::size_t row = 0; row < conversations.size(); ++row) {
        std::vector<std::string> legs;
        for (const Leg* leg : conversations.at(row).legs)
            legs.push_back(leg->call->channel);
        out.push_back(legs);
    }
    return out;
}

// Follows the announcements as a view does, into a copy that must always equal the real thing.
class Mirror : public Conversations::Listener
{
public:
    explicit Mirror(const Conversations& followed)
        : conversations(followed)
    {}

    LegRows rows;
    int structural = 0;

    Groups names() const
    {
        Groups out;
        for (const auto& legs : rows) {
            out.emplace_back();
            for (const Leg* leg : legs)
                out.back().push_back(leg->call->channel);
        }
        return out;
    }

    void conversationAboutToBeAdded(std::size_t row) override
    {
        EXPECT_EQ(row, rows.size());
        pendingRow = row;
    }
    void conversationAdded() override
    {
        const auto& legs = conversations.at(pendingRow).legs;
        rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(pendingRow),
                    std::vector<const Leg*>(legs.begin(), legs.end()));
        ++structural;
    }
    void conversationAboutToBeRemoved(std::size_t row) override
    {
        ASSERT_LT(row, rows.size());
        const auto& legs = conversations.at(row).legs;
        EXPECT_EQ(rows[row], std::vector<const Leg*>(legs.begin(), legs.end()));
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row));
        ++structural;
    }
    void conversationRemoved() override {}
    void legAboutToBeAdded(const Conversation& conversation, std::size_t position) override
    {
        pendingRow = conversations.rowOf(conversation);
        pendingPosition = position;
    }
    void legAdded() override
    {
        const Conversation& conversation = conversations.at(pendingRow);
        auto& legs = rows.at(pendingRow);
        legs.insert(legs.begin() + static_cast<std::ptrdiff_t>(pendingPosition),
                    conversation.legs[pendingPosition]);
        ++structural;
    }
    void legAboutToBeRemoved(const Conversation& conversation, std::size_t position) override
    {
        auto& legs = rows.at(conversations.rowOf(conversation));
        ASSERT_LT(position, legs.size());
        legs.erase(legs.begin() + static_cast<std::ptrdiff_t>(position));
        ++structural;
    }
    void legRemoved() override {}
    void conversationChanged(const Conversation&) override {}
    void legChanged(const Conversation& conversation, std::size_t position) override
    {
        EXPECT_LT(position, conversation.legs.size());
    }

private:
    const Conversations& conversations;
    std::size_t pendingRow = 0;
    std::size_t pendingPosition = 0;
};

class ConversationsTest : public ::testing::Test
{
protected:
    LiveCalls calls{std::locale::classic()};
    Conversations conversations{calls};
    Mirror mirror{conversations};

    void SetUp() override { conversations.setListener(&mirror); }
    void TearDown() override { EXPECT_EQ(mirror.names(), groupsOf(conversations)); }

    struct Keys
    {
        std::string linkedid;
        std::string bridgeId;
        std::string bridgedTo;
    };

    // A channel appears, already carrying what the client reads from its first event.
    void add(const std::string& channel, const Keys& keys = {})
    {
        calls.appeared(channel, fieldsOf(keys));
        conversations.flush();
        EXPECT_EQ(mirror.names(), groupsOf(conversations));
    }
    // A later event changes what the client knows of a channel.
    void change(const std::string& channel, const Keys& keys)
    {
        calls.described(channel, fieldsOf(keys));
        EXPECT_EQ(mirror.names(), groupsOf(conversations));
    }
    void hangUp(const std::string& channel)
    {
        calls.hungUp(channel);
        EXPECT_EQ(mirror.names(), groupsOf(conversations));
    }
    static CallFields fieldsOf(const Keys& keys)
    {
        CallFields fields;
        fields.linkedid = keys.linkedid;
        fields.bridgeId = keys.bridgeId;
        fields.bridgedTo = keys.bridgedTo;
        return fields;
    }
    // An event for a channel not yet taken in: the next flush() takes it in as it is then.
    void bridgeBeforeFlush(const std::string& channel, const std::string& bridgeId)
    {
        CallFields fields;
        fields.bridgeId = bridgeId;
        calls.described(channel, fields);
    }
};

TEST_F(ConversationsTest, CurrentPbxBridgedPairIsOneConversationRingingLegsByLinkedid)
{
    add("PJSIP/5552001-00000001", {"L1", "", ""});
    add("PJSIP/9000-00000003", {"L9", "", ""});
    add("PJSIP/2001-00000002", {"L1", "", ""});
    // Before the bridge, the linked id holds the ringing call together.
    EXPECT_EQ(groupsOf(conversations),
              (Groups{{"PJSIP/5552001-00000001", "PJSIP/2001-00000002"}, {"PJSIP/9000-00000003"}}));
    const std::uint64_t id = conversations.at(0).id;
    change("PJSIP/5552001-00000001", {"L1", "B1", ""});
    change("PJSIP/2001-00000002", {"L1", "B1", ""});
    EXPECT_EQ(groupsOf(conversations),
              (Groups{{"PJSIP/5552001-00000001", "PJSIP/2001-00000002"}, {"PJSIP/9000-00000003"}}));
    EXPECT_EQ(conversations.at(0).id, id) << "the call keeps its row while it is bridged";
}

TEST_F(ConversationsTest, OlderPbxChannelsNamingEachOtherAreOneConversation)
{
    add("SIP/5552001-0a", {});
    add("SIP/2001-0b", {});
    change("SIP/5552001-0a", {"", "", "SIP/2001-0b"});
    EXPECT_EQ(conversations.size(), 2u) << "one side naming the other is not yet a link";
    change("SIP/2001-0b", {"", "", "SIP/5552001-0a"});
    EXPECT_EQ(groupsOf(conversations), (Groups{{"SIP/5552001-0a", "SIP/2001-0b"}}));
    // Unlinked: each goes its own way again; the older keeps the row.
    change("SIP/2001-0b", {"", "", ""});
    EXPECT_EQ(groupsOf(conversations), (Groups{{"SIP/5552001-0a"}, {"SIP/2001-0b"}}));
}

TEST_F(ConversationsTest, FourLegsThroughLocalHalvesAndSplitWhenTheLocalChannelGoes)
{
    add("PJSIP/5552001-01", {"L1", "B1", ""});
    add("Local/2001@agents-00000001;1", {"L1", "B1", ""});
    add("Local/2001@agents-00000001;2", {"L1", "B2", ""});
    add("PJSIP/2001-02", {"L1", "B2", ""});
    add("PJSIP/7000-03", {"L7", "B3", ""});
    EXPECT_EQ(groupsOf(conversations), (Groups{{"PJSIP/5552001-01", "Local/2001@agents-00000001;1",
                                                "Local/2001@agents-00000001;2", "PJSIP/2001-02"},
                                               {"PJSIP/7000-03"}}));
    // A bridged leg with the same linked id elsewhere (after a transfer) stays apart.
    add("PJSIP/3000-04", {"L1", "B4", ""});
    EXPECT_EQ(conversations.size(), 3u);

    // The Local channel is optimised away: the halves go and the two bridges are two calls
    // until the PBX puts caller and agent in one bridge.
    hangUp("Local/2001@agents-00000001;1");
    EXPECT_EQ(groupsOf(conversations), (Groups{{"PJSIP/5552001-01"},
                                               {"PJSIP/7000-03"},
                                               {"PJSIP/3000-04"},
                                               {"Local/2001@agents-00000001;2", "PJSIP/2001-02"}}));
    hangUp("Local/2001@agents-00000001;2");
    EXPECT_EQ(
        groupsOf(conversations),
        (Groups{{"PJSIP/5552001-01"}, {"PJSIP/7000-03"}, {"PJSIP/3000-04"}, {"PJSIP/2001-02"}}));
    change("PJSIP/2001-02", {"L1", "B1", ""});
    EXPECT_EQ(
        groupsOf(conversations),
        (Groups{{"PJSIP/5552001-01", "PJSIP/2001-02"}, {"PJSIP/7000-03"}, {"PJSIP/3000-04"}}));
}

TEST_F(ConversationsTest, LegsLeavingAndRenamedLocalHalves)
{
    add("Local/100@default-a1b2,1", {});
    add("Local/100@default-a1b2,2", {});
    EXPECT_EQ(conversations.size(), 1u) << "PBX 1.4 names the halves with a comma";
    hangUp("Local/100@default-a1b2,1");
    EXPECT_EQ(groupsOf(conversations), (Groups{{"Local/100@default-a1b2,2"}}));
    hangUp("Local/100@default-a1b2,2");
    EXPECT_EQ(conversations.size(), 0u);
    EXPECT_EQ(conversations.legCount(), 0u);

    add("Local/5@x-0001;1", {});
    add("SIP/5-1", {});
    calls.renamed("SIP/5-1", "Local/5@x-0001;2");
    EXPECT_EQ(groupsOf(conversations), (Groups{{"Local/5@x-0001;1", "Local/5@x-0001;2"}}));
    EXPECT_EQ(conversations.conversationOf("Local/5@x-0001;2"), &conversations.at(0));
    EXPECT_EQ(conversations.conversationOf("SIP/5-1"), nullptr);
}

TEST_F(ConversationsTest, ListingsRemovingSeveralRowsAndRowsNotYetTakenIn)
{
    for (const char* channel : {"A-1", "B-1", "C-1", "D-1"})
        calls.appeared(channel, {});
    bridgeBeforeFlush("B-1", "X");
    bridgeBeforeFlush("D-1", "X");
    conversations.flush();
    EXPECT_EQ(groupsOf(conversations), (Groups{{"A-1"}, {"B-1", "D-1"}, {"C-1"}}));
    calls.appeared("E-1", {}); // not taken in yet
    calls.listingStarted();
    calls.listedCall("A-1", "", "", "", "1");
    calls.listingComplete(true);
    EXPECT_EQ(groupsOf(conversations), (Groups{{"A-1"}}));
    conversations.flush();
    EXPECT_EQ(conversations.legCount(), 1u);
}

TEST_F(ConversationsTest, LegsArrivingTogetherMakeOneConversationAtOnce)
{
    for (const char* channel : {"PJSIP/1-a", "Local/7@q-1;1", "Local/7@q-1;2", "PJSIP/7-b"})
        calls.appeared(channel, {});
    bridgeBeforeFlush("PJSIP/1-a", "X");
    bridgeBeforeFlush("Local/7@q-1;1", "X");
    bridgeBeforeFlush("Local/7@q-1;2", "Y");
    bridgeBeforeFlush("PJSIP/7-b", "Y");
    conversations.flush();
    EXPECT_EQ(groupsOf(conversations),
              (Groups{{"PJSIP/1-a", "Local/7@q-1;1", "Local/7@q-1;2", "PJSIP/7-b"}}));
    // One row inserted with its legs, not a row that then grows leg by leg (which would move a
    // sorted view's row four times).
    EXPECT_EQ(mirror.structural, 1);
}

// Random churn of bridges, linked ids and hangups: after every step the grouping equals one
// computed from scratch, and the announcements have kept a view's copy equal to it.
TEST_F(ConversationsTest, ChurnMatchesGroupingFromScratch)
{
    std::mt19937 random(7);
    std::vector<std::string> up;
    int serial = 0;
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    for (int step = 0; step < 1500; ++step) {
        const int what = pick(10);
        if (up.size() < 4 || (what < 3 && up.size() < 30)) {
            const bool local = pick(4) == 0;
            const std::string base =
                "Local/" + std::to_string(pick(6)) + "@c-" + std::to_string(serial++);
            const std::string name = local ? base + ";1" : "PJSIP/" + std::to_string(serial++);
            add(name,
                {"L" + std::to_string(pick(8)), pick(2) ? "B" + std::to_string(pick(8)) : "", ""});
            up.push_back(name);
            if (local) {
                add(base + ";2", {"L" + std::to_string(pick(8)), "", ""});
                up.push_back(base + ";2");
            }
        } else if (what < 6) {
            const std::size_t i = static_cast<std::size_t>(pick(static_cast<int>(up.size())));
            hangUp(up[i]);
            up.erase(up.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            const std::string& name =
                up[static_cast<std::size_t>(pick(static_cast<int>(up.size())))];
            const std::string& other =
                up[static_cast<std::size_t>(pick(static_cast<int>(up.size())))];
            change(name, {"L" + std::to_string(pick(8)),
                          pick(2) ? "B" + std::to_string(pick(8)) : "", pick(3) == 0 ? other : ""});
        }
        if (HasFailure())
            return;

        // From scratch: union-find over every pair.
        const std::size_t n = calls.size();
        std::vector<std::size_t> parent(n);
        for (std::size_t i = 0; i < n; ++i)
            parent[i] = i;
        const auto root = [&](std::size_t i) {
            while (parent[i] != i)
                i = parent[i] = parent[parent[i]];
            return i;
        };
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                const LiveCall& a = calls.at(i);
                const LiveCall& b = calls.at(j);
                const bool aBridged = !a.bridgeId.empty() || !a.bridgedTo.empty();
                const bool bBridged = !b.bridgeId.empty() || !b.bridgedTo.empty();
                const auto halfA = localChannelOf(a.channel);
                const bool joined =
                    (!a.bridgeId.empty() && a.bridgeId == b.bridgeId) ||
                    (!halfA.empty() && halfA == localChannelOf(b.channel)) ||
                    (a.bridgedTo == b.channel && b.bridgedTo == a.channel) ||
                    (!a.linkedid.empty() && a.linkedid == b.linkedid && (!aBridged || !bBridged));
                if (joined)
                    parent[root(i)] = root(j);
            }
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = i + 1; j < n; ++j) {
                const bool together = conversations.conversationOf(calls.at(i).channel) ==
                                      conversations.conversationOf(calls.at(j).channel);
                ASSERT_EQ(together, root(i) == root(j))
                    << "step " << step << ": " << calls.at(i).channel << " and "
                    << calls.at(j).channel;
            }
        for (std::size_t row = 0; row < conversations.size(); ++row) {
            const auto& legs = conversations.at(row).legs;
            ASSERT_FALSE(legs.empty());
            for (std::size_t k = 1; k < legs.size(); ++k) {
                ASSERT_LT(legs[k - 1]->call->order, legs[k]->call->order);
            }
            if (row > 0) {
                ASSERT_LT(conversations.at(row - 1).id, conversations.at(row).id);
            }
        }
    }
}

} // namespace
