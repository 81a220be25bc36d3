#pragma once

#include "SocketAdapter.h"

#include <QString>

#include <chrono>

namespace corvale {

// Why a connection failed or was lost: what a log line names, and what a view may put in its own
// words.
struct ConnectionProblem
{
    enum class Cause
    {
        HostNotFound,
        Refused,
        ClosedByPeer,
        ShutDown,        // closed after the PBX announced its shutdown
        SocketTimeout,   // the socket's own
        SocketError,     // anything else the socket says: description holds its words
        NoGreeting,      // wait: none within it of the TCP connection
        NoHandshake,     // wait: the TLS handshake did not finish within it
        NoLoginAnswer,   // wait: the login (or its challenge) was not answered within it
        LoginError,      // the login was answered with an error, not a refusal: description
        NoListingAnswer, // wait: the first listing after the login was not answered within it
        NoPingAnswer,    // wait: nothing at all came within it of a Ping
        Tls              // tls: what the certificate's check found
    };

    Cause cause = Cause::SocketError;
    std::chrono::milliseconds wait{0};
    QString description;
    SocketAdapter::TlsProblem tls = SocketAdapter::TlsProblem::Handshake;

    static ConnectionProblem of(Cause cause, std::chrono::milliseconds wait = {});
    // What the socket's error (a QAbstractSocket::SocketError) amounts to.
    static ConnectionProblem ofSocketError(int number, const QString& description);
    static ConnectionProblem ofTls(SocketAdapter::TlsProblem problem);
};

} // namespace corvale
