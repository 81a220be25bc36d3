// The call events of each PBX generation, against the recordings and the PBX sources' shapes.
#include "Events.h"

#include "Blocks.h"
#include "Causes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <utility>

using namespace pbxsim;
using namespace simtest;

namespace {

std::vector<Block> recordedEvents(const std::string& conversation)
{
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/" + conversation + ".recv.bin",
                     std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<Block> events;
    for (Block& block : splitBlocks(bytes)) {
        if (!block.empty() && block.front().rfind("Event: ", 0) == 0 &&
            block.front() != "Event: Status" && block.front() != "Event: StatusComplete")
            events.push_back(std::move(block));
    }
    return events;
}

// Priority follows the recording's dialplan, Linkedid its pairs of channels: neither is ours to
// match. Every other value is.
Block comparable(Block block)
{
    for (std::string& line : block) {
        const std::string key = keyOf(line);
        if (key == "Priority" || key == "Linkedid")
            line = key + ": #";
    }
    return block;
}

bool recorded(const Block& block, const std::vector<Block>& recording)
{
    for (const Block& candidate : recording) {
        if (comparable(candidate) == comparable(block))
            return true;
    }
    return false;
}

Call leg(std::string channel, std::string number, std::string name, std::string context,
         std::string extension, std::string uniqueid)
{
    return {std::move(channel),
            std::move(number),
            std::move(name),
            std::move(extension),
            std::move(context),
            std::move(uniqueid),
            0};
}

std::vector<Block> eventsOf(const CallChange& change, EventStyle style, std::string_view mask)
{
    std::string out;
    appendCallEvents(out, change, style, eventMask(mask));
    return splitBlocks(out);
}

std::vector<std::string> namesOf(const std::vector<Block>& blocks)
{
    std::vector<std::string> names;
    for (const Block& block : blocks)
        names.push_back(valueOf(block.front()));
    return names;
}

std::vector<std::string> keysOf(const Block& block)
{
    std::vector<std::string> keys;
    for (const std::string& line : block)
        keys.push_back(keyOf(line));
    return keys;
}

using Kind = CallChange::Kind;

} // namespace

// Recording 15: Events: call. Each block the simulator sends for a call's start, a caller ID
// change and both kinds of hangup equals one the PBX sent for the same channel.
TEST(EventsTest, CurrentCallEventsEqualTheRecordedOnes)
{
    const std::vector<Block> recording = recordedEvents("15_events_call_lifecycle");
    ASSERT_GT(recording.size(), 50u);
    const Call dave = leg("Local/2002@calls-0000001c;2", "5552002", "Dave Jones", "calls", "2002",
                          "1796780515.57");
    const Call agent = leg("Local/3004@changes-0000001f;1", "8003004", "Agent 3004", "agents",
                           "3004", "1796780517.62");
    const Call changed = leg("Local/3001@changes-0000001d;2", "5553999", "After Change", "changes",
                             "3001", "1796780516.59");

    const auto start = eventsOf({Kind::Started, dave}, EventStyle::Current, "call");
    EXPECT_EQ(namesOf(start), (std::vector<std::string>{"Newchannel", "NewCallerid", "NewCallerid",
                                                        "Newstate", "DeviceStateChange"}));
    CallChange byAction{Kind::HungUp, dave};
    byAction.byAction = true;
    const auto ended = eventsOf(byAction, EventStyle::Current, "call");
    EXPECT_EQ(namesOf(ended),
              (std::vector<std::string>{"SoftHangupRequest", "Hangup", "DeviceStateChange"}));
    const auto byPbx = eventsOf({Kind::HungUp, agent}, EventStyle::Current, "call");
    EXPECT_EQ(namesOf(byPbx),
              (std::vector<std::string>{"HangupRequest", "Hangup", "DeviceStateChange"}));
    const auto callerId = eventsOf({Kind::CallerId, changed}, EventStyle::Current, "call");
    ASSERT_EQ(callerId.size(), 1u);

    for (const auto* blocks : {&start, &ended, &byPbx, &callerId}) {
        for (const Block& block : *blocks)
            EXPECT_TRUE(recorded(block, recording)) << ::testing::PrintToString(block);
    }
    // Without dialplan events a move to another extension shows only in the next listing.
    EXPECT_TRUE(eventsOf({Kind::Extension, changed}, EventStyle::Current, "call").empty());
}

// Recording 16: Events: on adds what the PBX says at login and the dialplan's steps.
TEST(EventsTest, EventsOnAddLoginEventsAndDialplanSteps)
{
    const std::vector<Block> recording = recordedEvents("16_events_on_lifecycle");
    const Call moving = leg("Local/3002@changes-00000023;2", "5553002", "Moving Caller", "changes",
                            "3003", "1796780535.71");
    const auto moved = eventsOf({Kind::Extension, moving}, EventStyle::Current, "on");
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_TRUE(recorded(moved[0], recording)) << ::testing::PrintToString(moved[0]);

    std::string login;
    appendLoginEvents(login, EventStyle::Current, eventMask("on"), {"admin", 1796780532, 607});
    const std::vector<Block> ours = splitBlocks(login);
    ASSERT_EQ(ours.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(keysOf(ours[i]), keysOf(recording[i]));
        EXPECT_EQ(ours[i][0], recording[i][0]);
        EXPECT_EQ(ours[i][1], recording[i][1]);
    }
    EXPECT_EQ(field(ours[0], "Uptime"), "607");
    EXPECT_EQ(field(ours[1], "AccountID"), "admin");
    EXPECT_EQ(field(ours[1], "EventTV"), "2026-12-09T01:42:12.000+0000");

    std::string events;
    appendLoginEvents(events, EventStyle::Current, eventMask("call"), {"admin", 1, 1});
    EXPECT_EQ(events, "") << "Events: call gets neither FullyBooted nor SuccessfulAuth";
}

// The older shapes, as the PBX's 1.4, 1.8 and 11 sources write them.
TEST(EventsTest, OlderGenerationsUseTheirOwnShapes)
{
    const Call call = leg("SIP/2041-00000001", "2041", "", "from-internal", "600", "1.5");
    const auto keys = [](const std::vector<Block>& blocks) {
        std::vector<std::vector<std::string>> all;
        for (const Block& block : blocks)
            all.push_back(keysOf(block));
        return all;
    };
    using Keys = std::vector<std::vector<std::string>>;
    const std::vector<std::string> head = {"Event", "Privilege"};
    auto with = [&](std::vector<std::string> rest) {
        rest.insert(rest.begin(), head.begin(), head.end());
        return rest;
    };

    const auto old = eventsOf({Kind::Started, call}, EventStyle::Pbx14, "call");
    EXPECT_EQ(namesOf(old),
              (std::vector<std::string>{"Newchannel", "Newexten", "Newcallerid", "Newstate"}));
    EXPECT_EQ(keys(old),
              (Keys{with({"Channel", "State", "CallerIDNum", "CallerIDName", "Uniqueid"}),
                    with({"Channel", "Context", "Extension", "Priority", "Application", "AppData",
                          "Uniqueid"}),
                    with({"Channel", "CallerID", "CallerIDName", "Uniqueid", "CID-CallingPres"}),
                    with({"Channel", "State", "CallerID", "CallerIDName", "Uniqueid"})}));
    EXPECT_EQ(field(old[2], "CallerIDName"), "<Unknown>");
    EXPECT_EQ(field(old[3], "CallerIDName"), "<unknown>");
    EXPECT_EQ(keys(eventsOf({Kind::HungUp, call}, EventStyle::Pbx14, "call")),
              (Keys{with({"Channel", "Uniqueid", "Cause", "Cause-txt"})}));
    CallChange renamed{Kind::Renamed, call};
    renamed.oldName = "SIP/2041-00000000";
    const auto rename14 = eventsOf(renamed, EventStyle::Pbx14, "call");
    EXPECT_EQ(rename14, (std::vector<Block>{{"Event: Rename", "Privilege: call,all",
                                             "Oldname: SIP/2041-00000000",
                                             "Newname: SIP/2041-00000001", "Uniqueid: 1.5"}}));

    // 1.6 to 11: Newexten only with the dialplan class, NewCallerid with a capital C.
    const auto middle = eventsOf({Kind::Started, call}, EventStyle::Pbx16, "call");
    EXPECT_EQ(keys(middle),
              (Keys{with({"Channel", "ChannelState", "ChannelStateDesc", "CallerIDNum",
                          "CallerIDName", "AccountCode", "Exten", "Context", "Uniqueid"}),
                    with({"Channel", "CallerIDNum", "CallerIDName", "Uniqueid", "CID-CallingPres"}),
                    with({"Channel", "ChannelState", "ChannelStateDesc", "CallerIDNum",
                          "CallerIDName", "ConnectedLineNum", "ConnectedLineName", "Uniqueid"})}));
    EXPECT_EQ(namesOf(eventsOf({Kind::Extension, call}, EventStyle::Pbx16, "call,dialplan")),
              std::vector<std::string>{"Newexten"});
    EXPECT_EQ(field(eventsOf(renamed, EventStyle::Pbx16, "call")[0], "Channel"),
              "SIP/2041-00000000");
    const std::vector<std::string> hangup18 = {"Channel",          "Uniqueid",
                                               "CallerIDNum",      "CallerIDName",
                                               "ConnectedLineNum", "ConnectedLineName"};
    auto hangup11 = hangup18;
    hangup11.push_back("AccountCode");
    hangup11.insert(hangup11.end(), {"Cause", "Cause-txt"});
    auto hangup16 = hangup18;
    hangup16.insert(hangup16.end(), {"Cause", "Cause-txt"});
    EXPECT_EQ(keys(eventsOf({Kind::HungUp, call}, EventStyle::Pbx16, "call")),
              (Keys{with(hangup16)}));
    EXPECT_EQ(keys(eventsOf({Kind::HungUp, call}, EventStyle::Pbx11, "call")),
              (Keys{with({"Channel", "Uniqueid", "Cause"}), with(hangup11)}));
}

// Original O takes over clone C: in 1.4 to 11 three renames leave C with O's unique id and the
// clone's remains hang up as O<ZOMBIE>; a current PBX just hangs O up.
TEST(EventsTest, MasqueradeRenamesUpToElevenAndHangsUpSinceTwelve)
{
    const Call original = leg("Local/600@ctx-0001;1", "", "", "ctx", "600", "10.1");
    const Call clone = leg("SIP/2041-00000001", "2041", "Alice", "from-internal", "600", "10.2");
    CallChange change{Kind::Masqueraded, clone};
    change.original = &original;

    const auto middle = eventsOf(change, EventStyle::Pbx16, "call");
    ASSERT_EQ(namesOf(middle), (std::vector<std::string>{"Masquerade", "Rename", "Rename", "Rename",
                                                         "NewCallerid", "Hangup"}));
    const auto renameOf = [&](const Block& block) {
        return field(block, "Channel") + " -> " + field(block, "Newname") + " " +
               field(block, "Uniqueid");
    };
    EXPECT_EQ(renameOf(middle[1]), "SIP/2041-00000001 -> SIP/2041-00000001<MASQ> 10.2");
    EXPECT_EQ(renameOf(middle[2]), "Local/600@ctx-0001;1 -> SIP/2041-00000001 10.1");
    EXPECT_EQ(renameOf(middle[3]), "SIP/2041-00000001<MASQ> -> Local/600@ctx-0001;1<ZOMBIE> 10.2");
    EXPECT_EQ(field(middle[4], "Uniqueid"), "10.1");
    EXPECT_EQ(field(middle[4], "CallerIDName"), "Alice");
    EXPECT_EQ(field(middle[5], "Channel"), "Local/600@ctx-0001;1<ZOMBIE>");
    EXPECT_EQ(field(middle[5], "Uniqueid"), "10.2");

    EXPECT_EQ(namesOf(eventsOf(change, EventStyle::Pbx14, "call")),
              (std::vector<std::string>{"Rename", "Rename", "Rename", "Newcallerid", "Hangup"}));
    const auto current = eventsOf(change, EventStyle::Current, "call");
    ASSERT_EQ(namesOf(current),
              (std::vector<std::string>{"HangupRequest", "Hangup", "DeviceStateChange"}));
    EXPECT_EQ(field(current[1], "Channel"), "Local/600@ctx-0001;1");
    EXPECT_EQ(field(current[1], "Uniqueid"), "10.1");
}

TEST(EventsTest, EventsHeaderAndGreetingAreReadAsAClientWould)
{
    EXPECT_EQ(eventStyleFor("1.0"), EventStyle::Pbx14);
    EXPECT_EQ(eventStyleFor("1.2"), EventStyle::Pbx16);
    EXPECT_EQ(eventStyleFor("1.3"), EventStyle::Pbx11);
    EXPECT_EQ(eventStyleFor("2.0.0"), EventStyle::Current);

    EXPECT_EQ(eventMask(""), EventClass::All);
    for (const char* all : {"on", "ON", "yes", "true", "y", "t"})
        EXPECT_EQ(eventMask(all), EventClass::All) << all;
    for (const char* none :
         {"off", "Off", "OFF", "no", "false", "n", "f", "0", "none", "bogus", "Call", "call "})
        EXPECT_EQ(eventMask(none), 0u) << none;
    EXPECT_EQ(eventMask("call"), EventClass::Call);
    EXPECT_EQ(eventMask("1"), EventClass::System);
    EXPECT_EQ(eventMask("2050"), EventClass::Call | EventClass::Dialplan);
    EXPECT_EQ(eventMask("system,call,bogus,dialplan"),
              EventClass::System | EventClass::Call | EventClass::Dialplan);

    const Call call = leg("SIP/1-1", "1", "", "c", "600", "1.1");
    EXPECT_TRUE(eventsOf({Kind::Started, call}, EventStyle::Current, "system").empty());
    EXPECT_TRUE(eventsOf({Kind::HungUp, call}, EventStyle::Pbx14, "off").empty());
}

namespace {

// The events each change of `table` gives a session of one generation reading `call`.
class Recorder : public CallTable::Listener
{
public:
    Recorder(CallTable& calls, EventStyle eventStyle, bool unlinkAsBridge = false)
        : table(calls)
        , style(eventStyle)
        , bridgeUnlink(unlinkAsBridge)
    {
        table.subscribe(this);
    }
    ~Recorder() { table.unsubscribe(this); }
    void callChanged(const CallChange& change) override
    {
        appendCallEvents(text, change, style, EventClass::Call, bridgeUnlink);
    }
    // The events since the last take.
    std::vector<Block> take() { return splitBlocks(std::exchange(text, {})); }

private:
    CallTable& table;
    EventStyle style;
    bool bridgeUnlink;
    std::string text;
};

Call older(Call call)
{
    call.startedAt = -1;
    return call;
}

} // namespace

// Recording 20: a desk leg and a caller leg bridged, then the desk side ends the call. The bridge's
// own events and the caller leg's blocks equal the recorded ones; the far side is hung up too.
TEST(EventsTest, CurrentBridgeEventsEqualTheRecordedOnes)
{
    const std::vector<Block> recording = recordedEvents("20_events_bridged_lifecycle");
    const Call desk =
        older(leg("Local/4011@answer-00000042;1", "4011", "", "answer", "", "1796813989.132"));
    const Call caller = leg("Local/4011@bridged-00000041;2", "5554011", "Bridged 4011", "bridged",
                            "4011", "1796813989.131");
    CallTable table({desk, caller});
    Recorder session(table, EventStyle::Current);
    ASSERT_TRUE(table.bridge(desk.channel, caller.channel, "969311d5-ad15-4a93-bf02-c2b94bd67d76"));
    const std::vector<Block> entered = session.take();
    ASSERT_EQ(namesOf(entered),
              (std::vector<std::string>{"BridgeCreate", "BridgeEnter", "BridgeEnter"}));
    EXPECT_TRUE(recorded(entered[0], recording));
    EXPECT_TRUE(recorded(entered[2], recording)) << entered[2].size();
    // One conversation: the caller leg takes the older desk leg's linked id.
    EXPECT_EQ(field(entered[2], "Linkedid"), desk.uniqueid);
    EXPECT_FALSE(table.bridge(desk.channel, caller.channel, "again"));

    ASSERT_TRUE(table.hangup(desk.channel));
    const std::vector<Block> ended = session.take();
    ASSERT_EQ(namesOf(ended),
              (std::vector<std::string>{"HangupRequest", "BridgeLeave", "BridgeLeave", "Hangup",
                                        "DeviceStateChange", "BridgeDestroy", "HangupRequest",
                                        "Hangup", "DeviceStateChange"}));
    EXPECT_EQ(field(ended[1], "BridgeNumChannels") + field(ended[2], "BridgeNumChannels"), "10");
    EXPECT_TRUE(recorded(ended[2], recording));
    EXPECT_TRUE(recorded(ended[5], recording));
    EXPECT_EQ(field(ended[7], "Channel"), caller.channel);
    EXPECT_EQ(table.size(), 0u);
}

// Up to 11 one event names both channels; how a bridge ends changed in 10.
TEST(EventsTest, OlderGenerationsLinkAndUnlinkAPair)
{
    const Call a = leg("SIP/2041-00000001", "2041", "Alice", "from-internal", "600", "10.1");
    const Call b = leg("SIP/telco-00000002", "", "", "from-trunk", "600", "10.2");
    const std::vector<std::string> pair = {"Event",     "Privilege", "Channel1",  "Channel2",
                                           "Uniqueid1", "Uniqueid2", "CallerID1", "CallerID2"};
    auto bridgeKeys = pair;
    bridgeKeys.insert(bridgeKeys.begin() + 2, {"Bridgestate", "Bridgetype"});
    struct Generation
    {
        EventStyle style;
        bool unlinkAsBridge;
        std::vector<std::string> link, unlink, hangup;
    };
    for (const Generation& g : std::vector<Generation>{
             {EventStyle::Pbx14, false, {"Link"}, {"Unlink"}, {"Unlink", "Hangup", "Hangup"}},
             {EventStyle::Pbx16, false, {"Bridge"}, {"Unlink"}, {"Unlink", "Hangup", "Hangup"}},
             {EventStyle::Pbx16, true, {"Bridge"}, {"Bridge"}, {"Bridge", "Hangup", "Hangup"}},
             {EventStyle::Pbx11,
              true,
              {"Bridge"},
              {"Bridge"},
              {"SoftHangupRequest", "Bridge", "Hangup", "HangupRequest", "Hangup"}}}) {
        CallTable table({a, b});
        Recorder session(table, g.style, g.unlinkAsBridge);
        ASSERT_TRUE(table.bridge(a.channel, b.channel, "x"));
        const std::vector<Block> link = session.take();
        EXPECT_EQ(namesOf(link), g.link);
        EXPECT_EQ(keysOf(link.at(0)), g.style == EventStyle::Pbx14 ? pair : bridgeKeys);
        EXPECT_EQ(field(link[0], "Channel2") + " " + field(link[0], "Uniqueid2") + " [" +
                      field(link[0], "CallerID1") + "|" + field(link[0], "CallerID2") + "]",
                  "SIP/telco-00000002 10.2 [2041|]");
        if (g.style != EventStyle::Pbx14) {
            EXPECT_EQ(field(link[0], "Bridgestate"), "Link");
        }

        ASSERT_TRUE(table.unbridge(b.channel));
        const std::vector<Block> unlink = session.take();
        EXPECT_EQ(namesOf(unlink), g.unlink);
        EXPECT_EQ(field(unlink.at(0), "Channel1"), b.channel);
        if (g.unlinkAsBridge) {
            EXPECT_EQ(field(unlink[0], "Bridgestate"), "Unlink");
        }

        ASSERT_TRUE(table.bridge(a.channel, b.channel, "x"));
        session.take();
        ASSERT_TRUE(table.hangup(a.channel, true));
        EXPECT_EQ(namesOf(session.take()), g.hangup);
    }
}

// A call ends with its cause in every generation, told in the Hangup with the PBX's text and,
// from 11 on, in the HangupRequest the PBX queues; a manager Hangup's request names its kind.
TEST(EventsTest, HangupsCarryTheirCause)
{
    const Call call = leg("SIP/2041-00000001", "2041", "", "from-internal", "600", "1.5");
    struct Row
    {
        EventStyle style;
        bool byAction;
        int cause;
        std::string request; // the request's Cause; empty: no request
        std::string text;
    };
    for (const Row& row : {Row{EventStyle::Pbx14, false, 17, "", "User busy"},
                           Row{EventStyle::Pbx16, false, 19, "", "User alerting, no answer"},
                           Row{EventStyle::Pbx11, false, 21, "21", "Call Rejected"},
                           Row{EventStyle::Current, false, 16, "16", "Normal Clearing"},
                           Row{EventStyle::Current, true, 17, "16", "User busy"},
                           Row{EventStyle::Current, true, -1, "16", "Unknown"},
                           Row{EventStyle::Pbx14, false, 99, "",
                               "Info. element nonexist or not "
                               "implemented"}}) {
        CallChange change{Kind::HungUp, call};
        change.byAction = row.byAction;
        change.cause = row.cause;
        const auto blocks = eventsOf(change, row.style, "call");
        std::string request;
        for (const Block& block : blocks)
            if (block.front().find("HangupRequest") != std::string::npos)
                request = field(block, "Cause");
        const auto hangup = std::find_if(blocks.begin(), blocks.end(), [](const Block& block) {
            return block.front() == "Event: Hangup";
        });
        ASSERT_NE(hangup, blocks.end());
        EXPECT_EQ(field(*hangup, "Cause"), std::to_string(row.cause < 0 ? 0 : row.cause));
        EXPECT_EQ(field(*hangup, "Cause-txt"), row.text);
        EXPECT_EQ(request, row.request);
    }
    for (const auto& [text, cause] : {std::pair{"busy", 17},
                                      {"noanswer", 19},
                                      {"rejected", 21},
                                      {"normal", 16},
                                      {"127", 127},
                                      {"128", -1},
                                      {"x", -1}})
        EXPECT_EQ(readCause(text), cause) << text;
}
