// Lines a caller puts into a status record (a name the PBX writes raw) are fields of that
// record, in both dialects and both modes: they send nothing, end nothing, pair with no action
// and change no other call. An empty line among them, which ends the record's block early,
// forges no record of a listing that carries its ActionID.
#include "FakeWindow.h"
#include "FixtureFile.h"
#include "LiveCalls.h"
#include "ManagerClient.h"
#include "Wire.h"
#include "WireLines.h"

#include <gtest/gtest.h>

using namespace corvale;

namespace {

struct Dialect
{
    const char* greeting;
    bool current;
};

const Dialect Dialects[] = {{"Asterisk Call Manager/1.1", false},
                            {"Asterisk Call Manager/2.0.0", true}};

// What a caller's name can carry after its first line.
const char* const Injections[] = {
    "Asterisk Call Manager/1.1",
    "Message: Authentication failed",
    "Response: Error\r\nMessage: Authentication failed",
    "Response: Success\r\nMessage: Authentication accepted",
    "Response: Error\r\nMessage: Permission denied",
    "Event: Hangup\r\nChannel: SIP/2-b\r\nCause: 16",
    "Event: Newchannel\r\nChannel: Fake/1\r\nCallerIDNum: 666",
};

// The login, its acceptance and a listing of two calls, the first named `name` (raw). A hangup
// of SIP/2-b goes out before the listing arrives and is answered after it.
class ListingRun
{
public:
    FakeWindow window;
    LiveCalls calls{std::locale::classic(), [] { return std::chrono::steady_clock::time_point{}; }};
    ManagerClient client{window, std::locale::classic()};
    std::optional<std::uint64_t> hangup;

    ListingRun(const Dialect& dialect, bool live, const std::string& name)
    {
        if (live)
            client.followCalls(&calls);
        client.dataArrival(
            wire({dialect.greeting, "Response: Success", "Message: Authentication accepted", ""}));
        hangup = client.sendHangup("SIP/2-b");
        client.dataArrival(
            wire({"Response: Success", "Message: Channel status will follow", "", "Event: Status",
                  "Privilege: Call", "Channel: SIP/1-a", "CallerIDNum: 100"}) +
            "CallerIDName: " + name + "\r\n" +
            wire({"ChannelStateDesc: Up", "Extension: 200", "Seconds: 60", "Uniqueid: 1.1", "",
                  "Event: Status", "Privilege: Call", "Channel: SIP/2-b", "CallerIDNum: 300",
                  "CallerIDName: Bob", "Extension: 400", "Seconds: 120", "Uniqueid: 1.2", "",
                  "Event: StatusComplete", "", "Response: Success", "Message: Channel Hungup",
                  ""}));
    }

    std::vector<std::string> listed() const
    {
        if (window.calls.size() > 0)
            return window.calls;
        std::vector<std::string> out;
        for (std::size_t row = 0; row < calls.size(); ++row)
            out.push_back(calls.entry(row));
        return out;
    }
};

const std::vector<std::string> Genuine = {
    "SIP/1-a From: 100 <Eve> To: 200 Lasted: 1.00 minutes.",
    "SIP/2-b From: 300 <Bob> To: 400 Lasted: 2.00 minutes.",
};

void expectNothingActed(const ListingRun& run, const std::string& what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(run.window.ends, 0);
    EXPECT_TRUE(run.window.messages.empty());
    ASSERT_EQ(run.window.sent.size(), 3u); // login, Status, hangup
    EXPECT_EQ(anyActionId(run.window.sent[1]), StatusSent);
    ASSERT_EQ(run.window.answers.size(), 3u);
    EXPECT_EQ(run.window.answers[1].kind, ActionKind::Status);
    EXPECT_EQ(run.window.answers[2].ticket, *run.hangup);
    EXPECT_TRUE(run.window.answers[2].succeeded());
    EXPECT_EQ(run.window.answers[2].message, "Channel Hungup");
    EXPECT_EQ(run.client.awaitingAnswers(), 0u);
}

} // namespace

TEST(RecordSafetyTest, InjectedLinesAreFieldsOfTheirRecord)
{
    for (const Dialect& dialect : Dialects) {
        for (const bool live : {false, true}) {
            for (const char* injection : Injections) {
                const std::string what =
                    std::string(dialect.greeting) + (live ? " live: " : ": ") + injection;
                ListingRun run(dialect, live, std::string("Eve\r\n") + injection);
                expectNothingActed(run, what);
                EXPECT_EQ(run.listed(), Genuine) << what;
                if (live) {
                    EXPECT_EQ(run.calls.completedListings(), 1u) << what;
                }

                // The line as the whole name: shown as text, and acting no more.
                if (std::string_view(injection).find("\r\n") != std::string_view::npos)
                    continue;
                ListingRun named(dialect, live, injection);
                expectNothingActed(named, what);
                auto expected = Genuine;
                expected[0] = std::string("SIP/1-a From: 100 <") + injection +
                              "> To: 200 Lasted: 1.00 minutes.";
                EXPECT_EQ(named.listed(), expected) << what;
            }
        }
    }
}

TEST(RecordSafetyTest, AnOldRecordsBlockOutlastsAForgedUniqueid)
{
    // An older PBX closes a record at its Uniqueid; a forged one in the name must not let the
    // rest of the name act before the block's empty line.
    for (const bool live : {false, true}) {
        for (const char* injection : Injections) {
            const std::string what = std::string(live ? "live: " : "") + injection;
            ListingRun run(Dialects[0], live, std::string("Eve\r\nUniqueid: 9\r\n") + injection);
            expectNothingActed(run, what);
            auto expected = Genuine;
            expected[0] = "SIP/1-a From: 100 <Eve> To:  Lasted: Unknown minutes.";
            EXPECT_EQ(run.listed(), expected) << what;
        }
    }
}

TEST(RecordSafetyTest, OnlyTheLoginsAnswerLogsIn)
{
    // A Message block that answers nothing, or answers another action, neither ends the
    // program nor asks for a listing; a second greeting does not log in again.
    FakeWindow window;
    ManagerClient client(window, std::locale::classic());
    client.dataArrival(wire({"Asterisk Call Manager/13.0.0", "Message: Authentication failed", "",
                             "Message: Authentication accepted", "", "Asterisk Call Manager/1.1"}));
    EXPECT_EQ(window.sent.size(), 1u);
    EXPECT_EQ(window.ends, 0);
    client.sendHangup("SIP/1");
    client.dataArrival(wire({"Response: Success", "Message: Authentication accepted", "",
                             "Response: Error", "Message: Authentication failed", ""}));
    ASSERT_EQ(window.answers.size(), 2u);
    EXPECT_EQ(window.answers[0].kind, ActionKind::Login);
    EXPECT_EQ(window.answers[1].kind, ActionKind::Hangup);
    EXPECT_EQ(window.answers[1].message, "Authentication failed");
    EXPECT_EQ(window.sent.size(), 3u); // login, hangup, the Status of the accepted login
    EXPECT_EQ(window.ends, 0);
}

TEST(RecordSafetyTest, ANewConnectionStartsAfresh)
{
    FakeWindow window;
    LiveCalls calls(std::locale::classic());
    ManagerClient client(window, std::locale::classic());
    client.followCalls(&calls);
    client.dataArrival(
        wire({"Asterisk Call Manager/1.1", "Response: Success", "Message: Authentication accepted",
              "", "Response: Success", "Message: Channel status will follow", "", "Event: Status",
              "Channel: SIP/1", "Uniqueid: 1", "", "Event: Status", "Channel: SIP/2"}) +
        "Seconds: 4");
    client.sendHangup("SIP/1");
    ASSERT_EQ(client.awaitingAnswers(), 1u);

    client.newConnection();
    EXPECT_TRUE(client.buffer().empty());
    EXPECT_EQ(client.awaitingAnswers(), 0u);
    EXPECT_EQ(client.pbxVersion(), 0);
    client.dataArrival(wire(
        {"Asterisk Call Manager/13.0.0", "Response: Success", "Message: Authentication accepted",
         "", "Response: Success", "Message: Channel status will follow", "", "Event: Status",
         "Channel: PJSIP/3", "Uniqueid: 3", "Seconds: 5", "", "Event: StatusComplete", ""}));
    EXPECT_EQ(client.pbxVersion(), 13);
    ASSERT_EQ(window.sent.size(), 5u);
    EXPECT_EQ(window.sent[3].substr(0, 15), "Action: login\r\n");
    EXPECT_NE(window.sent[3].find("Events: call\r\n"), std::string::npos);
    EXPECT_EQ(window.answers.back().kind, ActionKind::Status);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.at(0).channel, "PJSIP/3");
}

namespace {

// The ActionID of recording 26's second listing: the client is made to send it.
const std::string RecordedId = "7f3c9a1e5b2d4c68";

// Listings whose callers' names end their records early with an empty line: one forges a record
// of Carol Smith's channel with its own number, name and extension (and a Seconds line before the
// empty line), another a Shutdown. Read, each channel is listed once with its own fields; a record
// cut short shows what it said before its raw field, its minutes unknown.
struct ForgedListing
{
    std::string greeting;
    std::string listing;
    std::vector<std::string> expected;
};

std::string entry(const std::string& channel, const std::string& from, const std::string& to,
                  const std::string& minutes)
{
    return channel + " From: " + from + " To: " + to + " Lasted: " + minutes + " minutes.";
}

std::vector<ForgedListing> forgedListings()
{
    const std::string recording = fixture("26_status_empty_line_in_name.recv.bin");
    const std::size_t listing = recording.find("Response: Success\r\nActionID: " + RecordedId);
    const std::size_t next = recording.find("Response: Success\r\nEventList", listing + 1);
    ForgedListing current{
        recording.substr(0, recording.find("Response: Success\r\nEventList")),
        recording.substr(listing, next - listing),
        {entry("Local/112@calls-00000001;2", "5550112 <Connected Forger>", "112", "Unknown"),
         entry("Local/112@calls-00000001;1", "800112 <Agent 112>", "112", "0.30"),
         entry("Local/2001@calls-00000000;2", "5552001 <Carol Smith>", "2001", "0.32"),
         entry("Local/2001@calls-00000000;1", "8002001 <Agent 2001>", "2001", "0.32"),
         entry("Local/113@calls-00000002;1", "800113 <Agent 113>", "113", "0.30"),
         entry("Local/113@calls-00000002;2", "5550113 <Shutdown Forger>", "113", "Unknown")}};
    // As 1.8 to 11 write a record: names raw, the ActionID last.
    const auto old = [](const std::string& channel, const std::string& name,
                        const std::string& exten) {
        return wire({"Event: Status", "Channel: " + channel, "CallerIDNum: 555" + exten,
                     "CallerIDName: " + name, "ConnectedLineName: ", "Extension: " + exten,
                     "Seconds: 19", "Uniqueid: 1.1", "ActionID: " + RecordedId, ""});
    };
    ForgedListing older{wire({"Asterisk Call Manager/1.1", "Response: Success",
                              "Message: Authentication accepted", ""}),
                        wire({"Response: Success", "ActionID: " + RecordedId,
                              "Message: Channel status will follow", ""}) +
                            old("SIP/112",
                                "x\r\nSeconds: 987654\r\n\r\nEvent: Status\r\nChannel: SIP/2001\r\n"
                                "CallerIDNum: 5550000\r\nCallerIDName: Forged\r\nExtension: 9999",
                                "112") +
                            old("SIP/2001", "Carol Smith", "2001") +
                            old("SIP/113",
                                "x\r\n\r\nEvent: Shutdown\r\nShutdown: Cleanly\r\nRestart: True",
                                "113") +
                            wire({"Event: StatusComplete", "ActionID: " + RecordedId, ""}),
                        {entry("SIP/112", "555112 <>", "", "Unknown"),
                         entry("SIP/2001", "5552001 <Carol Smith>", "2001", "0.32"),
                         entry("SIP/113", "555113 <>", "", "Unknown")}};
    return {current, older};
}

} // namespace

TEST(ForgedListingTest, AnEmptyLineInANameForgesNoRecordInEitherModeOrDialect)
{
    for (const ForgedListing& forged : forgedListings()) {
        for (const bool live : {false, true}) {
            SCOPED_TRACE(forged.greeting.substr(0, forged.greeting.find('\r')) +
                         (live ? " live" : ""));
            FakeWindow window;
            LiveCalls calls(std::locale::classic(),
                            [] { return std::chrono::steady_clock::time_point{}; });
            ManagerClient client(window, std::locale::classic());
            client.setListingIds([] { return RecordedId; });
            if (live)
                client.followCalls(&calls);
            client.dataArrival(forged.greeting);
            // Live mode: every periodic listing the same.
            for (int round = 0; round < (live ? 2 : 1); ++round) {
                if (round > 0)
                    client.pollListing();
                client.dataArrival(forged.listing);
                std::vector<std::string> listed = window.calls;
                for (std::size_t row = 0; row < calls.size(); ++row)
                    listed.push_back(calls.entry(row));
                EXPECT_EQ(listed, forged.expected) << round;
            }
            EXPECT_EQ(window.shutdowns, 0);
            EXPECT_TRUE(window.messages.empty());
            EXPECT_EQ(window.ends, 0);
            EXPECT_EQ(anyActionIds(window.sent).back(), StatusSent);
            EXPECT_EQ(window.sent.size(), live ? 3u : 2u);
            EXPECT_FALSE(client.guardedListing());
            EXPECT_EQ(calls.completedListings(), live ? 2u : 0u);
        }
    }
}
