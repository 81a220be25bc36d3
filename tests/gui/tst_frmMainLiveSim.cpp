// The window in live mode end to end against the PBX simulator, in each PBX generation's
// events: calls started, changed, renamed, masqueraded and ended on the simulator show in the
// list without Refresh List, and the list ends equal to the PBX's channels.
#include "PbxSim.h"
#include "WindowHarness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QStringList channels(const WindowHarness& h)
{
    QStringList out;
    for (const QString& entry : h.shownEntries())
        out << entry.left(entry.indexOf(u' '));
    return out;
}

// The calls up on the simulator, as it says, in no particular order.
QStringList pbxChannels(PbxSim& sim, const QTemporaryDir& dir)
{
    const QString path = dir.filePath(u"channels.txt"_s);
    if (!sim.command(u"dump "_s + path).startsWith(u"ok"_s))
        return {u"(no dump)"_s};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {u"(unreadable dump)"_s};
    QStringList out;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            out << QString::fromUtf8(line);
    }
    return out;
}

bool sameSet(QStringList a, QStringList b)
{
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

QString rowOf(const WindowHarness& h, const QString& channel)
{
    for (const QString& entry : h.shownEntries()) {
        if (entry.startsWith(channel + u" "_s))
            return entry;
    }
    return QString();
}

} // namespace

class FrmMainLiveSimTest : public QObject
{
    Q_OBJECT

private slots:
    void followsTheSimulator_data();
    void followsTheSimulator();
    void disconnectCallIsFollowedByItsHangupEvent();
    void equalToThePbxAfterChurn();
};

void FrmMainLiveSimTest::followsTheSimulator_data()
{
    QTest::addColumn<QStringList>("generation");
    QTest::addColumn<bool>("extenByEvent"); // Newexten in the call class
    QTest::newRow("1.4 (1.0)") << QStringList{"--greeting-version", "1.0"} << true;
    QTest::newRow("1.6 to 10 (1.1)") << QStringList{"--greeting-version", "1.1"} << false;
    QTest::newRow("11 (1.3)") << QStringList{"--greeting-version", "1.3"} << false;
    QTest::newRow("current (13.0.0)")
        << QStringList{"--dialect", "modern", "--greeting-version", "13.0.0"} << false;
}

void FrmMainLiveSimTest::followsTheSimulator()
{
    QFETCH(QStringList, generation);
    QFETCH(bool, extenByEvent);
    PbxSim sim(generation + QStringList{"--calls", "3", "--seed", "7"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    QTemporaryDir dir;
    WindowHarness h;
    h.window.setLive(true);
    h.window.show();
    h.connectTo(sim.port());
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 3, 10000);
    const QStringList first = channels(h);
    QSignalSpy resets(h.list()->model(), &QAbstractItemModel::modelReset);

    // A call starts: at the end of the list, with its caller.
    QCOMPARE(sim.command(u"start SIP/9001-00000001 9001 Zoë Müller"_s), u"ok SIP/9001-00000001"_s);
    QTRY_COMPARE_WITH_TIMEOUT(channels(h), first + QStringList{u"SIP/9001-00000001"_s}, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
        h.shownEntries().at(3).startsWith(u"SIP/9001-00000001 From: 9001 <Zoë Müller> To: "_s),
        5000);

    // It changes its caller and is renamed: in place.
    QCOMPARE(sim.command(u"callerid SIP/9001-00000001 9002 Bob"_s), u"ok"_s);
    QTRY_VERIFY_WITH_TIMEOUT(
        h.shownEntries().at(3).startsWith(u"SIP/9001-00000001 From: 9002 <Bob>"_s), 5000);
    QCOMPARE(sim.command(u"rename SIP/9001-00000001 SIP/9001-00000002"_s), u"ok"_s);
    QTRY_VERIFY_WITH_TIMEOUT(
        h.shownEntries().at(3).startsWith(u"SIP/9001-00000002 From: 9002 <Bob>"_s), 5000);

    // The first call takes over the new one (a transfer): only the new one's name is left.
    QCOMPARE(sim.command(u"masquerade "_s + first[0] + u" SIP/9001-00000002"_s), u"ok"_s);
    QTRY_VERIFY_WITH_TIMEOUT(sameSet(channels(h), pbxChannels(sim, dir)), 5000);
    QVERIFY(!channels(h).contains(first[0]));
    QVERIFY(channels(h).contains(u"SIP/9001-00000002"_s));

    // Another ends.
    QCOMPARE(sim.command(u"hangup "_s + first[1]), u"ok"_s);
    QTRY_VERIFY_WITH_TIMEOUT(!channels(h).contains(first[1]), 5000);

    // A change of extension: an event in 1.4, otherwise the next listing.
    QCOMPARE(sim.command(u"exten "_s + first[2] + u" 777"_s), u"ok"_s);
    if (!extenByEvent)
        h.window.setListingInterval(std::chrono::milliseconds(300));
    QTRY_VERIFY_WITH_TIMEOUT(rowOf(h, first[2]).contains(u" To: 777 Lasted: "_s), 5000);

    QVERIFY(sameSet(channels(h), pbxChannels(sim, dir)));
    QCOMPARE(resets.size(), 0);
    QVERIFY(h.messages.isEmpty());
}

void FrmMainLiveSimTest::disconnectCallIsFollowedByItsHangupEvent()
{
    PbxSim sim({"--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "3"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    WindowHarness h;
    h.window.setLive(true);
    h.window.show();
    h.connectTo(sim.port());
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 3, 10000);
    const QStringList first = channels(h);

    h.selectRow(1);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages, QStringList{u"Killed Call "_s + first[1]});
    QTRY_COMPARE_WITH_TIMEOUT(channels(h), QStringList({first[0], first[2]}), 5000);
    QVERIFY(h.list()->selectionModel()->selectedIndexes().isEmpty());
}

void FrmMainLiveSimTest::equalToThePbxAfterChurn()
{
    PbxSim sim({"--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "200"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    QTemporaryDir dir;
    WindowHarness h;
    h.window.setLive(true);
    h.window.show();
    h.connectTo(sim.port());
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 200, 10000);

    // 100 calls start and 100 end in one second; then the list is the PBX's.
    QElapsedTimer churning;
    churning.start();
    QCOMPARE(sim.command(u"churn 100 1"_s), u"ok"_s);
    QTRY_VERIFY_WITH_TIMEOUT(
        churning.elapsed() > 1200 && sameSet(channels(h), pbxChannels(sim, dir)), 10000);
    QCOMPARE(h.list()->model()->rowCount(), 200);
    QVERIFY(h.messages.isEmpty());
}

QTEST_MAIN(FrmMainLiveSimTest)
#include "tst_frmMainLiveSim.moc"
