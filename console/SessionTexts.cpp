#include "SessionTexts.h"

#include "session/DisplayText.h"

#include <QLocale>

using Kind = corvale::SessionReport::Kind;
using Cause = corvale::ConnectionProblem::Cause;
using Tls = corvale::SocketAdapter::TlsProblem;

namespace {

QString seconds(std::chrono::milliseconds wait)
{
    return QLocale().toString(static_cast<double>(wait.count()) / 1000.0, 'g', 3);
}

} // namespace

QString SessionTexts::message(const corvale::SessionReport& report)
{
    switch (report.kind) {
    case Kind::ConnectionFailed:
        return connection(report);
    case Kind::TlsFailed:
        return tls(report);
    case Kind::LoginRejected:
        return tr("The PBX refused the user name or the password.");
    case Kind::ChallengeRefused:
        return report.reason.isEmpty()
                   ? tr("The PBX gave no challenge, so the login could not be sent.")
                   : tr("The PBX refused the challenge login: %1").arg(report.reason);
    case Kind::LoginUnsafe:
        return tr("The user name or the password holds a line break or NUL, so the login was not "
                  "sent.");
    case Kind::NotConnected:
        return tr("Not connected to the PBX: reconnecting.");
    case Kind::ListingRefused:
        return tr("The PBX refused the list of calls: %1").arg(report.reason);
    default:
        return hangup(report);
    }
}

QString SessionTexts::connection(const corvale::SessionReport& report)
{
    const QString where = QStringLiteral("%1:%2").arg(report.host).arg(report.port);
    switch (report.problem.cause) {
    case Cause::ClosedByPeer:
    case Cause::ShutDown:
    case Cause::NoPingAnswer:
        return tr("Lost the connection to %1: %2").arg(where, cause(report.problem));
    default:
        return tr("Could not connect to %1: %2").arg(where, cause(report.problem));
    }
}

QString SessionTexts::tls(const corvale::SessionReport& report)
{
    QString what;
    switch (report.problem.tls) {
    case Tls::Untrusted:
        what = report.ownAuthorities
                   ? tr("The PBX's certificate is not trusted: it is not one of the certificates "
                        "in the chosen file, nor issued by one of them.")
                   : tr("The PBX's certificate is not trusted: no certificate authority this "
                        "computer trusts issued it. Choose the PBX's own certificate as the "
                        "file of trusted certificates.");
        break;
    case Tls::Expired:
        what = tr("The PBX's certificate has expired, or is not valid yet.");
        break;
    case Tls::WrongHost:
        what = tr("The PBX's certificate is for another host name, not for %1.").arg(report.host);
        break;
    case Tls::Handshake:
        what = tr("No secure connection to %1:%2 could be set up. Does the PBX offer TLS on this "
                  "port?")
                   .arg(report.host)
                   .arg(report.port);
        break;
    }
    return what + QLatin1Char(' ') + tr("Nothing was sent.");
}

QString SessionTexts::hangup(const corvale::SessionReport& report)
{
    const QString channel = corvale::displayText(report.channel);
    switch (report.kind) {
    case Kind::HangupDone:
        return tr("Ended the call on %1.").arg(channel);
    case Kind::HangupFailed:
        return tr("The call on %1 could not be ended: %2").arg(channel, report.reason);
    case Kind::HangupUnanswered:
        return tr("The PBX did not answer the request to end the call on %1.").arg(channel);
    case Kind::HangupLost:
        return tr("The connection was lost before the PBX answered the request to end the call "
                  "on %1.")
            .arg(channel);
    case Kind::HangupCallEnded:
        return tr("The call on %1 had already ended.").arg(channel);
    case Kind::HangupListMissing:
        return tr("The list of calls did not arrive, so the call on %1 was not ended.")
            .arg(channel);
    case Kind::HangupNoChannel:
        return tr("The call names no channel, so nothing was sent.");
    case Kind::HangupUnsafeChannel:
        return tr("The channel %1 holds a line break or NUL, so nothing was sent.").arg(channel);
    case Kind::HangupPatternChannel:
        return tr("The channel %1 begins with \"/\", which the PBX would read as a pattern for "
                  "many calls, so nothing was sent.")
            .arg(channel);
    case Kind::HangupNotConnected:
        return tr("Not connected to the PBX, so the call on %1 was not ended.").arg(channel);
    case Kind::HangupNotLoggedIn:
        return tr("Not logged in yet, so the call on %1 was not ended.").arg(channel);
    case Kind::HangupSessionEnded:
        return tr("The connection ended before the call on %1 was ended.").arg(channel);
    default:
        return {};
    }
}

QString SessionTexts::hangupReason(const corvale::SessionReport& outcome)
{
    switch (outcome.kind) {
    case Kind::HangupDone:
    case Kind::HangupCallEnded:
        return {};
    case Kind::HangupFailed:
        return outcome.reason;
    case Kind::HangupUnanswered:
        return tr("the PBX did not answer");
    case Kind::HangupLost:
        return tr("the connection was lost before the PBX answered");
    case Kind::HangupListMissing:
        return tr("the list of calls did not arrive");
    case Kind::HangupNoChannel:
        return tr("no channel is named");
    case Kind::HangupUnsafeChannel:
        return tr("the name holds a line break or NUL");
    case Kind::HangupPatternChannel:
        return tr("the name begins with \"/\", which the PBX would read as a pattern");
    case Kind::HangupNotConnected:
        return tr("not connected, reconnecting");
    case Kind::HangupNotLoggedIn:
        return tr("not logged in yet");
    case Kind::HangupSessionEnded:
        return tr("the connection ended");
    default:
        return message(outcome);
    }
}

QString SessionTexts::cause(const corvale::ConnectionProblem& problem)
{
    const QString wait = seconds(problem.wait);
    switch (problem.cause) {
    case Cause::HostNotFound:
        return tr("the host name could not be looked up");
    case Cause::Refused:
        return tr("the connection was refused");
    case Cause::ClosedByPeer:
        return tr("the PBX closed the connection");
    case Cause::ShutDown:
        return tr("the PBX shut down");
    case Cause::SocketTimeout:
        return tr("no answer in time");
    case Cause::SocketError:
        return problem.description;
    case Cause::NoGreeting:
        return tr("no greeting within %1 s").arg(wait);
    case Cause::NoHandshake:
        return tr("no secure connection within %1 s").arg(wait);
    case Cause::NoLoginAnswer:
        return tr("no answer to the login within %1 s").arg(wait);
    case Cause::LoginError:
        return tr("the PBX did not take the login: %1").arg(problem.description);
    case Cause::NoListingAnswer:
        return tr("no answer to the request for the calls within %1 s").arg(wait);
    case Cause::NoPingAnswer:
        return tr("no sign of life within %1 s").arg(wait);
    case Cause::Tls:
        switch (problem.tls) {
        case Tls::Untrusted:
            return tr("the certificate is not trusted");
        case Tls::Expired:
            return tr("the certificate has expired or is not valid yet");
        case Tls::WrongHost:
            return tr("the certificate is for another host name");
        case Tls::Handshake:
            return tr("no secure connection could be set up");
        }
        break;
    }
    return {};
}
