#include "SocketAdapter.h"

#include <QDateTime>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace corvale {

namespace {

// A DNS name as compared: ASCII (IDNA) form, lower case, without a final dot.
QString comparable(const QString& name)
{
    QString ascii = QString::fromLatin1(QUrl::toAce(name, QUrl::AceTransitionalProcessing));
    if (ascii.isEmpty())
        ascii = name; // a wildcard, which toAce refuses; only ASCII matches it below
    if (ascii.endsWith(u'.'))
        ascii.chop(1);
    return ascii.toLower();
}

// A presented DNS name against the host's, both comparable().
bool dnsNameMatches(const QString& presented, const QString& host)
{
    if (presented.isEmpty() || host.isEmpty())
        return false;
    if (!presented.startsWith(QLatin1String("*.")))
        return !presented.contains(u'*') && presented == host;
    // "*" stands for exactly one whole label, and leaves at least two: not "*.org".
    const QString rest = presented.mid(2);
    const qsizetype dot = host.indexOf(u'.');
    return !rest.contains(u'*') && rest.contains(u'.') && dot > 0 && host.mid(dot + 1) == rest;
}

bool withinItsTime(const QSslCertificate& certificate)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return certificate.effectiveDate() <= now && now <= certificate.expiryDate();
}

// Whether `issued` names `issuer`'s subject as its issuer.
bool namesIssuer(const QSslCertificate& issued, const QSslCertificate& issuer)
{
    const QList<QByteArray> attributes = issuer.subjectInfoAttributes();
    if (attributes.isEmpty() || attributes.size() != issued.issuerInfoAttributes().size())
        return false;
    return std::all_of(attributes.cbegin(), attributes.cend(), [&](const QByteArray& attribute) {
        return issuer.subjectInfo(attribute) == issued.issuerInfo(attribute);
    });
}

// One of `trusted` that is `certificate` or issued it (by name; only used to word a refusal).
const QSslCertificate* trustedFor(const QSslCertificate& certificate,
                                  const QList<QSslCertificate>& trusted)
{
    if (certificate.isNull())
        return nullptr;
    for (const QSslCertificate& t : trusted) {
        if (t == certificate)
            return &t;
    }
    for (const QSslCertificate& t : trusted) {
        if (namesIssuer(certificate, t))
            return &t;
    }
    return nullptr;
}

} // namespace

SocketAdapter::SocketAdapter(QObject* parent)
    : QObject(parent)
{
    adopt(std::make_unique<QTcpSocket>());
}

SocketAdapter::~SocketAdapter() = default;

void SocketAdapter::adopt(std::unique_ptr<QTcpSocket> next)
{
    if (socket) {
        // It may be inside its own readyRead further up the stack (a box opened while reading):
        // it is freed once nothing announces its data any more.
        socket->disconnect(this);
        retired.push_back(std::move(socket));
        if (nAnnouncing == 0)
            retired.clear();
    }
    socket = std::move(next);
    QTcpSocket* s = socket.get();
    // A socket made after the limit was set gets it too.
    s->setReadBufferSize(nReadLimit);
    connect(s, &QTcpSocket::readyRead, this, [this] {
        if (ssl != nullptr && !bVerified)
            return;
        ++nAnnouncing;
        emit dataArrival(socket->bytesAvailable());
        if (--nAnnouncing == 0)
            retired.clear();
    });
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
    trustedOnly = trusted;
    if (!trusted.isEmpty()) {
        // Only these: a PBX with a certificate of its own is vouched for by the file the
        // operator named, and by no one else.
        QSslConfiguration configuration = ssl->sslConfiguration();
        configuration.setCaCertificates(trusted);
        ssl->setSslConfiguration(configuration);
    }
    ssl->setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Noted, never ignored: the handshake fails after this, and errorOccurred reports it.
    connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
        tlsProblem = classify(errors, trustedOnly);
        // Qt takes a common name the alternative names leave out; another host comes before
        // expired all the same.
        if (tlsProblem == TlsProblem::Expired && !namesHost(ssl->peerCertificate(), remoteHost))
            tlsProblem = TlsProblem::WrongHost;
    });
    connect(ssl, &QSslSocket::encrypted, this, [this] {
        if (namesHost(ssl->peerCertificate(), remoteHost)) {
            verified();
            return;
        }
        // Refused after Qt's own check: nothing is sent or passed on meanwhile (bVerified stays
        // false), and the socket is aborted once Qt has finished with the handshake.
        tlsProblem = TlsProblem::WrongHost;
        QTimer::singleShot(0, this, [this] {
            if (!bClosing && !bVerified)
                failTls(TlsProblem::WrongHost);
        });
    });
    adopt(std::move(next));
}

void SocketAdapter::verified()
{
    bVerified = true;
    if (!sHeld.empty()) {
        const std::string held = std::move(sHeld);
        sHeld.clear();
        socket->write(held.data(), static_cast<qint64>(held.size()));
    }
    if (socket->bytesAvailable() > 0)
        emit dataArrival(socket->bytesAvailable());
}

bool SocketAdapter::namesHost(const QSslCertificate& certificate, const QString& host)
{
    const auto alternatives = certificate.subjectAlternativeNames();
    QStringList dnsNames = alternatives.values(QSsl::DnsEntry);
    const QStringList addresses = alternatives.values(QSsl::IpAddressEntry);
    const bool hasAlternatives = !dnsNames.isEmpty() || !addresses.isEmpty();
    const QHostAddress hostAddress(host);
    if (!hostAddress.isNull()) {
        const auto isHost = [&hostAddress](const QString& text) {
            const QHostAddress address(text);
            return !address.isNull() &&
                   address.isEqual(hostAddress, QHostAddress::StrictConversion);
        };
        if (hasAlternatives)
            return std::any_of(addresses.cbegin(), addresses.cend(), isHost);
        const QStringList commonNames = certificate.subjectInfo(QSslCertificate::CommonName);
        return std::any_of(commonNames.cbegin(), commonNames.cend(), isHost);
    }
    if (!hasAlternatives)
        dnsNames = certificate.subjectInfo(QSslCertificate::CommonName);
    const QString wanted = comparable(host);
    return std::any_of(dnsNames.cbegin(), dnsNames.cend(), [&wanted](const QString& name) {
        return dnsNameMatches(comparable(name), wanted);
    });
}

bool SocketAdapter::tlsAvailable()
{
    return QSslSocket::supportsSsl();
}

bool SocketAdapter::encrypted() const
{
    return ssl != nullptr && bVerified && ssl->isEncrypted();
}

bool SocketAdapter::inHandshake() const
{
    return ssl != nullptr && bTcpConnected && !bVerified;
}

void SocketAdapter::failTls(TlsProblem problem)
{
    bClosing = true;
    sHeld.clear();
    socket->abort();
    emit tlsFailed(problem);
}

SocketAdapter::TlsProblem SocketAdapter::classify(const QList<QSslError>& errors,
                                                  const QList<QSslCertificate>& trusted)
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
        case QSslError::AuthorityIssuerSerialNumberMismatch: {
            // OpenSSL passes over a trusted certificate out of its time, and then finds no
            // issuer: the certificate in question is trusted all the same, only not now.
            const QSslCertificate* anchor = trustedFor(error.certificate(), trusted);
            if (anchor == nullptr || withinItsTime(*anchor))
                return TlsProblem::Untrusted;
            expired = true;
            break;
        }
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
    // Each connection gets a socket of its own: Qt announces no data of a socket while its
    // readyRead is still being handled, and a connection made again from there would be deaf.
    if (bUsed) {
        if (ssl)
            useTls(trustedOnly);
        else
            adopt(std::make_unique<QTcpSocket>());
    }
    bUsed = true;
    bClosing = false;
    bTcpConnected = false;
    bVerified = false;
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
    if (ssl && !bVerified) {
        // Nothing of ours goes out before the PBX has shown a certificate that holds.
        sHeld.append(bytes);
        return;
    }
    socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

std::string SocketAdapter::getData(qint64 most)
{
    if (ssl && !bVerified)
        return {};
    const QByteArray bytes = most > 0 ? socket->read(most) : socket->readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

qint64 SocketAdapter::bytesHeld() const
{
    return socket->bytesAvailable() + (ssl ? ssl->encryptedBytesAvailable() : 0);
}

void SocketAdapter::setReadLimit(qint64 bytes)
{
    nReadLimit = bytes;
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
