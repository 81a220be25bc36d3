#include "FakePbx.h"

#include <QCryptographicHash>
#include <QSslSocket>

namespace {

const QByteArray Greeting = "Asterisk Call Manager/13.0.0\r\n";
const QByteArray Challenge = "840415273";

// A header's value in an action; empty when it has none.
QByteArray header(const QByteArray& action, const QByteArray& key)
{
    const QByteArray start = "\r\n" + key.toLower() + ": ";
    const qsizetype at = action.toLower().indexOf(start);
    if (at < 0)
        return {};
    const qsizetype from = at + start.size();
    return action.mid(from, action.indexOf("\r\n", from) - from);
}

} // namespace

void FakePbx::Server::incomingConnection(qintptr descriptor)
{
    auto* peer = new QSslSocket(this);
    if (!peer->setSocketDescriptor(descriptor)) {
        delete peer;
        return;
    }
    if (pbx.tls) {
        peer->setSslConfiguration(*pbx.tls);
        peer->startServerEncryption();
    }
    addPendingConnection(peer);
}

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
        if (!greet)
            continue;
        auto* secure = static_cast<QSslSocket*>(peer);
        if (tls)
            connect(secure, &QSslSocket::encrypted, peer, [peer] { peer->write(Greeting); });
        else
            peer->write(Greeting);
    }
}

void FakePbx::closeAll(bool flushed)
{
    for (const QPointer<QTcpSocket>& peer : peers) {
        if (peer && flushed)
            peer->disconnectFromHost();
        else if (peer)
            peer->abort();
    }
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

QByteArray FakePbx::listing(const QByteArray& actionId) const
{
    const QByteArray id = actionId.isEmpty() ? QByteArray() : "ActionID: " + actionId + "\r\n";
    QByteArray out = "Response: Success\r\n" + id + "Message: Channel status will follow\r\n\r\n";
    for (const Call& call : calls)
        // As the PBX does, each record ends with the listing's ActionID.
        out += "Event: Status\r\nPrivilege: Call\r\nChannel: " + call.channel +
               "\r\nCallerIDNum: 100\r\nCallerIDName: Caller\r\nExten: 200\r\nUniqueid: " +
               call.uniqueid + "\r\nSeconds: 60\r\n" + id + "\r\n";
    out += "Event: StatusComplete\r\n" + id + "Items: " + QByteArray::number(calls.size()) +
           "\r\n\r\n";
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
        const QByteArray key =
            QCryptographicHash::hash(Challenge + "secret", QCryptographicHash::Md5);
        const QByteArray secret = header(action, "Secret");
        if (acceptLogin && (secret == "secret" || header(action, "Key") == key.toHex())) {
            peer->write("Response: Success\r\nMessage: Authentication accepted\r\n\r\n");
            if (closeAfterLogin)
                peer->disconnectFromHost();
        } else {
            peer->write("Response: Error\r\nMessage: Authentication failed\r\n\r\n");
            peer->disconnectFromHost();
        }
    } else if (lower.startsWith("action: challenge\r\n")) {
        peer->write("Response: Success\r\nChallenge: " + Challenge + "\r\n\r\n");
    } else if (lower.startsWith("action: status\r\n")) {
        peer->write(listing(header(action, "ActionID")));
    } else if (lower.startsWith("action: queuestatus\r\n")) {
        const QByteArray id = "ActionID: " + header(action, "ActionID") + "\r\n";
        QByteArray out = "Response: Success\r\n" + id +
                         "EventList: start\r\nMessage: Queue status will follow\r\n\r\n";
        for (const QByteArray& record : queueRecords)
            out += record + id + "\r\n";
        peer->write(out + "Event: QueueStatusComplete\r\n" + id + "EventList: Complete\r\n\r\n");
    } else if (lower.startsWith("action: queuesummary\r\n")) {
        peer->write("Response: Error\r\nMessage: Invalid/unknown command: QueueSummary\r\n\r\n");
    } else if (lower.startsWith("action: queuepause\r\n")) {
        peer->write(pauseAnswer);
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
