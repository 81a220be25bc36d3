#pragma once

#include "SessionOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pbxsim {

// Everything the command line sets.
struct Options
{
    std::string host = "127.0.0.1";
    std::uint16_t port = 5038;
    std::size_t calls = 12;
    std::uint64_t seed = 1;
    bool hostile = false;
    std::size_t chunk = 0;             // 0: every answer in one write
    int chunkDelayMs = 0;              // pause between chunks
    std::uint64_t closeAfterBytes = 0; // 0: never
    std::string transcript;            // empty: none
    std::int64_t clock = 0;            // unix seconds durations count to; 0: the real clock
    std::vector<std::string> rawNames; // caller names of extra calls, any bytes
    bool control = false;              // read commands on standard input
    std::uint32_t churn = 0;           // calls that start, and end, per second
    std::uint32_t churnSeconds = 0;    // for this long; 0: until the simulator stops
    std::string dumpChannels;          // write the channels that are up to this file at exit
    std::string tlsCert, tlsKey;       // serve TLS with this certificate and key (PEM)
    std::string tlsFault;              // or with one made at start: wrong-host, expired, untrusted
    std::string tlsCaCert, tlsCaKey;   // the authority that signs the one made at start
    std::string makeCerts;             // write a set of test certificates here and end
    std::size_t bridged = 0;           // pairs of calls bridged at start
    bool churnPairs = false;           // the churn replaces a bridged pair by a bridged pair
    std::size_t maxQueued = 8 << 20;   // events waiting for one connection before it is dropped
    std::vector<int> churnCauses;      // the churn ends calls with one of these; empty: normal
    bool queueDemo = false;            // the demo's queues, sales and support
    std::size_t queues = 0;            // generated queues, with
    std::size_t members = 0;           //   members spread over them
    std::size_t waiting = 0;           //   and callers waiting in them
    std::uint32_t queueChurn = 0;      // callers that join, and leave, per second
    bool activity = false;             // something happens every few seconds
    std::string forgedVictim;          // add callers whose names forge records of this channel
    SessionOptions session;
    bool help = false;
};

// Reads argv into `options`; on a bad argument returns false with a message in `error`.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);
std::string usage();

} // namespace pbxsim
