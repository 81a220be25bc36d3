#include "ConsoleConnection.h"

#include "ConsoleWindow.h"
#include "session/DisplayText.h"

#include <QSettings>

#include <cmath>

using corvale::Session;

namespace {

// How often each of several PBXs' sessions reads (one PBX alone: the session's 100 ms).
constexpr std::chrono::milliseconds SeveralReadInterval{250};

} // namespace

ConsoleConnection::ConsoleConnection(ConsoleWindow& consoleWindow, QObject* parent)
    : QObject(parent)
    , window(consoleWindow)
{
    window.hangUp = [this](const std::string& channel) { hangUp(channel); };
    window.refresh = [this] {
        if (current)
            current->refresh();
    };
    window.connectRequested = [this] { askAndConnect(); };
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

ConsoleConnection::ConsoleConnection(ConsoleWindow& consoleWindow, int key, const QString& name,
                                     QObject* parent)
    : QObject(parent)
    , window(consoleWindow)
    , nKey(key)
    , sName(name)
{}

ConsoleConnection::~ConsoleConnection()
{
    drop();
    if (several())
        window.removePbxStatus(nKey);
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
    // The window lets go of the calls before they go.
    if (several()) {
        window.removeCalls(nKey);
        window.connectionLost(nKey);
    } else {
        window.setCalls(nullptr);
        window.connectionLost();
    }
    disconnect(current.get(), nullptr, this, nullptr);
    disconnect(current.get(), nullptr, &window, nullptr);
    current->close();
    // The session may be waiting in a hangup of its own, further up the stack.
    current.release()->deleteLater();
}

void ConsoleConnection::connectTo(const ConnectionFields& fields, const std::string& secret)
{
    drop();
    lastFields = fields;
    sSecret = secret;
    asked.clear();

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
    if (several()) {
        // Each PBX's session reads on its own clock, and every read that brings calls lays out
        // and paints the one tree again: reading each less often keeps the tree's work per second
        // near one PBX's, whatever their number.
        corvale::SessionTimes times = session.times();
        times.readInterval = SeveralReadInterval;
        session.setTimes(times);
    }
    const std::string user = fields.user.toStdString();
    session.userName = [user] { return user; };
    session.password = [this] { return sSecret; };

    connect(&session, &Session::stateChanged, this, &ConsoleConnection::updateStatus);
    connect(&session, &Session::reconnectProgress, this, &ConsoleConnection::updateStatus);
    if (several())
        connect(&session, &Session::callsChanged, this, [this] { window.callsChanged(nKey); });
    else
        connect(&session, &Session::callsChanged, &window,
                qOverload<>(&ConsoleWindow::callsChanged));
    connect(&session, &Session::report, this, [this](const QString& text) {
        window.showMessage(several() ? tr("%1: %2").arg(sName, text) : text);
    });
    connect(&session, &Session::hangupFinished, this,
            [this](const std::string& channel, bool ok, const QString& reason) {
                asked.erase(channel);
                window.hangupFinished(channel, ok, reason);
            });
    connect(&session, &Session::finished, this, [this] {
        // The calls shown would no longer change: an empty view says so better.
        if (several()) {
            window.connectionLost(nKey);
            window.removeCalls(nKey);
        } else {
            window.connectionLost();
            window.setCalls(nullptr);
        }
        updateStatus();
    });

    if (several()) {
        window.addCalls(nKey, session.liveCalls(), sName);
    } else {
        window.setCalls(session.liveCalls());
        window.setPbxName(fields.host);
        window.setWindowTitle(tr("Corvale Console - %1").arg(fields.host));
    }
    session.open();
    updateStatus();
}

void ConsoleConnection::hangUp(const std::string& channel)
{
    if (!current)
        return;
    asked.insert(channel);
    // The outermost call returns once this hangup and every one queued meanwhile is done.
    ++nHangupDepth;
    current->hangUp(channel);
    --nHangupDepth;
    if (nHangupDepth == 0)
        settle();
}

void ConsoleConnection::settle()
{
    // The session answers every hangup it was asked for; one it could not even take (it ended
    // meanwhile) is accounted for here, so that no hangup waits for ever.
    for (const std::string& channel : std::exchange(asked, {}))
        window.hangupFinished(channel, false, tr("no hangup was sent"));
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
    if (several())
        window.setPbxStatus(nKey, sName, shortStateText(),
                            current ? stateText() + QLatin1Char('\n') + protectionText()
                                    : stateText());
    else
        window.setConnectionStatus(stateText(), current ? protectionText() : QString());
}
