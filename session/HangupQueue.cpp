#include "HangupQueue.h"

#include "DisplayText.h"
#include "LiveCalls.h"
#include "Wire.h"

#include <utility>

namespace corvale {

using Kind = SessionReport::Kind;

HangupQueue::HangupQueue(Link& connection, QObject* parent)
    : QObject(parent)
    , link(connection)
{
    // Every step runs from the event loop: a report may open a modal box, which must not open
    // inside the client's reading of a line, nor inside request().
    stepper.setSingleShot(true);
    stepper.setInterval(0);
    connect(&stepper, &QTimer::timeout, this, &HangupQueue::step);
    waitTimer.setSingleShot(true);
    connect(&waitTimer, &QTimer::timeout, this, &HangupQueue::timedOut);
}

void HangupQueue::request(const std::string& channel)
{
    // A second press on a call already waiting (a double click) sends nothing more.
    for (Item& item : items) {
        if (item.channel == channel) {
            ++item.requests;
            return;
        }
    }
    Item item;
    item.channel = channel;
    item.uniqueid = uniqueidOf(channel);
    // The call pressed on may end while earlier hangups wait, and its channel name may pass to a
    // new call: that one the operator did not choose.
    item.check = !items.empty() || bConcluding;
    items.push_back(std::move(item));
    scheduleStep();
}

void HangupQueue::scheduleStep()
{
    if (!stepper.isActive())
        stepper.start();
}

std::string HangupQueue::uniqueidOf(const std::string& channel) const
{
    if (const LiveCalls* calls = link.calls()) {
        if (const auto row = calls->rowOf(channel))
            return calls->at(*row).uniqueid;
    }
    return {};
}

HangupQueue::Presence HangupQueue::presence(const Item& item) const
{
    if (const LiveCalls* calls = link.calls()) {
        const auto row = calls->rowOf(item.channel);
        const bool same =
            row && (item.uniqueid.empty() || calls->at(*row).uniqueid == item.uniqueid);
        return same ? Presence::Here : Presence::Gone;
    }
    const std::optional<bool> listed = link.listed(item.channel);
    if (!listed)
        return Presence::NotListedYet;
    return *listed ? Presence::Here : Presence::Gone;
}

std::optional<SessionReport::Kind> HangupQueue::refusal(const Item& item) const
{
    switch (link.linkState()) {
    case Link::State::Ended:
        return Kind::HangupSessionEnded;
    case Link::State::NotLoggedIn:
        // Nothing may go out before the login is accepted.
        return Kind::HangupNotLoggedIn;
    case Link::State::Reconnecting:
        return Kind::HangupNotConnected;
    case Link::State::Up:
        break;
    }
    if (item.check) {
        if (presence(item) == Presence::Gone)
            return Kind::HangupCallEnded;
    }
    if (item.channel.empty())
        return Kind::HangupNoChannel;
    if (!isSafeHeaderValue(item.channel))
        return Kind::HangupUnsafeChannel;
    if (item.channel.front() == '/')
        return Kind::HangupPatternChannel; // the PBX would hang up every call that matches
    return std::nullopt;
}

void HangupQueue::step()
{
    while (!items.empty() && !bConcluding) {
        Item& head = items.front();
        if (head.stage == Stage::AwaitListing || head.stage == Stage::AwaitAnswer)
            return;
        if (head.stage == Stage::Waiting) {
            if (head.check && link.linkState() == Link::State::Up &&
                presence(head) == Presence::NotListedYet) {
                // Without live calls the list fetched after the last hangup decides, once here.
                head.stage = Stage::AwaitListing;
                waitTimer.start(answerWait);
                return;
            }
            if (const auto refused = refusal(head)) {
                head.outcome = *refused;
            } else if (const auto ticket = link.sendHangup(head.channel)) {
                head.ticket = *ticket;
                head.stage = Stage::AwaitAnswer;
                waitTimer.start(answerWait);
                return;
            } else {
                head.outcome = Kind::HangupUnsafeChannel;
            }
        }
        Item done = std::move(items.front());
        items.pop_front();
        conclude(std::move(done));
    }
    if (items.empty() && !bConcluding)
        emit becameIdle();
}

void HangupQueue::answered(std::uint64_t ticket, const std::string& response,
                           const std::string& message)
{
    if (items.empty() || items.front().stage != Stage::AwaitAnswer ||
        items.front().ticket != ticket)
        return; // one given up on, or not ours
    Item& head = items.front();
    waitTimer.stop();
    head.stage = Stage::Answered;
    if (response == "Success") {
        head.outcome = Kind::HangupDone;
    } else {
        head.outcome = Kind::HangupFailed;
        head.reason = displayText(message.empty() ? response : message);
    }
    scheduleStep();
}

void HangupQueue::listingArrived()
{
    if (items.empty() || items.front().stage != Stage::AwaitListing)
        return;
    waitTimer.stop();
    items.front().stage = Stage::Waiting;
    scheduleStep();
}

void HangupQueue::timedOut()
{
    if (items.empty())
        return;
    Item& head = items.front();
    if (head.stage == Stage::AwaitAnswer)
        head.outcome = Kind::HangupUnanswered;
    else if (head.stage == Stage::AwaitListing)
        head.outcome = Kind::HangupListMissing;
    else
        return;
    head.stage = Stage::Answered;
    step();
}

void HangupQueue::connectionLost()
{
    waitTimer.stop();
    if (items.empty())
        return;
    Item& head = items.front();
    if (head.stage == Stage::AwaitAnswer) {
        head.outcome = Kind::HangupLost;
        head.stage = Stage::Answered;
    } else if (head.stage == Stage::AwaitListing) {
        head.stage = Stage::Waiting; // its turn comes again, while reconnecting
    }
    scheduleStep();
}

void HangupQueue::abandon()
{
    stepper.stop();
    waitTimer.stop();
    std::deque<Item> gone = std::exchange(items, {});
    for (Item& item : gone) {
        item.outcome = Kind::HangupSessionEnded;
        conclude(std::move(item));
    }
    if (!bConcluding)
        emit becameIdle();
}

void HangupQueue::conclude(Item item)
{
    SessionReport outcome;
    outcome.kind = item.outcome.value_or(Kind::HangupSessionEnded);
    outcome.channel = std::move(item.channel);
    outcome.reason = std::move(item.reason);
    // What went out is followed by a fresh listing, once the operator has been told.
    const bool sent = item.ticket != 0 &&
                      (outcome.kind == Kind::HangupDone || outcome.kind == Kind::HangupFailed ||
                       outcome.kind == Kind::HangupUnanswered);
    const bool outer = !bConcluding;
    bConcluding = true;
    if (outcome.toldToOperator())
        emit tell(outcome);
    for (int i = 0; i < item.requests; ++i)
        emit finished(outcome);
    if (outer)
        bConcluding = false;
    if (sent && link.linkState() == Link::State::Up)
        link.hangupSent();
}

} // namespace corvale
