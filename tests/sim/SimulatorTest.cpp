#include "Blocks.h"
#include "PbxSim.h"
#include "TestClient.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <thread>

using namespace simtest;

namespace {

std::string answer(std::string_view response, std::string_view message)
{
    return "Response: " + std::string(response) + "\r\nMessage: " + std::string(message) +
           "\r\n\r\n";
}

std::string recording(const std::string& name)
{
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Challenge numbers differ on every connection; the rest of the bytes must not.
std::string withoutChallenge(const std::string& text)
{
    return std::regex_replace(text, std::regex("\r\nChallenge: [0-9]{8,9}\r\n"),
                              "\r\nChallenge: N\r\n");
}

std::string keyFor(const std::string& challenge, const std::string& secret)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(challenge + secret),
                                    QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

class SimulatorTest : public ::testing::Test
{
protected:
    // Starts the simulator with these arguments and connects `client` to it.
    void start(const QStringList& arguments)
    {
        sim = std::make_unique<PbxSim>(arguments);
        ASSERT_NE(sim->port(), 0) << sim->error().toStdString();
        ASSERT_TRUE(client.connectTo(sim->port()));
    }
    // Takes the greeting and logs in with the defaults.
    void login()
    {
        ASSERT_NE(client.readUntil("\r\n").find("Asterisk Call Manager/"), std::string::npos);
        client.send(DefaultLogin);
        ASSERT_EQ(client.readBlock(), LoginAccepted);
    }
    std::vector<std::string> channelsIn(const std::string& status)
    {
        std::vector<std::string> channels;
        for (const Block& block : splitBlocks(status)) {
            if (!block.empty() && block.front() == "Event: Status")
                channels.push_back(field(block, "Channel"));
        }
        return channels;
    }

    std::unique_ptr<PbxSim> sim;
    TestClient client;
};

} // namespace

TEST_F(SimulatorTest, GreetsAndAcceptsTheConfiguredLogin)
{
    start({"--user", "boss", "--secret", "s3cret"});
    EXPECT_EQ(client.readUntil("\r\n"), "Asterisk Call Manager/1.1\r\n");
    client.send("Action: login\r\nUsername: boss\r\nSecret: s3cret\r\nEvents: Off\r\n\r\n");
    EXPECT_EQ(client.readBlock(), LoginAccepted);
}

TEST_F(SimulatorTest, ModernGreetingMatchesTheRecording)
{
    start({"--dialect", "modern", "--greeting-version", "13.0.0"});
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/01_greeting.recv.bin", std::ios::binary);
    const std::string recorded{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(recorded.size(), 30u);
    EXPECT_EQ(client.readUntil("\r\n"), recorded);
}

TEST_F(SimulatorTest, RefusedLoginIsAnsweredThenClosed)
{
    start({"--refuse-delay-ms", "50"});
    client.readUntil("\r\n");
    client.send("Action: login\r\nUsername: admin\r\nSecret: wrong\r\n\r\n");
    EXPECT_EQ(client.readToClose(), answer("Error", "Authentication failed"));
    EXPECT_TRUE(client.closed());
}

TEST_F(SimulatorTest, RefuseLoginOptionRefusesTheRightSecretAtOnce)
{
    // The default delay would be a second; close-on-refuse answers without it.
    start({"--refuse-login", "--close-on-refuse"});
    client.readUntil("\r\n");
    client.send(DefaultLogin);
    EXPECT_EQ(client.readToClose(500), answer("Error", "Authentication failed"));
    EXPECT_TRUE(client.closed());
}

TEST_F(SimulatorTest, FloodAfterRefusalGoesOnlyAsFastAsTheClientReads)
{
    // Far more than the kernel buffers of a loopback connection hold; not a whole number of lines.
    constexpr std::size_t Flood = 64u << 20;
    const std::string line = std::string(78, 'x') + "\r\n";
    start({"--refuse-login", "--close-on-refuse", "--flood-after-refuse", QString::number(Flood)});
    auto flooded = [this] {
        const QString reply = sim->command("flooded");
        return reply.startsWith(u"ok ") ? reply.mid(3).toULongLong() : 0;
    };
    client.readUntil("\r\n");
    client.send(DefaultLogin);
    ASSERT_EQ(client.readBlock(), answer("Error", "Authentication failed"));
    ASSERT_EQ(client.readUntil("\r\n"), line);

    // The client stops reading: the flood stops once the connection's buffers are full. Nothing
    // signals that, so the count is polled until it stands still.
    std::uint64_t held = 0;
    int still = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (still < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::uint64_t now = flooded();
        still = now == held ? still + 1 : 0;
        held = now;
    }
    EXPECT_EQ(still, 3);
    EXPECT_GE(held, line.size());
    EXPECT_LT(held, Flood);

    // Reading again lets the rest through, whole lines up to the last, then the close.
    const std::string rest = client.readToClose(30000);
    EXPECT_TRUE(client.closed());
    ASSERT_EQ(line.size() + rest.size(), Flood);
    std::size_t wrong = 0;
    for (std::size_t at = 0; at < rest.size(); at += line.size())
        wrong += rest.compare(at, line.size(), line, 0, rest.size() - at) != 0;
    EXPECT_EQ(wrong, 0u);
    EXPECT_EQ(flooded(), Flood);
}

TEST_F(SimulatorTest, PermissionDeniedBeforeLoginKeepsTheConnection)
{
    start({});
    client.readUntil("\r\n");
    client.send(StatusAction);
    EXPECT_EQ(client.readBlock(), answer("Error", "Permission denied"));
    client.send(DefaultLogin);
    EXPECT_EQ(client.readBlock(), LoginAccepted);
}

TEST_F(SimulatorTest, StatusListsEveryCallInEitherDialect)
{
    for (const char* dialect : {"legacy", "modern"}) {
        SCOPED_TRACE(dialect);
        start({"--calls", "5", "--hostile", "--dialect", dialect});
        login();
        client.send(StatusAction);
        const std::string status = client.readStatus();
        const std::vector<Block> blocks = splitBlocks(status);
        ASSERT_EQ(blocks.size(), 22u); // 5 generated, 15 hostile, the answer and the completion
        EXPECT_EQ(countEvents(status, "Status"), 20u);
        EXPECT_EQ(field(blocks.back(), "Items"), "20");
        EXPECT_EQ(blocks[1].size(), std::string(dialect) == "modern" ? 32u : 14u);
    }
}

TEST_F(SimulatorTest, HangupEndsTheCallForEveryConnection)
{
    start({"--calls", "4", "--dialect", "modern"});
    login();
    client.send(StatusAction);
    const std::vector<std::string> before = channelsIn(client.readStatus());
    ASSERT_EQ(before.size(), 4u);

    std::string shouted = before[2];
    for (char& c : shouted)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    client.send("Action: Hangup\r\nChannel: " + shouted + "\r\n\r\n");
    EXPECT_EQ(client.readBlock(), answer("Success", "Channel Hungup"));
    client.send("Action: Hangup\r\nChannel: " + before[2] + "\r\n\r\n");
    EXPECT_EQ(client.readBlock(), answer("Error", "No such channel"));

    TestClient other;
    ASSERT_TRUE(other.connectTo(sim->port()));
    other.readUntil("\r\n");
    other.send(std::string(DefaultLogin) + std::string(StatusAction));
    ASSERT_EQ(other.readBlock(), LoginAccepted);
    const std::vector<std::string> after = channelsIn(other.readStatus());
    EXPECT_EQ(after, (std::vector<std::string>{before[0], before[1], before[3]}));
}

TEST_F(SimulatorTest, PipelinedActionsAreAnsweredInOrder)
{
    start({"--calls", "2"});
    login();
    client.send("Action: Status\r\n\r\nAction: Hangup\r\nChannel: SIP/none-00000000\r\n\r\n"
                "Action: Bogus\r\n\r\nAction: Status\r\n\r\nAction: Logoff\r\n\r\n");
    EXPECT_EQ(countEvents(client.readStatus(), "Status"), 2u);
    EXPECT_EQ(client.readBlock(), answer("Error", "No such channel"));
    EXPECT_EQ(client.readBlock(), answer("Error", "Invalid/unknown command"));
    EXPECT_EQ(countEvents(client.readStatus(), "Status"), 2u);
    EXPECT_EQ(client.readToClose(), answer("Goodbye", "Thanks for all the fish."));
    EXPECT_TRUE(client.closed());
}

TEST_F(SimulatorTest, DripSendsEveryAnswerByteByByte)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString transcript = dir.filePath("wire.txt");
    start({"--chunk", "1", "--calls", "2", "--transcript", transcript});
    login();
    client.send(StatusAction);
    const std::string status = client.readStatus();
    EXPECT_EQ(countEvents(status, "Status"), 2u);
    sim->stop();

    // The transcript shows each write; every one the simulator made was a single byte.
    std::ifstream in(transcript.toStdString());
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    const std::regex write("S< ([0-9]+) bytes:");
    std::size_t writes = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), write);
         it != std::sregex_iterator(); ++it, ++writes)
        ASSERT_EQ((*it)[1].str(), "1");
    EXPECT_EQ(writes, 27 + LoginAccepted.size() + status.size());
    EXPECT_NE(text.find("C> Action: login\\r\\n\n"), std::string::npos);
}

TEST_F(SimulatorTest, ClosesAfterTheGivenNumberOfBytes)
{
    start({"--close-after-bytes", "40"});
    client.readUntil("\r\n");
    client.send(DefaultLogin);
    // The greeting "Asterisk Call Manager/1.1\r\n" is 27 of them.
    EXPECT_EQ(client.readToClose(), LoginAccepted.substr(0, 13));
    EXPECT_TRUE(client.closed());
}

TEST_F(SimulatorTest, ClosesAfterTheLogin)
{
    start({"--close-after-login"});
    client.readUntil("\r\n");
    client.send(std::string(DefaultLogin) + std::string(StatusAction));
    EXPECT_EQ(client.readToClose(), LoginAccepted);
    EXPECT_TRUE(client.closed());
}

TEST_F(SimulatorTest, LongLineComesBeforeTheStatusAnswer)
{
    start({"--long-line", "40000", "--calls", "1"});
    login();
    client.send(StatusAction);
    const std::string line = client.readUntil("\r\n");
    EXPECT_EQ(line.size(), 40002u);
    EXPECT_EQ(line.find_first_of("\r\n"), 40000u);
    EXPECT_EQ(countEvents(client.readStatus(), "Status"), 1u);
}

TEST_F(SimulatorTest, UnansweredHangupStillEndsTheCall)
{
    start({"--no-hangup-answer", "--calls", "2"});
    login();
    client.send(StatusAction);
    const std::vector<std::string> before = channelsIn(client.readStatus());
    ASSERT_EQ(before.size(), 2u);
    client.send("Action: Hangup\r\nChannel: " + before[0] + "\r\n\r\n" + std::string(StatusAction));
    // The next thing to arrive is the status answer, without the hung-up call.
    EXPECT_EQ(channelsIn(client.readStatus()), std::vector<std::string>{before[1]});
}

TEST_F(SimulatorTest, ServesATenThousandCallListing)
{
    start({"--calls", "10000", "--dialect", "modern"});
    login();
    client.send(StatusAction);
    const std::string status = client.readStatus(30000);
    ASSERT_FALSE(client.timedOut());
    EXPECT_GT(status.size(), 6'000'000u);
    EXPECT_EQ(countEvents(status, "Status"), 10000u);
    EXPECT_EQ(field(splitBlocks(status).back(), "ListItems"), "10000");
}

// Recordings 17, 17b and 17c replayed against the simulator: the same bytes come back, but for
// the challenge number, and the key of that number logs in.
TEST_F(SimulatorTest, ChallengeLoginAnswersAsTheRecordings)
{
    const QStringList pbx = {"--secret",           "secret", "--dialect",         "modern",
                             "--greeting-version", "13.0.0", "--refuse-delay-ms", "50"};
    const std::string right = recording("17_challenge_md5_login.recv.bin");
    const std::string wrong = recording("17b_challenge_md5_wrong_key.recv.bin");
    const std::string types = recording("17c_challenge_authtypes.recv.bin");
    ASSERT_EQ(right.substr(0, 30), "Asterisk Call Manager/13.0.0\r\n");

    start(pbx);
    std::string got = client.readUntil("\r\n");
    client.send("Action: Challenge\r\nAuthType: MD5\r\n\r\n");
    const std::string challengeBlock = client.readBlock();
    got += challengeBlock;
    const std::smatch number = [&] {
        std::smatch m;
        std::regex_search(challengeBlock, m, std::regex("Challenge: ([0-9]+)\r\n"));
        return m;
    }();
    ASSERT_FALSE(number.empty()) << challengeBlock;
    client.send("Action: Login\r\nAuthType: MD5\r\nUsername: admin\r\nKey: " +
                keyFor(number[1].str(), "secret") + "\r\nEvents: Off\r\n\r\n");
    got += client.readBlock();
    const std::size_t loggedIn = right.find("Authentication accepted\r\n\r\n") + 27;
    EXPECT_EQ(withoutChallenge(got), withoutChallenge(right.substr(0, loggedIn)));

    // The recorded wrong key is wrong for any challenge; the PBX refuses it and closes.
    start(pbx);
    client.send(recording("17b_challenge_md5_wrong_key.sent.bin"));
    EXPECT_EQ(withoutChallenge(client.readToClose()), withoutChallenge(wrong));
    EXPECT_TRUE(client.closed());

    start(pbx);
    client.send(recording("17c_challenge_authtypes.sent.bin"));
    const std::string authTypes = client.readUntil("Must specify AuthType\r\n\r\n");
    EXPECT_EQ(withoutChallenge(authTypes), withoutChallenge(types));
}

TEST_F(SimulatorTest, ChallengeErrorOptionAnswersWithAMessage)
{
    start({"--challenge-error"});
    client.readUntil("\r\n");
    client.send("Action: Challenge\r\nAuthType: MD5\r\n\r\n");
    EXPECT_EQ(client.readBlock(), answer("Error", "Challenge is not permitted here"));
    client.send(DefaultLogin);
    EXPECT_EQ(client.readBlock(), LoginAccepted);
}

TEST_F(SimulatorTest, CallChangesReachOnlyTheClientsThatAskedForEvents)
{
    start({"--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "2"});
    client.readUntil("\r\n");
    client.send(loginWithEvents("call"));
    ASSERT_EQ(client.readBlock(), LoginAccepted);
    TestClient quiet;
    ASSERT_TRUE(quiet.connectTo(sim->port()));
    quiet.readUntil("\r\n");
    quiet.send(DefaultLogin);
    ASSERT_EQ(quiet.readBlock(), LoginAccepted);

    ASSERT_EQ(sim->command("start SIP/2041-00000001 2041 Alice Smith"), "ok SIP/2041-00000001");
    EXPECT_EQ(eventNames(client.readUntil("State: INUSE\r\n\r\n")),
              (std::vector<std::string>{"Newchannel", "NewCallerid", "NewCallerid", "Newstate",
                                        "DeviceStateChange"}));
    ASSERT_EQ(sim->command("callerid SIP/2041-00000001 2042 Bob Jones"), "ok");
    const std::vector<Block> changed = splitBlocks(client.readBlock());
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(field(changed[0], "CallerIDName"), "Bob Jones");
    EXPECT_EQ(field(changed[0], "CallerIDNum"), "2042");

    // Another client's Hangup: it gets its answer alone, the one that asked gets the events.
    quiet.send("Action: Hangup\r\nChannel: SIP/2041-00000001\r\n\r\nAction: Ping\r\n\r\n");
    EXPECT_EQ(quiet.readBlock(), answer("Success", "Channel Hungup"));
    EXPECT_EQ(quiet.readBlock().substr(0, 31), "Response: Success\r\nPing: Pong\r\n");
    EXPECT_EQ(eventNames(client.readUntil("State: NOT_INUSE\r\n\r\n")),
              (std::vector<std::string>{"SoftHangupRequest", "Hangup", "DeviceStateChange"}));
    EXPECT_EQ(sim->command("hangup SIP/2041-00000001"), "error no such channel");
}

TEST_F(SimulatorTest, EventsNeverInterleaveAStatusListing)
{
    start({"--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "3000"});
    client.readUntil("\r\n");
    client.send(loginWithEvents("call"));
    ASSERT_EQ(client.readBlock(), LoginAccepted);
    client.send(StatusAction);
    // While the listing (2 MB) is on its way, calls start and end.
    constexpr int Changes = 20;
    for (int i = 0; i < Changes; ++i) {
        const QString reply = sim->command("start");
        ASSERT_TRUE(reply.startsWith("ok ")) << reply.toStdString();
        ASSERT_EQ(sim->command("hangup " + reply.mid(3)), "ok");
    }
    std::string text = client.readStatus(20000);
    // Counted apart from the listing, which is slow to split again and again.
    const std::size_t before = countEvents(text, "Hangup");
    std::string after;
    while (before + countEvents(after, "Hangup") < Changes && !client.timedOut() &&
           !client.closed())
        after += client.readBlock();
    text += after;

    const std::vector<Block> blocks = splitBlocks(text);
    const auto listed = std::find_if(blocks.begin(), blocks.end(), [](const Block& b) {
        return field(b, "Message") == "Channel status will follow";
    });
    ASSERT_NE(listed, blocks.end());
    const auto complete = std::find_if(listed, blocks.end(), [](const Block& b) {
        return !b.empty() && b.front() == "Event: StatusComplete";
    });
    ASSERT_NE(complete, blocks.end());
    EXPECT_TRUE(std::all_of(listed + 1, complete,
                            [](const Block& b) { return b.front() == "Event: Status"; }));
    EXPECT_EQ(std::to_string(complete - listed - 1), field(*complete, "ListItems"));
    EXPECT_EQ(countEvents(text, "Newchannel"), static_cast<std::size_t>(Changes));
    EXPECT_EQ(countEvents(text, "Hangup"), static_cast<std::size_t>(Changes));
}

TEST_F(SimulatorTest, GreetingOneZeroGetsTheEventsOfPbxOneFour)
{
    start({"--greeting-version", "1.0", "--calls", "1"});
    client.readUntil("\r\n");
    client.send(loginWithEvents("call"));
    ASSERT_EQ(client.readBlock(), LoginAccepted);
    ASSERT_EQ(sim->command("start SIP/7-00000007 7 Seven"), "ok SIP/7-00000007");
    ASSERT_EQ(sim->command("rename SIP/7-00000007 SIP/8-00000008"), "ok");
    EXPECT_EQ(
        eventNames(client.readUntil("Newname: SIP/8-00000008\r\n")),
        (std::vector<std::string>{"Newchannel", "Newexten", "Newcallerid", "Newstate", "Rename"}));
}

namespace {

std::set<std::string> channelSet(const std::vector<std::string>& channels)
{
    return {channels.begin(), channels.end()};
}

} // namespace

// What the events say, applied to the first listing, gives the last listing and the channels
// written at exit: a client that follows the events can be checked against the PBX exactly.
TEST_F(SimulatorTest, ChurnEventsAddUpToTheNextListing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString dump = dir.filePath("channels.txt");
    start({"--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "50",
           "--dump-channels", dump});
    client.readUntil("\r\n");
    client.send(loginWithEvents("call") + std::string(StatusAction));
    ASSERT_EQ(client.readBlock(), LoginAccepted);
    std::set<std::string> expected = channelSet(channelsIn(client.readStatus()));
    ASSERT_EQ(expected.size(), 50u);

    ASSERT_EQ(sim->command("churn 200 1"), "ok");
    std::size_t started = 0, ended = 0;
    while ((started < 200 || ended < 200) && !client.timedOut() && !client.closed()) {
        const std::vector<Block> blocks = splitBlocks(client.readBlock());
        if (blocks.size() != 1)
            continue;
        const std::string channel = field(blocks[0], "Channel");
        if (blocks[0].front() == "Event: Newchannel") {
            EXPECT_TRUE(expected.insert(channel).second) << channel;
            ++started;
        } else if (blocks[0].front() == "Event: Hangup") {
            EXPECT_EQ(expected.erase(channel), 1u) << channel;
            ++ended;
        }
    }
    EXPECT_EQ(started, 200u);
    EXPECT_EQ(ended, 200u);
    EXPECT_EQ(sim->command("count"), "ok 50");
    client.send(StatusAction);
    const std::vector<std::string> last = channelsIn(client.readStatus());
    EXPECT_EQ(channelSet(last), expected);

    sim->stop();
    QFile file(dump);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    std::string joined;
    for (const std::string& channel : last)
        joined += channel + "\n";
    EXPECT_EQ(file.readAll().toStdString(), joined);
}

TEST_F(SimulatorTest, ChurnOptionStartsWithTheSimulator)
{
    start({"--calls", "5", "--churn", "100"});
    client.readUntil("\r\n");
    client.send(loginWithEvents("call"));
    ASSERT_EQ(client.readBlock(), LoginAccepted);
    // Each step ends a call, then starts one.
    const std::string events = client.readUntil("Event: Newchannel\r\n");
    EXPECT_FALSE(client.timedOut());
    EXPECT_NE(events.find("Event: Hangup\r\n"), std::string::npos);
    EXPECT_EQ(sim->command("count"), "ok 5");
}

TEST_F(SimulatorTest, BridgedPairsListTogetherAndEndTogether)
{
    start(
        {"--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "4", "--bridged", "1"});
    login();
    client.send(StatusAction);
    const std::vector<Block> records = blocksStarting(client.readStatus(), "Event: Status");
    ASSERT_EQ(records.size(), 4u);
    EXPECT_NE(field(records[0], "BridgeID"), "");
    EXPECT_EQ(field(records[0], "BridgeID"), field(records[1], "BridgeID"));
    EXPECT_EQ(field(records[0], "Linkedid"), field(records[1], "Linkedid"));
    EXPECT_EQ(field(records[2], "BridgeID") + field(records[3], "BridgeID"), "");

    const QString third = QString::fromStdString(field(records[2], "Channel"));
    const QString fourth = QString::fromStdString(field(records[3], "Channel"));
    EXPECT_EQ(sim->command("bridge " + third + " " + fourth), "ok");
    EXPECT_TRUE(sim->command("bridge " + fourth + " " + third).startsWith("error "));
    client.send("Action: Hangup\r\nChannel: " + field(records[3], "Channel") + "\r\n\r\n");
    EXPECT_EQ(client.readBlock(), answer("Success", "Channel Hungup"));
    EXPECT_EQ(sim->command("count"), "ok 2");
    EXPECT_EQ(sim->command("unbridge " + QString::fromStdString(field(records[0], "Channel"))),
              "ok");
    client.send(StatusAction);
    EXPECT_EQ(
        channelsIn(client.readStatus()),
        (std::vector<std::string>{field(records[0], "Channel"), field(records[1], "Channel")}));
}
