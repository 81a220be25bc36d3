#pragma once

#include "Wire.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvale {

enum class ActionKind
{
    Login,
    Status,
    Hangup,
    Challenge,
    Ping,
    QueueStatus,
    QueueSummary,
    QueuePause
};

// The PBX's answer to one action the client sent: the block that begins with "Response:".
struct Answer
{
    std::uint64_t ticket = 0;
    ActionKind kind = ActionKind::Status;
    std::string response; // "Success", "Error", ...
    std::string message;  // the block's Message value, empty when it had none
    bool succeeded() const { return response == "Success"; }
};

// What the manager client may ask of its window; the window implements it, tests fake it.
// Text is the bytes of the wire, one byte per character.
class WindowOps
{
public:
    virtual ~WindowOps() = default;

    virtual std::string userName() const = 0;
    virtual std::string password() const = 0;
    // The key of a challenge login: the lower-case hex MD5 of `challenge` followed by the secret.
    // The window makes it, so the secret itself never reaches the client. Only asked of a window
    // that chose the challenge login.
    virtual std::string challengeKey(std::string_view /*challenge*/) const { return {}; }
    virtual std::size_t callCount() const = 0;
    virtual void addCall(std::string_view entry, const EntryParts& parts) = 0;
    // Modal: returns once the operator has dismissed it.
    virtual void showMessage(std::string_view text) = 0;
    // The client handles no further line after calling this.
    virtual void endProgram() = 0;
    virtual void send(std::string_view bytes) = 0;
    // An answer paired with the action it answers; most windows only care about hangups.
    virtual void actionAnswered(const Answer&) {}
    // Outside live mode: a listing's end has been read (its entries, if any, have been added).
    virtual void listingComplete() {}
    // The PBX announced it is shutting down (live mode with system events).
    virtual void shutdownAnnounced() {}
};

} // namespace corvale
