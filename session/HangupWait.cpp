#include "HangupWait.h"

#include "HangupQueue.h"

#include <QEventLoop>

namespace corvale {

void HangupWait::hangUp(const std::string& channel)
{
    hangups.request(channel);
    if (bWaiting)
        return;
    bWaiting = true;
    QEventLoop loop;
    QObject::connect(&hangups, &HangupQueue::becameIdle, &loop, &QEventLoop::quit);
    if (!hangups.idle())
        loop.exec();
    bWaiting = false;
}

} // namespace corvale
