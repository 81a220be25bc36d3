#pragma once

#include "session/SessionReport.h"

#include <QCoreApplication>
#include <QString>

// The console's words for what a session reports, in the operator's language. The call list
// window keeps its own fixed words (ConnectionTexts); these are the console's.
class SessionTexts
{
    Q_DECLARE_TR_FUNCTIONS(SessionTexts)

public:
    static QString message(const corvale::SessionReport& report);
    // Why a connection failed or was lost: "the connection was refused".
    static QString cause(const corvale::ConnectionProblem& problem);
    // Why one hangup did not end its call, for a list of channels: the PBX's own words when it
    // refused, else a few of the console's; empty for one that succeeded.
    static QString hangupReason(const corvale::SessionReport& outcome);

private:
    static QString connection(const corvale::SessionReport& report);
    static QString tls(const corvale::SessionReport& report);
    static QString hangup(const corvale::SessionReport& report);
};
