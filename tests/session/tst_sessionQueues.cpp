// The session's queues against a PBX played by the test: listed at login and after each
// reconnection, polled while no queue event comes, and pauses that end in one answer each.
#include "FakePbx.h"
#include "PbxSim.h"
#include "Queues.h"
#include "session/Session.h"

#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using corvale::Session;

namespace {

QByteArray entry(const QByteArray& position, const QByteArray& channel, const QByteArray& name)
{
    return "Event: QueueEntry\r\nQueue: sales\r\nPosition: " + position +
           "\r\nChannel: " + channel + "\r\nUniqueid: 1796857118." + position +
           "\r\nCallerIDNum: 556" + position + "\r\nCallerIDName: " + name +
           "\r\nConnectedLineNum: unknown\r\nConnectedLineName: unknown\r\nWait: 3\r\n";
}

const QByteArray Params = "Event: QueueParams\r\nQueue: sales\r\nCalls: 1\r\nServiceLevel: 30\r\n";
const QByteArray Anna = "Event: QueueMember\r\nQueue: sales\r\nName: Anna Agent\r\nLocation: "
                        "Local/6001@queue-agents/n\r\nStatus: 1\r\nPaused: 0\r\n";
const QByteArray MemberStatus =
    "Event: QueueMemberStatus\r\nPrivilege: agent,all\r\nQueue: sales\r\nMemberName: Anna "
    "Agent\r\nInterface: Local/6001@queue-agents/n\r\nStatus: 2\r\nPaused: 0\r\nInCall: 1\r\n\r\n";

// A live session with reconnection that follows the queues of the PBX on `port`.
struct Rig
{
    explicit Rig(quint16 port, std::chrono::milliseconds poll = 10000ms,
                 std::chrono::milliseconds listing = 15000ms)
        : current(&session, &Session::queuesCurrentChanged)
        , finished(&session, &Session::queuePauseFinished)
    {
        corvale::SessionSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        settings.live = settings.reconnect = settings.queues = true;
        settings.queuePollInterval = poll;
        session.setSettings(settings);
        corvale::SessionTimes times;
        times.answerWait = 2000ms;
        times.readInterval = 1ms;
        times.listingInterval = listing;
        times.retryDelay = [](int) { return 5ms; };
        session.setTimes(times);
        session.userName = [] { return std::string("admin"); };
        session.password = [] { return std::string("secret"); };
    }

    const corvale::Queue* queue(std::string_view name) const
    {
        return session.queues()->find(name);
    }

    // The channels of the callers waiting, in order.
    QStringList callers() const
    {
        QStringList out;
        const corvale::Queues* queues = session.queues();
        for (std::size_t row = 0; queues != nullptr && row < queues->size(); ++row)
            for (const auto& caller : queues->at(row).callers)
                out << QString::fromStdString(caller->channel);
        return out;
    }

    Session session;
    QSignalSpy current;
    QSignalSpy finished;
};

} // namespace

class SessionQueuesTest : public QObject
{
    Q_OBJECT

private slots:
    void listedAtLoginAndAfterEachReconnection();
    void polledUntilAQueueEventComes_data();
    void polledUntilAQueueEventComes();
    void eachPauseEndsInOneAnswer_data();
    void eachPauseEndsInOneAnswer();
    void everyGenerationOfTheSimulator_data();
    void everyGenerationOfTheSimulator();
};

void SessionQueuesTest::listedAtLoginAndAfterEachReconnection()
{
    FakePbx pbx;
    // Eve's name holds an empty line, and what follows it a forged caller.
    pbx.queueRecords = {Params, Anna,
                        entry("1", "Local/5001@queue-callers-00000000;2",
                              "Eve\r\n\r\n" + entry("2", "SIP/forged-00000009", "Forged"))};
    Rig rig(pbx.port());
    rig.session.open();
    QVERIFY(rig.current.wait(5000));
    QVERIFY(rig.session.queuesCurrent());
    const corvale::Queues* queues = rig.session.queues();
    QCOMPARE(rig.callers(), QStringList{"Local/5001@queue-callers-00000000;2"});
    QCOMPARE(queues->at(0).members.size(), std::size_t{1});
    QVERIFY(pbx.actions().first().contains("\r\nEvents: call,agent,system\r\n"));

    // Lost: not current until listed again, then the same queues say what the new listing says.
    pbx.queueRecords = {Params, Anna, entry("1", "Local/5002@queue-callers-00000001;2", "Dave")};
    pbx.closeAll();
    QVERIFY(rig.current.wait(5000));
    QCOMPARE(rig.current.last().first().toBool(), false);
    QVERIFY(rig.current.wait(5000));
    QCOMPARE(rig.current.last().first().toBool(), true);
    QCOMPARE(rig.session.queues(), queues);
    QCOMPARE(rig.callers(), QStringList{"Local/5002@queue-callers-00000001;2"});
    QCOMPARE(pbx.count("QueueStatus"), 2);
    QCOMPARE(pbx.connections(), 2);
}

void SessionQueuesTest::polledUntilAQueueEventComes_data()
{
    QTest::addColumn<QByteArray>("event");
    QTest::addColumn<bool>("stops");
    QTest::newRow("a member's status (class agent)") << MemberStatus << true;
    QTest::newRow("a call event") << QByteArray(
                                         "Event: Newexten\r\nPrivilege: call,all\r\nChannel: "
                                         "SIP/1-1\r\nExten: 200\r\n\r\n")
                                  << false;
}

void SessionQueuesTest::polledUntilAQueueEventComes()
{
    QFETCH(QByteArray, event);
    QFETCH(bool, stops);
    FakePbx pbx;
    pbx.queueRecords = {Params, Anna};
    QSignalSpy arrived(&pbx, &FakePbx::actionArrived);
    Rig rig(pbx.port(), 20ms, 300ms);
    rig.session.open();
    QTRY_VERIFY_WITH_TIMEOUT(pbx.count("QueueStatus") >= 3, 5000);
    QVERIFY(rig.session.queuesPolled());

    pbx.send(event);
    if (stops) {
        QTRY_VERIFY_WITH_TIMEOUT(!rig.session.queuesPolled(), 5000);
        // From now on the queues are listed with the calls: at most once per Status.
        const int queueListings = pbx.count("QueueStatus");
        const int callListings = pbx.count("CoreShowChannels") + pbx.count("Status");
        QTRY_VERIFY_WITH_TIMEOUT(
            pbx.count("CoreShowChannels") + pbx.count("Status") >= callListings + 2, 5000);
        QVERIFY(pbx.count("QueueStatus") <= queueListings + 3);
    } else {
        // Read before the next poll's listing is answered, which comes all the same.
        const int queueListings = pbx.count("QueueStatus");
        QTRY_VERIFY_WITH_TIMEOUT(pbx.count("QueueStatus") >= queueListings + 2, 5000);
        QVERIFY(rig.session.queuesPolled());
    }
    QVERIFY(rig.session.queuesCurrent());
}

void SessionQueuesTest::eachPauseEndsInOneAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("denied");
    QTest::newRow("paused") << QByteArray("Response: Success\r\nMessage: Interface paused "
                                          "successfully\r\n\r\n")
                            << "Lunch" << true << true << "Interface paused successfully" << false;
    QTest::newRow("no write class agent")
        << QByteArray("Response: Error\r\nMessage: Permission denied\r\n\r\n") << "Lunch" << true
        << false << "Permission denied" << true;
    QTest::newRow("a reason with a line break")
        << QByteArray() << "Lunch\r\nAction: Hangup" << false << false << QString() << false;
    // Unanswered, then the connection goes.
    QTest::newRow("lost") << QByteArray() << "Lunch" << true << false << QString() << false;
}

void SessionQueuesTest::eachPauseEndsInOneAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, reason);
    QFETCH(bool, sent);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(bool, denied);
    FakePbx pbx;
    pbx.pauseAnswer = answer;
    Rig rig(pbx.port());
    rig.session.open();
    QVERIFY(rig.current.wait(5000));

    rig.session.requestQueuePause("Local/6001@queue-agents/n", true, "sales", reason);
    QCOMPARE(rig.finished.count(), 0); // always later
    if (sent && answer.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(pbx.count("QueuePause"), 1, 5000);
        pbx.closeAll();
    }
    QVERIFY(rig.finished.wait(5000));
    QCOMPARE(rig.finished.count(), 1);
    const QList<QVariant> told = rig.finished.first();
    QCOMPARE(told.at(0).toString(), QStringLiteral("Local/6001@queue-agents/n"));
    QCOMPARE(told.at(1).toBool(), ok);
    if (!message.isEmpty())
        QCOMPARE(told.at(2).toString(), message);
    QVERIFY(ok || !told.at(2).toString().isEmpty());
    QCOMPARE(told.at(3).toBool(), denied);
    QCOMPARE(pbx.count("QueuePause"), sent ? 1 : 0);
}

void SessionQueuesTest::everyGenerationOfTheSimulator_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("greeting");
    QTest::addColumn<QString>("reason"); // as the listing then says
    QTest::newRow("1.0") << "legacy"
                         << "1.0" << QString(); // no reason up to 1.4
    QTest::newRow("1.1") << "legacy"
                         << "1.1"
                         << "Lunch";
    QTest::newRow("1.3") << "legacy"
                         << "1.3"
                         << "Lunch";
    QTest::newRow("13.0.0") << "modern"
                            << "13.0.0"
                            << "Lunch";
}

void SessionQueuesTest::everyGenerationOfTheSimulator()
{
    QFETCH(QString, dialect);
    QFETCH(QString, greeting);
    QFETCH(QString, reason);
    PbxSim sim({"--dialect", dialect, "--greeting-version", greeting, "--queue-demo", "--secret",
                "secret"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    Rig rig(sim.port(), 100ms, 100ms);
    rig.session.open();
    QVERIFY(rig.current.wait(5000));
    QCOMPARE(rig.callers().size(), 3);
    const std::string victim = rig.queue("sales")->callers.front()->channel;

    // A caller whose name forges the victim's entry with a long wait.
    QCOMPARE(sim.command(QStringLiteral("forge-queue sales Local/114@queue-callers-0000f114;2 ") +
                         QString::fromStdString(victim)),
             QStringLiteral("ok Local/114@queue-callers-0000f114;2"));
    const auto& listings = rig.session.client().queueClient();
    const std::uint64_t before = listings.statusListings();
    QTRY_VERIFY_WITH_TIMEOUT(rig.session.client().queueClient().statusListings() >= before + 2,
                             5000);
    const corvale::Queue& sales = *rig.queue("sales");
    QCOMPARE(rig.callers().count(QString::fromStdString(victim)), 1);
    QVERIFY(rig.callers().contains("Local/114@queue-callers-0000f114;2"));
    for (const auto& caller : sales.callers)
        QVERIFY(caller->waitSeconds(rig.session.queues()->now()) < 3600);

    rig.session.requestQueuePause("Local/6001@queue-agents/n", true, "sales", "Lunch");
    QVERIFY(rig.finished.wait(5000));
    QCOMPARE(rig.finished.first().at(1).toBool(), true);
    QTRY_VERIFY_WITH_TIMEOUT(sales.members.front()->paused, 5000);
    QCOMPARE(QString::fromStdString(sales.members.front()->pausedReason), reason);
}

QTEST_GUILESS_MAIN(SessionQueuesTest)
#include "tst_sessionQueues.moc"
