// The protected connection end to end in the window: the challenge login and TLS against a PBX
// played from the recordings (the bytes sent must be the recorded ones), and every way TLS can
// fail, each with its message, the end of the run, and nothing of the client's at the PBX.
#include "ScriptedPbx.h"
#include "TlsTestFiles.h"
#include "WindowHarness.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Problem = corvale::SocketAdapter::TlsProblem;

const QString ConnectionError = u"I encounted an error - is the host there and the port open?"_s;
const QString Rejected = u"Your manager details are incorrect"_s;
constexpr int Wait = 10000;

QByteArray recording(const QString& name)
{
    QFile file(QStringLiteral(CORVALE_FIXTURES_DIR) + u'/' + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing recording %s", qPrintable(name));
    return file.readAll();
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

QSslConfiguration serverTls(const TlsTestFiles::Pair& pair)
{
    QFile key(pair.key);
    key.open(QIODevice::ReadOnly);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate::fromPath(pair.certificate).value(0));
    configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

const QByteArray Challenge = "Action: Challenge\r\nAuthType: MD5\r\n\r\n";
const QByteArray LoginEnd = "Events: Off\r\n\r\n";
const QByteArray Status = "Action: Status\r\n\r\n";

// The two calls of recordings 17 and 18.
const QStringList RecordedCalls = {
    u"Local/2001@calls-00000026;2 From: 5552001 <Carol Smith> To: 2001 Lasted: %1 minutes."_s,
    u"Local/2001@calls-00000026;1 From: 8002001 <Agent 2001> To: 2001 Lasted: %1 minutes."_s,
};

QStringList recordedCalls(const QString& minutes)
{
    return {RecordedCalls[0].arg(minutes), RecordedCalls[1].arg(minutes)};
}

} // namespace

class SecureTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void challengeLoginSendsTheRecordedBytes_data();
    void challengeLoginSendsTheRecordedBytes();
    void aWrongSecretIsRefusedAsAlways();
    void aRefusedChallengeShowsThePbxsOwnWords();
    void badCertificateEndsTheRunAndSendsNothing_data();
    void badCertificateEndsTheRunAndSendsNothing();
    void aPlainPortGetsOnlyTheClientHello();
    void noPbxAtTheTlsPortIsTheConnectionError();

private:
    std::unique_ptr<TlsTestFiles> files;
    TlsTestFiles::Pair good;
};

void SecureTest::initTestCase()
{
    files = std::make_unique<TlsTestFiles>();
    good = files->make(TlsTestFiles::Kind::Good);
    QVERIFY2(files->ok(), qPrintable(files->error()));
}

void SecureTest::challengeLoginSendsTheRecordedBytes_data()
{
    QTest::addColumn<bool>("tls");
    QTest::addColumn<bool>("challenge");
    QTest::addColumn<QString>("name");
    QTest::newRow("challenge login") << false << true << u"17_challenge_md5_login"_s;
    QTest::newRow("TLS") << true << false << u"18_tls_login_status"_s;
    QTest::newRow("challenge login over TLS") << true << true << u"17_challenge_md5_login"_s;
}

void SecureTest::challengeLoginSendsTheRecordedBytes()
{
    QFETCH(bool, tls);
    QFETCH(bool, challenge);
    QFETCH(QString, name);
    ScriptedPbx pbx(tls ? std::optional(serverTls(good)) : std::nullopt);
    if (challenge)
        replay(pbx, name, {Challenge, LoginEnd, Status});
    else
        replay(pbx, name, {LoginEnd, Status});

    WindowHarness h;
    if (tls)
        h.window.useTls(QSslCertificate::fromPath(files->caFile()));
    if (challenge)
        h.window.useChallengeLogin();
    h.window.show();
    h.connectTo(pbx.port(), u"secret"_s); // the recordings' secret
    QTRY_COMPARE_WITH_TIMEOUT(
        h.shownEntries(), recordedCalls(name.startsWith(u"17"_s) ? u"0.02"_s : u"0.08"_s), Wait);
    // Byte for byte what the client sent to the real PBX, the key made by the window included.
    QCOMPARE(pbx.received(), recording(name + u".sent.bin"_s));
    QVERIFY(h.messages.isEmpty());
    QVERIFY(h.exits.isEmpty());
    QCOMPARE(h.window.socket().encrypted(), tls);
}

void SecureTest::aWrongSecretIsRefusedAsAlways()
{
    for (const bool tls : {false, true}) {
        ScriptedPbx pbx(tls ? std::optional(serverTls(good)) : std::nullopt);
        replay(pbx, u"17b_challenge_md5_wrong_key"_s, {Challenge, LoginEnd});
        pbx.hangUpAfterReplies();
        WindowHarness h;
        if (tls)
            h.window.useTls(QSslCertificate::fromPath(files->caFile()));
        h.window.useChallengeLogin();
        h.window.show();
        h.connectTo(pbx.port(), u"not the secret"_s);
        QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
        QCoreApplication::processEvents();
        QCOMPARE(h.messages, QStringList{Rejected});
        QCOMPARE(h.exits, QList<int>{1});
        // Its own challenge, answered with another key than the recording's.
        const QByteArray sent = pbx.received();
        QVERIFY(sent.startsWith(Challenge + "Action: Login\r\nAuthType: MD5\r\nUsername: admin\r\n"
                                            "Key: "));
        QVERIFY(!sent.contains("4559170a1417adaa3a0e571f62fee087"));
    }
}

void SecureTest::aRefusedChallengeShowsThePbxsOwnWords()
{
    ScriptedPbx pbx;
    const QByteArray recorded = recording(u"17c_challenge_authtypes.recv.bin"_s);
    pbx.greet(recorded.left(recorded.indexOf("\r\n") + 2));
    pbx.onRequest(Challenge, recorded.mid(recorded.indexOf("Response: Error")));
    WindowHarness h;
    h.window.useChallengeLogin();
    h.window.show();
    h.connectTo(pbx.port(), u"secret"_s);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{u"Must specify AuthType"_s});
    QCOMPARE(h.exits, QList<int>{1});
    QCOMPARE(pbx.received(), Challenge);
    QVERIFY(!h.window.isVisible());
}

void SecureTest::badCertificateEndsTheRunAndSendsNothing_data()
{
    QTest::addColumn<int>("kind"); // a TlsTestFiles::Kind, or -1 for a self-signed certificate
    QTest::addColumn<bool>("trustOurs");
    QTest::addColumn<Problem>("problem");
    QTest::newRow("self-signed") << -1 << true << Problem::Untrusted;
    QTest::newRow("unknown authority")
        << int(TlsTestFiles::Kind::Good) << false << Problem::Untrusted;
    QTest::newRow("expired") << int(TlsTestFiles::Kind::Expired) << true << Problem::Expired;
    QTest::newRow("not yet valid")
        << int(TlsTestFiles::Kind::NotYetValid) << true << Problem::Expired;
    QTest::newRow("another host") << int(TlsTestFiles::Kind::OtherHost) << true
                                  << Problem::WrongHost;
}

void SecureTest::badCertificateEndsTheRunAndSendsNothing()
{
    QFETCH(int, kind);
    QFETCH(bool, trustOurs);
    QFETCH(Problem, problem);
    const TlsTestFiles::Pair pair =
        kind < 0 ? files->makeSelfSigned() : files->make(static_cast<TlsTestFiles::Kind>(kind));
    QVERIFY2(files->ok(), qPrintable(files->error()));
    ScriptedPbx pbx(serverTls(pair));
    replay(pbx, u"18_tls_login_status"_s, {LoginEnd, Status});

    WindowHarness h;
    // Like a real modal box, the message lets events run; no second message may come of them.
    h.onMessage = [](const QString&) { QCoreApplication::processEvents(); };
    h.window.useTls(trustOurs ? QSslCertificate::fromPath(files->caFile())
                              : QList<QSslCertificate>());
    h.window.show();
    h.connectTo(pbx.port(), u"secret"_s);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages,
             QStringList{frmMain::tlsFailureMessage(problem, u"127.0.0.1"_s, trustOurs)});
    QVERIFY(h.messages.front().endsWith(u" Nothing was sent."_s));
    QCOMPARE(h.exits, QList<int>{1});
    QVERIFY(!h.window.isVisible());
    // Once the PBX's side of the connection has ended, nothing of the client's had reached it.
    QTRY_VERIFY_WITH_TIMEOUT(pbx.handshakes() == 1 && pbx.ended() == 1, Wait);
    QCOMPARE(pbx.connections(), 0);
    QVERIFY(pbx.received().isEmpty());
}

void SecureTest::aPlainPortGetsOnlyTheClientHello()
{
    // A PBX without TLS on that port greets in plain text at once.
    ScriptedPbx pbx;
    replay(pbx, u"18_tls_login_status"_s, {LoginEnd, Status});
    WindowHarness h;
    h.window.useTls(QSslCertificate::fromPath(files->caFile()));
    h.window.show();
    h.connectTo(pbx.port(), u"secret"_s);
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, Wait);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{frmMain::tlsFailureMessage(Problem::Handshake, {}, true)});
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
