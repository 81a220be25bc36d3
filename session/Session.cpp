#include "Session.h"

#include "ConnectionTexts.h"
#include "DisplayText.h"
#include "LiveCalls.h"
#include "SessionOps.h"

namespace corvale {

namespace {

using Cause = ConnectionProblem::Cause;

} // namespace

Session::Session(QObject* parent)
    : QObject(parent)
    , tcpConn(this)
    , waits(tcpConn)
    , pacer(tcpConn)
    , keepalive(tcpConn)
    , hangups(*this)
    , hangupWait(hangups)
{
    newClient();

    connect(&tcpConn, &SocketAdapter::connected, &waits, &StartWaits::connected);
    connect(&tcpConn, &SocketAdapter::dataArrival, this, &Session::dataArrival);
    connect(&tcpConn, &SocketAdapter::errorOccurred, this,
            [this](int number, const QString& description) {
                lose(ConnectionProblem::ofSocketError(number, description));
            });
    connect(&tcpConn, &SocketAdapter::tlsFailed, this, &Session::tlsFailed);
    // The PBX ending the connection leaves a dead list behind: treat it as an error.
    connect(&tcpConn, &SocketAdapter::closedByPeer, this,
            [this] { lose(ConnectionProblem::of(Cause::ClosedByPeer)); });

    connect(&waits, &StartWaits::overdue, this, [this](const ConnectionProblem& problem) {
        if (ended())
            return;
        tcpConn.close();
        lose(problem);
    });
    connect(&keepalive, &Keepalive::pingDue, this, [this] {
        if (current == State::Listed)
            manager->sendPing();
    });
    connect(&keepalive, &Keepalive::dead, this, [this] {
        tcpConn.close();
        lose(ConnectionProblem::of(Cause::NoPingAnswer, keepalive.pingWait()));
    });
    connect(&reconnector, &Reconnector::attemptDue, this, &Session::connectNow);
    connect(&reconnector, &Reconnector::progress, this, &Session::reconnectProgress);
    connect(&hangups, &HangupQueue::tell, this, &Session::tell);
    connect(&hangups, &HangupQueue::finished, this, &Session::hangupOver);
    connect(&listing, &SessionListing::cleared, this, &Session::entriesCleared);
    connect(&listing, &SessionListing::entryListed, this, &Session::entryListed);
    connect(&listing, &SessionListing::refused, this, &Session::tell);
    connect(&lossHold, &LossHold::due, this, [this](const ConnectionLoss& loss) { lose(loss); });
    queueFeed.loggedInClient = [this] { return loggedIn() ? manager.get() : nullptr; };
    connect(&queueFeed, &QueueFeed::changed, this, &Session::queuesChanged);
    connect(&queueFeed, &QueueFeed::currentChanged, this, &Session::queuesCurrentChanged);
    connect(&queueFeed, &QueueFeed::pauseFinished, this, &Session::queuePauseFinished);

    poller.setInterval(timing.listingInterval);
    connect(&poller, &QTimer::timeout, this, [this] {
        poller.setInterval(timing.listingInterval); // after a shutdown's shorter wait
        if (current == State::Listed) {
            manager->pollListing();
            queueFeed.periodic(*manager);
        }
    });
    connect(&pacer, &ReadPacer::readDue, this, [this] { readNow(); });
}

Session::~Session()
{
    // The socket would report its own close to a half-destroyed session.
    current = State::Ended;
    disconnect(&tcpConn, nullptr, this, nullptr);
    tcpConn.close();
}

void Session::setSettings(const SessionSettings& settings)
{
    config = settings;
    listing.setCoreShowChannels(config.coreShowChannels);
    if (config.tls && !tcpConn.tls())
        tcpConn.useTls(config.trusted);
    if (config.live && !live)
        live = std::make_unique<LiveCalls>();
    queueFeed.setUp(config.queues && config.live, config.queuePollInterval);
    configureClient();
    updateReadLimit();
}

void Session::setTimes(const SessionTimes& times)
{
    timing = times;
    poller.setInterval(timing.listingInterval);
    pacer.setInterval(timing.readInterval);
    pacer.setTurnBudget(timing.readTurn);
    keepalive.setTimes(timing.silenceBeforePing, timing.pingWait);
    waits.setTimes(timing.greetingWait, timing.loginWait);
    hangups.setAnswerWait(timing.answerWait);
    queueFeed.setAnswerWait(timing.answerWait);
    reconnector.setDelay(timing.retryDelay);
    reconnector.setStableAfter(timing.stableAfter);
}

void Session::newClient()
{
    // A client may be on the stack (the link went while it read a line): it is freed once
    // nothing reads.
    if (manager) {
        retired.emplace_back(std::move(ops), std::move(manager));
        queueFeed.connectionLost(false);
    }
    if (nReading == 0)
        retired.clear();
    ++nGeneration;
    ops = std::make_unique<Ops>(*this, nGeneration);
    manager = std::make_unique<ManagerClient>(*ops);
    configureClient();
}

void Session::configureClient()
{
    manager->setAuth(config.auth);
    manager->followCalls(live.get());
    queueFeed.attach(*manager);
    manager->useCoreShowChannels(listing.mayUseCoreShowChannels());
    // A PBX that shuts down says so first: live mode reads events anyway.
    if (live && config.reconnect)
        manager->askForSystemEvents();
}

void Session::setState(State next)
{
    if (current == next)
        return;
    current = next;
    emit stateChanged(next);
}

void Session::open()
{
    if (current != State::Idle)
        return;
    tcpConn.setRemoteHost(config.host);
    tcpConn.setRemotePort(config.port);
    updateReadLimit();
    setState(State::Connecting);
    connectNow();
}

void Session::connectNow()
{
    if (ended())
        return;
    shutdown.newConnection();
    tcpConn.connectToRemote();
}

void Session::endNow()
{
    stopTimers();
    reconnector.stop();
    setState(State::Ended);
    hangups.abandon();
    queueFeed.connectionLost(true);
    tcpConn.close();
}

void Session::stopTimers()
{
    poller.stop();
    pacer.stop();
    waits.stop();
    keepalive.stop();
}

void Session::setHoldReading(bool held)
{
    lossHold.setHeld(held);
    updateReadLimit();
}

void Session::updateReadLimit()
{
    // Qt would buffer all that arrives while nobody reads; past the limit TCP holds the PBX back
    // instead, and nothing is lost.
    tcpConn.setReadLimit(live || lossHold.held() ? ReadLimit : 0);
}

void Session::dataArrival(qint64 waiting)
{
    if (ended())
        return;
    if (current == State::Listed && keepaliveOn() && !bDown)
        keepalive.heard();
    if (!live) {
        readNow();
        return;
    }
    pacer.arrived(waiting >= ReadLimit);
}

void Session::readNow(bool whole)
{
    // A box opened from here (a refused listing) keeps Qt from announcing the bytes it reads
    // meanwhile, and it will not announce them later: they are read on here once it has closed.
    // Live mode reads on a timer of its own, which goes on while a box is open, and the calls of
    // one read are taken in together.
    const std::uint64_t connection = nGeneration;
    ++nReading;
    const bool read = pacer.read(
        live && !whole, [&] { return !ended() && connection == nGeneration; },
        [&](const std::string& bytes) {
            manager->dataArrival(bytes);
            if (!live)
                emit callsChanged();
        });
    if (live && read)
        emit callsChanged();
    // The manager (and so its queues) is the same only while the connection is.
    if (read && connection == nGeneration)
        queueFeed.afterRead(*manager);
    if (--nReading == 0)
        retired.clear();
}

void Session::tlsFailed(SocketAdapter::TlsProblem problem)
{
    ConnectionLoss loss =
        ConnectionLoss::of(ConnectionProblem::ofTls(problem), tcpConn.host(), tcpConn.port());
    loss.report.ownAuthorities = config.ownAuthorities;
    // A certificate that fails is the PBX's answer, not an accident of the network: it is not
    // tried again.
    loss.retryable = problem == SocketAdapter::TlsProblem::Handshake;
    lose(std::move(loss));
}

void Session::lose(const ConnectionProblem& problem)
{
    lose(ConnectionLoss::of(problem, config.host, config.port));
}

void Session::lose(ConnectionLoss loss)
{
    if (ended())
        return;
    const bool retry = loss.retryable && config.reconnect && bEverLoggedIn;
    if (lossHold.held() && !retry) {
        // Told once the box on screen is dismissed, unless the session ends first (a rejected
        // login's box is followed by the end at once).
        lossHold.keep(std::move(loss));
        if (live)
            goDown();
        return;
    }
    lossHold.clear();
    // A PBX that rejects a login closes at once; its answer may still wait unread, and so may
    // the announcement of a shutdown.
    if (tcpConn.bytesAvailable() > 0)
        readNow(true);
    if (ended())
        return;
    if (loss.problem.cause == Cause::ClosedByPeer && shutdown.explainsClose())
        loss.report.problem.cause = loss.problem.cause = Cause::ShutDown;
    emit problemOccurred(loss.problem);
    emit connectionProblem(ConnectionTexts::cause(loss.problem));
    if (!retry) {
        finish(loss.report);
        return;
    }
    // The link is gone; whatever waited for this connection's answers stops waiting. A box on
    // screen does not hold this back: the list greys and the attempts go on meanwhile.
    stopTimers();
    tcpConn.close();
    newClient();
    reconnector.lost(loss.problem.cause == Cause::ShutDown);
    setState(State::Reconnecting);
    hangups.connectionLost();
}

void Session::goDown()
{
    // The list no longer follows the PBX; nothing more goes out, and no hangup will be answered.
    if (bDown)
        return;
    bDown = true;
    waits.stop();
    poller.stop();
    keepalive.stop();
    hangups.abandon();
    queueFeed.connectionLost(false);
    emit linkLost();
}

void Session::tell(const SessionReport& what)
{
    emit reported(what);
    emit report(ConnectionTexts::message(what));
}

void Session::hangupOver(const SessionReport& outcome)
{
    emit hangupEnded(outcome);
    emit hangupFinished(outcome.channel, outcome.hangupSucceeded(),
                        ConnectionTexts::hangupReason(outcome));
}

void Session::finish(const SessionReport& report)
{
    if (ended())
        return;
    sEndReason = ConnectionTexts::message(report);
    lastEnd = report;
    endNow();
    tell(report);
    emit finished(sEndReason);
}

bool Session::keepaliveOn() const
{
    return config.keepalive || config.live || config.reconnect;
}

void Session::shutdownAnnounced()
{
    // Only the close that follows ends the connection: until then the list is checked sooner.
    if (shutdown.announced(timing.listingInterval) && current == State::Listed &&
        poller.isActive() && poller.remainingTime() > ShutdownWatch::ListingWait.count())
        poller.start(ShutdownWatch::ListingWait);
}

bool Session::commandsHeldBack()
{
    if (ended())
        return true;
    if (current == State::Reconnecting) {
        tell(SessionReport::of(SessionReport::Kind::NotConnected));
        return true;
    }
    // Until the login is accepted nothing may go out, and the listing that follows the login is
    // coming anyway.
    return current != State::Listed;
}

void Session::refresh()
{
    if (commandsHeldBack())
        return;
    requestListing();
}

void Session::requestListing()
{
    // In live mode the list stays: the listing that comes is reconciled with it, so the
    // selection and the scroll position survive a refresh.
    if (!live)
        listing.clear();
    listing.asked();
    if (current != State::Listed)
        return;
    manager->sendStatus();
}

HangupQueue::Link::State Session::linkState() const
{
    using LinkState = HangupQueue::Link::State;
    if (ended() || bDown)
        return LinkState::Ended;
    if (current == State::Reconnecting)
        return LinkState::Reconnecting;
    return current == State::Listed ? LinkState::Up : LinkState::NotLoggedIn;
}

void Session::listingComplete()
{
    listing.complete();
    hangups.listingArrived();
}

void Session::showMessage(std::string_view text)
{
    // Only a greeting, or what follows it, makes the client speak before it sends anything.
    greeted();
    const SessionReport report = SessionReport::ofClientMessage(text);
    lastClientReport = report;
    tell(report);
}

void Session::endProgram()
{
    // The client has told the operator why (a refused login) and reads nothing more.
    if (ended())
        return;
    lastEnd = lastClientReport;
    sEndReason = lastEnd ? ConnectionTexts::message(*lastEnd) : QString();
    endNow();
    emit finished(sEndReason);
}

void Session::send(std::string_view bytes)
{
    // The first thing the client sends answers the greeting.
    greeted();
    tcpConn.sendData(bytes);
    if (current != State::Listed)
        waits.loginSent(); // the login, or the challenge before it
}

void Session::greeted()
{
    if (waits.wasGreeted())
        return;
    waits.greeted();
    if (current == State::Connecting)
        setState(State::LoggingIn);
}

void Session::actionAnswered(const Answer& answer)
{
    switch (answer.kind) {
    case ActionKind::Login:
        if (answer.succeeded())
            loginAccepted();
        else
            loginNotTaken(answer);
        return;
    case ActionKind::Status:
        listingAnswered(answer);
        return;
    case ActionKind::Hangup:
        hangups.answered(answer.ticket, answer.response, answer.message);
        return;
    case ActionKind::QueuePause:
        queueFeed.pauseAnswered(answer);
        return;
    default:
        return;
    }
}

void Session::loginAccepted()
{
    const bool again = bEverLoggedIn;
    bEverLoggedIn = true;
    reconnector.loggedIn();
    // The client has asked for the listing already; after a reconnection, in snapshot mode,
    // it replaces the list that stayed on screen. Its records follow this answer.
    if (again && !live)
        listing.clear();
    setState(State::Listed);
    waits.loggedIn();
    if (keepaliveOn())
        keepalive.heard();
    if (live)
        poller.start(timing.listingInterval);
    queueFeed.loggedIn(*manager);
}

void Session::loginNotTaken(const Answer& answer)
{
    // Refused logins the client has ended on. Any other error ("Asterisk is shutting down")
    // leaves the login unanswered for good: a connection error, tried again where that applies.
    // Not from inside the client's reading of the answer.
    const std::uint64_t connection = nGeneration;
    QString words = displayText(answer.message.empty() ? answer.response : answer.message);
    QTimer::singleShot(0, this, [this, connection, words = std::move(words)] {
        if (connection != nGeneration || ended() || manager->ended())
            return;
        ConnectionProblem problem = ConnectionProblem::of(Cause::LoginError);
        problem.description = words;
        tcpConn.close();
        lose(problem);
    });
}

std::string_view Session::listingAction() const
{
    return listing.coreShowChannels(*manager, live != nullptr) ? "CoreShowChannels" : "Status";
}

void Session::listingAnswered(const Answer& answer)
{
    waits.listingAnswered();
    if (listing.answered(answer, *manager, live != nullptr))
        waits.loggedIn(); // still the first listing
}

} // namespace corvale
