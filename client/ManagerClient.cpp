#include "ManagerClient.h"

#include "LiveCalls.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>

namespace corvale {

namespace {

// Sent actions awaiting an answer. A PBX answers every action, so this only fills up when one
// does not; beyond it the oldest are forgotten rather than memory growing without end.
constexpr std::size_t MaxPending = 4096;

// Periodic listings skipped while one is still awaited, before asking anyway: a listing whose
// end was lost must not stop the list from ever being repaired again.
constexpr unsigned MaxSkippedPolls = 4;

bool contains(std::string_view text, std::string_view marker)
{
    return text.find(marker) != std::string_view::npos;
}

} // namespace

ManagerClient::ManagerClient(WindowOps& windowOps, const std::locale& numbers)
    : window(windowOps)
    , duration(numbers)
{}

void ManagerClient::dataArrival(std::string_view bytes)
{
    if (bEnded)
        return;
    if (bDispatching) {
        // A modal message opened while interpreting a line runs the event loop, which can
        // deliver more data here. Interpreting it now would put its lines before the rest of
        // the outer chunk, so it waits for the outer run to finish. The message may stay open
        // for as long as the operator likes, so the wait is bounded: past it, what waits and
        // whatever follows during this run is dropped.
        if (bDeferredLost)
            return;
        if (bytes.size() > MaxDeferred - sDeferred.size()) {
            sDeferred.clear();
            sDeferred.shrink_to_fit();
            bDeferredLost = true;
            ++nLost;
            return;
        }
        sDeferred.append(bytes);
        return;
    }
    bDispatching = true;
    struct Reset
    {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{bDispatching};

    feed(bytes);
    while (!bEnded && !sDeferred.empty()) {
        std::string more = std::move(sDeferred);
        sDeferred.clear();
        feed(more);
    }
    if (bEnded)
        sDeferred.clear();
    else if (bDeferredLost)
        resynchronise();
}

void ManagerClient::resynchronise()
{
    // The next bytes start somewhere inside a line of some block: forget the half-read record,
    // event or answer.
    bDeferredLost = false;
    framer.reset();
    record.close();
    bRecordTail = false;
    eventBlock.abandon();
    openAnswer.reset();
    if (live == nullptr) {
        // Drop up to the next empty line. The list mode sends nothing of its own.
        bSkipToBlockEnd = true;
        return;
    }
    // The answers of actions sent before the loss may have been among the dropped bytes, and
    // answers carry nothing to tell them apart: paired in order, each would go to the wrong
    // action. So those actions are forgotten, and a listing is asked for with an ActionID that
    // the PBX repeats in its answer; everything before that answer is skipped, and from it on
    // the stream is read whole again.
    bListingTrusted = false;
    bSkipToBlockEnd = false;
    pending.clear();
    // Not to be guessed: a name the PBX writes raw could otherwise hold the answer's first lines,
    // and the stream would be picked up inside that name.
    std::random_device entropy;
    const std::uint64_t salt = (std::uint64_t{entropy()} << 32) ^ entropy();
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(salt));
    sResyncId = "corvale-";
    sResyncId += hex;
    sResyncId += '-';
    sResyncId += std::to_string(++nResyncs);
    bResyncResponse = false;
    nSkippedPolls = 0;
    nLastStatus = track(ActionKind::Status);
    window.send(
        actionWithId(listsWithCoreShowChannels() ? "CoreShowChannels" : "Status", sResyncId));
}

void ManagerClient::awaitResyncAnswer(std::string_view line)
{
    // The PBX writes an answer's ActionID right after its Response line.
    std::string_view key;
    std::string_view value;
    const Key which = splitField(line, key, value) ? classifyKey(key) : Key::None;
    if (which == Key::Response) {
        sResyncResponse.assign(line);
        bResyncResponse = true;
        return;
    }
    if (bResyncResponse && which == Key::ActionID && value == sResyncId) {
        sResyncId.clear();
        const std::string response = std::move(sResyncResponse);
        ParseIncoming(response);
        ParseIncoming(line);
        return;
    }
    bResyncResponse = false;
}

void ManagerClient::feed(std::string_view bytes)
{
    framer.feed(bytes, [this](std::string_view line) {
        if (!sResyncId.empty()) {
            awaitResyncAnswer(line);
            return !bEnded;
        }
        if (bSkipToBlockEnd) {
            bSkipToBlockEnd = !line.empty();
            return true;
        }
        ParseIncoming(line);
        return !bEnded;
    });
}

void ManagerClient::ParseIncoming(std::string_view sData)
{
    if (bEnded)
        return;
    std::string_view key;
    std::string_view value;
    const Key which = splitField(sData, key, value) ? classifyKey(key) : Key::None;
    if (live != nullptr && eventBlock.isOpen()) {
        // Live mode: an event holds every line up to its empty line.
        if (sData.empty())
            eventBlock.close(*live, currentPbx());
        else if (which != Key::None)
            eventBlock.field(key, value);
        return;
    }
    if (insideRecordBlock()) {
        // Every line of a record's block is one of its fields, whatever it looks like: a PBX
        // does not escape every value a caller can set, so a name can hold whole lines.
        recordLine(which, sData.empty(), value);
        return;
    }
    if (bRecordTail) {
        // An older PBX's record closed at its Uniqueid; what follows up to the empty line is
        // still its block.
        bRecordTail = !sData.empty();
        return;
    }
    if (!bGreeted && isGreeting(sData)) {
        // The PBX greets once, before anything else it says of its own; inside a record, or
        // again later, the greeting's text is only text, such as a caller's name.
        bGreeted = true;
        readGreeting(sData);
        sendLogin();
        return;
    }
    if (sData.empty() || which == Key::Response || which == Key::Message ||
        which == Key::Challenge) {
        trackAnswer(which, value);
        if (bEnded)
            return;
    }

    // The chain: the first test that holds decides. Markers are matched by key, never found
    // anywhere in the line, so that what a caller puts in a name cannot steer the client.
    if (which == Key::Event && value == "StatusComplete") {
        if (live != nullptr) {
            live->listingComplete(bListingTrusted);
        } else if (!listingReplaced()) {
            if (window.callCount() == 0)
                window.addCall(NoCallsEntry, EntryParts{});
            window.listingComplete();
        }
    } else if (which == Key::Event && value == "Status") {
        openRecord(false);
    } else if (live != nullptr && which == Key::Event && currentPbx() &&
               value == "CoreShowChannel") {
        openRecord(true);
    } else if (live != nullptr && which == Key::Event && value == "CoreShowChannelsComplete") {
        live->listingComplete(bListingTrusted);
    } else if (record.isOpen()) {
        // An older PBX's record that passed its empty line without a Uniqueid: it takes its
        // plain fields on as before, but no longer hides what the PBX itself sends.
        if (which != Key::None && which != Key::Response && which != Key::Message &&
            which != Key::Challenge && record.field(which, value))
            closeRecord();
    } else if (live != nullptr && which == Key::Event) {
        if (value == "Shutdown")
            window.shutdownAnnounced();
        eventBlock.open(value);
    }
}

void ManagerClient::recordLine(Key which, bool empty, std::string_view value)
{
    if (empty) {
        if (currentPbx())
            closeRecord(); // a current PBX ends a record with its event block
        else if (live != nullptr)
            record.close(); // an older PBX's record that never reached its Uniqueid
        else
            bBlockEnded = true;
        return;
    }
    if (which == Key::None || !record.field(which, value))
        return;
    closeRecord();
    bRecordTail = true; // closed at its Uniqueid, inside its block
}

bool ManagerClient::isGreeting(std::string_view line)
{
    return line.size() >= GreetingMarker.size() &&
           line.substr(0, GreetingMarker.size()) == GreetingMarker;
}

void ManagerClient::newConnection()
{
    framer.reset();
    bGreeted = false;
    nVersion = 0;
    bEnded = false;
    sDeferred.clear();
    bDeferredLost = false;
    bSkipToBlockEnd = false;
    sResyncId.clear();
    bResyncResponse = false;
    record.close();
    bBlockEnded = false;
    bRecordTail = false;
    sChallenge.clear();
    pending.clear();
    openAnswer.reset();
    nListing = 0;
    nLastStatus = 0;
    eventBlock.abandon();
    bListingTrusted = true;
    nSkippedPolls = 0;
    if (live != nullptr)
        live->listingAbandoned();
}

void ManagerClient::trackAnswer(Key which, std::string_view value)
{
    // Answers come one per action, in the order the actions were sent; each is a block that
    // begins with "Response:" and ends at an empty line.
    if (which == Key::None) {
        finishAnswer();
    } else if (which == Key::Response) {
        finishAnswer();
        if (bEnded || pending.empty())
            return;
        Answer next;
        next.ticket = pending.front().ticket;
        next.kind = pending.front().kind;
        next.response = value;
        pending.pop_front();
        openAnswer = std::move(next);
    } else if (which == Key::Message && openAnswer) {
        openAnswer->message = value;
        if ((value == StatusFollowsMessage || value == ChannelsFollowMessage) &&
            openAnswer->kind != ActionKind::Status)
            realignToStatus();
        if (openAnswer->kind == ActionKind::Login)
            loginAnswered(value);
        else if (live != nullptr && openAnswer->kind == ActionKind::Status &&
                 (value == StatusFollowsMessage || value == ChannelsFollowMessage))
            listingBegins();
    } else if (which == Key::Challenge && openAnswer && openAnswer->kind == ActionKind::Challenge &&
               sChallenge.empty()) {
        sChallenge = value;
    }
}

void ManagerClient::loginAnswered(std::string_view message)
{
    // Only the answer to the login says whether it was accepted.
    if (contains(message, AcceptedMarker)) {
        sendStatus();
    } else if (contains(message, FailedMarker)) {
        window.showMessage(RejectedLoginMessage);
        end();
    }
}

void ManagerClient::listingBegins()
{
    // Every record of this listing is still to come.
    bListingTrusted = true;
    live->listingStarted();
}

void ManagerClient::finishAnswer()
{
    if (!openAnswer)
        return;
    Answer done = std::move(*openAnswer);
    openAnswer.reset();
    if (done.kind == ActionKind::Status)
        nListing = done.ticket;
    window.actionAnswered(done);
    if (done.kind == ActionKind::Challenge)
        answerChallenge(done);
}

void ManagerClient::answerChallenge(const Answer& answer)
{
    if (!answer.succeeded() || sChallenge.empty()) {
        // The PBX's own words: only it knows why it gives no challenge.
        window.showMessage(answer.message.empty() ? NoChallengeMessage
                                                  : std::string_view(answer.message));
        end();
        return;
    }
    const auto action = md5LoginAction(window.userName(), window.challengeKey(sChallenge), sEvents);
    if (!action) {
        window.showMessage(UnsafeLoginMessage);
        return;
    }
    track(ActionKind::Login);
    window.send(*action);
}

void ManagerClient::realignToStatus()
{
    // Only a status answer says this. Answers come in order, so the actions it was paired with,
    // and any others before the oldest status action, were never answered and never will be; left
    // paired, every later answer would go to the action before its own.
    while (!pending.empty() && pending.front().kind != ActionKind::Status)
        pending.pop_front();
    if (pending.empty())
        return;
    openAnswer->ticket = pending.front().ticket;
    openAnswer->kind = ActionKind::Status;
    pending.pop_front();
}

void ManagerClient::readGreeting(std::string_view line)
{
    // "Asterisk Call Manager/13.0.0": the major number picks how status records are read.
    nVersion = 0;
    std::string_view rest = line.substr(GreetingMarker.size());
    if (rest.empty() || rest.front() != '/')
        return;
    rest.remove_prefix(1);
    const std::string_view major = rest.substr(0, rest.find('.'));
    if (major.empty() || major.size() > 6)
        return;
    int version = 0;
    for (const char c : major) {
        if (c < '0' || c > '9')
            return;
        version = version * 10 + (c - '0');
    }
    nVersion = version;
}

void ManagerClient::sendLogin()
{
    if (auth == Auth::Md5) {
        // The secret stays in the window; the key made from it goes out once the challenge is
        // here. A user name that could not be sent is refused before anything goes out.
        if (!isSafeHeaderValue(window.userName())) {
            window.showMessage(UnsafeLoginMessage);
            return;
        }
        sChallenge.clear();
        track(ActionKind::Challenge);
        window.send(ChallengeAction);
        return;
    }
    const auto action = loginAction(window.userName(), window.password(), sEvents);
    if (!action) {
        window.showMessage(UnsafeLoginMessage);
        return;
    }
    track(ActionKind::Login);
    window.send(*action);
}

std::uint64_t ManagerClient::sendStatus()
{
    const std::uint64_t ticket = track(ActionKind::Status);
    nLastStatus = ticket;
    window.send(listsWithCoreShowChannels() ? CoreShowChannelsAction : StatusAction);
    return ticket;
}

bool ManagerClient::listsWithCoreShowChannels() const
{
    return bCoreShowChannels && live != nullptr && currentPbx();
}

std::optional<std::uint64_t> ManagerClient::sendHangup(std::string_view channel)
{
    const auto action = hangupAction(channel);
    if (!action)
        return std::nullopt;
    const std::uint64_t ticket = track(ActionKind::Hangup);
    window.send(*action);
    return ticket;
}

std::uint64_t ManagerClient::sendPing()
{
    const std::uint64_t ticket = track(ActionKind::Ping);
    window.send(PingAction);
    return ticket;
}

void ManagerClient::askForSystemEvents()
{
    if (live != nullptr)
        sEvents = EventsCallSystem;
}

void ManagerClient::followCalls(LiveCalls* calls)
{
    live = calls;
    sEvents = calls != nullptr ? EventsCall : EventsOff;
}

void ManagerClient::pollListing()
{
    if (!sResyncId.empty()) {
        if (++nSkippedPolls < MaxSkippedPolls)
            return;
        // A PBX that does not repeat the ActionID: pick the stream up at the next empty line,
        // pairing answers in order as before.
        sResyncId.clear();
        pending.clear();
        bSkipToBlockEnd = true;
        nSkippedPolls = 0;
        sendStatus();
        return;
    }
    // One listing at a time: a PBX slower than the period is not asked again and again.
    const bool awaited = (live != nullptr && live->listingOpen()) ||
                         std::any_of(pending.begin(), pending.end(),
                                     [](const Pending& p) { return p.kind == ActionKind::Status; });
    if (awaited && ++nSkippedPolls < MaxSkippedPolls)
        return;
    nSkippedPolls = 0;
    sendStatus();
}

std::uint64_t ManagerClient::track(ActionKind kind)
{
    if (pending.size() >= MaxPending)
        pending.pop_front();
    pending.push_back({nextTicket, kind});
    return nextTicket++;
}

void ManagerClient::openRecord(bool coreShowChannel)
{
    record.open(coreShowChannel, currentPbx());
    bBlockEnded = false;
}

bool ManagerClient::insideRecordBlock() const
{
    // Where an Event line can only be part of a value that holds a line break. A current PBX's
    // record is its whole block, up to the empty line. An older PBX's record runs on to its
    // Uniqueid; once its block has ended without one, the next Event is the PBX's own again.
    if (!record.isOpen())
        return false;
    return currentPbx() || !bBlockEnded;
}

void ManagerClient::closeRecord()
{
    record.close();
    if (live != nullptr) {
        live->listedCall(record.channel(), record.fields(), record.seconds(), record.uniqueid());
        return;
    }
    if (listingReplaced())
        return;
    sEntry.clear();
    const EntryParts parts = appendEntryStart(sEntry, record.channel(), record.number(),
                                              record.name(), record.extension());
    if (record.seconds().empty() || !duration.appendMinutes(record.seconds(), sEntry))
        sEntry += UnknownMinutes;
    sEntry += EntryEnd;
    window.addCall(sEntry, parts);
}

bool ManagerClient::listingReplaced() const
{
    // A PBX answers actions in order and sends a listing's records right after its answer, so
    // the records now arriving belong to the last Status answered. Once a later Status has gone
    // out (Refresh List cleared the list for it), they describe a list nobody is shown any more.
    return nListing != 0 && nLastStatus > nListing;
}

void ManagerClient::end()
{
    bEnded = true;
    window.endProgram();
}

} // namespace corvale
