#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace corvale {

// When a lost connection is tried again: the attempts counted, the wait before each, and the
// one attempt due at a time. A connection that held for a while starts the count afresh; one
// lost soon after its login counts on, so a PBX that drops every session is not logged in to
// again and again at full speed. A connection the PBX ended with a shutdown starts afresh too.
class Reconnector : public QObject
{
    Q_OBJECT

public:
    explicit Reconnector(QObject* parent = nullptr);

    // The wait before attempt `attempt` (from 1); empty: the schedules below.
    void setDelay(std::function<std::chrono::milliseconds(int attempt)> delay);
    // How long a connection must have been logged in for its loss to start the count afresh.
    void setStableAfter(std::chrono::milliseconds after) { stableAfter = after; }

    // A connection has logged in.
    void loggedIn();
    // The connection was lost, or an attempt failed: the next attempt is due after its wait.
    // `shutDown`: the PBX had announced its shutdown, so it is restarting, or going for good.
    void lost(bool shutDown);
    // While waiting: the next attempt now.
    void tryNow();
    void stop();

    int attempt() const { return nAttempt; }
    bool waiting() const { return retryTimer.isActive(); }
    std::chrono::milliseconds nextTryIn() const;

    // At once, then about 0.5, 1, 2, 4, 8 and 15 s, then every 30 s, each within ±20 %.
    static std::chrono::milliseconds retrySchedule(int attempt);
    // After a shutdown: a dying PBX answers nothing but errors, and its successor takes
    // connections within a second or so. About every 0.5 s for 10 s, then as retrySchedule from
    // 8 s on.
    static std::chrono::milliseconds restartSchedule(int attempt);

signals:
    void attemptDue();
    // Every attempt, and every second while waiting for one.
    void progress();

private:
    std::function<std::chrono::milliseconds(int)> delayOf;
    std::chrono::milliseconds stableAfter{30000};
    QTimer retryTimer;
    QTimer progressTimer;
    QElapsedTimer sinceLogin;
    int nAttempt = 0;
    bool bRestarting = false;
};

} // namespace corvale
