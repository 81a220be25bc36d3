#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QSslSocket>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A control character would reach the window's field, and from there the wire, unseen.
bool hasControlCharacter(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// A whole number from 1 to `highest`, in plain decimal digits.
bool isWholeNumber(const QString& text, int highest)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    if (!std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    const int number = text.toInt();
    return number >= 1 && number <= highest;
}

// A file name or argument as the one line of a refusal may show it.
QString shown(QString text)
{
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return text;
}

// Every refusal reads alike: what was given, what is wrong with it, where to look.
CommandLine refuse(const QString& what, const QString& why)
{
    CommandLine result;
    result.status = UsageErrorStatus;
    result.err = u"corvale: "_s + shown(what) + u": "_s + why + u" (see corvale --help)\n"_s;
    return result;
}

// Qt loads its TLS backend on first use. Before the application object exists, as here, it warns
// that it has no application to tie its clean-up to: expected, and not for the operator, whose
// refusal must stay one line. Only that warning is held back, and only while this object lives.
class TlsBackendLoad
{
public:
    TlsBackendLoad() { previous = qInstallMessageHandler(filter); }
    ~TlsBackendLoad() { qInstallMessageHandler(previous); }
    TlsBackendLoad(const TlsBackendLoad&) = delete;
    TlsBackendLoad& operator=(const TlsBackendLoad&) = delete;

private:
    static void filter(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (context.category != nullptr &&
            std::string_view(context.category) == "qt.core.qobject.connect" &&
            QCoreApplication::instance() == nullptr)
            return;
        if (previous != nullptr)
            previous(type, context, text);
    }
    static inline QtMessageHandler previous = nullptr;
};

// More than a bundle of every public authority; a file larger is a mistake, such as a disk
// image or a device, that must not be read into memory.
constexpr qint64 MaxTrustedFileSize = 1 << 20;

// The certificates in a PEM file, or why there are none to trust.
QString readTrusted(const QString& path, QList<QSslCertificate>& certificates)
{
    const QString name = shown(path);
    const QByteArray native = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(native.constData(), &info) != 0) {
        return errno == ENOENT || errno == ENOTDIR ? u"there is no file %1"_s.arg(name)
                                                   : u"%1 cannot be read"_s.arg(name);
    }
    if (S_ISDIR(info.st_mode))
        return u"%1 is a folder, not a file"_s.arg(name);
    // A pipe or a device would block, or never end, before any window opens.
    if (!S_ISREG(info.st_mode))
        return u"%1 is not a regular file"_s.arg(name);
    const QString tooLarge = u"%1 is larger than 1 MiB, too large for certificates"_s.arg(name);
    if (info.st_size > MaxTrustedFileSize)
        return tooLarge;
    // Should it have become something else since, opening it must not block; checked again once
    // open, and read no further than the limit.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return u"%1 cannot be read"_s.arg(name);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return u"%1 cannot be read"_s.arg(name);
    }
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return u"%1 is not a regular file"_s.arg(name);
    const QByteArray bytes = file.read(MaxTrustedFileSize + 1);
    if (bytes.size() > MaxTrustedFileSize)
        return tooLarge;
    if (file.error() != QFileDevice::NoError)
        return u"%1 cannot be read"_s.arg(name);
    certificates = QSslCertificate::fromData(bytes, QSsl::Pem);
    if (certificates.isEmpty())
        return u"%1 holds no PEM certificate"_s.arg(name);
    return {};
}

// The name an option is known by: the long one (help lists it first, the letter after it).
QString longName(const QCommandLineOption& option)
{
    return option.names().front();
}

// Why an option is unknown, with a hint where one helps: the long option meant when typed with
// one dash or in other capitals.
QString unknownOption(const QString& name, const QList<const QCommandLineOption*>& options)
{
    QString why = u"unknown option"_s;
    for (const QCommandLineOption* option : options) {
        const QString known = longName(*option);
        if (known.compare(name, Qt::CaseInsensitive) == 0)
            return why + u"; did you mean --%1?"_s.arg(known);
    }
    if (name.compare(u"secret"_s, Qt::CaseInsensitive) == 0 ||
        name.compare(u"password"_s, Qt::CaseInsensitive) == 0)
        why += u"; the secret is typed into the window"_s;
    return why;
}

// What an option's value is, as a refusal names it.
QString valueWanted(const QCommandLineOption& option)
{
    const QString name = option.valueName();
    if (name == u"HOST"_s)
        return u"a host name or address"_s;
    if (name == u"PORT"_s)
        return u"a port number"_s;
    if (name == u"USER"_s)
        return u"a user name"_s;
    if (name == u"FILE"_s)
        return u"a file name"_s;
    if (name == u"NAME"_s)
        return u"a profile name"_s;
    if (name == u"MINUTES"_s)
        return u"a number of minutes"_s;
    if (name == u"CODE"_s)
        return u"a language code"_s;
    return name.split(u'|').join(u" or "_s);
}

// Why a language code cannot be used, or nothing: a language of two or three letters, then
// optionally a script and a country or region, as LANG names them without the character set
// (or with dashes, as BCP 47 does).
QString badLanguage(const QString& code)
{
    static const QRegularExpression form(
        u"^[a-z]{2,3}([_-][A-Z][a-z]{3})?([_-]([A-Z]{2}|[0-9]{3}))?$"_s);
    if (!form.match(code).hasMatch())
        return u"must be a language code such as de or de_DE"_s;
    // QLocale takes the C locale for a language it does not know.
    if (QLocale(code).language() == QLocale::C)
        return u"%1 is no language known here"_s.arg(code);
    return {};
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    // The parser writes the help text; the arguments are read below, so that every refusal
    // reads alike and a long option typed with one dash is not taken for several short ones.
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Shows the calls that are up on an Asterisk PBX and hangs up any one of them.\n"
        "There is no option for the manager secret: a secret on a command line can be read\n"
        "by every user of the machine, so it is typed into the window."_s);
    // Long names first, so that every line of the help starts with one.
    const QCommandLineOption help({u"help"_s, u"h"_s}, u"Show this help and exit."_s);
    const QCommandLineOption version({u"version"_s, u"v"_s}, u"Show the version and exit."_s);
    const QCommandLineOption host(u"host"_s, u"Pre-fill the Host field (default: localhost)."_s,
                                  u"HOST"_s);
    const QCommandLineOption port(
        u"port"_s, u"Pre-fill the Port field, 1 to 65535 (default: 5038; 5039 with --tls)."_s,
        u"PORT"_s);
    const QCommandLineOption user(u"user"_s, u"Pre-fill the User field (default: admin)."_s,
                                  u"USER"_s);
    const QCommandLineOption tls(
        u"tls"_s, u"Connect with TLS; the Port field starts at 5039 unless --port is given."_s);
    const QCommandLineOption tlsCa(u"tls-ca"_s,
                                   u"With --tls: trust only the certificates in this PEM file "
                                   "(the PBX's own, or its authority's), not the system's."_s,
                                   u"FILE"_s);
    const QCommandLineOption auth(u"auth"_s,
                                  u"How to log in: plain (the default) sends the secret; md5 "
                                  "answers the PBX's challenge and never sends it."_s,
                                  u"plain|md5"_s);
    const QCommandLineOption live(
        u"live"_s, u"Follow the PBX's call events: calls appear, change and disappear without "
                   "Refresh List, and their minutes tick."_s);
    const QCommandLineOption reconnect(
        u"reconnect"_s,
        u"After a successful login, a lost connection is retried instead of ending."_s);
    const QCommandLineOption console(
        u"console"_s, u"Open the operator console instead of the call list window."_s);
    const QCommandLineOption longCall(
        u"long-call"_s,
        u"With --console: a call up for more than MINUTES (1 to 1440) counts as long."_s,
        u"MINUTES"_s);
    const QCommandLineOption profile(
        u"profile"_s,
        u"With --console: connect to the saved PBX profile NAME at start; repeatable."_s,
        u"NAME"_s);
    const QCommandLineOption lang(
        u"lang"_s,
        u"Show the texts in this language, and numbers by its conventions, instead of the "
        "system's (LANGUAGE, LANG); CODE is a language code such as de or de_DE."_s,
        u"CODE"_s);
    const QList<const QCommandLineOption*> known = {&help,    &version,   &host,    &port,  &user,
                                                    &live,    &reconnect, &tls,     &tlsCa, &auth,
                                                    &console, &longCall,  &profile, &lang};
    for (const QCommandLineOption* option : known)
        parser.addOption(*option);

    // The values given, by long name; a switch's are empty.
    QHash<QString, QStringList> given;
    QString lastSwitch; // just before: a word after it is no value of it
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--"_s) {
            if (i + 1 < arguments.size())
                return refuse(arguments[i + 1], u"unexpected argument"_s);
            break;
        }
        if (!argument.startsWith(u'-') || argument == u"-"_s) {
            if (!lastSwitch.isEmpty())
                return refuse(argument,
                              u"unexpected argument; --%1 takes no value"_s.arg(lastSwitch));
            return refuse(argument, u"unexpected argument"_s);
        }
        const bool doubleDash = argument.startsWith(u"--"_s);
        const qsizetype equals = argument.indexOf(u'=');
        const QString typed = equals < 0 ? argument : argument.left(equals);
        const QString name = typed.mid(doubleDash ? 2 : 1);
        const auto found = std::find_if(known.cbegin(), known.cend(), [&](const auto* option) {
            // One dash for the one-letter names, two for the others.
            return option->names().contains(name) && (name.size() == 1) != doubleDash;
        });
        if (found == known.cend())
            return refuse(typed, unknownOption(name, known));
        const QCommandLineOption& option = **found;
        const QString key = longName(option);
        lastSwitch.clear();
        if (option.valueName().isEmpty()) {
            if (equals >= 0)
                return refuse(typed, u"takes no value"_s);
            given[key];
            lastSwitch = key;
        } else if (equals >= 0) {
            given[key] << argument.mid(equals + 1);
        } else if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(u"--"_s)) {
            given[key] << arguments[++i];
        } else {
            return refuse(typed, u"needs "_s + valueWanted(option));
        }
    }
    const auto isSet = [&given](const QCommandLineOption& option) {
        return given.contains(longName(option));
    };
    const auto value = [&given](const QCommandLineOption& option) {
        return given.value(longName(option)).value(0);
    };

    CommandLine result;
    if (isSet(help)) {
        // helpText() names the program from QCoreApplication, which need not exist yet.
        QString text = parser.helpText();
        const qsizetype firstLineEnd = text.indexOf(u'\n');
        result.out = u"Usage: corvale [options]"_s + text.mid(firstLineEnd) +
                     u"\nExit status:\n"
                     "  0  the window was closed\n"
                     "  1  the PBX could not be reached or ended the connection, the login was\n"
                     "     refused, or TLS could not be set up\n"
                     "  2  the command line was refused\n"_s;
        return result;
    }
    if (isSet(version)) {
        result.out = u"corvale " CORVALE_VERSION "\n"_s;
        return result;
    }

    for (const QCommandLineOption* option : known) {
        // Several saved PBXs may be connected at start.
        if (option == &profile)
            continue;
        if (given.value(longName(*option)).size() > 1)
            return refuse(u"--"_s + longName(*option), u"given more than once"_s);
    }
    StartOptions& options = result.options;
    if (isSet(host)) {
        const QString text = value(host);
        if (text.isEmpty())
            return refuse(u"--host"_s, u"needs "_s + valueWanted(host));
        if (hasControlCharacter(text))
            return refuse(u"--host"_s, u"holds a control character"_s);
        options.host = text;
    }
    if (isSet(port)) {
        const QString text = value(port);
        if (!isWholeNumber(text, 65535))
            return refuse(u"--port"_s, u"must be a whole number from 1 to 65535"_s);
        options.port = text;
    }
    if (isSet(user)) {
        const QString text = value(user);
        if (hasControlCharacter(text))
            return refuse(u"--user"_s, u"holds a control character"_s);
        options.user = text;
    }
    if (isSet(auth)) {
        const QString text = value(auth).toLower();
        if (text != u"plain"_s && text != u"md5"_s)
            return refuse(u"--auth"_s, u"must be plain or md5"_s);
        options.challengeLogin = text == u"md5"_s;
    }
    if (isSet(tlsCa) && !isSet(tls))
        return refuse(u"--tls-ca"_s, u"only works with --tls"_s);
    if (isSet(tls)) {
        const TlsBackendLoad quietly;
        if (!QSslSocket::supportsSsl())
            return refuse(u"--tls"_s,
                          u"needs OpenSSL 3 (Debian package libssl3), which was not found"_s);
        options.tls = true;
        if (!options.port)
            options.port = u"5039"_s;
        if (isSet(tlsCa)) {
            if (value(tlsCa).isEmpty())
                return refuse(u"--tls-ca"_s, u"needs "_s + valueWanted(tlsCa));
            const QString why = readTrusted(value(tlsCa), options.trusted);
            if (!why.isEmpty())
                return refuse(u"--tls-ca"_s, why);
        }
    }
    if (isSet(longCall)) {
        if (!isSet(console))
            return refuse(u"--long-call"_s, u"only works with --console"_s);
        const QString text = value(longCall);
        if (!isWholeNumber(text, 1440))
            return refuse(u"--long-call"_s, u"must be a whole number of minutes from 1 to 1440"_s);
        options.longCallMinutes = text.toInt();
    }
    if (isSet(profile)) {
        if (!isSet(console))
            return refuse(u"--profile"_s, u"only works with --console"_s);
        for (const QString& name : given.value(longName(profile))) {
            if (name.trimmed().isEmpty())
                return refuse(u"--profile"_s, u"needs "_s + valueWanted(profile));
            if (hasControlCharacter(name))
                return refuse(u"--profile"_s, u"holds a control character"_s);
            if (!options.profiles.contains(name))
                options.profiles << name;
        }
    }
    if (isSet(lang)) {
        const QString text = value(lang);
        if (const QString why = badLanguage(text); !why.isEmpty())
            return refuse(u"--lang"_s, why);
        options.lang = text;
    }
    options.live = isSet(live);
    options.reconnect = isSet(reconnect);
    options.console = isSet(console);
    result.run = true;
    return result;
}
