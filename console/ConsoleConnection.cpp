#include "ConsoleConnection.h"

#include "ConnectDialog.h"
#include "ConsoleStatusBar.h"
#include "ConsoleWindow.h"

#include <QSettings>
#include <QTimer>

#include <cmath>

using corvale::Session;

ConsoleConnection::ConsoleConnection(ConsoleWindow& consoleWindow, int key, const QString& profile,
                                     QObject* parent)
    : QObject(parent)
    , window(consoleWindow)
    , nKey(key)
    , sProfile(profile)
{
    connect(&window, &ConsoleWindow::hangUpRequested, this, &ConsoleConnection::hangUp);
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

    connect(&session, &Session::stateChanged, this, &ConsoleConnection::updateStatus);
    connect(&session, &Session::reconnectProgress, this, &ConsoleConnection::updateStatus);
    connect(&session, &Session::callsChanged, this, [this] { window.callsChanged(nKey); });
    connect(&session, &Session::report, this, [this](const QString& text) {
        window.showMessage(sProfile.isEmpty() ? text : tr("%1: %2").arg(sProfile, text));
    });
    connect(&session, &Session::hangupFinished, this,
            [this](const std::string& channel, bool ok, const QString& reason) {
                window.hangupFinished({nKey, channel}, ok, reason);
            });
    connect(&session, &Session::finished, this, [this] {
        // The calls shown would no longer change: an empty view says so better.
        window.removeCalls(nKey);
        updateStatus();
    });

    window.addCalls(nKey, *session.liveCalls(), name());
    if (sProfile.isEmpty())
        window.setWindowTitle(tr("Corvale Console - %1").arg(fields.host));
    session.open();
    updateStatus();
}

void ConsoleConnection::hangUp(const QList<Target>& targets)
{
    if (!current)
        return; // the window gave up its hangups when it let go of its calls
    Session* session = current.get();
    for (const Target& target : targets) {
        if (target.pbx != nKey)
            continue;
        // requestHangup once it lands. Until then a hangup waits for its answer in a nested loop
        // of the session's: posted, it leaves this loop and the window's request at once, and
        // one for a session gone meanwhile is dropped with it.
        QTimer::singleShot(0, session,
                           [session, channel = target.channel] { session->hangUp(channel); });
    }
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
    case Session::State::Reconnecting: {
        const auto seconds =
            static_cast<int>(std::ceil(static_cast<double>(session.nextTryIn().count()) / 1000.0));
        return tr("Reconnecting, attempt %1, next in %2 s").arg(session.attempt()).arg(seconds);
    }
    case Session::State::Ended:
        return session.everLoggedIn() ? tr("Disconnected: %1").arg(session.endReason())
                                      : tr("Refused: %1").arg(session.endReason());
    }
    return {};
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
    case Session::State::Reconnecting: {
        const auto seconds =
            static_cast<int>(std::ceil(static_cast<double>(session.nextTryIn().count()) / 1000.0));
        return tr("reconnecting, attempt %1, next in %2 s").arg(session.attempt()).arg(seconds);
    }
    case Session::State::Ended:
        return session.everLoggedIn() ? tr("disconnected: %1").arg(session.endReason())
                                      : tr("refused: %1").arg(session.endReason());
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
    if (!current)
        status.removePbxState(nKey);
    else if (sProfile.isEmpty())
        status.setPbxState(nKey, name(), stateText(), QString(), protectionText());
    else
        status.setPbxState(nKey, sProfile, tr("%1: %2").arg(sProfile, shortStateText()),
                           stateText() + QLatin1Char('\n') + protectionText());
}
