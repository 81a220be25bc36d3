#include "SocketAdapter.h"

#include <QTimer>

namespace corvale {

SocketAdapter::SocketAdapter(QObject* parent)
    : QObject(parent)
{
    connect(&socket, &QTcpSocket::readyRead, this,
            [this] { emit dataArrival(socket.bytesAvailable()); });
    connect(&socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (!bClosing)
            emit errorOccurred(static_cast<int>(e), socket.errorString());
    });
    connect(&socket, &QTcpSocket::disconnected, this, [this] {
        if (!bClosing)
            emit closedByPeer();
    });
}

void SocketAdapter::connectToRemote()
{
    bClosing = false;
    if (remotePort < 1 || remotePort > 65535) {
        // QTcpSocket would only warn; report it the way every other failure arrives.
        QTimer::singleShot(0, this, [this] {
            emit errorOccurred(static_cast<int>(QAbstractSocket::UnknownSocketError),
                               QStringLiteral("Port out of range"));
        });
        return;
    }
    socket.connectToHost(remoteHost, static_cast<quint16>(remotePort));
}

void SocketAdapter::sendData(std::string_view bytes)
{
    const auto state = socket.state();
    if (state != QAbstractSocket::ConnectedState && state != QAbstractSocket::ConnectingState &&
        state != QAbstractSocket::HostLookupState)
        return;
    socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string SocketAdapter::getData()
{
    const QByteArray bytes = socket.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void SocketAdapter::close()
{
    bClosing = true;
    socket.abort();
}

} // namespace corvale
