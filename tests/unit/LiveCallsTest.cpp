#include "LiveCalls.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace corvale;
using namespace std::chrono_literals;

namespace {

// Writes down each announcement with the rows as they stand at that moment, as a view sees them.
class Recorder : public LiveCalls::Listener
{
public:
    explicit Recorder(const LiveCalls& observed)
        : calls(observed)
    {}

    void callsAboutToBeRemoved(std::size_t first, std::size_t last) override
    {
        std::string line = "remove " + std::to_string(first) + "-" + std::to_string(last);
        for (std::size_t row = first; row <= last; ++row)
            line += " " + calls.at(row).channel;
        log.push_back(line);
        sizeBefore = calls.size();
        removing = last - first + 1;
    }
    void callsRemoved() override
    {
        EXPECT_EQ(calls.size(), sizeBefore - removing);
        log.push_back("removed");
    }
    void callChanged(std::size_t row) override
    {
        log.push_back("change " + std::to_string(row) + " " + calls.at(row).channel);
    }

    std::vector<std::string> take() { return std::exchange(log, {}); }

private:
    const LiveCalls& calls;
    std::vector<std::string> log;
    std::size_t sizeBefore = 0;
    std::size_t removing = 0;
};

class LiveCallsTest : public ::testing::Test
{
protected:
    std::chrono::steady_clock::time_point clock{};
    LiveCalls calls{std::locale::classic(), [this] { return clock; }};
    Recorder recorder{calls};

    void SetUp() override { calls.setListener(&recorder); }

    std::vector<std::string> entries() const
    {
        std::vector<std::string> out;
        for (std::size_t row = 0; row < calls.size(); ++row)
            out.push_back(calls.entry(row));
        return out;
    }

    void listing(std::initializer_list<std::vector<std::string_view>> records, bool trusted = true)
    {
        calls.listingStarted();
        for (const auto& r : records)
            calls.listedCall(r[0], r[1], r[2], r[3], r[4]);
        calls.listingComplete(trusted);
    }
};

CallFields caller(std::string_view number, std::string_view name)
{
    return CallFields{number, name, std::nullopt};
}

} // namespace

TEST_F(LiveCallsTest, EventsAddChangeRenameAndRemoveInPlace)
{
    calls.appeared("SIP/1-a", CallFields{"<unknown>", "<unknown>", "100"});
    calls.appeared("SIP/2-b", CallFields{"", "", "200"});
    calls.appeared("SIP/3-c", {});
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             "SIP/1-a From: <unknown> <<unknown>> To: 100 Lasted: 0.00 minutes.",
                             "SIP/2-b From:  <> To: 200 Lasted: 0.00 minutes.",
                             "SIP/3-c From:  <> To:  Lasted: 0.00 minutes.",
                         }));
    // Additions are learnt from size(), not announced.
    EXPECT_TRUE(recorder.take().empty());

    calls.described("SIP/2-b", caller("555", "Bob"));
    calls.described("SIP/2-b", caller("555", "Bob")); // says nothing new
    calls.described("SIP/3-c", CallFields{std::nullopt, std::nullopt, "300"});
    calls.renamed("SIP/1-a", "SIP/1-a<MASQ>");
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"change 1 SIP/2-b", "change 2 SIP/3-c",
                                                         "change 0 SIP/1-a<MASQ>"}));

    calls.hungUp("SIP/2-b");
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"remove 1-1 SIP/2-b", "removed"}));
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             "SIP/1-a<MASQ> From: <unknown> <<unknown>> To: 100 Lasted: 0.00 "
                             "minutes.",
                             "SIP/3-c From:  <> To: 300 Lasted: 0.00 minutes.",
                         }));
    EXPECT_EQ(calls.rowOf("SIP/3-c"), 1u);
    EXPECT_FALSE(calls.rowOf("SIP/1-a"));
    EXPECT_FALSE(calls.rowOf("SIP/2-b"));

    // A new channel comes at the end even when it sorts before the others.
    calls.appeared("AAA/0", {});
    EXPECT_EQ(calls.rowOf("AAA/0"), 2u);
}

TEST_F(LiveCallsTest, UnknownRepeatedAndLateEventsLeaveTheRightCalls)
{
    // Nothing known: a hangup or a rename of an unknown name is harmless...
    calls.hungUp("SIP/none");
    calls.renamed("", "SIP/x");
    calls.renamed("SIP/x", "");
    EXPECT_EQ(calls.size(), 0u);
    // ...but an event that describes a channel says it exists.
    calls.described("SIP/seen-late", caller("7", "Late"));
    calls.renamed("SIP/unseen", "SIP/renamed");
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             "SIP/seen-late From: 7 <Late> To:  Lasted: 0.00 minutes.",
                             "SIP/renamed From:  <> To:  Lasted: 0.00 minutes.",
                         }));

    // Repeats change nothing.
    calls.appeared("SIP/seen-late", caller("7", "Late"));
    calls.hungUp("SIP/renamed");
    calls.hungUp("SIP/renamed");
    EXPECT_EQ(calls.size(), 1u);

    // Events that arrive after a channel's hangup do not bring it back; a new Newchannel for
    // the same name is a new channel.
    calls.described("SIP/renamed", caller("1", "Ghost"));
    calls.renamed("SIP/renamed", "SIP/ghost");
    calls.described("SIP/none", {});
    EXPECT_EQ(calls.size(), 1u);
    calls.appeared("SIP/renamed", {});
    EXPECT_EQ(calls.rowOf("SIP/renamed"), 1u);

    // A name renamed away is gone too; renaming onto a name still listed replaces that call.
    calls.appeared("SIP/a", caller("1", "A"));
    calls.renamed("SIP/a", "SIP/seen-late");
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             "SIP/renamed From:  <> To:  Lasted: 0.00 minutes.",
                             "SIP/seen-late From: 1 <A> To:  Lasted: 0.00 minutes.",
                         }));
    calls.described("SIP/a", caller("2", "Stale"));
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(LiveCallsTest, RemembersABoundedNumberOfHangups)
{
    for (std::size_t i = 0; i <= LiveCalls::RememberedHangups; ++i)
        calls.hungUp("SIP/" + std::to_string(i));
    // The oldest is forgotten, the newest still blocks a late event.
    calls.described("SIP/0", {});
    calls.described("SIP/" + std::to_string(LiveCalls::RememberedHangups), {});
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.at(0).channel, "SIP/0");
}

TEST_F(LiveCallsTest, AListingIsTheTruthAndCallsKeepTheirPlaces)
{
    EXPECT_FALSE(calls.listed());
    calls.appeared("A", caller("1", "a"));
    calls.appeared("B", caller("2", "b"));
    calls.appeared("C", caller("3", "c"));
    calls.appeared("D", caller("4", "d"));
    calls.appeared("E", caller("5", "e"));
    recorder.take();

    // B and D kept, D changed; A, C and E gone, announced as runs from the end; F new.
    clock += 5s;
    listing({{"D", "44", "dd", "400", "90"}, {"F", "6", "f", "600", ""}, {"B", "2", "b", "", "x"}});
    EXPECT_TRUE(calls.listed());
    EXPECT_EQ(recorder.take(),
              (std::vector<std::string>{"change 3 D", "change 1 B", "remove 4-4 E", "removed",
                                        "remove 2-2 C", "removed", "remove 0-0 A", "removed"}));
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             "B From: 2 <b> To:  Lasted: Unknown minutes.",
                             "D From: 44 <dd> To: 400 Lasted: 1.50 minutes.",
                             "F From: 6 <f> To: 600 Lasted: Unknown minutes.",
                         }));

    // Neighbouring calls that all went are one announcement; a duration now known changes B.
    listing({{"B", "2", "b", "", "1"}});
    EXPECT_EQ(recorder.take(),
              (std::vector<std::string>{"change 0 B", "remove 1-2 D F", "removed"}));

    // A listing that may have lost records removes nothing; an empty one removes everything.
    listing({}, false);
    EXPECT_EQ(calls.size(), 1u);
    listing({});
    EXPECT_EQ(calls.size(), 0u);
    EXPECT_EQ(calls.completedListings(), 4u);
}

TEST_F(LiveCallsTest, EventsDuringAListingCountAsNamed)
{
    calls.appeared("Old", {});
    calls.listingStarted();
    calls.listedCall("Listed", "1", "", "", "10");
    calls.appeared("New", {});
    calls.described("Old", {});
    EXPECT_TRUE(calls.listingOpen());
    calls.listingComplete(true);
    EXPECT_FALSE(calls.listingOpen());
    ASSERT_EQ(calls.size(), 3u);

    // Once it is over, what an event alone has seen is not named by the next listing.
    calls.appeared("Later", {});
    listing({{"New", "", "", "", "1"}, {"Old", "", "", "", "1"}});
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.at(0).channel, "Old");
    EXPECT_EQ(calls.at(1).channel, "New");
    // A channel the listing named is no longer "recently gone" for late events.
    calls.hungUp("Again");
    listing({{"Old", "", "", "", "1"}, {"New", "", "", "", "1"}, {"Again", "", "", "", "1"}});
    calls.hungUp("New");
    calls.described("Again", caller("9", "x"));
    EXPECT_EQ(calls.entry(1), "Again From: 9 <x> To:  Lasted: 0.02 minutes.");
}

TEST_F(LiveCallsTest, MinutesTickFromTheListingOrFromTheFirstEvent)
{
    listing({{"SIP/l", "1", "", "", "90"}, {"SIP/u", "2", "", "", ""}});
    calls.appeared("SIP/e", {});
    const auto minutesOf = [this](std::size_t row) {
        const std::string text = calls.entry(row);
        const std::size_t at = text.find("Lasted: ") + 8;
        return text.substr(at, text.find(' ', at) - at);
    };
    EXPECT_EQ(minutesOf(0), "1.50");
    EXPECT_EQ(minutesOf(2), "0.00");

    // Whole seconds only: 0.999 s later nothing has moved.
    clock += 999ms;
    EXPECT_EQ(minutesOf(0), "1.50");
    clock += 1ms;
    EXPECT_EQ(minutesOf(0), "1.52");
    EXPECT_EQ(minutesOf(2), "0.02");
    clock += 59s;
    EXPECT_EQ(minutesOf(0), "2.50");
    EXPECT_EQ(minutesOf(1), "Unknown");
    EXPECT_EQ(minutesOf(2), "1.00");

    // A new listing sets the count again, without a jump when the PBX agrees.
    listing(
        {{"SIP/l", "1", "", "", "150"}, {"SIP/u", "2", "", "", "30"}, {"SIP/e", "", "", "", "61"}});
    EXPECT_EQ(minutesOf(0), "2.50");
    EXPECT_EQ(minutesOf(1), "0.50");
    EXPECT_EQ(minutesOf(2), "1.02");

    // The same numbers under German conventions, as the window would show them.
    std::locale german;
    try {
        german = std::locale("de_DE.UTF-8");
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "de_DE.UTF-8 is not installed (scripts/setup generates it)";
    }
    LiveCalls local(german, [this] { return clock; });
    local.listedCall("SIP/g", "", "", "", "3600000");
    clock += 60s;
    EXPECT_EQ(local.entry(0), "SIP/g From:  <> To:  Lasted: 60.001,00 minutes.");
}
