#include "QueueClient.h"

#include "ManagerClient.h"
#include "QueueActions.h"
#include "Queues.h"

namespace corvale {

namespace {

// Periodic listings skipped while one is still awaited, before asking anyway.
constexpr unsigned MaxSkippedPolls = 4;

bool isListingRecord(QueueEvent kind)
{
    switch (kind) {
    case QueueEvent::Params:
    case QueueEvent::Member:
    case QueueEvent::Entry:
    case QueueEvent::StatusComplete:
    case QueueEvent::Summary:
    case QueueEvent::SummaryComplete:
        return true;
    default:
        return false;
    }
}

// What a QueueEntry says before the first field a caller chooses.
bool isEntryHead(std::string_view key)
{
    return key == "Queue" || key == "Position" || key == "Channel" || key == "Uniqueid";
}

} // namespace

void QueueClient::follow(Queues* queues)
{
    target = queues;
}

std::uint64_t QueueClient::sendListing(ManagerClient& client)
{
    nSkippedPolls = 0;
    std::string id = client.freshListingId();
    // The ActionID is the client's own hex text: it always makes a valid action.
    const std::uint64_t ticket =
        client.sendTracked(ActionKind::QueueStatus, *queueStatusAction(id), id);
    if (client.hasQueueSummary()) {
        id = client.freshListingId();
        client.sendTracked(ActionKind::QueueSummary, *queueSummaryAction(id), id);
    }
    return ticket;
}

void QueueClient::pollListing(ManagerClient& client)
{
    const bool awaited = bListingOpen || client.awaits(ActionKind::QueueStatus);
    if (awaited && ++nSkippedPolls < MaxSkippedPolls)
        return;
    sendListing(client);
}

std::optional<std::uint64_t> QueueClient::sendPause(ManagerClient& client,
                                                    std::string_view interface, bool paused,
                                                    std::string_view queue, std::string_view reason)
{
    const auto action = queuePauseAction(interface, paused, queue, reason);
    if (!action)
        return std::nullopt;
    return client.sendTracked(ActionKind::QueuePause, *action);
}

bool QueueClient::listingAnswered(const Answer& answer, bool guarded, ListingGuard::Kind& kind)
{
    if (target == nullptr || !guarded || !answer.succeeded())
        return false;
    listing =
        answer.kind == ActionKind::QueueSummary ? QueueListing::Summary : QueueListing::Status;
    kind =
        listing == QueueListing::Summary ? ListingGuard::QueueSummary : ListingGuard::QueueStatus;
    target->listingStarted(listing);
    bListingOpen = true;
    record.abandon();
    return true;
}

void QueueClient::connectionLost()
{
    record.abandon();
    event.abandon();
    if (bListingOpen && target != nullptr)
        target->listingAbandoned();
    bListingOpen = false;
    nSkippedPolls = 0;
}

void QueueClient::eventBegins(std::string_view name)
{
    event.abandon();
    if (target == nullptr)
        return;
    const QueueEvent kind = classifyQueueEvent(name);
    // A listing's record outside its guarded listing was forged by a raw name in an event.
    if (kind == QueueEvent::None || kind == QueueEvent::Other || isListingRecord(kind))
        return;
    event.open(name);
    // Up to 11 a caller's Join and Leave are class call; every other queue event is agent.
    if (name != "Join" && name != "Leave")
        ++nAgentEvents;
}

void QueueClient::eventField(std::string_view key, std::string_view value)
{
    if (event.isOpen())
        event.field(key, value);
}

void QueueClient::eventEnds(bool escapedNames)
{
    if (event.isOpen())
        event.close(*target, escapedNames);
}

void QueueClient::recordBegins(std::string_view eventName)
{
    record.abandon();
    bPastHead = false;
    nTail = 0;
    const QueueEvent kind = classifyQueueEvent(eventName);
    if (isListingRecord(kind))
        record.open(eventName);
}

void QueueClient::recordField(Key, std::string_view key, std::string_view value)
{
    if (!record.isOpen())
        return;
    if (record.event() == QueueEvent::Entry && (bPastHead || !isEntryHead(key))) {
        bPastHead = true;
        if (nTail == tail.size())
            tail.emplace_back();
        tail[nTail].first.assign(key);
        tail[nTail].second.assign(value);
        ++nTail;
        return;
    }
    record.field(key, value);
}

void QueueClient::recordEnds(bool cut)
{
    if (!record.isOpen() || target == nullptr)
        return;
    if (cut && record.event() != QueueEvent::Entry) {
        // Only a caller's fields can cut a record; whatever did, this one says nothing sure.
        record.abandon();
        target->listingDamaged();
        return;
    }
    if (!cut)
        for (std::size_t i = 0; i < nTail; ++i)
            record.field(tail[i].first, tail[i].second);
    nTail = 0;
    record.close(*target, false); // a listing writes the callers' names raw
}

void QueueClient::listingEnds()
{
    if (!bListingOpen || target == nullptr)
        return;
    bListingOpen = false;
    target->listingComplete(listing);
    if (listing == QueueListing::Status)
        ++nStatusListings;
}

} // namespace corvale
