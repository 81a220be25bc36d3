#include "CallEnder.h"
#include "CallPresentation.h"
#include "CallTreeModel.h"
#include "ConsoleConnection.h"
#include "ConsoleWindow.h"
#include "Conversations.h"
#include "HistoryModel.h"
#include "HistoryView.h"
#include "PbxSim.h"
#include "QueueTreeModel.h"
#include "QueuesView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTcpServer>
#include <QThread>
#include <QTreeView>
#include <QtTest>

// The console through a real Session against the simulator: calls shown as they come and go,
// and a whole call ended from the keyboard.
class tst_consoleSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void followsThePbxAndEndsACall();
    void bridgedChannelsAreOneCall_data();
    void bridgedChannelsAreOneCall();
    void theCallerIsTheSameOnEveryListing();
    void twoPbxsEndExactlyTheChosenCallsAndFilterByPbx();
    void theCountIsTheRowsThroughout();
    void aFailedConnectionSaysWhyInTheConsolesWords_data();
    void aFailedConnectionSaysWhyInTheConsolesWords();
    void aLostConnectionLooksLostUntilItIsBack();
    void hangupsAwaitedWhenTheSessionEndsAreAnsweredOnce();
    void theToolTipNamesTheListing_data();
    void theToolTipNamesTheListing();
    void theQueuesFollowThePbxAndAMemberIsPaused();
    void theHistoryHasTheCallsSeenToEnd();

private:
    static void connect(ConsoleConnection& connection, const PbxSim& sim);
    static bool started(PbxSim& sim, const QString& call);
};

bool tst_consoleSim::started(PbxSim& sim, const QString& call)
{
    return sim.command(QStringLiteral("start ") + call).startsWith(QStringLiteral("ok"));
}

void tst_consoleSim::connect(ConsoleConnection& connection, const PbxSim& sim)
{
    ConnectionFields fields;
    fields.host = QStringLiteral("127.0.0.1");
    fields.port = QString::number(sim.port());
    connection.connectTo(fields, "");
}

void tst_consoleSim::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale-console-test"));
}

void tst_consoleSim::followsThePbxAndEndsACall()
{
    PbxSim sim(
        {"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    QCOMPARE(sim.command(QStringLiteral("start SIP/2041-00000001 2041 Alice Smith")).left(2),
             QStringLiteral("ok"));

    ConsoleWindow window;
    QStringList questions;
    window.confirm = [&questions](const QString& question, bool&) {
        questions << question;
        return true;
    };
    QStringList failures;
    window.showFailure = [&failures](const QString& text) { failures << text; };
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    connect(connection, sim);
    window.show();
    // Every hangup ends from the event loop the test runs, never from a nested one.
    QList<int> loopLevels;
    QObject::connect(connection.session(), &corvale::Session::hangupEnded, &window,
                     [&loopLevels] { loopLevels << QThread::currentThread()->loopLevel(); });

    auto* state = window.findChild<QLabel*>(QStringLiteral("pbxLabel0"));
    auto* protection = window.findChild<QLabel*>(QStringLiteral("pbxProtection0"));
    QTRY_COMPARE_WITH_TIMEOUT(
        state->text(), QStringLiteral("Connected to 127.0.0.1:%1 as admin").arg(sim.port()), 10000);
    QCOMPARE(protection->text(), QStringLiteral("Not encrypted"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);

    // A call that starts and one that ends on the PBX come and go by their events.
    QCOMPARE(
        sim.command(QStringLiteral("start SIP/2042-00000002 2042 Zo\u00eb M\u00fcller")).left(2),
        QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 2, 10000);
    QCOMPARE(window.model()->index(1, CallTreeModel::From).data().toString(),
             QStringLiteral("2042 <Zo\u00eb M\u00fcller>"));

    // Ended from the console: the Session's hangups one at a time, the PBX's answers, one
    // account, the calls gone.
    QCOMPARE(sim.command(QStringLiteral("start SIP/2043-00000003 2043 Bob")).left(2),
             QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 3, 10000);
    const QModelIndex alice = window.proxy()->mapFromSource(window.model()->index(0, 0));
    window.tree()->selectionModel()->setCurrentIndex(alice, QItemSelectionModel::ClearAndSelect |
                                                                QItemSelectionModel::Rows);
    window.tree()->setFocus();
    QTest::keyClick(window.tree(), Qt::Key_Delete);
    QCOMPARE(questions, QStringList{QStringLiteral(
                            "End the call from 2041 <Alice Smith> to 600 (1 channel)?")});
    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(),
                              QStringLiteral("Hung up 1 channel."), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 2, 10000);
    window.tree()->selectAll();
    QTest::keyClick(window.tree(), Qt::Key_Delete);
    QCOMPARE(questions.size(), 2);
    QVERIFY(questions[1].startsWith(QStringLiteral("Hang up 2 channels?")));
    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(),
                              QStringLiteral("Hung up 2 channels."), 10000);
    QVERIFY(failures.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 0, 10000);
    QCOMPARE(sim.command(QStringLiteral("count")), QStringLiteral("ok 0"));

    // A channel the PBX no longer has is gone, as asked: nothing failed.
    window.ender().end({{0, "SIP/2042-00000002"}});
    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(),
                              QStringLiteral("Hung up 1 channel."), 10000);
    QVERIFY(failures.isEmpty());
    // One that could not be hung up: the reason, in one box.
    window.ender().end({{0, "/SIP/2042-00000002"}});
    QTRY_COMPARE_WITH_TIMEOUT(failures.size(), 1, 10000);
    QVERIFY2(failures[0].contains(QStringLiteral("/SIP/2042-00000002: the name begins with")),
             qPrintable(failures[0]));
    QCOMPARE(loopLevels, QList<int>(5, 0));
}

void tst_consoleSim::bridgedChannelsAreOneCall_data()
{
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QString>("greeting");
    // A current PBX keeps the linked id the bridge gave both sides: parted, they are still one
    // call. An older one has nothing left that ties them.
    QTest::addColumn<QList<int>>("parted");
    // The action that lists: CoreShowChannels where the PBX has the current form of it.
    QTest::addColumn<QString>("listing");
    QTest::newRow("current PBX: bridge ids")
        << QStringLiteral("modern") << QStringLiteral("13.0.0") << QList<int>{2, 2, 2}
        << QStringLiteral("Action: CoreShowChannels");
    QTest::newRow("PBX 1.8: channels naming each other")
        << QStringLiteral("legacy") << QStringLiteral("1.1") << QList<int>{2, 2, 1, 1}
        << QStringLiteral("Action: Status");
}

// The PBX's own listings and events group the channels: two bridged pairs and a lone call at
// the start, then a bridge made and parted while the console watches.
void tst_consoleSim::bridgedChannelsAreOneCall()
{
    QFETCH(QString, dialect);
    QFETCH(QString, greeting);
    QFETCH(QList<int>, parted);
    QFETCH(QString, listing);
    QTemporaryDir dir;
    const QString transcript = dir.filePath(QStringLiteral("transcript"));
    PbxSim sim({"--control", "--dialect", dialect, "--greeting-version", greeting, "--calls", "5",
                "--bridged", "2", "--transcript", transcript});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    ConsoleWindow window;
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    connect(connection, sim);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 3, 10000);
    const auto legs = [&window] {
        QList<int> counts;
        for (int row = 0; row < window.model()->rowCount(); ++row)
            counts << window.model()->rowCount(window.model()->index(row, 0));
        return counts;
    };
    QCOMPARE(legs(), (QList<int>{2, 2, 1}));
    // Once bridged, To names the other side.
    const corvale::Conversations& conversations = *window.sources().conversations(0);
    const corvale::Conversation& first = conversations.at(0);
    const corvale::LiveCall& other = *first.legs[1]->call;
    QCOMPARE(window.model()->index(0, CallTreeModel::To).data().toString(),
             CallPresentation::partyText(other.number, other.name));

    QCOMPARE(sim.command(QStringLiteral("start SIP/2041-00000001 2041 Alice Smith")).left(2),
             QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 4, 10000);
    const QString lone = QString::fromStdString(conversations.at(2).legs[0]->call->channel);
    QCOMPARE(sim.command(QStringLiteral("bridge SIP/2041-00000001 ") + lone), QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(legs(), (QList<int>{2, 2, 2}), 10000);
    QCOMPARE(sim.command(QStringLiteral("unbridge SIP/2041-00000001")), QStringLiteral("ok"));
    const auto aliceParted = [&conversations] {
        const corvale::LiveCalls& calls = conversations.liveCalls();
        const auto row = calls.rowOf("SIP/2041-00000001");
        return row && calls.at(*row).bridgeId.empty() && calls.at(*row).bridgedTo.empty();
    };
    QTRY_VERIFY_WITH_TIMEOUT(aliceParted(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(legs(), parted, 10000);

    // Ending a bridged call: the first hangup ends the other side too, whose own hangup then
    // finds it gone; the whole call counts as ended.
    QStringList failures;
    window.showFailure = [&failures](const QString& text) { failures << text; };
    CallEnder::Choice whole;
    whole.conversations.push_back(&conversations.at(0));
    const std::vector<Target> channels = window.ender().targetsOf(whole);
    QCOMPARE(channels.size(), std::size_t{2});
    window.ender().end(channels);
    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(),
                              QStringLiteral("Hung up 2 channels."), 10000);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));

    QFile sent(transcript);
    QVERIFY(sent.open(QIODevice::ReadOnly));
    const QString conversation = QString::fromLatin1(sent.readAll());
    QVERIFY2(conversation.contains(QStringLiteral("C> ") + listing),
             qPrintable(conversation.left(2000)));
    const QString notUsed = listing.endsWith(u"Status")
                                ? QStringLiteral("C> Action: CoreShowChannels")
                                : QStringLiteral("C> Action: Status");
    QVERIFY(!conversation.contains(notUsed));
}

// An originated call as the PBX makes one: its Local channel's first half starts it, the second
// half is bridged to the desk. From and To read the same after every listing and reconnection,
// and in a console that connects afresh.
void tst_consoleSim::theCallerIsTheSameOnEveryListing()
{
    PbxSim sim(
        {"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    QVERIFY(started(sim, QStringLiteral("Local/2001@agents-00000001;1 8002001 Agent 2001")));
    QVERIFY(started(sim, QStringLiteral("Local/2001@agents-00000001;2 5552001 Carol Smith")));
    QVERIFY(started(sim, QStringLiteral("SIP/2001-00000003 2001 Desk")));
    QCOMPARE(sim.command(QStringLiteral("bridge Local/2001@agents-00000001;2 SIP/2001-00000003")),
             QStringLiteral("ok"));
    const QString expected = QStringLiteral("8002001 <Agent 2001> / 2001 <Desk>");
    const auto shown = [](const ConsoleWindow& window) {
        const CallTreeModel& model = *window.model();
        return model.index(0, CallTreeModel::From).data().toString() + QStringLiteral(" / ") +
               model.index(0, CallTreeModel::To).data().toString();
    };

    ConsoleWindow window;
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    connect(connection, sim);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(window.model()->index(0, 0)), 3, 10000);
    QCOMPARE(shown(window), expected);
    const auto listings = [&connection] {
        return connection.session()->liveCalls()->completedListings();
    };
    const std::uint64_t before = listings();
    window.findChild<QAction*>(QStringLiteral("actRefresh"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(listings() > before, 10000);
    QCOMPARE(shown(window), expected);

    QVERIFY(sim.command(QStringLiteral("restart 0")).startsWith(QStringLiteral("ok")));
    QTRY_VERIFY_WITH_TIMEOUT(listings() > before + 1 && connection.session()->loggedIn(), 15000);
    QCOMPARE(shown(window), expected);

    ConsoleWindow other;
    ConsoleConnection afresh(other, ConsoleConnection::DialogKey);
    connect(afresh, sim);
    QTRY_COMPARE_WITH_TIMEOUT(other.model()->rowCount(other.model()->index(0, 0)), 3, 10000);
    QCOMPARE(shown(other), expected);
}

// Two PBXs, each with a channel of the same name: the filter tells them apart by the PBX's name
// and by the names as typed, and ending both ends exactly those two calls, each on its PBX.
void tst_consoleSim::twoPbxsEndExactlyTheChosenCallsAndFilterByPbx()
{
    const QStringList options{"--control", "--dialect", "modern", "--greeting-version",
                              "13.0.0",    "--calls",   "0"};
    PbxSim hq(options);
    PbxSim branch(options);
    QVERIFY2(hq.port() != 0 && branch.port() != 0, qPrintable(hq.error() + branch.error()));
    QVERIFY(started(hq, QStringLiteral("SIP/2041-00000001 2041 S\u00f8ren Kj\u00e6r")));
    QVERIFY(started(hq, QStringLiteral("SIP/2050-00000002 2050 Otto")));
    QVERIFY(started(branch, QStringLiteral("SIP/2041-00000001 2041 \u0141ukasz")));

    ConsoleWindow window;
    QStringList questions;
    window.confirm = [&questions](const QString& question, bool&) {
        questions << question;
        return true;
    };
    QStringList failures;
    window.showFailure = [&failures](const QString& text) { failures << text; };
    ConsoleConnection zurich(window, 1, QStringLiteral("Z\u00fcrich HQ"));
    ConsoleConnection other(window, 2, QStringLiteral("Branch"));
    connect(zurich, hq);
    connect(other, branch);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 3, 10000);

    const std::pair<const char*, int> typed[] = {
        {"zurich", 2}, {"branch", 1}, {"soren kjaer", 1}, {"lukasz", 1}, {"sip/2041", 2}};
    QStringList found, wanted;
    for (const auto& [text, rows] : typed) {
        window.filter()->setText(QString::fromUtf8(text));
        found << QStringLiteral("%1: %2")
                     .arg(QString::fromUtf8(text))
                     .arg(window.proxy()->rowCount());
        wanted << QStringLiteral("%1: %2").arg(QString::fromUtf8(text)).arg(rows);
    }
    QCOMPARE(found, wanted);
    window.tree()->selectAll();
    window.hangUpSelection();
    QCOMPARE(questions.size(), 1);
    QVERIFY2(questions[0].startsWith(QStringLiteral("Hang up 2 channels?\n")) &&
                 questions[0].contains(QStringLiteral("(1 channel on Z\u00fcrich HQ)")) &&
                 questions[0].contains(QStringLiteral("(1 channel on Branch)")),
             qPrintable(questions[0]));
    QTRY_COMPARE_WITH_TIMEOUT(window.statusBar()->currentMessage(),
                              QStringLiteral("Hung up 2 channels."), 10000);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    QCOMPARE(hq.command(QStringLiteral("count")), QStringLiteral("ok 1"));
    QCOMPARE(branch.command(QStringLiteral("count")), QStringLiteral("ok 0"));
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);
    window.filter()->clear();
    QCOMPARE(window.model()->index(0, CallTreeModel::From).data().toString(),
             QStringLiteral("2050 <Otto>"));
}

// The status bar's count after a listing, the PBX's events, a hangup, a filter and a
// reconnection, each time the rows.
void tst_consoleSim::theCountIsTheRowsThroughout()
{
    PbxSim sim(
        {"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    for (const char* call : {"SIP/2041-00000001 2041 Alice", "SIP/2042-00000002 2042 Bob",
                             "SIP/2043-00000003 2043 Carol"})
        QVERIFY(started(sim, QString::fromUtf8(call)));
    ConsoleWindow window;
    window.confirm = [](const QString&, bool&) { return true; };
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    connect(connection, sim);
    window.show();
    auto* count = window.findChild<QLabel*>(QStringLiteral("countLabel"));
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("3 calls"), 10000);

    QVERIFY(started(sim, QStringLiteral("SIP/2044-00000004 2044 Dan")));
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("4 calls"), 10000);
    QCOMPARE(sim.command(QStringLiteral("hangup SIP/2041-00000001")), QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("3 calls"), 10000);
    QCOMPARE(window.model()->rowCount(), 3);

    window.filter()->setText(QStringLiteral("bob"));
    QCOMPARE(count->text(), QStringLiteral("1 of 3 calls"));
    window.tree()->selectAll();
    window.hangUpSelection();
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("0 of 2 calls"), 10000);
    // Out of view, on the PBX.
    QCOMPARE(sim.command(QStringLiteral("hangup SIP/2043-00000003")), QStringLiteral("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("0 of 1 call"), 10000);
    window.filter()->clear();
    QCOMPARE(count->text(), QStringLiteral("1 call"));

    // A reconnection whose listing finds a call more.
    QVERIFY(sim.command(QStringLiteral("restart 1")).startsWith(QStringLiteral("ok")));
    QTRY_VERIFY_WITH_TIMEOUT(!connection.session()->loggedIn(), 10000);
    QVERIFY(started(sim, QStringLiteral("SIP/2045-00000005 2045 Eve")));
    QTRY_VERIFY_WITH_TIMEOUT(connection.session()->loggedIn(), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("2 calls"), 10000);
    QCOMPARE(window.model()->rowCount(), 2);
    QCOMPARE(window.proxy()->rowCount(), 2);
}

void tst_consoleSim::aFailedConnectionSaysWhyInTheConsolesWords_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("logged");
    QTest::newRow("the connect dialog's")
        << QString() << QStringLiteral("%1") << QStringLiteral("%1");
    QTest::newRow("a saved PBX's")
        << QStringLiteral("HQ") << QStringLiteral("HQ: failed") << QStringLiteral("HQ (%1)");
}

// Nothing listens on the port: the state, the status bar's message and one line on standard
// error in the console's words, and nothing that looks like a live connection.
void tst_consoleSim::aFailedConnectionSaysWhyInTheConsolesWords()
{
    QFETCH(QString, profile);
    QFETCH(QString, label);
    QFETCH(QString, logged);
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString where = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    const QString said =
        QStringLiteral("Could not connect to %1: the connection was refused").arg(where);

    ConsoleWindow window;
    ConsoleConnection connection(window, profile.isEmpty() ? ConsoleConnection::DialogKey : 1,
                                 profile);
    QStringList lines;
    connection.logLine = [&lines](const QString& line) { lines << line; };
    ConnectionFields fields;
    fields.host = QStringLiteral("127.0.0.1");
    fields.port = where.section(u':', 1);
    connection.connectTo(fields, "");
    QTRY_VERIFY_WITH_TIMEOUT(connection.session()->ended(), 10000);

    auto* state = window.findChild<QLabel*>(QStringLiteral("pbxLabel%1").arg(connection.key()));
    QCOMPARE(state->text(), label.arg(said));
    QCOMPARE(state->toolTip().section(u'\n', 0, 0), profile.isEmpty() ? QString() : said);
    QVERIFY(!state->toolTip().contains(QStringLiteral("encrypted")));
    const QString shown = profile.isEmpty() ? said : QStringLiteral("HQ: ") + said;
    QCOMPARE(window.statusBar()->currentMessage(), shown);
    QCOMPARE(lines,
             QStringList{
                 QStringLiteral("corvale: %1: the connection was refused").arg(logged.arg(where))});
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("pbxProtection%1").arg(connection.key()))
                ->isHidden());
    QCOMPARE(window.windowTitle(), QStringLiteral("Corvale Console"));
}

// A restart of the PBX: while it reconnects, its calls are greyed and their durations stand,
// the label says since when, the title says so; all live again once it is back.
void tst_consoleSim::aLostConnectionLooksLostUntilItIsBack()
{
    PbxSim sim(
        {"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    QVERIFY(started(sim, QStringLiteral("SIP/2041-00000001 2041 Alice")));
    ConsoleWindow window;
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    QStringList lines;
    connection.logLine = [&lines](const QString& line) { lines << line; };
    connect(connection, sim);
    window.show();
    auto* state = window.findChild<QLabel*>(QStringLiteral("pbxLabel0"));
    const QString live = QStringLiteral("Connected to 127.0.0.1:%1 as admin").arg(sim.port());
    QTRY_COMPARE_WITH_TIMEOUT(state->text(), live, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);
    QCOMPARE(state->toolTip(), QStringLiteral("Calls listed with CoreShowChannels"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Corvale Console - 127.0.0.1"));
    const QModelIndex call = window.model()->index(0, CallTreeModel::Duration);

    QVERIFY(sim.command(QStringLiteral("restart 2")).startsWith(QStringLiteral("ok")));
    QTRY_VERIFY_WITH_TIMEOUT(state->text().startsWith(QStringLiteral("Reconnecting since ")),
                             10000);
    static const QRegularExpression since(
        QStringLiteral("^Reconnecting since \\d\\d:\\d\\d:\\d\\d, attempt \\d+, next in \\d+ s$"));
    QVERIFY2(since.match(state->text()).hasMatch(), qPrintable(state->text()));
    QCOMPARE(window.windowTitle(), QStringLiteral("Corvale Console - 127.0.0.1 (reconnecting)"));
    QCOMPARE(call.data(Qt::ForegroundRole).value<QBrush>(),
             QApplication::palette().brush(QPalette::Disabled, QPalette::Text));
    const double still = window.model()->sortSeconds(call);
    QCOMPARE(window.model()->sortSeconds(call), still);
    // The loss, then any attempt made while the PBX refused connections.
    const QString prefix = QStringLiteral("corvale: 127.0.0.1:%1: ").arg(sim.port());
    QCOMPARE(lines.value(0), prefix + QStringLiteral("the PBX shut down"));

    QTRY_COMPARE_WITH_TIMEOUT(state->text(), live, 15000);
    QCOMPARE(window.windowTitle(), QStringLiteral("Corvale Console - 127.0.0.1"));
    QVERIFY(!window.model()->index(0, 0).data(Qt::ForegroundRole).isValid());
    QVERIFY(window.model()->sortSeconds(window.model()->index(0, 0)) > still);
    for (const QString& line : lines.mid(1))
        QCOMPARE(line, prefix + QStringLiteral("the connection was refused"));
}

// A hangup the PBX never answers, and the connection closed meanwhile: one account, once.
void tst_consoleSim::hangupsAwaitedWhenTheSessionEndsAreAnsweredOnce()
{
    PbxSim sim(
        {"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    QVERIFY(started(sim, QStringLiteral("SIP/2041-00000001 2041 Alice")));
    ConsoleWindow window;
    QStringList failures;
    window.showFailure = [&failures](const QString& text) { failures << text; };
    ConsoleConnection connection(window, 1, QStringLiteral("HQ"));
    connect(connection, sim);
    QTRY_VERIFY_WITH_TIMEOUT(connection.session() && connection.session()->loggedIn(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);
    QVERIFY(sim.command(QStringLiteral("freeze 30")).startsWith(QStringLiteral("ok")));
    window.ender().end({{1, "SIP/2041-00000001"}});
    QCOMPARE(window.ender().waiting(), std::size_t{1});
    connection.close();
    QCOMPARE(window.ender().waiting(), std::size_t{0});
    QCOMPARE(failures, QStringList{QStringLiteral("These channels could not be hung up:\n"
                                                  "SIP/2041-00000001: no answer, the connection "
                                                  "ended")});
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Hung up 0 of 1 channels."));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    QCOMPARE(failures.size(), 1);
}

void tst_consoleSim::theToolTipNamesTheListing_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("listing");
    QTest::newRow("all classes") << QStringLiteral("admin")
                                 << QStringLiteral("Calls listed with CoreShowChannels");
    QTest::newRow("call only") << QStringLiteral("desk")
                               << QStringLiteral("Calls listed with Status: this manager user may "
                                                 "not use CoreShowChannels");
}

// A user refused CoreShowChannels sees the calls all the same, and the tool tip says how.
void tst_consoleSim::theToolTipNamesTheListing()
{
    QFETCH(QString, user);
    QFETCH(QString, listing);
    PbxSim sim({"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0",
                "--add-user", "desk:desk:call"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    QVERIFY(started(sim, QStringLiteral("SIP/2041-00000001 2041 Alice")));
    ConsoleWindow window;
    ConsoleConnection connection(window, 1, QStringLiteral("HQ"));
    ConnectionFields fields;
    fields.host = QStringLiteral("127.0.0.1");
    fields.port = QString::number(sim.port());
    fields.user = user;
    connection.connectTo(fields, user == QStringLiteral("desk") ? "desk" : "");
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 1, 10000);
    auto* state = window.findChild<QLabel*>(QStringLiteral("pbxLabel1"));
    QTRY_COMPARE_WITH_TIMEOUT(state->toolTip().section(u'\n', 2), listing, 10000);
    QCOMPARE(window.statusBar()->currentMessage(), QString());
}

void tst_consoleSim::theHistoryHasTheCallsSeenToEnd()
{
    PbxSim sim(
        {"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    for (const char* call : {"SIP/2041-00000001 2041 Alice", "SIP/2042-00000002 2042 Bob",
                             "SIP/2043-00000003 2043 Carol"})
        QVERIFY(started(sim, QString::fromLatin1(call)));
    ConsoleWindow window;
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    connect(connection, sim);
    QTRY_COMPARE_WITH_TIMEOUT(window.model()->rowCount(), 3, 10000);
    HistoryModel& history = window.history()->model();

    // Busy on the PBX, then ended from here; then the PBX taken off the view with Carol's up.
    QVERIFY(sim.command(QStringLiteral("hangup SIP/2041-00000001 busy")).startsWith("ok"));
    QTRY_COMPARE_WITH_TIMEOUT(history.rowCount(), 1, 10000);
    window.ender().end({{0, "SIP/2042-00000002"}});
    QTRY_COMPARE_WITH_TIMEOUT(history.rowCount(), 2, 10000);
    connection.close();
    QCOMPARE(window.model()->rowCount(), 0);

    QCOMPARE(history.rowCount(), 2);
    const QStringList texts = {history.index(0, HistoryModel::From).data().toString() + " / " +
                                   history.index(0, HistoryModel::HowEnded).data().toString(),
                               history.index(1, HistoryModel::From).data().toString() + " / " +
                                   history.index(1, HistoryModel::HowEnded).data().toString()};
    QCOMPARE(texts, (QStringList{"2042 <Bob> / ended from this console", "2041 <Alice> / busy"}));
}

// The connection hands the session's queues to the Queues tab and its pauses to the PBX.
void tst_consoleSim::theQueuesFollowThePbxAndAMemberIsPaused()
{
    PbxSim sim({"--control", "--dialect", "modern", "--greeting-version", "13.0.0", "--calls", "0",
                "--queue-demo"});
    QVERIFY2(sim.port() != 0, qPrintable(sim.error()));
    ConsoleWindow window;
    QStringList failures;
    window.showFailure = [&failures](const QString& text) { failures << text; };
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    connect(connection, sim);
    QueueTreeModel& queues = window.queues()->model();
    QTRY_COMPARE_WITH_TIMEOUT(queues.rowCount(), 2, 10000);
    const auto queueRow = [&queues](const QString& name) {
        for (int row = 0; row < queues.rowCount(); ++row)
            if (queues.index(row, QueueTreeModel::Name).data().toString() == name)
                return queues.index(row, 0);
        return QModelIndex();
    };
    const QModelIndex sales = queueRow(QStringLiteral("sales"));
    QVERIFY(sales.isValid());
    // Two callers waiting and two members beneath.
    QTRY_COMPARE_WITH_TIMEOUT(queues.rowCount(sales), 4, 10000);

    // A caller who joins reaches the tab by the PBX's events, and the calls show it waiting.
    QVERIFY(sim.command(QStringLiteral("join sales SIP/5011-00000001 5565011 Waiting 5011"))
                .startsWith(QStringLiteral("ok")));
    QTRY_COMPARE_WITH_TIMEOUT(queues.rowCount(sales), 5, 10000);
    const auto waitsThird = [&window] {
        for (int row = 0; row < window.model()->rowCount(); ++row)
            if (window.model()->index(row, CallTreeModel::State).data().toString() ==
                QStringLiteral("Waiting in sales, 3rd"))
                return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(waitsThird(), 10000);

    // Pausing from the console pauses the member on the PBX; the answer comes back.
    QSignalSpy answered(connection.session(), &corvale::Session::queuePauseFinished);
    emit window.queuePauseRequested(ConsoleConnection::DialogKey,
                                    QStringLiteral("Local/6001@queue-agents/n"), true,
                                    QStringLiteral("sales"), QStringLiteral("Coffee"));
    QVERIFY(answered.wait(10000));
    QVERIFY(answered.at(0).at(1).toBool());
    const auto pausedForCoffee = [&queues, sales] {
        for (int row = 0; row < queues.rowCount(sales); ++row)
            if (queues.index(row, QueueTreeModel::State, sales)
                    .data()
                    .toString()
                    .startsWith(QStringLiteral("Paused (Coffee)")))
                return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(pausedForCoffee(), 10000);
    QVERIFY(failures.isEmpty());

    // The connection's end takes the queues off the tab.
    connection.close();
    QCOMPARE(queues.rowCount(), 0);
}

QTEST_MAIN(tst_consoleSim)
#include "tst_consoleSim.moc"
