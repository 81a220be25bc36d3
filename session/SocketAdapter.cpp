#include "SocketAdapter.h"

#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>

namespace corvale {

SocketAdapter::SocketAdapter(QObject* parent)
    : QObject(parent)
{
    adopt(std::make_unique<QTcpSocket>());
}

SocketAdapter::~SocketAdapter() = default;

void SocketAdapter::adopt(std::unique_ptr<QTcpSocket> next)
{
    if (socket)
        socket->disconnect(this);
    socket = std::move(next);
    QTcpSocket* s = socket.get();
    connect(s, &QTcpSocket::readyRead, this,
            [this] { emit dataArrival(socket->bytesAvailable()); });
    connect(s, &QTcpSocket::connected, this, [this] {
        bTcpConnected = true;
        emit connected();
    });
    connect(s, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (bClosing)
            return;
        if (inHandshake())
            failTls(tlsProblem.value_or(TlsProblem::Handshake));
        else
            emit errorOccurred(static_cast<int>(e), socket->errorString());
    });
    connect(s, &QTcpSocket::disconnected, this, [this] {
        if (bClosing)
            return;
        if (inHandshake())
            failTls(tlsProblem.value_or(TlsProblem::Handshake));
        else
            emit closedByPeer();
    });
}

void SocketAdapter::useTls(const QList<QSslCertificate>& trusted)
{
    auto next = std::make_unique<QSslSocket>();
    ssl = next.get();
    if (!trusted.isEmpty()) {
        // Only these: a PBX with a certificate of its own is vouched for by the file the
        // operator named, and by no one else.
        QSslConfiguration configuration = ssl->sslConfiguration();
        configuration.setCaCertificates(trusted);
        ssl->setSslConfiguration(configuration);
    }
    ssl->setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Noted, never ignored: the handshake fails after this, and errorOccurred reports it.
    connect(ssl, &QSslSocket::sslErrors, this,
            [this](const QList<QSslError>& errors) { tlsProblem = classify(errors); });
    connect(ssl, &QSslSocket::encrypted, this, [this] {
        if (sHeld.empty())
            return;
        const std::string held = std::move(sHeld);
        sHeld.clear();
        socket->write(held.data(), static_cast<qint64>(held.size()));
    });
    adopt(std::move(next));
}

bool SocketAdapter::tlsAvailable()
{
    return QSslSocket::supportsSsl();
}

bool SocketAdapter::encrypted() const
{
    return ssl != nullptr && ssl->isEncrypted();
}

bool SocketAdapter::inHandshake() const
{
    return ssl != nullptr && bTcpConnected && !ssl->isEncrypted();
}

void SocketAdapter::failTls(TlsProblem problem)
{
    bClosing = true;
    sHeld.clear();
    socket->abort();
    emit tlsFailed(problem);
}

SocketAdapter::TlsProblem SocketAdapter::classify(const QList<QSslError>& errors)
{
    bool wrongHost = false;
    bool expired = false;
    for (const QSslError& error : errors) {
        switch (error.error()) {
        case QSslError::HostNameMismatch:
            wrongHost = true;
            break;
        case QSslError::CertificateExpired:
        case QSslError::CertificateNotYetValid:
        case QSslError::InvalidNotBeforeField:
        case QSslError::InvalidNotAfterField:
            expired = true;
            break;
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToGetIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
        case QSslError::CertificateRejected:
        case QSslError::CertificateRevoked:
        case QSslError::InvalidCaCertificate:
        case QSslError::CertificateSignatureFailed:
        case QSslError::UnableToDecryptCertificateSignature:
        case QSslError::UnableToDecodeIssuerPublicKey:
        case QSslError::PathLengthExceeded:
        case QSslError::InvalidPurpose:
        case QSslError::SubjectIssuerMismatch:
        case QSslError::AuthorityIssuerSerialNumberMismatch:
            return TlsProblem::Untrusted;
        default:
            break;
        }
    }
    if (wrongHost)
        return TlsProblem::WrongHost;
    if (expired)
        return TlsProblem::Expired;
    return TlsProblem::Handshake;
}

void SocketAdapter::connectToRemote()
{
    bClosing = false;
    bTcpConnected = false;
    tlsProblem.reset();
    sHeld.clear();
    if (remotePort < 1 || remotePort > 65535) {
        // QTcpSocket would only warn; report it the way every other failure arrives.
        QTimer::singleShot(0, this, [this] {
            emit errorOccurred(static_cast<int>(QAbstractSocket::UnknownSocketError),
                               QStringLiteral("Port out of range"));
        });
        return;
    }
    if (ssl) {
        // The certificate must name what the operator typed as the host.
        ssl->connectToHostEncrypted(remoteHost, static_cast<quint16>(remotePort), remoteHost);
        return;
    }
    socket->connectToHost(remoteHost, static_cast<quint16>(remotePort));
}

void SocketAdapter::sendData(std::string_view bytes)
{
    const auto s = socket->state();
    if (s != QAbstractSocket::ConnectedState && s != QAbstractSocket::ConnectingState &&
        s != QAbstractSocket::HostLookupState)
        return;
    if (ssl && !ssl->isEncrypted()) {
        // Nothing of ours goes out before the PBX has shown a certificate that holds.
        sHeld.append(bytes);
        return;
    }
    socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string SocketAdapter::getData()
{
    const QByteArray bytes = socket->readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

qint64 SocketAdapter::bytesHeld() const
{
    return socket->bytesAvailable() + (ssl ? ssl->encryptedBytesAvailable() : 0);
}

void SocketAdapter::setReadLimit(qint64 bytes)
{
    // Virtual: a TLS socket passes it on to the socket underneath, which holds the encrypted bytes.
    socket->setReadBufferSize(bytes);
}

void SocketAdapter::close()
{
    bClosing = true;
    sHeld.clear();
    socket->abort();
}

} // namespace corvale
