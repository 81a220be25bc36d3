#pragma once

#include "SessionReport.h"
#include "SocketAdapter.h"

#include <QString>

#include <string_view>

namespace corvale {

// The call list window's words for what the session reports, and the cause lines of the log.
// They never change with the language: the console has words of its own.
namespace ConnectionTexts {

constexpr std::string_view ConnectionError =
    "I encounted an error - is the host there and the port open?";
constexpr std::string_view NotConnected = "Not connected to the PBX: reconnecting.";

QString message(const SessionReport& report);
// The cause of a connection error, for a line on standard error: "the connection was refused".
QString cause(const ConnectionProblem& problem);
QString tlsMessage(SocketAdapter::TlsProblem problem, const QString& host, bool ownAuthorities);
// The reason hangupFinished gives: the PBX's own words when it refused, else the message.
QString hangupReason(const SessionReport& outcome);

} // namespace ConnectionTexts

} // namespace corvale
