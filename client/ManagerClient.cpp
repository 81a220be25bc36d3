// What the client reads, line by line (CR LF; one byte one character):
// - The greeting, once, before anything else; its version picks the dialect below.
// - Answers: one per action, in the order the actions were sent, each a block from "Response:" to
//   an empty line, so they are paired with the actions in order; the ActionID the PBX repeats
//   right after the Response line ties a listing's answer to its listing.
// - A listing: its answer, one record block per channel, its end ("...Complete"). A current PBX's
//   record ends at its empty line; an older one's at its Uniqueid, and what follows up to the
//   empty line is still its block. The first line of each key counts.
// - An event: every line up to its empty line, whatever the lines look like.
// - A listing whose answer repeated its ActionID goes through the ListingGuard: every block of
//   it must carry the ActionID where the PBX writes it, or it was cut by an empty line inside a
//   field the PBX sends raw, and what follows up to the real record's end is not a record.
// Markers are matched by key at the start of a block, never found anywhere in a line, so that
// what a caller puts in a name cannot steer the client.
#include "ManagerClient.h"

#include "LiveCalls.h"

namespace corvale {

namespace {

// Periodic listings skipped while one is still awaited, before asking anyway: a listing whose
// end was lost must not stop the list from ever being repaired again.
constexpr unsigned MaxSkippedPolls = 4;

// The blocks only a listing holds.
bool isListingEvent(std::string_view name)
{
    return name == "Status" || name == "StatusComplete" || name == "CoreShowChannel" ||
           name == "CoreShowChannelsComplete";
}

} // namespace

ManagerClient::ManagerClient(WindowOps& windowOps, const std::locale& numbers)
    : window(windowOps)
    , channels(windowOps, numbers)
{}

void ManagerClient::dataArrival(std::string_view bytes)
{
    if (bEnded)
        return;
    if (bDispatching) {
        // A modal message opened while interpreting a line runs the event loop, which can
        // deliver more data here: it waits for the outer run to finish.
        deferred.add(bytes);
        return;
    }
    bDispatching = true;
    struct Reset
    {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{bDispatching};

    feed(bytes);
    while (!bEnded && !deferred.empty())
        feed(deferred.take());
    if (bEnded)
        deferred.clear();
    else if (deferred.lost())
        resynchronise();
}

void ManagerClient::resynchronise()
{
    // The next bytes start somewhere inside a line of some block: forget the half-read record,
    // event or answer.
    deferred.resume();
    framer.reset();
    channels.record().close();
    bRecordTail = false;
    eventBlock.abandon();
    queueSide.connectionLost();
    answers.dropAnswer();
    if (live == nullptr) {
        // The list mode sends nothing of its own: the stream is picked up where a guarded
        // listing's ActionID vouches for a block's end, elsewhere after the next empty line.
        if (guard.active())
            guard.lost();
        else
            bSkipToBlockEnd = true;
        return;
    }
    // The answers of actions sent before the loss may have been among the dropped bytes, and
    // answers carry nothing to tell them apart: paired in order, each would go to the wrong
    // action. So those actions are forgotten, and a listing is asked for; everything before the
    // answer that repeats its ActionID (which no name can hold) is skipped, and from it on the
    // stream is read whole again.
    channels.setTrusted(false);
    bSkipToBlockEnd = false;
    guard.stop();
    answers.forgetActions();
    bResyncResponse = false;
    nSkippedPolls = 0;
    sendStatus();
    sResyncId = answers.newestListingId();
}

void ManagerClient::awaitResyncAnswer(std::string_view line)
{
    // The PBX writes an answer's ActionID right after its Response line.
    std::string_view key;
    std::string_view value;
    const Key which = lexField(line, key, value);
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
    const Key which = lexField(sData, key, value);
    if (guard.active() && guard.line(sData, which, key, value, *listingReader))
        return;
    if (live != nullptr && eventBlock.isOpen()) {
        // Live mode: an event holds every line up to its empty line.
        if (sData.empty()) {
            eventBlock.close(*live, currentPbx());
            queueSide.eventEnds(currentPbx());
        } else if (which != Key::None) {
            eventBlock.field(key, value);
            queueSide.eventField(key, value);
        }
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
        nVersion = greetingVersion(sData);
        nMinor = greetingMinorVersion(sData);
        channels.setCurrentPbx(currentPbx());
        sendLogin();
        return;
    }
    if (sData.empty() || which == Key::Response || which == Key::Message ||
        which == Key::Challenge || which == Key::ActionID) {
        trackAnswer(which, value, sData.empty());
        if (bEnded)
            return;
    }

    // The chain: the first test that holds decides. A PBX that repeats ActionIDs sends every
    // genuine record inside a guarded listing; one outside it was forged by a raw name in an
    // event, and is read as an event that changes nothing.
    if (bRepeatsIds && which == Key::Event && isListingEvent(value)) {
        if (live != nullptr)
            openEvent(value);
    } else if (which == Key::Event && value == "StatusComplete") {
        channels.complete();
    } else if (which == Key::Event && value == "Status") {
        channels.openRecord(false);
        bBlockEnded = false;
    } else if (live != nullptr && which == Key::Event && currentPbx() &&
               value == "CoreShowChannel") {
        channels.openRecord(true);
        bBlockEnded = false;
    } else if (live != nullptr && which == Key::Event && value == "CoreShowChannelsComplete") {
        channels.complete();
    } else if (channels.record().isOpen()) {
        // An older PBX's record that passed its empty line without a Uniqueid: it takes its
        // plain fields on as before, but no longer hides what the PBX itself sends.
        if (which != Key::None && which != Key::Response && which != Key::Message &&
            which != Key::Challenge && channels.record().field(which, value))
            channels.closeRecord();
    } else if (live != nullptr && which == Key::Event) {
        if (value == "Shutdown")
            window.shutdownAnnounced();
        openEvent(value);
    }
}

void ManagerClient::openEvent(std::string_view name)
{
    eventBlock.open(name);
    queueSide.eventBegins(name);
}

void ManagerClient::recordLine(Key which, bool empty, std::string_view value)
{
    if (empty) {
        if (currentPbx())
            channels.closeRecord(); // a current PBX ends a record with its event block
        else if (live != nullptr)
            channels.record().close(); // an older PBX's record that never reached its Uniqueid
        else
            bBlockEnded = true;
        return;
    }
    if (which == Key::None || !channels.record().field(which, value))
        return;
    channels.closeRecord();
    bRecordTail = true; // closed at its Uniqueid, inside its block
}

void ManagerClient::newConnection()
{
    framer.reset();
    bGreeted = false;
    nVersion = 0;
    nMinor = 0;
    bEnded = false;
    deferred.clear();
    deferred.resume();
    bSkipToBlockEnd = false;
    sResyncId.clear();
    bResyncResponse = false;
    guard.stop();
    bRepeatsIds = false;
    channels.reset();
    channels.setCurrentPbx(false);
    bBlockEnded = false;
    bRecordTail = false;
    sChallenge.clear();
    answers.forgetActions();
    answers.dropAnswer();
    eventBlock.abandon();
    queueSide.connectionLost();
    nSkippedPolls = 0;
    if (live != nullptr)
        live->listingAbandoned();
}

void ManagerClient::trackAnswer(Key which, std::string_view value, bool emptyLine)
{
    // Answers come one per action, in the order the actions were sent; each is a block that
    // begins with "Response:" and ends at an empty line.
    Answer* open = answers.answer();
    if (which == Key::None) {
        finishAnswer(emptyLine);
    } else if (which == Key::Response) {
        finishAnswer(false);
        if (!bEnded)
            answers.open(value);
    } else if (which == Key::ActionID) {
        answers.echo(value);
    } else if (which == Key::Message && open != nullptr) {
        open->message = value;
        const bool follows = value == StatusFollowsMessage || value == ChannelsFollowMessage;
        if (follows && open->kind != ActionKind::Status)
            answers.realignToStatus();
        if (open->kind == ActionKind::Login)
            loginAnswered(value);
        else if (live != nullptr && open->kind == ActionKind::Status && follows)
            listingBegins();
    } else if (which == Key::Challenge && open != nullptr && open->kind == ActionKind::Challenge &&
               sChallenge.empty()) {
        sChallenge = value;
    }
}

void ManagerClient::loginAnswered(std::string_view message)
{
    // Only the answer to the login says whether it was accepted.
    if (message.find(AcceptedMarker) != std::string_view::npos) {
        sendStatus();
    } else if (message.find(FailedMarker) != std::string_view::npos) {
        window.showMessage(RejectedLoginMessage);
        end();
    }
}

void ManagerClient::listingBegins()
{
    // Every record of this listing is still to come.
    channels.setTrusted(true);
    live->listingStarted();
}

void ManagerClient::finishAnswer(bool atEmptyLine)
{
    std::optional<AnswerPairing::Done> finished = answers.finish();
    if (!finished)
        return;
    const Answer& done = finished->answer;
    const bool guarded = finished->echoed && atEmptyLine;
    if (done.kind == ActionKind::Status) {
        channels.answered(done.ticket);
        // A listing whose answer repeats its ActionID has every block guarded. The answer is the
        // PBX's own text, so it tells reliably whether the PBX repeats it; one that does not
        // (older simulators, scripted PBXs) is read as before.
        if (finished->echoed)
            bRepeatsIds = true;
        if (guarded &&
            (done.message == StatusFollowsMessage || done.message == ChannelsFollowMessage)) {
            listingReader = &channels;
            guard.begin(finished->listingId,
                        finished->core ? ListingGuard::CoreShowChannels : ListingGuard::Status);
        }
    }
    ListingGuard::Kind queueKind = ListingGuard::QueueStatus;
    if ((done.kind == ActionKind::QueueStatus || done.kind == ActionKind::QueueSummary) &&
        queueSide.listingAnswered(done, guarded, queueKind)) {
        listingReader = &queueSide;
        guard.begin(finished->listingId, queueKind);
    }
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
    answers.track(ActionKind::Login);
    window.send(*action);
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
        answers.track(ActionKind::Challenge);
        window.send(ChallengeAction);
        return;
    }
    const auto action = loginAction(window.userName(), window.password(), sEvents);
    if (!action) {
        window.showMessage(UnsafeLoginMessage);
        return;
    }
    answers.track(ActionKind::Login);
    window.send(*action);
}

std::uint64_t ManagerClient::sendStatus()
{
    const bool core = listsWithCoreShowChannels();
    std::string id = listingIds();
    const std::string action = actionWithId(core ? "CoreShowChannels" : "Status", id);
    const std::uint64_t ticket = answers.track(ActionKind::Status, std::move(id), core);
    channels.sent(ticket);
    window.send(action);
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
    return sendTracked(ActionKind::Hangup, *action);
}

std::uint64_t ManagerClient::sendPing()
{
    return sendTracked(ActionKind::Ping, PingAction);
}

void ManagerClient::askForSystemEvents()
{
    bSystemEvents = true;
    updateEvents();
}

void ManagerClient::followCalls(LiveCalls* calls)
{
    live = calls;
    channels.followCalls(calls);
    bSystemEvents = false;
    updateEvents();
}

void ManagerClient::followQueues(Queues* queues)
{
    queueSide.follow(queues);
    updateEvents();
}

void ManagerClient::updateEvents()
{
    sEvents = loginEvents(live != nullptr, queueSide.following(), bSystemEvents);
}

void ManagerClient::pollListing()
{
    if (!sResyncId.empty()) {
        if (++nSkippedPolls < MaxSkippedPolls)
            return;
        // A PBX that does not repeat the ActionID: pick the stream up at the next empty line,
        // pairing answers in order as before.
        sResyncId.clear();
        answers.forgetActions();
        bSkipToBlockEnd = true;
        nSkippedPolls = 0;
        sendStatus();
        return;
    }
    // One listing at a time: a PBX slower than the period is not asked again and again.
    const bool awaited = (live != nullptr && live->listingOpen()) || awaits(ActionKind::Status);
    if (awaited && ++nSkippedPolls < MaxSkippedPolls)
        return;
    nSkippedPolls = 0;
    sendStatus();
}

std::uint64_t ManagerClient::sendTracked(ActionKind kind, std::string_view action,
                                         std::string listingId)
{
    const std::uint64_t ticket = answers.track(kind, std::move(listingId));
    window.send(action);
    return ticket;
}

bool ManagerClient::insideRecordBlock() const
{
    // Where an Event line can only be part of a value that holds a line break. A current PBX's
    // record is its whole block, up to the empty line. An older PBX's record runs on to its
    // Uniqueid; once its block has ended without one, the next Event is the PBX's own again.
    if (!channels.record().isOpen())
        return false;
    return currentPbx() || !bBlockEnded;
}

void ManagerClient::end()
{
    bEnded = true;
    window.endProgram();
}

} // namespace corvale
