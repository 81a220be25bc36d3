#include "SessionChecks.h"

#include "FuzzSession.h"
#include "LineFramer.h"
#include "LiveSession.h"

#include <gtest/gtest.h>

#include <string>

using namespace corvale::fuzz;
using namespace std::string_literals;

// The fuzzer is only as good as its checks: each must pass what the client rightly does and
// catch the faults it stands guard against.

TEST(SessionChecksTest, BufferMayHoldHalfALineEndButNoWholeOne)
{
    EXPECT_EQ(checkBuffer("Event: Sta"), "");
    EXPECT_EQ(checkBuffer("lone\rcr and lone\nlf\r"), "");
    EXPECT_EQ(checkBuffer(std::string(corvale::LineFramer::MaxLine, 'x') + "\r"), "");
    EXPECT_NE(checkBuffer("Event: Status\r\nChan"), "");
    EXPECT_NE(checkBuffer(std::string(corvale::LineFramer::MaxLine + 2, 'x')), "");
}

TEST(SessionChecksTest, ClosingLinesDependOnThePbx)
{
    EXPECT_TRUE(isRecordClosingLine("Uniqueid: 1796751510.0", false));
    EXPECT_FALSE(isRecordClosingLine("Uniqueid: 1796751510.0", true));
    EXPECT_TRUE(isRecordClosingLine("", true));
    EXPECT_FALSE(isRecordClosingLine("", false));
    EXPECT_FALSE(isRecordClosingLine("CallerIDName: Uniqueid: 99", false));
    EXPECT_TRUE(isStatusCompleteLine("Event: StatusComplete"));
    EXPECT_FALSE(isStatusCompleteLine("CallerIDName: Event: StatusComplete"));
    EXPECT_TRUE(isRejectedLoginLine("Message: Authentication failed"));
    EXPECT_FALSE(isRejectedLoginLine("CallerIDName: Authentication failed"));
}

TEST(SessionChecksTest, OnlyTheThreeActionsWithCleanValuesPass)
{
    const std::string login =
        "Action: login\r\nUsername: admin\r\nSecret: s3\r\nEvents: Off\r\n\r\n";
    EXPECT_EQ(checkLineAction(login, "admin", "s3"), "");
    EXPECT_EQ(checkLineAction("Action: Status\r\nActionID: fuzz-1\r\n\r\n", "admin", "s3"), "");
    EXPECT_EQ(listingActionId("Action: CoreShowChannels\r\nActionID: x\r\n\r\n"), "x");
    EXPECT_EQ(checkHangupAction("Action: Hangup\r\nChannel: SIP/1-0\r\n\r\n", "SIP/1-0"), "");

    // Another user, a header smuggled in through a value, a login whose values were unsafe.
    EXPECT_NE(checkLineAction(login, "root", "s3"), "");
    EXPECT_NE(checkLineAction("Action: login\r\nUsername: a\r\nSecret: s\r\nAction: Hangup\r\n"
                              "Events: Off\r\n\r\n",
                              "a", "s"),
              "");
    EXPECT_NE(checkLineAction("Action: login\r\nUsername: a\nb\r\nSecret: s\r\nEvents: Off\r\n\r\n",
                              "a\nb", "s"),
              "");
    EXPECT_NE(checkLineAction("Action: Status\r\n", "a", "s"), "");
    // A listing must carry its ActionID, one line of it and nothing more.
    EXPECT_NE(checkLineAction("Action: Status\r\n\r\n", "a", "s"), "");
    EXPECT_NE(checkLineAction("Action: Status\r\nActionID: \r\n\r\n", "a", "s"), "");
    EXPECT_NE(checkLineAction("Action: Status\r\nActionID: 1\r\nChannel: x\r\n\r\n", "a", "s"), "");
    EXPECT_NE(checkLineAction("Action: Logoff\r\n\r\n", "a", "s"), "");
    EXPECT_NE(checkHangupAction("Action: Hangup\r\nChannel: a\r\nChannel: b\r\n\r\n", "a"), "");
    EXPECT_NE(checkHangupAction("Action: Hangup\r\nChannel: a\0b\r\n\r\n"s, "a\0b"s), "");
    EXPECT_NE(checkHangupAction("Action: Hangup\r\nChannel: other\r\n\r\n", "mine"), "");
}

TEST(FuzzSessionTest, RecordedConversationsPassInAnyChunking)
{
    // A whole session with a listing, then a hostile name and a rejected login; the trailing
    // bytes are the fuzzer's choices (chunk sizes, refresh, hangups).
    std::string input = "Asterisk Call Manager/1.1\r\nResponse: Success\r\nMessage: Authentication "
                        "accepted\r\n\r\nEvent: Status\r\nChannel: SIP/1\r\nCallerID: 5551\r\n"
                        "CallerIDName: Event: StatusComplete\r\nSeconds: 75\r\nUniqueid: 1.1\r\n"
                        "Event: StatusComplete\r\nMessage: Authentication failed\r\nafter end\r\n";
    input += std::string(40, '\x07') + std::string(40, '\x05') + "\x01\x00";
    for (const char* localeName : {"C", "de_DE.UTF-8"}) {
        std::locale numbers;
        try {
            numbers = std::locale(localeName);
        } catch (const std::runtime_error&) {
            continue;
        }
        FuzzSession session(numbers);
        EXPECT_EQ(session.run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()),
                  "");
    }
}

namespace {

std::vector<int> repeatsIn(const std::vector<std::string>& lines, bool currentPbx)
{
    RecordRepeats repeats;
    std::vector<int> out;
    for (const std::string& line : lines)
        out.push_back(repeats.isRepeat(line, currentPbx) ? 1 : 0);
    return out;
}

// A record of a current PBX with a connected-line name that held CR LF, then one that lost its
// empty line, then a stray line and a plain record.
const std::vector<std::string> CurrentLines = {"Event: Status",
                                               "Channel: PJSIP/1",
                                               "CallerIDNum: 1",
                                               "CallerIDName: A",
                                               "EffectiveConnectedLineName: x",
                                               "Event: Status",
                                               "Channel: Fake/2",
                                               "CallerIDNum: 6",
                                               "Exten: 9",
                                               "Seconds: 5",
                                               "Seconds: 6",
                                               "",
                                               "Event: Status",
                                               "Channel: PJSIP/2",
                                               "Seconds: 1",
                                               "Event: Status",
                                               "Channel: PJSIP/3",
                                               "",
                                               "Channel: stray",
                                               "Event: Status",
                                               "Channel: PJSIP/4",
                                               ""};

// The same for an older PBX: a record whose block ended without its Uniqueid, then one with
// forged lines after its connected-line name.
const std::vector<std::string> OldLines = {"Event: Status",
                                           "Channel: SIP/1",
                                           "",
                                           "Event: Status",
                                           "Channel: SIP/2",
                                           "CallerID: 1",
                                           "CallerIDName: A",
                                           "ConnectedLineName: B",
                                           "Event: Status",
                                           "Channel: Fake",
                                           "CallerID: 2",
                                           "CallerIDName: Z",
                                           "Extension: 5",
                                           "Extension: 6",
                                           "Uniqueid: 2",
                                           "Channel: stray",
                                           ""};

// A client reading records as this one once did: every "Event: Status" opens a record and a later
// line of a key replaces the earlier one.
class LastLineWins
{
public:
    std::vector<std::string> entries;

    void parse(std::string_view line, bool currentPbx)
    {
        if (line == "Event: Status") {
            bOpen = true;
            sChannel.clear();
        } else if (bOpen && line.substr(0, 9) == "Channel: ") {
            sChannel = line.substr(9);
        } else if (bOpen && (currentPbx ? line.empty() : line.substr(0, 9) == "Uniqueid:")) {
            entries.push_back(sChannel);
            bOpen = false;
        }
    }

private:
    bool bOpen = false;
    std::string sChannel;
};

} // namespace

TEST(SessionChecksTest, RepeatsAreTheLinesThatWouldRewriteTheirRecord)
{
    EXPECT_EQ(repeatsIn(CurrentLines, true),
              (std::vector<int>{0, 0, 0, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(repeatsIn(OldLines, false),
              (std::vector<int>{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 0, 1, 0, 0, 0}));
}

TEST(SessionChecksTest, LeavingOutRepeatsExposesAClientThatLetsThemRewriteARecord)
{
    for (const bool currentPbx : {true, false}) {
        const std::vector<std::string>& lines = currentPbx ? CurrentLines : OldLines;
        RecordRepeats repeats;
        LastLineWins all;
        LastLineWins pruned;
        RecordingWindow allWindow;
        RecordingWindow prunedWindow;
        corvale::ManagerClient client(allWindow, std::locale::classic());
        corvale::ManagerClient prunedClient(prunedWindow, std::locale::classic());
        const std::string greeting =
            currentPbx ? "Asterisk Call Manager/13.0.0" : "Asterisk Call Manager/1.1";
        client.ParseIncoming(greeting);
        prunedClient.ParseIncoming(greeting);
        for (const std::string& line : lines) {
            const bool repeat = repeats.isRepeat(line, currentPbx);
            all.parse(line, currentPbx);
            client.ParseIncoming(line);
            if (!repeat) {
                pruned.parse(line, currentPbx);
                prunedClient.ParseIncoming(line);
            }
        }
        EXPECT_NE(all.entries, pruned.entries) << currentPbx;
        EXPECT_EQ(allWindow.events, prunedWindow.events) << currentPbx;
        EXPECT_EQ(std::count_if(allWindow.events.begin(), allWindow.events.end(),
                                [](const std::string& e) { return e.find("Fake") != e.npos; }),
                  0)
            << currentPbx;
    }
}

TEST(FuzzSessionTest, ForgedLinesInsideRecordsPass)
{
    for (const bool currentPbx : {true, false}) {
        std::string input =
            currentPbx ? "Asterisk Call Manager/13.0.0\r\n" : "Asterisk Call Manager/1.1\r\n";
        input += "Response: Success\r\nMessage: Authentication accepted\r\n\r\n";
        for (const std::string& line : currentPbx ? CurrentLines : OldLines)
            input += line + "\r\n";
        input += "Event: StatusComplete\r\n\r\n";
        input += std::string(40, '\x07') + std::string(40, '\x05') + "\x01\x00";
        FuzzSession session(std::locale::classic());
        EXPECT_EQ(session.run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()),
                  "")
            << currentPbx;
    }
}

TEST(SessionChecksTest, TheChallengeLoginSendsOnlyTheKeyTheWindowMade)
{
    const std::string key = "869bfd94f8d0835d026775b296fa1fa5";
    const std::string login = "Action: Login\r\nAuthType: MD5\r\nUsername: admin\r\nKey: " + key +
                              "\r\nEvents: Off\r\n\r\n";
    EXPECT_EQ(checkChallengeLineAction(login, "admin", key), "");
    EXPECT_EQ(checkChallengeLineAction("Action: Challenge\r\nAuthType: MD5\r\n\r\n", "admin", key),
              "");
    EXPECT_EQ(checkChallengeLineAction("Action: Status\r\nActionID: 7\r\n\r\n", "admin", key), "");

    // The secret's own login, another key or user, a header smuggled in after the key.
    EXPECT_NE(
        checkChallengeLineAction(
            "Action: login\r\nUsername: admin\r\nSecret: s\r\nEvents: Off\r\n\r\n", "admin", key),
        "");
    EXPECT_NE(checkChallengeLineAction(login, "admin", "0" + key.substr(1)), "");
    EXPECT_NE(checkChallengeLineAction(login, "root", key), "");
    EXPECT_NE(checkChallengeLineAction(
                  "Action: Login\r\nAuthType: MD5\r\nUsername: admin\r\nKey: " + key +
                      "\r\nSecret: s\r\nEvents: Off\r\n\r\n",
                  "admin", key),
              "");
    EXPECT_TRUE(isAnswerEndLine(""));
    EXPECT_TRUE(isAnswerEndLine("Response: Error"));
    EXPECT_FALSE(isAnswerEndLine("Message: Response: Error"));
}

TEST(FuzzSessionTest, ChallengeLoginsPassWithoutTheSecret)
{
    // Accepted, then a listing; and a refused challenge, which ends the run. The last byte
    // chooses the challenge login.
    for (const std::string answer :
         {"Response: Success\r\nChallenge: 10380233\r\n\r\nResponse: Success\r\nMessage: "
          "Authentication accepted\r\n\r\nResponse: Success\r\nMessage: Channel status will "
          "follow\r\n\r\nEvent: Status\r\nChannel: SIP/1\r\nUniqueid: 1\r\n",
          "Response: Error\r\nMessage: Must specify AuthType\r\n\r\nEvent: StatusComplete\r\n"}) {
        std::string input = "Asterisk Call Manager/1.1\r\n" + answer;
        input += std::string(80, '\x07') + "\x04";
        FuzzSession session(std::locale::classic());
        EXPECT_EQ(session.run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()),
                  "");
    }
}

namespace {

// A LiveSession input from its choices in the order they are taken (FuzzedDataProvider takes
// them from the input's end).
std::string liveInput(std::vector<std::uint8_t> choices)
{
    return std::string(choices.rbegin(), choices.rend());
}

// Every kind of step, names carrying each kind of line, in every generation of PBX. The mode:
// 1 the PBX repeats each listing's ActionID, 2 names may hold an empty line, 4 CoreShowChannel
// names are raw.
std::vector<std::uint8_t> everyStep(std::uint8_t generation, std::uint8_t mode = 0)
{
    std::vector<std::uint8_t> choices = {generation, mode, 2, 7, 1, 0};
    for (std::uint8_t arg = 0; arg < 30; ++arg) {
        for (const std::uint8_t op :
             std::initializer_list<std::uint8_t>{0, 0x80, 1, 0x85, 3, 0x83, 4, 2, 0x82, 3, 6}) {
            choices.push_back(op);
            choices.push_back(static_cast<std::uint8_t>(arg * 7 + op));
        }
        choices.push_back(static_cast<std::uint8_t>(5 + 7 * arg)); // a listing
        choices.push_back(arg);
    }
    return choices;
}

} // namespace

TEST(LiveSessionTest, EveryStepInEveryGenerationPasses)
{
    for (const std::uint8_t generation : std::initializer_list<std::uint8_t>{0, 1, 2, 3, 4, 0x83}) {
        const std::string input = liveInput(everyStep(generation));
        LiveSession session;
        EXPECT_EQ(session.run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()),
                  "")
            << int(generation);
    }
}

TEST(LiveSessionTest, CutsByEmptyLinesPassWithAndWithoutTheActionIdRepeated)
{
    for (const std::uint8_t generation : std::initializer_list<std::uint8_t>{0, 1, 2, 3, 4, 0x83}) {
        for (const std::uint8_t mode : std::initializer_list<std::uint8_t>{1, 2, 3, 7}) {
            const std::string input = liveInput(everyStep(generation, mode));
            LiveSession session;
            EXPECT_EQ(
                session.run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()), "")
                << int(generation) << " mode " << int(mode);
        }
    }
}

TEST(LiveSessionTest, ACallWithAnotherCallsFieldsIsCaught)
{
    const std::string input = liveInput(everyStep(1, 3));
    LiveSession session;
    session.afterStep = [](corvale::LiveCalls& calls) {
        corvale::CallFields forged;
        forged.number = "666";
        if (calls.size() > 1)
            calls.described(calls.at(1).channel, forged);
    };
    const std::string failure =
        session.run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    EXPECT_NE(failure.find("shows forged fields"), std::string::npos) << failure;
}

TEST(LiveSessionTest, CallsThatDifferFromTheChannelsAreCaught)
{
    const std::string input = liveInput(everyStep(3));
    for (const bool drop : {true, false}) {
        LiveSession session;
        session.afterStep = [drop](corvale::LiveCalls& calls) {
            if (drop && calls.size() > 1)
                calls.hungUp(calls.at(0).channel);
            else if (!drop && calls.size() > 1)
                calls.appeared("Fake/1", {});
        };
        const std::string failure =
            session.run(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
        EXPECT_NE(failure.find("the calls are"), std::string::npos) << failure;
    }
}
