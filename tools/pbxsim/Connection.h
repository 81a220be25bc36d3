#pragma once

#include "ManagerSession.h"
#include "Output.h"
#include "Transcript.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>

typedef struct ssl_st SSL;

namespace pbxsim {

// How moving bytes over a connection's socket, with or without TLS, came out.
enum class Io
{
    Moved,
    Later,
    Closed,
    Failed
};

// One manager connection as the server carries it: the socket, with or without TLS, the session
// behind it and the bytes waiting to go out.
struct Connection
{
    using Clock = std::chrono::steady_clock;

    int fd = -1;
    int id = 0;
    std::unique_ptr<ManagerSession> session;
    std::deque<Output> queue;
    std::size_t offset = 0;  // bytes of queue.front() already sent
    std::size_t queued = 0;  // bytes in the queue not yet sent
    std::size_t flooded = 0; // bytes of queue.front()'s flood already sent
    bool headTimed = false;  // queue.front()'s delay has been set off
    Clock::time_point readyAt;
    std::uint64_t sentTotal = 0;
    bool closing = false; // our side is shut; reading until the peer closes or time runs out
    Clock::time_point closeBy;
    bool dead = false;
    SSL* tls = nullptr;
    bool handshaking = false;      // nothing is read or written before the handshake is done
    bool tlsWantsWrite = false;    // TLS needs the socket writable to go on, even to read
    Clock::time_point frozenUntil; // nothing moves either way before then
    bool mute = false;             // taken while silent: never greeted, never answered
    Clock::time_point endBy = Clock::time_point::max(); // closed then, read up or not

    // Each says in the transcript what went wrong, and marks the connection dead when it did.
    void handshake(Transcript& transcript);
    Io receive(char* buffer, std::size_t size, std::size_t& received, Transcript& transcript);
    Io transmit(const char* data, std::size_t size, std::size_t& sent, Transcript& transcript);
    void close();
};

} // namespace pbxsim
