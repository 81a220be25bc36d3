#pragma once

#include "ActionReader.h"
#include "CallTable.h"
#include "Events.h"
#include "Listing.h"
#include "Output.h"
#include "QueueTable.h"
#include "SessionOptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbxsim {

// The PBX side of one manager connection, without the socket: bytes in, answers out. After a
// login that asks for events it also reports the changes to the calls and the queues, made by
// any connection or by the PBX itself, as the PBX does: whole events after the answer to the
// action that caused them, or, for changes made while the session was idle, whenever takeEvents
// is called. A user gets only the events of the classes it may read and may run only the actions
// its write classes allow.
class ManagerSession : private CallTable::Listener, private QueueTable::Listener
{
public:
    // Without queues QueueStatus and QueueSummary list none.
    ManagerSession(const SessionOptions& options, CallTable& calls, QueueTable* queues = nullptr);
    ~ManagerSession();
    ManagerSession(const ManagerSession&) = delete;
    ManagerSession& operator=(const ManagerSession&) = delete;

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
    bool allowed(std::string_view action) const;
    void callChanged(const CallChange& change) override;
    void queueChanged(const QueueChange& change) override;
    void hangup(const Action& action, std::vector<Output>& out);
    std::string ping(const Action& action, std::int64_t now) const;
    std::string queuePause(const Action& action);

    const SessionOptions& options;
    CallTable& table;
    QueueTable* queues;
    ActionReader reader;
    std::vector<Action> actions; // reused between receive calls
    bool bLoggedIn = false;
    bool bFinished = false;
    std::size_t nHangups = 0;
    std::string challenge; // issued on this connection; empty until the first Challenge
    EventStyle style;
    bool bridgeUnlink;         // how a bridge's end is told, see unlinksAsBridge
    unsigned rights = 0;       // the classes the user logged in may read and write
    unsigned eventClasses = 0; // asked for at login, of those it may read
    std::string events;        // events not yet handed out
    std::string localAddress = "127.0.0.1/5038";
    std::string remoteAddress = "127.0.0.1/0";
};

// "Response: <response>", the action's ActionID if it had one, and "Message: <message>" as one
// answer block.
std::string answer(std::string_view response, std::string_view message,
                   std::string_view actionId = {});

// The MD5 digest of `text` in lower-case hex, as a challenge login's Key is written.
std::string md5Hex(std::string_view text);

// What --challenge-error answers every Challenge with.
constexpr std::string_view ChallengeRefusal = "Challenge is not permitted here";

} // namespace pbxsim
