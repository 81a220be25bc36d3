#pragma once

#include "Activity.h"
#include "CallTable.h"
#include "Churn.h"
#include "Events.h"
#include "Listing.h"
#include "QueueChurn.h"
#include "QueueTable.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// What the commands below may ask of the server that carries the connections.
class Transport
{
public:
    // Bytes waiting to be written: over every connection now, the most one connection has held,
    // and how many connections were ended for reading too slowly.
    struct QueueFigures
    {
        std::uint64_t now = 0;
        std::uint64_t peak = 0;
        std::uint64_t dropped = 0;
    };
    virtual QueueFigures queued() const = 0;
    // Every connection is told (Shutdown, to those reading system events) and closed; for
    // `seconds` connections are refused, then taken again with the calls as they were.
    virtual void restart(std::uint32_t seconds) = 0;
    // Nothing is read from or written to the connections open now for `seconds`; they stay open.
    virtual void freeze(std::uint32_t seconds) = 0;
    // While on, connections are taken but never greeted nor answered, to the end.
    virtual void setSilent(bool silent) = 0;

protected:
    ~Transport() = default;
};

// Commands that change the PBX's calls and queues while clients are connected, one line each, so
// that a test decides exactly when a call starts, changes or ends (the list is in Usages, and
// `help` gives it). Besides, the periodic work: the churns and the gentle activity.
class Control
{
public:
    using Clock = std::chrono::steady_clock;

    Control(CallTable& table, CallGenerator& generator, EventStyle style, std::uint64_t seed);
    ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // The server the connection commands act on; without one they are refused.
    void setTransport(Transport* server) { transport = server; }
    // The queues the queue commands act on; without them they are refused.
    void setQueues(QueueTable* queueTable);
    // Where a forged name goes depends on which field the Status dialect sends raw.
    void setDialect(Dialect statusDialect) { dialect = statusDialect; }

    // Carries out one command at `now` (unix seconds). Returns one line without its end: "ok",
    // "ok <detail>" (start names the channel, count and dump give the number of calls, flooded
    // the bytes of --flood-after-refuse written so far) or "error <why>".
    std::string run(std::string_view line, std::int64_t now);

    // Flood bytes the socket took, on any connection.
    void noteFlooded(std::uint64_t bytes) { nFlooded += bytes; }

    // The churn's timing; churnStep does what it says is due.
    Churn& churn() { return timing; }
    // Ends `count` calls chosen at random and starts as many new ones. The queues' callers and
    // members' channels are left to the queue churn.
    void churnStep(std::uint64_t count, std::int64_t now);
    // With pairs on, a bridged call that the churn ends with its peer is replaced by a new
    // bridged pair, so that a PBX of conversations stays one.
    void setChurnPairs(bool on) { bChurnPairs = on; }
    // The causes the churn ends calls with, one chosen at random for each; none: normal
    // clearing.
    void setChurnCauses(std::vector<int> list) { churnCauses = std::move(list); }
    // Null without queues.
    QueueChurn* queueChurn() { return callers.get(); }
    Activity& activity() { return *gentle; }

    // Does the periodic work due by `now`; `unixNow` for the calls it starts.
    void tick(Clock::time_point now, std::int64_t unixNow);
    // When the periodic work wants to run next; max() when none is going on.
    Clock::time_point nextDue() const;

private:
    std::string queueCommand(std::string_view command, std::string_view rest, std::int64_t now);
    std::string forge(std::string_view command, std::string_view rest, std::int64_t now);

    CallTable& table;
    CallGenerator& generator;
    EventStyle style;
    std::uint64_t rngSeed;
    Churn timing;
    Rng rng;
    Rng bridgeIds; // apart from `rng`, so that bridges leave the churn's choices as they were
    Rng causeRng;  // the same for the churn's causes
    std::uint64_t nFlooded = 0;
    bool bChurnPairs = false;
    std::vector<int> churnCauses;
    Transport* transport = nullptr;
    QueueTable* queues = nullptr;
    Dialect dialect = Dialect::Legacy;
    std::unique_ptr<QueueChurn> callers;
    std::unique_ptr<Activity> gentle;
};

// Writes the channel of every call that is up to `path`, one per line.
bool dumpChannels(const CallTable& table, const std::string& path);

} // namespace pbxsim
