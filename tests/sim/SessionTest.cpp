#include "Session.h"

#include "CallTable.h"

#include <gtest/gtest.h>

using namespace pbxsim;

namespace {

constexpr std::int64_t Now = 1796751512;

class SessionTest : public ::testing::Test
{
protected:
    SessionTest() { options.secret = "pw"; }

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
    Session session{options, table};
};

const std::string Accepted = answer("Success", "Authentication accepted");
const std::string Denied = answer("Error", "Permission denied");

} // namespace

TEST_F(SessionTest, ReadsLinesAsThePbxDoes)
{
    // Lone LF line ends, header names in any case, blanks after the colon, a NUL ending a line.
    using namespace std::literals;
    EXPECT_EQ(answersTo("aCTION: LoGiN\nUSERNAME:\tADMIN\r\nsecret:pw\0 ignored\n\n"sv, true),
              Accepted);
    EXPECT_EQ(answersTo("Action: Ping\r\n\r\n"), "Response: Pong\r\n\r\n");
}

TEST_F(SessionTest, LoneCrStaysInTheValue)
{
    EXPECT_EQ(answersTo("Action: login\r\nUsername: admin\r\nSecret: pw\r\r\n\r\n").substr(0, 17),
              "Response: Error\r\n");
}

TEST_F(SessionTest, MalformedActionsGetTheirErrors)
{
    EXPECT_EQ(answersTo("\r\n"), answer("Error", "Missing action in request"));
    EXPECT_EQ(answersTo("Action: login\r\nX-Pad: " + std::string(2000, 'x') +
                        "\r\nUsername: admin\r\nSecret: pw\r\n\r\n"),
              answer("Error", "Failed to parse message: line too long"));
    // The over-long line did not log in.
    EXPECT_EQ(answersTo("Action: Status\r\n\r\n"), Denied);
}

TEST_F(SessionTest, OnlyLoginAndLogoffBeforeLogin)
{
    EXPECT_EQ(answersTo("Action: Hangup\r\nChannel: x\r\n\r\nAction: Foo\r\n\r\n"),
              Denied + Denied);
    EXPECT_EQ(answersTo("Action: login\r\nUsername: admin\r\nSecret: pw\r\n\r\n"
                        "Action: Foo\r\n\r\nAction: login\r\n\r\n"),
              Accepted + answer("Error", "Invalid/unknown command") +
                  answer("Success", "Already authenticated"));
}

TEST_F(SessionTest, RefusedLoginIsDelayedAndEndsTheSession)
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

TEST_F(SessionTest, HangupMatchesChannelOrUniqueid)
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
