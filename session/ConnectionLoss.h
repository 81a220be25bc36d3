#pragma once

#include "ConnectionProblem.h"
#include "SessionReport.h"

#include <QString>

namespace corvale {

// A connection that failed or went: why, what the operator is told should it end the session, and
// whether it may be tried again.
struct ConnectionLoss
{
    ConnectionProblem problem;
    SessionReport report;
    bool retryable = true;

    // Told as a failure to connect to host:port.
    static ConnectionLoss of(const ConnectionProblem& problem, const QString& host, int port)
    {
        return {problem, SessionReport::connectionFailed(problem, host, port), true};
    }
};

} // namespace corvale
