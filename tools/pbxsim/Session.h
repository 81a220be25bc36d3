#pragma once

#include "ActionReader.h"
#include "CallTable.h"
#include "Events.h"
#include "Listing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// How the PBX side of one connection behaves, faults included.
struct SessionOptions
{
    std::string user = "admin";
    std::string secret;
    Dialect dialect = Dialect::Legacy;
    std::string greetingVersion = "1.1";
    bool refuseLogin = false;          // every login is refused
    bool closeOnRefuse = false;        // answer a refused login at once instead of after the delay
    int refuseDelayMs = 1000;          // a real PBX waits about a second before it says no
    std::size_t floodAfterRefuse = 0;  // bytes of garbage lines sent after a refusal, then close
    bool closeAfterLogin = false;      // close right after accepting the login
    std::size_t longLine = 0;          // bytes of garbage line sent before each Status answer
    bool noHangupAnswer = false;       // a hangup still ends the call but is never answered
    std::size_t unansweredHangups = 0; // the same, for only the first this many hangups
    bool challengeError = false;       // every Challenge is answered with an error
    std::int64_t bootTime = 0;         // unix seconds the PBX came up, for FullyBooted's Uptime
    bool fixedClock = false;           // time stands still (--clock): Ping's Timestamp too
};

// Bytes to send, in order with the others of the connection.
struct Output
{
    std::string bytes;
    int delayMs = 0;         // wait this long before starting to send them
    bool closeAfter = false; // then close the connection
    std::size_t flood = 0;   // before that, this many bytes of garbage lines, made as they go out
};

// The PBX side of one manager connection, without the socket: bytes in, answers out. After a
// login that asks for events it also reports the changes to the calls, made by any connection or
// by the PBX itself, as the PBX does: whole events after the answer to the action that caused
// them, or, for changes made while the session was idle, whenever takeEvents is called.
class Session : private CallTable::Listener
{
public:
    Session(const SessionOptions& options, CallTable& calls);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Where the connection runs, "127.0.0.1/5038", for the events that tell it.
    void setAddresses(std::string local, std::string remote);

    std::string greeting() const;
    // Interprets the received bytes and appends the answers, in the order the actions came.
    // `now` (unix seconds) is the time the status records count their seconds to.
    void receive(std::string_view bytes, std::int64_t now, std::vector<Output>& out);
    // The session has sent or queued its last answer and reads nothing more.
    bool finished() const { return bFinished; }
    bool loggedIn() const { return bLoggedIn; }
    // Moves the events of changes made since the last call into `out`, as one output.
    void takeEvents(std::vector<Output>& out);
    // The PBX restarts: the events not yet handed out, then Shutdown if the session reads system
    // events, and the connection closes; the session reads nothing more.
    void restart(std::vector<Output>& out);

private:
    void handle(const Action& action, std::int64_t now, std::vector<Output>& out);
    void login(const Action& action, std::int64_t now, std::vector<Output>& out);
    void challengeAction(const Action& action, std::vector<Output>& out);
    bool keyMatches(std::string_view key) const;
    void callChanged(const CallChange& change) override;
    void hangup(const Action& action, std::vector<Output>& out);
    std::string ping(const Action& action, std::int64_t now) const;

    const SessionOptions& options;
    CallTable& table;
    ActionReader reader;
    std::vector<Action> actions; // reused between receive calls
    bool bLoggedIn = false;
    bool bFinished = false;
    std::size_t nHangups = 0;
    std::string challenge; // issued on this connection; empty until the first Challenge
    EventStyle style;
    bool bridgeUnlink;         // how a bridge's end is told, see unlinksAsBridge
    unsigned eventClasses = 0; // asked for at login
    std::string events;        // events not yet handed out
    std::string localAddress = "127.0.0.1/5038";
    std::string remoteAddress = "127.0.0.1/0";
};

// "Response: <response>" and "Message: <message>" as one answer block.
std::string answer(std::string_view response, std::string_view message);

// The MD5 digest of `text` in lower-case hex, as a challenge login's Key is written.
std::string md5Hex(std::string_view text);

// What --challenge-error answers every Challenge with.
constexpr std::string_view ChallengeRefusal = "Challenge is not permitted here";

} // namespace pbxsim
