#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

// Where and how the console connects; everything but the secret may be remembered.
struct ConnectionFields
{
    QString host = QStringLiteral("localhost");
    QString port = QStringLiteral("5038");
    QString user = QStringLiteral("admin");
    bool tls = false;
    QString caFile;                 // empty: the system's authorities, or `trusted`
    QList<QSslCertificate> trusted; // read from caFile, or given on the command line
    bool challengeLogin = false;    // the "md5" login: the secret never crosses the wire
};
