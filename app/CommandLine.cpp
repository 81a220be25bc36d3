#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A control character would reach the window's field, and from there the wire, unseen.
bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool isPort(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    if (!std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    const int port = text.toInt();
    return port >= 1 && port <= 65535;
}

CommandLine refuse(const QString& why)
{
    CommandLine result;
    result.status = UsageErrorStatus;
    result.err = u"corvale: "_s + why + u" (see corvale --help)\n"_s;
    return result;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Shows the calls that are up on an Asterisk PBX and hangs up any one of them.\n"
        "There is no option for the manager secret: a secret on a command line can be read\n"
        "by every user of the machine, so it is typed into the window."_s);
    const QCommandLineOption help({u"h"_s, u"help"_s}, u"Show this help and exit."_s);
    const QCommandLineOption version({u"v"_s, u"version"_s}, u"Show the version and exit."_s);
    const QCommandLineOption host(u"host"_s, u"Pre-fill the Host field."_s, u"HOST"_s);
    const QCommandLineOption port(u"port"_s, u"Pre-fill the Port field (1 to 65535)."_s,
                                  u"PORT"_s);
    const QCommandLineOption user(u"user"_s, u"Pre-fill the User field."_s, u"USER"_s);
    const QCommandLineOption live(
        u"live"_s, u"Follow the PBX's call events: calls appear, change and disappear without\n"
                   "Refresh List, and their minutes tick."_s);
    parser.addOptions({help, version, host, port, user, live});

    if (!parser.parse(arguments))
        return refuse(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return refuse(u"unexpected argument '%1'"_s.arg(parser.positionalArguments().front()));

    CommandLine result;
    if (parser.isSet(help)) {
        // helpText() names the program from QCoreApplication, which need not exist yet.
        QString text = parser.helpText();
        const qsizetype firstLineEnd = text.indexOf(u'\n');
        result.out = u"Usage: corvale [options]"_s + text.mid(firstLineEnd);
        return result;
    }
    if (parser.isSet(version)) {
        result.out = u"corvale " CORVALE_VERSION "\n"_s;
        return result;
    }

    for (const QCommandLineOption* option : {&host, &port, &user}) {
        if (parser.values(*option).size() > 1)
            return refuse(u"--%1 is given more than once"_s.arg(option->names().front()));
    }
    StartOptions& options = result.options;
    if (parser.isSet(host)) {
        const QString value = parser.value(host);
        if (value.isEmpty())
            return refuse(u"--host needs a host name or address"_s);
        if (hasControlCharacter(value))
            return refuse(u"--host holds a control character"_s);
        options.host = value;
    }
    if (parser.isSet(port)) {
        const QString value = parser.value(port);
        if (!isPort(value))
            return refuse(u"--port must be a whole number from 1 to 65535"_s);
        options.port = value;
    }
    if (parser.isSet(user)) {
        const QString value = parser.value(user);
        if (hasControlCharacter(value))
            return refuse(u"--user holds a control character"_s);
        options.user = value;
    }
    options.live = parser.isSet(live);
    result.run = true;
    return result;
}
