#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

#include <optional>

// What the command line gives the console: pre-fills of the connect dialog, and the long-call
// threshold for this run.
struct ConsoleOptions
{
    std::optional<QString> host;
    std::optional<QString> port;
    std::optional<QString> user;
    bool tls = false;
    QList<QSslCertificate> trusted; // --tls-ca: the only authorities
    bool challengeLogin = false;    // --auth md5
    std::optional<int> longCallMinutes;
};

// Opens the operator console, asks where to connect and runs until it is closed; the
// QApplication must exist. Returns the exit status.
int runConsole(const ConsoleOptions& options);
