#pragma once

#include "ActionReader.h"
#include "Listing.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

class CallTable;

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
    bool closeAfterLogin = false;      // close right after accepting the login
    std::size_t longLine = 0;          // bytes of garbage line sent before each Status answer
    bool noHangupAnswer = false;       // a hangup still ends the call but is never answered
    std::size_t unansweredHangups = 0; // the same, for only the first this many hangups
    bool challengeError = false;       // every Challenge is answered with an error
};

// Bytes to send, in order with the others of the connection.
struct Output
{
    std::string bytes;
    int delayMs = 0;         // wait this long before starting to send them
    bool closeAfter = false; // then close the connection
};

// The PBX side of one manager connection, without the socket: bytes in, answers out.
class Session
{
public:
    Session(const SessionOptions& options, CallTable& calls);

    std::string greeting() const;
    // Interprets the received bytes and appends the answers, in the order the actions came.
    // `now` (unix seconds) is the time the status records count their seconds to.
    void receive(std::string_view bytes, std::int64_t now, std::vector<Output>& out);
    // The session has sent or queued its last answer and reads nothing more.
    bool finished() const { return bFinished; }
    bool loggedIn() const { return bLoggedIn; }

private:
    void handle(const Action& action, std::int64_t now, std::vector<Output>& out);
    void login(const Action& action, std::vector<Output>& out);
    void challengeAction(const Action& action, std::vector<Output>& out);
    bool keyMatches(std::string_view key) const;
    void hangup(const Action& action, std::vector<Output>& out);

    const SessionOptions& options;
    CallTable& table;
    ActionReader reader;
    std::vector<Action> actions; // reused between receive calls
    bool bLoggedIn = false;
    bool bFinished = false;
    std::size_t nHangups = 0;
    std::string challenge; // issued on this connection; empty until the first Challenge
};

// "Response: <response>" and "Message: <message>" as one answer block.
std::string answer(std::string_view response, std::string_view message);

// The MD5 digest of `text` in lower-case hex, as a challenge login's Key is written.
std::string md5Hex(std::string_view text);

// What --challenge-error answers every Challenge with.
constexpr std::string_view ChallengeRefusal = "Challenge is not permitted here";

} // namespace pbxsim
