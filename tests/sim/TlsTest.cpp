// The simulator over TLS, seen by Qt's own TLS client.
#include "Blocks.h"
#include "PbxSim.h"
#include "TestCertificates.h"
#include "TestClient.h"

#include <QCoreApplication>
#include <QSslConfiguration>
#include <QSslSocket>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

using namespace simtest;

namespace {

std::string recording(const std::string& name)
{
    std::ifstream in(std::string(CORVALE_FIXTURES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class TlsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // Qt loads its TLS backend as a plugin, which wants an application object.
        static int argc = 1;
        static char name[] = "corvale_pbxsim_wire_tests";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr)
            static QCoreApplication app(argc, argv);
    }

    // Connects to the simulator at 127.0.0.1, verifying its certificate as "localhost" against
    // the test authority; returns whether the handshake succeeded, its errors in `errors`.
    bool connectTls(QSslSocket& socket, quint16 port, QList<QSslError::SslError>& errors)
    {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setCaCertificates(QSslCertificate::fromPath(certs.caFile()));
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket.setSslConfiguration(config);
        QObject::connect(&socket, &QSslSocket::sslErrors, [&](const QList<QSslError>& list) {
            for (const QSslError& e : list)
                errors.push_back(e.error());
        });
        socket.connectToHostEncrypted("127.0.0.1", port, "localhost");
        return socket.waitForEncrypted(10000);
    }

    // Everything the socket receives until `marker` has arrived (or ten seconds have passed).
    static std::string readUntil(QSslSocket& socket, std::string_view marker)
    {
        std::string text;
        std::size_t from = 0;
        while (text.find(marker, from) == std::string::npos && socket.waitForReadyRead(10000)) {
            from = text.size() > marker.size() ? text.size() - marker.size() : 0;
            text += socket.readAll().toStdString();
        }
        return text;
    }

    TestCertificates certs;
};

} // namespace

// Recording 18: after the handshake the conversation is the plain one, byte for byte.
TEST_F(TlsTest, ConversationIsThePlainOneByteForByte)
{
    ASSERT_TRUE(certs.isValid()) << certs.error().toStdString();
    const QStringList pbx = {
        "--dialect", "modern",  "--greeting-version", "13.0.0", "--secret", "secret", "--calls",
        "2",         "--clock", "1796780572"};
    const std::string sent = recording("18_tls_login_status.sent.bin");
    const std::string recorded = recording("18_tls_login_status.recv.bin");
    ASSERT_FALSE(sent.empty());
    const std::string end = "\r\n\r\nEvent: StatusComplete\r\n";

    PbxSim plainSim(pbx);
    ASSERT_NE(plainSim.port(), 0) << plainSim.error().toStdString();
    TestClient plain;
    ASSERT_TRUE(plain.connectTo(plainSim.port()));
    plain.send(sent);
    const std::string expected = plain.readStatus();
    ASSERT_FALSE(plain.timedOut());

    PbxSim tlsSim(pbx + certs.serverArguments(TestCertificates::Good));
    ASSERT_NE(tlsSim.port(), 0) << tlsSim.error().toStdString();
    QSslSocket socket;
    QList<QSslError::SslError> errors;
    ASSERT_TRUE(connectTls(socket, tlsSim.port(), errors)) << socket.errorString().toStdString();
    EXPECT_TRUE(errors.isEmpty());
    socket.write(QByteArray::fromStdString(sent));
    std::string got;
    while (!(got.find(end) != std::string::npos && got.size() > 4 &&
             got.compare(got.size() - 4, 4, "\r\n\r\n") == 0) &&
           socket.waitForReadyRead(10000))
        got += socket.readAll().toStdString();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(shapeOf(got), shapeOf(recorded));
}

// Each faulty certificate, from files or made by the simulator, fails the handshake with the
// error a client must report; the good one passes.
TEST_F(TlsTest, EachFaultyCertificateFailsWithItsOwnError)
{
    ASSERT_TRUE(certs.isValid()) << certs.error().toStdString();
    using E = QSslError::SslError;
    // Qt names both ends of a chain it cannot follow to the authority it trusts.
    const QList<E> untrusted = {E::UnableToGetLocalIssuerCertificate,
                                E::UnableToVerifyFirstCertificate};
    const QStringList authority = {"--tls-ca-cert", certs.caFile(), "--tls-ca-key",
                                   certs.caKeyFile()};
    const struct
    {
        QStringList arguments;
        QList<E> expected;
    } cases[] = {
        {certs.serverArguments(TestCertificates::Good), {}},
        {certs.serverArguments(TestCertificates::WrongHost), {E::HostNameMismatch}},
        {certs.serverArguments(TestCertificates::Expired), {E::CertificateExpired}},
        {certs.serverArguments(TestCertificates::Untrusted), untrusted},
        {QStringList{"--tls-fault", "wrong-host"} + authority, {E::HostNameMismatch}},
        {QStringList{"--tls-fault", "expired"} + authority, {E::CertificateExpired}},
        {{"--tls-fault", "untrusted"}, untrusted},
    };
    for (const auto& [arguments, expected] : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        PbxSim sim(arguments);
        ASSERT_NE(sim.port(), 0) << sim.error().toStdString();
        QSslSocket socket;
        QList<E> errors;
        const bool encrypted = connectTls(socket, sim.port(), errors);
        EXPECT_EQ(encrypted, expected.isEmpty());
        std::sort(errors.begin(), errors.end());
        errors.erase(std::unique(errors.begin(), errors.end()), errors.end());
        EXPECT_EQ(errors, expected);
        if (encrypted) {
            EXPECT_EQ(readUntil(socket, "\r\n"), "Asterisk Call Manager/1.1\r\n");
        }
    }
}

// A listing (2 MB) far bigger than the socket's buffers, then events: the writes that TLS must
// retry once the socket drains lose and repeat nothing.
TEST_F(TlsTest, LargeListingAndEventsCrossIntact)
{
    ASSERT_TRUE(certs.isValid()) << certs.error().toStdString();
    PbxSim sim(
        QStringList{"--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "3000"} +
        certs.serverArguments(TestCertificates::Good));
    ASSERT_NE(sim.port(), 0) << sim.error().toStdString();
    QSslSocket socket;
    QList<QSslError::SslError> errors;
    ASSERT_TRUE(connectTls(socket, sim.port(), errors)) << socket.errorString().toStdString();
    socket.write("Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: call\r\n\r\n"
                 "Action: Status\r\n\r\n");
    std::string text = readUntil(socket, "Authentication accepted\r\n\r\n");
    ASSERT_EQ(sim.command("start SIP/2041-00000001 2041 Alice"), "ok SIP/2041-00000001");
    ASSERT_EQ(sim.command("hangup SIP/2041-00000001"), "ok");
    text += readUntil(socket, "State: NOT_INUSE\r\n\r\n");
    const std::vector<Block> blocks = splitBlocks(text);
    const auto complete = std::find_if(blocks.begin(), blocks.end(), [](const Block& b) {
        return b.front() == "Event: StatusComplete";
    });
    ASSERT_NE(complete, blocks.end());
    EXPECT_EQ(std::to_string(countEvents(text, "Status")), field(*complete, "ListItems"));
    EXPECT_GE(countEvents(text, "Status"), 3000u);
    EXPECT_EQ(countEvents(text, "Newchannel"), 1u);
    EXPECT_EQ(countEvents(text, "Hangup"), 1u);
}
