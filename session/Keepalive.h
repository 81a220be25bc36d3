#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

namespace corvale {

class SocketAdapter;

// Notices a link that died without a word (a cable pulled, a firewall that dropped it): after a
// silence a Ping is due, and when nothing at all follows it within a wait, the link is dead.
// Bytes that came but wait unread (a box holds the reading back) count as heard.
class Keepalive : public QObject
{
    Q_OBJECT

public:
    explicit Keepalive(const SocketAdapter& socket, QObject* parent = nullptr);

    void setTimes(std::chrono::milliseconds silence, std::chrono::milliseconds wait);
    std::chrono::milliseconds pingWait() const { return wait; }
    // Logged in, or anything arrived: the silence counts from now.
    void heard();
    void stop();

signals:
    void pingDue(); // the owner sends Ping
    void dead();

private:
    const SocketAdapter& link;
    std::chrono::milliseconds silence{20000};
    std::chrono::milliseconds wait{10000};
    QTimer silenceTimer;
    QTimer pingTimer;
};

} // namespace corvale
