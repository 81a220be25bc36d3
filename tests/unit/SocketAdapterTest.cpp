#include "SocketAdapter.h"

#include "TlsTestFiles.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using corvale::SocketAdapter;

namespace {

constexpr int Wait = 5000;

class SocketAdapterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0)); }

    // Connects the adapter and returns the server's side of the connection.
    QTcpSocket* connectAdapter()
    {
        adapter.setRemoteHost(QStringLiteral("127.0.0.1"));
        adapter.setRemotePort(server.serverPort());
        adapter.connectToRemote();
        if (!server.waitForNewConnection(Wait))
            return nullptr;
        QTcpSocket* peer = server.nextPendingConnection();
        return peer;
    }

    // Collects what the adapter receives until `size` bytes have come.
    std::string receive(std::size_t size)
    {
        std::string got;
        QSignalSpy spy(&adapter, &SocketAdapter::dataArrival);
        while (got.size() < size) {
            if (adapter.bytesAvailable() == 0 && !spy.wait(Wait))
                break;
            got += adapter.getData();
        }
        return got;
    }

    QTcpServer server;
    SocketAdapter adapter;
};

} // namespace

TEST_F(SocketAdapterTest, BytesCrossUnchangedBothWays)
{
    QTcpSocket* peer = connectAdapter();
    ASSERT_NE(peer, nullptr);

    // Sent while still connecting: goes out once connected.
    const std::string login = "Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: Off\r\n\r\n";
    adapter.sendData(login);
    adapter.sendData("Action: Status\r\n\r\n");
    QByteArray seen;
    QSignalSpy readable(peer, &QTcpSocket::readyRead);
    while (seen.size() < 75 && (peer->bytesAvailable() > 0 || readable.wait(Wait)))
        seen += peer->readAll();
    EXPECT_EQ(seen.toStdString(), login + "Action: Status\r\n\r\n");

    // Every byte value, and a UTF-8 name, arrive one byte per character.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    all += "CallerIDName: Zo\xc3\xab\r\n";
    peer->write(all.data(), 100);
    peer->flush();
    peer->write(all.data() + 100, static_cast<qint64>(all.size()) - 100);
    peer->flush();
    EXPECT_EQ(receive(all.size()), all);
}

TEST_F(SocketAdapterTest, RefusedPortIsReportedAsAnError)
{
    const quint16 port = server.serverPort();
    server.close();
    adapter.setRemoteHost(QStringLiteral("127.0.0.1"));
    adapter.setRemotePort(port);
    QSignalSpy errors(&adapter, &SocketAdapter::errorOccurred);
    adapter.connectToRemote();
    ASSERT_TRUE(errors.wait(Wait));
    EXPECT_EQ(errors.first().at(0).toInt(),
              static_cast<int>(QAbstractSocket::ConnectionRefusedError));
}

TEST_F(SocketAdapterTest, PortOutsideTheTcpRangeIsReportedAsAnError)
{
    for (const int port : {0, 65536, -1}) {
        SocketAdapter other;
        other.setRemoteHost(QStringLiteral("127.0.0.1"));
        other.setRemotePort(port);
        QSignalSpy errors(&other, &SocketAdapter::errorOccurred);
        other.connectToRemote();
        EXPECT_TRUE(errors.wait(Wait)) << port;
    }
}

TEST_F(SocketAdapterTest, PeerClosingIsReportedAndOurOwnCloseIsNot)
{
    QTcpSocket* peer = connectAdapter();
    ASSERT_NE(peer, nullptr);
    QSignalSpy connected(&adapter, &SocketAdapter::dataArrival);
    peer->write("Asterisk Call Manager/1.1\r\n");
    ASSERT_TRUE(connected.wait(Wait));
    QSignalSpy closed(&adapter, &SocketAdapter::closedByPeer);
    peer->close();
    EXPECT_TRUE(closed.wait(Wait));

    QTcpSocket* second = connectAdapter();
    ASSERT_NE(second, nullptr);
    QSignalSpy closedAgain(&adapter, &SocketAdapter::closedByPeer);
    QSignalSpy errors(&adapter, &SocketAdapter::errorOccurred);
    adapter.close();
    QCoreApplication::processEvents();
    EXPECT_EQ(closedAgain.count(), 0);
    EXPECT_EQ(errors.count(), 0);
}

TEST(SocketAdapterIdleTest, SendWithoutAConnectionIsDropped)
{
    SocketAdapter adapter;
    adapter.sendData("Action: Status\r\n\r\n");
    EXPECT_EQ(adapter.state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(adapter.getData(), "");
}

namespace {

using Problem = SocketAdapter::TlsProblem;

QList<QSslCertificate> certificatesIn(const QString& path)
{
    return QSslCertificate::fromPath(path, QSsl::Pem);
}

// A TLS server on 127.0.0.1 presenting one certificate. It keeps the server side of every
// connection, so a test can see whether anything of the client's ever arrived.
class TlsPeer
{
public:
    explicit TlsPeer(const TlsTestFiles::Pair& pair)
    {
        QFile keyFile(pair.key);
        keyFile.open(QIODevice::ReadOnly);
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(certificatesIn(pair.certificate).value(0));
        configuration.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        server.setSslConfiguration(configuration);
        QObject::connect(
            &server, &QSslServer::startedEncryptionHandshake, &server, [this](QSslSocket* socket) {
                QObject::connect(socket, &QSslSocket::readyRead, socket,
                                 [this, socket] { received += socket->readAll(); });
                QObject::connect(socket, &QSslSocket::encrypted, socket, [this] { ++nEncrypted; });
                // The server side ends either way: closed by the client, or let go by the server.
                QObject::connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QObject::destroyed, &server, [this] { ++nGone; });
            });
        server.listen(QHostAddress::LocalHost, 0);
    }

    QSslServer server;
    QByteArray received; // decrypted: what the client sent after a finished handshake
    int nEncrypted = 0;
    int nGone = 0;
};

} // namespace

TEST(SocketAdapterTlsTest, MachineHasTls)
{
    EXPECT_TRUE(SocketAdapter::tlsAvailable());
}

TEST(SocketAdapterTlsTest, BytesCrossUnchangedOnceTheCertificateHolds)
{
    TlsTestFiles files;
    ASSERT_TRUE(files.ok()) << files.error().toStdString();
    TlsPeer peer(files.make(TlsTestFiles::Kind::Good));
    ASSERT_TRUE(peer.server.isListening());

    SocketAdapter adapter;
    adapter.useTls(certificatesIn(files.caFile()));
    adapter.setRemoteHost(QStringLiteral("127.0.0.1"));
    adapter.setRemotePort(peer.server.serverPort());
    QSignalSpy failed(&adapter, &SocketAdapter::tlsFailed);
    adapter.connectToRemote();
    // Written before the handshake: waits for it, then goes out unchanged.
    adapter.sendData("Action: Status\r\n\r\n");
    EXPECT_FALSE(adapter.encrypted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return peer.server.hasPendingConnections(); }, Wait));
    QTcpSocket* side = peer.server.nextPendingConnection();
    ASSERT_NE(side, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return peer.received.size() >= 18; }, Wait));
    EXPECT_EQ(peer.received, QByteArray("Action: Status\r\n\r\n"));
    EXPECT_TRUE(adapter.encrypted());

    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    side->write(all.data(), static_cast<qint64>(all.size()));
    std::string got;
    QSignalSpy arrived(&adapter, &SocketAdapter::dataArrival);
    while (got.size() < all.size() && (adapter.bytesAvailable() > 0 || arrived.wait(Wait)))
        got += adapter.getData();
    EXPECT_EQ(got, all);
    EXPECT_EQ(failed.count(), 0);
}

TEST(SocketAdapterTlsTest, ASelfSignedCertificateHoldsWhenItIsTheOneTrusted)
{
    // What a PBX with a certificate of its own has: the same file on both sides.
    TlsTestFiles files;
    const TlsTestFiles::Pair self = files.makeSelfSigned();
    ASSERT_TRUE(files.ok()) << files.error().toStdString();
    TlsPeer peer(self);
    SocketAdapter adapter;
    adapter.useTls(certificatesIn(self.certificate));
    adapter.setRemoteHost(QStringLiteral("localhost"));
    adapter.setRemotePort(peer.server.serverPort());
    QSignalSpy failed(&adapter, &SocketAdapter::tlsFailed);
    adapter.connectToRemote();
    adapter.sendData("Action: Status\r\n\r\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return peer.received.size() >= 18; }, Wait));
    EXPECT_EQ(peer.received, QByteArray("Action: Status\r\n\r\n"));
    EXPECT_TRUE(adapter.encrypted());
    EXPECT_EQ(failed.count(), 0);
}

TEST(SocketAdapterTlsTest, EachBadCertificateFailsWithItsKindAndSendsNothing)
{
    TlsTestFiles files;
    ASSERT_TRUE(files.ok()) << files.error().toStdString();
    const QList<QSslCertificate> ours = certificatesIn(files.caFile());
    struct Case
    {
        const char* what;
        TlsTestFiles::Pair pair;
        QList<QSslCertificate> trusted;
        Problem expected;
    };
    const Case cases[] = {
        {"expired", files.make(TlsTestFiles::Kind::Expired), ours, Problem::Expired},
        {"not yet valid", files.make(TlsTestFiles::Kind::NotYetValid), ours, Problem::Expired},
        {"for another host", files.make(TlsTestFiles::Kind::OtherHost), ours, Problem::WrongHost},
        {"self-signed", files.makeSelfSigned(), ours, Problem::Untrusted},
        // Signed by the test authority, which the system does not know.
        {"unknown authority", files.make(TlsTestFiles::Kind::Good), {}, Problem::Untrusted},
    };
    ASSERT_TRUE(files.ok()) << files.error().toStdString();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TlsPeer peer(c.pair);
        SocketAdapter adapter;
        adapter.useTls(c.trusted);
        adapter.setRemoteHost(QStringLiteral("127.0.0.1"));
        adapter.setRemotePort(peer.server.serverPort());
        QSignalSpy failed(&adapter, &SocketAdapter::tlsFailed);
        QSignalSpy errors(&adapter, &SocketAdapter::errorOccurred);
        QSignalSpy closed(&adapter, &SocketAdapter::closedByPeer);
        adapter.connectToRemote();
        adapter.sendData("Action: login\r\nUsername: admin\r\nSecret: s3cret\r\n\r\n");
        ASSERT_TRUE(failed.wait(Wait));
        EXPECT_EQ(failed.first().at(0).value<Problem>(), c.expected);
        EXPECT_EQ(adapter.state(), QAbstractSocket::UnconnectedState);
        adapter.sendData("Action: Status\r\n\r\n");
        // Once the server side has ended, nothing of ours had reached it.
        EXPECT_TRUE(QTest::qWaitFor([&] { return peer.nGone == 1; }, Wait));
        EXPECT_EQ(peer.nEncrypted, 0);
        EXPECT_TRUE(peer.received.isEmpty());
        EXPECT_EQ(failed.count(), 1);
        EXPECT_EQ(errors.count(), 0);
        EXPECT_EQ(closed.count(), 0);
    }
}

TEST(SocketAdapterTlsTest, APlainPeerGetsNothingButTheClientHello)
{
    TlsTestFiles files;
    ASSERT_TRUE(files.ok()) << files.error().toStdString();
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    SocketAdapter adapter;
    adapter.useTls(certificatesIn(files.caFile()));
    adapter.setRemoteHost(QStringLiteral("127.0.0.1"));
    adapter.setRemotePort(server.serverPort());
    QSignalSpy failed(&adapter, &SocketAdapter::tlsFailed);
    adapter.connectToRemote();
    adapter.sendData("Action: login\r\nUsername: admin\r\nSecret: s3cret\r\n\r\n");
    ASSERT_TRUE(server.waitForNewConnection(Wait));
    QTcpSocket* peer = server.nextPendingConnection();
    QByteArray seen;
    // A TLS record: type, version, 2-byte length; the ClientHello is one handshake record.
    const auto recordSize = [&] {
        return seen.size() < 5 ? -1
                               : 5 + (static_cast<unsigned char>(seen[3]) << 8 |
                                      static_cast<unsigned char>(seen[4]));
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            seen += peer->readAll();
            return recordSize() >= 0 && seen.size() >= recordSize();
        },
        Wait));
    // A PBX without TLS on that port: it greets in plain text.
    peer->write("Asterisk Call Manager/13.0.0\r\n");
    ASSERT_TRUE(failed.wait(Wait));
    EXPECT_EQ(failed.first().at(0).value<Problem>(), Problem::Handshake);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return peer->state() == QAbstractSocket::UnconnectedState; }, Wait));
    seen += peer->readAll();
    ASSERT_GE(seen.size(), 6);
    EXPECT_EQ(seen[0], '\x16'); // handshake
    EXPECT_EQ(seen[5], '\x01'); // ClientHello
    EXPECT_EQ(seen.size(), recordSize());
    EXPECT_FALSE(seen.contains("s3cret"));
}

TEST(SocketAdapterTlsTest, NoPbxAtThePortIsAConnectionError)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();
    SocketAdapter adapter;
    adapter.useTls({});
    adapter.setRemoteHost(QStringLiteral("127.0.0.1"));
    adapter.setRemotePort(port);
    QSignalSpy errors(&adapter, &SocketAdapter::errorOccurred);
    QSignalSpy failed(&adapter, &SocketAdapter::tlsFailed);
    adapter.connectToRemote();
    ASSERT_TRUE(errors.wait(Wait));
    EXPECT_EQ(errors.first().at(0).toInt(),
              static_cast<int>(QAbstractSocket::ConnectionRefusedError));
    EXPECT_EQ(failed.count(), 0);
}

TEST(SocketAdapterTlsTest, AnUntrustedCertificateSaysSoWhateverElseIsWrong)
{
    const auto problem = [](std::initializer_list<QSslError::SslError> kinds) {
        QList<QSslError> errors;
        for (const auto kind : kinds)
            errors << QSslError(kind);
        return SocketAdapter::classify(errors);
    };
    EXPECT_EQ(problem({QSslError::CertificateExpired, QSslError::HostNameMismatch,
                       QSslError::SelfSignedCertificate}),
              Problem::Untrusted);
    EXPECT_EQ(problem({QSslError::CertificateExpired, QSslError::HostNameMismatch}),
              Problem::WrongHost);
    EXPECT_EQ(problem({QSslError::CertificateNotYetValid}), Problem::Expired);
    EXPECT_EQ(problem({QSslError::UnableToGetLocalIssuerCertificate}), Problem::Untrusted);
    EXPECT_EQ(problem({QSslError::UnspecifiedError}), Problem::Handshake);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
