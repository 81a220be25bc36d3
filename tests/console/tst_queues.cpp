#include "CallPresentation.h"
#include "CallTreeModel.h"
#include "ConsoleCalls.h"
#include "ConsoleWindow.h"
#include "PauseDialog.h"
#include "PlayedQueues.h"
#include "QueuesView.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace std::chrono_literals;
using Model = QueueTreeModel;

// The Queues tab over queues filled as the client fills them, and what the queues add to the
// calls, the pauses and the history.
class tst_queues : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void rowsSayWhatThePbxSaid_data();
    void rowsSayWhatThePbxSaid();
    void waitsTickAndLongWaitsAreToldOnce();
    void thresholdIsTheQueuesOwnUnlessChosen_data();
    void thresholdIsTheQueuesOwnUnlessChosen();
    void aPbxNotCurrentOrPolledSaysSo();
    void pauseDialogRefusesLineBreaksAndNul_data();
    void pauseDialogRefusesLineBreaksAndNul();
    void pausesGoOutAndTheirAnswersComeBack();
    void waitingCallersAndAgentsInTheCalls();
    void ordinalsInEnglish_data();
    void ordinalsInEnglish();
    void abandonedAndAnsweredCallersForTheHistory();
    void longWaitChoicesAreRemembered();
};

namespace {

QString cell(const QModelIndex& row, int column)
{
    return row.siblingAtColumn(column).data().toString();
}

// A queue as "name | state | waiting | wait | answered | abandoned | level | in/free/call/paused",
// its children indented as "name | state | wait | answered".
QStringList shown(const QAbstractItemModel& model)
{
    QStringList lines;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex queue = model.index(row, 0);
        lines << QStringList{cell(queue, Model::Name),
                             cell(queue, Model::State),
                             cell(queue, Model::Waiting),
                             cell(queue, Model::Wait),
                             cell(queue, Model::Answered),
                             cell(queue, Model::Abandoned),
                             cell(queue, Model::ServiceLevel),
                             QStringList{cell(queue, Model::LoggedIn), cell(queue, Model::Free),
                                         cell(queue, Model::OnCall), cell(queue, Model::Paused)}
                                 .join(u'/')}
                     .join(u" | ");
        for (int child = 0; child < model.rowCount(queue); ++child) {
            const QModelIndex at = model.index(child, 0, queue);
            lines << u"  "_qs + QStringList{cell(at, Model::Name), cell(at, Model::State),
                                            cell(at, Model::Wait), cell(at, Model::Answered)}
                                    .join(u" | ");
        }
    }
    return lines;
}

} // namespace

void tst_queues::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale-queues-test"));
    // Pauses are shown at the desk's time of day.
    qputenv("TZ", "UTC");
    QLocale::setDefault(QLocale::c());
}

void tst_queues::init()
{
    QSettings().clear();
}

void tst_queues::rowsSayWhatThePbxSaid_data()
{
    QTest::addColumn<std::string>("listing");
    QTest::addColumn<std::string>("events");
    QTest::addColumn<QStringList>("rows");
    const QString sales = u"sales |  | 2 | 0:00:40 | 4 | 1 | 75.0% within 30 s | 2/1/0/1"_qs;
    const QString carol = u"  5551 <Carol> | Waiting in sales, 1st | 0:00:40 | "_qs;
    const QString dan = u"  5552 <Dan> | Waiting in sales, 2nd | 0:00:05 | "_qs;
    const QString anna = u"  Anna Agent | Free | 0:02:05 | 3"_qs;
    const QString ben = u"  Ben Agent | Paused (Lunch) since 22:50:00 |  | 0"_qs;
    const QString cleo = u"  Cleo | Unavailable |  | 0"_qs;
    const QString support = u"support |  | 0 |  | 0 | 0 | 0.0% | 0/0/0/0"_qs;
    QTest::newRow("a current PBX's listing")
        << salesAndSupport() << std::string()
        << QStringList{sales, carol, dan, anna, ben, cleo, support};
    QTest::newRow("a caller joins ahead, another gives up")
        << salesAndSupport()
        << block("Event: QueueCallerJoin|Channel: PJSIP/5553-03|Uniqueid: 1.3|CallerIDNum: "
                 "5553|CallerIDName: Eve \\\"VIP\\\"|Queue: sales|Position: 1|Count: 3") +
               block("Event: QueueCallerAbandon|Queue: sales|Uniqueid: 1.1|Position: "
                     "2|OriginalPosition: 1|HoldTime: 41") +
               block("Event: QueueCallerLeave|Channel: PJSIP/5551-01|Uniqueid: 1.1|Queue: "
                     "sales|Position: 2|Count: 2")
        << QStringList{u"sales |  | 2 | 0:00:05 | 4 | 2 | 75.0% within 30 s | 2/1/0/1"_qs,
                       u"  5553 <Eve \"VIP\"> | Waiting in sales, 1st | 0:00:00 | "_qs,
                       dan,
                       anna,
                       ben,
                       cleo,
                       support};
    QTest::newRow("one member paused with a reason, another on a call")
        << salesAndSupport()
        << block("Event: QueueMemberPause|Queue: sales|MemberName: Anna Agent|Interface: "
                 "Local/6001@queue-agents/n|CallsTaken: 3|LastPause: 1796857140|InCall: "
                 "0|Status: 1|Paused: 1|PausedReason: Training") +
               block("Event: QueueMemberStatus|Queue: sales|MemberName: Ben Agent|Interface: "
                     "Local/6002@queue-agents/n|CallsTaken: 0|InCall: 1|Status: 2|Paused: 0")
        << QStringList{u"sales |  | 2 | 0:00:40 | 4 | 1 | 75.0% within 30 s | 2/0/1/1"_qs,
                       carol,
                       dan,
                       u"  Anna Agent | Paused (Training) since 22:59:00 | 0:02:05 | 3"_qs,
                       u"  Ben Agent | On a call |  | 0"_qs,
                       cleo,
                       support};
    // Below the callers: a member's row moves with their count.
    QTest::newRow("a member added and another removed while callers wait")
        << salesAndSupport()
        << block("Event: QueueMemberAdded|Queue: sales|MemberName: Dora|Interface: "
                 "PJSIP/6004|Membership: dynamic|Penalty: 0|CallsTaken: 0|LastCall: 0|InCall: "
                 "0|Status: 1|Paused: 0") +
               block("Event: QueueMemberRemoved|Queue: sales|MemberName: Cleo|Interface: "
                     "PJSIP/6003")
        << QStringList{u"sales |  | 2 | 0:00:40 | 4 | 1 | 75.0% within 30 s | 3/2/0/1"_qs,
                       carol,
                       dan,
                       anna,
                       ben,
                       u"  Dora | Free |  | 0"_qs,
                       support};
    QTest::newRow("an older PBX: no member's name, no level of its own")
        << block("Event: QueueParams|Queue: sales|Max: 0|Calls: 1|Holdtime: 0|Completed: "
                 "0|Abandoned: 0|ServiceLevel: 0|ServicelevelPerf: 0.0|Weight: 0") +
               block("Event: QueueMember|Queue: sales|Location: SIP/100|Membership: "
                     "static|Penalty: 0|CallsTaken: 0|LastCall: 0|Status: 1|Paused: 0") +
               block("Event: QueueEntry|Queue: sales|Position: 1|Channel: SIP/200-01|CallerID: "
                     "200|CallerIDName: Bob|Wait: 5")
        << std::string()
        << QStringList{u"sales |  | 1 | 0:00:05 | 0 | 0 | 0.0% | 1/1/0/0"_qs,
                       u"  200 <Bob> | Waiting in sales, 1st | 0:00:05 | "_qs,
                       u"  SIP/100 | Free |  | 0"_qs};
}

void tst_queues::rowsSayWhatThePbxSaid()
{
    QFETCH(std::string, listing);
    QFETCH(std::string, events);
    QFETCH(QStringList, rows);
    // Followed row by row from the start, or taken in whole once filled: alike.
    for (const bool followed : {true, false}) {
        PlayedQueues played;
        QueuesView view;
        QAbstractItemModelTester check(&view.model(),
                                       QAbstractItemModelTester::FailureReportingMode::QtTest);
        if (followed)
            view.add(1, played.queues, u"pbx"_qs);
        played.list(listing);
        played.play(events);
        if (!followed)
            view.add(1, played.queues, u"pbx"_qs);
        QCOMPARE(shown(view.model()), rows);
        // What the operator sees: the same, filtered by nothing.
        QCOMPARE(shown(view.proxy()), rows);
    }
}

void tst_queues::waitsTickAndLongWaitsAreToldOnce()
{
    PlayedQueues played;
    QueuesView view;
    QStringList told;
    view.notify = [&told](const QString& title, const QString& body) {
        told << title + u": "_qs + body;
    };
    view.resize(900, 400);
    view.show();
    played.list(salesAndSupport() +
                block("Event: QueueEntry|Queue: support|Position: 1|Channel: PJSIP/5554-04|"
                      "Uniqueid: 1.4|CallerIDNum: 5554|CallerIDName: Fay|Wait: 50"));
    view.add(1, played.queues, u"pbx"_qs);
    view.tree()->expandAll();
    QueueTreeModel& model = view.model();
    const QModelIndex sales = model.index(0, 0);
    const QModelIndex carol = model.index(0, 0, sales);
    const QModelIndex dan = model.index(1, 0, sales);
    const QModelIndex fay = model.index(0, 0, model.index(1, 0));
    QVERIFY(view.tree()->isVisible());

    // Sales waits long after its own 30 s (Carol has waited 40), support after 60.
    view.tick();
    QCOMPARE(told, QStringList{u"Long wait in sales: 5551 <Carol> has waited 0:00:40."_qs});
    QVERIFY(carol.data(Model::LongWaitRole).toBool());
    QVERIFY(carol.data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!carol.data(Qt::DecorationRole).isNull());
    QVERIFY(!dan.data(Model::LongWaitRole).toBool());
    QVERIFY(!fay.data(Model::LongWaitRole).toBool());

    QSignalSpy redrawn(&model, &QAbstractItemModel::dataChanged);
    played.pass(26s);
    view.tick();
    // Dan passes 30 s, Fay 60 s; Carol is not told of again.
    QCOMPARE(told.size(), 3);
    QCOMPARE(told.mid(1),
             (QStringList{u"Long wait in sales: 5552 <Dan> has waited 0:00:31."_qs,
                          u"Long wait in support: 5554 <Fay> has waited 0:01:16."_qs}));
    QVERIFY(fay.data(Model::LongWaitRole).toBool());
    QCOMPARE(cell(carol, Model::Wait), u"0:01:06"_qs);
    QCOMPARE(cell(sales, Model::Wait), u"0:01:06"_qs);
    // The rows in view were told their wait is due.
    QVERIFY(std::any_of(redrawn.begin(), redrawn.end(), [&](const QList<QVariant>& args) {
        return args.at(0).toModelIndex() == carol.siblingAtColumn(Model::Wait);
    }));

    // A caller who comes and goes is told of once for as long as it waits; switched off, none.
    played.pass(60s);
    view.tick();
    QCOMPARE(told.size(), 3);
    view.setNotifies(false);
    played.play(block("Event: QueueCallerJoin|Channel: PJSIP/5555-05|Uniqueid: 1.5|CallerIDNum: "
                      "5555|Queue: sales|Position: 3|Count: 3"));
    played.pass(31s);
    view.tick();
    QCOMPARE(told.size(), 3);
    QVERIFY(model.index(2, 0, sales).data(Model::LongWaitRole).toBool());
}

void tst_queues::thresholdIsTheQueuesOwnUnlessChosen_data()
{
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("level");
    QTest::addColumn<int>("threshold");
    QTest::newRow("the queue's level") << 0 << u"30"_qs << 30;
    QTest::newRow("none of its own") << 0 << u"0"_qs << Model::DefaultLongWaitSeconds;
    QTest::newRow("chosen over the queue's") << 45 << u"30"_qs << 45;
}

void tst_queues::thresholdIsTheQueuesOwnUnlessChosen()
{
    QFETCH(int, chosen);
    QFETCH(QString, level);
    QFETCH(int, threshold);
    PlayedQueues played;
    QueueTreeModel model;
    model.setLongWaitSeconds(chosen);
    model.addSource(0, played.queues, QString());
    played.list(block("Event: QueueParams|Queue: q|ServiceLevel: " + level.toStdString()) +
                block("Event: QueueEntry|Queue: q|Position: 1|Channel: SIP/1-1|Wait: 0"));
    const QModelIndex caller = model.index(0, 0, model.index(0, 0));
    played.pass(std::chrono::seconds(threshold - 1));
    QVERIFY(model.updateLongWaits().empty());
    played.pass(1s);
    QCOMPARE(model.updateLongWaits().size(), std::size_t{1});
    QVERIFY(caller.data(Model::LongWaitRole).toBool());
}

void tst_queues::aPbxNotCurrentOrPolledSaysSo()
{
    PlayedQueues first;
    PlayedQueues second;
    QueuesView view;
    first.list(salesAndSupport());
    second.list(block("Event: QueueParams|Queue: billing|ServiceLevel: 20"));
    view.add(1, first.queues, u"Berlin"_qs);
    QVERIFY(view.tree()->isColumnHidden(Model::Pbx));
    view.add(2, second.queues, u"Hamburg"_qs);
    QVERIFY(!view.tree()->isColumnHidden(Model::Pbx));
    QueueTreeModel& model = view.model();
    const QModelIndex billing = model.index(2, 0);
    QCOMPARE(cell(billing, Model::Name), u"billing"_qs);
    QCOMPARE(cell(billing, Model::Pbx), u"Hamburg"_qs);

    // Reconnected: greyed and marked, its children with it, the other PBX's rows untouched.
    view.setState(1, false, false, 5);
    const QModelIndex sales = model.index(0, 0);
    QCOMPARE(cell(sales, Model::State), u"Not current"_qs);
    QVERIFY(model.index(0, 0, sales).data(Qt::ForegroundRole).isValid());
    QVERIFY(!billing.data(Qt::ForegroundRole).isValid());
    // Listed again, but only by polling.
    view.setState(1, true, true, 5);
    QCOMPARE(cell(sales, Model::State), QString());
    QVERIFY(!sales.data(Qt::ForegroundRole).isValid());
    QVERIFY(sales.data(Qt::ToolTipRole).toString().contains(u"listed every 5 s"_qs));
    QVERIFY(!billing.data(Qt::ToolTipRole).toString().contains(u"listed every"_qs));

    // The filter finds a queue by its PBX and by its own name, a member by name.
    view.filter()->setText(u"hamb"_qs);
    QCOMPARE(view.proxy().rowCount(), 1);
    view.filter()->setText(u"ANNA"_qs);
    QCOMPARE(view.proxy().rowCount(), 1);
    QCOMPARE(view.proxy().rowCount(view.proxy().index(0, 0)), 1);
    view.remove(2);
    QVERIFY(view.tree()->isColumnHidden(Model::Pbx));
}

void tst_queues::pauseDialogRefusesLineBreaksAndNul_data()
{
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("a reason") << u"Lunch"_qs << true;
    QTest::newRow("none") << QString() << true;
    QTest::newRow("a line feed") << u"Lunch\nAction: Hangup"_qs << false;
    QTest::newRow("a carriage return") << u"Lunch\r"_qs << false;
    QTest::newRow("a NUL") << QString(u"Lunch\0x"_qs) << false;
}

void tst_queues::pauseDialogRefusesLineBreaksAndNul()
{
    QFETCH(QString, reason);
    QFETCH(bool, accepted);
    PauseDialog::remember(u"Meeting"_qs);
    PauseDialog dialog(u"Anna Agent"_qs, u"sales"_qs);
    QCOMPARE(dialog.offeredReasons(), QStringList{u"Meeting"_qs});
    dialog.setReason(reason);
    dialog.accept();
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(dialog.findChild<QLabel*>(u"problemLabel"_qs)->isHidden(), accepted);
    // Only a reason sent is offered the next time, first.
    const QStringList expected = accepted && !reason.isEmpty() ? QStringList{reason, u"Meeting"_qs}
                                                               : QStringList{u"Meeting"_qs};
    QCOMPARE(PauseDialog::usedReasons(), expected);
}

void tst_queues::pausesGoOutAndTheirAnswersComeBack()
{
    PlayedQueues played;
    ConsoleWindow window;
    QStringList failures;
    window.showFailure = [&failures](const QString& text) { failures << text; };
    played.list(salesAndSupport());
    window.addQueues(7, played.queues, u"pbx"_qs);
    QueuesView& view = *window.queues();
    QStringList asked;
    view.askPause = [&asked](const QString& member, const QString& queue, QString& reason,
                             bool& everyQueue) {
        asked << member + u" in "_qs + queue;
        reason = u"Training"_qs;
        everyQueue = false;
        return true;
    };
    QStringList requested;
    connect(&window, &ConsoleWindow::queuePauseRequested, this,
            [&requested](int pbx, const QString& interface, bool paused, const QString& queue,
                         const QString& reason) {
                requested << QStringLiteral("%1 %2 %3 %4 %5")
                                 .arg(pbx)
                                 .arg(interface, paused ? u"pause"_qs : u"unpause"_qs, queue,
                                      reason);
            });
    const auto select = [&view](int child) {
        const QModelIndex sales = view.proxy().index(0, 0);
        view.tree()->setCurrentIndex(view.proxy().index(child, 0, sales));
    };

    select(0); // a caller: nothing to pause
    QVERIFY(!view.pauseAction()->isEnabled());
    select(2); // Anna, free
    QVERIFY(view.pauseAction()->isEnabled());
    QVERIFY(!view.unpauseAction()->isEnabled());
    view.pauseAction()->trigger();
    select(3); // Ben, paused
    QVERIFY(view.unpauseAction()->isEnabled());
    view.unpauseAction()->trigger();
    QCOMPARE(asked, QStringList{u"Anna Agent in sales"_qs});
    QCOMPARE(requested, (QStringList{u"7 Local/6001@queue-agents/n pause sales Training"_qs,
                                     u"7 Local/6002@queue-agents/n unpause sales "_qs}));

    // From the keyboard, while the Queues tab is in front.
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.views()->setCurrentWidget(&view);
    select(3);
    view.tree()->setFocus();
    QTest::keyClick(view.tree(), Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked.back(), u"Ben Agent in sales"_qs);

    window.queuePauseFinished(7, u"Local/6001@queue-agents/n"_qs, true,
                              u"Interface paused successfully"_qs, false);
    QCOMPARE(window.statusBar()->currentMessage(),
             u"Local/6001@queue-agents/n: Interface paused successfully"_qs);
    QVERIFY(failures.isEmpty());
    window.queuePauseFinished(7, u"Local/6002@queue-agents/n"_qs, false, u"Permission denied"_qs,
                              true);
    QCOMPARE(failures.size(), 1);
    QVERIFY(failures.front().contains(u"write class \"agent\""_qs));
    window.removeQueues(7);
    QCOMPARE(view.model().rowCount(), 0);
}

void tst_queues::waitingCallersAndAgentsInTheCalls()
{
    PlayedCalls played;
    PlayedQueues queued;
    ConsoleWindow window;
    window.addCalls(0, played.calls, QString());
    played.added = [&window] { window.callsChanged(0); };
    played.add({"PJSIP/5551-01", "5551", "Carol", "600", "L1", "", "Up"});
    played.add({"PJSIP/5552-02", "5552", "Dan", "600", "L2", "", "Up"});
    window.addQueues(0, queued.queues, QString());
    queued.list(salesAndSupport());
    window.queuesChanged(0);
    const CallTreeModel& model = *window.model();
    const auto row = [&](const char* channel) {
        return model.indexOf(*window.sources().conversations(0)->conversationOf(channel));
    };
    const auto call = [&](const char* channel) {
        return QStringList{cell(row(channel), CallTreeModel::To),
                           cell(row(channel), CallTreeModel::State),
                           cell(row(channel), CallTreeModel::Duration)}
            .join(u" | ");
    };
    const auto found = [&](const QString& text) {
        window.proxy()->setFilterText(text);
        return window.proxy()->rowCount();
    };
    QCOMPARE(call("PJSIP/5551-01"), u"600 | Waiting in sales, 1st | 0:00:40"_qs);
    QCOMPARE(call("PJSIP/5552-02"), u"600 | Waiting in sales, 2nd | 0:00:05"_qs);
    QCOMPARE(found(u"SALES"_qs), 2);
    QCOMPARE(found(u"support"_qs), 0);

    // Dan is answered: the agent is whom he talks to; Carol moves up.
    queued.play(annaAnswersDan());
    window.queuesChanged(0);
    QCOMPARE(call("PJSIP/5552-02"), u"Anna Agent | Up | 0:00:00"_qs);
    QCOMPARE(call("PJSIP/5551-01"), u"600 | Waiting in sales, 1st | 0:00:40"_qs);
    QCOMPARE(found(u"anna agent"_qs), 1);
    QCOMPARE(found(u"sales"_qs), 2);

    // Without the queues the calls say what their channels say.
    window.removeQueues(0);
    QCOMPARE(call("PJSIP/5552-02"), u"600 | Up | 0:00:00"_qs);
    QCOMPARE(call("PJSIP/5551-01"), u"600 | Up | 0:00:00"_qs);
    QCOMPARE(found(u"sales"_qs), 0);
}

void tst_queues::ordinalsInEnglish_data()
{
    QTest::addColumn<unsigned>("position");
    QTest::addColumn<QString>("text");
    for (const auto& [position, text] :
         std::initializer_list<std::pair<unsigned, const char16_t*>>{{1, u"1st"},
                                                                     {2, u"2nd"},
                                                                     {3, u"3rd"},
                                                                     {4, u"4th"},
                                                                     {11, u"11th"},
                                                                     {12, u"12th"},
                                                                     {13, u"13th"},
                                                                     {21, u"21st"},
                                                                     {102, u"102nd"},
                                                                     {111, u"111th"}})
        QTest::newRow(qPrintable(QString::fromUtf16(text))) << position << QString::fromUtf16(text);
}

void tst_queues::ordinalsInEnglish()
{
    QFETCH(unsigned, position);
    QFETCH(QString, text);
    QCOMPARE(CallPresentation::ordinal(position), text);
}

void tst_queues::abandonedAndAnsweredCallersForTheHistory()
{
    PlayedQueues played;
    ConsoleWindow window;
    played.list(salesAndSupport());
    window.addQueues(4, played.queues, u"pbx"_qs);
    // The callers' texts are the PBX's bytes, valid during the call: copied as they come.
    QStringList heard;
    connect(&window, &ConsoleWindow::callerAbandoned, this,
            [&heard](int pbx, const corvale::AbandonedCaller& caller) {
                heard << QStringLiteral("%1 abandoned %2 %3 after %4 s")
                             .arg(pbx)
                             .arg(QString::fromStdString(std::string(caller.queue)),
                                  QString::fromStdString(std::string(caller.name)))
                             .arg(caller.holdTime);
            });
    connect(&window, &ConsoleWindow::callerAnswered, this,
            [&heard](int pbx, const corvale::AnsweredCaller& caller) {
                heard << QStringLiteral("%1 answered %2 %3 by %4 after %5 s")
                             .arg(pbx)
                             .arg(QString::fromStdString(std::string(caller.queue)),
                                  QString::fromStdString(std::string(caller.channel)),
                                  QString::fromStdString(std::string(caller.memberName)))
                             .arg(caller.holdTime);
            });
    played.play(annaAnswersDan() +
                block("Event: QueueCallerAbandon|Queue: sales|Uniqueid: 1.1|Position: "
                      "1|OriginalPosition: 1|HoldTime: 41") +
                block("Event: QueueCallerLeave|Channel: PJSIP/5551-01|Uniqueid: 1.1|Queue: "
                      "sales|Position: 1|Count: 0"));
    QCOMPARE(heard, (QStringList{u"4 answered sales PJSIP/5552-02 by Anna Agent after 9 s"_qs,
                                 u"4 abandoned sales Carol after 41 s"_qs}));
    // A PBX taken away tells nothing more.
    window.removeQueues(4);
    played.play(block("Event: QueueCallerAbandon|Queue: sales|Uniqueid: 1.9|Position: "
                      "1|OriginalPosition: 1|HoldTime: 3"));
    QCOMPARE(heard.size(), 2);
}

void tst_queues::longWaitChoicesAreRemembered()
{
    {
        ConsoleWindow window;
        window.queues()->setLongWaitSeconds(45);
        window.queues()->setNotifies(false);
        window.saveSettings();
    }
    ConsoleWindow window;
    QCOMPARE(window.queues()->longWaitSeconds(), 0);
    QVERIFY(window.queues()->notifies());
    window.restoreSettings();
    QCOMPARE(window.queues()->longWaitSeconds(), 45);
    QVERIFY(!window.queues()->notifies());
}

QTEST_MAIN(tst_queues)
#include "tst_queues.moc"
