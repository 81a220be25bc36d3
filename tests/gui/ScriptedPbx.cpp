#include "ScriptedPbx.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslServer>
#include <QTest>

ScriptedPbx::ScriptedPbx(const std::optional<QSslConfiguration>& tls)
{
    if (tls) {
        auto secure = std::make_unique<QSslServer>();
        secure->setSslConfiguration(*tls);
        // A TLS connection is handed over only once its handshake is done.
        connect(secure.get(), &QSslServer::pendingConnectionAvailable, this, &ScriptedPbx::accept);
        server = std::move(secure);
    } else {
        server = std::make_unique<QTcpServer>();
    }
    server->listen(QHostAddress::LocalHost, 0);
    connect(server.get(), &QTcpServer::newConnection, this, &ScriptedPbx::accept);
}

void ScriptedPbx::accept()
{
    while (QTcpSocket* next = server->nextPendingConnection()) {
        ++accepted;
        peer = next;
        connect(next, &QTcpSocket::readyRead, this, &ScriptedPbx::readPeer);
        if (!greeting.isEmpty())
            next->write(greeting);
    }
}

QByteArray ScriptedPbx::received() const
{
    static const QRegularExpression id(QStringLiteral("^ActionID: [^\r\n]*"),
                                       QRegularExpression::MultilineOption);
    if (!bytes.contains("ActionID: "))
        return bytes;
    return QString::fromLatin1(bytes).replace(id, QStringLiteral("ActionID: *")).toLatin1();
}

void ScriptedPbx::onRequest(const QByteArray& request, const QByteArray& reply)
{
    rules.emplace_back(request, reply);
    runRules();
}

void ScriptedPbx::greet(const QByteArray& text)
{
    greeting = text;
    if (peer)
        peer->write(greeting);
}

void ScriptedPbx::send(const QByteArray& data)
{
    if (peer)
        peer->write(data);
}

void ScriptedPbx::hangUp()
{
    if (peer) {
        peer->flush();
        peer->disconnectFromHost();
    }
}

void ScriptedPbx::readPeer()
{
    if (!peer)
        return;
    bytes += peer->readAll();
    runRules();
    emit receivedMore();
}

void ScriptedPbx::runRules()
{
    while (!rules.empty() && peer) {
        const qsizetype at = received().indexOf(rules.front().first, matchedUpTo);
        if (at < 0)
            return;
        matchedUpTo = at + rules.front().first.size();
        peer->write(rules.front().second);
        rules.pop_front();
        if (rules.empty() && bHangUpWhenDone)
            hangUp();
    }
}

bool ScriptedPbx::waitForReceived(const QByteArray& text, int times, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (received().count(text) < times) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0)
            return false;
        QSignalSpy more(this, &ScriptedPbx::receivedMore);
        if (received().count(text) >= times)
            break;
        more.wait(static_cast<int>(left));
    }
    return true;
}

quint16 unusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}
