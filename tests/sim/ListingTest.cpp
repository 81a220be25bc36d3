#include "Listing.h"

#include "Blocks.h"
#include "CallTable.h"
#include "Forgeries.h"
#include "RecordedCalls.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <tuple>

using namespace pbxsim;
using namespace simtest;

namespace {

std::string recording(const std::string& name)
{
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The PBX's answer to Status in a recorded conversation: what followed the greeting (30 bytes)
// and the login answer (55 bytes).
std::string recordedStatus(const std::string& conversation)
{
    const std::string bytes = recording(conversation + ".recv.bin");
    return bytes.size() > 85 ? bytes.substr(85) : std::string();
}

// Blanks the values of a key that depends on how the PBX paired the channels.
std::string blankValues(const std::string& text, const std::string& key)
{
    return std::regex_replace(text, std::regex("\r\n" + key + ": [^\r]*\r\n"),
                              "\r\n" + key + ": #\r\n");
}

} // namespace

TEST(ListingTest, ModernAnswerHasTheRecordedShape)
{
    const std::string recorded = recordedStatus("05_status_calls");
    ASSERT_FALSE(recorded.empty()) << "missing recording in " << CORVALE_FIXTURES_DIR;
    const std::string ours = statusAnswer(generateCalls(12, 7, Now), Dialect::Modern, Now);

    EXPECT_EQ(shapeOf(ours), shapeOf(recorded));
    const std::vector<Block> blocks = splitBlocks(ours);
    ASSERT_EQ(blocks.size(), 14u);
    EXPECT_EQ(blocks[1].size(), 32u);
    EXPECT_EQ(field(blocks.back(), "ListItems"), "12");
}

// Only Linkedid differs: the simulator does not pair channels, so each is its own link.
TEST(ListingTest, ModernAnswerForTheRecordedCallsEqualsTheRecording)
{
    const std::string recorded = recordedStatus("05_status_calls");
    const std::string ours = statusAnswer(recordedCalls(), Dialect::Modern, Now);
    EXPECT_EQ(blankValues(ours, "Linkedid"), blankValues(recorded, "Linkedid"));

    const std::string name = "O'Neil \"Bob\" back\\slash Who? tab\tend";
    const std::vector<Call> escaped = {leg(107, 1, 0x56, "", "1796751657.172", 3),
                                       leg(107, 2, 0x56, name, "1796751657.173", 3)};
    EXPECT_EQ(blankValues(statusAnswer(escaped, Dialect::Modern, Now), "Linkedid"),
              blankValues(recordedStatus("12b_status_escaped_callername"), "Linkedid"));

    EXPECT_EQ(statusAnswer({}, Dialect::Modern, Now), recordedStatus("04_status_empty"));
}

TEST(ListingTest, LegacyAnswerHasTheShortRecordWithRawNames)
{
    const std::vector<Call> calls = hostileCalls(Now);
    const std::string text = statusAnswer(calls, Dialect::Legacy, Now);
    const std::vector<Block> blocks = splitBlocks(text);
    ASSERT_EQ(blocks.size(), calls.size() + 2);

    EXPECT_EQ(blocks.front(), (Block{"Response: Success", "Message: Channel status will follow"}));
    EXPECT_EQ(blocks.back(),
              (Block{"Event: StatusComplete", "Items: " + std::to_string(calls.size())}));
    const std::vector<std::string> keys = {
        "Event", "Privilege", "Channel",   "CallerID", "CallerIDNum", "CallerIDName", "Account",
        "State", "Context",   "Extension", "Priority", "Seconds",     "Link",         "Uniqueid"};
    std::set<std::string> names;
    for (std::size_t i = 1; i + 1 < blocks.size(); ++i) {
        EXPECT_EQ(shapeOf(text)[i], keys);
        names.insert(field(blocks[i], "CallerIDName"));
    }
    // Legacy sends what the caller set; the current dialect escapes it.
    EXPECT_TRUE(names.count("O'Neil \"Bob\" back\\slash Who? tab\tend"));
    EXPECT_TRUE(names.count("<unknown>"));
    EXPECT_NE(statusAnswer(calls, Dialect::Modern, Now)
                  .find("CallerIDName: O\\'Neil \\\"Bob\\\" back\\\\slash Who\\? tab\\tend\r\n"),
              std::string::npos);
}

TEST(ListingTest, SecondsGrowWithTime)
{
    const std::vector<Call> calls = generateCalls(3, 1, Now);
    for (const Dialect dialect : {Dialect::Legacy, Dialect::Modern}) {
        const std::vector<Block> before = splitBlocks(statusAnswer(calls, dialect, Now));
        const std::vector<Block> later = splitBlocks(statusAnswer(calls, dialect, Now + 90));
        for (std::size_t i = 1; i <= calls.size(); ++i) {
            EXPECT_EQ(std::stoll(field(before[i], "Seconds")), Now - calls[i - 1].startedAt);
            EXPECT_EQ(std::stoll(field(later[i], "Seconds")), Now + 90 - calls[i - 1].startedAt);
        }
    }
}

TEST(ListingTest, GeneratedCallsLookRealAndRepeatForASeed)
{
    const std::vector<Call> calls = generateCalls(2000, 42, Now);
    ASSERT_EQ(calls.size(), 2000u);
    const std::regex channel("(SIP|PJSIP)/[A-Za-z0-9]+-[0-9a-f]{8}");
    std::set<std::string> channels, ids;
    std::size_t nonAscii = 0, unnamed = 0;
    for (const Call& call : calls) {
        EXPECT_TRUE(std::regex_match(call.channel, channel)) << call.channel;
        EXPECT_LE(call.startedAt, Now);
        EXPECT_GT(call.startedAt, Now - 3600);
        EXPECT_FALSE(call.extension.empty());
        channels.insert(call.channel);
        ids.insert(call.uniqueid);
        nonAscii += std::any_of(call.callerName.begin(), call.callerName.end(),
                                [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        unnamed += call.callerName.empty();
    }
    EXPECT_EQ(channels.size(), calls.size());
    EXPECT_EQ(ids.size(), calls.size());
    EXPECT_GT(nonAscii, 100u);
    EXPECT_GT(unnamed, 20u);

    const std::vector<Call> again = generateCalls(2000, 42, Now);
    const std::vector<Call> other = generateCalls(2000, 43, Now);
    auto same = [](const Call& a, const Call& b) {
        return a.channel == b.channel && a.callerName == b.callerName &&
               a.startedAt == b.startedAt && a.uniqueid == b.uniqueid;
    };
    EXPECT_TRUE(std::equal(calls.begin(), calls.end(), again.begin(), same));
    EXPECT_FALSE(std::equal(calls.begin(), calls.end(), other.begin(), same));
}

// Recording 19: the legs of a bridge share a BridgeID and a Linkedid; older generations name the
// peer instead (1.4's Link, 1.8 to 11's BridgedChannel and BridgedUniqueid when bridged).
TEST(ListingTest, BridgedCallsCarryTheirBridgeInEveryDialect)
{
    const std::string id = "c2a9a126-513a-4b27-9928-08eca28835bc";
    std::vector<Call> calls = generateCalls(3, 7, Now);
    CallTable table(calls);
    const Call& a = calls[0];
    const Call& b = calls[1];
    ASSERT_TRUE(table.bridge(b.channel, a.channel, id));
    const Call& older = a.startedAt <= b.startedAt ? a : b;

    const std::vector<Block> modern =
        splitBlocks(statusAnswer(table.calls(), Dialect::Modern, Now));
    ASSERT_EQ(modern.size(), 5u);
    EXPECT_EQ(shapeOf(statusAnswer(table.calls(), Dialect::Modern, Now))[1],
              shapeOf(recordedStatus("19_status_bridged"))[1]);
    EXPECT_EQ(field(modern[1], "BridgeID") + field(modern[2], "BridgeID"), id + id);
    EXPECT_EQ(field(modern[3], "BridgeID"), "");
    EXPECT_EQ(field(modern[1], "Linkedid"), older.uniqueid);
    EXPECT_EQ(field(modern[2], "Linkedid"), older.uniqueid);
    EXPECT_EQ(field(modern[3], "Linkedid"), calls[2].uniqueid);

    const std::vector<Block> legacy =
        splitBlocks(statusAnswer(table.calls(), Dialect::Legacy, Now));
    EXPECT_EQ(field(legacy[1], "Link") + "|" + field(legacy[2], "Link") + "|" +
                  field(legacy[3], "Link"),
              b.channel + "|" + a.channel + "|");

    const auto shape = shapeOf(statusAnswer(table.calls(), Dialect::Pbx18, Now));
    const std::vector<std::string> unbridged = {
        "Event",        "Privilege",        "Channel",           "CallerIDNum",
        "CallerIDName", "ConnectedLineNum", "ConnectedLineName", "Accountcode",
        "ChannelState", "ChannelStateDesc", "Context",           "Extension",
        "Priority",     "Seconds",          "Uniqueid"};
    std::vector<std::string> bridged = unbridged;
    bridged.insert(bridged.end() - 1, {"BridgedChannel", "BridgedUniqueid"});
    EXPECT_EQ(shape,
              (std::vector<std::vector<std::string>>{
                  {"Response", "Message"}, bridged, bridged, unbridged, {"Event", "Items"}}));
    const std::vector<Block> pbx18 = splitBlocks(statusAnswer(table.calls(), Dialect::Pbx18, Now));
    EXPECT_EQ(field(pbx18[1], "BridgedUniqueid"), b.uniqueid);
}

namespace {

// The CoreShowChannels answer of recording 19, from its list answer to its completion.
std::string recordedCoreShowChannels()
{
    const std::string bytes = recording("19_status_bridged.recv.bin");
    const std::size_t from =
        bytes.find("Response: Success\r\nEventList: start\r\nMessage: Channels");
    const std::size_t to = bytes.find("\r\n\r\n", bytes.find("Event: CoreShowChannelsComplete"));
    return from == std::string::npos || to == std::string::npos ? std::string()
                                                                : bytes.substr(from, to + 4 - from);
}

} // namespace

// Recording 19: a current PBX lists its channels in the channel block its events carry.
TEST(ListingTest, CoreShowChannelsAsRecorded)
{
    const std::string recorded = recordedCoreShowChannels();
    ASSERT_FALSE(recorded.empty());
    std::vector<Call> calls = generateCalls(8, 3, Now);
    EXPECT_EQ(shapeOf(coreShowChannelsAnswer(calls, true, Now, "")), shapeOf(recorded));

    // The agent leg of the first call, byte for byte.
    Call agent = leg(4001, 1, 0, "", "1796813979.122", 4);
    agent.channel = "Local/4001@bridged-0000003d;1";
    const std::vector<Block> ours = splitBlocks(coreShowChannelsAnswer({agent}, true, Now, ""));
    ASSERT_EQ(ours.size(), 3u);
    EXPECT_EQ(ours[1], splitBlocks(recorded)[1]);
    EXPECT_EQ(ours[2],
              (Block{"Event: CoreShowChannelsComplete", "EventList: Complete", "ListItems: 1"}));

    // Every name escaped; a bridge named; an ActionID in every block.
    CallTable table(generateCalls(2, 3, Now));
    Call quoted = hostileCalls(Now)[11]; // O'Neil "Bob" back\slash ...
    quoted.startedAt = Now;
    table.start(quoted);
    ASSERT_TRUE(table.bridge(table.calls()[0].channel, table.calls()[1].channel, "b-1"));
    const std::vector<Block> current =
        splitBlocks(coreShowChannelsAnswer(table.calls(), true, Now + 3725, "x9"));
    EXPECT_EQ(field(current[3], "CallerIDName"), cEscape(table.calls()[2].callerName));
    EXPECT_EQ(field(current[3], "Duration"), "01:02:05");
    EXPECT_EQ(field(current[1], "BridgeId") + field(current[2], "BridgeId"), "b-1b-1");
    for (const Block& block : current)
        EXPECT_EQ(field(block, "ActionID"), "x9");

    // 1.8 to 11: their own field names, names raw and unset ones empty, the peer by name.
    const std::string older = coreShowChannelsAnswer(table.calls(), false, Now, "");
    const std::vector<Block> blocks = splitBlocks(older);
    EXPECT_EQ(shapeOf(older)[1],
              (std::vector<std::string>{
                  "Event", "Channel", "UniqueID", "Context", "Extension", "Priority",
                  "ChannelState", "ChannelStateDesc", "Application", "ApplicationData",
                  "CallerIDnum", "CallerIDname", "ConnectedLineNum", "ConnectedLineName",
                  "Duration", "AccountCode", "BridgedChannel", "BridgedUniqueID"}));
    EXPECT_EQ(field(blocks[3], "CallerIDname"), table.calls()[2].callerName);
    EXPECT_EQ(field(blocks[1], "BridgedChannel"), table.calls()[1].channel);
    EXPECT_EQ(field(blocks[1], "BridgedUniqueID"), table.calls()[1].uniqueid);
    EXPECT_EQ(shapeOf(older).back(), (std::vector<std::string>{"Event", "EventList", "ListItems"}));
}

namespace {

// The calls of recording 26 as its second Status lists them: 112 and 113 with names that forge
// a record of 2001;2 and a Shutdown, the one 18 s up, the other's legs 19 s.
std::vector<Call> forgingCalls(Dialect dialect)
{
    const std::string victim = "Local/2001@calls-00000000;2";
    Call forger = forgingCall(dialect, "Local/112@calls-00000001;2", "5550112", "Connected Forger",
                              forgedStatusRecord(dialect, victim));
    Call shutdown = forgingCall(dialect, "Local/113@calls-00000002;2", "5550113", "Shutdown Forger",
                                forgedShutdown());
    std::vector<Call> calls;
    for (auto [call, id, linked, age] :
         {std::tuple{forger, "1796857525.3", "1796857525.2", 18},
          {leg(112, 1, 1, "", "1796857525.2", 18), "", "", 18},
          {leg(2001, 2, 0, "Carol Smith", "1796857524.1", 19), "", "1796857524.0", 19},
          {leg(2001, 1, 0, "", "1796857524.0", 19), "", "", 19},
          {leg(113, 1, 2, "", "1796857525.4", 18), "", "", 18},
          {shutdown, "1796857525.5", "1796857525.4", 18}}) {
        call.context = call.channel.back() == '2' ? "calls" : "agents";
        call.extension = call.channel.substr(6, call.channel.find('@') - 6);
        if (*id != '\0')
            call.uniqueid = id;
        call.linkedid = linked;
        call.startedAt = Now - age;
        calls.push_back(call);
    }
    calls[2].callerNum = "5552001";
    return calls;
}

} // namespace

// Recording 26: an empty line in a name cuts the genuine record, and the record's rest, ActionID
// and all, closes the forged one; CoreShowChannels escapes every name.
TEST(ListingTest, ForgedNamesCutTheListingAsRecorded)
{
    const std::vector<std::string> recorded =
        answersIn(fixture("26_status_empty_line_in_name.recv.bin"));
    ASSERT_EQ(recorded.size(), 5u);
    const std::vector<Call> calls = forgingCalls(Dialect::Modern);
    // The recording's dialplan runs the forgers one priority further.
    const auto comparable = [](const std::string& text) { return blankValues(text, "Priority"); };
    EXPECT_EQ(comparable(statusAnswer(calls, Dialect::Modern, Now - 1)), comparable(recorded[1]));
    EXPECT_EQ(comparable(statusAnswer(calls, Dialect::Modern, Now, "7f3c9a1e5b2d4c68")),
              comparable(recorded[2]));
    EXPECT_EQ(comparable(coreShowChannelsAnswer(calls, true, Now + 1, "")),
              comparable(recorded[3]));
}

// Up to 11 the caller's name is raw in the record, and forges the same records there.
TEST(ListingTest, ForgedNamesCutEveryDialect)
{
    for (const auto& [dialect, raw] : {std::pair{Dialect::Legacy, "CallerIDName"},
                                       {Dialect::Pbx18, "CallerIDName"},
                                       {Dialect::Modern, "EffectiveConnectedLineName"}}) {
        const std::vector<Block> blocks =
            splitBlocks(statusAnswer(forgingCalls(dialect), dialect, Now, "id-1"));
        std::vector<std::string> forged;
        for (std::size_t i = 1; i + 1 < blocks.size(); ++i) {
            if (blocks[i].back() != "ActionID: id-1")
                forged.push_back(blocks[i].back() + " / " + blocks[i + 1].front() + " " +
                                 field(blocks[i + 1], "Channel") + " " + blocks[i + 1].back());
        }
        EXPECT_EQ(forged, (std::vector<std::string>{
                              "Seconds: 987654 / Event: Status Local/2001@calls-00000000;2 "
                              "ActionID: id-1",
                              std::string(raw) + ": x / Event: Shutdown (none) ActionID: id-1"}))
            << static_cast<int>(dialect);
    }
}
