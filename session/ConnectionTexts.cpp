#include "ConnectionTexts.h"

#include "DisplayText.h"
#include "Wire.h"

namespace corvale::ConnectionTexts {

namespace {

QString fromView(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString seconds(std::chrono::milliseconds wait)
{
    return QString::number(static_cast<double>(wait.count()) / 1000.0);
}

QString hangupMessage(const SessionReport& report)
{
    using Kind = SessionReport::Kind;
    const QString shown = displayText(report.channel);
    switch (report.kind) {
    case Kind::HangupDone:
        return QStringLiteral("Killed Call ") + shown;
    case Kind::HangupFailed:
        return QStringLiteral("The call on %1 could not be disconnected: %2")
            .arg(shown, report.reason);
    case Kind::HangupUnanswered:
        return QStringLiteral("The PBX did not answer the request to disconnect %1.").arg(shown);
    case Kind::HangupLost:
        return QStringLiteral("The connection to the PBX was lost before it answered the request "
                              "to disconnect %1.")
            .arg(shown);
    case Kind::HangupCallEnded:
        return QStringLiteral("The call on %1 has already ended, so it was not disconnected.")
            .arg(shown);
    case Kind::HangupListMissing:
        return QStringLiteral(
                   "The list of calls did not arrive, so the call on %1 was not disconnected.")
            .arg(shown);
    case Kind::HangupNoChannel:
        return QStringLiteral("The selected entry names no channel, so nothing was sent.");
    case Kind::HangupUnsafeChannel:
        return QStringLiteral("The channel %1 holds a line break or NUL, so no hangup was sent.")
            .arg(shown);
    case Kind::HangupPatternChannel:
        return QStringLiteral("The channel %1 begins with \"/\", which the PBX would read as a "
                              "pattern for many calls, so no hangup was sent.")
            .arg(shown);
    case Kind::HangupNotConnected:
        return fromView(NotConnected);
    case Kind::HangupNotLoggedIn:
        return QStringLiteral("not logged in yet");
    case Kind::HangupSessionEnded:
        return QStringLiteral("the connection has ended");
    default:
        return {};
    }
}

} // namespace

QString message(const SessionReport& report)
{
    using Kind = SessionReport::Kind;
    switch (report.kind) {
    case Kind::ConnectionFailed:
        return fromView(ConnectionError);
    case Kind::TlsFailed:
        return tlsMessage(report.problem.tls, report.host, report.ownAuthorities);
    case Kind::LoginRejected:
        return fromView(RejectedLoginMessage);
    case Kind::ChallengeRefused:
        return report.reason.isEmpty() ? fromView(NoChallengeMessage) : report.reason;
    case Kind::LoginUnsafe:
        return fromView(UnsafeLoginMessage);
    case Kind::NotConnected:
        return fromView(NotConnected);
    case Kind::ListingRefused:
        return QStringLiteral("The PBX refused the call list: ") + report.reason;
    default:
        return hangupMessage(report);
    }
}

QString cause(const ConnectionProblem& problem)
{
    using Cause = ConnectionProblem::Cause;
    using Problem = SocketAdapter::TlsProblem;
    const QString wait = seconds(problem.wait);
    switch (problem.cause) {
    case Cause::HostNotFound:
        return QStringLiteral("the host name could not be looked up");
    case Cause::Refused:
        return QStringLiteral("the connection was refused");
    case Cause::ClosedByPeer:
        return QStringLiteral("the PBX closed the connection");
    case Cause::ShutDown:
        return QStringLiteral("the PBX shut down");
    case Cause::SocketTimeout:
        return QStringLiteral("no answer in time");
    case Cause::SocketError:
        return problem.description;
    case Cause::NoGreeting:
    case Cause::NoPingAnswer:
        return QStringLiteral("no answer within %1 s").arg(wait);
    case Cause::NoHandshake:
        return QStringLiteral("TLS failure: no handshake within %1 s").arg(wait);
    case Cause::NoLoginAnswer:
        return QStringLiteral("no answer to the login within %1 s").arg(wait);
    case Cause::LoginError:
        return QStringLiteral("the PBX did not take the login: %1").arg(problem.description);
    case Cause::NoListingAnswer:
        return QStringLiteral("no answer to the listing within %1 s").arg(wait);
    case Cause::Tls:
        switch (problem.tls) {
        case Problem::Untrusted:
            return QStringLiteral("TLS failure: the certificate is not trusted");
        case Problem::Expired:
            return QStringLiteral("TLS failure: the certificate has expired or is not valid yet");
        case Problem::WrongHost:
            return QStringLiteral("TLS failure: the certificate is for another host name");
        case Problem::Handshake:
            return QStringLiteral("TLS failure: no secure connection could be set up");
        }
        break;
    }
    return {};
}

QString tlsMessage(SocketAdapter::TlsProblem problem, const QString& host, bool ownAuthorities)
{
    using Problem = SocketAdapter::TlsProblem;
    QString what;
    switch (problem) {
    case Problem::Untrusted:
        what = ownAuthorities
                   ? QStringLiteral("The PBX's certificate is not trusted: it is not one of the "
                                    "certificates in the file given with --tls-ca, nor issued by "
                                    "one of them.")
                   : QStringLiteral("The PBX's certificate is not trusted: it was not issued by a "
                                    "certificate authority this computer trusts. If the PBX has a "
                                    "certificate of its own, give it with --tls-ca.");
        break;
    case Problem::Expired:
        what = QStringLiteral("The PBX's certificate has expired, or is not valid yet.");
        break;
    case Problem::WrongHost:
        what =
            QStringLiteral("The PBX's certificate is for another host name, not for %1.").arg(host);
        break;
    case Problem::Handshake:
        what = QStringLiteral("A secure connection to the PBX could not be set up. Does it offer "
                              "TLS on this port?");
        break;
    }
    return what + QStringLiteral(" Nothing was sent.");
}

QString hangupReason(const SessionReport& outcome)
{
    if (outcome.kind == SessionReport::Kind::HangupFailed)
        return outcome.reason;
    return outcome.hangupSucceeded() ? QString() : message(outcome);
}

} // namespace corvale::ConnectionTexts
