#pragma once

#include "CallTable.h"
#include "Churn.h"
#include "Events.h"
#include "Listing.h"

#include <cstdint>
#include <string>
#include <string_view>

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

// Commands that change the PBX's calls while clients are connected, one line each, so that a test
// decides exactly when a call starts, changes or ends:
//   start [CHANNEL [NUMBER [NAME...]]]   hangup CHANNEL
//   callerid CHANNEL NUMBER [NAME...]    exten CHANNEL EXTENSION
//   rename CHANNEL NEWNAME               masquerade ORIGINAL CLONE
//   bridge CHANNEL CHANNEL               unbridge CHANNEL
//   churn PER-SECOND [SECONDS]           count
//   dump FILE                            flooded
//   queued                               restart SECONDS
//   freeze SECONDS                       silent [on|off]
class Control
{
public:
    Control(CallTable& table, CallGenerator& generator, EventStyle style, std::uint64_t seed);

    // The server the connection commands act on; without one they are refused.
    void setTransport(Transport* server) { transport = server; }

    // Carries out one command at `now` (unix seconds). Returns one line without its end: "ok",
    // "ok <detail>" (start names the channel, count and dump give the number of calls, flooded
    // the bytes of --flood-after-refuse written so far) or "error <why>".
    std::string run(std::string_view line, std::int64_t now);

    // Flood bytes the socket took, on any connection.
    void noteFlooded(std::uint64_t bytes) { nFlooded += bytes; }

    // The churn's timing; churnStep does what it says is due.
    Churn& churn() { return timing; }
    // Ends `count` calls chosen at random and starts as many new ones.
    void churnStep(std::uint64_t count, std::int64_t now);
    // With pairs on, a bridged call that the churn ends with its peer is replaced by a new
    // bridged pair, so that a PBX of conversations stays one.
    void setChurnPairs(bool on) { bChurnPairs = on; }

private:
    CallTable& table;
    CallGenerator& generator;
    EventStyle style;
    Churn timing;
    Rng rng;
    Rng bridgeIds; // apart from `rng`, so that bridges leave the churn's choices as they were
    std::uint64_t nFlooded = 0;
    bool bChurnPairs = false;
    Transport* transport = nullptr;
};

// Writes the channel of every call that is up to `path`, one per line.
bool dumpChannels(const CallTable& table, const std::string& path);

} // namespace pbxsim
