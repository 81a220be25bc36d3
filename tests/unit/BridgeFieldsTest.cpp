// What the live calls know of the conversations they belong to: a current PBX's Linkedid and
// bridge, from its recorded listings (Status and CoreShowChannels) and bridge events, and the
// bridged peer that older PBXs name in their listings and Link/Unlink events.
#include "FakeWindow.h"
#include "FixtureFile.h"
#include "LiveCalls.h"
#include "ManagerClient.h"
#include "Wire.h"
#include "WireLines.h"

#include <gtest/gtest.h>

#include <map>

using namespace corvale;

namespace {

struct Link
{
    std::string linkedid;
    std::string bridgeId;
    std::string application;
    bool operator==(const Link&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Link& link)
{
    return out << "{" << link.linkedid << ", " << link.bridgeId << ", " << link.application << "}";
}

class BridgeFieldsTest : public ::testing::Test
{
protected:
    FakeWindow window;
    std::chrono::steady_clock::time_point clock{};
    LiveCalls calls{std::locale::classic(), [this] { return clock; }};
    ManagerClient client{window, std::locale::classic()};

    void SetUp() override { client.followCalls(&calls); }
    void receive(std::initializer_list<std::string_view> lines) { client.dataArrival(wire(lines)); }

    std::map<std::string, Link> links() const
    {
        std::map<std::string, Link> out;
        for (std::size_t row = 0; row < calls.size(); ++row) {
            const LiveCall& call = calls.at(row);
            out[call.channel] = {call.linkedid, call.bridgeId, call.application};
        }
        return out;
    }
    const LiveCall& call(std::string_view channel) const
    {
        static const LiveCall none;
        const auto row = calls.rowOf(channel);
        EXPECT_TRUE(row) << channel;
        return row ? calls.at(*row) : none;
    }
};

// The recorded listing: two conversations of four channels each, two of which are bridged.
const std::string First = "c2a9a126-513a-4b27-9928-08eca28835bc";
const std::string Second = "874f5830-3635-4d85-87ed-bc1e178a8dd7";
const std::map<std::string, Link> Recorded = {
    {"Local/4001@bridged-0000003d;1", {"1796813979.122", "", "Wait"}},
    {"Local/4001@bridged-0000003d;2", {"1796813979.122", First, "Dial"}},
    {"Local/4001@answer-0000003e;1", {"1796813979.122", First, "AppDial"}},
    {"Local/4001@answer-0000003e;2", {"1796813979.122", "", "Wait"}},
    {"Local/4002@bridged-0000003f;1", {"1796813979.126", "", "Wait"}},
    {"Local/4002@bridged-0000003f;2", {"1796813979.126", Second, "Dial"}},
    {"Local/4002@answer-00000040;1", {"1796813979.126", Second, "AppDial"}},
    {"Local/4002@answer-00000040;2", {"1796813979.126", "", "Wait"}},
};

} // namespace

TEST_F(BridgeFieldsTest, RecordedStatusAndCoreShowChannelsListingsGiveEachChannelsBridge)
{
    const std::string recording = fixture("19_status_bridged.recv.bin");
    const std::size_t second = recording.find("Response: Success\r\nEventList: start\r\n"
                                              "Message: Channels will follow");
    ASSERT_NE(second, std::string::npos);
    client.dataArrival(recording.substr(0, second));
    EXPECT_EQ(links(), Recorded);
    EXPECT_EQ(call("Local/4001@answer-0000003e;1").state, "Up");
    EXPECT_EQ(calls.completedListings(), 1u);

    // The same channels by CoreShowChannels, which the client asks for from now on. A channel
    // it does not name has gone; one whose record left out its bridge is in none.
    client.useCoreShowChannels(true);
    calls.appeared("Local/9999@gone-00000001;1", {});
    CallFields bridged;
    bridged.bridgeId = "stale";
    calls.described("Local/4001@bridged-0000003d;1", bridged);
    client.sendStatus();
    EXPECT_EQ(anyActionId(window.sent.back()), CoreShowChannelsSent);
    client.dataArrival(recording.substr(second));
    EXPECT_EQ(links(), Recorded);
    EXPECT_EQ(calls.completedListings(), 2u);
    // Duration 00:00:04, counted from the listing.
    EXPECT_EQ(call("Local/4001@bridged-0000003d;1").seconds, 4.0);
    EXPECT_EQ(client.awaitingAnswers(), 0u);
}

TEST_F(BridgeFieldsTest, RecordedBridgeEventsSetAndClearTheBridge)
{
    // Replayed block by block: after each event, the channel it names carries what it says.
    const std::string recording = fixture("20_events_bridged_lifecycle.recv.bin");
    const auto value = [](std::string_view block, std::string_view key) {
        const std::string head = "\r\n" + std::string(key) + ": ";
        const std::size_t at = block.find(head);
        if (at == std::string_view::npos)
            return std::string();
        const std::size_t from = at + head.size();
        return std::string(block.substr(from, block.find("\r\n", from) - from));
    };
    int entered = 0;
    int left = 0;
    int linked = 0;
    bool sharedBridge = false;
    for (std::size_t at = 0; at < recording.size();) {
        std::size_t end = recording.find("\r\n\r\n", at);
        end = end == std::string::npos ? recording.size() : end + 4;
        const std::string_view block = std::string_view(recording).substr(at, end - at);
        at = end;
        client.dataArrival(block);
        const std::string channel = value(block, "Channel");
        if (block.starts_with("Event: BridgeEnter")) {
            EXPECT_EQ(call(channel).bridgeId, value(block, "BridgeUniqueid"));
            ++entered;
            // The second channel in: both ends of the conversation in one bridge.
            std::size_t inBridge = 0;
            for (std::size_t row = 0; row < calls.size(); ++row)
                inBridge += calls.at(row).bridgeId == value(block, "BridgeUniqueid") ? 1 : 0;
            sharedBridge = sharedBridge || inBridge == 2;
        } else if (block.starts_with("Event: BridgeLeave")) {
            EXPECT_EQ(call(channel).bridgeId, "");
            ++left;
        } else if (block.starts_with("Event: Newchannel") && !value(block, "Linkedid").empty()) {
            EXPECT_EQ(call(channel).linkedid, value(block, "Linkedid"));
            EXPECT_EQ(call(channel).state, value(block, "ChannelStateDesc"));
            ++linked;
        }
    }
    EXPECT_EQ(entered, 4);
    EXPECT_EQ(left, 4);
    EXPECT_EQ(linked, 8);
    EXPECT_TRUE(sharedBridge);
}

TEST_F(BridgeFieldsTest, OlderPbxsNameTheBridgedChannel)
{
    // 1.6 to 11: BridgedChannel in a listing, Bridge events with their Bridgestate, and the
    // old Unlink event that still ends most bridges up to 1.8.
    client.dataArrival("Asterisk Call Manager/1.1\r\n");
    receive({"Response: Success",
             "Message: Authentication accepted",
             "",
             "Response: Success",
             "Message: Channel status will follow",
             "",
             "Event: Status",
             "Privilege: Call",
             "Channel: SIP/200-1",
             "CallerIDNum: 200",
             "CallerIDName: A",
             "ChannelState: 6",
             "ChannelStateDesc: Up",
             "Seconds: 5",
             "BridgedChannel: SIP/300-2",
             "BridgedUniqueid: 1.2",
             "Uniqueid: 1.1",
             "",
             "Event: Status",
             "Privilege: Call",
             "Channel: SIP/300-2",
             "CallerIDNum: 300",
             "CallerIDName: B",
             "Account: ",
             "State: Ringing",
             "BridgedChannel: SIP/200-1",
             "Uniqueid: 1.2",
             "",
             "Event: StatusComplete",
             ""});
    EXPECT_EQ(call("SIP/200-1").bridgedTo, "SIP/300-2");
    EXPECT_EQ(call("SIP/200-1").state, "Up");
    EXPECT_EQ(call("SIP/300-2").bridgedTo, "SIP/200-1");
    EXPECT_EQ(call("SIP/300-2").state, "Ringing");

    receive({"Event: Unlink", "Privilege: call,all", "Channel1: SIP/200-1", "Channel2: SIP/300-2",
             "Uniqueid1: 1.1", "Uniqueid2: 1.2", ""});
    EXPECT_EQ(call("SIP/200-1").bridgedTo, "");
    EXPECT_EQ(call("SIP/300-2").bridgedTo, "");
    receive({"Event: Bridge", "Privilege: call,all", "Bridgestate: Link", "Bridgetype: core",
             "Channel1: SIP/200-1", "Channel2: SIP/400-3", "Uniqueid1: 1.1", "Uniqueid2: 1.3",
             "CallerID1: 200", "CallerID2: 400", ""});
    EXPECT_EQ(call("SIP/200-1").bridgedTo, "SIP/400-3");
    EXPECT_EQ(call("SIP/400-3").bridgedTo, "SIP/200-1"); // an event says the channel exists
    // An Unlink of a pair that no longer is one leaves the newer link alone.
    receive({"Event: Bridge", "Privilege: call,all", "Bridgestate: Unlink", "Bridgetype: core",
             "Channel1: SIP/200-1", "Channel2: SIP/300-2", "Uniqueid1: 1.1", "Uniqueid2: 1.2", ""});
    EXPECT_EQ(call("SIP/200-1").bridgedTo, "SIP/400-3");
    receive({"Event: Bridge", "Privilege: call,all", "Bridgestate: Unlink", "Bridgetype: core",
             "Channel1: SIP/400-3", "Channel2: SIP/200-1", "Uniqueid1: 1.3", "Uniqueid2: 1.1", ""});
    EXPECT_EQ(call("SIP/200-1").bridgedTo, "");
    EXPECT_EQ(call("SIP/400-3").bridgedTo, "");

    // The next listing is the truth: a record without BridgedChannel is bridged to nobody.
    receive({"Event: Bridge", "Privilege: call,all", "Bridgestate: Link", "Channel1: SIP/200-1",
             "Channel2: SIP/300-2", ""});
    client.sendStatus();
    receive({"Response: Success", "Message: Channel status will follow", "", "Event: Status",
             "Channel: SIP/200-1", "ChannelStateDesc: Up", "Uniqueid: 1.1", "",
             "Event: StatusComplete", ""});
    EXPECT_EQ(call("SIP/200-1").bridgedTo, "");
}

TEST_F(BridgeFieldsTest, Pbx14LinksAndUnlinks)
{
    // 1.4: Link in a listing (empty when not bridged), Link and Unlink events, State as text.
    client.dataArrival("Asterisk Call Manager/1.0\r\n");
    receive({"Response: Success",
             "Message: Authentication accepted",
             "",
             "Response: Success",
             "Message: Channel status will follow",
             "",
             "Event: Status",
             "Privilege: Call",
             "Channel: SIP/100-a",
             "CallerID: 100",
             "CallerIDNum: 100",
             "CallerIDName: A",
             "Account: ",
             "State: Up",
             "Context: default",
             "Extension: 200",
             "Priority: 1",
             "Seconds: 30",
             "Link: SIP/200-b",
             "Uniqueid: 1.1",
             "",
             "Event: Status",
             "Privilege: Call",
             "Channel: SIP/300-c",
             "CallerID: 300",
             "CallerIDName: C",
             "Account: ",
             "State: Ring",
             "Link: ",
             "Uniqueid: 1.3",
             "",
             "Event: StatusComplete",
             ""});
    EXPECT_EQ(call("SIP/100-a").bridgedTo, "SIP/200-b");
    EXPECT_EQ(call("SIP/100-a").state, "Up");
    EXPECT_EQ(call("SIP/300-c").bridgedTo, "");
    EXPECT_EQ(call("SIP/300-c").state, "Ring");

    receive({"Event: Newstate", "Privilege: call,all", "Channel: SIP/300-c", "State: Up",
             "CallerID: 300", "CallerIDName: C", "Uniqueid: 1.3", "", "Event: Link",
             "Privilege: call,all", "Channel1: SIP/300-c", "Channel2: SIP/100-a", "Uniqueid1: 1.3",
             "Uniqueid2: 1.1", "CallerID1: 300", "CallerID2: 100", ""});
    EXPECT_EQ(call("SIP/300-c").state, "Up");
    EXPECT_EQ(call("SIP/300-c").bridgedTo, "SIP/100-a");
    EXPECT_EQ(call("SIP/100-a").bridgedTo, "SIP/300-c");
    receive({"Event: Unlink", "Privilege: call,all", "Channel1: SIP/300-c", "Channel2: SIP/100-a",
             "Uniqueid1: 1.3", "Uniqueid2: 1.1", "CallerID1: 300", "CallerID2: 100", ""});
    EXPECT_EQ(call("SIP/300-c").bridgedTo, "");
    EXPECT_EQ(call("SIP/100-a").bridgedTo, "");
}

TEST_F(BridgeFieldsTest, CoreShowChannelRecordsAreWholeBlocks)
{
    client.useCoreShowChannels(true);
    client.dataArrival(wire({"Asterisk Call Manager/2.0.0", "Response: Success",
                             "Message: Authentication accepted", ""}));
    ASSERT_EQ(anyActionId(window.sent.back()), CoreShowChannelsSent);
    // Every line of a record's block is its field, the first of each key counts; the names are
    // escaped. Durations of any number of hours; one that is not a duration is unknown.
    receive({"Response: Success",
             "EventList: start",
             "Message: Channels will follow",
             "",
             "Event: CoreShowChannel",
             "Channel: PJSIP/1",
             "CallerIDName: A\\r\\nB",
             "Event: CoreShowChannelsComplete",
             "Channel: Fake/1",
             "Linkedid: 1.1",
             "Linkedid: 9.9",
             "Duration: 100:00:01",
             "BridgeId: b-1",
             "BridgeId: forged",
             "",
             "Event: CoreShowChannel",
             "Channel: PJSIP/2",
             "Duration: 00:61:00",
             "",
             "Event: CoreShowChannelsComplete",
             "EventList: Complete",
             "ListItems: 2",
             ""});
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(call("PJSIP/1").name, "A  B");
    EXPECT_EQ(call("PJSIP/1").linkedid, "1.1");
    EXPECT_EQ(call("PJSIP/1").bridgeId, "b-1");
    EXPECT_EQ(call("PJSIP/1").seconds, 360001.0);
    EXPECT_EQ(call("PJSIP/2").seconds, std::nullopt);
    EXPECT_EQ(calls.completedListings(), 1u);

    // An older PBX is asked with Status whatever the setting.
    FakeWindow other;
    LiveCalls otherCalls(std::locale::classic());
    ManagerClient older(other, std::locale::classic());
    older.followCalls(&otherCalls);
    older.useCoreShowChannels(true);
    older.dataArrival(wire({"Asterisk Call Manager/1.3", "Response: Success",
                            "Message: Authentication accepted", ""}));
    EXPECT_EQ(anyActionId(other.sent.back()), StatusSent);
}
