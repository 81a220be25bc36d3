#include "History.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace std::chrono_literals;
using corvale::History;
using corvale::WallTime;

namespace {

// A history on a clock of the test's own, an hour east of UTC, that notes what it tells.
class HistoryTest : public ::testing::Test, public History::Listener
{
protected:
    std::chrono::system_clock::time_point clock{500000h};
    History history{[this] { return WallTime{clock, 3600}; }};
    std::string told;

    void SetUp() override { history.setListener(this); }
    void entryAboutToBeAdded() override { told += "+" + std::to_string(history.size()); }
    void entryAdded() override {}
    void entriesAboutToBeRemoved(std::size_t n) override { told += "-" + std::to_string(n); }
    void entriesRemoved() override {}

    void add(const std::string& number, std::string_view call = {})
    {
        corvale::HistoryEntry entry;
        entry.fromNumber = number;
        entry.pbx = "hq";
        history.add(entry, call);
    }
    // How an entry ended: "ending member queue hold position".
    std::string ending(std::size_t i) const
    {
        const corvale::HistoryEntry& e = history.at(i);
        return std::to_string(static_cast<int>(e.ending)) + " " + e.member + " " + e.queue + " " +
               std::to_string(e.holdSeconds) + " " + std::to_string(e.position);
    }
};

} // namespace

TEST_F(HistoryTest, KeepsTheLastTenThousandAndTheLastDay)
{
    for (std::size_t i = 0; i <= History::MaxEntries; ++i)
        add(std::to_string(i));
    EXPECT_EQ(history.size(), History::MaxEntries);
    EXPECT_EQ(history.at(0).fromNumber, "1");
    EXPECT_EQ(history.at(0).ended.utcOffset, 3600);
    EXPECT_EQ(told.substr(told.size() - 7), "-1+9999"); // the oldest went before the newest came
    told.clear();
    clock += 1h;
    add("b");
    clock += 23h; // the first 10,000 are a day old, not more
    history.prune();
    EXPECT_EQ(history.size(), History::MaxEntries);
    clock += 1s;
    history.prune();
    EXPECT_EQ(history.size(), 1u);
    clock += 2h;
    add("c"); // on add too
    EXPECT_EQ(told, "-1+9999-9999-1+0");
}

TEST_F(HistoryTest, WhatWasNotedOfACallIsInItsEntry)
{
    history.noteAnswered("hq", "u1", "Anna Agent", 18);
    history.noteAnswered("hq", "u2", "Bob", 5);
    history.noteEndedHere("hq", "u2"); // ended here once answered: both are kept
    history.noteAbandoned("hq", "u3", "sales", 42, 2);
    history.noteEndedHere("hq", "u4");
    history.noteEndedHere("branch", "u5"); // the same Uniqueid on another PBX is another call
    for (const char* call : {"u1", "u2", "u3", "u4", "u5", "u1", ""})
        add(call, call);
    EXPECT_EQ(history.noteCount(), 1u);
    const char* const expected[] = {"1 Anna Agent  18 0",
                                    "2 Bob  5 0",
                                    "3  sales 42 2",
                                    "2   0 0",
                                    "0   0 0",
                                    "0   0 0",
                                    "0   0 0"};
    for (std::size_t i = 0; i < history.size(); ++i) {
        EXPECT_EQ(ending(i), expected[i]) << i;
        EXPECT_EQ(history.at(i).abandoned(), i == 2) << i;
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
    add("", std::to_string(3 * History::MaxNotes - 1)); // the newest is still there
    EXPECT_EQ(history.at(history.size() - 1).ending, corvale::Ending::FromConsole);
}

TEST(WallTimeTest, OffsetIsTheZonesAtThatMoment)
{
    const char* saved = std::getenv("TZ");
    const std::string old = saved != nullptr ? saved : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    using namespace std::chrono;
    const sys_days changeBack = 2026y / October / 25; // to winter time at 01:00 UTC
    EXPECT_EQ(WallTime::local(changeBack + 1h - 1s).utcOffset, 7200);
    EXPECT_EQ(WallTime::local(changeBack + 1h).utcOffset, 3600);
    saved != nullptr ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
    tzset();
}
