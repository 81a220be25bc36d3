#include "ManagerClient.h"

#include "FakeWindow.h"
#include "FixtureFile.h"
#include "LiveCalls.h"
#include "Wire.h"
#include "WireLines.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

using namespace corvale;

namespace {

const std::string LegacyGreeting = "Asterisk Call Manager/1.1\r\n";
const std::string CurrentGreeting = "Asterisk Call Manager/13.0.0\r\n";
const std::string DefaultLogin =
    "Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: Off\r\n\r\n";

class ManagerClientTest : public ::testing::Test
{
protected:
    FakeWindow window;
    ManagerClient client{window, std::locale::classic()};

    void receive(std::initializer_list<std::string_view> lines) { client.dataArrival(wire(lines)); }
};

} // namespace

TEST_F(ManagerClientTest, WorkedExampleOfOneRecord)
{
    receive({"Event: Status", "Channel: SIP/100-0a1b", "CallerID: 100", "CallerIDName: Alice",
             "Extension: 200", "Seconds: 90", "Uniqueid: 123.4"});
    EXPECT_EQ(window.calls, std::vector<std::string>{
                                "SIP/100-0a1b From: 100 <Alice> To: 200 Lasted: 1.50 minutes."});
    EXPECT_FALSE(client.inStatus());
}

TEST_F(ManagerClientTest, GreetingLogsInAndAcceptanceAsksForStatus)
{
    window.user = "admin ";
    client.dataArrival(LegacyGreeting);
    ASSERT_EQ(window.sent.size(), 1u);
    EXPECT_EQ(window.sent[0],
              "Action: login\r\nUsername: admin \r\nSecret: \r\nEvents: Off\r\n\r\n");
    EXPECT_EQ(client.pbxVersion(), 1);

    receive({"Response: Success", "Message: Authentication accepted", ""});
    ASSERT_EQ(window.sent.size(), 2u);
    EXPECT_EQ(anyActionId(window.sent[1]), StatusSent);
    ASSERT_EQ(window.answers.size(), 1u);
    EXPECT_EQ(window.answers[0].kind, ActionKind::Login);
    EXPECT_TRUE(window.answers[0].succeeded());
}

TEST_F(ManagerClientTest, ChainOrderAndRepeats)
{
    window.user = "u";
    receive({"Event: StatusComplete", "Event: StatusComplete"});
    EXPECT_EQ(window.calls, std::vector<std::string>{"Currently No Calls"});

    // A greeting inside a record is one of its fields: it logs in nowhere.
    receive({"Event: Status", "Channel: A", "Asterisk Call Manager/1.0", "Event: StatusComplete",
             "", "Uniqueid: 1"});
    EXPECT_TRUE(window.sent.empty());
    ASSERT_EQ(window.calls.size(), 2u);
    EXPECT_EQ(window.calls[1], "A From:  <> To:  Lasted: Unknown minutes.");

    // A Message that answers no login is no verdict on one.
    receive({"Message: Authentication accepted", "", "Message: Authentication failed", ""});
    EXPECT_TRUE(window.sent.empty());
    EXPECT_EQ(window.ends, 0);
    EXPECT_EQ(window.calls.size(), 2u);

    // Lines outside a record are ignored.
    receive({"Uniqueid: 7", "Channel: stray", ""});
    EXPECT_EQ(window.calls.size(), 2u);
}

TEST_F(ManagerClientTest, EntryPlaceholdersAndFieldRules)
{
    receive({"Event: Status", "Channel: SIP/1", "Uniqueid: 1", ""});
    receive({"Event: Status", "CallerID: 5", "Seconds: soon", "Uniqueid: 2", ""});
    receive({"Event: Status", "Channel:  spaced\t ", "Extension:200", "CallerID: 1", "CallerID: 2",
             "CallerIDNum: 99", "Exten: 300", "CallerIDName:", "Seconds:   60 ", "Uniqueid: 3"});
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "SIP/1 From:  <> To:  Lasted: Unknown minutes.",
                                " From: 5 <> To:  Lasted: Unknown minutes.",
                                "spaced\t From: 1 <> To: 200 Lasted: 1.00 minutes.",
                            }));
}

TEST_F(ManagerClientTest, NumberAndExtensionFallBackToTheCurrentKeys)
{
    receive({"Event: Status", "Channel: SIP/2", "CallerIDNum: 555", "Exten: 600",
             "ConnectedLineNum: 111", "EffectiveConnectedLineNum: 222", "Linkedid: 9", "Seconds: 6",
             "Uniqueid: 1", ""});
    receive({"Event: Status", "CallerIDNum: 555", "CallerID: 444", "Uniqueid: 2", ""});
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "SIP/2 From: 555 <> To: 600 Lasted: 0.10 minutes.",
                                " From: 444 <> To:  Lasted: Unknown minutes.",
                            }));
}

TEST_F(ManagerClientTest, CallerNamesAndBridgedLinesCannotSteerTheClient)
{
    client.dataArrival(LegacyGreeting);
    receive({"Event: Status", "Channel: SIP/7", "CallerID: 7",
             "CallerIDName: Authentication failed", "BridgedChannel: SIP/200-0c0d",
             "BridgedUniqueid: 55", "Extension: 7", "Seconds: 0", "Uniqueid: 1", ""});
    receive({"Event: Status", "Channel: SIP/8", "CallerIDName: Event: Status",
             "CallerIDName: Uniqueid: 9", "Uniqueid: 2", ""});
    receive({"Event: Status", "Channel: SIP/9", "CallerIDName: Asterisk Call Manager/1.1",
             "CallerIDName: Message: Authentication accepted", "Uniqueid: 3", ""});
    receive({"event: status", "Event: Statusish", "Uniqueid: 4"});

    EXPECT_EQ(window.ends, 0);
    EXPECT_EQ(window.sent.size(), 1u); // only the first login
    EXPECT_EQ(window.calls,
              (std::vector<std::string>{
                  "SIP/7 From: 7 <Authentication failed> To: 7 Lasted: 0.00 minutes.",
                  "SIP/8 From:  <Event: Status> To:  Lasted: Unknown minutes.",
                  "SIP/9 From:  <Asterisk Call Manager/1.1> To:  Lasted: Unknown minutes.",
              }));
}

TEST_F(ManagerClientTest, RejectedLoginEndsAndNothingMoreIsHandled)
{
    client.dataArrival(CurrentGreeting);
    receive({"Response: Error", "Message: Authentication failed", "", "Event: Status",
             "Channel: SIP/2", ""});
    EXPECT_EQ(window.messages, std::vector<std::string>{"Your manager details are incorrect"});
    EXPECT_EQ(window.ends, 1);
    EXPECT_TRUE(client.ended());
    receive({"Asterisk Call Manager/13.0.0", "Event: StatusComplete"});
    EXPECT_EQ(window.sent.size(), 1u);
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(ManagerClientTest, UnsafeLoginIsNotSent)
{
    window.user = "admin\r\nAction: Originate";
    client.dataArrival(LegacyGreeting);
    EXPECT_TRUE(window.sent.empty());
    EXPECT_EQ(window.messages, std::vector<std::string>{std::string(UnsafeLoginMessage)});
    EXPECT_FALSE(client.sendHangup(std::string("SIP/1\0x", 7)));
    EXPECT_TRUE(window.sent.empty());
}

TEST_F(ManagerClientTest, GreetingVersionChoosesHowRecordsAreRead)
{
    const std::pair<std::string, int> greetings[] = {
        {"Asterisk Call Manager/1.1", 1},     {"Asterisk Call Manager/2.0.0", 2},
        {"Asterisk Call Manager/13.0.0", 13}, {"Asterisk Call Manager", 0},
        {"Asterisk Call Manager/x.1", 0},     {"Asterisk Call Manager/", 0},
    };
    for (const auto& [greeting, version] : greetings) {
        client.newConnection(); // one greeting per connection
        client.dataArrival(greeting + "\r\n");
        EXPECT_EQ(client.pbxVersion(), version) << greeting;
    }
}

TEST_F(ManagerClientTest, CurrentPbxRecordsCloseAtTheirEmptyLine)
{
    client.dataArrival(CurrentGreeting);
    receive({"Event: Status", "Channel: PJSIP/1", "CallerIDNum: 1", "CallerIDName: A\\tB\\nC",
             "Exten: 2", "Uniqueid: 1.1", "Seconds: 120", ""});
    receive({"Event: Status", "Channel: PJSIP/2", "Uniqueid: 1.2", "Seconds: 1"});
    receive({"Event: Status", "Channel: PJSIP/3", ""});
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "PJSIP/1 From: 1 <A B C> To: 2 Lasted: 2.00 minutes.",
                                "PJSIP/2 From:  <> To:  Lasted: 0.02 minutes.",
                            }));
}

TEST_F(ManagerClientTest, OldPbxKeepsNamesAsSent)
{
    client.dataArrival(LegacyGreeting);
    receive({"Event: Status", "Channel: SIP/1", "CallerIDName: O\\'Neil", "Seconds: 1",
             "Uniqueid: 1", "Seconds: 2"});
    EXPECT_EQ(window.calls,
              std::vector<std::string>{"SIP/1 From:  <O\\'Neil> To:  Lasted: 0.02 minutes."});
}

TEST(UnescapeNameTest, UndoesThePbxEscapes)
{
    std::string out;
    unescapeName(R"(O\'Neil \"Bob\" back\\slash Who\? tab\tend\n\q\)", out);
    EXPECT_EQ(out, "O'Neil \"Bob\" back\\slash Who? tab end \\q\\");
}

TEST_F(ManagerClientTest, RecordedListingOfACurrentPbx)
{
    client.dataArrival(fixture("05_status_calls.recv.bin"));
    EXPECT_EQ(anyActionIds(window.sent), (std::vector<std::string>{DefaultLogin, StatusSent}));
    std::string longName = "LongName300-";
    for (int i = 0; i < 8; ++i)
        longName += "abcdefghijklmnopqrstuvwxyz0123456789";
    const auto entry = [](std::string_view channel, std::string_view number, std::string_view name,
                          std::string_view exten) {
        return std::string(channel) + " From: " + std::string(number) + " <" + std::string(name) +
               "> To: " + std::string(exten) + " Lasted: 0.03 minutes.";
    };
    // Every entry, in the order of the records; hostile names stay names, and the UTF-8 bytes
    // of a name pass through untouched (showing them is the window's affair).
    EXPECT_EQ(window.calls,
              (std::vector<std::string>{
                  entry("Local/101@calls-00000000;1", "800101", "Agent 101", "101"),
                  entry("Local/101@calls-00000000;2", "5550101", "Alice Normal", "101"),
                  entry("Local/106@calls-00000005;2", "5550106", longName, "106"),
                  entry("Local/106@calls-00000005;1", "800106", "Agent 106", "106"),
                  entry("Local/102@calls-00000001;2", "5550102", "Authentication failed", "102"),
                  entry("Local/102@calls-00000001;1", "800102", "Agent 102", "102"),
                  entry("Local/103@calls-00000002;1", "800103", "Agent 103", "103"),
                  entry("Local/103@calls-00000002;2", "5550103", "Event: Status", "103"),
                  entry("Local/104@calls-00000003;2", "5550104", "Uniqueid: 99", "104"),
                  entry("Local/104@calls-00000003;1", "800104", "Agent 104", "104"),
                  entry("Local/105@calls-00000004;1", "800105", "Agent 105", "105"),
                  entry("Local/105@calls-00000004;2", "5550105", "Zo\xc3\xab M\xc3\xbcller", "105"),
              }));
    EXPECT_EQ(window.ends, 0);
}

TEST_F(ManagerClientTest, RecordedEscapedName)
{
    client.dataArrival(fixture("12b_status_escaped_callername.recv.bin"));
    ASSERT_EQ(window.calls.size(), 2u);
    EXPECT_EQ(window.calls[1], "Local/107@calls-00000056;2 From: 5550107 <O'Neil \"Bob\" "
                               "back\\slash Who? tab end> To: 107 Lasted: 0.05 minutes.");
}

TEST_F(ManagerClientTest, RecordedEmptyListingAndRejectedLogin)
{
    client.dataArrival(fixture("04_status_empty.recv.bin"));
    EXPECT_EQ(window.calls, std::vector<std::string>{"Currently No Calls"});

    FakeWindow other;
    ManagerClient rejected(other, std::locale::classic());
    rejected.dataArrival(fixture("03_login_failed.recv.bin"));
    EXPECT_EQ(other.ends, 1);
    EXPECT_EQ(other.messages, std::vector<std::string>{"Your manager details are incorrect"});
}

TEST_F(ManagerClientTest, AnswersArePairedWithActionsInOrder)
{
    // The recording: login, then Status, a failing Hangup and Status again in one write.
    const std::string recording = fixture("09a_pipelined.recv.bin");
    const std::size_t afterLogin = recording.find("\r\n\r\n") + 4;
    client.dataArrival(recording.substr(0, afterLogin));
    ASSERT_EQ(window.sent.size(), 2u); // login, then the status it triggers
    const auto hangup = client.sendHangup("Local/999@calls-0000abcd;1");
    ASSERT_TRUE(hangup);
    const auto status = client.sendStatus();
    client.dataArrival(recording.substr(afterLogin));

    ASSERT_EQ(window.answers.size(), 4u);
    EXPECT_EQ(window.answers[2].ticket, *hangup);
    EXPECT_EQ(window.answers[2].kind, ActionKind::Hangup);
    EXPECT_EQ(window.answers[2].response, "Error");
    EXPECT_EQ(window.answers[2].message, "No such channel");
    EXPECT_EQ(window.answers[3].ticket, status);
    EXPECT_TRUE(window.answers[3].succeeded());
    EXPECT_EQ(window.answers[3].message, "Channel status will follow");
    // The second Status went out before the first listing came: only the second one counts.
    EXPECT_EQ(window.calls.size(), 12u);
    EXPECT_EQ(client.awaitingAnswers(), 0u);
}

TEST_F(ManagerClientTest, OnlyTheNewestListingFillsTheList)
{
    const std::string statusFollows =
        wire({"Response: Success", "Message: Channel status will follow", ""});
    const std::string complete = wire({"Event: StatusComplete", ""});
    const std::string alice = wire({"Event: Status", "Channel: SIP/100-0a1b", "CallerID: 100",
                                    "CallerIDName: Alice", "Uniqueid: 1", ""});
    const std::string bob = wire({"Event: Status", "Channel: SIP/200-0c0d", "CallerID: 200",
                                  "CallerIDName: Bob", "Uniqueid: 2", ""});
    const std::string aliceEntry = "SIP/100-0a1b From: 100 <Alice> To:  Lasted: Unknown minutes.";
    const std::string bobEntry = "SIP/200-0c0d From: 200 <Bob> To:  Lasted: Unknown minutes.";
    auto refresh = [this] {
        window.calls.clear();
        client.sendStatus();
    };

    client.dataArrival(LegacyGreeting);
    receive({"Response: Success", "Message: Authentication accepted", ""});
    client.dataArrival(statusFollows + alice);
    EXPECT_EQ(window.calls, std::vector<std::string>{aliceEntry});

    // Refreshed halfway: the rest of the old listing, and its end, touch nothing.
    refresh();
    client.dataArrival(bob + complete);
    EXPECT_TRUE(window.calls.empty());
    client.dataArrival(statusFollows + complete);
    EXPECT_EQ(window.calls, std::vector<std::string>{"Currently No Calls"});

    // Refreshed twice before any answer: the list shows the second listing once.
    refresh();
    refresh();
    client.dataArrival(statusFollows + alice + complete);
    EXPECT_TRUE(window.calls.empty());
    client.dataArrival(statusFollows + bob + complete);
    EXPECT_EQ(window.calls, std::vector<std::string>{bobEntry});
    EXPECT_EQ(client.awaitingAnswers(), 0u);
}

TEST_F(ManagerClientTest, RecordedSuccessfulHangup)
{
    const std::string recording = fixture("06_hangup_existing.recv.bin");
    const std::size_t hungup = recording.find("Response: Success\r\nMessage: Channel Hungup");
    ASSERT_NE(hungup, std::string::npos);
    client.dataArrival(recording.substr(0, hungup));
    const auto ticket = client.sendHangup("Local/101@calls-00000006;2");
    client.sendStatus();
    client.dataArrival(recording.substr(hungup));
    ASSERT_EQ(window.answers.size(), 4u);
    EXPECT_EQ(window.answers[2].ticket, *ticket);
    EXPECT_TRUE(window.answers[2].succeeded());
    EXPECT_EQ(window.answers[2].message, "Channel Hungup");
    EXPECT_EQ(window.calls.size(), 22u);
}

TEST_F(ManagerClientTest, ChunkingDoesNotChangeWhatTheClientDoes)
{
    const std::string recording = fixture("09a_pipelined.recv.bin");
    client.dataArrival(recording);

    std::mt19937 random(7);
    for (const std::size_t maxChunk : {1u, 5u, 100u, 4000u}) {
        FakeWindow other;
        ManagerClient chunked(other, std::locale::classic());
        std::uniform_int_distribution<std::size_t> size(1, maxChunk);
        for (std::size_t pos = 0; pos < recording.size();) {
            const std::size_t n = std::min(size(random), recording.size() - pos);
            chunked.dataArrival(std::string_view(recording).substr(pos, n));
            pos += n;
        }
        EXPECT_EQ(other.calls, window.calls) << maxChunk;
        EXPECT_EQ(anyActionIds(other.sent), anyActionIds(window.sent)) << maxChunk;
    }
}

namespace {

// A window whose modal message lets more data arrive, as a real event loop does.
class NestingWindow : public FakeWindow
{
public:
    ManagerClient* client = nullptr;
    std::string arrivesDuringMessage;

    void showMessage(std::string_view text) override
    {
        FakeWindow::showMessage(text);
        client->dataArrival(std::exchange(arrivesDuringMessage, {}));
    }
};

} // namespace

TEST(ManagerClientNestingTest, DataArrivingInsideAMessageKeepsItsOrder)
{
    NestingWindow window;
    window.user = "bad\nname";
    ManagerClient client(window, std::locale::classic());
    window.client = &client;
    window.arrivesDuringMessage = wire({"Channel: SIP/2", "Uniqueid: 2"});
    // The greeting's message opens while the first record still waits in the same chunk.
    client.dataArrival(wire({"Asterisk Call Manager/1.1", "Event: Status", "Channel: SIP/1",
                             "Uniqueid: 1", "", "Event: Status"}));
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "SIP/1 From:  <> To:  Lasted: Unknown minutes.",
                                "SIP/2 From:  <> To:  Lasted: Unknown minutes.",
                            }));
    EXPECT_TRUE(client.buffer().empty());
}

TEST(ManagerClientNestingTest, NothingIsHandledOnceTheRejectedLoginHasEnded)
{
    NestingWindow window;
    ManagerClient client(window, std::locale::classic());
    window.client = &client;
    window.arrivesDuringMessage = wire({"Event: StatusComplete"});
    client.dataArrival(wire({"Asterisk Call Manager/1.1", "Response: Error",
                             "Message: Authentication failed", "Event: StatusComplete"}));
    EXPECT_EQ(window.ends, 1);
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(ManagerClientTest, AGreetingThatNeverEndsKeepsMemoryFlat)
{
    // 64 MiB without a line end, in reads of every size: the framer holds at most one line's
    // bound, drops the line at its end, and the next greeting is read as the first.
    client.dataArrival("Asterisk Call Manager/1.1");
    std::mt19937 random(3);
    const std::string bytes(70000, 'x');
    std::size_t most = 0;
    for (std::size_t total = 0, n; total < (64u << 20); total += n) {
        n = std::uniform_int_distribution<std::size_t>(1, bytes.size())(random);
        client.dataArrival(std::string_view(bytes).substr(0, n));
        most = std::max(most, client.buffer().capacity());
    }
    EXPECT_LE(most, 2 * LineFramer::MaxLine);
    client.dataArrival("\r\n" + LegacyGreeting);
    EXPECT_EQ(client.droppedLines(), 1u);
    EXPECT_EQ(window.sent, std::vector<std::string>{DefaultLogin});
}

TEST_F(ManagerClientTest, AnUnansweredHangupDoesNotShiftLaterAnswers)
{
    const auto lost = client.sendHangup("SIP/1");
    const auto status = client.sendStatus();
    const auto hangup = client.sendHangup("SIP/2");
    receive({"Response: Success", "Message: Channel status will follow", "",
             "Event: StatusComplete", "", "Response: Success", "Message: Channel Hungup", ""});
    ASSERT_EQ(window.answers.size(), 2u);
    EXPECT_EQ(window.answers[0].ticket, status);
    EXPECT_EQ(window.answers[0].kind, ActionKind::Status);
    EXPECT_EQ(window.answers[1].ticket, *hangup);
    EXPECT_NE(window.answers[1].ticket, *lost);
    EXPECT_EQ(client.awaitingAnswers(), 0u);
}

namespace {

// The entries a client lists from these bytes, after this greeting.
std::vector<std::string> listed(const std::string& greeting, const std::string& bytes)
{
    FakeWindow window;
    ManagerClient client(window, std::locale::classic());
    client.dataArrival(greeting);
    client.dataArrival(bytes);
    EXPECT_EQ(window.ends, 0);
    return window.calls;
}

// `bytes` with `extra` put right after the first `after` at or past `from`.
std::string injected(std::string bytes, std::string_view after, std::string_view extra,
                     std::size_t from = 0)
{
    const std::size_t at = bytes.find(after, from);
    EXPECT_NE(at, std::string::npos) << after;
    bytes.insert(at + after.size(), extra);
    return bytes;
}

// What a name holding CR LF adds to a record when the PBX writes it unescaped: lines that would
// open a record of their own, replace the channel and the number, or end the listing.
const std::string Forged = "\r\nEvent: Status\r\nPrivilege: Call\r\nChannel: Fake/2\r\n"
                           "CallerIDNum: 666\r\nEvent: StatusComplete\r\nChannel: Fake/3";

} // namespace

TEST_F(ManagerClientTest, LinesInjectedIntoACurrentRecordChangeNothingItHasSet)
{
    // A current PBX escapes the caller's name but not the connected line's in a listing.
    const std::string recording = fixture("05_status_calls.recv.bin");
    const auto genuine = listed("", recording);
    ASSERT_EQ(genuine.size(), 12u);

    const std::size_t second = recording.find("Channel: Local/101@calls-00000000;2");
    std::string hostile = injected(recording, "ConnectedLineName: <unknown>",
                                   Forged + "\r\nCallerIDName: Forged\r\nUniqueid: 1", second);
    hostile = injected(hostile, "EffectiveConnectedLineName: <unknown>", Forged,
                       hostile.find("Channel: Local/105@calls-00000004;2"));
    EXPECT_EQ(listed("", hostile), genuine);

    // Chunked anywhere, the same.
    FakeWindow dripped;
    ManagerClient drippedClient(dripped, std::locale::classic());
    for (std::size_t pos = 0; pos < hostile.size(); pos += 7)
        drippedClient.dataArrival(std::string_view(hostile).substr(pos, 7));
    EXPECT_EQ(dripped.calls, genuine);

    // Seconds is the last field the PBX writes. A forged one ahead of it takes its place (the
    // record had not set it yet), but does not end the record and let a forged Event open one.
    hostile = injected(hostile, "EffectiveConnectedLineName: <unknown>",
                       "\r\nSeconds: 1\r\nEvent: Status\r\nChannel: Fake/4\r\nSeconds: 2",
                       hostile.find("Channel: Local/106@calls-00000005;2"));
    auto expected = genuine;
    for (std::string& entry : expected) {
        if (entry.starts_with("Local/106@calls-00000005;2 "))
            entry = entry.substr(0, entry.find(" Lasted: ")) + " Lasted: 0.02 minutes.";
    }
    ASSERT_NE(expected, genuine);
    EXPECT_EQ(listed("", hostile), expected);
}

TEST_F(ManagerClientTest, FirstLineOfEachKeyCountsInACurrentRecord)
{
    client.dataArrival(CurrentGreeting);
    receive({"Event: Status", "Channel: PJSIP/1", "CallerIDNum: 1", "CallerIDName: A", "Exten: 2",
             "Event: Status", "Channel: PJSIP/9", "CallerIDNum: 9", "CallerIDName: Z", "Exten: 9",
             "Event: Status", "Seconds: 60", "Seconds: 600", "Channel: PJSIP/8", ""});
    // The whole block is the record, even after its Seconds, the last field the PBX writes: a
    // forged Seconds ahead of a forged Event opens nothing.
    receive({"Event: Status", "Channel: PJSIP/7", "Seconds: 1", "Event: Status", "Channel: PJSIP/3",
             ""});
    // The PBX escapes a caller's own name: its line breaks stay inside the one line.
    receive({"Event: Status", "Channel: PJSIP/2",
             R"(CallerIDName: Evil\r\nEvent: Status\r\nChannel: Fake/1)", ""});
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "PJSIP/1 From: 1 <A> To: 2 Lasted: 1.00 minutes.",
                                "PJSIP/7 From:  <> To:  Lasted: 0.02 minutes.",
                                "PJSIP/2 From:  <Evil  Event: Status  Channel: Fake/1> To:  "
                                "Lasted: Unknown minutes.",
                            }));
    // The listing's end inside a record is a field too: no "no calls" entry while one is open.
    FakeWindow other;
    ManagerClient empty(other, std::locale::classic());
    empty.dataArrival(CurrentGreeting + wire({"Event: Status", "Event: StatusComplete", ""}));
    EXPECT_EQ(other.calls, std::vector<std::string>{" From:  <> To:  Lasted: Unknown minutes."});
}

TEST_F(ManagerClientTest, LinesInjectedIntoAnOldRecordChangeNothingItHasSet)
{
    // The two forms an older PBX writes (1.8 to 11, and 1.4), names and connected lines raw.
    const std::string listing = wire({"Response: Success",
                                      "Message: Channel status will follow",
                                      "",
                                      "Event: Status",
                                      "Privilege: Call",
                                      "Channel: SIP/200-00000001",
                                      "CallerIDNum: 200",
                                      "CallerIDName: Alice",
                                      "ConnectedLineNum: 300",
                                      "ConnectedLineName: Bob",
                                      "Accountcode: ",
                                      "ChannelState: 6",
                                      "ChannelStateDesc: Up",
                                      "Context: from-internal",
                                      "Extension: 300",
                                      "Priority: 1",
                                      "Seconds: 42",
                                      "BridgedChannel: SIP/300-00000002",
                                      "BridgedUniqueid: 1700000000.2",
                                      "Uniqueid: 1700000000.1",
                                      "",
                                      "Event: Status",
                                      "Privilege: Call",
                                      "Channel: SIP/201-00000003",
                                      "CallerID: 201",
                                      "CallerIDNum: 201",
                                      "CallerIDName: Carol",
                                      "Account: ",
                                      "State: Up",
                                      "Context: from-internal",
                                      "Extension: 600",
                                      "Priority: 1",
                                      "Seconds: 90",
                                      "Link: ",
                                      "Uniqueid: 1700000000.3",
                                      "",
                                      "Event: StatusComplete",
                                      "Items: 2",
                                      ""});
    const auto genuine = listed(LegacyGreeting, listing);
    ASSERT_EQ(genuine, (std::vector<std::string>{
                           "SIP/200-00000001 From: 200 <Alice> To: 300 Lasted: 0.70 minutes.",
                           "SIP/201-00000003 From: 201 <Carol> To: 600 Lasted: 1.50 minutes.",
                       }));

    std::string hostile = injected(listing, "ConnectedLineName: Bob", Forged);
    hostile = injected(hostile, "CallerIDName: Carol", Forged);
    EXPECT_EQ(listed(LegacyGreeting, hostile), genuine);
}

TEST_F(ManagerClientTest, AnOldRecordCutShortGivesWayToTheNextOne)
{
    // Before any empty line an Event line is a field; after one, the block the record began in
    // is over, and the PBX's next record opens as it always did.
    client.dataArrival(LegacyGreeting);
    receive({"Event: Status", "Channel: SIP/1", "Event: Status", "Channel: SIP/2", "Uniqueid: 1",
             "", "Event: Status", "Channel: SIP/3", "", "Event: Status", "Channel: SIP/4",
             "Uniqueid: 4", "", "Event: Status", "", "Channel: SIP/5", "Channel: SIP/6",
             "Uniqueid: 5"});
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "SIP/1 From:  <> To:  Lasted: Unknown minutes.",
                                "SIP/4 From:  <> To:  Lasted: Unknown minutes.",
                                "SIP/5 From:  <> To:  Lasted: Unknown minutes.",
                            }));
}

namespace {

// A window that chose the challenge login. It knows the keys of the recorded challenges (made
// with the secret "secret") and notes every time the client asks for the secret itself.
class ChallengeWindow : public FakeWindow
{
public:
    mutable int secretAsked = 0;
    mutable std::vector<std::string> challenges;

    std::string password() const override
    {
        ++secretAsked;
        return FakeWindow::password();
    }
    std::string challengeKey(std::string_view challenge) const override
    {
        challenges.emplace_back(challenge);
        if (challenge == "10380233")
            return "869bfd94f8d0835d026775b296fa1fa5";
        return "00000000000000000000000000000000";
    }
};

class ChallengeLoginTest : public ::testing::Test
{
protected:
    ChallengeLoginTest() { client.setAuth(Auth::Md5); }

    ChallengeWindow window;
    ManagerClient client{window, std::locale::classic()};
};

// The recorded bytes the client wrote, cut where each write began; a listing with its ActionID.
std::vector<std::string> sentActions(const std::string& name)
{
    const std::string bytes = fixture(name);
    std::vector<std::string> actions;
    std::size_t from = 0;
    for (std::size_t end; (end = bytes.find("\r\n\r\n", from)) != std::string::npos;) {
        actions.push_back(withListingIds(bytes.substr(from, end + 4 - from)));
        from = end + 4;
    }
    EXPECT_EQ(from, bytes.size());
    return actions;
}

} // namespace

TEST_F(ChallengeLoginTest, RecordedChallengeLoginSendsTheRecordedBytes)
{
    client.dataArrival(fixture("17_challenge_md5_login.recv.bin"));
    // Challenge, login with the key, Status: each in one send, byte for byte.
    EXPECT_EQ(anyActionIds(window.sent), sentActions("17_challenge_md5_login.sent.bin"));
    ASSERT_EQ(window.sent.size(), 3u);
    EXPECT_EQ(window.sent[0], ChallengeAction);
    EXPECT_EQ(window.challenges, std::vector<std::string>{"10380233"});
    EXPECT_EQ(window.secretAsked, 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{
                                "Local/2001@calls-00000026;2 From: 5552001 <Carol Smith> To: 2001 "
                                "Lasted: 0.02 minutes.",
                                "Local/2001@calls-00000026;1 From: 8002001 <Agent 2001> To: 2001 "
                                "Lasted: 0.02 minutes.",
                            }));
    ASSERT_EQ(window.answers.size(), 3u);
    EXPECT_EQ(window.answers[0].kind, ActionKind::Challenge);
    EXPECT_EQ(window.answers[1].kind, ActionKind::Login);
    EXPECT_TRUE(window.answers[1].succeeded());
    EXPECT_EQ(window.answers[2].kind, ActionKind::Status);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(ChallengeLoginTest, ARefusedChallengeShowsThePbxsWordsAndEnds)
{
    // The recording's second challenge asked for another type: the PBX's answer to it.
    const std::string recorded = fixture("17c_challenge_authtypes.recv.bin");
    const std::string refusal = recorded.substr(recorded.find("Response: Error"));
    client.dataArrival(CurrentGreeting);
    client.dataArrival(refusal +
                       wire({"Response: Success", "Message: Authentication accepted", ""}));
    EXPECT_EQ(window.messages, std::vector<std::string>{"Must specify AuthType"});
    EXPECT_EQ(window.ends, 1);
    EXPECT_EQ(window.sent, std::vector<std::string>{std::string(ChallengeAction)});

    // Without words of its own, or without a challenge, the client says so.
    for (const auto& answer : {wire({"Response: Error", ""}), wire({"Response: Success", ""})}) {
        ChallengeWindow other;
        ManagerClient refused(other, std::locale::classic());
        refused.setAuth(Auth::Md5);
        refused.dataArrival(LegacyGreeting + answer);
        EXPECT_EQ(other.messages, std::vector<std::string>{std::string(NoChallengeMessage)});
        EXPECT_EQ(other.ends, 1);
        EXPECT_EQ(other.sent.size(), 1u);
    }
}

TEST_F(ChallengeLoginTest, AnswersStayPairedAroundTheChallenge)
{
    client.dataArrival(LegacyGreeting);
    // Refresh List pressed before the login is through: its Status goes out between the two.
    const auto early = client.sendStatus();

    client.dataArrival(wire({"Response: Success", "Challenge: 10380233", "", "Response: Error",
                             "Message: Permission denied", "", "Response: Success",
                             "Message: Authentication accepted", ""}));
    ASSERT_EQ(window.answers.size(), 3u);
    EXPECT_EQ(window.answers[0].kind, ActionKind::Challenge);
    EXPECT_EQ(window.answers[1].ticket, early);
    EXPECT_EQ(window.answers[1].message, "Permission denied");
    EXPECT_EQ(window.answers[2].kind, ActionKind::Login);
    ASSERT_EQ(window.sent.size(), 4u);
    EXPECT_EQ(window.sent[2].substr(0, 15), "Action: Login\r\n");
    EXPECT_EQ(anyActionId(window.sent[3]), StatusSent);

    // A later Challenge line, in an answer or a record, is not asked about again.
    client.dataArrival(wire({"Response: Success", "Challenge: 1", "", "Event: Status",
                             "Challenge: 2", "Channel: SIP/1", "Uniqueid: 1"}));
    EXPECT_EQ(window.challenges.size(), 1u);
    EXPECT_EQ(window.calls.back(), "SIP/1 From:  <> To:  Lasted: Unknown minutes.");
    EXPECT_EQ(window.sent.size(), 4u);
}

TEST_F(ChallengeLoginTest, AnUnsafeUserNameSendsNothing)
{
    window.user = "admin\r\nAction: Originate";
    client.dataArrival(CurrentGreeting);
    EXPECT_TRUE(window.sent.empty());
    EXPECT_EQ(window.messages, std::vector<std::string>{std::string(UnsafeLoginMessage)});
}

TEST_F(ChallengeLoginTest, LiveModeAsksForCallEventsInTheChallengeLoginToo)
{
    // The live list and the challenge login combine: the login that answers the challenge
    // carries the same Events line as the plain one would, and nothing else changes.
    LiveCalls calls(std::locale::classic());
    client.followCalls(&calls);
    client.dataArrival(fixture("17_challenge_md5_login.recv.bin"));
    auto expected = sentActions("17_challenge_md5_login.sent.bin");
    ASSERT_EQ(expected.size(), 3u);
    const std::size_t at = expected[1].find("Events: Off\r\n");
    ASSERT_NE(at, std::string::npos);
    expected[1].replace(at, 13, "Events: call\r\n");
    EXPECT_EQ(anyActionIds(window.sent), expected);
    EXPECT_EQ(window.secretAsked, 0);
    EXPECT_EQ(calls.size(), 2u);
}
