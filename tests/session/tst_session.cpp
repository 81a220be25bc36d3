#include "FakePbx.h"
#include "LiveCalls.h"
#include "session/Session.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using corvale::Session;
using State = corvale::Session::State;

namespace {

const QString ConnectionError = QString::fromLatin1(Session::ConnectionErrorMessage.data());
const QString NotConnected = QString::fromLatin1(Session::NotConnectedMessage.data());

// A session with short waits, its reports and problems recorded.
struct Rig
{
    explicit Rig(quint16 port, corvale::SessionSettings settings = {})
    {
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        session.setSettings(settings);
        corvale::SessionTimes times;
        times.answerWait = 2000ms;
        times.greetingWait = 5000ms;
        times.readInterval = 1ms;
        times.retryDelay = [this](int attempt) { return retryDelay(attempt); };
        session.setTimes(times);
        session.userName = [] { return std::string("admin"); };
        session.password = [] { return std::string("secret"); };
        QObject::connect(&session, &Session::report, [this](const QString& t) { reports << t; });
        QObject::connect(&session, &Session::connectionProblem,
                         [this](const QString& cause) { problems << cause; });
        QObject::connect(&session, &Session::stateChanged, [this](State s) { states << s; });
        QObject::connect(&session, &Session::entriesCleared, [this] { entries.clear(); });
        QObject::connect(&session, &Session::entryListed,
                         [this](std::string_view entry, const corvale::EntryParts&) {
                             entries << QString::fromLatin1(entry.data(),
                                                            static_cast<qsizetype>(entry.size()));
                         });
    }

    void shortGreetingWait()
    {
        corvale::SessionTimes times = session.times();
        times.greetingWait = 150ms;
        session.setTimes(times);
    }

    bool waitFor(State state, int timeoutMs = 5000)
    {
        return QTest::qWaitFor([&] { return session.state() == state; }, timeoutMs);
    }

    Session session;
    std::function<std::chrono::milliseconds(int)> retryDelay = [](int) { return 5ms; };
    QStringList reports;
    QStringList problems;
    QList<State> states;
    QStringList entries;
};

corvale::SessionSettings reconnecting(bool live = false)
{
    corvale::SessionSettings settings;
    settings.reconnect = true;
    settings.live = live;
    return settings;
}

QByteArray loginOf(const QList<QByteArray>& actions, int nth)
{
    int seen = 0;
    for (const QByteArray& action : actions)
        if (action.startsWith("Action: login\r\n") && seen++ == nth)
            return action;
    return {};
}

} // namespace

class SessionTest : public QObject
{
    Q_OBJECT

private slots:
    void reconnectsAfterThePbxCloses_data();
    void reconnectsAfterThePbxCloses();
    void reconnectsThroughARestart();
    void aRefusedLoginOnReconnectionStopsTheRetries();
    void aShutdownEventReconnectsAtOnce();
    void retryScheduleGrowsToThirtySeconds();
    void whileReconnectingCommandsSayWhyAndSendNothing();
    void keepaliveNoticesADeadLink_data();
    void keepaliveNoticesADeadLink();
    void aPbxThatNeverGreetsIsAnError();
    void aTlsHandshakeThatNeverFinishesIsAnError();
    void aFirstConnectionThatFailsEndsWithItsCause();
    void commandsBeforeTheLoginSendNothing();
    void aQueuedHangupOfACallThatChangedIsDropped();
    void aQueuedHangupWaitsForTheRefreshedListing_data();
    void aQueuedHangupWaitsForTheRefreshedListing();
};

void SessionTest::reconnectsAfterThePbxCloses_data()
{
    QTest::addColumn<bool>("live");
    QTest::newRow("snapshot") << false;
    QTest::newRow("live") << true;
}

void SessionTest::reconnectsAfterThePbxCloses()
{
    QFETCH(bool, live);
    FakePbx pbx;
    pbx.calls = {{"SIP/100-1", "1.1"}};
    Rig rig(pbx.port(), reconnecting(live));
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(pbx.count("Status"), 1);
    if (!live)
        QTRY_COMPARE(rig.entries.size(), 1);

    pbx.calls = {{"SIP/200-2", "2.2"}};
    pbx.closeAll();
    QVERIFY(rig.waitFor(State::Reconnecting));
    QCOMPARE(rig.session.attempt(), 1);
    QVERIFY(rig.waitFor(State::Listed));
    QCOMPARE(pbx.connections(), 2);
    // The same login again, then a new listing that replaces (or is reconciled with) the list.
    QCOMPARE(loginOf(pbx.actions(), 1), loginOf(pbx.actions(), 0));
    QVERIFY(
        loginOf(pbx.actions(), 0).contains(live ? "Events: call,system\r\n" : "Events: Off\r\n"));
    QTRY_COMPARE(pbx.count("Status"), 2);
    if (live) {
        const corvale::LiveCalls& calls = *rig.session.liveCalls();
        QTRY_VERIFY(calls.completedListings() == 2);
        QCOMPARE(calls.size(), std::size_t(1));
        QCOMPARE(calls.at(0).channel, std::string("SIP/200-2"));
        QCOMPARE(calls.at(0).uniqueid, std::string("2.2"));
    } else {
        QTRY_COMPARE(rig.entries.size(), 1);
        QVERIFY(rig.entries.front().startsWith("SIP/200-2 "));
    }
    QCOMPARE(rig.problems, QStringList{QStringLiteral("the PBX closed the connection")});
    QVERIFY(rig.reports.isEmpty());
    QCOMPARE(rig.session.attempt(), 0);
}

void SessionTest::reconnectsThroughARestart()
{
    FakePbx pbx;
    Rig rig(pbx.port(), reconnecting());
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));

    // Gone and not listening: every attempt is refused, and each is counted.
    const quint16 port = pbx.port();
    pbx.stopListening();
    pbx.closeAll();
    QTRY_VERIFY(rig.session.attempt() >= 3);
    QCOMPARE(rig.session.state(), State::Reconnecting);
    QVERIFY(rig.problems.contains(QStringLiteral("the connection was refused")));
    QVERIFY(pbx.listen(port));
    QVERIFY(rig.waitFor(State::Listed));
    QCOMPARE(pbx.connections(), 2);
    QVERIFY(rig.reports.isEmpty());
}

void SessionTest::aRefusedLoginOnReconnectionStopsTheRetries()
{
    FakePbx pbx;
    Rig rig(pbx.port(), reconnecting());
    QSignalSpy finished(&rig.session, &Session::finished);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));

    pbx.acceptLogin = false;
    pbx.closeAll();
    QVERIFY(rig.waitFor(State::Ended));
    QCOMPARE(rig.reports, QStringList{u"Your manager details are incorrect"_s});
    QCOMPARE(finished.size(), 1);
    QCOMPARE(rig.session.endReason(), u"Your manager details are incorrect"_s);
    // Nothing the PBX refused is tried again.
    QTest::qWait(100);
    QCOMPARE(pbx.connections(), 2);
}

void SessionTest::aShutdownEventReconnectsAtOnce()
{
    FakePbx pbx;
    Rig rig(pbx.port(), reconnecting(true));
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    // The PBX announces its end but keeps the connection open a while.
    pbx.send(
        "Event: Shutdown\r\nPrivilege: system,all\r\nShutdown: Cleanly\r\nRestart: True\r\n\r\n");
    QVERIFY(rig.waitFor(State::Reconnecting));
    QVERIFY(rig.waitFor(State::Listed));
    QCOMPARE(pbx.connections(), 2);
    QCOMPARE(rig.problems, QStringList{u"the PBX is shutting down"_s});
}

void SessionTest::retryScheduleGrowsToThirtySeconds()
{
    const int bases[] = {0, 500, 1000, 2000, 4000, 8000, 15000, 30000, 30000, 30000};
    for (int attempt = 1; attempt <= 10; ++attempt) {
        const int base = bases[attempt - 1];
        for (int draw = 0; draw < 50; ++draw) {
            const auto wait = Session::retrySchedule(attempt).count();
            QVERIFY2(wait >= base * 8 / 10 && wait <= base * 12 / 10,
                     qPrintable(QStringLiteral("attempt %1: %2 ms").arg(attempt).arg(wait)));
        }
    }
}

void SessionTest::whileReconnectingCommandsSayWhyAndSendNothing()
{
    FakePbx pbx;
    Rig rig(pbx.port(), reconnecting());
    rig.retryDelay = [](int) { return 60000ms; };
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(rig.entries.size(), 1);
    const QByteArray before = pbx.received();

    pbx.closeAll();
    QVERIFY(rig.waitFor(State::Reconnecting));
    QCOMPARE(rig.session.attempt(), 1);
    QVERIFY(rig.session.nextTryIn() > 59000ms);
    rig.session.refresh();
    rig.session.hangUp("SIP/100-1");
    QCOMPARE(rig.reports, QStringList({NotConnected, NotConnected}));
    // The list that was shown stays.
    QCOMPARE(rig.entries.size(), 1);
    QTest::qWait(20);
    QCOMPARE(pbx.received(), before);
}

void SessionTest::keepaliveNoticesADeadLink_data()
{
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("ends") << false;
    QTest::newRow("reconnects") << true;
}

void SessionTest::keepaliveNoticesADeadLink()
{
    QFETCH(bool, reconnect);
    FakePbx pbx;
    corvale::SessionSettings settings;
    settings.keepalive = true;
    settings.reconnect = reconnect;
    Rig rig(pbx.port(), settings);
    corvale::SessionTimes times = rig.session.times();
    times.silenceBeforePing = 50ms;
    times.pingWait = 400ms;
    rig.session.setTimes(times);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(rig.entries.size(), 1);

    // Answered Pings keep the link, and their answers never reach the list.
    QTRY_VERIFY(pbx.count("Ping") >= 2);
    QCOMPARE(rig.session.state(), State::Listed);
    QCOMPARE(rig.entries.size(), 1);
    QVERIFY(pbx.received().contains("Action: Ping\r\n\r\n"));

    pbx.answerPing = false;
    if (reconnect) {
        QVERIFY(rig.waitFor(State::Reconnecting));
        QVERIFY(rig.waitFor(State::Listed));
        QCOMPARE(pbx.connections(), 2);
        QVERIFY(rig.reports.isEmpty());
    } else {
        QVERIFY(rig.waitFor(State::Ended));
        QCOMPARE(rig.reports, QStringList{ConnectionError});
    }
    QCOMPARE(rig.problems.value(0), u"no answer within 0.4 s"_s);
}

void SessionTest::aPbxThatNeverGreetsIsAnError()
{
    FakePbx pbx;
    pbx.greet = false;
    Rig rig(pbx.port());
    rig.shortGreetingWait();
    QSignalSpy finished(&rig.session, &Session::finished);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Ended));
    QCOMPARE(rig.reports, QStringList{ConnectionError});
    QCOMPARE(rig.problems, QStringList{u"no answer within 0.15 s"_s});
    QCOMPARE(finished.size(), 1);
    QVERIFY(pbx.received().isEmpty());
}

void SessionTest::aTlsHandshakeThatNeverFinishesIsAnError()
{
    if (!corvale::SocketAdapter::tlsAvailable())
        QSKIP("no TLS on this machine");
    // Accepts, and never speaks TLS nor anything else.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    corvale::SessionSettings settings;
    settings.tls = true;
    Rig rig(silent.serverPort(), settings);
    rig.shortGreetingWait();
    rig.session.open();
    QVERIFY(rig.waitFor(State::Ended));
    QCOMPARE(rig.reports, QStringList{ConnectionError});
    QCOMPARE(rig.problems.size(), 1);
    QVERIFY(rig.problems.front().startsWith(u"TLS failure: "_s));
}

void SessionTest::aFirstConnectionThatFailsEndsWithItsCause()
{
    // Reconnection is only for a link that has logged in: a first refusal ends.
    quint16 port;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        port = probe.serverPort();
    }
    Rig rig(port, reconnecting());
    rig.session.open();
    QVERIFY(rig.waitFor(State::Ended));
    QCOMPARE(rig.reports, QStringList{ConnectionError});
    QCOMPARE(rig.problems, QStringList{u"the connection was refused"_s});
}

void SessionTest::commandsBeforeTheLoginSendNothing()
{
    FakePbx pbx;
    pbx.greet = false;
    Rig rig(pbx.port());
    rig.session.open();
    QTRY_COMPARE(pbx.connections(), 1);
    rig.session.refresh();
    rig.session.hangUp("SIP/100-1");
    QTest::qWait(20);
    QVERIFY(pbx.received().isEmpty());
    QVERIFY(rig.reports.isEmpty());

    pbx.send("Asterisk Call Manager/13.0.0\r\n");
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(pbx.count("Status"), 1);
    QCOMPARE(pbx.actions().size(), 2);
    QCOMPARE(pbx.count("Hangup"), 0);
}

void SessionTest::aQueuedHangupOfACallThatChangedIsDropped()
{
    FakePbx pbx;
    pbx.calls = {{"SIP/A-1", "1.1"}, {"SIP/B-2", "2.2"}};
    corvale::SessionSettings settings;
    settings.live = true;
    Rig rig(pbx.port(), settings);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(rig.session.liveCalls()->size(), std::size_t(2));

    // The PBX holds the answer to A's hangup. Meanwhile B is pressed; B's caller hangs up and a
    // new call takes the same channel name; then A's answer comes.
    pbx.holdHangups = true;
    bool pressedB = false;
    connect(&pbx, &FakePbx::actionArrived, this, [&](const QByteArray& action) {
        if (!action.contains("Channel: SIP/A-1") || pressedB)
            return;
        pressedB = true;
        QTimer::singleShot(0, this, [&] {
            rig.session.hangUp("SIP/B-2");
            pbx.send("Event: Hangup\r\nPrivilege: call,all\r\nChannel: SIP/B-2\r\nUniqueid: 2.2\r\n"
                     "Cause: 16\r\n\r\n"
                     "Event: Newchannel\r\nPrivilege: call,all\r\nChannel: SIP/B-2\r\n"
                     "CallerIDNum: 300\r\nUniqueid: 3.3\r\n\r\n");
            pbx.calls = {{"SIP/B-2", "3.3"}};
            QTimer::singleShot(50, this, [&] { pbx.releaseHangups(); });
        });
    });
    rig.session.hangUp("SIP/A-1");
    QVERIFY(pressedB);
    QCOMPARE(
        rig.reports,
        QStringList({u"Killed Call SIP/A-1"_s,
                     u"The call on SIP/B-2 has already ended, so it was not disconnected."_s}));
    QCOMPARE(pbx.count("Hangup"), 1);
    QVERIFY(!pbx.received().contains("Channel: SIP/B-2"));
}

void SessionTest::aQueuedHangupWaitsForTheRefreshedListing_data()
{
    QTest::addColumn<bool>("stillUp");
    QTest::newRow("still up") << true;
    QTest::newRow("gone") << false;
}

void SessionTest::aQueuedHangupWaitsForTheRefreshedListing()
{
    QFETCH(bool, stillUp);
    FakePbx pbx;
    pbx.calls = {{"SIP/A-1", "1.1"}, {"SIP/B-2", "2.2"}};
    Rig rig(pbx.port());
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(rig.entries.size(), 2);

    pbx.holdHangups = true;
    bool pressedB = false;
    connect(&pbx, &FakePbx::actionArrived, this, [&](const QByteArray& action) {
        if (!action.contains("Channel: SIP/A-1") || pressedB)
            return;
        pressedB = true;
        QTimer::singleShot(0, this, [&] {
            rig.session.hangUp("SIP/B-2");
            pbx.calls = stillUp ? QList<FakePbx::Call>{{"SIP/B-2", "2.2"}} : QList<FakePbx::Call>{};
            pbx.holdHangups = false;
            pbx.releaseHangups();
        });
    });
    rig.session.hangUp("SIP/A-1");
    QVERIFY(pressedB);
    // B's hangup goes out only after the listing that followed A's, and only if B is in it.
    const QList<QByteArray>& actions = pbx.actions();
    const auto nth = [&](int i) { return QString::fromLatin1(actions.value(i).left(20)); };
    QCOMPARE(nth(2), u"Action: Hangup\r\nChan"_s);
    QVERIFY(QRegularExpression(u"^Action: Status\r\nActionID: [^\r\n]+\r\n\r\n$"_s)
                .match(QString::fromLatin1(actions.value(3)))
                .hasMatch());
    if (stillUp) {
        QCOMPARE(actions.value(4), QByteArray("Action: Hangup\r\nChannel: SIP/B-2\r\n\r\n"));
        QCOMPARE(rig.reports, QStringList({u"Killed Call SIP/A-1"_s, u"Killed Call SIP/B-2"_s}));
    } else {
        QCOMPARE(pbx.count("Hangup"), 1);
        QCOMPARE(rig.reports, QStringList({u"Killed Call SIP/A-1"_s,
                                           u"The call on SIP/B-2 has already ended, so it was "
                                           u"not disconnected."_s}));
    }
}

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
