#pragma once

#include "DurationFormat.h"
#include "LineFramer.h"
#include "WindowOps.h"
#include "Wire.h"

#include <cstdint>
#include <deque>
#include <locale>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

// The keys the client acts on; None for a line without a colon.
enum class Key
{
    None,
    Other,
    Response,
    Message,
    Event,
    Channel,
    CallerID,
    CallerIDNum,
    CallerIDName,
    Extension,
    Exten,
    Seconds,
    Uniqueid,
    Challenge
};

// How the client logs in: with the secret in the login action, or with the key made from the
// PBX's challenge and the secret, so that the secret never crosses the wire.
enum class Auth
{
    Plain,
    Md5
};

// The conversation with the PBX manager: frames the received bytes into lines, interprets each
// line, turns status records into call list entries and sends the actions. It reaches the user
// interface only through WindowOps.
class ManagerClient
{
public:
    explicit ManagerClient(WindowOps& window,
                           const std::locale& numbers = DurationFormat::userLocale());

    // Before the greeting arrives.
    void setAuth(Auth method) { auth = method; }

    // Every byte the PBX sends comes in here, in chunks of any size.
    void dataArrival(std::string_view bytes);
    // One complete line, without its CR LF.
    void ParseIncoming(std::string_view sData);

    // Send an action; the ticket names it in the Answer that the window later receives.
    // Nothing is sent, and nothing returned, when a value could smuggle in extra headers.
    std::uint64_t sendStatus();
    std::optional<std::uint64_t> sendHangup(std::string_view channel);

    bool ended() const { return bEnded; }
    // The greeting's major version; 0 before a greeting or when it is unreadable.
    int pbxVersion() const { return nVersion; }
    bool currentPbx() const { return nVersion >= 2; }
    const std::string& buffer() const { return framer.buffer(); }
    std::size_t droppedLines() const { return framer.droppedLines(); }
    bool inStatus() const { return bInStatus; }
    std::size_t awaitingAnswers() const { return pending.size(); }

private:
    struct Pending
    {
        std::uint64_t ticket;
        ActionKind kind;
    };

    void feed(std::string_view bytes);
    std::uint64_t track(ActionKind kind);
    void trackAnswer(Key which, std::string_view value);
    void finishAnswer();
    void answerChallenge(const Answer& answer);
    void realignToStatus();
    void readGreeting(std::string_view line);
    void sendLogin();
    void openRecord();
    bool insideRecordBlock() const;
    void applyField(Key which, std::string_view value);
    void closeRecord();
    void end();

    WindowOps& window;
    LineFramer framer; // holds sBuffer, the unfinished line
    DurationFormat duration;

    // The open status record.
    bool bInStatus = false;
    std::string sCallerID;
    std::string sCallerIDName;
    std::string sExtension;
    std::string sChannel;
    std::string sSeconds;
    bool bHasCallerID = false;
    bool bHasExtension = false;
    unsigned nKeysSet = 0;    // one bit per Key the open record has read
    bool bBlockEnded = false; // an older PBX's record has passed an empty line

    Auth auth = Auth::Plain;
    std::string sEvents{EventsOff}; // the Events header of every login
    std::string sChallenge;         // the PBX's answer to the challenge action

    int nVersion = 0;
    bool bEnded = false;
    bool bDispatching = false;
    std::string sDeferred; // bytes that arrived while a line was being interpreted
    std::string sEntry;    // reused to build each entry

    std::deque<Pending> pending; // sent actions awaiting their answer, oldest first
    std::optional<Answer> openAnswer;
    std::uint64_t nextTicket = 1;
};

// Splits "Key: value" at the first colon; the value loses the spaces (only spaces) at both
// ends. Returns false for a line without a colon.
bool splitField(std::string_view line, std::string_view& key, std::string_view& value);
Key classifyKey(std::string_view key);

// Undoes the C-style escapes of a current PBX's caller names; an escaped control character
// becomes a space, so no entry ever holds a line break.
void unescapeName(std::string_view escaped, std::string& out);

} // namespace corvale
