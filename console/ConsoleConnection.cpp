#include "ConsoleConnection.h"

#include "ConnectDialog.h"
#include "ConsoleStatusBar.h"
#include "ConsoleWindow.h"
#include "SessionTexts.h"

#include <QSettings>

#include <cmath>
#include <cstdio>

using corvale::Session;

ConsoleConnection::ConsoleConnection(ConsoleWindow& consoleWindow, int key, const QString& profile,
                                     QObject* parent)
    : QObject(parent)
    , window(consoleWindow)
    , nKey(key)
    , sProfile(profile)
{
    connect(&window, &ConsoleWindow::hangUpRequested, this, &ConsoleConnection::hangUp);
    connect(&window, &ConsoleWindow::queuePauseRequested, this,
            [this](int pbx, const QString& interface, bool paused, const QString& queue,
                   const QString& reason) {
                if (pbx == nKey && current)
                    current->requestQueuePause(interface, paused, queue, reason);
            });
    // F5 lists the calls again on every PBX.
    connect(&window, &ConsoleWindow::refreshRequested, this, [this] {
        if (current)
            current->refresh();
    });
    ask = [this](ConnectionFields& fields, std::string& secret) {
        ConnectDialog dialog(&window);
        dialog.setFields(fields);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        fields = dialog.fields();
        secret = dialog.secret();
        dialog.clearSecret();
        return true;
    };
    logLine = [](const QString& line) {
        std::fputs(qPrintable(line + u'\n'), stderr);
        std::fflush(stderr);
    };
}

ConsoleConnection::~ConsoleConnection()
{
    drop();
    window.status().removePbxState(nKey);
}

QString ConsoleConnection::name() const
{
    return sProfile.isEmpty() ? lastFields.host : sProfile;
}

void ConsoleConnection::close()
{
    drop();
    updateStatus();
}

bool ConsoleConnection::askAndConnect()
{
    ConnectionFields fields = lastFields;
    std::string secret;
    if (!ask || !ask(fields, secret))
        return false;
    remember(fields);
    connectTo(fields, secret);
    return true;
}

void ConsoleConnection::remember(const ConnectionFields& fields)
{
    // Where to connect next time; never the secret.
    QSettings settings;
    settings.beginGroup(QStringLiteral("connection"));
    settings.setValue(QStringLiteral("host"), fields.host);
    settings.setValue(QStringLiteral("port"), fields.port);
    settings.setValue(QStringLiteral("user"), fields.user);
    settings.setValue(QStringLiteral("tls"), fields.tls);
    settings.setValue(QStringLiteral("caFile"), fields.caFile);
    settings.setValue(QStringLiteral("challengeLogin"), fields.challengeLogin);
}

ConnectionFields ConsoleConnection::remembered()
{
    ConnectionFields fields;
    QSettings settings;
    settings.beginGroup(QStringLiteral("connection"));
    fields.host = settings.value(QStringLiteral("host"), fields.host).toString();
    fields.port = settings.value(QStringLiteral("port"), fields.port).toString();
    fields.user = settings.value(QStringLiteral("user"), fields.user).toString();
    fields.tls = settings.value(QStringLiteral("tls"), fields.tls).toBool();
    fields.caFile = settings.value(QStringLiteral("caFile")).toString();
    fields.challengeLogin =
        settings.value(QStringLiteral("challengeLogin"), fields.challengeLogin).toBool();
    return fields;
}

void ConsoleConnection::drop()
{
    if (!current)
        return;
    // The window lets go of the calls before they go, and of the hangups still awaited.
    window.removeCalls(nKey);
    if (current->queues())
        window.removeQueues(nKey);
    disconnect(current.get(), nullptr, this, nullptr);
    current->close();
    // The session may be waiting in a hangup of its own, further up the stack.
    current.release()->deleteLater();
}

void ConsoleConnection::connectTo(const ConnectionFields& fields, const std::string& secret)
{
    drop();
    lastFields = fields;
    sSecret = secret;

    corvale::SessionSettings settings;
    settings.host = fields.host;
    settings.port = fields.port.toInt();
    settings.tls = fields.tls;
    settings.trusted = fields.trusted;
    settings.ownAuthorities = !fields.trusted.isEmpty();
    settings.coreShowChannels = true;
    settings.auth = fields.challengeLogin ? corvale::Auth::Md5 : corvale::Auth::Plain;
    settings.live = true;
    settings.reconnect = bReconnect;
    settings.keepalive = true;
    settings.queues = true;

    current = std::make_unique<Session>();
    Session& session = *current;
    session.setSettings(settings);
    if (readInterval) {
        corvale::SessionTimes times = session.times();
        times.readInterval = *readInterval;
        session.setTimes(times);
    }
    const std::string user = fields.user.toStdString();
    session.userName = [user] { return user; };
    session.password = [this] { return sSecret; };

    connect(&session, &Session::stateChanged, this, &ConsoleConnection::stateChanged);
    connect(&session, &Session::reconnectProgress, this, &ConsoleConnection::updateStatus);
    connect(&session, &Session::callsChanged, this, [this] {
        window.callsChanged(nKey);
        // A user refused CoreShowChannels lists with Status from now on: the tool tip says so.
        if (current && current->loggedIn() && current->listingAction() != shownListing)
            updateStatus();
    });
    connect(&session, &Session::reported, this, [this](const corvale::SessionReport& report) {
        const QString text = SessionTexts::message(report);
        window.showMessage(sProfile.isEmpty() ? text : tr("%1: %2").arg(sProfile, text));
    });
    connect(&session, &Session::problemOccurred, this, &ConsoleConnection::logProblem);
    connect(&session, &Session::hangupEnded, this, &ConsoleConnection::hangupEnded);
    connect(&session, &Session::finished, this, [this] {
        // The calls shown would no longer change: an empty view says so better.
        window.removeCalls(nKey);
        updateStatus();
    });

    window.addCalls(nKey, *session.liveCalls(), name());
    followQueues(session);
    session.open();
    updateStatus();
}

void ConsoleConnection::stateChanged(Session::State state)
{
    const bool lost = state == Session::State::Reconnecting;
    if (lost && lostAt.isNull())
        lostAt = QTime::currentTime();
    else if (!lost)
        lostAt = QTime();
    // Calls of a connection that is gone neither tick nor look live until it is back.
    if (current && window.sources().has(nKey))
        window.freezeCalls(nKey, lost);
    updateStatus();
}

void ConsoleConnection::logProblem(const corvale::ConnectionProblem& problem)
{
    // One line per failure, for a log: where, and why.
    const QString where = QStringLiteral("%1:%2").arg(lastFields.host, lastFields.port);
    if (logLine)
        logLine(QStringLiteral("corvale: %1: %2")
                    .arg(sProfile.isEmpty() ? where : tr("%1 (%2)").arg(sProfile, where),
                         SessionTexts::cause(problem)));
}

void ConsoleConnection::hangupEnded(const corvale::SessionReport& outcome)
{
    window.hangupFinished({nKey, outcome.channel}, outcome.hangupSucceeded(),
                          SessionTexts::hangupReason(outcome));
}

void ConsoleConnection::hangUp(const QList<Target>& targets)
{
    if (!current)
        return; // the window gave up its hangups when it let go of its calls
    // Each is queued and answered later by hangupEnded(), never inside this call; a session's
    // end answers those still waiting through the window's removeCalls().
    for (const Target& target : targets)
        if (target.pbx == nKey)
            current->requestHangup(target.channel);
}

QString ConsoleConnection::stateText() const
{
    if (!current)
        return tr("Not connected");
    const Session& session = *current;
    const QString where = QStringLiteral("%1:%2").arg(lastFields.host, lastFields.port);
    switch (session.state()) {
    case Session::State::Idle:
        return tr("Not connected");
    case Session::State::Connecting:
        return tr("Connecting to %1...").arg(where);
    case Session::State::LoggingIn:
        return tr("Logging in to %1 as %2...").arg(where, lastFields.user);
    case Session::State::Listed:
        return tr("Connected to %1 as %2").arg(where, lastFields.user);
    case Session::State::Reconnecting:
        return reconnectingText(tr("Reconnecting since %1, attempt %2, next in %3 s"));
    case Session::State::Ended:
        return endText();
    }
    return {};
}

QString ConsoleConnection::reconnectingText(const QString& format) const
{
    const auto seconds =
        static_cast<int>(std::ceil(static_cast<double>(current->nextTryIn().count()) / 1000.0));
    return format.arg(lostAt.toString(QStringLiteral("HH:mm:ss")))
        .arg(current->attempt())
        .arg(seconds);
}

QString ConsoleConnection::endText() const
{
    // In the console's own words: "Could not connect to HOST:PORT: the connection was refused".
    if (const auto& report = current->endReport())
        return SessionTexts::message(*report);
    return current->everLoggedIn() ? tr("Disconnected") : tr("Not connected");
}

QString ConsoleConnection::listingText() const
{
    if (!current || !current->loggedIn())
        return {};
    if (current->listingAction() == "CoreShowChannels")
        return tr("Calls listed with CoreShowChannels");
    return current->client().currentPbx()
               ? tr("Calls listed with Status: this manager user may not use CoreShowChannels")
               : tr("Calls listed with Status");
}

QString ConsoleConnection::shortStateText() const
{
    if (!current)
        return tr("not connected");
    const Session& session = *current;
    switch (session.state()) {
    case Session::State::Idle:
        return tr("not connected");
    case Session::State::Connecting:
        return tr("connecting");
    case Session::State::LoggingIn:
        return tr("logging in");
    case Session::State::Listed:
        return tr("connected");
    case Session::State::Reconnecting:
        return reconnectingText(tr("reconnecting since %1, attempt %2, next in %3 s"));
    case Session::State::Ended:
        return session.everLoggedIn() ? tr("disconnected") : tr("failed");
    }
    return {};
}

QString ConsoleConnection::protectionText() const
{
    if (lastFields.tls)
        return lastFields.challengeLogin ? tr("TLS, certificate checked, challenge login")
                                         : tr("TLS, certificate checked");
    return lastFields.challengeLogin ? tr("Challenge login, not encrypted") : tr("Not encrypted");
}

void ConsoleConnection::updateStatus()
{
    ConsoleStatusBar& status = window.status();
    if (!current) {
        status.removePbxState(nKey);
        if (sProfile.isEmpty())
            window.setWindowTitle(tr("Corvale Console"));
        return;
    }
    // Only a connection that is, or is becoming, live names its PBX and its protection.
    const bool ended = current->ended();
    shownListing = current->loggedIn() ? current->listingAction() : std::string_view();
    const QString listing = listingText();
    if (sProfile.isEmpty()) {
        status.setPbxState(nKey, name(), stateText(), listing,
                           ended ? QString() : protectionText());
        const Session::State state = current->state();
        window.setWindowTitle(ended ? tr("Corvale Console")
                              : state == Session::State::Reconnecting
                                  ? tr("Corvale Console - %1 (reconnecting)").arg(lastFields.host)
                                  : tr("Corvale Console - %1").arg(lastFields.host));
    } else {
        QStringList details{stateText()};
        if (!ended)
            details << protectionText();
        if (!listing.isEmpty())
            details << listing;
        status.setPbxState(nKey, sProfile, tr("%1: %2").arg(sProfile, shortStateText()),
                           details.join(QLatin1Char('\n')));
    }
}

void ConsoleConnection::followQueues(Session& session)
{
    corvale::Queues* queues = session.queues();
    if (queues == nullptr)
        return;
    window.addQueues(nKey, *queues, name());
    const int pollSeconds = static_cast<int>(
        std::chrono::ceil<std::chrono::seconds>(session.settings().queuePollInterval).count());
    const auto showState = [this, pollSeconds] {
        if (current && current->queues())
            window.setQueuesState(nKey, current->queuesCurrent(), current->queuesPolled(),
                                  pollSeconds);
    };
    connect(&session, &Session::queuesCurrentChanged, this, showState);
    connect(&session, &Session::queuesChanged, this, [this, showState] {
        window.queuesChanged(nKey);
        // Polling stops once the first queue event shows that events come.
        if (current && current->queuesPolled() != bQueuesPolled) {
            bQueuesPolled = current->queuesPolled();
            showState();
        }
    });
    bQueuesPolled = session.queuesPolled();
    showState();
    connect(
        &session, &Session::queuePauseFinished, this,
        [this](const QString& interface, bool ok, const QString& message, bool permissionDenied) {
            window.queuePauseFinished(nKey, interface, ok, message, permissionDenied);
        });
}
