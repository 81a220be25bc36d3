#pragma once

#include "ManagerClient.h"

#include <QList>
#include <QSslCertificate>
#include <QString>

#include <chrono>

namespace corvale {

// What a Session connects to and how; the views fill it in.
struct SessionSettings
{
    QString host;
    int port = 5038;
    bool tls = false;
    QList<QSslCertificate> trusted; // TLS: the only authorities; empty: the system's
    bool ownAuthorities = false;    // trusted came from --tls-ca (changes a TLS message)
    Auth auth = Auth::Plain;
    bool live = false;      // Events: call, the live set, periodic listing
    bool reconnect = false; // after a successful login, a lost link is retried
    bool keepalive = false; // Ping after 20 s of silence (on with live or reconnect)
    // Live mode with a current PBX: list with CoreShowChannels, which carries the bridge and the
    // linked id, escapes every name and is answered without locking each channel.
    bool coreShowChannels = false;
    // Live mode: the queues too (see Session::queues), their listing polled this often while
    // no queue events come.
    bool queues = false;
    std::chrono::milliseconds queuePollInterval{5000};
};

} // namespace corvale
