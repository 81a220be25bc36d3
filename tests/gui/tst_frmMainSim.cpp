// The window end to end against the PBX simulator on a free loopback port: what an operator
// does, with the simulator answering as a PBX would.
#include "PbxSim.h"
#include "WindowHarness.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString ConnectionError = u"I encounted an error - is the host there and the port open?"_s;

bool listedFrom(WindowHarness& h, const PbxSim& sim, int rows, const QString& secret = QString())
{
    h.window.show();
    h.connectTo(sim.port(), secret);
    return QTest::qWaitFor([&] { return h.list()->model()->rowCount() == rows; }, 10000);
}

int rowContaining(const WindowHarness& h, const QString& text)
{
    const QStringList entries = h.shownEntries();
    for (int row = 0; row < entries.size(); ++row) {
        if (entries[row].contains(text))
            return row;
    }
    return -1;
}

QString channelOf(const QString& entry)
{
    return entry.left(entry.indexOf(u' '));
}

// A second manager connection that hangs up a channel behind the window's back.
bool hangUpElsewhere(quint16 port, const QByteArray& channel)
{
    QTcpSocket other;
    other.connectToHost(QHostAddress::LocalHost, port);
    if (!other.waitForConnected(5000))
        return false;
    other.write("Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: Off\r\n\r\n"
                "Action: Hangup\r\nChannel: " +
                channel + "\r\n\r\n");
    QByteArray seen;
    while (!seen.contains("Channel Hungup")) {
        if (!other.waitForReadyRead(5000))
            return false;
        seen += other.readAll();
    }
    return true;
}

} // namespace

class FrmMainSimTest : public QObject
{
    Q_OBJECT

private slots:
    void listsAndDisconnectsACall_data();
    void listsAndDisconnectsACall();
    void reportsThePbxErrorForAGoneCall();
    void reportsAHangupThatGetsNoAnswer();
    void rejectedLoginShowsOneMessageThenEnds();
    void connectionClosedAfterLoginEnds();
};

void FrmMainSimTest::listsAndDisconnectsACall_data()
{
    QTest::addColumn<QStringList>("dialect");
    QTest::newRow("legacy 1.1") << QStringList{"--dialect", "legacy"};
    QTest::newRow("modern 13.0.0")
        << QStringList{"--dialect", "modern", "--greeting-version", "13.0.0"};
}

void FrmMainSimTest::listsAndDisconnectsACall()
{
    QFETCH(QStringList, dialect);
    PbxSim sim(dialect + QStringList{"--calls", "12", "--hostile", "--secret", "s3cret"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));

    // 12 calls and 15 with names that look like manager text.
    WindowHarness h;
    QVERIFY(listedFrom(h, sim, 27, u"s3cret"_s));
    QVERIFY(h.messages.isEmpty());
    for (const QString& entry : h.shownEntries())
        QVERIFY2(entry.contains(u" From: "_s) && entry.endsWith(u" minutes."_s), qPrintable(entry));

    // The name arrives as UTF-8 and is shown as the caller wrote it.
    const int zoe = rowContaining(h, u"<Zoë Müller>"_s);
    QVERIFY(zoe >= 0);
    const QString channel = channelOf(h.shownEntries()[zoe]);
    h.selectRow(zoe);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages, QStringList{u"Killed Call "_s + channel});

    // Gone after the refresh; the rest still there.
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 26, 10000);
    QCOMPARE(rowContaining(h, channel + u" "_s), -1);
    QVERIFY(h.exits.isEmpty());
}

void FrmMainSimTest::reportsThePbxErrorForAGoneCall()
{
    PbxSim sim({"--calls", "3"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    QVERIFY(listedFrom(h, sim, 3));
    const QString channel = channelOf(h.shownEntries()[1]);
    QVERIFY(hangUpElsewhere(sim.port(), channel.toLatin1()));

    h.selectRow(1);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages, QStringList{u"The call on "_s + channel +
                                     u" could not be disconnected: No such channel"_s});
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 2, 10000);
}

void FrmMainSimTest::reportsAHangupThatGetsNoAnswer()
{
    PbxSim sim({"--calls", "2", "--no-hangup-answer"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    h.window.setAnswerTimeout(std::chrono::milliseconds(500));
    QVERIFY(listedFrom(h, sim, 2));
    const QString channel = channelOf(h.shownEntries()[0]);

    h.selectRow(0);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages, QStringList{u"The PBX did not answer the request to disconnect "_s +
                                     channel + u"."_s});
    // The list is fetched again all the same.
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 1, 10000);
}

void FrmMainSimTest::rejectedLoginShowsOneMessageThenEnds()
{
    PbxSim sim({"--refuse-login"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    // Like a real modal box, the message lets socket events run until the PBX has closed.
    h.onMessage = [&](const QString&) {
        QSignalSpy closed(&h.window.socket(), &corvale::SocketAdapter::closedByPeer);
        if (h.window.socket().state() != QAbstractSocket::UnconnectedState)
            closed.wait(5000);
    };
    h.window.show();
    h.connectTo(sim.port());
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 10000);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{u"Your manager details are incorrect"_s});
    QCOMPARE(h.exits, QList<int>{1});
}

void FrmMainSimTest::connectionClosedAfterLoginEnds()
{
    PbxSim sim({"--close-after-login"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    h.window.show();
    h.connectTo(sim.port());
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 10000);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{ConnectionError});
}

QTEST_MAIN(FrmMainSimTest)
#include "tst_frmMainSim.moc"
