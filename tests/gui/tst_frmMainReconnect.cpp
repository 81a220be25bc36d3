// What the window itself does about a lost link and a bad form: the title while reconnecting,
// the greyed list, the "not connected" box, the empty host. The reconnection is Session's own.
#include "ScriptedPbx.h"
#include "WindowHarness.h"

#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QByteArray Greeting = "Asterisk Call Manager/1.1\r\n";
const QByteArray Accepted = "Response: Success\r\nMessage: Authentication accepted\r\n\r\n";
const QByteArray StatusAction = "Action: Status\r\nActionID: *\r\n\r\n";
const QString Title = u"Corvale - https://corvale.example.org"_s;
const QString NotConnected = u"Not connected to the PBX: reconnecting."_s;

QByteArray listing(const QByteArray& channel, const QByteArray& name)
{
    return "Response: Success\r\nMessage: Channel status will follow\r\n\r\n"
           "Event: Status\r\nPrivilege: Call\r\nChannel: " +
           channel + "\r\nCallerID: 100\r\nCallerIDName: " + name +
           "\r\nExtension: 200\r\nSeconds: 90\r\nUniqueid: 1712.7\r\n\r\n"
           "Event: StatusComplete\r\nItems: 1\r\n\r\n";
}

} // namespace

class FrmMainReconnectTest : public QObject
{
    Q_OBJECT

private slots:
    void anEmptyHostIsRefusedInTheForm();
    void whileReconnectingTheListIsGreyAndTheTitleSaysSo();
    void withoutReconnectALostLinkEndsAsBefore();
    void aLinkLostWhileABoxIsOpenIsShownAtOnce_data();
    void aLinkLostWhileABoxIsOpenIsShownAtOnce();
};

void FrmMainReconnectTest::anEmptyHostIsRefusedInTheForm()
{
    WindowHarness h;
    h.window.show();
    h.field("txtHost")->setText(u" \t "_s);
    h.button("cmdConnect")->click();
    QCOMPARE(h.messages, QStringList{u"The host must not be empty."_s});
    QVERIFY(h.window.loginMode());
    QVERIFY(!h.window.ending());
    QVERIFY(h.exits.isEmpty());
    QCOMPARE(h.window.socket().state(), QAbstractSocket::UnconnectedState);
}

void FrmMainReconnectTest::whileReconnectingTheListIsGreyAndTheTitleSaysSo()
{
    WindowHarness h;
    QStringList logged;
    h.window.logLine = [&](const QString& line) { logged << line; };
    h.window.setReconnect(true);
    // Long enough to look at the window between the loss and the next attempt.
    corvale::SessionTimes times = h.window.session().times();
    times.retryDelay = [](int) { return 60000ms; };
    h.window.session().setTimes(times);
    h.window.show();

    ScriptedPbx pbx;
    pbx.greet(Greeting);
    pbx.onRequest("Events: Off\r\n\r\n", Accepted);
    pbx.onRequest(StatusAction, listing("SIP/100-0a1b", "Alice"));
    h.connectTo(pbx.port());
    QTRY_COMPARE(h.shownEntries().size(), 1);
    h.selectRow(0);
    QCOMPARE(h.window.windowTitle(), Title);

    pbx.hangUp();
    // The seconds count down from 60 once a second; a loaded machine may see any of them.
    const QRegularExpression reconnecting(
        u"^Reconnecting to 127\\.0\\.0\\.1:%1 \\(attempt 1, next in ([1-9]|[1-5][0-9]|60) s\\)$"_s
            .arg(pbx.port()));
    QTRY_VERIFY(reconnecting.match(h.window.windowTitle()).hasMatch());
    QVERIFY(!h.list()->isEnabled());
    QCOMPARE(h.shownEntries().size(), 1);
    QCOMPARE(logged, QStringList{u"corvale: 127.0.0.1:%1: the PBX closed the connection"_s.arg(
                         pbx.port())});

    // Each press says why nothing happens, once.
    const QByteArray sent = pbx.received();
    h.button("cmdReFetch")->click();
    h.button("cmdKillCall")->click();
    QCOMPARE(h.messages, QStringList({NotConnected, NotConnected}));
    QVERIFY(h.exits.isEmpty());

    QCOMPARE(pbx.received(), sent);

    // Back: the same login, a new listing that replaces the list, the usual title and a
    // list that can be used again.
    pbx.onRequest("Events: Off\r\n\r\n", Accepted);
    pbx.onRequest(StatusAction, listing("SIP/200-0c0d", "Bob"));
    h.window.session().retryNow();
    QTRY_COMPARE(h.window.windowTitle(), Title);
    QTRY_COMPARE(h.shownEntries(),
                 QStringList{u"SIP/200-0c0d From: 100 <Bob> To: 200 Lasted: 1.50 minutes."_s});
    QVERIFY(h.list()->isEnabled());
    QCOMPARE(pbx.connections(), 2);
    QCOMPARE(h.messages.size(), 2);
    QVERIFY(h.exits.isEmpty());
}

void FrmMainReconnectTest::withoutReconnectALostLinkEndsAsBefore()
{
    WindowHarness h;
    QStringList logged;
    h.window.logLine = [&](const QString& line) { logged << line; };
    h.window.show();
    ScriptedPbx pbx;
    pbx.greet(Greeting);
    pbx.onRequest("Events: Off\r\n\r\n", Accepted);
    pbx.onRequest(StatusAction, listing("SIP/100-0a1b", "Alice"));
    h.connectTo(pbx.port());
    QTRY_COMPARE(h.shownEntries().size(), 1);
    pbx.hangUp();
    QTRY_COMPARE(h.exits, QList<int>{1});
    QCOMPARE(h.messages,
             QStringList{u"I encounted an error - is the host there and the port open?"_s});
    QCOMPARE(h.window.windowTitle(), Title);
    QCOMPARE(logged.size(), 1);
}

void FrmMainReconnectTest::aLinkLostWhileABoxIsOpenIsShownAtOnce_data()
{
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("reconnecting") << true;
    QTest::newRow("live mode alone") << false;
}

void FrmMainReconnectTest::aLinkLostWhileABoxIsOpenIsShownAtOnce()
{
    QFETCH(bool, reconnect);
    const QString refused = u"The PBX refused the call list: Permission denied"_s;
    WindowHarness h;
    h.window.setReconnect(reconnect);
    h.window.setLive(!reconnect);
    corvale::SessionTimes times = h.window.session().times();
    times.retryDelay = [](int) { return 60000ms; };
    h.window.session().setTimes(times);
    h.window.show();
    ScriptedPbx pbx;
    const QByteArray login = reconnect ? "Events: Off\r\n\r\n" : "Events: call\r\n\r\n";
    pbx.greet(Greeting);
    pbx.onRequest(login, Accepted);
    pbx.onRequest(StatusAction, "Response: Error\r\nMessage: Permission denied\r\n\r\n");

    // What the operator sees while the refusal's box is open and the PBX goes.
    QString titleInTheBox;
    bool greyedInTheBox = false;
    bool backInTheBox = false;
    h.onMessage = [&](const QString& text) {
        if (text != refused)
            return;
        pbx.hangUp();
        greyedInTheBox = QTest::qWaitFor([&] { return !h.list()->isEnabled(); }, 5000);
        titleInTheBox = h.window.windowTitle();
        if (!reconnect)
            return;
        pbx.onRequest(login, Accepted);
        pbx.onRequest(StatusAction, listing("SIP/200-0c0d", "Bob"));
        h.window.session().retryNow();
        backInTheBox = QTest::qWaitFor(
            [&] { return h.shownEntries().size() == 1 && h.list()->isEnabled(); }, 5000);
    };
    h.connectTo(pbx.port());
    QTRY_VERIFY(!h.messages.isEmpty());
    QVERIFY(greyedInTheBox);
    if (reconnect) {
        QVERIFY2(titleInTheBox.startsWith(u"Reconnecting to 127.0.0.1:"_s),
                 qPrintable(titleInTheBox));
        QVERIFY(backInTheBox);
        QCOMPARE(pbx.connections(), 2);
        QCOMPARE(h.messages, QStringList{refused});
        QVERIFY(h.exits.isEmpty());
    } else {
        QCOMPARE(titleInTheBox, Title);
        // The error's own box follows the one that was open.
        QTRY_COMPARE(h.exits, QList<int>{1});
        QCOMPARE(h.messages,
                 QStringList({refused, u"I encounted an error - is the host there and the port "
                                       u"open?"_s}));
    }
}

QTEST_MAIN(FrmMainReconnectTest)
#include "tst_frmMainReconnect.moc"
