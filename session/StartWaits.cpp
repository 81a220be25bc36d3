#include "StartWaits.h"

#include "SocketAdapter.h"

namespace corvale {

using Cause = ConnectionProblem::Cause;

StartWaits::StartWaits(const SocketAdapter& socket, QObject* parent)
    : QObject(parent)
    , link(socket)
{
    greetingTimer.setSingleShot(true);
    connect(&greetingTimer, &QTimer::timeout, this, [this] {
        // Either way the operator gets the connection error, as for a host that is not there;
        // the log line says which wait ran out.
        const bool handshake = link.tls() && !link.encrypted();
        emit overdue(ConnectionProblem::of(handshake ? Cause::NoHandshake : Cause::NoGreeting,
                                           greetingWait));
    });
    answerTimer.setSingleShot(true);
    connect(&answerTimer, &QTimer::timeout, this, &StartWaits::answerOverdue);
}

void StartWaits::setTimes(std::chrono::milliseconds greeting, std::chrono::milliseconds answer)
{
    greetingWait = greeting;
    answerWait = answer;
}

void StartWaits::connected()
{
    bGreeted = false;
    greetingTimer.start(greetingWait);
}

void StartWaits::greeted()
{
    bGreeted = true;
    greetingTimer.stop();
}

void StartWaits::loginSent()
{
    await(Awaiting::Login);
}

void StartWaits::loggedIn()
{
    await(Awaiting::Listing);
}

void StartWaits::listingAnswered()
{
    if (awaiting != Awaiting::Listing)
        return;
    awaiting = Awaiting::Nothing;
    answerTimer.stop();
}

void StartWaits::stop()
{
    greetingTimer.stop();
    answerTimer.stop();
    awaiting = Awaiting::Nothing;
}

void StartWaits::await(Awaiting what)
{
    awaiting = what;
    answerTimer.start(answerWait);
}

void StartWaits::answerOverdue()
{
    if (awaiting == Awaiting::Nothing)
        return;
    if (link.bytesHeld() > 0) {
        // What came waits unread (a box holds the reading back): the answer may be among it.
        answerTimer.start(answerWait);
        return;
    }
    const Cause cause = awaiting == Awaiting::Login ? Cause::NoLoginAnswer : Cause::NoListingAnswer;
    awaiting = Awaiting::Nothing;
    emit overdue(ConnectionProblem::of(cause, answerWait));
}

} // namespace corvale
