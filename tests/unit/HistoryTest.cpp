#include "History.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace std::chrono_literals;
using corvale::Ending;
using corvale::History;
using corvale::HistoryEntry;
using corvale::WallTime;

namespace {

class HistoryTest : public ::testing::Test, public History::Listener
{
protected:
    std::chrono::system_clock::time_point clock{std::chrono::hours(500000)};
    History history{[this] { return WallTime{clock, 3600}; }};
    std::vector<std::string> told;

    void SetUp() override { history.setListener(this); }

    void entryAboutToBeAdded() override { told.push_back("add " + std::to_string(history.size())); }
    void entryAdded() override {}
    void entriesAboutToBeRemoved(std::size_t count) override
    {
        told.push_back("remove " + std::to_string(count) + " of " + std::to_string(history.size()));
    }
    void entriesRemoved() override {}

    void add(const std::string& number, std::string_view call = {})
    {
        HistoryEntry entry;
        entry.fromNumber = number;
        entry.pbx = "hq";
        entry.cause = 16;
        history.add(entry, call);
    }
};

} // namespace

TEST_F(HistoryTest, KeepsTheLastTenThousandDroppingTheOldestFirst)
{
    for (std::size_t i = 0; i < History::MaxEntries; ++i)
        add(std::to_string(i));
    told.clear();
    add("new");
    EXPECT_EQ(history.size(), History::MaxEntries);
    EXPECT_EQ(history.at(0).fromNumber, "1");
    EXPECT_EQ(history.at(History::MaxEntries - 1).fromNumber, "new");
    EXPECT_EQ(history.at(0).ended.utcOffset, 3600);
    EXPECT_EQ(told, (std::vector<std::string>{"remove 1 of 10000", "add 9999"}));
}

TEST_F(HistoryTest, KeepsTheLastDayOnAddAndOnPrune)
{
    add("a");
    clock += 1h;
    add("b");
    clock += 23h; // "a" is a day old, not more
    history.prune();
    EXPECT_EQ(history.size(), 2u);
    clock += 1s;
    history.prune();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history.at(0).fromNumber, "b");
    clock += 2h;
    told.clear();
    add("c");
    EXPECT_EQ(told, (std::vector<std::string>{"remove 1 of 1", "add 0"}));
    history.prune();
    EXPECT_EQ(history.size(), 1u);
}

TEST_F(HistoryTest, WhatWasNotedOfACallIsInItsEntry)
{
    history.noteAnswered("hq", "u1", "Anna Agent", 18);
    history.noteAnswered("hq", "u2", "Bob", 5);
    history.noteEndedHere("hq", "u2"); // ended here after it was answered
    history.noteAbandoned("hq", "u3", "sales", 42, 2);
    history.noteEndedHere("hq", "u4");
    history.noteEndedHere("branch", "u5"); // the same Uniqueid on another PBX is another call
    EXPECT_EQ(history.noteCount(), 5u);
    for (const char* call : {"u1", "u2", "u3", "u4", "u5", "u1", ""})
        add(call, call);
    EXPECT_EQ(history.noteCount(), 1u);

    struct Expected
    {
        Ending ending;
        std::string member;
        std::string queue;
        std::int64_t hold;
        int position;
    };
    const Expected expected[] = {{Ending::Answered, "Anna Agent", "", 18, 0},
                                 {Ending::FromConsole, "Bob", "", 5, 0},
                                 {Ending::Abandoned, "", "sales", 42, 2},
                                 {Ending::FromConsole, "", "", 0, 0},
                                 {Ending::Hangup, "", "", 0, 0},
                                 {Ending::Hangup, "", "", 0, 0}, // taken by its first end
                                 {Ending::Hangup, "", "", 0, 0}};
    ASSERT_EQ(history.size(), std::size(expected));
    for (std::size_t i = 0; i < history.size(); ++i) {
        const HistoryEntry& entry = history.at(i);
        SCOPED_TRACE(i);
        EXPECT_EQ(entry.ending, expected[i].ending);
        EXPECT_EQ(entry.member, expected[i].member);
        EXPECT_EQ(entry.queue, expected[i].queue);
        EXPECT_EQ(entry.holdSeconds, expected[i].hold);
        EXPECT_EQ(entry.position, expected[i].position);
        EXPECT_EQ(entry.abandoned(), i == 2);
        EXPECT_EQ(entry.cause, 16);
    }
}

TEST_F(HistoryTest, NotesOfCallsNeverSeenToEndAreBounded)
{
    for (std::size_t i = 0; i <= 3 * History::MaxNotes; ++i) {
        history.noteEndedHere("hq", std::to_string(i));
        if (i % 2 == 0) // half of them end
            add("", std::to_string(i));
    }
    EXPECT_LE(history.noteCount(), History::MaxNotes);
    add("", std::to_string(3 * History::MaxNotes - 1)); // the newest note is still there
    EXPECT_EQ(history.at(history.size() - 1).ending, Ending::FromConsole);
}

TEST(WallTimeTest, OffsetIsTheZonesAtThatMoment)
{
    const char* saved = std::getenv("TZ");
    const std::string old = saved != nullptr ? saved : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    using std::chrono::sys_days;
    using namespace std::chrono;
    EXPECT_EQ(WallTime::local(sys_days{2026y / December / 10} + 13h).utcOffset, 3600);
    EXPECT_EQ(WallTime::local(sys_days{2026y / July / 1} + 13h).utcOffset, 7200);
    // One second either side of the change back to winter time, 01:00 UTC.
    EXPECT_EQ(WallTime::local(sys_days{2026y / October / 25} + 1h - 1s).utcOffset, 7200);
    EXPECT_EQ(WallTime::local(sys_days{2026y / October / 25} + 1h).utcOffset, 3600);
    if (saved != nullptr)
        setenv("TZ", old.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
