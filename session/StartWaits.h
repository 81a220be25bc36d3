#pragma once

#include "ConnectionProblem.h"

#include <QObject>
#include <QTimer>

#include <chrono>

namespace corvale {

class SocketAdapter;

// The waits of a connection's start, each with an end, for a PBX that is going away greets and
// then answers nothing: the greeting (over TLS the handshake before it) counted from the TCP
// connection however slowly its bytes drip in, the login's answer (a challenge's too) from its
// sending, and the first listing's answer from the login's acceptance.
class StartWaits : public QObject
{
    Q_OBJECT

public:
    explicit StartWaits(const SocketAdapter& socket, QObject* parent = nullptr);

    void setTimes(std::chrono::milliseconds greeting, std::chrono::milliseconds answer);
    void connected();
    void greeted();
    bool wasGreeted() const { return bGreeted; }
    void loginSent();
    void loggedIn();
    void listingAnswered();
    void stop();

signals:
    // The connection is to be given up as failed.
    void overdue(const corvale::ConnectionProblem& problem);

private:
    enum class Awaiting
    {
        Nothing,
        Login,
        Listing
    };

    void answerOverdue();
    void await(Awaiting what);

    const SocketAdapter& link;
    std::chrono::milliseconds greetingWait{10000};
    std::chrono::milliseconds answerWait{10000};
    QTimer greetingTimer;
    QTimer answerTimer;
    Awaiting awaiting = Awaiting::Nothing;
    bool bGreeted = false;
};

} // namespace corvale
