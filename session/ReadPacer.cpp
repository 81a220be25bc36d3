#include "ReadPacer.h"

namespace corvale {

ReadPacer::ReadPacer(QObject* parent)
    : QObject(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, [this] {
        sinceRead.start();
        emit readDue();
    });
}

void ReadPacer::arrived(bool full)
{
    if (timer.isActive() && !full)
        return;
    const qint64 interval = every.count();
    const qint64 since = sinceRead.isValid() ? sinceRead.elapsed() : interval;
    if (full || since >= interval) {
        timer.stop();
        sinceRead.start();
        emit readDue();
    } else {
        timer.start(static_cast<int>(interval - since));
    }
}

} // namespace corvale
