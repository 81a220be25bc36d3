#include "ConnectionTexts.h"
#include "DisplayText.h"
#include "FakePbx.h"
#include "LiveCalls.h"
#include "TestCertificates.h"
#include "session/ReadPacer.h"
#include "session/Session.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTest>

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using corvale::Session;
using State = corvale::Session::State;

namespace {

namespace Texts = corvale::ConnectionTexts;
const QString ConnectionError = QString::fromLatin1(Texts::ConnectionError.data());
const QString NotConnected = QString::fromLatin1(Texts::NotConnected.data());
const QByteArray Denied = "Response: Error\r\nMessage: Permission denied\r\n\r\n";

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

    // Every wait for the PBX this short.
    void shortWaits(std::chrono::milliseconds wait)
    {
        corvale::SessionTimes times = session.times();
        times.greetingWait = times.loginWait = times.answerWait = wait;
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
        if (action.toLower().startsWith("action: login\r\n") && seen++ == nth)
            return action;
    return {};
}

// A Newchannel event for each of `count` channels, SIP/0-1 on.
QByteArray newChannels(int count)
{
    QByteArray events;
    for (int i = 0; i < count; ++i)
        events += "Event: Newchannel\r\nPrivilege: call,all\r\nChannel: SIP/" +
                  QByteArray::number(i) + "-1\r\nUniqueid: " + QByteArray::number(i) + ".1\r\n\r\n";
    return events;
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
    void aShutdownEventAloneCostsOneListing();
    void retrySchedulesGrowToThirtySeconds();
    void whileReconnectingCommandsSayWhyAndSendNothing();
    void keepaliveNoticesADeadLink_data();
    void keepaliveNoticesADeadLink();
    void aPbxThatNeverGreetsIsAnError();
    void aTlsHandshakeThatNeverFinishesIsAnError();
    void aFirstConnectionThatFailsEndsWithItsCause();
    void commandsBeforeTheLoginSendNothing();
    void aQueuedHangupOfACallThatChangedIsDropped();
    void aBacklogIsReadWhole_data();
    void aBacklogIsReadWhole();
    void backloggedSessionsTakeTurns();
    void aQueuedHangupWaitsForTheRefreshedListing_data();
    void aQueuedHangupWaitsForTheRefreshedListing();
    void everyHangupRequestEndsOnce_data();
    void everyHangupRequestEndsOnce();
    void waitsThatRunOutAreConnectionErrors_data();
    void waitsThatRunOutAreConnectionErrors();
    void aDyingPbxIsLeftAndComeBackTo_data();
    void aDyingPbxIsLeftAndComeBackTo();
    void aPbxThatDropsEverySessionIsRetriedLessAndLess();
    void aUserRefusedCoreShowChannelsListsWithStatus();
    void aCertificateThatFailsOnReconnectionStopsTheRetries_data();
    void aCertificateThatFailsOnReconnectionStopsTheRetries();
    void utf8Validation_data();
    void utf8Validation();
    void eachFieldDecodedOnItsOwn();
};

void SessionTest::reconnectsAfterThePbxCloses_data()
{
    QTest::addColumn<bool>("live");
    QTest::addColumn<bool>("challenge");
    QTest::newRow("snapshot") << false << false;
    QTest::newRow("live") << true << false;
    QTest::newRow("challenge login") << false << true;
}

void SessionTest::reconnectsAfterThePbxCloses()
{
    QFETCH(bool, live);
    QFETCH(bool, challenge);
    FakePbx pbx;
    pbx.calls = {{"SIP/100-1", "1.1"}};
    corvale::SessionSettings settings = reconnecting(live);
    if (challenge)
        settings.auth = corvale::Auth::Md5;
    Rig rig(pbx.port(), settings);
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
    QCOMPARE(pbx.count("Challenge"), challenge ? 2 : 0);
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

const QByteArray ShutdownEvent =
    "Event: Shutdown\r\nPrivilege: system,all\r\nShutdown: Cleanly\r\nRestart: True\r\n\r\n";

void SessionTest::aShutdownEventAloneCostsOneListing()
{
    // A caller's name can hold such an event; only the close a real shutdown brings counts.
    FakePbx pbx;
    Rig rig(pbx.port(), reconnecting(true));
    corvale::SessionTimes times = rig.session.times();
    times.retryDelay = nullptr; // the real schedules
    rig.session.setTimes(times);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(pbx.count("Status"), 1);
    pbx.send(ShutdownEvent);
    QTRY_COMPARE_WITH_TIMEOUT(pbx.count("Status"), 2, 3000); // not the 15 s of the period
    // The name that forged it comes with that listing again: no further listing for it.
    pbx.send(ShutdownEvent);
    QTest::qWait(1500);
    QCOMPARE(pbx.count("Status"), 2);
    QCOMPARE(rig.states, QList<State>({State::Connecting, State::LoggingIn, State::Listed}));

    // A close that follows is retried, but not at once: a PBX going away would answer its first
    // reconnection with nothing but errors.
    pbx.closeAll();
    QVERIFY(rig.waitFor(State::Reconnecting));
    QCOMPARE(rig.problems, QStringList{u"the PBX shut down"_s});
    QVERIFY2(rig.session.nextTryIn() >= 300ms,
             qPrintable(QString::number(rig.session.nextTryIn().count())));
    QVERIFY(rig.waitFor(State::Listed, 2000));
    QCOMPARE(pbx.connections(), 2);

    // The announcement and the close together, the event still unread when the close is seen
    // (live mode reads at its pace); a restart soon after the last starts the count afresh.
    times.readInterval = 300ms;
    rig.session.setTimes(times);
    pbx.send(ShutdownEvent);
    pbx.closeAll(true);
    QVERIFY(rig.waitFor(State::Reconnecting));
    QCOMPARE(rig.problems.value(1), u"the PBX shut down"_s);
    QCOMPARE(rig.session.attempt(), 1);
}

void SessionTest::retrySchedulesGrowToThirtySeconds()
{
    using corvale::Reconnector;
    const std::pair<std::chrono::milliseconds (*)(int), std::vector<int>> schedules[] = {
        {&Reconnector::retrySchedule, {0, 500, 1000, 2000, 4000, 8000, 15000, 30000, 30000}},
        // After a shutdown: every half second for 10 s, then 8 s, 15 s and 30 s.
        {&Reconnector::restartSchedule,
         {500, 500, 500, 500, 500, 500, 500, 500, 500,  500,   500,   500,
          500, 500, 500, 500, 500, 500, 500, 500, 8000, 15000, 30000, 30000}},
    };
    for (const auto& [schedule, bases] : schedules) {
        for (int attempt = 1; attempt <= static_cast<int>(bases.size()); ++attempt) {
            const int base = bases[static_cast<std::size_t>(attempt - 1)];
            for (int draw = 0; draw < 50; ++draw) {
                const auto wait = schedule(attempt).count();
                QVERIFY2(wait >= base * 8 / 10 && wait <= base * 12 / 10,
                         qPrintable(QStringLiteral("attempt %1: %2 ms").arg(attempt).arg(wait)));
            }
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
    QTest::addColumn<bool>("pingRefused");
    QTest::newRow("ends") << false << false;
    QTest::newRow("reconnects") << true << false;
    // An error is an answer too: the link carries.
    QTest::newRow("Ping answered with an error") << false << true;
}

void SessionTest::keepaliveNoticesADeadLink()
{
    QFETCH(bool, reconnect);
    QFETCH(bool, pingRefused);
    FakePbx pbx;
    if (pingRefused) {
        pbx.onAction = [&pbx](const QByteArray& action) {
            if (!action.startsWith("Action: Ping\r\n"))
                return true;
            pbx.send("Response: Error\r\nMessage: Invalid/unknown command: Ping\r\n\r\n");
            return false;
        };
    }
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
    pbx.onAction = nullptr;
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

void SessionTest::aBacklogIsReadWhole_data()
{
    QTest::addColumn<int>("calls");
    QTest::addColumn<bool>("closes");
    // More than the socket holds: read a slice per turn of the event loop, as the budget says.
    QTest::newRow("over the read limit") << 12000 << false;
    // The close is seen while the events wait: all of them are read before the session ends.
    QTest::newRow("the PBX closes behind it") << 2000 << true;
}

void SessionTest::aBacklogIsReadWhole()
{
    QFETCH(int, calls);
    QFETCH(bool, closes);
    FakePbx pbx;
    corvale::SessionSettings settings;
    settings.live = true;
    Rig rig(pbx.port(), settings);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_VERIFY(rig.session.liveCalls()->listed());
    // The next read waits for its interval, or for a full socket; each turn reads one slice.
    corvale::SessionTimes times = rig.session.times();
    times.readInterval = 1000ms;
    times.readTurn = 0ms;
    rig.session.setTimes(times);
    const corvale::LiveCalls& live = *rig.session.liveCalls();
    QList<std::size_t> seen; // the calls after each read
    connect(&rig.session, &Session::callsChanged, this, [&] { seen << live.size(); });
    std::optional<std::size_t> atEnd;
    connect(&rig.session, &Session::stateChanged, this, [&](State state) {
        if (state == State::Ended)
            atEnd = live.size();
    });

    const QByteArray backlog = newChannels(calls);
    pbx.send(backlog);
    if (closes) {
        pbx.closeAll(true);
        QVERIFY(rig.waitFor(State::Ended));
        QCOMPARE(atEnd, std::optional<std::size_t>(static_cast<std::size_t>(calls)));
    } else {
        // What arrives once the socket has room again is read at the interval.
        QTRY_COMPARE_WITH_TIMEOUT(live.size(), static_cast<std::size_t>(calls), 10000);
        QVERIFY2(seen.size() >= backlog.size() / corvale::ReadPacer::SliceBytes,
                 qPrintable(QStringLiteral("%1 reads").arg(seen.size())));
        QVERIFY(seen.first() < static_cast<std::size_t>(calls));
    }
    QCOMPARE(live.at(static_cast<std::size_t>(calls) - 1).channel,
             "SIP/" + std::to_string(calls - 1) + "-1");
}

void SessionTest::backloggedSessionsTakeTurns()
{
    // Two PBXs with more than their sockets hold: the reads of both fall due together, and each
    // turn of the event loop (counted by an event that posts itself again) reads for one only.
    FakePbx pbxes[2];
    corvale::SessionSettings settings;
    settings.live = true;
    std::vector<std::unique_ptr<Rig>> rigs;
    for (FakePbx& pbx : pbxes) {
        rigs.push_back(std::make_unique<Rig>(pbx.port(), settings));
        rigs.back()->session.open();
    }
    QObject turns;
    int turn = 0;
    std::function<void()> next = [&] {
        ++turn;
        QMetaObject::invokeMethod(&turns, next, Qt::QueuedConnection);
    };
    QMultiMap<int, int> readsInTurn; // turn -> session
    for (std::size_t i = 0; i < rigs.size(); ++i) {
        Session& session = rigs[i]->session;
        QVERIFY(rigs[i]->waitFor(State::Listed));
        QTRY_VERIFY(session.liveCalls()->listed());
        corvale::SessionTimes times = session.times();
        times.readInterval = 1000ms;
        times.readTurn = 0ms;
        session.setTimes(times);
        connect(&session, &Session::callsChanged, &turns,
                [&, i] { readsInTurn.insert(turn, static_cast<int>(i)); });
    }
    next();
    const QByteArray backlog = newChannels(12000);
    for (FakePbx& pbx : pbxes)
        pbx.send(backlog);
    for (const auto& rig : rigs)
        QTRY_COMPARE_WITH_TIMEOUT(rig->session.liveCalls()->size(), std::size_t(12000), 10000);
    for (const int key : readsInTurn.uniqueKeys())
        QVERIFY2(readsInTurn.values(key).size() == 1,
                 qPrintable(QStringLiteral("%1 reads in one turn").arg(readsInTurn.count(key))));
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

void SessionTest::everyHangupRequestEndsOnce_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("finished");
    QTest::addColumn<QStringList>("reports");
    const QString lost =
        u"The connection to the PBX was lost before it answered the request to disconnect "
        u"SIP/A-1."_s;
    const QString ended = u"the connection has ended"_s;
    QTest::newRow("answered") << u"answered"_s
                              << QStringList{u"SIP/A-1 ok"_s, u"SIP/A-1 ok"_s, u"SIP/B-2 ok"_s}
                              << QStringList{u"Killed Call SIP/A-1"_s, u"Killed Call SIP/B-2"_s};
    QTest::newRow("connection lost, reconnecting")
        << u"lost"_s
        << QStringList{u"SIP/A-1 "_s + lost, u"SIP/A-1 "_s + lost, u"SIP/B-2 "_s + NotConnected}
        << QStringList{lost, NotConnected};
    QTest::newRow("closed") << u"closed"_s
                            << QStringList{u"SIP/A-1 "_s + ended, u"SIP/A-1 "_s + ended,
                                           u"SIP/B-2 "_s + ended}
                            << QStringList{};
    QTest::newRow("the session ends")
        << u"ended"_s
        << QStringList{u"SIP/A-1 "_s + ended, u"SIP/A-1 "_s + ended, u"SIP/B-2 "_s + ended}
        << QStringList{ConnectionError};
}

void SessionTest::everyHangupRequestEndsOnce()
{
    QFETCH(QString, end);
    QFETCH(QStringList, finished);
    QFETCH(QStringList, reports);
    FakePbx pbx;
    pbx.calls = {{"SIP/A-1", "1.1"}, {"SIP/B-2", "2.2"}};
    corvale::SessionSettings settings = reconnecting(true);
    settings.reconnect = end == u"lost"_s;
    Rig rig(pbx.port(), settings);
    rig.retryDelay = [](int) { return 60000ms; };
    QStringList seen;
    connect(&rig.session, &Session::hangupFinished, this,
            [&](const std::string& channel, bool ok, const QString& reason) {
                seen << QString::fromStdString(channel) + u' ' + (ok ? u"ok"_s : reason);
            });
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(rig.session.liveCalls()->size(), std::size_t(2));

    pbx.holdHangups = true;
    rig.session.requestHangup("SIP/A-1");
    rig.session.requestHangup("SIP/A-1"); // a double click: one hangup, two ends
    rig.session.requestHangup("SIP/B-2");
    QVERIFY(seen.isEmpty()); // never inside the request
    QTRY_COMPARE(pbx.count("Hangup"), 1);
    if (end == u"answered"_s) {
        pbx.holdHangups = false;
        pbx.releaseHangups();
    } else if (end == u"closed"_s) {
        rig.session.close();
    } else {
        pbx.closeAll();
    }
    QTRY_COMPARE(seen.size(), finished.size());
    QTest::qWait(50);
    QCOMPARE(seen, finished);
    QCOMPARE(rig.reports, reports);
}

void SessionTest::waitsThatRunOutAreConnectionErrors_data()
{
    QTest::addColumn<QString>("stall");
    QTest::addColumn<QString>("cause");
    const QString silent = u"no answer within 0.3 s"_s;
    const QString login = u"no answer to the login within 0.3 s"_s;
    // Counted from the TCP connection, not from the last byte: the drip would take 3 s.
    QTest::newRow("a greeting dripped a byte at a time") << u"drip"_s << silent;
    QTest::newRow("a greeting line without end") << u"endless"_s << silent;
    QTest::newRow("the login unanswered") << u"Action: login"_s << login;
    QTest::newRow("the challenge unanswered") << u"Action: Challenge"_s << login;
    QTest::newRow("the login answered with an error")
        << u"error"_s << u"the PBX did not take the login: Asterisk is shutting down"_s;
    QTest::newRow("the first listing unanswered")
        << u"Action: Status"_s << u"no answer to the listing within 0.3 s"_s;
}

void SessionTest::waitsThatRunOutAreConnectionErrors()
{
    QFETCH(QString, stall);
    QFETCH(QString, cause);
    FakePbx pbx;
    pbx.greet = stall != u"drip"_s && stall != u"endless"_s;
    pbx.onAction = [&](const QByteArray& action) {
        if (stall == u"error"_s && action.startsWith("Action: login"))
            pbx.send("Response: Error\r\nMessage: Asterisk is shutting down\r\n\r\n");
        return !action.startsWith(stall.toLatin1()) && stall != u"error"_s;
    };
    const QByteArray greeting = "Asterisk Call Manager/13.0.0\r\n";
    qsizetype dripped = 0;
    QTimer source;
    connect(&source, &QTimer::timeout, this, [&] {
        if (stall == u"drip"_s && dripped < greeting.size())
            pbx.send(greeting.mid(dripped++, 1));
        else if (stall == u"endless"_s)
            pbx.send(QByteArray(8192, 'x'));
    });
    source.start(stall == u"drip"_s ? 100 : 5);
    corvale::SessionSettings settings;
    settings.auth = stall.contains(u"Challenge"_s) ? corvale::Auth::Md5 : corvale::Auth::Plain;
    Rig rig(pbx.port(), settings);
    rig.shortWaits(300ms);
    QElapsedTimer clock;
    clock.start();
    rig.session.open();
    QVERIFY(rig.waitFor(State::Ended, 5000));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.reports, QStringList{ConnectionError});
    QCOMPARE(rig.problems, QStringList{cause});
    QVERIFY(rig.session.client().buffer().size() < 32768);
}

void SessionTest::aDyingPbxIsLeftAndComeBackTo_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("cause");
    QTest::newRow("greets and never answers")
        << QByteArray() << u"no answer to the login within 0.3 s"_s;
    QTest::newRow("answers with an error")
        << QByteArray("Response: Error\r\nMessage: Asterisk is shutting down\r\n\r\n")
        << u"the PBX did not take the login: Asterisk is shutting down"_s;
}

void SessionTest::aDyingPbxIsLeftAndComeBackTo()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, cause);
    FakePbx pbx;
    Rig rig(pbx.port(), reconnecting());
    rig.shortWaits(300ms);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));

    bool dying = true;
    pbx.onAction = [&](const QByteArray& action) {
        if (!dying || !action.startsWith("Action: login"))
            return true;
        if (!answer.isEmpty())
            pbx.send(answer);
        return false;
    };
    pbx.closeAll();
    QTRY_VERIFY_WITH_TIMEOUT(rig.problems.contains(cause), 5000);
    QCOMPARE(rig.session.state(), State::Reconnecting);
    dying = false;
    QVERIFY(rig.waitFor(State::Listed));
    QVERIFY(pbx.connections() >= 3);
    QVERIFY(rig.reports.isEmpty());
}

void SessionTest::aPbxThatDropsEverySessionIsRetriedLessAndLess()
{
    FakePbx pbx;
    pbx.closeAfterLogin = true;
    Rig rig(pbx.port(), reconnecting());
    rig.retryDelay = [](int attempt) { return std::chrono::milliseconds(20 << (attempt - 1)); };
    rig.session.open();
    QTest::qWait(1000);
    // Counted on, the waits are 20, 40, 80, 160 and 320 ms: about six logins in the second.
    // Counted afresh at each login, every wait would be 20 ms: dozens.
    const int logins = pbx.count("login");
    QVERIFY2(logins >= 4 && logins <= 8, qPrintable(QString::number(logins)));
    QVERIFY(rig.reports.isEmpty());
}

void SessionTest::aUserRefusedCoreShowChannelsListsWithStatus()
{
    // A manager user with only the call class may list with Status, not with CoreShowChannels.
    FakePbx pbx;
    pbx.calls = {{"SIP/100-1", "1.1"}};
    pbx.onAction = [&pbx](const QByteArray& action) {
        if (!action.startsWith("Action: CoreShowChannels"))
            return true;
        pbx.send(Denied);
        return false;
    };
    corvale::SessionSettings settings = reconnecting(true);
    settings.coreShowChannels = true;
    Rig rig(pbx.port(), settings);
    rig.session.open();
    QTRY_COMPARE(rig.session.liveCalls()->size(), std::size_t(1));
    QCOMPARE(pbx.count("CoreShowChannels"), 1);
    QCOMPARE(pbx.count("Status"), 1);
    QCOMPARE(rig.session.listingAction(), std::string_view("Status"));
    pbx.send("Event: Newchannel\r\nPrivilege: call,all\r\nChannel: SIP/200-2\r\nUniqueid: 2.2\r\n"
             "\r\n");
    QTRY_COMPARE(rig.session.liveCalls()->size(), std::size_t(2));

    // Remembered for the session: a reconnection lists with Status at once.
    pbx.closeAll();
    QVERIFY(rig.waitFor(State::Reconnecting));
    QVERIFY(rig.waitFor(State::Listed));
    QTRY_COMPARE(pbx.count("Status"), 2);
    QCOMPARE(pbx.count("CoreShowChannels"), 1);
    QVERIFY(rig.reports.isEmpty());
}

void SessionTest::aCertificateThatFailsOnReconnectionStopsTheRetries_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("cause");
    QTest::newRow("expired") << int(TestCertificates::Expired)
                             << u"The PBX's certificate has expired, or is not valid yet. "
                                u"Nothing was sent."_s
                             << u"TLS failure: the certificate has expired or is not valid yet"_s;
    QTest::newRow("another host")
        << int(TestCertificates::WrongHost)
        << u"The PBX's certificate is for another host name, not for 127.0.0.1. Nothing was sent."_s
        << u"TLS failure: the certificate is for another host name"_s;
}

void SessionTest::aCertificateThatFailsOnReconnectionStopsTheRetries()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    QFETCH(QString, cause);
    if (!corvale::SocketAdapter::tlsAvailable())
        QSKIP("no TLS on this machine");
    TestCertificates certs;
    QVERIFY2(certs.isValid(), qPrintable(certs.error()));
    const auto serving = [&certs](TestCertificates::Kind which) {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(
            QSslCertificate::fromPath(certs.certificateFile(which)).value(0));
        QFile key(certs.keyFile(which));
        static_cast<void>(key.open(QIODevice::ReadOnly));
        configuration.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec));
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        return configuration;
    };
    FakePbx pbx;
    pbx.tls = serving(TestCertificates::Good);
    corvale::SessionSettings settings = reconnecting();
    settings.tls = true;
    settings.trusted = QSslCertificate::fromPath(certs.caFile());
    settings.ownAuthorities = true;
    Rig rig(pbx.port(), settings);
    rig.session.open();
    QVERIFY(rig.waitFor(State::Listed));

    pbx.tls = serving(static_cast<TestCertificates::Kind>(kind));
    pbx.closeAll();
    QVERIFY(rig.waitFor(State::Ended));
    QCOMPARE(rig.reports, QStringList{message});
    QCOMPARE(rig.problems.value(1), cause);
    QTest::qWait(100);
    QCOMPARE(pbx.connections(), 2);
}

void SessionTest::utf8Validation_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::newRow("ascii") << QByteArray("SIP/100") << true;
    QTest::newRow("two bytes") << QByteArray("Zo\xc3\xab") << true;
    QTest::newRow("three bytes") << QByteArray("\xe2\x82\xac") << true;
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << true;
    QTest::newRow("highest") << QByteArray("\xf4\x8f\xbf\xbf") << true;
    QTest::newRow("latin-1") << QByteArray("M\xfcller") << false;
    QTest::newRow("overlong two") << QByteArray("\xc0\x80") << false;
    QTest::newRow("overlong three") << QByteArray("\xe0\x80\xaf") << false;
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << false;
    QTest::newRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::newRow("cut off") << QByteArray("ab\xe2\x82") << false;
    QTest::newRow("lone continuation") << QByteArray("\x80") << false;
    QTest::newRow("bad continuation") << QByteArray("\xe2\x28\xa1") << false;
}

void SessionTest::utf8Validation()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    const std::string_view view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    QCOMPARE(corvale::isValidUtf8(view), valid);
    QCOMPARE(corvale::displayText(view),
             valid ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes));
}

void SessionTest::eachFieldDecodedOnItsOwn()
{
    // Channel, number, name, extension and minutes each decide for themselves: one byte that is
    // not UTF-8 in a field leaves the others as they are.
    std::string entry;
    const corvale::EntryParts parts = corvale::appendEntryStart(entry, "SIP/zo\xc3\xab-1", "55\xff",
                                                                "M\xc3\xbcller", "\xe9t\xe9");
    entry += "3\xd9\xac"
             "600\xd9\xab"
             "00"; // minutes under a locale of two-byte separators
    entry += corvale::EntryEnd;
    QCOMPARE(corvale::displayText(entry, parts),
             u"SIP/zoë-1 From: 55ÿ <Müller> To: été Lasted: 3٬600٫00 minutes."_s);
    // The placeholder is one part.
    QCOMPARE(corvale::displayText(corvale::NoCallsEntry, corvale::EntryParts{}),
             u"Currently No Calls"_s);
}

QTEST_GUILESS_MAIN(SessionTest)
#include "tst_session.moc"
