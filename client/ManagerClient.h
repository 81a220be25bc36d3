#pragma once

#include "AnswerPairing.h"
#include "ChannelListing.h"
#include "DeferredBytes.h"
#include "DurationFormat.h"
#include "EventBlock.h"
#include "FieldLexing.h"
#include "LineFramer.h"
#include "ListingGuard.h"
#include "QueueClient.h"
#include "WindowOps.h"
#include "Wire.h"

#include <cstdint>
#include <functional>
#include <locale>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

class LiveCalls;
class Queues;

// How the client logs in: with the secret in the login action, or with the key made from the
// PBX's challenge and the secret, so that the secret never crosses the wire.
enum class Auth
{
    Plain,
    Md5
};

// The conversation with the PBX manager: frames the received bytes into lines, interprets each
// line, turns status records into call list entries and sends the actions. It reaches the user
// interface only through WindowOps. Its own listings of channels are read by a ChannelListing,
// through a ListingGuard when the PBX repeats their ActionID.
class ManagerClient
{
public:
    explicit ManagerClient(WindowOps& window,
                           const std::locale& numbers = DurationFormat::userLocale());

    // Before the greeting arrives.
    void setAuth(Auth method) { auth = method; }
    // Live mode with a current PBX (12 and later): list with CoreShowChannels, whose records
    // escape every name and give each channel's bridge, instead of Status. Other PBXs, and the
    // list of entries, keep Status.
    void useCoreShowChannels(bool on) { bCoreShowChannels = on; }
    // Where each listing's ActionID comes from; ListingGuard::freshId unless a test or the fuzzer,
    // which must know it, says otherwise.
    void setListingIds(std::function<std::string()> source) { listingIds = std::move(source); }

    // A ManagerClient serves one connection. Before the next one: forgets everything of the
    // old one (unfinished line, greeting, awaited answers, open record, event or answer) but
    // keeps the login method, live mode and its calls. Not from inside a window call.
    void newConnection();

    // Every byte the PBX sends comes in here, in chunks of any size.
    void dataArrival(std::string_view bytes);
    // One complete line, without its CR LF.
    void ParseIncoming(std::string_view sData);

    // Send an action; the ticket names it in the Answer that the window later receives.
    // Nothing is sent, and nothing returned, when a value could smuggle in extra headers.
    // sendStatus sends the listing (Status, or CoreShowChannels), with a fresh ActionID.
    std::uint64_t sendStatus();
    std::optional<std::uint64_t> sendHangup(std::string_view channel);
    std::uint64_t sendPing();

    bool ended() const { return bEnded; }
    // The greeting's major version; 0 before a greeting or when it is unreadable.
    int pbxVersion() const { return nVersion; }
    bool currentPbx() const { return nVersion >= 2; }
    const std::string& buffer() const { return framer.buffer(); }
    std::size_t droppedLines() const { return framer.droppedLines(); }
    bool inStatus() const { return channels.record().isOpen(); }
    // A listing whose answer repeated its ActionID is under way: its blocks are guarded.
    bool guardedListing() const { return guard.active(); }
    std::size_t awaitingAnswers() const { return answers.size(); }

    // Live mode, set before the greeting: the login asks for call events, and listings and
    // events keep `calls` up to date instead of entries going to the window.
    void followCalls(LiveCalls* calls);
    // Live mode: the login also asks for system events, which announce a shutdown.
    void askForSystemEvents();
    // The periodic listing of live mode: sends Status unless one is still awaited.
    void pollListing();

    // Live mode, set before the greeting: the login also asks for the agent class, and the queue
    // listings and events keep `queues` up to date. Null: none.
    void followQueues(Queues* queues);
    // The queue listings (see QueueClient), and the pause of a member.
    std::uint64_t sendQueueListing() { return queueSide.sendListing(*this); }
    void pollQueues() { queueSide.pollListing(*this); }
    std::optional<std::uint64_t> sendQueuePause(std::string_view interface, bool paused,
                                                std::string_view queue, std::string_view reason)
    {
        return queueSide.sendPause(*this, interface, paused, queue, reason);
    }
    const QueueClient& queueClient() const { return queueSide; }
    // QueueSummary exists from 1.1 (PBX 1.6) on.
    bool hasQueueSummary() const { return nVersion >= 2 || (nVersion == 1 && nMinor >= 1); }

    // For the parts of the client that send actions of their own: sends `action`, awaiting its
    // answer as `kind` (a listing's with its ActionID).
    std::uint64_t sendTracked(ActionKind kind, std::string_view action, std::string listingId = {});
    bool awaits(ActionKind kind) const { return answers.awaits(kind); }
    std::string freshListingId() const { return listingIds(); }

    // Bytes that arrive while a message opened from inside a line is on screen wait for it to
    // close, up to this many; beyond it they are dropped and the stream is picked up again at
    // the next empty line (in live mode at the answer to a new listing, which names itself).
    static constexpr std::size_t MaxDeferred = 4u << 20;
    std::size_t deferredBytes() const { return deferred.size(); }
    std::size_t lostArrivals() const { return deferred.losses(); }

private:
    void feed(std::string_view bytes);
    void trackAnswer(Key which, std::string_view value, bool emptyLine);
    void finishAnswer(bool atEmptyLine);
    void answerChallenge(const Answer& answer);
    void loginAnswered(std::string_view message);
    void listingBegins();
    void recordLine(Key which, bool empty, std::string_view value);
    void sendLogin();
    bool listsWithCoreShowChannels() const;
    bool insideRecordBlock() const;
    void openEvent(std::string_view name);
    void updateEvents();
    void end();
    void resynchronise();
    void awaitResyncAnswer(std::string_view line);

    WindowOps& window;
    LineFramer framer;        // holds sBuffer, the unfinished line
    ChannelListing channels;  // the open record, and where a listing's records go
    bool bBlockEnded = false; // an older PBX's record has passed an empty line
    bool bRecordTail = false; // an older PBX's record closed, its block not yet ended
    bool bGreeted = false;    // this connection's greeting has been read

    Auth auth = Auth::Plain;
    bool bCoreShowChannels = false;
    std::string sEvents{EventsOff}; // the Events header of every login
    bool bSystemEvents = false;
    std::string sChallenge; // the PBX's answer to the challenge action

    int nVersion = 0;
    int nMinor = 0;
    bool bEnded = false;
    bool bDispatching = false;
    DeferredBytes deferred{MaxDeferred};

    AnswerPairing answers;
    bool bRepeatsIds = false; // this connection's PBX repeated a listing's ActionID
    std::function<std::string()> listingIds = &ListingGuard::freshId;
    ListingGuard guard;
    ListingReader* listingReader = &channels; // where the guarded listing's records go

    // Live mode.
    LiveCalls* live = nullptr;
    EventBlock eventBlock;
    QueueClient queueSide;
    unsigned nSkippedPolls = 0;

    bool bSkipToBlockEnd = false; // after a loss, lines are dropped up to an empty one
    // Live mode after a loss: lines are dropped up to the answer that carries this ActionID.
    std::string sResyncId;
    std::string sResyncResponse; // the Response line just before, when it was the last line
    bool bResyncResponse = false;
};

} // namespace corvale
