#pragma once

#include "ListingGuard.h"
#include "ListingReader.h"
#include "QueueBlock.h"
#include "QueueFields.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvale {

class ManagerClient;
class Queues;
struct Answer;

// The queue side of a manager connection: asks for the queue listings and pauses through the
// ManagerClient, and reads the listings' genuine records (which the client's ListingGuard hands
// on) and the queue events into a Queues. Does nothing until it follows one.
//
// A waiting caller's numbers and names come raw in QueueEntry, so a record the guard reports cut
// short counts only with what precedes them (its queue, position, channel and Uniqueid); the rest
// of its block may be the caller's own text. A cut record of any other kind is not read, and the
// listing then removes nothing.
class QueueClient : public ListingReader
{
public:
    void follow(Queues* queues);
    bool following() const { return target != nullptr; }

    // QueueStatus and, where the PBX has it, QueueSummary, each with a fresh ActionID. Returns
    // the QueueStatus ticket.
    std::uint64_t sendListing(ManagerClient& client);
    // The periodic listing: sent unless one is still awaited (a few times at most, so that a
    // listing whose end was lost cannot stop the queues from ever being listed again).
    void pollListing(ManagerClient& client);
    // Nothing is sent, and nothing returned, when a value could smuggle in extra headers.
    std::optional<std::uint64_t> sendPause(ManagerClient& client, std::string_view interface,
                                           bool paused, std::string_view queue,
                                           std::string_view reason);

    // The answer to a listing: true when its records follow under the guard of `kind` (the PBX
    // repeated the ActionID; `guarded`). Without it no record is read: nothing could tell a
    // genuine one from one a caller's name forged.
    bool listingAnswered(const Answer& answer, bool guarded, ListingGuard::Kind& kind);
    // The connection is gone, or its bytes were lost: the listing under way never completes,
    // a half-read block is forgotten.
    void connectionLost();

    // Every event block of live mode, as the client reads it: its name, each field, its end.
    void eventBegins(std::string_view name);
    void eventField(std::string_view key, std::string_view value);
    void eventEnds(bool escapedNames);
    void eventAbandoned() { event.abandon(); }

    // Events only a manager user with the read class agent receives, on this connection.
    std::uint64_t agentEvents() const { return nAgentEvents; }
    // Complete listings of every queue's detail (QueueStatus), on this connection.
    std::uint64_t statusListings() const { return nStatusListings; }

    void recordBegins(std::string_view eventName) override;
    void recordField(Key which, std::string_view key, std::string_view value) override;
    void recordEnds(bool cut) override;
    void listingEnds() override;

private:
    Queues* target = nullptr;
    QueueBlock record;
    QueueBlock event;
    QueueListing listing = QueueListing::Status;
    bool bListingOpen = false;
    bool bPastHead = false; // the entry's raw fields have begun: what follows waits for its end
    std::vector<std::pair<std::string, std::string>> tail; // reused; nTail in use
    std::size_t nTail = 0;
    unsigned nSkippedPolls = 0;
    std::uint64_t nAgentEvents = 0;
    std::uint64_t nStatusListings = 0;
};

} // namespace corvale
