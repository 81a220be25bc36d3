#pragma once

#include "Queues.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace corvale {

class ManagerClient;
struct Answer;

// The queue side of a Session: one set of queues for the session's lifetime, listed at each
// login and kept current by the events, or, while none of the agent class has come since the
// login (a manager user without read class agent gets none), by a listing polled every
// pollInterval. It also carries the pauses asked for to their one answer each.
class QueueFeed : public QObject
{
    Q_OBJECT

public:
    explicit QueueFeed(QObject* parent = nullptr);

    // Before the first connection: no queues unless `on`.
    void setUp(bool on, std::chrono::milliseconds pollInterval);
    void setAnswerWait(std::chrono::milliseconds wait) { answerWait = wait; }
    // The client of the connection, while it is logged in; else null.
    std::function<ManagerClient*()> loggedInClient;

    Queues* queues() { return set.get(); }
    const Queues* queues() const { return set.get(); }
    bool current() const { return bCurrent; }
    bool polled() const { return bPolled; }

    // The connection's client is made: it follows the queues.
    void attach(ManagerClient& client);
    void loggedIn(ManagerClient& client);
    // After each read of the connection's bytes.
    void afterRead(const ManagerClient& client);
    // The calls' periodic listing is due: the queues are listed with it, unless polled anyway.
    void periodic(ManagerClient& client);
    // The connection is gone (or the session ended): the queues are no longer current, and the
    // pauses awaiting their answer fail, saying whether the connection ended or was lost.
    void connectionLost(bool ended);

    void requestPause(const QString& interface, bool paused, const QString& queue,
                      const QString& reason);
    void pauseAnswered(const Answer& answer);

signals:
    void changed();
    void currentChanged(bool current);
    void pauseFinished(const QString& interface, bool ok, const QString& message,
                       bool permissionDenied);

private:
    struct Pause
    {
        std::uint64_t ticket;
        QString interface;
        std::uint64_t id; // ours, for its answer's timer
    };
    void setCurrent(bool now);
    void finishLater(const QString& interface, const QString& message);
    void poll();

    std::unique_ptr<Queues> set;
    std::chrono::milliseconds answerWait{10000};
    QTimer poller;
    bool bCurrent = false;
    bool bPolled = false;
    std::uint64_t nListingsSeen = 0;
    std::uint64_t nChangesSeen = 0;
    std::vector<Pause> pauses; // sent, awaiting their answer, oldest first
    std::uint64_t nextPause = 1;
};

} // namespace corvale
