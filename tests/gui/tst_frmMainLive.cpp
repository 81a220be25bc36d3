// The window in live mode against a PBX the test scripts byte by byte: the selection and the
// scroll position kept while calls come and go, "Currently No Calls", ticking minutes, and
// Disconnect Call and Refresh List. (Calls that start, change and end in each PBX generation,
// and the periodic listing: tst_frmMainLiveSim.)
#include "LiveCallList.h"
#include "ScriptedPbx.h"
#include "WindowHarness.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Greeting = "Asterisk Call Manager/13.0.0\r\n";
const QByteArray LiveLogin = "Action: login\r\nUsername: admin\r\nSecret: \r\nEvents: call\r\n\r\n";
const QByteArray Accepted = "Response: Success\r\nMessage: Authentication accepted\r\n\r\n";
const QByteArray StatusAction = "Action: Status\r\nActionID: *\r\n\r\n";
const QString NoCalls = u"Currently No Calls"_s;

// A call event of a current PBX, its channel block as the recordings show it.
QByteArray callEvent(const QByteArray& name, const QByteArray& channel,
                     const QByteArray& number = "<unknown>",
                     const QByteArray& callerName = "<unknown>", const QByteArray& exten = "200")
{
    return "Event: " + name + "\r\nPrivilege: call,all\r\nChannel: " + channel +
           "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\nCallerIDNum: " + number +
           "\r\nCallerIDName: " + callerName +
           "\r\nConnectedLineNum: <unknown>\r\nConnectedLineName: <unknown>\r\nLanguage: en\r\n"
           "AccountCode: \r\nContext: calls\r\nExten: " +
           exten + "\r\nPriority: 1\r\nUniqueid: 1796780513.54\r\nLinkedid: 1796780513.54\r\n\r\n";
}

QByteArray hangupEvent(const QByteArray& channel)
{
    QByteArray e = callEvent("Hangup", channel);
    e.insert(e.size() - 2, "Cause: 16\r\nCause-txt: Normal Clearing\r\n");
    return e;
}

QByteArray record(const QByteArray& channel, const QByteArray& number, const QByteArray& name,
                  const QByteArray& seconds, const QByteArray& exten = "200")
{
    return "Event: Status\r\nPrivilege: Call\r\nChannel: " + channel +
           "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\nCallerIDNum: " + number +
           "\r\nCallerIDName: " + name + "\r\nContext: calls\r\nExten: " + exten +
           "\r\nPriority: 4\r\nUniqueid: 1796780513.54\r\nLinkedid: 1796780513.54\r\nSeconds: " +
           seconds + "\r\n\r\n";
}

QByteArray listing(const QByteArray& records)
{
    return "Response: Success\r\nEventList: start\r\nMessage: Channel status will follow\r\n\r\n" +
           records + "Event: StatusComplete\r\nEventList: Complete\r\nListItems: 0\r\n\r\n";
}

// The minutes are left out ("*"): seconds pass while a test runs. They are checked where the
// test controls the time, in minutesTickEverySecond and in the client's own tests.
QString entry(const QString& channel, const QString& number, const QString& name,
              const QString& exten = u"200"_s, const QString& minutes = u"*"_s)
{
    return channel + u" From: "_s + number + u" <"_s + name + u"> To: "_s + exten + u" Lasted: "_s +
           minutes + u" minutes."_s;
}

QStringList shown(const WindowHarness& h)
{
    static const QRegularExpression minutes(u" Lasted: [^ ]+ minutes\\.$"_s);
    QStringList out = h.shownEntries();
    for (QString& line : out)
        line.replace(minutes, u" Lasted: * minutes."_s);
    return out;
}

QByteArray channelOf(int n)
{
    return "PJSIP/" + QByteArray::number(1000 + n) + "-0000" + QByteArray::number(n);
}

// Logged in live and listed.
bool listedLive(WindowHarness& h, ScriptedPbx& pbx, const QByteArray& records, int rows)
{
    h.window.setLive(true);
    h.window.show();
    pbx.greet(Greeting);
    pbx.onRequest(LiveLogin, Accepted);
    pbx.onRequest(StatusAction, listing(records));
    h.connectTo(pbx.port());
    return QTest::qWaitFor([&] { return h.list()->model()->rowCount() == rows; }, 5000);
}

QString channelAtTop(const WindowHarness& h)
{
    const QModelIndex top = h.list()->indexAt(h.list()->viewport()->rect().topLeft());
    const QString text = top.data().toString();
    return text.left(text.indexOf(u' '));
}

QString selectedText(const WindowHarness& h)
{
    const QModelIndexList selected = h.list()->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : selected.front().data().toString();
}

} // namespace

class FrmMainLiveTest : public QObject
{
    Q_OBJECT

private slots:
    void selectionAndScrollPositionStay();
    void noCallsShownExactlyWhenThereAreNone();
    void minutesTickEverySecond();
    void disconnectAndRefreshKeepTheListFollowing();
    void refusedListingIsSaidOncePerRequest();
    void eachFieldDecodedOnItsOwn();
};

void FrmMainLiveTest::selectionAndScrollPositionStay()
{
    WindowHarness h;
    ScriptedPbx pbx;
    QByteArray records;
    for (int n = 0; n < 80; ++n)
        records += record(channelOf(n), QByteArray::number(n), "Caller", "60");
    QVERIFY(listedLive(h, pbx, records, 80));
    QSignalSpy resets(h.list()->model(), &QAbstractItemModel::modelReset);

    h.list()->scrollTo(h.list()->model()->index(30, 0), QAbstractItemView::PositionAtTop);
    QCOMPARE(channelAtTop(h), QString::fromLatin1(channelOf(30)));
    h.selectRow(40);
    const QString selected = selectedText(h);
    QVERIFY(selected.startsWith(QString::fromLatin1(channelOf(40))));

    // Calls end above the view and below the selection, others start: the operator still looks
    // at the same calls with the same one selected.
    pbx.send(hangupEvent(channelOf(0)) + hangupEvent(channelOf(29)) + hangupEvent(channelOf(10)) +
             hangupEvent(channelOf(60)) + callEvent("Newchannel", "PJSIP/new-1"));
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 77, 5000);
    QCOMPARE(channelAtTop(h), QString::fromLatin1(channelOf(30)));
    QCOMPARE(selectedText(h), selected);

    // The focus alone was moved to another call, which ends: the selection stays where it was.
    const auto rowOf = [&h](const QByteArray& channel) {
        const QStringList entries = h.shownEntries();
        for (int row = 0; row < entries.size(); ++row) {
            if (entries[row].startsWith(QString::fromLatin1(channel + " ")))
                return row;
        }
        return -1;
    };
    h.list()->selectionModel()->setCurrentIndex(h.list()->model()->index(rowOf(channelOf(50)), 0),
                                                QItemSelectionModel::NoUpdate);
    pbx.send(hangupEvent(channelOf(50)));
    QTRY_COMPARE_WITH_TIMEOUT(rowOf(channelOf(50)), -1, 5000);
    QCOMPARE(h.list()->selectionModel()->selectedIndexes().size(), 1);
    QCOMPARE(selectedText(h), selected);

    // The top call itself ends: the next one moves up into its place.
    pbx.send(hangupEvent(channelOf(30)));
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 75, 5000);
    QCOMPARE(channelAtTop(h), QString::fromLatin1(channelOf(31)));

    // The selected call ends: nothing is selected, no neighbour becomes current, and
    // Disconnect Call has nothing to disconnect.
    pbx.send(hangupEvent(channelOf(40)));
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 74, 5000);
    QVERIFY(h.list()->selectionModel()->selectedIndexes().isEmpty());
    QVERIFY(!h.list()->currentIndex().isValid());
    h.button("cmdKillCall")->click();
    QCoreApplication::processEvents();
    QVERIFY(!pbx.received().contains("Hangup"));
    QVERIFY(h.messages.isEmpty());
    QCOMPARE(resets.size(), 0);
}

void FrmMainLiveTest::noCallsShownExactlyWhenThereAreNone()
{
    WindowHarness h;
    ScriptedPbx pbx;
    h.window.setLive(true);
    h.window.show();
    pbx.greet(Greeting);
    pbx.onRequest(LiveLogin, Accepted);
    h.connectTo(pbx.port());
    QVERIFY(pbx.waitForReceived(StatusAction));
    // Before the first listing nothing is known, so nothing is claimed.
    QCOMPARE(h.list()->model()->rowCount(), 0);

    pbx.send(listing(QByteArray()));
    QTRY_COMPARE_WITH_TIMEOUT(shown(h), QStringList{NoCalls}, 5000);
    // The placeholder is not a call.
    h.selectRow(0);
    h.button("cmdKillCall")->click();

    pbx.send(callEvent("Newchannel", "PJSIP/a-1"));
    QTRY_COMPARE_WITH_TIMEOUT(
        shown(h), QStringList{entry(u"PJSIP/a-1"_s, u"<unknown>"_s, u"<unknown>"_s)}, 5000);
    QVERIFY(h.list()->selectionModel()->selectedIndexes().isEmpty());
    pbx.send(hangupEvent("PJSIP/a-1"));
    QTRY_COMPARE_WITH_TIMEOUT(shown(h), QStringList{NoCalls}, 5000);
    QVERIFY(!pbx.received().contains("Hangup"));
    QVERIFY(h.messages.isEmpty());
}

void FrmMainLiveTest::minutesTickEverySecond()
{
    WindowHarness h;
    ScriptedPbx pbx;
    QVERIFY(listedLive(h, pbx, record("PJSIP/a-1", "100", "Alice", "59"), 1));
    const auto minutes = [&h] {
        const QString text = h.shownEntries().front();
        const qsizetype at = text.indexOf(u"Lasted: "_s) + 8;
        return text.mid(at, text.indexOf(u' ', at) - at).toDouble();
    };
    // 59 s at the listing: 0.98, or more if the machine was slow to get here.
    const double first = minutes();
    QVERIFY2(first >= 0.98 && first < 1.5, qPrintable(QString::number(first)));

    // With nothing from the PBX the visible row is redrawn, and the minutes have moved on.
    QSignalSpy redraws(h.list()->model(), &QAbstractItemModel::dataChanged);
    QVERIFY(redraws.wait(3000));
    QTRY_VERIFY_WITH_TIMEOUT(minutes() >= first + 0.015, 3000);
    QVERIFY(h.shownEntries().front().startsWith(u"PJSIP/a-1 From: 100 <Alice> To: 200 Lasted: "_s));
    QCOMPARE(pbx.received(), LiveLogin + StatusAction);
}

void FrmMainLiveTest::disconnectAndRefreshKeepTheListFollowing()
{
    WindowHarness h;
    ScriptedPbx pbx;
    QVERIFY(listedLive(
        h, pbx,
        record("PJSIP/a-1", "100", "Alice", "60") + record("PJSIP/b-2", "200", "Bob", "120"), 2));
    QSignalSpy resets(h.list()->model(), &QAbstractItemModel::modelReset);

    pbx.onRequest("Action: Hangup\r\nChannel: PJSIP/b-2\r\n\r\n",
                  "Response: Success\r\nMessage: Channel Hungup\r\n\r\n" +
                      hangupEvent("PJSIP/b-2"));
    // While "Killed Call" is on screen, the list keeps following the PBX.
    bool followedDuringMessage = false;
    h.onMessage = [&](const QString&) {
        pbx.send(callEvent("Newchannel", "PJSIP/c-3", "300", "Carol"));
        followedDuringMessage = QTest::qWaitFor(
            [&] {
                return shown(h) == QStringList({entry(u"PJSIP/a-1"_s, u"100"_s, u"Alice"_s),
                                                entry(u"PJSIP/c-3"_s, u"300"_s, u"Carol"_s)});
            },
            5000);
    };
    h.selectRow(1);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages, QStringList{u"Killed Call PJSIP/b-2"_s});
    QVERIFY(followedDuringMessage);

    // The list is fetched again after the message, and not emptied meanwhile: the listing is
    // reconciled with it, and the selection stays on Alice.
    QVERIFY(pbx.waitForReceived(StatusAction, 2));
    QCOMPARE(h.list()->model()->rowCount(), 2);
    h.selectRow(0);
    h.button("cmdReFetch")->click();
    QCOMPARE(h.list()->model()->rowCount(), 2);
    QVERIFY(pbx.waitForReceived(StatusAction, 3));
    pbx.send(listing(record("PJSIP/a-1", "100", "Alice", "60")) +
             listing(record("PJSIP/c-3", "300", "Carol", "0") +
                     record("PJSIP/a-1", "100", "Alice", "60") +
                     record("PJSIP/d-4", "400", "Dan", "30")));
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 3, 5000);
    QCOMPARE(shown(h), QStringList({entry(u"PJSIP/a-1"_s, u"100"_s, u"Alice"_s),
                                    entry(u"PJSIP/c-3"_s, u"300"_s, u"Carol"_s),
                                    entry(u"PJSIP/d-4"_s, u"400"_s, u"Dan"_s)}));
    QVERIFY(selectedText(h).startsWith(u"PJSIP/a-1 "_s));
    QCOMPARE(resets.size(), 0);
    QCOMPARE(h.messages.size(), 1);
}

void FrmMainLiveTest::refusedListingIsSaidOncePerRequest()
{
    // The periodic listing of a user without the right to read calls is refused every time:
    // one message, not one every few seconds; a press on Refresh List is answered again.
    const QByteArray denied = "Response: Error\r\nMessage: Permission denied\r\n\r\n";
    const QString refused = u"The PBX refused the call list: Permission denied"_s;
    WindowHarness h;
    ScriptedPbx pbx;
    h.window.setLive(true);
    h.window.setListingInterval(std::chrono::milliseconds(20));
    h.window.show();
    pbx.greet(Greeting);
    pbx.onRequest(LiveLogin, Accepted);
    for (int i = 0; i < 5; ++i)
        pbx.onRequest(StatusAction, denied);
    h.connectTo(pbx.port());
    QVERIFY(pbx.waitForReceived(StatusAction, 5));
    QCOMPARE(h.messages, QStringList{refused});

    pbx.onRequest(StatusAction, denied);
    h.button("cmdReFetch")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.messages, QStringList({refused, refused}), 5000);
    QVERIFY(h.exits.isEmpty());
}

void FrmMainLiveTest::eachFieldDecodedOnItsOwn()
{
    WindowHarness h;
    ScriptedPbx pbx;
    QVERIFY(listedLive(h, pbx, record("PJSIP/a-1", "555\xff", "Zo\xc3\xab", "60"), 1));
    pbx.send(callEvent("Newchannel", "PJSIP/b-2", "M\xc3\xbcller", "Jos\xe9"));
    QTRY_COMPARE_WITH_TIMEOUT(shown(h),
                              QStringList({entry(u"PJSIP/a-1"_s, u"555ÿ"_s, u"Zoë"_s),
                                           entry(u"PJSIP/b-2"_s, u"Müller"_s, u"José"_s)}),
                              5000);
}

QTEST_MAIN(FrmMainLiveTest)
#include "tst_frmMainLive.moc"
