#include "Session.h"

#include "DisplayText.h"
#include "LiveCalls.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QRandomGenerator>

#include <algorithm>

namespace corvale {

namespace {

QString fromView(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString seconds(std::chrono::milliseconds wait)
{
    return QString::number(static_cast<double>(wait.count()) / 1000.0);
}

} // namespace

// The manager client's window. Each client has its own: once a connection is given up, what its
// client still does (it may be inside a line when the link goes) reaches nobody.
class Session::Ops : public WindowOps
{
public:
    Ops(Session& owner, std::uint64_t connection)
        : session(owner)
        , generation(connection)
    {}

    std::string userName() const override
    {
        return current() && session.userName ? session.userName() : std::string();
    }
    std::string password() const override
    {
        return current() && session.password ? session.password() : std::string();
    }
    std::string challengeKey(std::string_view challenge) const override
    {
        return current() ? session.challengeKey(challenge) : std::string();
    }
    std::size_t callCount() const override { return session.nEntries; }
    void addCall(std::string_view entry, const EntryParts& parts) override
    {
        if (current())
            session.addCall(entry, parts);
    }
    void showMessage(std::string_view text) override
    {
        if (current())
            session.showMessage(text);
    }
    void endProgram() override
    {
        if (current())
            session.endProgram();
    }
    void send(std::string_view bytes) override
    {
        if (current())
            session.send(bytes);
    }
    void actionAnswered(const Answer& answer) override
    {
        if (current())
            session.actionAnswered(answer);
    }
    void listingComplete() override
    {
        if (current())
            session.listingComplete();
    }
    void shutdownAnnounced() override
    {
        if (current())
            session.shutdownAnnounced();
    }

private:
    bool current() const { return generation == session.nGeneration; }

    Session& session;
    std::uint64_t generation;
};

Session::Session(QObject* parent)
    : QObject(parent)
    , tcpConn(this)
{
    newClient();

    connect(&tcpConn, &SocketAdapter::connected, this, [this] {
        // The greeting, and over TLS the handshake before it, must come in time.
        greetingTimer.start(timing.greetingWait);
    });
    connect(&tcpConn, &SocketAdapter::dataArrival, this, &Session::dataArrival);
    connect(&tcpConn, &SocketAdapter::errorOccurred, this, &Session::socketError);
    connect(&tcpConn, &SocketAdapter::tlsFailed, this, &Session::tlsFailed);
    // The PBX ending the connection leaves a dead list behind: treat it as an error.
    connect(&tcpConn, &SocketAdapter::closedByPeer, this, [this] {
        lose(fromView(ConnectionErrorMessage), QStringLiteral("the PBX closed the connection"));
    });

    greetingTimer.setSingleShot(true);
    connect(&greetingTimer, &QTimer::timeout, this, &Session::greetingOverdue);
    silenceTimer.setSingleShot(true);
    connect(&silenceTimer, &QTimer::timeout, this, &Session::keepaliveDue);
    pingTimer.setSingleShot(true);
    connect(&pingTimer, &QTimer::timeout, this, [this] {
        if (tcpConn.bytesHeld() > 0) {
            // Not read yet, but it came: the link carries.
            armKeepalive();
            return;
        }
        tcpConn.close();
        lose(fromView(ConnectionErrorMessage),
             QStringLiteral("no answer within %1 s").arg(seconds(timing.pingWait)));
    });
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, [this] {
        connectNow();
        emit reconnectProgress();
    });
    progressTimer.setInterval(1000);
    connect(&progressTimer, &QTimer::timeout, this, &Session::reconnectProgress);

    poller.setInterval(timing.listingInterval);
    connect(&poller, &QTimer::timeout, this, [this] {
        if (current == State::Listed)
            manager->pollListing();
    });
    reader.setSingleShot(true);
    connect(&reader, &QTimer::timeout, this, [this] {
        sinceRead.start();
        readNow();
    });
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
    if (config.tls && !tcpConn.tls())
        tcpConn.useTls(config.trusted);
    if (config.live && !live)
        live = std::make_unique<LiveCalls>();
    configureClient();
    updateReadLimit();
}

void Session::setTimes(const SessionTimes& times)
{
    timing = times;
    poller.setInterval(timing.listingInterval);
}

void Session::setListingInterval(std::chrono::milliseconds interval)
{
    timing.listingInterval = interval;
    poller.setInterval(interval);
}

void Session::newClient()
{
    // A client may be on the stack (the link went while it read a line): it is freed once
    // nothing reads.
    if (manager)
        retired.emplace_back(std::move(ops), std::move(manager));
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
    manager->useCoreShowChannels(config.coreShowChannels);
    // A PBX that shuts down says so first: live mode reads events anyway, and reconnects at once.
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
    bGreeted = false;
    tcpConn.connectToRemote();
}

void Session::connectNow()
{
    if (ended())
        return;
    bGreeted = false;
    tcpConn.connectToRemote();
}

void Session::retryNow()
{
    if (current != State::Reconnecting || !retryTimer.isActive())
        return;
    retryTimer.stop();
    connectNow();
    emit reconnectProgress();
}

void Session::close()
{
    if (ended())
        return;
    stopTimers();
    setState(State::Ended);
    emit waitsEnd();
    tcpConn.close();
}

void Session::stopTimers()
{
    for (QTimer* timer :
         {&greetingTimer, &silenceTimer, &pingTimer, &retryTimer, &progressTimer, &poller, &reader})
        timer->stop();
}

std::chrono::milliseconds Session::nextTryIn() const
{
    if (current != State::Reconnecting || !retryTimer.isActive())
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(std::max(0, retryTimer.remainingTime()));
}

std::chrono::milliseconds Session::retrySchedule(int attempt)
{
    static constexpr int Steps[] = {0, 500, 1000, 2000, 4000, 8000, 15000};
    constexpr int Steady = 30000;
    const int base =
        attempt >= 1 && attempt <= static_cast<int>(std::size(Steps)) ? Steps[attempt - 1] : Steady;
    // Desks that lost the same PBX at the same moment do not all come back at the same moment.
    const double jitter = 0.8 + 0.4 * QRandomGenerator::global()->generateDouble();
    return std::chrono::milliseconds(static_cast<long long>(base * jitter));
}

void Session::setHoldReading(bool held)
{
    nHeld = std::max(0, nHeld + (held ? 1 : -1));
    updateReadLimit();
    if (nHeld == 0 && bErrorPending && !ended()) {
        // Later, so that whoever showed the box finishes its step first.
        QTimer::singleShot(0, this, [this] {
            if (bErrorPending)
                lose(sPendingError, sPendingCause, bPendingRetryable);
        });
    }
}

void Session::updateReadLimit()
{
    // Qt would buffer all that arrives while nobody reads; past the limit TCP holds the PBX back
    // instead, and nothing is lost.
    tcpConn.setReadLimit(live || nHeld > 0 ? ReadLimit : 0);
}

void Session::dataArrival(qint64 waiting)
{
    if (ended())
        return;
    if (current == State::Listed && keepaliveOn())
        armKeepalive();
    if (!live) {
        readNow();
        return;
    }
    // A busy PBX sends events all the time: they are taken in at a steady pace, and a full
    // socket at once.
    const bool full = waiting >= ReadLimit;
    if (reader.isActive() && !full)
        return;
    const qint64 interval = timing.readInterval.count();
    const qint64 since = sinceRead.isValid() ? sinceRead.elapsed() : interval;
    if (full || since >= interval) {
        reader.stop();
        sinceRead.start();
        readNow();
    } else {
        reader.start(static_cast<int>(interval - since));
    }
}

void Session::readNow()
{
    // A box opened from here (a refused listing) keeps Qt from announcing the bytes it reads
    // meanwhile, and it will not announce them later: they are read on here once it has closed.
    // Live mode reads on a timer of its own, which goes on while a box is open.
    const std::uint64_t connection = nGeneration;
    ++nReading;
    do {
        if (ended() || connection != nGeneration)
            break;
        const std::string bytes = tcpConn.getData();
        if (bytes.empty())
            break;
        manager->dataArrival(bytes);
        emit callsChanged();
    } while (!live && tcpConn.bytesAvailable() > 0);
    if (--nReading == 0)
        retired.clear();
}

void Session::socketError(int number, const QString& description)
{
    QString cause;
    switch (static_cast<QAbstractSocket::SocketError>(number)) {
    case QAbstractSocket::HostNotFoundError:
        cause = QStringLiteral("the host name could not be looked up");
        break;
    case QAbstractSocket::ConnectionRefusedError:
        cause = QStringLiteral("the connection was refused");
        break;
    case QAbstractSocket::RemoteHostClosedError:
        cause = QStringLiteral("the PBX closed the connection");
        break;
    case QAbstractSocket::SocketTimeoutError:
        cause = QStringLiteral("no answer in time");
        break;
    default:
        cause = description;
        break;
    }
    lose(fromView(ConnectionErrorMessage), cause);
}

void Session::tlsFailed(SocketAdapter::TlsProblem problem)
{
    using Problem = SocketAdapter::TlsProblem;
    QString what;
    switch (problem) {
    case Problem::Untrusted:
        what = QStringLiteral("the certificate is not trusted");
        break;
    case Problem::Expired:
        what = QStringLiteral("the certificate has expired or is not valid yet");
        break;
    case Problem::WrongHost:
        what = QStringLiteral("the certificate is for another host name");
        break;
    case Problem::Handshake:
        what = QStringLiteral("no secure connection could be set up");
        break;
    }
    // A certificate that fails is the PBX's answer, not an accident of the network: it is not
    // tried again.
    lose(tlsFailureMessage(problem, tcpConn.host(), config.ownAuthorities),
         QStringLiteral("TLS failure: ") + what, problem == Problem::Handshake);
}

void Session::greetingOverdue()
{
    if (ended() || bGreeted)
        return;
    // Either way the operator gets the connection error, as for a host that is not there; the
    // log line says which wait ran out.
    const bool handshake = tcpConn.tls() && !tcpConn.encrypted();
    tcpConn.close();
    const QString wait = seconds(timing.greetingWait);
    lose(fromView(ConnectionErrorMessage),
         handshake ? QStringLiteral("TLS failure: no handshake within %1 s").arg(wait)
                   : QStringLiteral("no answer within %1 s").arg(wait));
}

void Session::lose(const QString& text, const QString& cause, bool retryable)
{
    if (ended())
        return;
    const bool retry = retryable && config.reconnect && bEverLoggedIn;
    if (nHeld > 0) {
        // Reported once the box on screen is dismissed, unless the session ends first (a
        // rejected login's box is followed by the end at once).
        if (!bErrorPending) {
            sPendingError = text;
            sPendingCause = cause;
            bPendingRetryable = retryable;
        }
        bErrorPending = true;
        return;
    }
    bErrorPending = false;
    // A PBX that rejects a login closes at once; its answer may still wait unread.
    if (tcpConn.bytesAvailable() > 0)
        readNow();
    if (ended())
        return;
    emit connectionProblem(cause);
    if (!retry) {
        finish(text);
        return;
    }
    // The link is gone; whatever waited for this connection's answers stops waiting.
    stopTimers();
    tcpConn.close();
    newClient();
    awaitedHangups.clear();
    hangupAnswers.clear();
    emit waitsEnd();
    if (current != State::Reconnecting) {
        nAttempt = 0;
        setState(State::Reconnecting);
    }
    scheduleAttempt();
}

void Session::scheduleAttempt()
{
    ++nAttempt;
    const std::chrono::milliseconds wait =
        timing.retryDelay ? timing.retryDelay(nAttempt) : retrySchedule(nAttempt);
    retryTimer.start(wait);
    progressTimer.start();
    emit reconnectProgress();
}

void Session::finish(const QString& text)
{
    if (ended())
        return;
    stopTimers();
    sEndReason = text;
    setState(State::Ended);
    emit waitsEnd();
    tcpConn.close();
    emit report(text);
    emit finished(text);
}

bool Session::keepaliveOn() const
{
    return config.keepalive || config.live || config.reconnect;
}

void Session::armKeepalive()
{
    pingTimer.stop();
    silenceTimer.start(timing.silenceBeforePing);
}

void Session::keepaliveDue()
{
    if (current != State::Listed)
        return;
    if (tcpConn.bytesHeld() > 0) {
        // Bytes wait unread (a box is open): the PBX has spoken.
        armKeepalive();
        return;
    }
    manager->sendPing();
    pingTimer.start(timing.pingWait);
}

void Session::shutdownAnnounced()
{
    if (!config.reconnect)
        return; // the close that follows ends the session as any close does
    // Not from inside the client's reading of the event.
    QTimer::singleShot(0, this, [this] {
        if (current != State::Listed)
            return;
        tcpConn.close();
        lose(fromView(ConnectionErrorMessage), QStringLiteral("the PBX is shutting down"));
    });
}

bool Session::commandsHeldBack()
{
    if (ended())
        return true;
    if (current == State::Reconnecting) {
        emit report(fromView(NotConnectedMessage));
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
        clearEntries();
    bRefusalShown = false;
    if (current != State::Listed)
        return;
    manager->sendStatus();
}

void Session::clearEntries()
{
    nEntries = 0;
    listedChannels.clear();
    bListingDone = false;
    emit entriesCleared();
}

void Session::refuseHangup(const std::string& channel, const QString& why)
{
    emit report(why);
    emit hangupFinished(channel, false, why);
}

void Session::hangUp(const std::string& channel)
{
    if (ended()) {
        emit hangupFinished(channel, false, QStringLiteral("the connection has ended"));
        return;
    }
    if (current == State::Reconnecting) {
        refuseHangup(channel, fromView(NotConnectedMessage));
        return;
    }
    if (commandsHeldBack()) {
        emit hangupFinished(channel, false, QStringLiteral("not logged in yet"));
        return;
    }
    Queued call{channel, {}};
    if (live) {
        if (const auto row = live->rowOf(channel))
            call.uniqueid = live->at(*row).uniqueid;
    }
    if (bDisconnecting) {
        // A hangup's answer names no channel, and answers come in the order asked: were a second
        // request sent while the first waits, an answer that never comes for the first would
        // make each report the other's. So it waits its turn; a second press on the call already
        // being disconnected (a double click) adds nothing.
        if (channel != sDisconnecting &&
            std::none_of(queuedDisconnects.begin(), queuedDisconnects.end(),
                         [&](const Queued& q) { return q.channel == channel; }))
            queuedDisconnects.push_back(std::move(call));
        return;
    }
    bDisconnecting = true;
    disconnectCall(call);
    while (!ended() && !queuedDisconnects.empty()) {
        Queued next = std::move(queuedDisconnects.front());
        queuedDisconnects.pop_front();
        if (current == State::Reconnecting) {
            refuseHangup(next.channel, fromView(NotConnectedMessage));
            continue;
        }
        if (!stillThere(next))
            continue;
        disconnectCall(next);
    }
    queuedDisconnects.clear();
    sDisconnecting.clear();
    bDisconnecting = false;
}

bool Session::stillThere(const Queued& call)
{
    // The call pressed on may have ended while earlier hangups waited, and its channel name may
    // have passed to a new call since: that one the operator did not choose.
    sDisconnecting = call.channel;
    const QString shown = displayText(call.channel);
    if (live) {
        const auto row = live->rowOf(call.channel);
        if (row && (call.uniqueid.empty() || live->at(*row).uniqueid == call.uniqueid))
            return true;
    } else {
        // The list was asked for again after the last hangup: it decides, once it is here.
        if (!bListingDone && current == State::Listed) {
            QEventLoop loop;
            QTimer timeout;
            timeout.setSingleShot(true);
            connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
            connect(this, &Session::waitsEnd, &loop, &QEventLoop::quit);
            connect(this, &Session::listingArrived, &loop, &QEventLoop::quit);
            timeout.start(timing.answerWait);
            loop.exec();
        }
        if (ended())
            return false;
        if (!bListingDone) {
            refuseHangup(call.channel, QStringLiteral("The list of calls did not arrive, so the "
                                                      "call on %1 was not disconnected.")
                                           .arg(shown));
            return false;
        }
        if (listedChannels.count(call.channel) > 0)
            return true;
    }
    emit report(
        QStringLiteral("The call on %1 has already ended, so it was not disconnected.").arg(shown));
    // Gone is what a hangup is for: a view that ends a whole call counts this leg as ended.
    emit hangupFinished(call.channel, true, QString());
    return false;
}

void Session::disconnectCall(const Queued& call)
{
    const std::string& channel = call.channel;
    sDisconnecting = channel;
    const QString shown = displayText(channel);
    if (channel.empty()) {
        refuseHangup(channel,
                     QStringLiteral("The selected entry names no channel, so nothing was sent."));
        return;
    }
    if (!isSafeHeaderValue(channel)) {
        refuseHangup(channel, QStringLiteral("The channel %1 holds a line break or NUL, so no "
                                             "hangup was sent.")
                                  .arg(shown));
        return;
    }
    if (channel.front() == '/') {
        // The PBX reads such a channel as a pattern and hangs up every call that matches.
        refuseHangup(channel, QStringLiteral("The channel %1 begins with \"/\", which the PBX "
                                             "would read as a pattern for many calls, so no "
                                             "hangup was sent.")
                                  .arg(shown));
        return;
    }
    const std::uint64_t connection = nGeneration;
    const std::optional<std::uint64_t> ticket = manager->sendHangup(channel);
    if (!ticket)
        return;
    awaitedHangups.insert(*ticket);
    QCoreApplication::processEvents();

    if (!ended() && connection == nGeneration && hangupAnswers.count(*ticket) == 0) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &Session::waitsEnd, &loop, &QEventLoop::quit);
        connect(this, &Session::hangupAnswered, &loop, [&loop, ticket](quint64 answered) {
            if (answered == *ticket)
                loop.quit();
        });
        timeout.start(timing.answerWait);
        loop.exec();
    }
    std::optional<Answer> result;
    if (connection == nGeneration) {
        awaitedHangups.erase(*ticket);
        const auto answer = hangupAnswers.find(*ticket);
        if (answer != hangupAnswers.end()) {
            result = std::move(answer->second);
            hangupAnswers.erase(answer);
        }
    }
    if (ended())
        return;

    if (connection != nGeneration) {
        const QString why = QStringLiteral("The connection to the PBX was lost before it "
                                           "answered the request to disconnect %1.")
                                .arg(shown);
        refuseHangup(channel, why);
        return;
    }
    if (!result) {
        refuseHangup(
            channel,
            QStringLiteral("The PBX did not answer the request to disconnect %1.").arg(shown));
    } else if (result->succeeded()) {
        emit report(QStringLiteral("Killed Call ") + shown);
        emit hangupFinished(channel, true, QString());
    } else {
        const std::string& why = result->message.empty() ? result->response : result->message;
        emit report(QStringLiteral("The call on %1 could not be disconnected: %2")
                        .arg(shown, displayText(why)));
        emit hangupFinished(channel, false, displayText(why));
    }
    if (ended())
        return;
    if (current == State::Listed)
        requestListing();
}

std::string Session::challengeKey(std::string_view challenge) const
{
    // The secret as the plain login would send it.
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(QByteArrayView(challenge.data(), static_cast<qsizetype>(challenge.size())));
    if (password) {
        const std::string secret = password();
        md5.addData(QByteArrayView(secret.data(), static_cast<qsizetype>(secret.size())));
    }
    return md5.result().toHex().toStdString();
}

void Session::addCall(std::string_view entry, const EntryParts& parts)
{
    ++nEntries;
    if (entry != NoCallsEntry)
        listedChannels.emplace(entry.substr(0, entry.find(' ')));
    emit entryListed(entry, parts);
}

void Session::listingComplete()
{
    bListingDone = true;
    emit listingArrived();
}

void Session::showMessage(std::string_view text)
{
    // Only a greeting, or what follows it, makes the client speak before it sends anything.
    greeted();
    sLastMessage = fromView(text);
    emit report(sLastMessage);
}

void Session::endProgram()
{
    // The client has told the operator why (a refused login) and reads nothing more.
    if (ended())
        return;
    stopTimers();
    sEndReason = sLastMessage;
    setState(State::Ended);
    emit waitsEnd();
    tcpConn.close();
    emit finished(sEndReason);
}

void Session::send(std::string_view bytes)
{
    // The first thing the client sends answers the greeting.
    greeted();
    tcpConn.sendData(bytes);
}

void Session::greeted()
{
    if (bGreeted)
        return;
    bGreeted = true;
    greetingTimer.stop();
    if (current == State::Connecting)
        setState(State::LoggingIn);
}

void Session::actionAnswered(const Answer& answer)
{
    switch (answer.kind) {
    case ActionKind::Login:
        if (answer.succeeded())
            loginAccepted();
        return;
    case ActionKind::Status:
        listingAnswered(answer);
        return;
    case ActionKind::Hangup:
        if (awaitedHangups.count(answer.ticket) == 0)
            return;
        hangupAnswers[answer.ticket] = answer;
        emit hangupAnswered(answer.ticket);
        return;
    default:
        return;
    }
}

void Session::loginAccepted()
{
    const bool again = bEverLoggedIn;
    bEverLoggedIn = true;
    nAttempt = 0;
    retryTimer.stop();
    progressTimer.stop();
    // The client has asked for the listing already; after a reconnection, in snapshot mode,
    // it replaces the list that stayed on screen. Its records follow this answer.
    if (again && !live)
        clearEntries();
    setState(State::Listed);
    if (keepaliveOn())
        armKeepalive();
    if (live)
        poller.start(timing.listingInterval);
}

void Session::listingAnswered(const Answer& answer)
{
    // A manager user without the call class gets an error instead of a listing, and the list
    // would stay empty without a word. Live mode asks every few seconds: it says so once, until
    // a listing succeeds or the operator asks again.
    if (answer.succeeded()) {
        bRefusalShown = false;
        return;
    }
    if (bRefusalShown)
        return;
    bRefusalShown = true;
    const std::string& why = answer.message.empty() ? answer.response : answer.message;
    emit report(QStringLiteral("The PBX refused the call list: ") + displayText(why));
}

QString Session::tlsFailureMessage(SocketAdapter::TlsProblem problem, const QString& host,
                                   bool ownAuthorities)
{
    using Problem = SocketAdapter::TlsProblem;
    QString what;
    switch (problem) {
    case Problem::Untrusted:
        what = ownAuthorities
                   ? QStringLiteral("The PBX's certificate is not trusted: it is not one of the "
                                    "certificates in the file given with --tls-ca, nor issued by "
                                    "one of them.")
                   : QStringLiteral("The PBX's certificate is not trusted: it was not issued by a "
                                    "certificate authority this computer trusts. If the PBX has a "
                                    "certificate of its own, give it with --tls-ca.");
        break;
    case Problem::Expired:
        what = QStringLiteral("The PBX's certificate has expired, or is not valid yet.");
        break;
    case Problem::WrongHost:
        what =
            QStringLiteral("The PBX's certificate is for another host name, not for %1.").arg(host);
        break;
    case Problem::Handshake:
        what = QStringLiteral("A secure connection to the PBX could not be set up. Does it offer "
                              "TLS on this port?");
        break;
    }
    return what + QStringLiteral(" Nothing was sent.");
}

} // namespace corvale
