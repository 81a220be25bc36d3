#pragma once

#include <QObject>
#include <QString>
#include <QTcpSocket>

#include <string>
#include <string_view>

namespace corvale {

// The one TCP connection to the PBX. Bytes cross it unchanged: what the client holds as text is
// one byte per character (Latin-1), never UTF-8.
class SocketAdapter : public QObject
{
    Q_OBJECT

public:
    explicit SocketAdapter(QObject* parent = nullptr);

    void setRemoteHost(const QString& host) { remoteHost = host; }
    void setRemotePort(int port) { remotePort = port; }
    QString host() const { return remoteHost; }
    int port() const { return remotePort; }

    // Returns at once; a failure arrives later as errorOccurred.
    void connectToRemote();
    // Sent complete and in order. While connecting, the bytes wait and go out once connected;
    // with no connection at all they are dropped.
    void sendData(std::string_view bytes);
    // All the bytes received and not yet taken.
    std::string getData();
    void close();

    QAbstractSocket::SocketState state() const { return socket.state(); }
    qint64 bytesAvailable() const { return socket.bytesAvailable(); }

signals:
    void dataArrival(qint64 bytesTotal);
    void errorOccurred(int number, const QString& description);
    // The PBX ended the connection (not sent when we close it ourselves).
    void closedByPeer();

private:
    QTcpSocket socket;
    QString remoteHost;
    int remotePort = 0;
    bool bClosing = false;
};

} // namespace corvale
