#include "ReadPacer.h"

#include "SocketAdapter.h"

#include <QAbstractEventDispatcher>

#include <algorithm>

namespace corvale {

namespace {

// What the reads of this turn of the event loop have taken, whichever session's: timers that
// fall due together run one after another, and so would the reads of several PBXs. Counted
// afresh once the events posted meanwhile (the paint among them) have had their turn.
struct Turn
{
    qint64 spentNs = 0;
    bool endPosted = false;
};

Turn& thisTurn()
{
    thread_local Turn turn;
    return turn;
}

} // namespace

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
    Turn& shared = thisTurn();
    const qint64 budgetNs = std::chrono::nanoseconds(turn).count();
    if (paced && shared.spentNs > 0 && shared.spentNs >= budgetNs) {
        timer.start(0); // another session's read has had this turn
        return false;
    }
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
        if (paced && shared.spentNs + spent.nsecsElapsed() >= budgetNs) {
            // Nothing new need arrive for the rest to be read: it is read at the next turn.
            timer.start(0);
            break;
        }
    }
    shared.spentNs += std::max<qint64>(spent.nsecsElapsed(), 1);
    if (!shared.endPosted) {
        // Posted to this thread's event dispatcher, which outlives every session of the thread;
        // with no event loop there are no turns to share.
        QObject* loop = QAbstractEventDispatcher::instance();
        shared.endPosted =
            loop != nullptr && QMetaObject::invokeMethod(
                                   loop, [] { thisTurn() = Turn(); }, Qt::QueuedConnection);
        if (!shared.endPosted)
            shared = Turn();
    }
    return taken;
}

} // namespace corvale
