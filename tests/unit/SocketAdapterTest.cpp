#include "SocketAdapter.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QSslError>
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

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
