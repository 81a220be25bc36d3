// The protected connection end to end in the window: the challenge login and TLS against a PBX
// played from the recordings (the bytes sent must be the recorded ones) and against the
// simulator, and every way TLS can fail, each with its message, the end of the run, and nothing
// of the client's at the PBX.
#include "PbxSim.h"
#include "ScriptedPbx.h"
#include "TestCertificates.h"
#include "WindowHarness.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString ConnectionError = u"I encounted an error - is the host there and the port open?"_s;
const QString Rejected = u"Your manager details are incorrect"_s;
constexpr int Wait = 10000;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray recording(const QString& name)
{
    return readFile(QStringLiteral(CORVALE_FIXTURES_DIR) + u'/' + name);
}

// Plays a recorded conversation: the greeting at once, then each later piece of what the PBX
// sent once the client has sent the request that the PBX answered with it.
void replay(ScriptedPbx& pbx, const QString& name, const QList<QByteArray>& requests)
{
    const QByteArray received = recording(name + u".recv.bin"_s);
    qsizetype at = received.indexOf("\r\n") + 2;
    pbx.greet(received.left(at));
    for (qsizetype i = 0; i < requests.size(); ++i) {
        // Each answer runs to the start of the next one, the last to the end.
        qsizetype next = received.size();
        if (i + 1 < requests.size())
            next = received.indexOf("Response: ", received.indexOf("\r\n\r\n", at) + 4);
        pbx.onRequest(requests[i], received.mid(at, next - at));
        at = next;
    }
}

QSslConfiguration serverTls(const TestCertificates& certs)
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(
        QSslCertificate::fromPath(certs.certificateFile(TestCertificates::Good)).value(0));
    configuration.setPrivateKey(QSslKey(readFile(certs.keyFile(TestCertificates::Good)), QSsl::Ec));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

// What the client sent, from the simulator's transcript: its "C>" lines.
QByteArray clientLines(const QString& transcriptPath)
{
    QByteArray out;
    for (const QByteArray& line : readFile(transcriptPath).split('\n')) {
        if (line.startsWith("C> "))
            out += line + '\n';
    }
    return out;
}

const QByteArray Challenge = "Action: Challenge\r\nAuthType: MD5\r\n\r\n";
const QByteArray LoginEnd = "Events: Off\r\n\r\n";
const QByteArray Status = "Action: Status\r\nActionID: *\r\n\r\n";

// The two calls of recordings 17 and 18.
QStringList recordedCalls(const QString& minutes)
{
    return {u"Local/2001@calls-00000026;2 From: 5552001 <Carol Smith> To: 2001 Lasted: %1 "
            "minutes."_s.arg(minutes),
            u"Local/2001@calls-00000026;1 From: 8002001 <Agent 2001> To: 2001 Lasted: %1 "
            "minutes."_s.arg(minutes)};
}

} // namespace

class SecureTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordedConversationsAreSentByteForByte_data();
    void recordedConversationsAreSentByteForByte();
    void theSimulatorsCallsAreListed_data();
    void theSimulatorsCallsAreListed();
    void aSelfSignedCertificateMadeAsTheReadmeSaysHolds();
    void aWrongSecretIsRefusedAsAlways_data();
    void aWrongSecretIsRefusedAsAlways();
    void aRefusedChallengeShowsThePbxsOwnWords();
    void badCertificateEndsTheRunAndSendsNothing_data();
    void badCertificateEndsTheRunAndSendsNothing();
    void aPlainPortGetsOnlyTheClientHello();
    void noPbxAtTheTlsPortIsTheConnectionError();

private:
    std::unique_ptr<TestCertificates> certs;
    QList<QSslCertificate> ours; // the test authority
};

void SecureTest::initTestCase()
{
    certs = std::make_unique<TestCertificates>();
    QVERIFY2(certs->isValid(), qPrintable(certs->error()));
    ours = QSslCertificate::fromPath(certs->caFile());
    QCOMPARE(ours.size(), 1);
    // Qt alone would take the host in the common name.
    TestCertificates::Made commonNameOnly;
    commonNameOnly.commonName = u"127.0.0.1"_s;
    commonNameOnly.altNames = u"DNS:other.example.org"_s;
    QVERIFY2(certs->make(u"common-name-only"_s, commonNameOnly), qPrintable(certs->error()));
    // A PBX's own self-signed certificate, given with --tls-ca, that has run out.
    TestCertificates::Made ownExpired;
    ownExpired.altNames = u"DNS:localhost,IP:127.0.0.1"_s;
    ownExpired.authority = true;
    ownExpired.fromDays = -400;
    ownExpired.toDays = -1;
    ownExpired.signedBy = u"own-expired"_s;
    QVERIFY2(certs->make(u"own-expired"_s, ownExpired), qPrintable(certs->error()));
}

void SecureTest::recordedConversationsAreSentByteForByte_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("challenge");
    QTest::addColumn<QString>("name");
    QTest::newRow("challenge login") << false << true << u"17_challenge_md5_login"_s;
    QTest::newRow("TLS") << true << false << u"18_tls_login_status"_s;
    QTest::newRow("challenge login over TLS") << true << true << u"17_challenge_md5_login"_s;
}

void SecureTest::recordedConversationsAreSentByteForByte()
{
    QFETCH(bool, tls);
    QFETCH(bool, challenge);
    QFETCH(QString, name);
    ScriptedPbx pbx(tls ? std::optional(serverTls(*certs)) : std::nullopt);
    if (challenge)
        replay(pbx, name, {Challenge, LoginEnd, Status});
    else
        replay(pbx, name, {LoginEnd, Status});

    WindowHarness h;
    if (tls)
        h.window.useTls(ours);
    if (challenge)
        h.window.useChallengeLogin();
    h.window.show();
    h.connectTo(pbx.port(), u"secret"_s); // the recordings' secret
    QTRY_COMPARE_WITH_TIMEOUT(
        h.shownEntries(), recordedCalls(name.startsWith(u"17"_s) ? u"0.02"_s : u"0.08"_s), Wait);
    // Byte for byte what the client sent to the real PBX, the key made by the window included.
    QCOMPARE(pbx.received(),
             recording(name + u".sent.bin"_s).replace("Action: Status\r\n\r\n", Status));
    QVERIFY(h.messages.isEmpty());
    QVERIFY(h.exits.isEmpty());
    QCOMPARE(h.window.socket().encrypted(), tls);
}

void SecureTest::theSimulatorsCallsAreListed_data()
{
    QTest::addColumn<bool>("challenge");
    QTest::newRow("TLS") << false;
    QTest::newRow("TLS and the challenge login") << true;
}

void SecureTest::theSimulatorsCallsAreListed()
{
    QFETCH(bool, challenge);
    PbxSim sim(certs->serverArguments(TestCertificates::Good) +
               QStringList{"--secret", "s3", "--calls", "5"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    h.window.useTls(ours);
    if (challenge)
        h.window.useChallengeLogin();
    h.window.show();
    h.connectTo(sim.port(), u"s3"_s);
    QTRY_COMPARE_WITH_TIMEOUT(h.window.calls().rowCount(), 5, Wait);
    // Disconnect Call works over it too.
    h.selectRow(0);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages.size(), 1);
    QVERIFY(h.messages.front().startsWith(u"Killed Call "_s));
    QTRY_COMPARE_WITH_TIMEOUT(h.window.calls().rowCount(), 4, Wait);
    QVERIFY(h.exits.isEmpty());
}

void SecureTest::aSelfSignedCertificateMadeAsTheReadmeSaysHolds()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QProcess openssl;
    openssl.setWorkingDirectory(dir.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(u"openssl"_s, {"req", "-x509", "-newkey", "rsa:3072", "-sha256", "-nodes",
                                 "-days", "825", "-keyout", "pbx.key", "-out", "pbx.pem", "-subj",
                                 "/CN=localhost", "-addext", "subjectAltName=DNS:localhost"});
    QVERIFY(openssl.waitForFinished(60000));
    QVERIFY2(openssl.exitCode() == 0, openssl.readAll().constData());

    PbxSim sim({"--tls-cert", dir.filePath(u"pbx.pem"_s), "--tls-key", dir.filePath(u"pbx.key"_s),
                "--calls", "2"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    h.window.useTls(QSslCertificate::fromPath(dir.filePath(u"pbx.pem"_s)));
    h.window.show();
    h.field("txtHost")->setText(u"localhost"_s);
    h.field("txtPort")->setText(QString::number(sim.port()));
    h.button("cmdConnect")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.window.calls().rowCount(), 2, Wait);
    QVERIFY(h.messages.isEmpty());
}

void SecureTest::aWrongSecretIsRefusedAsAlways_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("challenge login") << false;
    QTest::newRow("challenge login over TLS") << true;
}

void SecureTest::aWrongSecretIsRefusedAsAlways()
{
    QFETCH(bool, tls);
    PbxSim sim((tls ? certs->serverArguments(TestCertificates::Good) : QStringList()) +
               QStringList{"--secret", "s3", "--close-on-refuse"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    if (tls)
        h.window.useTls(ours);
    h.window.useChallengeLogin();
    h.window.show();
    h.connectTo(sim.port(), u"not s3"_s);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{Rejected});
    QCOMPARE(h.exits, QList<int>{1});
}

void SecureTest::aRefusedChallengeShowsThePbxsOwnWords()
{
    for (const bool tls : {false, true}) {
        PbxSim sim((tls ? certs->serverArguments(TestCertificates::Good) : QStringList()) +
                   QStringList{"--challenge-error"});
        QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
        WindowHarness h;
        if (tls)
            h.window.useTls(ours);
        h.window.useChallengeLogin();
        h.window.show();
        h.connectTo(sim.port(), u"secret"_s);
        QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
        QCoreApplication::processEvents();
        QCOMPARE(h.messages, QStringList{u"Challenge is not permitted here"_s});
        QCOMPARE(h.exits, QList<int>{1});
        QVERIFY(!h.window.isVisible());
    }
}

void SecureTest::badCertificateEndsTheRunAndSendsNothing_data()
{
    QTest::addColumn<QString>("served");  // a certificate of TestCertificates
    QTest::addColumn<QString>("trusted"); // the --tls-ca file's; empty: the system's authorities
    QTest::addColumn<QString>("message");
    const QString expired =
        u"The PBX's certificate has expired, or is not valid yet. Nothing was sent."_s;
    const QString wrongHost = u"The PBX's certificate is for another host name, not for "
                              u"127.0.0.1. Nothing was sent."_s;
    QTest::newRow("unknown authority")
        << u"untrusted"_s << u"ca"_s
        << u"The PBX's certificate is not trusted: it is not one of the certificates in the file "
           u"given with --tls-ca, nor issued by one of them. Nothing was sent."_s;
    QTest::newRow("only the system's authorities")
        << u"localhost"_s << QString()
        << u"The PBX's certificate is not trusted: it was not issued by a certificate authority "
           u"this computer trusts. If the PBX has a certificate of its own, give it with "
           u"--tls-ca. Nothing was sent."_s;
    QTest::newRow("expired") << u"expired"_s << u"ca"_s << expired;
    QTest::newRow("another host") << u"wrong-host"_s << u"ca"_s << wrongHost;
    QTest::newRow("the host in the common name only")
        << u"common-name-only"_s << u"ca"_s << wrongHost;
    QTest::newRow("expired, and the very one in the file")
        << u"own-expired"_s << u"own-expired"_s << expired;
}

void SecureTest::badCertificateEndsTheRunAndSendsNothing()
{
    QFETCH(QString, served);
    QFETCH(QString, trusted);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString transcript = dir.filePath(u"wire.txt"_s);
    PbxSim sim(certs->serverArguments(served) + QStringList{"--transcript", transcript});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));

    WindowHarness h;
    // Like a real modal box, the message lets events run; no second message may come of them.
    h.onMessage = [](const QString&) { QCoreApplication::processEvents(); };
    h.window.useTls(trusted.isEmpty() ? QList<QSslCertificate>()
                                      : QSslCertificate::fromPath(certs->certificateFile(trusted)));
    h.window.show();
    h.connectTo(sim.port(), u"secret"_s);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{message});
    QCOMPARE(h.exits, QList<int>{1});
    QVERIFY(!h.window.isVisible());
    // Once the simulator has seen the handshake fail, nothing of the client's had reached it.
    QTRY_VERIFY_WITH_TIMEOUT(readFile(transcript).contains("TLS handshake failed"), Wait);
    sim.stop();
    QCOMPARE(clientLines(transcript), QByteArray());
    QVERIFY(!readFile(transcript).contains("TLS handshake done"));
}

void SecureTest::aPlainPortGetsOnlyTheClientHello()
{
    // A PBX without TLS on that port greets in plain text at once.
    ScriptedPbx pbx;
    replay(pbx, u"18_tls_login_status"_s, {LoginEnd, Status});
    WindowHarness h;
    h.window.useTls(ours);
    h.window.show();
    h.connectTo(pbx.port(), u"secret"_s);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{u"A secure connection to the PBX could not be set up. Does it "
                                     u"offer TLS on this port? Nothing was sent."_s});
    // One TLS record (type, version, 2-byte length) holding the ClientHello, and nothing else.
    const QByteArray seen = pbx.received();
    QVERIFY(seen.size() > 6);
    QCOMPARE(seen[0], '\x16');
    QCOMPARE(seen[5], '\x01');
    QCOMPARE(seen.size(),
             5 + (static_cast<unsigned char>(seen[3]) << 8 | static_cast<unsigned char>(seen[4])));
    QVERIFY(!seen.contains("secret"));
}

void SecureTest::noPbxAtTheTlsPortIsTheConnectionError()
{
    WindowHarness h;
    h.window.useTls({});
    h.window.show();
    h.connectTo(unusedPort());
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{ConnectionError});
}

QTEST_MAIN(SecureTest)
#include "tst_secure.moc"
