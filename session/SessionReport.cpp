#include "SessionReport.h"

#include "Wire.h"

namespace corvale {

SessionReport SessionReport::of(Kind kind)
{
    SessionReport report;
    report.kind = kind;
    return report;
}

SessionReport SessionReport::connectionFailed(const ConnectionProblem& problem, const QString& host,
                                              int port)
{
    SessionReport report = of(
        problem.cause == ConnectionProblem::Cause::Tls ? Kind::TlsFailed : Kind::ConnectionFailed);
    report.problem = problem;
    report.host = host;
    report.port = port;
    return report;
}

SessionReport SessionReport::ofClientMessage(std::string_view text)
{
    if (text == RejectedLoginMessage)
        return of(Kind::LoginRejected);
    if (text == UnsafeLoginMessage)
        return of(Kind::LoginUnsafe);
    // The PBX's own words for refusing the challenge, or the client's when it gave none.
    SessionReport report = of(Kind::ChallengeRefused);
    if (text != NoChallengeMessage)
        report.reason = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    return report;
}

} // namespace corvale
