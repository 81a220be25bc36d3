#include "ConsoleCalls.h"
#include "ConsoleStatusBar.h"

#include <QFont>
#include <QLabel>
#include <QTreeView>
#include <QtTest>

#include <random>

using namespace std::chrono_literals;

class tst_callTreeModel : public QObject
{
    Q_OBJECT

private slots:
    void columnsOfAFourLegCall();
    void churnKeepsSortAndSelection();
    void filterIgnoresCaseAndAccentsAndKeepsTheWholeCall();
    void longCallsAreMarked();
    void filterSeesEveryColumnThePbxIncluded();
    void theCountIsAlwaysTheRows();
};

namespace {

QString text(const QAbstractItemModel& model, int row, int column,
             const QModelIndex& parent = QModelIndex())
{
    return model.index(row, column, parent).data().toString();
}

} // namespace

void tst_callTreeModel::columnsOfAFourLegCall()
{
    ConsoleCalls c;
    c.add({"PJSIP/5552001-01", "5552001", "Carol Smith", "2001", "L1", "", "Ring"});
    c.add({"Local/2001@agents-0001;1", "5552001", "Carol Smith", "2001", "L1", "", "Ring"});
    QCOMPARE(c.model.rowCount(), 1);
    QCOMPARE(text(c.model, 0, CallTreeModel::From), QStringLiteral("5552001 <Carol Smith>"));
    QCOMPARE(text(c.model, 0, CallTreeModel::To), QStringLiteral("2001"));
    QCOMPARE(text(c.model, 0, CallTreeModel::State), QStringLiteral("Ring"));

    c.clock += 65min + 4s;
    c.add({"Local/2001@agents-0001;2", "2001", "", "", "L1", "B2", "Up"});
    c.add({"PJSIP/2001-02", "2001", "Bj\xc3\xb6rn Agent", "", "L1", "B2", "Up"});
    corvale::CallFields up;
    up.state = "Up";
    c.change("PJSIP/5552001-01", up);
    c.change("Local/2001@agents-0001;1", up);
    c.bridge("PJSIP/5552001-01", "B1");
    c.bridge("Local/2001@agents-0001;1", "B1");
    QCOMPARE(c.model.rowCount(), 1);
    const QModelIndex call = c.model.index(0, 0);
    QCOMPARE(c.model.rowCount(call), 4);
    // Once bridged, To names the agent, not the Local channel in between.
    QCOMPARE(text(c.model, 0, CallTreeModel::To), QStringLiteral("2001 <Bj\u00f6rn Agent>"));
    QCOMPARE(text(c.model, 0, CallTreeModel::Channels), QStringLiteral("4"));
    QCOMPARE(c.model.index(0, CallTreeModel::Channels).data(CallTreeModel::SortRole).toInt(), 4);
    QCOMPARE(text(c.model, 0, CallTreeModel::State), QStringLiteral("Up"));
    QCOMPARE(text(c.model, 0, CallTreeModel::Duration), QStringLiteral("1:05:04"));
    QCOMPARE(c.model.index(0, CallTreeModel::Duration).data(CallTreeModel::SortRole).toDouble(),
             3904.0);
    QCOMPARE(text(c.model, 3, CallTreeModel::Channels, call), QStringLiteral("PJSIP/2001-02"));
    QCOMPARE(text(c.model, 3, CallTreeModel::Duration, call), QStringLiteral("0:00:00"));
    QCOMPARE(c.model.index(1, 0, call).data(CallTreeModel::ChannelRole).toByteArray(),
             QByteArray("Local/2001@agents-0001;1"));

    // Bytes that are not UTF-8 are shown one byte per character, as the call list window does.
    c.add({"SIP/7-03", "7", "M\xfcller", "", "L7", "", "Up"});
    QCOMPARE(text(c.model, 1, CallTreeModel::From), QStringLiteral("7 <M\u00fcller>"));
    c.add({"SIP/8-04", "+4930123", "<unknown>", "", "L8", "", "Up"});
    QCOMPARE(text(c.model, 2, CallTreeModel::From), QStringLiteral("+4930123"));

    // Calls up at the login come in the listing's order: From is the leg that started first.
    c.calls.listingStarted();
    c.calls.listedCall("PJSIP/2002-05", "2002", "Desk", "", "100");
    c.calls.listedCall("PJSIP/5552002-05", "5552002", "Dan", "2002", "160");
    c.bridge("PJSIP/2002-05", "B5");
    c.bridge("PJSIP/5552002-05", "B5");
    c.calls.listingComplete(false);
    c.added();
    QCOMPARE(text(c.model, 3, CallTreeModel::From), QStringLiteral("5552002 <Dan>"));
    QCOMPARE(text(c.model, 3, CallTreeModel::To), QStringLiteral("2002 <Desk>"));
    QCOMPARE(text(c.model, 3, CallTreeModel::Duration), QStringLiteral("0:02:40"));

    QCOMPARE(c.model.headerData(CallTreeModel::Duration, Qt::Horizontal).toString(),
             QStringLiteral("Duration"));
    for (int column = 0; column < CallTreeModel::ColumnCount; ++column)
        QVERIFY(!c.model.headerData(column, Qt::Horizontal, Qt::AccessibleTextRole)
                     .toString()
                     .isEmpty());
}

// Calls start, get bridged and end at random while a view shows them sorted by duration with one
// call selected: the order stays sorted, and the selection stays on its call until it ends.
void tst_callTreeModel::churnKeepsSortAndSelection()
{
    ConsoleCalls c;
    QTreeView view;
    view.setModel(&c.proxy);
    view.setSelectionMode(QAbstractItemView::ExtendedSelection);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSortingEnabled(true);
    view.sortByColumn(CallTreeModel::Duration, Qt::DescendingOrder);
    view.resize(600, 400);
    view.show();

    std::mt19937 random(11);
    std::vector<std::string> tags;
    int serial = 0;
    for (; serial < 30; ++serial) {
        c.clock += 1s;
        c.call(std::to_string(serial), "555" + std::to_string(serial), "Caller", "2001");
        tags.push_back(std::to_string(serial));
    }
    view.expandAll();
    const std::string chosen = "7";
    const corvale::Conversation* selected = c.conversations().conversationOf("PJSIP/5557-7");
    const QModelIndex start = c.proxy.mapFromSource(c.model.indexOf(*selected));
    view.selectionModel()->setCurrentIndex(start, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);

    const auto selectedIds = [&] {
        std::vector<std::uint64_t> ids;
        for (const QModelIndex& index : view.selectionModel()->selectedRows())
            ids.push_back(c.model.conversationAt(c.proxy.mapToSource(index))->id);
        return ids;
    };
    const std::uint64_t chosenId = selected->id;
    for (int step = 0; step < 300; ++step) {
        c.clock += 250ms;
        const int what = std::uniform_int_distribution<int>(0, 2)(random);
        if (what == 0 || tags.size() < 5) {
            const std::string tag = std::to_string(serial++);
            c.call(tag, "555" + tag, "Caller", "2002");
            tags.push_back(tag);
        } else {
            const auto at = std::uniform_int_distribution<std::size_t>(0, tags.size() - 1)(random);
            const std::string tag = tags[at];
            if (tag == chosen && step < 250)
                continue;
            c.hangUp("PJSIP/2001-" + tag);
            c.hangUp("PJSIP/2002-" + tag);
            c.hangUp("PJSIP/555" + tag + "-" + tag);
            tags.erase(tags.begin() + static_cast<std::ptrdiff_t>(at));
            if (tag == chosen) {
                QVERIFY2(view.selectionModel()->selectedRows().isEmpty(),
                         "a call that ends takes its selection with it, not a neighbour's");
                break;
            }
        }
        QCOMPARE(c.proxy.rowCount(), static_cast<int>(tags.size()));
        for (int row = 1; row < c.proxy.rowCount(); ++row)
            QVERIFY(c.proxy.index(row - 1, CallTreeModel::Duration)
                        .data(CallTreeModel::SortRole)
                        .toDouble() >= c.proxy.index(row, CallTreeModel::Duration)
                                           .data(CallTreeModel::SortRole)
                                           .toDouble());
        QCOMPARE(selectedIds(), std::vector<std::uint64_t>{chosenId});
    }
    QCOMPARE(std::count(tags.begin(), tags.end(), chosen), 0);
}

// Whether every row the filter shows says it has children exactly when it shows some: the view
// draws a row's expander from the one and its legs from the other.
static bool childrenAgree(const QAbstractItemModel& proxy)
{
    for (int row = 0; row < proxy.rowCount(); ++row) {
        const QModelIndex call = proxy.index(row, 0);
        if (proxy.hasChildren(call) != (proxy.rowCount(call) > 0))
            return false;
        for (int leg = 0; leg < proxy.rowCount(call); ++leg)
            if (proxy.hasChildren(proxy.index(leg, 0, call)))
                return false;
    }
    return true;
}

void tst_callTreeModel::filterIgnoresCaseAndAccentsAndKeepsTheWholeCall()
{
    ConsoleCalls c;
    c.call("1", "5552001", "Carol Smith", "2001");
    c.add({"PJSIP/5552002-2", "5552002", "Zo\xc3\xab M\xc3\xbcller", "2002", "L2", "B2"});
    c.add({"PJSIP/2002-2", "2002", "Desk", "", "L2", "B2"});
    c.add({"PJSIP/5552003-3", "5552003", "", "2003", "L3", ""});

    c.proxy.setFilterText(QStringLiteral("muller"));
    QCOMPARE(c.proxy.rowCount(), 1);
    QCOMPARE(text(c.proxy, 0, CallTreeModel::From),
             QStringLiteral("5552002 <Zo\u00eb M\u00fcller>"));
    // The call is shown whole.
    QCOMPARE(c.proxy.rowCount(c.proxy.index(0, 0)), 2);
    QVERIFY(childrenAgree(c.proxy));

    // A leg's channel name alone keeps its conversation.
    c.proxy.setFilterText(QStringLiteral("pjsip/2001"));
    QCOMPARE(c.proxy.rowCount(), 1);
    QCOMPARE(text(c.proxy, 0, CallTreeModel::From), QStringLiteral("5552001 <Carol Smith>"));
    QVERIFY(childrenAgree(c.proxy));

    // A call that starts or changes while filtered is judged by its new text.
    c.proxy.setFilterText(QStringLiteral("\u00c9LODIE"));
    QCOMPARE(c.proxy.rowCount(), 0);
    c.add({"PJSIP/5552004-4", "5552004", "\xc3\x89lodie", "2004", "L4", ""});
    QCOMPARE(c.proxy.rowCount(), 1);
    c.calls.described("PJSIP/5552001-1", {std::nullopt, std::string_view("elodie"), std::nullopt});
    QCOMPARE(c.proxy.rowCount(), 2);

    c.proxy.setFilterText(QString());
    QCOMPARE(c.proxy.rowCount(), 4);
    QVERIFY(childrenAgree(c.proxy));
}

void tst_callTreeModel::longCallsAreMarked()
{
    ConsoleCalls c;
    c.model.setLongCallSeconds(600);
    c.call("1", "5552001", "Carol Smith", "2001");
    c.clock += 5min;
    c.call("2", "5552002", "Dan", "2002");
    QCOMPARE(c.model.updateLongCalls(), 0);
    QSignalSpy changed(&c.model, &QAbstractItemModel::dataChanged);
    c.clock += 5min;
    QCOMPARE(c.model.updateLongCalls(), 1);
    // Only the row that became long is redrawn.
    QCOMPARE(changed.count(), 1);
    const QModelIndex first = c.model.index(0, CallTreeModel::From);
    QVERIFY(first.data(CallTreeModel::LongCallRole).toBool());
    QVERIFY(first.data(Qt::FontRole).value<QFont>().bold());
    QVERIFY(!first.data(Qt::DecorationRole).isNull());
    QVERIFY(first.data(Qt::BackgroundRole).isValid());
    QVERIFY(first.data(Qt::AccessibleTextRole).toString().contains(QStringLiteral("long call")));
    const QModelIndex second = c.model.index(1, CallTreeModel::From);
    QVERIFY(!second.data(CallTreeModel::LongCallRole).toBool());
    QVERIFY(!second.data(Qt::FontRole).isValid());

    // A lower threshold marks the second; a call already long when it is first seen is counted.
    c.model.setLongCallSeconds(240);
    QCOMPARE(c.model.longCalls(), 2);
    c.calls.listingStarted();
    c.calls.listedCall("PJSIP/9-9", "9", "", "", "3600");
    c.calls.listingComplete(false);
    c.added();
    QCOMPARE(c.model.longCalls(), 3);
    c.hangUp("PJSIP/5552001-1");
    c.hangUp("PJSIP/2001-1");
    QCOMPARE(c.model.longCalls(), 2);
}

void tst_callTreeModel::filterSeesEveryColumnThePbxIncluded()
{
    PlayedCalls branch; // outlives the sources that show it
    ConsoleCalls c;
    c.sources.setName(0, QStringLiteral("Z\u00fcrich HQ"));
    c.sources.add(1, branch.calls, QStringLiteral("Branch"));
    branch.added = [&c] { c.sources.takeInNewCalls(1); };
    c.call("1", "5552001", "S\xc3\xb8ren Kj\xc3\xa6r", "2001");
    branch.call("1", "5552002", "\xc5\x81ukasz", "2002");
    const std::pair<const char*, int> typed[] = {
        {"zurich", 1},     {"BRANCH", 1}, {"soren kjaer", 1},  {"lukasz", 1},
        {"agent 2002", 1}, {"up", 2},     {"pjsip/2002-1", 1}, {"nobody", 0},
    };
    QStringList found, wanted;
    for (const auto& [text, rows] : typed) {
        c.proxy.setFilterText(QString::fromUtf8(text));
        found << QStringLiteral("%1: %2").arg(QString::fromUtf8(text)).arg(c.proxy.rowCount());
        wanted << QStringLiteral("%1: %2").arg(QString::fromUtf8(text)).arg(rows);
    }
    QCOMPARE(found, wanted);
}

// After each thing that changes the calls or the view of them, the status bar counts the rows.
void tst_callTreeModel::theCountIsAlwaysTheRows()
{
    ConsoleCalls c;
    ConsoleStatusBar bar(c.model, c.proxy);
    auto* count = bar.findChild<QLabel*>(QStringLiteral("countLabel"));
    const auto counted = [&](const char* expected) {
        if (count->text() == QLatin1String(expected) && bar.countText() == count->text())
            return true;
        qWarning("counted %s, expected %s", qPrintable(count->text()), expected);
        return false;
    };
    c.calls.listingStarted();
    for (const char* number : {"5551", "5552", "5553"})
        c.calls.listedCall(std::string("SIP/") + number + "-1", number, "Dan", "", "10");
    c.calls.listingComplete(true);
    c.added();
    QVERIFY(counted("3 calls"));
    c.call("4", "5554", "Eve", "2004");
    QVERIFY(counted("4 calls"));
    c.hangUp("SIP/5551-1");
    QVERIFY(counted("3 calls"));
    c.proxy.setFilterText(QStringLiteral("eve"));
    QVERIFY(counted("1 of 3 calls"));
    // A call out of view ends, then the one in view.
    c.hangUp("SIP/5552-1");
    QVERIFY(counted("1 of 2 calls"));
    c.hangUp("PJSIP/5554-4");
    c.hangUp("PJSIP/2004-4");
    QVERIFY(counted("0 of 1 call"));
    c.proxy.setFilterText(QString());
    QVERIFY(counted("1 call"));
    // A reconnection: the calls leave with the old session and come with the new one's listing.
    c.sources.remove(0);
    QVERIFY(counted("0 calls"));
    c.sources.add(0, c.calls, QString());
    QVERIFY(counted("1 call"));
    c.calls.listingStarted();
    c.calls.listingComplete(true);
    QVERIFY(counted("0 calls"));
}

QTEST_MAIN(tst_callTreeModel)
#include "tst_callTreeModel.moc"
