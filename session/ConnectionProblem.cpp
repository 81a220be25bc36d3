#include "ConnectionProblem.h"

#include <QAbstractSocket>

namespace corvale {

ConnectionProblem ConnectionProblem::of(Cause cause, std::chrono::milliseconds wait)
{
    ConnectionProblem problem;
    problem.cause = cause;
    problem.wait = wait;
    return problem;
}

ConnectionProblem ConnectionProblem::ofSocketError(int number, const QString& description)
{
    switch (static_cast<QAbstractSocket::SocketError>(number)) {
    case QAbstractSocket::HostNotFoundError:
        return of(Cause::HostNotFound);
    case QAbstractSocket::ConnectionRefusedError:
        return of(Cause::Refused);
    case QAbstractSocket::RemoteHostClosedError:
        return of(Cause::ClosedByPeer);
    case QAbstractSocket::SocketTimeoutError:
        return of(Cause::SocketTimeout);
    default:
        break;
    }
    ConnectionProblem problem = of(Cause::SocketError);
    problem.description = description;
    return problem;
}

ConnectionProblem ConnectionProblem::ofTls(SocketAdapter::TlsProblem what)
{
    ConnectionProblem problem = of(Cause::Tls);
    problem.tls = what;
    return problem;
}

} // namespace corvale
