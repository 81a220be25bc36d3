#include "ReadPacer.h"

#include "SocketAdapter.h"

namespace corvale {

ReadPacer::ReadPacer(SocketAdapter& readFrom, QObject* parent)
    : QObject(parent)
    , socket(readFrom)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, [this] {
        sinceRead.start();
        emit readDue();
    });
}

void ReadPacer::arrived(bool full)
{
    if (full) {
        // At the next turn rather than from inside the socket's announcement, which may follow
        // a read that has just spent its budget: what that read brought is painted first.
        if (!timer.isActive() || timer.interval() > 0)
            timer.start(0);
        return;
    }
    if (timer.isActive())
        return;
    const qint64 interval = every.count();
    const qint64 since = sinceRead.isValid() ? sinceRead.elapsed() : interval;
    if (since >= interval) {
        timer.stop();
        sinceRead.start();
        emit readDue();
    } else {
        timer.start(static_cast<int>(interval - since));
    }
}

bool ReadPacer::read(bool paced, const std::function<bool()>& goOn,
                     const std::function<void(const std::string&)>& take)
{
    QElapsedTimer spent;
    spent.start();
    bool taken = false;
    while (goOn()) {
        const std::string bytes = socket.getData(paced ? SliceBytes : 0);
        if (bytes.empty())
            break;
        take(bytes);
        taken = true;
        if (socket.bytesAvailable() == 0)
            break;
        if (paced && spent.elapsed() >= turn.count()) {
            // Nothing new need arrive for the rest to be read: it is read at the next turn.
            timer.start(0);
            break;
        }
    }
    return taken;
}

} // namespace corvale
