#include "SessionChecks.h"

#include "FuzzSession.h"
#include "LineFramer.h"

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
    EXPECT_EQ(checkLineAction("Action: Status\r\n\r\n", "admin", "s3"), "");
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
