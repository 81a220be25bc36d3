// The manager client in live mode: the recorded lifecycles of a current PBX replayed block by
// block with the whole list checked after every change, the older generation's events as its
// source writes them, and the faults: lines that try to steer, bytes lost during a message.
#include "LiveCalls.h"
#include "ManagerClient.h"

#include "FakeWindow.h"
#include "FixtureFile.h"
#include "Wire.h"
#include "WireLines.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

using namespace corvale;

namespace {

std::string entry(std::string_view channel, std::string_view number, std::string_view name,
                  std::string_view exten, std::string_view minutes)
{
    return std::string(channel) + " From: " + std::string(number) + " <" + std::string(name) +
           "> To: " + std::string(exten) + " Lasted: " + std::string(minutes) + " minutes.";
}

// A change of the list: the event (and channel) of the block that made it, and the whole list
// after it.
struct Change
{
    std::string cause;
    std::vector<std::string> list;
    bool operator==(const Change&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Change& change)
{
    out << "\n  after " << change.cause << ":";
    for (const auto& line : change.list)
        out << "\n    " << line;
    return out;
}

// The expected story of a replay, told one change at a time.
class Story
{
public:
    std::vector<Change> changes;

    void add(std::string cause, std::string line)
    {
        list.push_back(std::move(line));
        changes.push_back({std::move(cause), list});
    }
    // Replaces the entry of the same channel.
    void set(std::string cause, std::string line)
    {
        const std::string channel = line.substr(0, line.find(' ') + 1);
        for (auto& shown : list) {
            if (shown.compare(0, channel.size(), channel) == 0)
                shown = std::move(line);
        }
        changes.push_back({std::move(cause), list});
    }
    void remove(std::string cause, const std::string& channel)
    {
        std::erase_if(list, [&](const std::string& shown) {
            return shown.compare(0, channel.size() + 1, channel + " ") == 0;
        });
        changes.push_back({std::move(cause), list});
    }

private:
    std::vector<std::string> list;
};

class LiveClientTest : public ::testing::Test
{
protected:
    FakeWindow window;
    std::chrono::steady_clock::time_point clock{}; // stands still unless a test moves it
    LiveCalls calls{std::locale::classic(), [this] { return clock; }};
    ManagerClient client{window, std::locale::classic()};

    void SetUp() override
    {
        window.secret = "secret";
        client.followCalls(&calls);
    }

    void receive(std::initializer_list<std::string_view> lines) { client.dataArrival(wire(lines)); }

    std::vector<std::string> entries() const
    {
        std::vector<std::string> out;
        for (std::size_t row = 0; row < calls.size(); ++row)
            out.push_back(calls.entry(row));
        return out;
    }

    // Feeds the recording one block (up to an empty line) at a time and writes down every
    // change of the list with the block that made it.
    std::vector<Change> replay(const std::string& recording)
    {
        std::vector<Change> seen;
        std::vector<std::string> before;
        std::size_t at = 0;
        while (at < recording.size()) {
            std::size_t end = recording.find("\r\n\r\n", at);
            end = end == std::string::npos ? recording.size() : end + 4;
            const std::string_view block = std::string_view(recording).substr(at, end - at);
            client.dataArrival(block);
            at = end;
            std::vector<std::string> now = entries();
            if (now != before) {
                seen.push_back({causeOf(block), now});
                before = std::move(now);
            }
        }
        return seen;
    }

    static std::string causeOf(std::string_view block)
    {
        const auto value = [&](std::string_view key) {
            const std::size_t at = block.find(key);
            if (at == std::string_view::npos)
                return std::string();
            const std::size_t from = at + key.size();
            return std::string(block.substr(from, block.find("\r\n", from) - from));
        };
        std::string cause = value("Event: ");
        const std::string channel = value("\r\nChannel: ");
        return channel.empty() ? cause : cause + " " + channel;
    }
};

const std::string U = "<unknown>";

// The calls of recordings 15 and 16, by the numbers the PBX gave their Local channels.
struct LifecycleIds
{
    std::string c2001, c2002, c3001, c3002, c3004;
};

std::string leg(std::string_view exten, std::string_view context, std::string_view id, int n)
{
    return "Local/" + std::string(exten) + "@" + std::string(context) + "-" + std::string(id) +
           ";" + std::to_string(n);
}

// What both recordings show up to their second listing: 2001 listed at the start; 2002, 3001,
// 3002 and 3004 set up while the list follows; 3001 changes its caller; 3004, 2002 and 2001 end.
// With `newexten` (recording 16, all events), 3002 moving on to 3003 shows when it happens.
Story lifecycle(const LifecycleIds& id, bool newexten)
{
    Story s;
    const std::string a1 = leg("2001", "calls", id.c2001, 1);
    const std::string a2 = leg("2001", "calls", id.c2001, 2);
    s.add("Status " + a1, entry(a1, "8002001", "Agent 2001", "2001", "0.02"));
    s.add("Status " + a2, entry(a2, "5552001", "Carol Smith", "2001", "0.02"));

    // Each call: two Newchannels, then the caller's number and name on ;2 and the agent's on ;1,
    // one NewCallerid at a time. Newstate and Newexten repeat what is known and change nothing.
    const auto setUp = [&](std::string_view exten, std::string_view context, std::string_view n,
                           std::string_view name) {
        const std::string one = leg(exten, context, n, 1);
        const std::string two = leg(exten, context, n, 2);
        const std::string caller = "555" + std::string(exten);
        const std::string agent = "800" + std::string(exten);
        s.add("Newchannel " + one, entry(one, U, U, exten, "0.00"));
        s.add("Newchannel " + two, entry(two, U, U, exten, "0.00"));
        s.set("NewCallerid " + two, entry(two, caller, U, exten, "0.00"));
        s.set("NewCallerid " + two, entry(two, caller, name, exten, "0.00"));
        s.set("NewCallerid " + one, entry(one, agent, U, exten, "0.00"));
        s.set("NewCallerid " + one,
              entry(one, agent, "Agent " + std::string(exten), exten, "0.00"));
    };
    setUp("2002", "calls", id.c2002, "Dave Jones");
    setUp("3001", "changes", id.c3001, "Before Change");
    setUp("3002", "changes", id.c3002, "Moving Caller");
    setUp("3004", "changes", id.c3004, "Short Call");

    const std::string changer = leg("3001", "changes", id.c3001, 2);
    s.set("NewCallerid " + changer, entry(changer, "5553001", "After Change", "3001", "0.00"));
    s.set("NewCallerid " + changer, entry(changer, "5553999", "After Change", "3001", "0.00"));
    if (newexten) {
        const std::string mover = leg("3002", "changes", id.c3002, 2);
        s.set("Newexten " + mover, entry(mover, "5553002", "Moving Caller", "3003", "0.00"));
    }
    for (const auto& [exten, context, n, legs] :
         {std::tuple{"3004", "changes", id.c3004, std::pair{2, 1}},
          std::tuple{"2002", "calls", id.c2002, std::pair{2, 1}},
          std::tuple{"2001", "calls", id.c2001, std::pair{1, 2}}}) {
        s.remove("Hangup " + leg(exten, context, n, legs.first),
                 leg(exten, context, n, legs.first));
        s.remove("Hangup " + leg(exten, context, n, legs.second),
                 leg(exten, context, n, legs.second));
    }
    return s;
}

} // namespace

TEST_F(LiveClientTest, RecordedLifecycleWithCallEvents)
{
    const LifecycleIds id{"0000001b", "0000001c", "0000001d", "0000001e", "0000001f"};
    Story s = lifecycle(id, false);
    // Events: call brings no Newexten: the second listing shows 3002 on 3003, in place, and
    // counts the minutes on from its Seconds.
    const std::string b1 = leg("3001", "changes", id.c3001, 1);
    const std::string b2 = leg("3001", "changes", id.c3001, 2);
    const std::string c1 = leg("3002", "changes", id.c3002, 1);
    const std::string c2 = leg("3002", "changes", id.c3002, 2);
    s.set("Status " + b2, entry(b2, "5553999", "After Change", "3001", "0.13"));
    s.set("Status " + b1, entry(b1, "8003001", "Agent 3001", "3001", "0.13"));
    s.set("Status " + c1, entry(c1, "8003002", "Agent 3002", "3002", "0.12"));
    s.set("Status " + c2, entry(c2, "5553002", "Moving Caller", "3003", "0.12"));

    EXPECT_EQ(replay(fixture("15_events_call_lifecycle.recv.bin")), s.changes);
    EXPECT_EQ(calls.completedListings(), 2u);
    // The login asks for call events; everything else goes out as before.
    const std::string sent = fixture("15_events_call_lifecycle.sent.bin");
    ASSERT_EQ(window.sent.size(), 2u);
    EXPECT_EQ(window.sent[0] + anyActionId(window.sent[1]),
              withListingIds(sent.substr(0, sent.find("Action: Hangup"))));
    EXPECT_EQ(window.sent[0],
              "Action: login\r\nUsername: admin\r\nSecret: secret\r\nEvents: call\r\n\r\n");
    EXPECT_TRUE(window.calls.empty());
    EXPECT_EQ(window.ends, 0);
}

TEST_F(LiveClientTest, RecordedLifecycleWithAllEvents)
{
    const LifecycleIds id{"00000020", "00000021", "00000022", "00000023", "00000024"};
    Story s = lifecycle(id, true);
    const std::string b1 = leg("3001", "changes", id.c3001, 1);
    const std::string b2 = leg("3001", "changes", id.c3001, 2);
    const std::string c1 = leg("3002", "changes", id.c3002, 1);
    const std::string c2 = leg("3002", "changes", id.c3002, 2);
    s.set("Status " + c1, entry(c1, "8003002", "Agent 3002", "3002", "0.12"));
    s.set("Status " + c2, entry(c2, "5553002", "Moving Caller", "3003", "0.12"));
    s.set("Status " + b2, entry(b2, "5553999", "After Change", "3001", "0.13"));
    s.set("Status " + b1, entry(b1, "8003001", "Agent 3001", "3001", "0.13"));

    EXPECT_EQ(replay(fixture("16_events_on_lifecycle.recv.bin")), s.changes);
    EXPECT_EQ(window.ends, 0);
}

TEST_F(LiveClientTest, ChunkingDoesNotChangeTheList)
{
    const std::string recording = fixture("16_events_on_lifecycle.recv.bin");
    client.dataArrival(recording);
    const std::vector<std::string> whole = entries();
    ASSERT_EQ(whole.size(), 4u);

    std::mt19937 random(11);
    for (const std::size_t maxChunk : {1u, 7u, 300u, 5000u}) {
        FakeWindow other;
        LiveCalls otherCalls(std::locale::classic(), [this] { return clock; });
        ManagerClient chunked(other, std::locale::classic());
        chunked.followCalls(&otherCalls);
        std::uniform_int_distribution<std::size_t> size(1, maxChunk);
        for (std::size_t pos = 0; pos < recording.size();) {
            const std::size_t n = std::min(size(random), recording.size() - pos);
            chunked.dataArrival(std::string_view(recording).substr(pos, n));
            pos += n;
        }
        std::vector<std::string> list;
        for (std::size_t row = 0; row < otherCalls.size(); ++row)
            list.push_back(otherCalls.entry(row));
        EXPECT_EQ(list, whole) << maxChunk;
    }
}

TEST_F(LiveClientTest, AListingGivesTheEntriesOfTheListMode)
{
    // The same records, shown with no time gone by, read exactly as the list mode shows them.
    const std::string recording = fixture("05_status_calls.recv.bin");
    FakeWindow listMode;
    ManagerClient plain(listMode, std::locale::classic());
    plain.dataArrival(recording);
    client.dataArrival(recording);
    EXPECT_EQ(entries(), listMode.calls);
    EXPECT_EQ(listMode.calls.size(), 12u);

    // The escaped name of a current PBX is undone in events too.
    receive({"Event: NewCallerid", "Channel: Local/101@calls-00000000;2",
             "CallerIDName: O\\'Neil \\\"Bob\\\" tab\\tend", ""});
    EXPECT_EQ(calls.entry(1), entry("Local/101@calls-00000000;2", "5550101",
                                    "O'Neil \"Bob\" tab end", "101", "0.03"));
}

TEST_F(LiveClientTest, ListModeIgnoresEventsAsBefore)
{
    FakeWindow listMode;
    ManagerClient plain(listMode, std::locale::classic());
    plain.dataArrival(fixture("15_events_call_lifecycle.recv.bin"));
    // Only the two listings make entries: 2 calls, then 4.
    ASSERT_EQ(listMode.calls.size(), 6u);
    EXPECT_EQ(listMode.calls[2],
              entry("Local/3001@changes-0000001d;2", "5553999", "After Change", "3001", "0.13"));
    EXPECT_EQ(listMode.sent.front(),
              "Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: Off\r\n\r\n");
}

TEST_F(LiveClientTest, OlderGenerationEventsIncludingAMasquerade)
{
    // Manager protocol 1.0 (PBX 1.4): Newcallerid in lower case, CallerID for the number,
    // Rename with Oldname, caller names not escaped, Newexten in the call class.
    client.dataArrival("Asterisk Call Manager/1.0\r\n");
    receive({"Response: Success", "Message: Authentication accepted", "",
             "Response: Success", "Message: Channel status will follow", "",
             "Event: Status", "Privilege: Call", "Channel: SIP/100-0a1b2c3d", "CallerID: 100",
             "CallerIDNum: 100", "CallerIDName: O\\'Neil", "Account: ", "State: Up",
             "Context: default", "Extension: 200", "Priority: 1", "Seconds: 30",
             "Link: SIP/200-0b0b0b0b", "Uniqueid: 1700000000.1", "",
             "Event: StatusComplete", ""});
    const std::string alice = "SIP/100-0a1b2c3d";
    EXPECT_EQ(entries(),
              (std::vector<std::string>{entry(alice, "100", "O\\'Neil", "200", "0.50")}));

    // A caller calls 300; the PBX sends the Local pair of its queue.
    const std::string local1 = "Local/300@queue-4f2a,1";
    const std::string local2 = "Local/300@queue-4f2a,2";
    const std::string agent = "SIP/300-0c0c0c0c";
    receive({"Event: Newchannel", "Privilege: call,all", "Channel: " + local1, "State: Down",
             "CallerIDNum: <unknown>", "CallerIDName: <unknown>", "Uniqueid: 1700000001.2", "",
             "Event: Newchannel", "Privilege: call,all", "Channel: " + local2, "State: Down",
             "CallerIDNum: <unknown>", "CallerIDName: <unknown>", "Uniqueid: 1700000001.3", "",
             "Event: Newexten", "Privilege: call,all", "Channel: " + local2, "Context: queue",
             "Extension: 300", "Priority: 1", "Application: Dial", "AppData: SIP/300",
             "Uniqueid: 1700000001.3", "",
             "Event: Newchannel", "Privilege: call,all", "Channel: " + agent, "State: Down",
             "CallerIDNum: 300", "CallerIDName: <unknown>", "Uniqueid: 1700000001.4", "",
             "Event: Newstate", "Privilege: call,all", "Channel: " + agent, "State: Ringing",
             "CallerID: 300", "CallerIDName: Carol", "Uniqueid: 1700000001.4", "",
             "Event: Newcallerid", "Privilege: call,all", "Channel: " + local1,
             "CallerID: 5550300", "CallerIDName: Queue Caller", "Uniqueid: 1700000001.2",
             "CID-CallingPres: 0 (Presentation Allowed, Not Screened)", ""});
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             entry(alice, "100", "O\\'Neil", "200", "0.50"),
                             entry(local1, "5550300", "Queue Caller", "", "0.00"),
                             entry(local2, U, U, "300", "0.00"),
                             entry(agent, "300", "Carol", "", "0.00"),
                         }));

    // The Local pair optimises itself away: ;1 takes over the agent's channel. 1.4 sends no
    // Masquerade event, only three Renames, and the agent's old name never gets a Hangup.
    receive({"Event: Rename", "Privilege: call,all", "Oldname: " + agent,
             "Newname: " + agent + "<MASQ>", "Uniqueid: 1700000001.4", "",
             "Event: Rename", "Privilege: call,all", "Oldname: " + local1, "Newname: " + agent,
             "Uniqueid: 1700000001.2", "",
             "Event: Rename", "Privilege: call,all", "Oldname: " + agent + "<MASQ>",
             "Newname: " + local1 + "<ZOMBIE>", "Uniqueid: 1700000001.4", "",
             "Event: Newcallerid", "Privilege: call,all", "Channel: " + agent,
             "CallerID: 300", "CallerIDName: Carol", "Uniqueid: 1700000001.2",
             "CID-CallingPres: 0 (Presentation Allowed, Not Screened)", ""});
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             entry(alice, "100", "O\\'Neil", "200", "0.50"),
                             entry(agent, "300", "Carol", "", "0.00"),
                             entry(local2, U, U, "300", "0.00"),
                             entry(local1 + "<ZOMBIE>", "300", "Carol", "", "0.00"),
                         }));
    receive({"Event: Hangup", "Privilege: call,all", "Channel: " + local1 + "<ZOMBIE>",
             "Uniqueid: 1700000001.4", "Cause: 16", "Cause-txt: Normal Clearing", "",
             "Event: Hangup", "Privilege: call,all", "Channel: " + local2,
             "Uniqueid: 1700000001.3", "Cause: 16", "Cause-txt: Normal Clearing", ""});
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             entry(alice, "100", "O\\'Neil", "200", "0.50"),
                             entry(agent, "300", "Carol", "", "0.00"),
                         }));

    // A listing that disagrees is the truth: the agent's call is gone, Alice moved on.
    receive({"Response: Success", "Message: Channel status will follow", "",
             "Event: Status", "Privilege: Call", "Channel: " + alice, "CallerID: 100",
             "CallerIDNum: 100", "CallerIDName: O\\'Neil", "Account: ", "State: Up",
             "Context: default", "Extension: 201", "Priority: 1", "Seconds: 60",
             "Uniqueid: 1700000000.1", "", "Event: StatusComplete", ""});
    EXPECT_EQ(entries(),
              (std::vector<std::string>{entry(alice, "100", "O\\'Neil", "201", "1.00")}));
}

TEST_F(LiveClientTest, AHangupsCauseIsOnTheCallWhenItsRowGoes)
{
    // Every generation ends a Hangup with Cause and Cause-txt (1.4 after Uniqueid, 1.8 to 11 after
    // the connected line and AccountCode, a current PBX after its channel block); a listener
    // reads them as the row goes. A call that a listing no longer names has none.
    struct : LiveCalls::Listener
    {
        const LiveCalls* calls = nullptr;
        std::vector<std::string> ends;
        void callsAboutToBeRemoved(std::size_t row, std::size_t) override
        {
            const LiveCall& call = calls->at(row);
            const auto cause = call.hangupCause;
            ends.push_back(call.channel + " " + (cause ? std::to_string(*cause) : "-") + " " +
                           call.hangupCauseText);
        }
        void callsRemoved() override {}
        void callChanged(std::size_t) override {}
    } listener;
    listener.calls = &calls;
    calls.setListener(&listener);
    const std::string recording = fixture("15_events_call_lifecycle.recv.bin");
    const std::size_t current = recording.find("Event: Hangup\r\n");
    for (const std::string& hangup :
         {wire({"Event: Hangup", "Channel: SIP/1", "Uniqueid: 1.1", "Cause: 17",
                "Cause-txt: User busy", ""}),
          wire({"Event: Hangup", "Channel: SIP/1", "CallerIDName: B", "ConnectedLineName: C",
                "AccountCode: x", "Cause: 17", "Cause-txt: User busy", ""}),
          wire({"Event: Hangup", "Channel: SIP/1", "Cause: none", ""}),
          recording.substr(current, recording.find("\r\n\r\n", current) + 4 - current)}) {
        const std::size_t at = hangup.find("Channel: ") + 9;
        calls.appeared(hangup.substr(at, hangup.find("\r\n", at) - at), {});
        client.dataArrival(hangup);
    }
    calls.appeared("SIP/2", {});
    calls.listingComplete(true);
    EXPECT_EQ(listener.ends,
              (std::vector<std::string>{"SIP/1 17 User busy", "SIP/1 17 User busy", "SIP/1 - ",
                                        "Local/3004@changes-0000001f;2 16 Normal Clearing",
                                        "SIP/2 - "}));
}

TEST_F(LiveClientTest, LinesInsideAnEventCannotSteerTheClient)
{
    client.dataArrival("Asterisk Call Manager/13.0.0\r\n");
    receive({"Response: Success", "Message: Authentication accepted", ""});
    ASSERT_EQ(window.sent.size(), 2u);
    receive({"Event: Newchannel", "Channel: SIP/1", "Message: Authentication failed",
             "Event: Status", "Channel: SIP/evil", "Event: StatusComplete",
             "Message: Authentication accepted", "Response: Success", "Uniqueid: 1", "",
             "Event: Newchannel", "Channel: SIP/2", "CallerIDName: Event: Hangup", ""});
    EXPECT_EQ(window.ends, 0);
    EXPECT_EQ(window.sent.size(), 2u);
    EXPECT_EQ(window.answers.size(), 1u); // the login's
    EXPECT_FALSE(client.inStatus());
    EXPECT_FALSE(calls.listed());
    EXPECT_EQ(entries(), (std::vector<std::string>{
                             entry("SIP/1", "", "", "", "0.00"),
                             entry("SIP/2", "", "Event: Hangup", "", "0.00"),
                         }));
    // Other events are read to their end and ignored.
    receive({"Event: BridgeEnter", "Channel: SIP/3", "CallerIDNum: 3", "",
             "Event: Hangup", "Channel: SIP/1", ""});
    EXPECT_EQ(entries(),
              (std::vector<std::string>{entry("SIP/2", "", "Event: Hangup", "", "0.00")}));
}

TEST_F(LiveClientTest, AGuardedListingUndoesWhatAnEventForgedAfterACut)
{
    // An older PBX writes names raw in events too, and an event carries no ActionID: the events a
    // caller's empty line forges act, but the next guarded listing restores every call they
    // removed (and left in the memory of calls just gone), renamed or described, even a call
    // whose own record in it is cut short.
    client.setListingIds([] { return std::string("L"); });
    const auto listing = [this](std::initializer_list<std::string> channels, bool cutC = false) {
        std::string bytes =
            wire({"Response: Success", "ActionID: L", "Message: Channel status will follow", ""});
        for (const std::string& channel : channels)
            bytes += wire(
                {"Event: Status", "Channel: " + channel, "CallerIDNum: 1",
                 "CallerIDName: " + channel.substr(4) + (cutC && channel == "SIP/c" ? "\r\n" : ""),
                 "Extension: 2", "Seconds: 60", "Uniqueid: 1.1", "ActionID: L", ""});
        client.dataArrival(bytes + wire({"Event: StatusComplete", "ActionID: L", ""}));
    };
    const std::vector<std::string> genuine = {entry("SIP/a", "1", "a", "2", "1.00"),
                                              entry("SIP/b", "1", "b", "2", "1.00"),
                                              entry("SIP/c", "1", "c", "2", "1.00")};
    client.dataArrival(wire({"Asterisk Call Manager/1.1", "Response: Success",
                             "Message: Authentication accepted", ""}));
    listing({"SIP/a", "SIP/b", "SIP/c"});
    ASSERT_EQ(entries(), genuine);

    receive({"Event: Newchannel", "Channel: SIP/f", "CallerIDName: x", "", "Event: Hangup",
             "Channel: SIP/a", "Cause: 16", "", "Event: Rename", "Channel: SIP/b",
             "Newname: SIP/fake", "", "Event: Newstate", "Channel: SIP/c", "CallerIDNum: 666",
             "CallerIDName: Forged", "Uniqueid: 1.9", ""});
    receive({"Event: Newstate", "Channel: SIP/a", "ChannelStateDesc: Up", ""});
    ASSERT_EQ(entries(), (std::vector<std::string>{entry("SIP/fake", "1", "b", "2", "1.00"),
                                                   entry("SIP/c", "666", "Forged", "2", "1.00"),
                                                   entry("SIP/f", "", "x", "", "0.00")}));

    client.pollListing();
    listing({"SIP/a", "SIP/b", "SIP/c"}, true);
    EXPECT_EQ(entries(), (std::vector<std::string>{entry("SIP/c", "1", "", "", "Unknown"),
                                                   genuine[0], genuine[1]}));
    // Events for the restored calls count again.
    receive({"Event: Newstate", "Channel: SIP/a", "CallerIDNum: 3", ""});
    EXPECT_EQ(calls.entry(*calls.rowOf("SIP/a")), entry("SIP/a", "3", "a", "2", "1.00"));
    // A PBX that repeats ActionIDs lists only inside a guarded listing: a record and an end that
    // an event's raw name forges outside one add nothing and remove nothing.
    const std::vector<std::string> before = entries();
    receive({"Event: Status", "Channel: SIP/forged", "CallerIDNum: 9", "Uniqueid: 9.9", "",
             "Event: StatusComplete", ""});
    EXPECT_EQ(entries(), before);
}

TEST_F(LiveClientTest, AnOlderRecordCutShortEndsAtItsEmptyLine)
{
    // A record without its Uniqueid must not take the events after it for its own lines.
    client.dataArrival("Asterisk Call Manager/1.1\r\n");
    receive({"Event: Status", "Channel: SIP/cut", "CallerID: 1", "", "Event: Newchannel",
             "Channel: SIP/new", "CallerIDNum: 2", "Uniqueid: 5", ""});
    EXPECT_EQ(entries(), std::vector<std::string>{entry("SIP/new", "2", "", "", "0.00")});
    EXPECT_FALSE(client.inStatus());
}

TEST_F(LiveClientTest, PeriodicListingWaitsForTheOneUnderWay)
{
    client.dataArrival("Asterisk Call Manager/13.0.0\r\n");
    receive({"Response: Success", "Message: Authentication accepted", ""});
    ASSERT_EQ(window.sent.size(), 2u); // login, Status
    // Unanswered: the next polls wait, then ask again in case the answer was lost.
    client.pollListing();
    client.pollListing();
    client.pollListing();
    EXPECT_EQ(window.sent.size(), 2u);
    client.pollListing();
    EXPECT_EQ(window.sent.size(), 3u);

    receive({"Response: Success", "Message: Channel status will follow", ""});
    receive({"Response: Success", "Message: Channel status will follow", "",
             "Event: Status", "Channel: SIP/1", ""});
    client.pollListing(); // still arriving
    EXPECT_EQ(window.sent.size(), 3u);
    receive({"Event: StatusComplete", ""});
    client.pollListing();
    ASSERT_EQ(window.sent.size(), 4u);
    EXPECT_EQ(anyActionId(window.sent.back()), StatusSent);
}

namespace {

// A window whose modal message lets data arrive, as a real event loop does, while it is open.
class NestingWindow : public FakeWindow
{
public:
    ManagerClient* client = nullptr;
    std::vector<std::string> arriveDuringMessage;
    std::size_t mostDeferred = 0;

    void showMessage(std::string_view text) override
    {
        FakeWindow::showMessage(text);
        for (const auto& chunk : std::exchange(arriveDuringMessage, {})) {
            client->dataArrival(chunk);
            mostDeferred = std::max(mostDeferred, client->deferredBytes());
        }
    }
};

// Many more bytes than may wait, in socket-sized chunks, ending inside a line.
std::vector<std::string> floodOfRecords(const std::string& channel)
{
    std::string block = wire({"Event: Status", "Channel: " + channel, "Uniqueid: 9", ""});
    std::string all;
    while (all.size() < ManagerClient::MaxDeferred + 100000)
        all += block;
    all += "Event: Status\r\nChannel: SIP/cut-o";
    std::vector<std::string> chunks;
    for (std::size_t at = 0; at < all.size(); at += 65536)
        chunks.push_back(all.substr(at, 65536));
    return chunks;
}

} // namespace

TEST(DeferredBytesTest, BoundedWhileAMessageIsOpenThenPickedUpAtTheNextBlock)
{
    NestingWindow window;
    window.user = "bad\nname"; // the greeting's message opens inside line handling
    ManagerClient client(window, std::locale::classic());
    window.client = &client;
    window.arriveDuringMessage = floodOfRecords("SIP/lost");
    client.dataArrival(wire({"Asterisk Call Manager/1.1", "Event: Status", "Channel: SIP/1",
                             "Uniqueid: 1", "Event: Status", "Channel: SIP/2", "Unique"}));
    EXPECT_LE(window.mostDeferred, ManagerClient::MaxDeferred);
    EXPECT_EQ(client.deferredBytes(), 0u);
    EXPECT_EQ(client.lostArrivals(), 1u);
    // What came before the message is kept; the line cut off by the loss is not finished with
    // bytes from elsewhere, and the stream is picked up after the next empty line.
    client.dataArrival(wire({"me: x", "Channel: SIP/half", "Uniqueid: 7", "", "Event: Status",
                             "Channel: SIP/3", "Uniqueid: 3"}));
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "SIP/1 From:  <> To:  Lasted: Unknown minutes.",
                                "SIP/3 From:  <> To:  Lasted: Unknown minutes.",
                            }));
    // The list mode sends nothing of its own.
    EXPECT_TRUE(window.sent.empty());
}

TEST(DeferredBytesTest, InsideAGuardedListingThePickUpWaitsForABlockItsActionIdEnds)
{
    // Refresh List before the greeting; the greeting's message opens with the listing's answer
    // and first record still waiting in the same chunk, and the flood is lost. What follows the
    // loss begins with a forgery a cut left behind: it is no record.
    NestingWindow window;
    window.user = "bad\nname";
    ManagerClient client(window, std::locale::classic());
    client.setListingIds([] { return std::string("L"); });
    window.client = &client;
    client.sendStatus();
    window.arriveDuringMessage = floodOfRecords("SIP/lost");
    client.dataArrival(wire({"Asterisk Call Manager/1.1", "Response: Success", "ActionID: L",
                             "Message: Channel status will follow", "", "Event: Status",
                             "Channel: SIP/1", "Uniqueid: 1", "ActionID: L", "", "Event: Status",
                             "Channel: SIP/2", "CallerIDName: x"}));
    ASSERT_EQ(client.lostArrivals(), 1u);
    client.dataArrival(
        wire({"", "Event: Status", "Channel: SIP/victim", "CallerIDNum: 666", "", "Seconds: 1",
              "Uniqueid: 2", "ActionID: L", "", "Event: Status", "Channel: SIP/3", "Uniqueid: 3",
              "ActionID: L", "", "Event: StatusComplete", "ActionID: L", ""}));
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "SIP/1 From:  <> To:  Lasted: Unknown minutes.",
                                "SIP/3 From:  <> To:  Lasted: Unknown minutes.",
                            }));
    EXPECT_FALSE(client.guardedListing());
}

namespace {

// Live mode with a message open over a flood: the greeting's message (the user name cannot be
// sent) lets more bytes arrive than may wait. Two calls are known, and a Status and a hangup
// were sent before the loss, whose answers may have been among the lost bytes.
class LiveLossTest : public ::testing::Test
{
protected:
    NestingWindow window;
    std::chrono::steady_clock::time_point now{};
    LiveCalls calls{std::locale::classic(), [this] { return now; }};
    ManagerClient client{window, std::locale::classic()};
    std::optional<std::uint64_t> lostHangup;

    void SetUp() override
    {
        window.user = "bad\nname";
        client.followCalls(&calls);
        window.client = &client;
        calls.appeared("SIP/kept", {});
        calls.appeared("SIP/gone", {});
        client.sendStatus();
        lostHangup = client.sendHangup("SIP/x");
        window.arriveDuringMessage = floodOfRecords("SIP/lost");
        client.dataArrival(wire({"Asterisk Call Manager/13.0.0", "Response: Success",
                                 "Message: Channel status will follow", "", "Event: Status",
                                 "Channel: SIP/kept", ""}));
        ASSERT_LE(window.mostDeferred, ManagerClient::MaxDeferred);
        ASSERT_EQ(client.lostArrivals(), 1u);
    }

    std::vector<std::string> channels() const
    {
        std::vector<std::string> out;
        for (std::size_t row = 0; row < calls.size(); ++row)
            out.push_back(calls.at(row).channel);
        return out;
    }
};

// What arrives after the loss, before the new listing's answer: the tail of the line cut off,
// the late answer of the hangup sent before the loss, and the rest of the listing that was cut.
const std::string AfterTheLoss =
    wire({"tail of a lost line", "", "Response: Success", "Message: Channel Hungup", "",
          "Event: Status", "Channel: SIP/new", "", "Event: StatusComplete", ""});

} // namespace

TEST_F(LiveLossTest, TheStreamIsPickedUpAtTheAnswerOfANewListing)
{
    ASSERT_EQ(window.sent.size(), 3u); // Status, hangup, and the listing that repairs
    // Its ActionID cannot be guessed, so no name can pass for its answer.
    const std::string head = "Action: Status\r\nActionID: corvale-";
    const std::string& resync = window.sent[2];
    ASSERT_EQ(resync.substr(0, head.size()), head);
    ASSERT_EQ(resync.substr(resync.size() - 4), "\r\n\r\n");
    const std::size_t from = head.size() - 8; // "corvale-" is the ActionID's own
    const std::string id = resync.substr(from, resync.size() - 4 - from);
    const auto hangup = client.sendHangup("SIP/gone");
    window.answers.clear();

    // What follows the loss, and a name of the earlier listing that holds an answer's start.
    client.dataArrival(AfterTheLoss + wire({"Event: Status", "Channel: SIP/x",
                                            "CallerIDName: Response: Success",
                                            "Response: Success", "ActionID: corvale-resync-1",
                                            "Uniqueid: 1", ""}));
    EXPECT_TRUE(window.answers.empty());
    EXPECT_EQ(calls.size(), 2u);
    client.dataArrival(wire({"Response: Success", "ActionID: " + id,
                             "Message: Channel status will follow", "", "Event: Status",
                             "Channel: SIP/new", "ActionID: " + id, "", "Event: Status",
                             "Channel: SIP/kept", "", "Event: StatusComplete", "ActionID: " + id,
                             "", "Response: Error", "Message: No such channel", ""}));
    ASSERT_EQ(window.answers.size(), 2u);
    EXPECT_EQ(window.answers[0].kind, ActionKind::Status);
    EXPECT_EQ(window.answers[1].ticket, *hangup);
    EXPECT_EQ(window.answers[1].message, "No such channel");
    EXPECT_EQ(client.awaitingAnswers(), 0u);
    // The listing was read whole, so it is the truth: the call it did not name has gone.
    EXPECT_EQ(channels(), (std::vector<std::string>{"SIP/kept", "SIP/new"}));

    // And so is every later one.
    client.pollListing();
    const std::string& poll = window.sent.back();
    const std::string next = poll.substr(from, poll.size() - 4 - from);
    client.dataArrival(wire({"Response: Success", "ActionID: " + next,
                             "Message: Channel status will follow", "", "Event: Status",
                             "Channel: SIP/new", "ActionID: " + next, "", "Event: StatusComplete",
                             "ActionID: " + next, ""}));
    EXPECT_EQ(channels(), std::vector<std::string>{"SIP/new"});
}

TEST_F(LiveLossTest, TheRepairingListingIsGuardedAndTrusted)
{
    // The listing the client asks for after the loss is read as any guarded listing: a caller's
    // empty line in it forges no record (here one that would keep SIP/gone listed), and it is
    // whole, so the call it does not name goes.
    const std::string& resync = window.sent.back();
    const std::size_t from = resync.find("ActionID: ") + 10;
    const std::string id = resync.substr(from, resync.size() - 4 - from);
    const std::string end = "ActionID: " + id;
    const std::string answer =
        wire({"Response: Success", end, "Message: Channel status will follow", ""});
    const std::string cut = wire({"Event: Status", "Channel: SIP/kept", "CallerIDName: Kept",
                                  "EffectiveConnectedLineName: x", "Exten: 9999", ""});
    const std::string forged = wire({"Event: Status", "Channel: SIP/gone", "Uniqueid: 9", ""});
    client.dataArrival(AfterTheLoss + answer + cut + forged + wire({"Seconds: 1", end, ""}) +
                       wire({"Event: Status", "Channel: SIP/new", end, ""}) +
                       wire({"Event: StatusComplete", end, ""}));
    EXPECT_EQ(channels(), (std::vector<std::string>{"SIP/kept", "SIP/new"}));
    EXPECT_EQ(calls.entry(0), "SIP/kept From:  <Kept> To:  Lasted: Unknown minutes.");
    EXPECT_EQ(calls.completedListings(), 1u);
    EXPECT_EQ(client.awaitingAnswers(), 0u);
}

TEST_F(LiveLossTest, APbxThatDoesNotRepeatTheActionIdIsReadAgainAfterSomePolls)
{
    client.dataArrival(AfterTheLoss +
                       wire({"Response: Success", "Message: Channel status will follow", "",
                             "Event: StatusComplete", ""}));
    EXPECT_EQ(calls.size(), 2u);
    std::size_t sent = window.sent.size();
    while (window.sent.size() == sent) {
        ASSERT_LT(window.sent.size(), 10u);
        client.pollListing();
    }
    EXPECT_EQ(anyActionId(window.sent.back()), StatusSent);
    client.dataArrival(wire({"Event: Status", "Channel: SIP/half", "", "Response: Success",
                             "Message: Channel status will follow", "", "Event: Status",
                             "Channel: SIP/kept", "", "Event: StatusComplete", ""}));
    EXPECT_EQ(channels(), std::vector<std::string>{"SIP/kept"});
}
