#include "Reconnector.h"

#include <QRandomGenerator>

#include <algorithm>
#include <iterator>

namespace corvale {

namespace {

// Desks that lost the same PBX at the same moment do not all come back at the same moment.
std::chrono::milliseconds jittered(int base)
{
    const double jitter = 0.8 + 0.4 * QRandomGenerator::global()->generateDouble();
    return std::chrono::milliseconds(static_cast<long long>(base * jitter));
}

} // namespace

Reconnector::Reconnector(QObject* parent)
    : QObject(parent)
{
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, [this] {
        emit attemptDue();
        emit progress();
    });
    progressTimer.setInterval(1000);
    connect(&progressTimer, &QTimer::timeout, this, &Reconnector::progress);
}

void Reconnector::setDelay(std::function<std::chrono::milliseconds(int)> delay)
{
    delayOf = std::move(delay);
}

void Reconnector::loggedIn()
{
    stop();
    sinceLogin.start();
}

void Reconnector::lost(bool shutDown)
{
    if (sinceLogin.isValid()) {
        // A shutdown is the PBX's own doing, however soon it came: the count starts afresh.
        if (shutDown || sinceLogin.elapsed() >= stableAfter.count())
            nAttempt = 0;
        sinceLogin.invalidate();
        bRestarting = shutDown;
    }
    ++nAttempt;
    const std::chrono::milliseconds wait = delayOf       ? delayOf(nAttempt)
                                           : bRestarting ? restartSchedule(nAttempt)
                                                         : retrySchedule(nAttempt);
    retryTimer.start(wait);
    progressTimer.start();
    emit progress();
}

void Reconnector::tryNow()
{
    if (!retryTimer.isActive())
        return;
    retryTimer.stop();
    emit attemptDue();
    emit progress();
}

void Reconnector::stop()
{
    retryTimer.stop();
    progressTimer.stop();
}

std::chrono::milliseconds Reconnector::nextTryIn() const
{
    if (!retryTimer.isActive())
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(std::max(0, retryTimer.remainingTime()));
}

std::chrono::milliseconds Reconnector::retrySchedule(int attempt)
{
    static constexpr int Steps[] = {0, 500, 1000, 2000, 4000, 8000, 15000};
    constexpr int Steady = 30000;
    const int steps = static_cast<int>(std::size(Steps));
    return jittered(attempt >= 1 && attempt <= steps ? Steps[attempt - 1] : Steady);
}

std::chrono::milliseconds Reconnector::restartSchedule(int attempt)
{
    constexpr int Quick = 20;
    if (attempt <= Quick)
        return jittered(500);
    // Attempt 21 waits as the sixth of retrySchedule (8 s), and so on.
    return retrySchedule(attempt - Quick + 5);
}

} // namespace corvale
