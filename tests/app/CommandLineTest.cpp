#include "CommandLine.h"

#include "TestCertificates.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
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
         {u"--host"_s, u"--port"_s, u"--user"_s, u"--version"_s, u"--live"_s, u"--reconnect"_s,
          u"--console"_s, u"--long-call <MINUTES>"_s, u"--profile <NAME>"_s, u"--lang <CODE>"_s})
        EXPECT_TRUE(help.out.contains(option)) << option.toStdString();
    EXPECT_FALSE(help.out.contains(u"--secret"_s));
    // The defaults, and what each exit status means (as main and the window end the run);
    // the parser wraps lines where it likes.
    const QString words = help.out.simplified();
    for (const QString& text :
         {u"Pre-fill the Host field (default: localhost)."_s,
          u"Pre-fill the Port field, 1 to 65535 (default: 5038; 5039 with --tls)."_s,
          u"Pre-fill the User field (default: admin)."_s,
          u"Exit status: 0 the window was closed 1 the PBX could not be reached or ended the "
          "connection, the login was refused, or TLS could not be set up 2 the command line was "
          "refused"_s})
        EXPECT_TRUE(words.contains(text)) << text.toStdString();
    EXPECT_EQ(parse({u"-h"_s}).out, help.out);

    const CommandLine version = parse({u"--version"_s});
    EXPECT_FALSE(version.run);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, u"corvale " CORVALE_VERSION "\n"_s);
}

TEST(CommandLine, EveryOptionOfTheHelpReadsAlike)
{
    // Each option's entry: its long name (and value) at the same indentation, then a sentence;
    // continuation lines only under the descriptions.
    const QString help = parse({u"--help"_s}).out;
    const qsizetype from = help.indexOf(u"\nOptions:\n"_s);
    ASSERT_GE(from, 0);
    const QStringList lines = help.mid(from + 10).section(u"\n\n"_s, 0, 0).split(u'\n');
    static const QRegularExpression entry(u"^  --[a-z-]+( <[^>]+>)?(, -[a-z])?  +([A-Z].*)$"_s);
    QStringList descriptions;
    for (const QString& line : lines) {
        if (const QRegularExpressionMatch match = entry.match(line); match.hasMatch())
            descriptions << match.captured(3);
        else if (line.startsWith(QString(10, u' ')) && !descriptions.isEmpty())
            descriptions.last() += u' ' + line.trimmed();
        else
            ADD_FAILURE() << "not an option's line: " << line.toStdString();
    }
    EXPECT_EQ(descriptions.size(), 14);
    for (const QString& description : descriptions)
        EXPECT_TRUE(description.endsWith(u'.')) << description.toStdString();
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

TEST(CommandLine, AuthIsPlainOrMd5InAnyCase)
{
    EXPECT_FALSE(parse({u"--auth"_s, u"plain"_s}).options.challengeLogin);
    const CommandLine md5 = parse({u"--auth=md5"_s, u"--tls"_s});
    ASSERT_TRUE(md5.run);
    EXPECT_TRUE(md5.options.challengeLogin);
    EXPECT_TRUE(md5.options.tls);
    EXPECT_TRUE(parse({u"--auth"_s, u"MD5"_s}).options.challengeLogin);
    const CommandLine plain = parse({u"--auth"_s, u"Plain"_s});
    ASSERT_TRUE(plain.run);
    EXPECT_FALSE(plain.options.challengeLogin);
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
        {u"--tls"_s, u"--tls-ca"_s, u""_s},
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

TEST(CommandLine, TlsCaTakesOnlyARegularFileOfAtMostOneMebibyte)
{
    TestCertificates certs;
    ASSERT_TRUE(certs.isValid()) << certs.error().toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto refusal = [](const QString& file) {
        const CommandLine command = parse({u"--tls"_s, u"--tls-ca"_s, file});
        EXPECT_FALSE(command.run) << file.toStdString();
        EXPECT_EQ(command.status, UsageErrorStatus) << file.toStdString();
        return command.err;
    };

    // Endless: read whole, it would exhaust the memory.
    EXPECT_EQ(refusal(u"/dev/zero"_s),
              u"corvale: --tls-ca: /dev/zero is not a regular file (see corvale --help)\n"_s);

    // A pipe nobody writes to: opening it to read would wait for a writer forever.
    const QString fifo = dir.filePath(u"pipe.pem"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto answer = std::async(std::launch::async, [&] { return refusal(fifo); });
    if (answer.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "--tls-ca on a pipe blocks";
        // Set it free: a writer that leaves at once ends its read.
        ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_EQ(answer.get(),
              u"corvale: --tls-ca: %1 is not a regular file (see corvale --help)\n"_s.arg(fifo));

    // Up to 1 MiB is read; past it, nothing is.
    const QByteArray pem = readAll(certs.caFile());
    const auto padded = [&dir, &pem](const char* name, qsizetype size) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        file.open(QIODevice::WriteOnly);
        file.write(pem + QByteArray(size - pem.size(), '\n'));
        return file.fileName();
    };
    const CommandLine whole = parse({u"--tls"_s, u"--tls-ca"_s, padded("full.pem", 1 << 20)});
    EXPECT_TRUE(whole.run) << whole.err.toStdString();
    EXPECT_EQ(whole.options.trusted.size(), 1);
    const QString large = padded("large.pem", (1 << 20) + 1);
    EXPECT_EQ(refusal(large), u"corvale: --tls-ca: %1 is larger than 1 MiB, too large for "
                              "certificates (see corvale --help)\n"_s.arg(large));
}

TEST(CommandLine, EveryRefusalNamesWhatIsWrongAlike)
{
    const QString Hint = u" (see corvale --help)\n"_s;
    const QList<std::pair<QStringList, QString>> refusals = {
        {{u"--bogus"_s}, u"--bogus: unknown option"_s},
        {{u"--bogus=1"_s}, u"--bogus: unknown option"_s},
        {{u"-x"_s}, u"-x: unknown option"_s},
        // Typed with one dash, a long option is not taken for the letters -h -o -s -t.
        {{u"-host"_s, u"pbx"_s}, u"-host: unknown option; did you mean --host?"_s},
        {{u"-tls-ca=x"_s}, u"-tls-ca: unknown option; did you mean --tls-ca?"_s},
        {{u"--Port"_s, u"5038"_s}, u"--Port: unknown option; did you mean --port?"_s},
        {{u"--secret"_s, u"x"_s},
         u"--secret: unknown option; the secret is typed into the window"_s},
        {{u"somewhere"_s}, u"somewhere: unexpected argument"_s},
        {{u"--"_s, u"--host"_s}, u"--host: unexpected argument"_s},
        {{u"--live"_s, u"on"_s}, u"on: unexpected argument; --live takes no value"_s},
        {{u"--tls=yes"_s}, u"--tls: takes no value"_s},
        {{u"--port"_s}, u"--port: needs a port number"_s},
        {{u"--host"_s, u"--port"_s, u"5038"_s}, u"--host: needs a host name or address"_s},
        {{u"--host="_s}, u"--host: needs a host name or address"_s},
        {{u"--port"_s, u"0"_s}, u"--port: must be a whole number from 1 to 65535"_s},
        {{u"--port=1"_s, u"--port"_s, u"1"_s}, u"--port: given more than once"_s},
        {{u"--user"_s, u"a\nb"_s}, u"--user: holds a control character"_s},
        {{u"--auth"_s, u"sha1"_s}, u"--auth: must be plain or md5"_s},
        {{u"--tls"_s, u"--tls-ca"_s, u""_s}, u"--tls-ca: needs a file name"_s},
        {{u"--tls-ca"_s, u"ca.pem"_s}, u"--tls-ca: only works with --tls"_s},
        {{u"--tls"_s, u"--tls-ca"_s, u"/nowhere/ca.pem"_s},
         u"--tls-ca: there is no file /nowhere/ca.pem"_s},
        {{u"--tls"_s, u"--tls-ca"_s, u"/"_s}, u"--tls-ca: / is a folder, not a file"_s},
        {{u"--long-call"_s, u"30"_s}, u"--long-call: only works with --console"_s},
        {{u"--console"_s, u"--long-call"_s, u"1441"_s},
         u"--long-call: must be a whole number of minutes from 1 to 1440"_s},
        {{u"--console"_s, u"--long-call"_s}, u"--long-call: needs a number of minutes"_s},
        {{u"--lang"_s}, u"--lang: needs a language code"_s},
        {{u"--lang"_s, u"de_DE.UTF-8"_s}, u"--lang: must be a language code such as de or de_DE"_s},
        {{u"--lang"_s, u"xx"_s}, u"--lang: xx is no language known here"_s},
        // What is shown of a stray word stays on one line.
        {{u"new\nline"_s}, u"new?line: unexpected argument"_s},
    };
    for (const auto& [arguments, why] : refusals) {
        const CommandLine command = parse(arguments);
        EXPECT_EQ(command.err, u"corvale: "_s + why + Hint) << arguments.join(u' ').toStdString();
        EXPECT_EQ(command.status, UsageErrorStatus);
    }
}

TEST(CommandLine, ReconnectConsoleAndLongCall)
{
    const CommandLine plain = parse({});
    EXPECT_FALSE(plain.options.reconnect);
    EXPECT_FALSE(plain.options.console);
    EXPECT_FALSE(plain.options.longCallMinutes);

    const CommandLine command =
        parse({u"--reconnect"_s, u"--console"_s, u"--long-call"_s, u"1440"_s, u"--live"_s});
    ASSERT_TRUE(command.run) << command.err.toStdString();
    EXPECT_TRUE(command.options.reconnect);
    EXPECT_TRUE(command.options.console);
    EXPECT_EQ(command.options.longCallMinutes, 1440);
    EXPECT_TRUE(command.options.live);
    EXPECT_EQ(parse({u"--long-call=1"_s, u"--console"_s}).options.longCallMinutes, 1);
    EXPECT_FALSE(parse({u"--console"_s}).options.longCallMinutes);

    for (const QStringList& arguments : QList<QStringList>{
             {u"--reconnect=yes"_s},
             {u"--console"_s, u"--long-call"_s, u"-5"_s},
             {u"--console"_s, u"--long-call"_s, u"1.5"_s},
             {u"--console"_s, u"--long-call"_s, u"99999999999"_s},
             {u"--console"_s, u"--long-call"_s, u"10"_s, u"--long-call"_s, u"20"_s}}) {
        const CommandLine refused = parse(arguments);
        EXPECT_FALSE(refused.run) << arguments.join(u' ').toStdString();
        EXPECT_EQ(refused.status, UsageErrorStatus);
    }
}

TEST(CommandLine, ProfilesAreRepeatableWithTheConsoleOnly)
{
    EXPECT_TRUE(parse({u"--console"_s}).options.profiles.isEmpty());
    const CommandLine command = parse({u"--profile"_s, u"HQ"_s, u"--console"_s,
                                       u"--profile=Branch office"_s, u"--profile"_s, u"HQ"_s});
    ASSERT_TRUE(command.run) << command.err.toStdString();
    // In the order given, each once.
    EXPECT_EQ(command.options.profiles, (QStringList{u"HQ"_s, u"Branch office"_s}));

    const QString Hint = u" (see corvale --help)\n"_s;
    const std::pair<QStringList, QString> refusals[] = {
        {{u"--profile"_s, u"HQ"_s}, u"--profile: only works with --console"_s},
        {{u"--console"_s, u"--profile="_s}, u"--profile: needs a profile name"_s},
        {{u"--console"_s, u"--profile"_s, u"  "_s}, u"--profile: needs a profile name"_s},
        {{u"--console"_s, u"--profile"_s}, u"--profile: needs a profile name"_s},
        {{u"--console"_s, u"--profile"_s, u"a\tb"_s}, u"--profile: holds a control character"_s},
    };
    for (const auto& [arguments, why] : refusals) {
        const CommandLine refused = parse(arguments);
        EXPECT_EQ(refused.err, u"corvale: "_s + why + Hint) << arguments.join(u' ').toStdString();
        EXPECT_EQ(refused.status, UsageErrorStatus);
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

TEST(CommandLine, LangTakesALanguageWithCountryOrScript)
{
    EXPECT_FALSE(parse({}).options.lang);
    for (const QString& code :
         {u"de"_s, u"de_DE"_s, u"de-AT"_s, u"en"_s, u"es_419"_s, u"sr_Latn_RS"_s, u"gsw"_s}) {
        const CommandLine command = parse({u"--lang"_s, code});
        ASSERT_TRUE(command.run) << command.err.toStdString();
        EXPECT_EQ(command.options.lang, code);
    }
    for (const QStringList& arguments :
         QList<QStringList>{{u"--lang="_s},
                            {u"--lang"_s, u"german"_s},
                            {u"--lang"_s, u"DE"_s},
                            {u"--lang"_s, u"de_"_s},
                            {u"--lang"_s, u"de_DE@euro"_s},
                            {u"--lang"_s, u"../../etc/passwd"_s},
                            {u"--lang"_s, u"de"_s, u"--lang"_s, u"en"_s}}) {
        const CommandLine refused = parse(arguments);
        EXPECT_FALSE(refused.run) << arguments.join(u' ').toStdString();
        EXPECT_EQ(refused.status, UsageErrorStatus);
    }
}
