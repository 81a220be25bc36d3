#include "Wire.h"

#include <gtest/gtest.h>

using namespace corvale;

TEST(WireTest, ActionsAreExactBytes)
{
    const auto login = loginAction("admin", "");
    ASSERT_TRUE(login);
    EXPECT_EQ(*login, "Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: Off\r\n\r\n");
    EXPECT_EQ(login->size(), 57u);

    // A listing carries its ActionID and nothing else besides its name.
    EXPECT_EQ(actionWithId("Status", "corvale-0123456789abcdef"),
              "Action: Status\r\nActionID: corvale-0123456789abcdef\r\n\r\n");

    const auto hangup = hangupAction("SIP/100-0a1b");
    ASSERT_TRUE(hangup);
    EXPECT_EQ(*hangup, "Action: Hangup\r\nChannel: SIP/100-0a1b\r\n\r\n");
    EXPECT_EQ(hangup->size(), 29u + 12u);
    EXPECT_EQ(hangupAction("")->size(), 29u);
}

TEST(WireTest, LiveLoginDiffersOnlyInItsEventsHeader)
{
    const auto live = loginAction("admin", "s", EventsCall);
    ASSERT_TRUE(live);
    EXPECT_EQ(*live, "Action: login\r\nUsername: admin\r\nSecret: s\r\nEvents: call\r\n\r\n");
    EXPECT_EQ(*loginAction("admin", "s", EventsOff), *loginAction("admin", "s"));
}

TEST(WireTest, ValuesAreSentAsTypedIncludingSpacesAndHighBytes)
{
    EXPECT_EQ(*loginAction("admin ", " s\xe9"),
              "Action: login\r\nUsername: admin \r\nSecret:  s\xe9\r\nEvents: Off\r\n\r\n");
    EXPECT_EQ(*hangupAction("Local/101@calls-00000000;2"),
              "Action: Hangup\r\nChannel: Local/101@calls-00000000;2\r\n\r\n");
}

TEST(WireTest, ValuesThatWouldBreakTheLineAreRefused)
{
    using namespace std::string_literals;
    for (const std::string& bad : {"a\r\nAction: Logoff"s, "a\nb"s, "a\rb"s, "a\0b"s, "\n"s}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(isSafeHeaderValue(bad));
        EXPECT_FALSE(loginAction(bad, ""));
        EXPECT_FALSE(loginAction("admin", bad));
        EXPECT_FALSE(hangupAction(bad));
    }
    EXPECT_TRUE(isSafeHeaderValue("tab\there"));
}

TEST(WireTest, ChallengeLoginIsExactBytesAndRefusesUnsafeValues)
{
    EXPECT_EQ(ChallengeAction, "Action: Challenge\r\nAuthType: MD5\r\n\r\n");
    EXPECT_EQ(*md5LoginAction("admin", "869bfd94f8d0835d026775b296fa1fa5"),
              "Action: Login\r\nAuthType: MD5\r\nUsername: admin\r\n"
              "Key: 869bfd94f8d0835d026775b296fa1fa5\r\nEvents: Off\r\n\r\n");
    // Both logins carry the Events value they are given.
    EXPECT_EQ(*md5LoginAction("a", "k", "call"),
              "Action: Login\r\nAuthType: MD5\r\nUsername: a\r\nKey: k\r\nEvents: call\r\n\r\n");
    EXPECT_EQ(*loginAction("a", "s", "call"),
              "Action: login\r\nUsername: a\r\nSecret: s\r\nEvents: call\r\n\r\n");
    for (const std::string_view bad :
         {std::string_view("a\r\nb"), std::string_view("a\nb"), std::string_view("a\0b", 3)}) {
        EXPECT_FALSE(md5LoginAction(bad, "k"));
        EXPECT_FALSE(md5LoginAction("a", bad));
        EXPECT_FALSE(md5LoginAction("a", "k", bad));
        EXPECT_FALSE(loginAction("a", "s", bad));
    }
}
