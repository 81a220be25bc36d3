#include "Keepalive.h"

#include "SocketAdapter.h"

namespace corvale {

Keepalive::Keepalive(const SocketAdapter& socket, QObject* parent)
    : QObject(parent)
    , link(socket)
{
    silenceTimer.setSingleShot(true);
    connect(&silenceTimer, &QTimer::timeout, this, [this] {
        if (link.bytesHeld() > 0) {
            heard();
            return;
        }
        emit pingDue();
        pingTimer.start(wait);
    });
    pingTimer.setSingleShot(true);
    connect(&pingTimer, &QTimer::timeout, this, [this] {
        if (link.bytesHeld() > 0)
            heard(); // not read yet, but it came: the link carries
        else
            emit dead();
    });
}

void Keepalive::setTimes(std::chrono::milliseconds silenceBeforePing,
                         std::chrono::milliseconds pingWait)
{
    silence = silenceBeforePing;
    wait = pingWait;
}

void Keepalive::heard()
{
    pingTimer.stop();
    silenceTimer.start(silence);
}

void Keepalive::stop()
{
    pingTimer.stop();
    silenceTimer.stop();
}

} // namespace corvale
