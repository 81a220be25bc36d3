#pragma once

#include "ManagerClient.h"

#include <QList>
#include <QSslCertificate>
#include <QString>

#include <chrono>
#include <functional>

namespace corvale {

// What a Session connects to and how; one struct for the session and the views that fill it.
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
};

// How long the session waits for things; tests make them short.
struct SessionTimes
{
    std::chrono::milliseconds answerWait{10000};   // a hangup's answer, a listing a hangup awaits
    std::chrono::milliseconds greetingWait{10000}; // TCP connected to greeting; TLS handshake
    // The login's answer (a challenge's too), and the first listing's answer after the login.
    std::chrono::milliseconds loginWait{10000};
    std::chrono::milliseconds silenceBeforePing{20000};
    std::chrono::milliseconds pingWait{10000};        // after a Ping, for any byte at all
    std::chrono::milliseconds listingInterval{15000}; // live mode's periodic listing
    std::chrono::milliseconds readInterval{100};      // live mode reads at most this often
    // A connection lost sooner after its login does not start the count of attempts afresh.
    std::chrono::milliseconds stableAfter{30000};
    // The wait before reconnection attempt `attempt` (from 1); empty: Reconnector's schedules.
    std::function<std::chrono::milliseconds(int attempt)> retryDelay;
};

} // namespace corvale
