#include "QueueFeed.h"

#include "DisplayText.h"
#include "ManagerClient.h"

#include <algorithm>

namespace corvale {

namespace {

std::string bytes(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace

QueueFeed::QueueFeed(QObject* parent)
    : QObject(parent)
{
    connect(&poller, &QTimer::timeout, this, &QueueFeed::poll);
}

void QueueFeed::setUp(bool on, std::chrono::milliseconds pollInterval)
{
    if (on && !set)
        set = std::make_unique<Queues>();
    poller.setInterval(pollInterval);
}

void QueueFeed::attach(ManagerClient& client)
{
    client.followQueues(set.get());
}

void QueueFeed::loggedIn(ManagerClient& client)
{
    if (!set)
        return;
    nListingsSeen = 0;
    client.sendQueueListing();
    // Until an event of the agent class shows that they come.
    bPolled = true;
    poller.start();
}

void QueueFeed::afterRead(const ManagerClient& client)
{
    if (!set)
        return;
    const QueueClient& side = client.queueClient();
    if (bPolled && side.agentEvents() > 0) {
        bPolled = false;
        poller.stop();
    }
    if (side.statusListings() > nListingsSeen) {
        nListingsSeen = side.statusListings();
        setCurrent(true);
    }
    if (set->changes() != nChangesSeen) {
        nChangesSeen = set->changes();
        emit changed();
    }
}

void QueueFeed::periodic(ManagerClient& client)
{
    if (set && !bPolled)
        client.pollQueues();
}

void QueueFeed::poll()
{
    if (ManagerClient* client = loggedInClient ? loggedInClient() : nullptr)
        client->pollQueues();
}

void QueueFeed::connectionLost(bool ended)
{
    poller.stop();
    nListingsSeen = 0; // the next connection's client counts afresh
    if (set)
        set->listingAbandoned();
    setCurrent(false);
    const QString why =
        ended ? tr("The connection has ended.") : tr("The connection to the PBX was lost.");
    const std::vector<Pause> failed = std::exchange(pauses, {});
    for (const Pause& pause : failed)
        emit pauseFinished(pause.interface, false, why, false);
}

void QueueFeed::setCurrent(bool now)
{
    if (bCurrent == now)
        return;
    bCurrent = now;
    emit currentChanged(now);
}

void QueueFeed::requestPause(const QString& interface, bool paused, const QString& queue,
                             const QString& reason)
{
    const std::string wireInterface = bytes(interface);
    const std::string wireQueue = bytes(queue);
    const std::string wireReason = bytes(reason);
    if (!isSafeHeaderValue(wireInterface) || !isSafeHeaderValue(wireQueue) ||
        !isSafeHeaderValue(wireReason)) {
        finishLater(interface,
                    tr("The reason, interface or queue holds a line break or NUL, so nothing was "
                       "sent."));
        return;
    }
    ManagerClient* client = set && loggedInClient ? loggedInClient() : nullptr;
    if (client == nullptr) {
        finishLater(interface, set ? tr("Not connected to the PBX.")
                                   : tr("This session does not follow the queues."));
        return;
    }
    const auto ticket = client->sendQueuePause(wireInterface, paused, wireQueue, wireReason);
    if (!ticket) {
        finishLater(interface, tr("Nothing was sent."));
        return;
    }
    const std::uint64_t id = nextPause++;
    pauses.push_back({*ticket, interface, id});
    QTimer::singleShot(answerWait, this, [this, id] {
        const auto it =
            std::find_if(pauses.begin(), pauses.end(), [id](const Pause& p) { return p.id == id; });
        if (it == pauses.end())
            return;
        const QString failed = it->interface;
        pauses.erase(it);
        emit pauseFinished(failed, false, tr("The PBX did not answer."), false);
    });
}

void QueueFeed::finishLater(const QString& interface, const QString& message)
{
    QTimer::singleShot(0, this, [this, interface, message] {
        emit pauseFinished(interface, false, message, false);
    });
}

void QueueFeed::pauseAnswered(const Answer& answer)
{
    const auto it = std::find_if(pauses.begin(), pauses.end(),
                                 [&answer](const Pause& p) { return p.ticket == answer.ticket; });
    if (it == pauses.end())
        return;
    const QString interface = it->interface;
    pauses.erase(it);
    const bool ok = answer.succeeded();
    // Without events nothing else would show the change before the next poll.
    ManagerClient* client = ok && bPolled && loggedInClient ? loggedInClient() : nullptr;
    if (client != nullptr)
        client->sendQueueListing();
    emit pauseFinished(interface, ok,
                       displayText(answer.message.empty() ? answer.response : answer.message),
                       answer.message == "Permission denied");
}

} // namespace corvale
