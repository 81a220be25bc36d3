#include "FakePbx.h"

FakePbx::FakePbx()
{
    connect(&server, &QTcpServer::newConnection, this, &FakePbx::accept);
    listen();
}

bool FakePbx::listen(quint16 port)
{
    if (!server.listen(QHostAddress::LocalHost, port))
        return false;
    nPort = server.serverPort();
    return true;
}

void FakePbx::accept()
{
    while (QTcpSocket* peer = server.nextPendingConnection()) {
        ++accepted;
        peers << peer;
        buffers << QByteArray();
        connect(peer, &QTcpSocket::readyRead, this, [this, peer] { read(peer); });
        connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
        if (greet)
            peer->write("Asterisk Call Manager/13.0.0\r\n");
    }
}

void FakePbx::closeAll()
{
    for (const QPointer<QTcpSocket>& peer : peers)
        if (peer)
            peer->abort();
    peers.clear();
    buffers.clear();
}

void FakePbx::send(const QByteArray& bytes)
{
    for (auto it = peers.crbegin(); it != peers.crend(); ++it) {
        if (*it) {
            (*it)->write(bytes);
            return;
        }
    }
}

void FakePbx::releaseHangups()
{
    for (const QPointer<QTcpSocket>& peer : heldHangups)
        if (peer)
            peer->write("Response: Success\r\nMessage: Channel Hungup\r\n\r\n");
    heldHangups.clear();
}

int FakePbx::count(const QByteArray& actionName) const
{
    const QByteArray line = "action: " + actionName.toLower() + "\r\n";
    int n = 0;
    for (const QByteArray& action : blocks)
        if (action.toLower().startsWith(line))
            ++n;
    return n;
}

QByteArray FakePbx::listing() const
{
    QByteArray out = "Response: Success\r\nMessage: Channel status will follow\r\n\r\n";
    for (const Call& call : calls)
        out += "Event: Status\r\nPrivilege: Call\r\nChannel: " + call.channel +
               "\r\nCallerIDNum: 100\r\nCallerIDName: Caller\r\nExten: 200\r\nUniqueid: " +
               call.uniqueid + "\r\nSeconds: 60\r\n\r\n";
    out += "Event: StatusComplete\r\nItems: " + QByteArray::number(calls.size()) + "\r\n\r\n";
    return out;
}

void FakePbx::read(QTcpSocket* peer)
{
    const qsizetype at = peers.indexOf(peer);
    if (at < 0)
        return;
    const QByteArray bytes = peer->readAll();
    all += bytes;
    QByteArray& buffer = buffers[at];
    buffer += bytes;
    qsizetype end;
    while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
        const QByteArray action = buffer.left(end + 4);
        buffer.remove(0, end + 4);
        blocks << action;
        emit actionArrived(action);
        if (onAction && !onAction(action))
            continue;
        answer(peer, action);
    }
}

void FakePbx::answer(QTcpSocket* peer, const QByteArray& action)
{
    const QByteArray lower = action.toLower();
    if (lower.startsWith("action: login\r\n")) {
        if (acceptLogin) {
            peer->write("Response: Success\r\nMessage: Authentication accepted\r\n\r\n");
        } else {
            peer->write("Response: Error\r\nMessage: Authentication failed\r\n\r\n");
            peer->disconnectFromHost();
        }
    } else if (lower.startsWith("action: status\r\n")) {
        peer->write(listing());
    } else if (lower.startsWith("action: ping\r\n")) {
        if (answerPing)
            peer->write("Response: Success\r\nPing: Pong\r\nTimestamp: 1700000000.000000\r\n\r\n");
    } else if (lower.startsWith("action: hangup\r\n")) {
        if (holdHangups)
            heldHangups << peer;
        else
            peer->write("Response: Success\r\nMessage: Channel Hungup\r\n\r\n");
    }
}
