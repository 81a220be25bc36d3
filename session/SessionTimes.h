#pragma once

#include <chrono>
#include <functional>

namespace corvale {

// How long the session waits for things; tests make them short.
struct SessionTimes
{
    std::chrono::milliseconds answerWait{10000};   // a hangup's answer, a listing a hangup awaits
    std::chrono::milliseconds greetingWait{10000}; // TCP connected to greeting; TLS handshake
    // The login's answer (a challenge's too), and the first listing's answer after the login.
    std::chrono::milliseconds loginWait{10000};
    std::chrono::milliseconds silenceBeforePing{20000};
    std::chrono::milliseconds pingWait{10000};        // after a Ping, for any byte at all
    std::chrono::milliseconds listingInterval{15000}; // live mode's periodic listing
    std::chrono::milliseconds readInterval{100};      // live mode reads at most this often
    std::chrono::milliseconds readTurn{15}; // then gives the event loop back, reading on after it
    // A connection lost sooner after its login does not start the count of attempts afresh.
    std::chrono::milliseconds stableAfter{30000};
    // The wait before reconnection attempt `attempt` (from 1); empty: Reconnector's schedules.
    std::function<std::chrono::milliseconds(int attempt)> retryDelay;
};

} // namespace corvale
