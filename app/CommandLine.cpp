#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSslSocket>

#include <algorithm>
#include <string_view>

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

// A file name as the one line of a refusal may show it.
QString shown(QString path)
{
    for (QChar& c : path) {
        if (c.category() == QChar::Other_Control)
            c = u'?';
    }
    return path;
}

// The certificates in a PEM file, or why there are none to trust.
QString readTrusted(const QString& path, QList<QSslCertificate>& certificates)
{
    const QFileInfo info(path);
    if (!info.exists())
        return u"--tls-ca: there is no file %1"_s.arg(shown(path));
    if (info.isDir())
        return u"--tls-ca: %1 is a folder, not a file"_s.arg(shown(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return u"--tls-ca: %1 cannot be read"_s.arg(shown(path));
    certificates = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (certificates.isEmpty())
        return u"--tls-ca: %1 holds no PEM certificate"_s.arg(shown(path));
    return {};
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
    const QCommandLineOption port(u"port"_s, u"Pre-fill the Port field (1 to 65535)."_s, u"PORT"_s);
    const QCommandLineOption user(u"user"_s, u"Pre-fill the User field."_s, u"USER"_s);
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
        u"live"_s, u"Follow the PBX's call events: calls appear, change and disappear without\n"
                   "Refresh List, and their minutes tick."_s);
    parser.addOptions({help, version, host, port, user, live, tls, tlsCa, auth});

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

    for (const QCommandLineOption* option : {&host, &port, &user, &tlsCa, &auth}) {
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
    if (parser.isSet(auth)) {
        const QString value = parser.value(auth);
        if (value != u"plain"_s && value != u"md5"_s)
            return refuse(u"--auth must be plain or md5"_s);
        options.challengeLogin = value == u"md5"_s;
    }
    if (parser.isSet(tlsCa) && !parser.isSet(tls))
        return refuse(u"--tls-ca needs --tls"_s);
    if (parser.isSet(tls)) {
        const TlsBackendLoad quietly;
        if (!QSslSocket::supportsSsl())
            return refuse(u"--tls needs OpenSSL 3 (Debian package libssl3), which was not found"_s);
        options.tls = true;
        if (!options.port)
            options.port = u"5039"_s;
        if (parser.isSet(tlsCa)) {
            const QString why = readTrusted(parser.value(tlsCa), options.trusted);
            if (!why.isEmpty())
                return refuse(why);
        }
    }
    options.live = parser.isSet(live);
    result.run = true;
    return result;
}
