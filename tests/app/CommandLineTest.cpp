#include "CommandLine.h"
#include "TestCertificates.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

CommandLine parse(QStringList arguments)
{
    arguments.prepend(u"corvale"_s);
    return parseCommandLine(arguments);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
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
        {u"--secret"_s, u"x"_s},
        {u"--port"_s, u"0"_s},
        {u"--port"_s, u"65536"_s},
        {u"--port"_s, u"99999999999"_s},
        {u"--port"_s, u"50a"_s},
        {u"--port"_s, u" 5038"_s},
        {u"--port"_s, u"+5038"_s},
        {u"--port"_s, u""_s},
        {u"--port"_s},
        {u"--host"_s, u"pbx\r\nAction: Hangup"_s},
        {u"--host"_s, u""_s},
        {u"--user"_s, u"ad\tmin"_s},
        {u"--user"_s, u"admin\x7f"_s},
        {u"somewhere"_s},
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

TEST(CommandLine, TlsStartsThePortAt5039UnlessOneIsGiven)
{
    const CommandLine plain = parse({});
    EXPECT_FALSE(plain.options.tls);
    EXPECT_FALSE(plain.options.challengeLogin);

    const CommandLine tls = parse({u"--tls"_s});
    ASSERT_TRUE(tls.run);
    EXPECT_TRUE(tls.options.tls);
    EXPECT_EQ(tls.options.port, u"5039"_s);
    EXPECT_TRUE(tls.options.trusted.isEmpty()); // the system's authorities

    const CommandLine given = parse({u"--port"_s, u"6039"_s, u"--tls"_s});
    ASSERT_TRUE(given.run);
    EXPECT_EQ(given.options.port, u"6039"_s);
}

TEST(CommandLine, AuthIsPlainOrMd5)
{
    EXPECT_FALSE(parse({u"--auth"_s, u"plain"_s}).options.challengeLogin);
    const CommandLine md5 = parse({u"--auth=md5"_s, u"--tls"_s});
    ASSERT_TRUE(md5.run);
    EXPECT_TRUE(md5.options.challengeLogin);
    EXPECT_TRUE(md5.options.tls);
    EXPECT_TRUE(parse({u"--help"_s}).out.contains(u"--auth <plain|md5>"_s));
}

TEST(CommandLine, TlsCaFileMustHoldACertificate)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.isValid()) << certs.error().toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto write = [&dir](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return file.fileName();
    };

    const CommandLine trusted = parse({u"--tls"_s, u"--tls-ca"_s, certs.caFile()});
    ASSERT_TRUE(trusted.run) << trusted.err.toStdString();
    ASSERT_EQ(trusted.options.trusted.size(), 1);
    EXPECT_EQ(trusted.options.trusted.front(), QSslCertificate::fromPath(certs.caFile()).value(0));
    // A file of several, with text around them, as many authorities hand them out.
    const QString bundle =
        write("bundle.pem", "Our PBX\n" + readAll(certs.caFile()) + "\n" +
                                readAll(certs.certificateFile(TestCertificates::Good)) +
                                "trailing words\n");
    EXPECT_EQ(parse({u"--tls"_s, u"--tls-ca"_s, bundle}).options.trusted.size(), 2);

    const QString missing = dir.filePath(u"missing.pem"_s);
    const QList<QStringList> refused = {
        {u"--tls"_s, u"--tls-ca"_s, missing},
        {u"--tls"_s, u"--tls-ca"_s, certs.keyFile(TestCertificates::Good)},
        {u"--tls"_s, u"--tls-ca"_s, write("empty.pem", "")},
        {u"--tls"_s, u"--tls-ca"_s, write("binary.der", QByteArray("\x30\x82\x01\x0a\x02", 5))},
        {u"--tls"_s, u"--tls-ca"_s, dir.path()},
        {u"--tls"_s, u"--tls-ca"_s, dir.filePath(u"new\nline.pem"_s)},
        {u"--tls"_s, u"--tls-ca"_s, certs.caFile(), u"--tls-ca"_s, certs.caFile()},
        {u"--tls-ca"_s, certs.caFile()}, // without --tls, it would protect nothing
        {u"--tls"_s, u"--tls-ca"_s},
        {u"--auth"_s, u"MD5"_s},
        {u"--auth"_s, u"sha1"_s},
        {u"--auth"_s, u""_s},
        {u"--auth"_s, u"md5"_s, u"--auth"_s, u"plain"_s},
        {u"--tls=yes"_s},
    };
    for (const QStringList& arguments : refused) {
        const CommandLine command = parse(arguments);
        const std::string shown = arguments.join(u' ').toStdString();
        EXPECT_FALSE(command.run) << shown;
        EXPECT_EQ(command.status, UsageErrorStatus) << shown;
        EXPECT_TRUE(command.err.startsWith(u"corvale: "_s)) << shown;
        EXPECT_EQ(command.err.count(u'\n'), 1) << shown;
    }
    EXPECT_TRUE(parse({u"--tls"_s, u"--tls-ca"_s, missing}).err.contains(missing));

    // A file the user may not read; root reads anything, so there it is not tried.
    if (::geteuid() != 0) {
        const QString locked = write("locked.pem", readAll(certs.caFile()));
        QFile::setPermissions(locked, QFileDevice::Permissions());
        EXPECT_EQ(parse({u"--tls"_s, u"--tls-ca"_s, locked}).status, UsageErrorStatus);
    }
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
