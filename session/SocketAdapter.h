#pragma once

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTcpSocket>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QSslError;
class QSslSocket;

namespace corvale {

// The one connection to the PBX, plain TCP or TLS. Bytes cross it unchanged: what the client
// holds as text is one byte per character (Latin-1), never UTF-8.
class SocketAdapter : public QObject
{
    Q_OBJECT

public:
    // Why TLS could not be set up, in the terms the operator is told.
    enum class TlsProblem
    {
        Untrusted, // no authority that is trusted vouches for the certificate
        Expired,   // expired, or not valid yet
        WrongHost, // issued for another host name
        Handshake  // anything else: the PBX speaks no TLS there, closed, or failed the handshake
    };
    Q_ENUM(TlsProblem)

    explicit SocketAdapter(QObject* parent = nullptr);
    ~SocketAdapter() override;

    void setRemoteHost(const QString& host) { remoteHost = host; }
    void setRemotePort(int port) { remotePort = port; }
    QString host() const { return remoteHost; }
    int port() const { return remotePort; }

    // Before connecting: the connection is TLS from then on. The PBX's certificate must be
    // issued by one of `trusted`, or by an authority the system trusts when that is empty, and
    // must name the host connected to (namesHost). There is no way past a certificate that
    // fails.
    void useTls(const QList<QSslCertificate>& trusted);
    bool tls() const { return ssl != nullptr; }
    // Whether this machine can do TLS at all (Qt's OpenSSL backend and libssl found).
    static bool tlsAvailable();

    // Returns at once; a failure arrives later as errorOccurred or tlsFailed.
    void connectToRemote();
    // Sent complete and in order. While connecting, the bytes wait and go out once connected
    // (over TLS: once the PBX's certificate has been verified); with no connection at all they
    // are dropped.
    void sendData(std::string_view bytes);
    // The bytes received and not yet taken: all of them, or at most `most` (above 0).
    std::string getData(qint64 most = 0);
    // Holds at most this many received bytes (0: no limit, as at first; over TLS as many again
    // once decrypted). Past it nothing more is read from the connection, and TCP holds the PBX
    // back, until bytes are taken or the limit is lifted; either reads again at once.
    void setReadLimit(qint64 bytes);
    void close();

    QAbstractSocket::SocketState state() const { return socket->state(); }
    // Over TLS nothing is available before the PBX's certificate has been checked.
    qint64 bytesAvailable() const { return ssl && !bVerified ? 0 : socket->bytesAvailable(); }
    // All it holds unread: over TLS also the bytes not decrypted yet.
    qint64 bytesHeld() const;
    // Over TLS: the certificate has been verified and the handshake is done.
    bool encrypted() const;

    // What a set of verification errors amounts to. When several apply, the first of: not
    // trusted (then nothing else it says can be believed), another host, expired. A certificate
    // that is itself one of `trusted`, or was issued by one of them, is not untrusted when that
    // one is merely out of its time: it is expired.
    static TlsProblem classify(const QList<QSslError>& errors,
                               const QList<QSslCertificate>& trusted = {});
    // Whether the certificate is for `host`. When it has alternative names (DNS or IP), only
    // they count; otherwise its common name does. A wildcard counts only as the whole left-most
    // label of a name with at least two more (*.example.org), and never for an address; an
    // address is compared as an address.
    static bool namesHost(const QSslCertificate& certificate, const QString& host);

signals:
    // The TCP connection is up (over TLS, the handshake begins).
    void connected();
    void dataArrival(qint64 bytesTotal);
    void errorOccurred(int number, const QString& description);
    // The PBX ended the connection (not sent when we close it ourselves).
    void closedByPeer();
    // TLS could not be set up. Nothing of ours was sent, and the connection is closed; neither
    // errorOccurred nor closedByPeer follows.
    void tlsFailed(corvale::SocketAdapter::TlsProblem problem);

private:
    void adopt(std::unique_ptr<QTcpSocket> next);
    void failTls(TlsProblem problem);
    bool inHandshake() const;
    void verified();

    std::unique_ptr<QTcpSocket> socket;
    QSslSocket* ssl = nullptr; // the same socket, when it is TLS
    QString remoteHost;
    int remotePort = 0;
    bool bUsed = false;                               // a connection was made with `socket`
    std::vector<std::unique_ptr<QTcpSocket>> retired; // earlier connections' sockets
    int nAnnouncing = 0;                              // readyRead handlers on the stack
    bool bClosing = false;
    bool bTcpConnected = false;           // TLS: the handshake has begun
    bool bVerified = false;               // TLS: the handshake is done and the host checked
    std::optional<TlsProblem> tlsProblem; // what the certificate's verification found
    std::string sHeld;                    // TLS: bytes waiting for the handshake to finish
    QList<QSslCertificate> trustedOnly;   // TLS: the only authorities, if any
    qint64 nReadLimit = 0;                // kept for a socket made after it was set
};

} // namespace corvale
