#pragma once

#include "ConnectionProblem.h"

#include <QString>

#include <string>
#include <string_view>

namespace corvale {

// Something the session tells a view, as facts: what happened and its particulars. The call list
// window shows it in its fixed words (ConnectionTexts), the console in words of its own.
struct SessionReport
{
    enum class Kind
    {
        ConnectionFailed, // problem, host, port: failed or lost, and not tried again
        TlsFailed,        // problem.tls, host, ownAuthorities
        LoginRejected,
        ChallengeRefused, // reason: the PBX's words, empty when it gave none
        LoginUnsafe,      // the user name or secret could not be sent
        NotConnected,     // Refresh List while reconnecting
        ListingRefused,   // reason: the PBX's words
        // The end of one hangup asked for; channel names it.
        HangupDone,
        HangupFailed,         // reason: the PBX's words
        HangupUnanswered,     // no answer in time
        HangupLost,           // the connection went before the answer
        HangupCallEnded,      // the call ended, or its channel passed to another, before its turn
        HangupListMissing,    // the list fetched before its turn did not arrive in time
        HangupNoChannel,      // the entry names no channel
        HangupUnsafeChannel,  // the channel holds a line break or NUL
        HangupPatternChannel, // the channel begins with "/"
        HangupNotConnected,   // asked while reconnecting
        HangupNotLoggedIn,    // asked before the login was accepted: nothing to tell
        HangupSessionEnded    // the session ended or was closed first: nothing to tell
    };

    Kind kind = Kind::ConnectionFailed;
    std::string channel; // the bytes the PBX named it with
    QString reason;
    ConnectionProblem problem;
    QString host;
    int port = 0;
    bool ownAuthorities = false; // TLS: the trusted certificates came from --tls-ca

    static SessionReport of(Kind kind);
    // The connection failed or was lost, and is not tried again.
    static SessionReport connectionFailed(const ConnectionProblem& problem, const QString& host,
                                          int port);
    // What the manager client said in its own words (the login's fate), as a report.
    static SessionReport ofClientMessage(std::string_view text);

    bool isHangup() const { return kind >= Kind::HangupDone; }
    // What a hangup was for has happened: the call is gone.
    bool hangupSucceeded() const
    {
        return kind == Kind::HangupDone || kind == Kind::HangupCallEnded;
    }
    // The operator is told of it (the last two only end a request).
    bool toldToOperator() const
    {
        return kind != Kind::HangupNotLoggedIn && kind != Kind::HangupSessionEnded;
    }
};

} // namespace corvale
