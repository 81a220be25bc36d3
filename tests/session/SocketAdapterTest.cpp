#include "SocketAdapter.h"

#include "TestCertificates.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslError>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

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

TEST_F(SocketAdapterTest, ReadLimitHoldsThePeerBackAndLiftingItLosesNothing)
{
    QTcpSocket* peer = connectAdapter();
    ASSERT_NE(peer, nullptr);
    // Numbered lines, so that a byte lost, repeated or out of place shows; far more than the
    // kernel buffers between the two ends hold.
    std::string sent;
    for (int i = 0; sent.size() < (16u << 20); ++i)
        sent += "Line: " + std::to_string(i) + "\r\n";
    peer->write(sent.data(), static_cast<qint64>(sent.size()));

    constexpr qint64 Limit = 64 * 1024;
    std::string got;
    bool limited = false;
    bool filled = false;
    qint64 held = -1;
    qint64 peerLeft = -1;
    QObject::connect(&adapter, &SocketAdapter::dataArrival, &adapter, [&] {
        got += adapter.getData();
        if (limited)
            return;
        limited = true;
        // As the window does around a message box opened here: Qt reports no more data until
        // this returns, so the limit goes on, the event loop runs, and the limit comes off.
        adapter.setReadLimit(Limit);
        filled = QTest::qWaitFor([&] { return adapter.bytesAvailable() >= Limit; }, Wait);
        QTest::qWait(100); // the peer goes on writing all the while
        held = adapter.bytesAvailable();
        peerLeft = peer->bytesToWrite();
        adapter.setReadLimit(0);
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.size() >= sent.size(); }, 20000)) << got.size();
    EXPECT_TRUE(filled);
    EXPECT_EQ(held, Limit);
    EXPECT_GT(peerLeft, 0); // TCP held it back
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent);
}

TEST(SocketAdapterIdleTest, SendWithoutAConnectionIsDropped)
{
    SocketAdapter adapter;
    adapter.sendData("Action: Status\r\n\r\n");
    EXPECT_EQ(adapter.state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(adapter.getData(), "");
}

TEST(SocketAdapterTlsTest, MachineHasTls)
{
    EXPECT_TRUE(SocketAdapter::tlsAvailable());
}

TEST(SocketAdapterTlsTest, AnUntrustedCertificateSaysSoWhateverElseIsWrong)
{
    using Problem = SocketAdapter::TlsProblem;
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

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The adapter over TLS against a server on 127.0.0.1 with a certificate of the test's choosing.
class SocketAdapterOverTlsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        certs = new TestCertificates;
        ASSERT_TRUE(certs->isValid()) << certs->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete certs;
        certs = nullptr;
    }

    // Makes a certificate; SetUp has made none.
    static void make(const QString& name, const TestCertificates::Made& wanted)
    {
        ASSERT_TRUE(certs->make(name, wanted)) << certs->error().toStdString();
    }
    static QList<QSslCertificate> certificatesIn(const QString& name)
    {
        return QSslCertificate::fromPath(certs->certificateFile(name));
    }

    // A server's TLS with the named certificate and its key.
    static QSslConfiguration serving(const QString& name)
    {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(certificatesIn(name).value(0));
        configuration.setPrivateKey(QSslKey(readFile(certs->keyFile(name)), QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        return configuration;
    }

    // Serves the named certificate on a fresh port; the server's side of the connection is
    // `peer` from the start of its handshake.
    void serve(const QString& name)
    {
        server.setSslConfiguration(serving(name));
        QObject::connect(&server, &QSslServer::startedEncryptionHandshake, &server,
                         [this](QSslSocket* socket) {
                             peer = socket;
                             QObject::connect(socket, &QSslSocket::readyRead, socket,
                                              [this] { received += peer->readAll(); });
                         });
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    }

    void connectAdapter(const QString& host = QStringLiteral("localhost"))
    {
        adapter.setRemoteHost(host);
        adapter.setRemotePort(server.serverPort());
        adapter.connectToRemote();
    }

    static inline TestCertificates* certs = nullptr;
    QSslServer server;
    QPointer<QSslSocket> peer;
    QByteArray received;
    SocketAdapter adapter;
};

} // namespace

TEST_F(SocketAdapterOverTlsTest, ReadLimitHoldsWhetherSetBeforeOrAfterTls)
{
    constexpr qint64 Limit = 64 * 1024;
    for (const bool limitFirst : {true, false}) {
        SCOPED_TRACE(limitFirst ? "limit, then TLS" : "TLS, then limit");
        SocketAdapter tls;
        if (limitFirst)
            tls.setReadLimit(Limit);
        tls.useTls(certificatesIn(QStringLiteral("ca")));
        if (!limitFirst)
            tls.setReadLimit(Limit);
        QSslServer limited;
        limited.setSslConfiguration(serving(QStringLiteral("localhost")));
        ASSERT_TRUE(limited.listen(QHostAddress::LocalHost, 0));
        tls.setRemoteHost(QStringLiteral("localhost"));
        tls.setRemotePort(limited.serverPort());
        tls.connectToRemote();
        ASSERT_TRUE(QTest::qWaitFor([&] { return limited.hasPendingConnections(); }, Wait));
        auto* pbx = static_cast<QSslSocket*>(limited.nextPendingConnection());

        std::string sent;
        for (int i = 0; sent.size() < (4u << 20); ++i)
            sent += "Line: " + std::to_string(i) + "\r\n";
        pbx->write(sent.data(), static_cast<qint64>(sent.size()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return tls.bytesAvailable() >= Limit; }, Wait));
        QTest::qWait(100); // the PBX goes on writing all the while
        // Decrypted up to the limit, and as much again waiting to be decrypted.
        EXPECT_LE(tls.bytesHeld(), 4 * Limit);
        EXPECT_GT(pbx->bytesToWrite() + pbx->encryptedBytesToWrite(), 0);

        tls.setReadLimit(0);
        std::string got;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                got += tls.getData();
                return got.size() >= sent.size();
            },
            20000));
        EXPECT_TRUE(got == sent) << got.size();
    }
}

TEST_F(SocketAdapterOverTlsTest, OnlyTheAlternativeNamesCountWhenThereAreAny)
{
    // Qt alone would take the common name, localhost, as well.
    TestCertificates::Made other;
    other.altNames = QStringLiteral("DNS:other.example.org");
    make(QStringLiteral("other"), other);
    serve(QStringLiteral("other"));
    adapter.useTls(certificatesIn(QStringLiteral("ca")));
    QSignalSpy failed(&adapter, &SocketAdapter::tlsFailed);
    QSignalSpy arrived(&adapter, &SocketAdapter::dataArrival);
    connectAdapter();
    adapter.sendData("Action: Login\r\nUsername: admin\r\n");
    ASSERT_TRUE(failed.wait(Wait));
    EXPECT_EQ(failed.first().at(0).value<SocketAdapter::TlsProblem>(),
              SocketAdapter::TlsProblem::WrongHost);
    EXPECT_FALSE(adapter.encrypted());
    // Whatever the PBX managed to say is not passed on, and nothing of ours reached it.
    ASSERT_TRUE(peer);
    peer->write("Asterisk Call Manager/5.0.1\r\n");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !peer || peer->state() != QAbstractSocket::ConnectedState; }, Wait));
    EXPECT_EQ(arrived.count(), 0);
    EXPECT_EQ(adapter.getData(), "");
    EXPECT_EQ(received, QByteArray());
    EXPECT_EQ(failed.count(), 1);
}

TEST_F(SocketAdapterOverTlsTest, HostNamesMatchAsForTheWeb)
{
    const struct
    {
        const char* commonName;
        const char* altNames;
        const char* host;
        bool names;
    } cases[] = {
        {"localhost", "DNS:other.example.org", "localhost", false},
        {"localhost", "DNS:other.example.org,DNS:localhost", "localhost", true},
        {"pbx.example.org", "", "PBX.Example.org.", true}, // no alternatives: the common name
        {"x", "DNS:PBX.example.ORG", "pbx.example.org", true},
        {"x", "DNS:*.example.org", "pbx.example.org", true},
        {"x", "DNS:*.example.org", "example.org", false},
        {"x", "DNS:*.example.org", "a.pbx.example.org", false},
        {"x", "DNS:p*.example.org", "pbx.example.org", false},
        {"x", "DNS:pbx.*.org", "pbx.example.org", false},
        {"x", "DNS:*.org", "example.org", false},
        {"*.example.org", "", "f.example.org", true},
        {"f*.example.org", "", "fx.example.org", false},
        {"x", "DNS:xn--bcher-kva.example", "b\u00fccher.example", true},
        // An address is compared as an address, with the IP names only.
        {"127.0.0.1", "DNS:localhost", "127.0.0.1", false},
        {"x", "DNS:127.0.0.1", "127.0.0.1", false},
        {"x", "IP:127.0.0.1", "127.0.0.1", true},
        {"x", "IP:::1", "0:0:0:0:0:0:0:1", true},
        {"x", "DNS:*.0.0.1", "127.0.0.1", false},
        {"x", "IP:127.0.0.1", "localhost", false},
        {"192.0.2.10", "", "192.0.2.10", true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.commonName) + " / " + c.altNames + " for " + c.host);
        TestCertificates::Made wanted;
        wanted.commonName = QString::fromUtf8(c.commonName);
        wanted.altNames = QString::fromUtf8(c.altNames);
        const QString name = QStringLiteral("names-%1").arg(++n);
        wanted.signedBy = name;
        make(name, wanted);
        EXPECT_EQ(
            SocketAdapter::namesHost(certificatesIn(name).value(0), QString::fromUtf8(c.host)),
            c.names);
    }
}

TEST_F(SocketAdapterOverTlsTest, AnExpiredCertificateInTheFileIsCalledExpired)
{
    using Problem = SocketAdapter::TlsProblem;
    const QString Local = QStringLiteral("DNS:localhost,IP:127.0.0.1");
    // A self-signed one, as the PBX's own certificate; and an authority that issued a good one.
    TestCertificates::Made own;
    own.altNames = Local;
    own.authority = true;
    own.fromDays = -400;
    own.toDays = -1;
    own.signedBy = QStringLiteral("own-expired");
    make(own.signedBy, own);
    own.fromDays = 2;
    own.toDays = 90;
    own.signedBy = QStringLiteral("own-early");
    make(own.signedBy, own);
    TestCertificates::Made authority;
    authority.commonName = QStringLiteral("An authority past its time");
    authority.authority = true;
    authority.fromDays = -400;
    authority.toDays = -1;
    authority.signedBy = QStringLiteral("old-ca");
    make(authority.signedBy, authority);
    TestCertificates::Made issued;
    issued.altNames = Local;
    issued.signedBy = QStringLiteral("old-ca");
    make(QStringLiteral("issued-by-old-ca"), issued);

    const struct
    {
        const char* served;
        const char* trusted; // empty: the test authority
        Problem problem;
    } cases[] = {
        {"own-expired", "own-expired", Problem::Expired},
        {"own-early", "own-early", Problem::Expired},
        {"issued-by-old-ca", "old-ca", Problem::Expired},
        {"expired", "", Problem::Expired},
        // Expired too, but from nowhere the file names: that comes first.
        {"own-expired", "", Problem::Untrusted},
        {"issued-by-old-ca", "own-expired", Problem::Untrusted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.served) + " trusting " + c.trusted);
        QSslServer pbx;
        pbx.setSslConfiguration(serving(QString::fromLatin1(c.served)));
        ASSERT_TRUE(pbx.listen(QHostAddress::LocalHost, 0));
        SocketAdapter tls;
        tls.useTls(*c.trusted != 0 ? certificatesIn(QString::fromLatin1(c.trusted))
                                   : certificatesIn(QStringLiteral("ca")));
        tls.setRemoteHost(QStringLiteral("localhost"));
        tls.setRemotePort(pbx.serverPort());
        QSignalSpy failed(&tls, &SocketAdapter::tlsFailed);
        tls.connectToRemote();
        ASSERT_TRUE(failed.wait(Wait));
        EXPECT_EQ(failed.first().at(0).value<Problem>(), c.problem);
    }
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
