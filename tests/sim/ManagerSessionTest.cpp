#include "ManagerSession.h"

#include "Blocks.h"
#include "CallTable.h"
#include "RecordedQueues.h"

#include <gtest/gtest.h>

#include <regex>

using namespace pbxsim;

namespace {

constexpr std::int64_t Now = 1796751512;

class ManagerSessionTest : public ::testing::Test
{
protected:
    ManagerSessionTest() { options.secret = "pw"; }

    // Everything the session answers to these bytes, fed in one piece or byte by byte.
    std::string answersTo(std::string_view bytes, bool dribble = false)
    {
        std::vector<Output> out;
        if (dribble) {
            for (const char c : bytes)
                session.receive(std::string_view(&c, 1), Now, out);
        } else {
            session.receive(bytes, Now, out);
        }
        std::string text;
        for (const Output& o : out)
            text += o.bytes;
        return text;
    }

    SessionOptions options;
    CallTable table{generateCalls(3, 1, Now)};
    ManagerSession session{options, table};
};

const std::string Accepted = answer("Success", "Authentication accepted");
const std::string Denied = answer("Error", "Permission denied");

} // namespace

TEST_F(ManagerSessionTest, ReadsLinesAsThePbxDoes)
{
    // Lone LF line ends, header names in any case, blanks after the colon, a NUL ending a line.
    using namespace std::literals;
    EXPECT_EQ(answersTo("aCTION: LoGiN\nUSERNAME:\tADMIN\r\nsecret:pw\0 ignored\n\n"sv, true),
              Accepted);
    EXPECT_EQ(answersTo("Action: Ping\r\n\r\n").substr(0, 31),
              "Response: Success\r\nPing: Pong\r\n");
}

TEST(PingTest, AnswersAsEachGenerationAndEchoesTheActionId)
{
    CallTable table;
    auto pong = [&](const char* version, std::string_view action) {
        SessionOptions options;
        options.greetingVersion = version;
        ManagerSession session(options, table);
        std::vector<Output> out;
        session.receive("Action: login\r\nUsername: admin\r\nSecret: \r\n\r\n", Now, out);
        out.clear();
        session.receive(action, Now, out);
        return out.size() == 1 ? out[0].bytes : std::string("(none)");
    };
    const std::string ping = "Action: Ping\r\n\r\n";
    const std::string withId = "Action: Ping\r\nActionID: k-7\r\n\r\n";
    EXPECT_EQ(pong("1.0", ping), "Response: Pong\r\n\r\n");
    EXPECT_EQ(pong("1.0", withId), "Response: Pong\r\nActionID: k-7\r\n\r\n");

    // As recorded after the restart, the Timestamp to the microsecond of the real clock.
    const std::string recorded =
        simtest::fixture("22_login_after_restart.recv.bin").substr(178, 63);
    ASSERT_EQ(recorded.substr(0, 31), "Response: Success\r\nPing: Pong\r\n");
    const std::regex stamp("[0-9]{10}\\.[0-9]{6}");
    for (const char* version : {"1.1", "1.3", "13.0.0"}) {
        const std::string answer = pong(version, ping);
        EXPECT_EQ(simtest::shapeOf(answer), simtest::shapeOf(recorded)) << version;
        const std::vector<simtest::Block> blocks = simtest::splitBlocks(answer);
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_TRUE(std::regex_match(simtest::field(blocks[0], "Timestamp"), stamp)) << answer;
        EXPECT_EQ(simtest::splitBlocks(pong(version, withId))[0][1], "ActionID: k-7");
    }
}

TEST(CoreShowChannelsTest, ExistsFromOneOneOnAndEchoesTheActionId)
{
    CallTable table{generateCalls(2, 1, Now)};
    auto listing = [&](const char* version) {
        SessionOptions options;
        options.greetingVersion = version;
        ManagerSession session(options, table);
        std::vector<Output> out;
        session.receive("Action: login\r\nUsername: admin\r\nSecret: \r\n\r\n"
                        "Action: CoreShowChannels\r\nActionID: 9\r\n\r\n",
                        Now, out);
        return out.size() == 2 ? out[1].bytes : std::string("(none)");
    };
    EXPECT_EQ(listing("1.0"), answer("Error", "Invalid/unknown command", "9"));
    for (const char* version : {"1.1", "13.0.0"}) {
        const std::string text = listing(version);
        EXPECT_EQ(text.substr(0, 50), "Response: Success\r\nActionID: 9\r\nEventList: start\r\n");
        EXPECT_EQ(simtest::countEvents(text, "CoreShowChannel"), 2u);
        EXPECT_EQ(text.find("UniqueID: ") != std::string::npos, std::string(version) == "1.1");
    }
}

TEST_F(ManagerSessionTest, LoneCrStaysInTheValue)
{
    EXPECT_EQ(answersTo("Action: login\r\nUsername: admin\r\nSecret: pw\r\r\n\r\n").substr(0, 17),
              "Response: Error\r\n");
}

TEST_F(ManagerSessionTest, MalformedActionsGetTheirErrors)
{
    EXPECT_EQ(answersTo("\r\n"), answer("Error", "Missing action in request"));
    EXPECT_EQ(answersTo("Action: login\r\nX-Pad: " + std::string(2000, 'x') +
                        "\r\nUsername: admin\r\nSecret: pw\r\n\r\n"),
              answer("Error", "Failed to parse message: line too long"));
    // The over-long line did not log in.
    EXPECT_EQ(answersTo("Action: Status\r\n\r\n"), Denied);
}

TEST_F(ManagerSessionTest, OnlyLoginAndLogoffBeforeLogin)
{
    EXPECT_EQ(answersTo("Action: Hangup\r\nChannel: x\r\n\r\nAction: Foo\r\n\r\n"),
              Denied + Denied);
    EXPECT_EQ(answersTo("Action: login\r\nUsername: admin\r\nSecret: pw\r\n\r\n"
                        "Action: Foo\r\n\r\nAction: login\r\n\r\n"),
              Accepted + answer("Error", "Invalid/unknown command") +
                  answer("Success", "Already authenticated"));
}

TEST_F(ManagerSessionTest, RefusedLoginIsDelayedAndEndsTheSession)
{
    std::vector<Output> out;
    session.receive("Action: login\r\nUsername: admin\r\nSecret: no\r\n\r\nAction: Status\r\n\r\n",
                    Now, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, answer("Error", "Authentication failed"));
    EXPECT_EQ(out[0].delayMs, 1000);
    EXPECT_TRUE(out[0].closeAfter);
    EXPECT_TRUE(session.finished());
}

TEST_F(ManagerSessionTest, HangupMatchesChannelOrUniqueid)
{
    answersTo("Action: login\r\nUsername: admin\r\nSecret: pw\r\n\r\n");
    const Call first = table.calls()[0];
    const Call second = table.calls()[1];
    std::string upper = first.channel;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string hungUp = answer("Success", "Channel Hungup");
    EXPECT_EQ(answersTo("Action: Hangup\r\nChannel: " + upper + "\r\n\r\n"), hungUp);
    EXPECT_EQ(answersTo("Action: Hangup\r\nChannel: " + second.uniqueid + "\r\n\r\n"), hungUp);
    EXPECT_EQ(answersTo("Action: Hangup\r\nChannel: " + first.channel + "\r\n\r\n"),
              answer("Error", "No such channel"));
    EXPECT_EQ(answersTo("Action: Hangup\r\nChannel: \r\n\r\n"),
              answer("Error", "No channel specified"));
    ASSERT_EQ(table.calls().size(), 1u);
}

namespace {

const std::string ChallengeAction = "Action: Challenge\r\nAuthType: MD5\r\n\r\n";

std::string md5Login(std::string_view key)
{
    return "Action: Login\r\nAuthType: MD5\r\nUsername: admin\r\nKey: " + std::string(key) +
           "\r\nEvents: Off\r\n\r\n";
}

// The number in a "Response: Success / Challenge: N" answer; empty if it is not one.
std::string challengeIn(const std::string& text)
{
    const std::string head = "Response: Success\r\nChallenge: ";
    if (text.rfind(head, 0) != 0 || text.size() < head.size() + 4 ||
        text.substr(text.size() - 4) != "\r\n\r\n")
        return {};
    const std::string number = text.substr(head.size(), text.size() - head.size() - 4);
    return number.find_first_not_of("0123456789") == std::string::npos ? number : std::string();
}

} // namespace

TEST_F(ManagerSessionTest, ChallengeLoginAcceptsTheKeyOfItsOwnChallenge)
{
    // The key of the recorded challenge login, so the digest itself is checked independently.
    EXPECT_EQ(md5Hex("10380233secret"), "869bfd94f8d0835d026775b296fa1fa5");

    const std::string challenge = challengeIn(answersTo(ChallengeAction));
    ASSERT_GE(challenge.size(), 8u);
    ASSERT_LE(challenge.size(), 9u);
    // Asking again on the same connection gets the same number, as from a real PBX.
    EXPECT_EQ(challengeIn(answersTo("Action: challenge\r\nAuthType: md5\r\n\r\n")), challenge);
    EXPECT_EQ(answersTo(md5Login(md5Hex(challenge + "pw"))), Accepted);
    EXPECT_EQ(answersTo("Action: Status\r\n\r\n").substr(0, 19), "Response: Success\r\n");
}

TEST_F(ManagerSessionTest, ChallengeLoginRefusesOtherKeysAsAPlainLogin)
{
    // Before any challenge not even the key of an empty one passes.
    EXPECT_EQ(answersTo(md5Login(md5Hex("pw"))), answer("Error", "Authentication failed"));
    for (const bool capitals : {false, true}) {
        ManagerSession fresh(options, table);
        std::vector<Output> out;
        fresh.receive(ChallengeAction, Now, out);
        const std::string number = challengeIn(out.at(0).bytes);
        // The key of a wrong secret, or the right key in capitals: the PBX compares exactly.
        std::string key = md5Hex(number + (capitals ? "pw" : "wrong"));
        for (char& c : key)
            c = capitals ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        fresh.receive(md5Login(key), Now, out);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(out[1].bytes, answer("Error", "Authentication failed"));
        EXPECT_EQ(out[1].delayMs, 1000);
        EXPECT_TRUE(out[1].closeAfter);
        EXPECT_TRUE(fresh.finished());
    }
}

// Every answer repeats the action's ActionID right after its Response line, as the PBX does.
TEST_F(ManagerSessionTest, EveryAnswerEchoesTheActionId)
{
    const std::pair<std::string, std::string> rows[] = {
        {"Action: Ping\r\nActionID: a1\r\n\r\n", answer("Error", "Permission denied", "a1")},
        {"Action: Challenge\r\nActionID: a2\r\n\r\n",
         answer("Error", "Must specify AuthType", "a2")},
        {"ActionID: a3\r\n\r\n", answer("Error", "Missing action in request", "a3")},
        {"Action: login\r\nUsername: admin\r\nSecret: pw\r\nActionID: a4\r\n\r\n",
         answer("Success", "Authentication accepted", "a4")},
        {"Action: login\r\nActionID: a5\r\n\r\n", answer("Success", "Already authenticated", "a5")},
        {"Action: Hangup\r\nChannel: SIP/none-0\r\nActionID: a6\r\n\r\n",
         answer("Error", "No such channel", "a6")},
        {"Action: Bogus\r\nActionID: a7\r\n\r\n", answer("Error", "Invalid/unknown command", "a7")},
        {"Action: QueuePause\r\nInterface: SIP/1\r\nActionID: a8\r\n\r\n",
         answer("Error", "Need 'Interface' and 'Paused' parameters.", "a8")},
        {"Action: QueuePause\r\nInterface: SIP/1\r\nPaused: yes\r\nActionID: a9\r\n\r\n",
         answer("Error", "Interface not found", "a9")},
        {"Action: Logoff\r\nActionID: a10\r\n\r\n",
         answer("Goodbye", "Thanks for all the fish.", "a10")},
    };
    for (const auto& [action, expected] : rows)
        EXPECT_EQ(answersTo(action), expected) << action;
    EXPECT_EQ(answer("Success", "x", "7"),
              "Response: Success\r\nActionID: 7\r\nMessage: x\r\n\r\n");
}

// Recording 25: the user desk may read and write the call class only. Status lists,
// CoreShowChannels is refused, the queue listings answer, and of a caller joining a queue only
// the call events arrive; QueuePause, of the agent class, is refused in every generation.
TEST(ManagerUserTest, ACallOnlyUserAsRecorded)
{
    const std::vector<std::string> recorded =
        simtest::answersIn(simtest::fixture("25_queue_call_class_only.recv.bin"));
    ASSERT_EQ(recorded.size(), 7u);
    std::int64_t now = 1796857150;
    SessionOptions options;
    options.greetingVersion = "13.0.0";
    options.dialect = Dialect::Modern;
    options.moreUsers = {{"desk", "desk", EventClass::Call}};
    CallTable table;
    CallGenerator generator{1};
    QueueTable queues(table, generator, [&now] { return now; });
    for (Queue& q : simtest::recordedQueues(now))
        queues.addQueue(std::move(q));
    ManagerSession desk(options, table, &queues);
    const auto say = [&](ManagerSession& session, std::string_view bytes) {
        std::vector<Output> out;
        session.receive(bytes, now, out);
        session.takeEvents(out);
        std::string text;
        for (const Output& o : out)
            text += o.bytes;
        return text;
    };
    const std::string pause = "Action: QueuePause\r\nInterface: Local/6001@queue-agents/n\r\n"
                              "Paused: false\r\n\r\n";
    EXPECT_EQ(say(desk, "Action: login\r\nUsername: Desk\r\nSecret: desk\r\n"
                        "Events: call,agent,system\r\n\r\n"),
              recorded[0]);
    EXPECT_EQ(say(desk, "Action: Status\r\n\r\n"), recorded[1]);
    EXPECT_EQ(say(desk, "Action: CoreShowChannels\r\n\r\n"), recorded[2]);
    EXPECT_EQ(say(desk, "Action: QueueStatus\r\n\r\n"), recorded[3]);
    EXPECT_EQ(say(desk, "Action: QueueSummary\r\n\r\n"), recorded[4]);
    EXPECT_EQ(say(desk, pause), answer("Error", "Permission denied"));

    now = 1796857158;
    queues.join("sales", simtest::queueCaller(5021, 0, "1796857158", 1, now));
    const std::vector<std::string> events = simtest::eventNames(say(desk, ""));
    EXPECT_EQ(events, (std::vector<std::string>{"Newchannel", "NewCallerid", "NewCallerid",
                                                "Newstate", "DeviceStateChange"}));
    now = 1796857161;
    EXPECT_EQ(say(desk, "Action: QueueStatus\r\n\r\n"), recorded[5]);

    ManagerSession admin(options, table, &queues);
    say(admin, "Action: login\r\nUsername: admin\r\nSecret: \r\n\r\n");
    EXPECT_EQ(say(admin, pause), answer("Success", "Interface unpaused successfully"));
    options.greetingVersion = "1.0";
    ManagerSession old(options, table, &queues);
    say(old, "Action: login\r\nUsername: desk\r\nSecret: desk\r\n\r\n");
    EXPECT_EQ(say(old, pause), answer("Error", "Permission denied"));
    EXPECT_EQ(say(old, "Action: Status\r\n\r\n").substr(0, 19), "Response: Success\r\n");
}

// A client's Hangup may say why from 1.8 on (greeting 1.1): a number from 1 to 127 is the
// Hangup's cause; without one, or with anything else, the cause stays unset.
TEST(HangupCauseTest, TheActionsCauseEndsTheCall)
{
    struct Row
    {
        const char* greeting;
        const char* cause;
        const char* told;
    };
    for (const Row& row : {Row{"1.0", "17", "0"}, Row{"1.1", "17", "17"}, Row{"13.0.0", "19", "19"},
                           Row{"13.0.0", "busy", "0"}, Row{"13.0.0", "128", "0"}}) {
        CallTable table{generateCalls(1, 1, Now)};
        SessionOptions options;
        options.greetingVersion = row.greeting;
        ManagerSession session(options, table);
        std::vector<Output> out;
        session.receive("Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: call\r\n\r\n"
                        "Action: Hangup\r\nChannel: " +
                            table.calls()[0].channel + "\r\nCause: " + row.cause + "\r\n\r\n",
                        Now, out);
        ASSERT_EQ(out.size(), 3u);
        const std::vector<simtest::Block> hangups =
            simtest::blocksStarting(out[2].bytes, "Event: Hangup");
        ASSERT_EQ(hangups.size(), 1u);
        EXPECT_EQ(simtest::field(hangups[0], "Cause"), row.told) << row.greeting << row.cause;
    }
}
