#include "PlayedHistory.h"

#include <QSignalSpy>
#include <QtTest>

using namespace std::chrono_literals;
using corvale::Ending;
using corvale::HistoryEntry;

class tst_historyModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void columnsAndHowEachCallEnded();
    void newestAtTheTopOldestLeaveAtTheBottom();
    void filterFoldsTheTypedTextAndKeepsTheAbandoned();
};

namespace {

QString text(const QAbstractItemModel& model, int row, int column, int role = Qt::DisplayRole)
{
    return model.index(row, column).data(role).toString();
}

} // namespace

void tst_historyModel::columnsAndHowEachCallEnded()
{
    struct Case
    {
        Ending ending;
        int cause;
        const char* causeText;
        const char* queueOrMember;
        const char* words;
    };
    const Case cases[] = {
        {Ending::Hangup, 16, "Normal Clearing", "", "ended normally"},
        {Ending::Hangup, 17, "User busy", "", "busy"},
        {Ending::Hangup, 19, "User alerting, no answer", "", "no answer"},
        {Ending::Hangup, 21, "Call Rejected", "", "rejected"},
        {Ending::Hangup, 1, "Unallocated (unassigned) number", "", "unallocated number"},
        {Ending::Hangup, 38, "Network out of order", "", "network out of order"},
        {Ending::Hangup, 102, "Recovery on timer expiry", "", "Recovery on timer expiry"},
        {Ending::Hangup, 99, "", "", "cause 99"},
        {Ending::FromConsole, 16, "Normal Clearing", "", "ended from this console"},
        {Ending::Abandoned, 16, "Normal Clearing", "sales",
         "abandoned in sales after 0:42 at position 2"},
        {Ending::Answered, 16, "Normal Clearing", "Anna Agent",
         "answered by Anna Agent after 0:18"},
    };
    PlayedHistory c;
    for (const Case& one : cases) {
        HistoryEntry entry = PlayedHistory::call("5552001", "Zo\xc3\xab M\xc3\xbcller", 3904);
        entry.ending = one.ending;
        entry.cause = one.cause;
        entry.causeText = one.causeText;
        (one.ending == Ending::Abandoned ? entry.queue : entry.member) = one.queueOrMember;
        entry.holdSeconds = one.ending == Ending::Abandoned ? 42 : 18;
        entry.position = 2;
        c.history.add(entry);
    }
    const int rows = static_cast<int>(std::size(cases));
    QCOMPARE(c.model.rowCount(), rows);
    for (int i = 0; i < rows; ++i) {
        const int row = rows - 1 - i; // newest first
        QCOMPARE(text(c.model, row, HistoryModel::HowEnded), QString::fromUtf8(cases[i].words));
        const bool abandoned = cases[i].ending == Ending::Abandoned;
        QCOMPARE(c.model.index(row, 0).data(HistoryModel::AbandonedRole).toBool(), abandoned);
        QCOMPARE(c.model.index(row, HistoryModel::From).data(Qt::DecorationRole).isValid(),
                 abandoned);
    }

    // The time as the clock showed it then, an hour east of UTC, whatever the zone is now.
    QCOMPARE(text(c.model, 0, HistoryModel::Ended), QStringLiteral("10.12.26 14:03"));
    const QDateTime ended =
        c.model.index(0, HistoryModel::Ended).data(HistoryModel::SortRole).toDateTime();
    QCOMPARE(ended.offsetFromUtc(), 3600);
    QCOMPARE(ended.toString(Qt::ISODate), QStringLiteral("2026-12-10T14:03:22+01:00"));
    QCOMPARE(text(c.model, 0, HistoryModel::From),
             QStringLiteral("5552001 <Zo\u00eb M\u00fcller>"));
    QCOMPARE(text(c.model, 0, HistoryModel::To), QStringLiteral("2001"));
    QCOMPARE(text(c.model, 0, HistoryModel::Pbx), QStringLiteral("hq"));
    QCOMPARE(text(c.model, 0, HistoryModel::Duration), QStringLiteral("1:05:04"));
    QCOMPARE(c.model.index(0, HistoryModel::Duration).data(HistoryModel::SortRole).toLongLong(),
             3904);
    QCOMPARE(text(c.model, 0, HistoryModel::HowEnded, HistoryModel::FoldedRole),
             QStringLiteral(
                 "5552001 <zo\u00eb m\u00fcller>\n2001\nhq\nanswered by anna agent after 0:18"));
}

void tst_historyModel::newestAtTheTopOldestLeaveAtTheBottom()
{
    PlayedHistory c;
    QSignalSpy inserted(&c.model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&c.model, &QAbstractItemModel::rowsRemoved);
    c.history.add(PlayedHistory::call("1", "first"));
    c.clock += 12h;
    c.history.add(PlayedHistory::call("2", "second"));
    c.history.add(PlayedHistory::call("3", "third"));
    QCOMPARE(inserted.size(), 3);
    QCOMPARE(inserted.last().at(1).toInt(), 0);
    QCOMPARE(text(c.model, 0, HistoryModel::From), QStringLiteral("3 <third>"));
    QCOMPARE(text(c.model, 2, HistoryModel::From), QStringLiteral("1 <first>"));

    c.clock += 12h + 1s;
    c.history.prune();
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.last().at(1).toInt(), 2);
    QCOMPARE(removed.last().at(2).toInt(), 2);
    QCOMPARE(c.model.rowCount(), 2);
    QCOMPARE(text(c.model, 1, HistoryModel::From), QStringLiteral("2 <second>"));
    // The folded texts follow their rows out.
    QCOMPARE(text(c.model, 1, 0, HistoryModel::FoldedRole).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("2 <second>"));
}

void tst_historyModel::filterFoldsTheTypedTextAndKeepsTheAbandoned()
{
    PlayedHistory c;
    HistoryEntry gaveUp = PlayedHistory::call("5553", "Carol Smith", 30);
    gaveUp.ending = Ending::Abandoned;
    gaveUp.queue = "sales";
    for (const HistoryEntry& entry : {PlayedHistory::call("5551", "Zo\xc3\xab M\xc3\xbcller", 300),
                                      PlayedHistory::call("5552", "Dan M\xc3\xbcller", 20), gaveUp})
        c.history.add(entry);
    c.proxy.sort(HistoryModel::Duration, Qt::AscendingOrder);
    const auto froms = [&c] {
        QStringList out;
        for (int row = 0; row < c.proxy.rowCount(); ++row)
            out << text(c.proxy, row, HistoryModel::From);
        return out;
    };
    QCOMPARE(froms(), (QStringList{"5552 <Dan M\u00fcller>", "5553 <Carol Smith>",
                                   "5551 <Zo\u00eb M\u00fcller>"}));
    c.proxy.setFilterText(QStringLiteral(" M\u00dcLLER "));
    QCOMPARE(froms(), (QStringList{"5552 <Dan M\u00fcller>", "5551 <Zo\u00eb M\u00fcller>"}));
    c.proxy.setFilterText(QStringLiteral("ABANDONED IN SALES"));
    QCOMPARE(froms(), QStringList{"5553 <Carol Smith>"});
    c.proxy.setFilterText(QString());
    c.proxy.setAbandonedOnly(true);
    QCOMPARE(froms(), QStringList{"5553 <Carol Smith>"});
    c.history.add(gaveUp); // an abandoned call that ends while the list is shown
    QCOMPARE(c.proxy.rowCount(), 2);
}

QTEST_MAIN(tst_historyModel)
#include "tst_historyModel.moc"
