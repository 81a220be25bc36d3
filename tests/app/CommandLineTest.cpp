#include "CommandLine.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

CommandLine parse(QStringList arguments)
{
    arguments.prepend(u"corvale"_s);
    return parseCommandLine(arguments);
}

} // namespace

TEST(CommandLine, WithoutOptionsTheWindowKeepsItsDefaults)
{
    const CommandLine command = parse({});
    EXPECT_TRUE(command.run);
    EXPECT_FALSE(command.options.host);
    EXPECT_FALSE(command.options.port);
    EXPECT_FALSE(command.options.user);
    EXPECT_FALSE(command.options.live);
    EXPECT_TRUE(command.out.isEmpty());
    EXPECT_TRUE(command.err.isEmpty());
}

TEST(CommandLine, PrefillsHostPortAndUserInEitherSpelling)
{
    const CommandLine command =
        parse({u"--host"_s, u"pbx.example.org"_s, u"--port=5039"_s, u"--user"_s, u""_s});
    ASSERT_TRUE(command.run);
    EXPECT_EQ(command.options.host, u"pbx.example.org"_s);
    EXPECT_EQ(command.options.port, u"5039"_s);
    // An empty user is what the operator could type too.
    EXPECT_EQ(command.options.user, u""_s);
}

TEST(CommandLine, HelpAndVersionAnswerWithoutRunning)
{
    const CommandLine help = parse({u"--help"_s});
    EXPECT_FALSE(help.run);
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(u"Usage: corvale [options]\n"_s));
    for (const QString& option :
         {u"--host"_s, u"--port"_s, u"--user"_s, u"--version"_s, u"--live"_s})
        EXPECT_TRUE(help.out.contains(option)) << option.toStdString();
    EXPECT_FALSE(help.out.contains(u"--secret"_s));

    const CommandLine version = parse({u"--version"_s});
    EXPECT_FALSE(version.run);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, u"corvale " CORVALE_VERSION "\n"_s);
}

TEST(CommandLine, RefusesBadOptionsWithOneLineAndStatusTwo)
{
    const QList<QStringList> bad = {
        {u"--secret"_s, u"x"_s},        {u"--port"_s, u"0"_s},
        {u"--port"_s, u"65536"_s},      {u"--port"_s, u"99999999999"_s},
        {u"--port"_s, u"50a"_s},        {u"--port"_s, u" 5038"_s},
        {u"--port"_s, u"+5038"_s},      {u"--port"_s, u""_s},
        {u"--port"_s},                  {u"--host"_s, u"pbx\r\nAction: Hangup"_s},
        {u"--host"_s, u""_s},           {u"--user"_s, u"ad\tmin"_s},
        {u"--user"_s, u"admin\x7f"_s},  {u"somewhere"_s},
        {u"--port"_s, u"1"_s, u"--port"_s, u"2"_s},
    };
    for (const QStringList& arguments : bad) {
        const CommandLine command = parse(arguments);
        const std::string shown = arguments.join(u' ').toStdString();
        EXPECT_FALSE(command.run) << shown;
        EXPECT_EQ(command.status, UsageErrorStatus) << shown;
        EXPECT_TRUE(command.out.isEmpty()) << shown;
        EXPECT_TRUE(command.err.startsWith(u"corvale: "_s)) << shown;
        EXPECT_EQ(command.err.count(u'\n'), 1) << shown;
        EXPECT_TRUE(command.err.endsWith(u'\n')) << shown;
    }
}

TEST(CommandLine, AcceptsTheEdgesOfThePortRange)
{
    EXPECT_EQ(parse({u"--port"_s, u"1"_s}).options.port, u"1"_s);
    EXPECT_EQ(parse({u"--port"_s, u"65535"_s}).options.port, u"65535"_s);
}

TEST(CommandLine, LiveIsASwitch)
{
    const CommandLine command = parse({u"--live"_s, u"--host"_s, u"pbx"_s});
    ASSERT_TRUE(command.run);
    EXPECT_TRUE(command.options.live);
    EXPECT_EQ(command.options.host, u"pbx"_s);
    // It takes no value: a word after it is a stray argument.
    for (const QStringList& arguments :
         QList<QStringList>{{u"--live=yes"_s}, {u"--live"_s, u"on"_s}}) {
        const CommandLine refused = parse(arguments);
        EXPECT_FALSE(refused.run) << arguments.join(u' ').toStdString();
        EXPECT_EQ(refused.status, UsageErrorStatus);
    }
}
