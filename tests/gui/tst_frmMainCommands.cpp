// The window against a PBX the test scripts byte by byte: connecting, the road of one listing,
// Disconnect Call, Refresh List, the ways a run ends, and the refusals.
#include "CallListModel.h"
#include "ScriptedPbx.h"
#include "WindowHarness.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Greeting = "Asterisk Call Manager/1.1\r\n";
const QByteArray LoginOf = "Action: login\r\nUsername: admin\r\nSecret: ";
const QByteArray Accepted = "Response: Success\r\nMessage: Authentication accepted\r\n\r\n";
const QByteArray Rejected = "Response: Error\r\nMessage: Authentication failed\r\n\r\n";
const QByteArray StatusAction = "Action: Status\r\nActionID: *\r\n\r\n";
const QByteArray ConnectionError = "I encounted an error - is the host there and the port open?";

// One status record as a PBX up to version 11 sends it; an empty channel leaves the line out.
QByteArray record(const QByteArray& channel, const QByteArray& callerId, const QByteArray& name,
                  const QByteArray& seconds)
{
    QByteArray r = "Event: Status\r\nPrivilege: Call\r\n";
    if (!channel.isEmpty())
        r += "Channel: " + channel + "\r\n";
    r += "CallerID: " + callerId + "\r\nCallerIDName: " + name +
         "\r\nAccount: \r\nState: Up\r\nContext: default\r\nExtension: 200\r\nPriority: 1\r\n"
         "Seconds: " +
         seconds + "\r\nLink: \r\nUniqueid: 1712.7\r\n\r\n";
    return r;
}

QByteArray listing(const QByteArray& records)
{
    return "Response: Success\r\nMessage: Channel status will follow\r\n\r\n" + records +
           "Event: StatusComplete\r\nItems: 0\r\n\r\n";
}

QByteArray hangup(const QByteArray& channel)
{
    return "Action: Hangup\r\nChannel: " + channel + "\r\n\r\n";
}

const QByteArray Alice = record("SIP/100-0a1b", "100", "Alice", "90");
const QByteArray Bob = record("SIP/200-0c0d", "201", "Bob", "3600");
const QString AliceEntry = u"SIP/100-0a1b From: 100 <Alice> To: 200 Lasted: 1.50 minutes."_s;
const QString BobEntry = u"SIP/200-0c0d From: 201 <Bob> To: 200 Lasted: 60.00 minutes."_s;

const QByteArray Hungup = "Response: Success\r\nMessage: Channel Hungup\r\n\r\n";
// What a PBX answers a manager user without the call class.
const QByteArray Denied = "Response: Error\r\nMessage: Permission denied\r\n\r\n";
const QString Refused = u"The PBX refused the call list: Permission denied"_s;

// The PBX greets, accepts the login and answers the first status action with `firstStatus`.
void acceptLogin(ScriptedPbx& pbx, const QByteArray& firstStatus)
{
    pbx.greet(Greeting);
    pbx.onRequest("Events: Off\r\n\r\n", Accepted);
    pbx.onRequest(StatusAction, firstStatus);
}

// Logged in and listed: the PBX has answered the login and the first status action.
bool listed(WindowHarness& h, ScriptedPbx& pbx, const QByteArray& records, int rows)
{
    acceptLogin(pbx, listing(records));
    h.connectTo(pbx.port());
    return QTest::qWaitFor([&] { return h.list()->model()->rowCount() == rows; }, 5000);
}

} // namespace

class FrmMainCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void roadOfOneListing();
    void disconnectCallReportsWhatThePbxDid_data();
    void disconnectCallReportsWhatThePbxDid();
    void disconnectCallIgnoresNoSelectionAndPlaceholder();
    void disconnectCallRefusesChannels_data();
    void disconnectCallRefusesChannels();
    void entriesShownAsUtf8WhileHangupSendsExactBytes();
    void refreshListEmptiesAtOnceAndRefetches();
    void sendsBeforeConnectingNeverConfuseAnswers();
    void refusedListingIsReported();
    void enterPressesTheFocusedButton();
    void blanksAroundTheHostAreDropped();
    void rejectedLoginShowsOneMessageThenEnds();
    void rejectionReadBeforeTheCloseIsReported();
    void refusedPortShowsMessageThenEnds();
    void closedConnectionShowsOneMessageThenEnds();
    void connectionLostWhileAwaitingHangupEndsWithoutMore();
    void closingWindowWhileAwaitingHangupStopsTheCommand();
    void windowTornDownWhileConnectedSaysNothing();
    void connectRefuses_data();
    void connectRefuses();
    void exitStatusFromTheEventLoop();
};

void FrmMainCommandsTest::roadOfOneListing()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    pbx.greet(Greeting + "Some banner\r\n");
    // A secret goes out in UTF-8, as the PBX stores it.
    const QByteArray login = LoginOf + "p\xc3\xa4ssw\xc3\xb6rd\xe2\x82\xac\r\nEvents: Off\r\n\r\n";
    pbx.onRequest(login, Accepted);

    h.connectTo(pbx.port(), u"pässwörd€"_s);
    QVERIFY(!h.window.loginMode());
    QVERIFY(pbx.waitForReceived(StatusAction));
    QCOMPARE(pbx.received(), login + StatusAction);

    QSignalSpy arrivals(&h.window.socket(), &corvale::SocketAdapter::dataArrival);
    QSignalSpy inserts(h.list()->model(), &QAbstractItemModel::rowsInserted);
    pbx.send(listing(Alice + Bob + record("IAX2/7-1", "7", "", "")));
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 3, 5000);
    QCOMPARE(h.shownEntries(),
             QStringList({AliceEntry, BobEntry,
                          u"IAX2/7-1 From: 7 <> To: 200 Lasted: Unknown minutes."_s}));
    // The entries of one arrival go in as one batch, not one row at a time.
    QVERIFY2(inserts.size() <= arrivals.size(),
             qPrintable(u"%1 inserts for %2 arrivals"_s.arg(inserts.size()).arg(arrivals.size())));
    QVERIFY(h.messages.isEmpty());
    QVERIFY(h.exits.isEmpty());
}

void FrmMainCommandsTest::disconnectCallReportsWhatThePbxDid_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("message");
    QTest::newRow("success") << Hungup << u"Killed Call SIP/200-0c0d"_s;
    QTest::newRow("error") << QByteArray("Response: Error\r\nMessage: No such channel\r\n\r\n")
                           << u"The call on SIP/200-0c0d could not be disconnected: "
                              "No such channel"_s;
    QTest::newRow("no answer") << QByteArray()
                               << u"The PBX did not answer the request to disconnect "
                                  "SIP/200-0c0d."_s;
}

void FrmMainCommandsTest::disconnectCallReportsWhatThePbxDid()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, message);

    WindowHarness h;
    h.window.show();
    h.window.setAnswerTimeout(std::chrono::milliseconds(300));
    ScriptedPbx pbx;
    QVERIFY(listed(h, pbx, Alice + Bob, 2));

    if (!answer.isEmpty())
        pbx.onRequest(hangup("SIP/200-0c0d"), answer);
    pbx.onRequest(StatusAction, listing(Alice));
    int statusesAtMessage = -1;
    h.onMessage = [&](const QString&) {
        statusesAtMessage = static_cast<int>(pbx.received().count(StatusAction));
    };

    h.selectRow(1);
    h.button("cmdKillCall")->click();

    QCOMPARE(h.messages, QStringList{message});
    // The message comes first, then the list is fetched again.
    QCOMPARE(statusesAtMessage, 1);
    QVERIFY(pbx.waitForReceived(StatusAction, 2));
    QVERIFY(pbx.received().endsWith(hangup("SIP/200-0c0d") + StatusAction));
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{AliceEntry}, 5000);
    QVERIFY(h.exits.isEmpty());
}

void FrmMainCommandsTest::disconnectCallIgnoresNoSelectionAndPlaceholder()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    QVERIFY(listed(h, pbx, QByteArray(), 1));
    QCOMPARE(h.shownEntries(), QStringList{u"Currently No Calls"_s});

    h.button("cmdKillCall")->click(); // nothing selected
    h.selectRow(0);
    h.button("cmdKillCall")->click(); // the placeholder is not a call

    // Anything sent by the clicks would arrive before this refresh.
    h.button("cmdReFetch")->click();
    QVERIFY(pbx.waitForReceived(StatusAction, 2));
    QVERIFY(!pbx.received().contains("Hangup"));
    QVERIFY(h.messages.isEmpty());
}

void FrmMainCommandsTest::disconnectCallRefusesChannels_data()
{
    QTest::addColumn<QByteArray>("channel");
    QTest::addColumn<QString>("because");
    QTest::newRow("empty") << QByteArray() << u"names no channel"_s;
    QTest::newRow("pattern") << QByteArray("/SIP/.*") << u"begins with \"/\""_s;
    QTest::newRow("NUL") << QByteArray("SIP/1\0x", 7) << u"NUL"_s;
}

void FrmMainCommandsTest::disconnectCallRefusesChannels()
{
    QFETCH(QByteArray, channel);
    QFETCH(QString, because);

    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    QVERIFY(listed(h, pbx, record(channel, "100", "Alice", "90"), 1));
    h.selectRow(0);
    h.button("cmdKillCall")->click();

    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages.front().contains(because), qPrintable(h.messages.front()));
    QVERIFY(!h.messages.front().startsWith(u"Killed Call"_s));
    // Nothing was sent, and the list was not fetched again.
    h.button("cmdReFetch")->click();
    QVERIFY(pbx.waitForReceived(StatusAction, 2));
    QVERIFY(!pbx.received().contains("Hangup"));
}

void FrmMainCommandsTest::entriesShownAsUtf8WhileHangupSendsExactBytes()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    const QByteArray utf8Channel = "SIP/zo\xc3\xab-1";
    QVERIFY(listed(h, pbx,
                   record(utf8Channel, "5550105", "Zo\xc3\xab M\xc3\xbcller", "60") +
                       record("SIP/m\xfc-2", "5550106", "M\xfcller", "120") +
                       record("SIP/3", "555\xff", "Zo\xc3\xab", "180"),
                   3));
    QCOMPARE(h.shownEntries(),
             QStringList({u"SIP/zoë-1 From: 5550105 <Zoë Müller> To: 200 Lasted: 1.00 minutes."_s,
                          // Not UTF-8: one byte per character.
                          u"SIP/mü-2 From: 5550106 <Müller> To: 200 Lasted: 2.00 minutes."_s,
                          // Each field on its own.
                          u"SIP/3 From: 555ÿ <Zoë> To: 200 Lasted: 3.00 minutes."_s}));
    QCOMPARE(h.window.calls().bytesAt(1).substr(0, 8), std::string("SIP/m\xfc-2"));

    pbx.onRequest(hangup(utf8Channel), Hungup);
    h.selectRow(0);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages, QStringList{u"Killed Call SIP/zoë-1"_s});
    QVERIFY(pbx.received().contains(hangup(utf8Channel)));
}

void FrmMainCommandsTest::refreshListEmptiesAtOnceAndRefetches()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    QVERIFY(listed(h, pbx, Alice + Bob, 2));

    h.button("cmdReFetch")->click();
    QCOMPARE(h.list()->model()->rowCount(), 0);
    QVERIFY(pbx.waitForReceived(StatusAction, 2));

    // Pressed twice before any answer: only the second listing is shown.
    h.button("cmdReFetch")->click();
    QVERIFY(pbx.waitForReceived(StatusAction, 3));
    pbx.send(listing(Bob));
    pbx.send(listing(Alice));
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{AliceEntry}, 5000);

    // Pressed while a listing arrives: the rest of it stays out, and so does its end, which
    // would otherwise put "Currently No Calls" in front of the new listing.
    const QByteArray answer = "Response: Success\r\nMessage: Channel status will follow\r\n\r\n";
    const QByteArray end = "Event: StatusComplete\r\nItems: 0\r\n\r\n";
    const qsizetype bobCut = Bob.indexOf("Uniqueid");
    const std::pair<QByteArray, QByteArray> interrupted[] = {
        {answer + Alice, end},                                      // only its end still to come
        {answer + Alice + Bob.left(bobCut), Bob.mid(bobCut) + end}, // inside a record
    };
    const QByteArray carol = record("SIP/300-0e0f", "300", "Carol", "60");
    const QString carolEntry = u"SIP/300-0e0f From: 300 <Carol> To: 200 Lasted: 1.00 minutes."_s;
    int statuses = 3;
    for (const auto& [first, rest] : interrupted) {
        h.button("cmdReFetch")->click();
        QVERIFY(pbx.waitForReceived(StatusAction, ++statuses));
        pbx.send(first);
        QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{AliceEntry}, 5000);
        h.button("cmdReFetch")->click();
        QVERIFY(pbx.waitForReceived(StatusAction, ++statuses));
        pbx.send(rest + listing(carol));
        QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{carolEntry}, 5000);
    }
    QVERIFY(h.messages.isEmpty());
}

void FrmMainCommandsTest::sendsBeforeConnectingNeverConfuseAnswers()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    // Refresh List through the keyboard in login mode: nothing can go out, nothing breaks.
    h.button("cmdReFetch")->click();
    h.button("cmdKillCall")->click();
    QVERIFY(h.window.loginMode());

    // Clicks while still connecting send nothing: until the login is accepted nothing may go
    // out, and the listing that follows the login is coming anyway.
    h.connectTo(pbx.port());
    QTRY_VERIFY_WITH_TIMEOUT(pbx.connected(), 5000);
    h.button("cmdReFetch")->click();
    h.button("cmdKillCall")->click();
    pbx.onRequest("Events: Off\r\n\r\n", Accepted);
    pbx.onRequest(StatusAction, listing(Alice));
    pbx.onRequest(hangup("SIP/100-0a1b"), Hungup);
    pbx.send(Greeting);
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{AliceEntry}, 5000);
    QVERIFY(pbx.received().startsWith("Action: login\r\n"));
    QCOMPARE(pbx.received().count(StatusAction), 1);

    // Every later answer still finds its own action.
    h.selectRow(0);
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages.size(), 1);
    QCOMPARE(h.messages.back(), u"Killed Call SIP/100-0a1b"_s);
}

void FrmMainCommandsTest::refusedListingIsReported()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    acceptLogin(pbx, Denied);
    h.connectTo(pbx.port());
    QTRY_COMPARE_WITH_TIMEOUT(h.messages, QStringList{Refused}, 5000);
    QVERIFY(h.exits.isEmpty());
    QVERIFY(!h.window.ending());
    QCOMPARE(h.list()->model()->rowCount(), 0);

    // Asked again, refused again: said again. Then the window goes on as before.
    pbx.onRequest(StatusAction, Denied);
    h.button("cmdReFetch")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.messages, QStringList({Refused, Refused}), 5000);
    pbx.onRequest(StatusAction, listing(Alice));
    h.button("cmdReFetch")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{AliceEntry}, 5000);
    QCOMPARE(h.messages.size(), 2);

    // While the message is on screen the next listing comes; it is shown once the message
    // closes, though nothing more arrives after it.
    pbx.onRequest(StatusAction, Denied);
    h.button("cmdReFetch")->click();
    h.button("cmdReFetch")->click();
    h.onMessage = [&](const QString&) {
        pbx.send(listing(Bob));
        QVERIFY(QTest::qWaitFor([&] { return h.window.socket().bytesAvailable() > 0; }, 5000));
    };
    QTRY_COMPARE_WITH_TIMEOUT(h.messages.size(), 3, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{BobEntry}, 5000);
    QVERIFY(h.exits.isEmpty());
}

void FrmMainCommandsTest::enterPressesTheFocusedButton()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    acceptLogin(pbx, listing(Alice + Bob));
    h.field("txtHost")->setText(u"127.0.0.1"_s);
    h.field("txtPort")->setText(QString::number(pbx.port()));
    // In login mode Enter only connects, whatever has the focus.
    QPushButton* refresh = h.button("cmdReFetch");
    refresh->setFocus();
    QTest::keyClick(refresh, Qt::Key_Return);
    QVERIFY(!h.window.loginMode());
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 2, 5000);
    QCOMPARE(pbx.received().count(StatusAction), 1);

    // In call list mode it presses the focused button, from the keypad too.
    pbx.onRequest(StatusAction, listing(Bob));
    refresh->setFocus();
    QTest::keyClick(refresh, Qt::Key_Return);
    QVERIFY(pbx.waitForReceived(StatusAction, 2));
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{BobEntry}, 5000);
    pbx.onRequest(StatusAction, listing(Alice + Bob));
    QTest::keyClick(refresh, Qt::Key_Enter, Qt::KeypadModifier);
    QVERIFY(pbx.waitForReceived(StatusAction, 3));
    QTRY_COMPARE_WITH_TIMEOUT(h.list()->model()->rowCount(), 2, 5000);

    pbx.onRequest(hangup("SIP/200-0c0d"), Hungup);
    pbx.onRequest(StatusAction, listing(Alice));
    h.selectRow(1);
    QPushButton* kill = h.button("cmdKillCall");
    kill->setFocus();
    QTest::keyClick(kill, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(h.messages, QStringList{u"Killed Call SIP/200-0c0d"_s});
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{AliceEntry}, 5000);
    // One press, one hangup.
    QCOMPARE(pbx.received().count("Action: Hangup"), 1);
    QCOMPARE(pbx.received().count(StatusAction), 4);
}

void FrmMainCommandsTest::blanksAroundTheHostAreDropped()
{
    // A name with blanks around it is looked up as it stands and found nowhere; an address
    // would be tidied by Qt anyway, so only a name shows it.
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    acceptLogin(pbx, listing(Alice));
    h.field("txtHost")->setText(u" \tlocalhost "_s);
    h.field("txtPort")->setText(QString::number(pbx.port()));
    h.button("cmdConnect")->click();
    QTRY_COMPARE_WITH_TIMEOUT(h.shownEntries(), QStringList{AliceEntry}, 10000);
    QVERIFY2(h.messages.isEmpty(), qPrintable(h.messages.join(u'\n')));
    QCOMPARE(h.window.socket().host(), u"localhost"_s);
}

void FrmMainCommandsTest::rejectedLoginShowsOneMessageThenEnds()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    pbx.greet(Greeting);
    pbx.onRequest("Events: Off\r\n\r\n", Rejected);
    pbx.hangUpAfterReplies();
    // Like a real modal box, the message lets socket events run until the PBX has closed.
    h.onMessage = [&](const QString&) {
        QSignalSpy closed(&h.window.socket(), &corvale::SocketAdapter::closedByPeer);
        if (h.window.socket().state() != QAbstractSocket::UnconnectedState)
            closed.wait(5000);
    };
    h.connectTo(pbx.port());

    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 5000);
    QCoreApplication::processEvents(); // anything the close left queued
    QCOMPARE(h.messages, QStringList{u"Your manager details are incorrect"_s});
    QCOMPARE(h.exits, QList<int>{1});
    QVERIFY(h.window.ending());
    QVERIFY(!h.window.isVisible());
}

void FrmMainCommandsTest::rejectionReadBeforeTheCloseIsReported()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    pbx.greet(Greeting);
    pbx.onRequest("Events: Off\r\n\r\n", Rejected);
    pbx.hangUpAfterReplies();
    // Keep the socket inside its data handler while the rejection and the close arrive: the
    // socket then reports the close with the rejection still unread.
    bool nested = false;
    connect(&h.window.socket(), &corvale::SocketAdapter::dataArrival, &h.window, [&] {
        if (nested)
            return;
        nested = true;
        static_cast<void>(QTest::qWaitFor([&] { return !h.exits.isEmpty(); }, 5000));
    });
    h.connectTo(pbx.port());

    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 5000);
    QCOMPARE(h.messages, QStringList{u"Your manager details are incorrect"_s});
}

void FrmMainCommandsTest::refusedPortShowsMessageThenEnds()
{
    WindowHarness h;
    h.window.show();
    h.connectTo(unusedPort());
    QVERIFY(!h.window.loginMode()); // the window switches before the socket knows
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 5000);
    QCOMPARE(h.messages, QStringList{QString::fromLatin1(ConnectionError)});
    QCOMPARE(h.window.socket().state(), QAbstractSocket::UnconnectedState);
}

void FrmMainCommandsTest::closedConnectionShowsOneMessageThenEnds()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    QVERIFY(listed(h, pbx, Alice, 1));
    h.onMessage = [&](const QString&) {
        // While the box is open, more closing news may arrive; it must not add a message.
        QCoreApplication::processEvents();
    };
    pbx.hangUp();
    QTRY_COMPARE_WITH_TIMEOUT(h.exits, QList<int>{1}, 5000);
    QCoreApplication::processEvents();
    QCOMPARE(h.messages, QStringList{QString::fromLatin1(ConnectionError)});
    QCOMPARE(h.exits, QList<int>{1});

    // After the end, the buttons do nothing.
    h.button("cmdReFetch")->click();
    QCOMPARE(h.list()->model()->rowCount(), 1);
}

void FrmMainCommandsTest::connectionLostWhileAwaitingHangupEndsWithoutMore()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    QVERIFY(listed(h, pbx, Alice, 1));
    pbx.onRequest(hangup("SIP/100-0a1b"), QByteArray());
    pbx.hangUpAfterReplies();
    h.selectRow(0);
    h.button("cmdKillCall")->click(); // returns once the program is ending

    QCOMPARE(h.messages, QStringList{QString::fromLatin1(ConnectionError)});
    QCOMPARE(h.exits, QList<int>{1});
    QCOMPARE(pbx.received().count(StatusAction), 1);
}

void FrmMainCommandsTest::closingWindowWhileAwaitingHangupStopsTheCommand()
{
    WindowHarness h;
    h.window.show();
    ScriptedPbx pbx;
    QVERIFY(listed(h, pbx, Alice, 1));
    connect(&pbx, &ScriptedPbx::receivedMore, &h.window, [&] {
        if (pbx.received().contains("Action: Hangup"))
            h.window.close();
    });
    h.selectRow(0);
    h.button("cmdKillCall")->click(); // waits up to 10 s unless the close stops it

    QVERIFY(h.messages.isEmpty());
    QVERIFY(h.exits.isEmpty()); // the event loop's own quit gives status 0
    QVERIFY(h.window.ending());
    QCOMPARE(pbx.received().count(StatusAction), 1);
}

void FrmMainCommandsTest::windowTornDownWhileConnectedSaysNothing()
{
    ScriptedPbx pbx; // still there when the window goes
    auto seen = std::make_shared<QStringList>();
    {
        WindowHarness h;
        QVERIFY(listed(h, pbx, Alice, 1));
        h.window.showMessageBox = [seen](const QString& text) { *seen << text; };
        h.window.exitApplication = [seen](int) { *seen << u"exit"_s; };
    }
    QCOMPARE(*seen, QStringList());
}

void FrmMainCommandsTest::connectRefuses_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("because");
    const QString user = u"admin"_s;
    QTest::newRow("port 0") << u"0"_s << user << QString() << u"port"_s;
    QTest::newRow("port 65536") << u"65536"_s << user << QString() << u"port"_s;
    QTest::newRow("port empty") << QString() << user << QString() << u"port"_s;
    QTest::newRow("port negative") << u"-1"_s << user << QString() << u"port"_s;
    QTest::newRow("port with space") << u" 5038"_s << user << QString() << u"port"_s;
    QTest::newRow("port words") << u"5038x"_s << user << QString() << u"port"_s;
    QTest::newRow("user LF") << u"5038"_s << u"ad\nmin"_s << QString() << u"line break"_s;
    QTest::newRow("user CR") << u"5038"_s << u"ad\rmin"_s << QString() << u"line break"_s;
    QTest::newRow("user NUL") << u"5038"_s << (u"ad"_s + QChar(0) + u"min"_s) << QString()
                              << u"NUL"_s;
    QTest::newRow("password LF") << u"5038"_s << user << u"€uro\n"_s << u"line break"_s;
}

void FrmMainCommandsTest::connectRefuses()
{
    QFETCH(QString, port);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, because);

    WindowHarness h;
    h.window.show();
    h.field("txtPort")->setText(port);
    h.field("txtUsername")->setText(user);
    h.field("txtPassword")->setText(password);
    h.button("cmdConnect")->click();

    QCOMPARE(h.messages.size(), 1);
    QVERIFY2(h.messages.front().contains(because), qPrintable(h.messages.front()));
    QVERIFY(h.window.loginMode());
    QCOMPARE(h.window.socket().state(), QAbstractSocket::UnconnectedState);
    QVERIFY(h.exits.isEmpty());
}

void FrmMainCommandsTest::exitStatusFromTheEventLoop()
{
    // The real ending, not the recorded one: the event loop returns the status.
    {
        WindowHarness h;
        h.window.exitApplication = [](int status) { QCoreApplication::exit(status); };
        h.window.show();
        QTimer::singleShot(0, &h.window, [&] { h.window.close(); });
        QCOMPARE(QApplication::exec(), 0);
    }
    {
        WindowHarness h;
        h.window.exitApplication = [](int status) { QCoreApplication::exit(status); };
        h.window.show();
        ScriptedPbx pbx;
        pbx.greet(Greeting);
        pbx.onRequest("Events: Off\r\n\r\n", Rejected);
        pbx.hangUpAfterReplies();
        QTimer::singleShot(0, &h.window, [&] { h.connectTo(pbx.port()); });
        QTimer failsafe;
        connect(&failsafe, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        failsafe.start(10000);
        QCOMPARE(QApplication::exec(), 1);
        QCOMPARE(h.messages, QStringList{u"Your manager details are incorrect"_s});
    }
}

QTEST_MAIN(FrmMainCommandsTest)
#include "tst_frmMainCommands.moc"
