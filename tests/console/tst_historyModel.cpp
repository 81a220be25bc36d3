#include "PlayedHistory.h"

#include <QSignalSpy>
#include <QtTest>

using namespace std::chrono_literals;
using corvale::Ending;

class tst_historyModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    void columnsAndHowEachCallEnded();
    void filterFoldsTheTypedTextKeepsTheAbandonedAndFollowsThePrune();
};

namespace {

QString text(const QAbstractItemModel& model, int row, int column, int role = Qt::DisplayRole)
{
    return model.index(row, column).data(role).toString();
}

corvale::HistoryEntry ended(Ending ending, int cause, const char* causeText, const char* who = "")
{
    corvale::HistoryEntry entry;
    entry.ending = ending;
    entry.cause = cause;
    entry.causeText = causeText;
    (ending == Ending::Abandoned ? entry.queue : entry.member) = who;
    entry.holdSeconds = ending == Ending::Abandoned ? 42 : 18;
    entry.position = 2;
    return entry;
}

} // namespace

void tst_historyModel::columnsAndHowEachCallEnded()
{
    const std::pair<corvale::HistoryEntry, const char*> cases[] = {
        {ended(Ending::Hangup, 16, "Normal Clearing"), "ended normally"},
        {ended(Ending::Hangup, 17, "User busy"), "busy"},
        {ended(Ending::Hangup, 19, "User alerting, no answer"), "no answer"},
        {ended(Ending::Hangup, 21, "Call Rejected"), "rejected"},
        {ended(Ending::Hangup, 1, "Unallocated (unassigned) number"), "unallocated number"},
        {ended(Ending::Hangup, 38, "Network out of order"), "network out of order"},
        {ended(Ending::Hangup, 102, "Recovery on timer expiry"), "Recovery on timer expiry"},
        {ended(Ending::Hangup, 99, ""), "cause 99"},
        {ended(Ending::FromConsole, 16, ""), "ended from this console"},
        {ended(Ending::Abandoned, 16, "", "sales"), "abandoned in sales after 0:42 at position 2"},
        {ended(Ending::Answered, 16, "", "Anna Agent"), "answered by Anna Agent after 0:18"},
    };
    PlayedHistory c;
    for (const auto& [entry, words] : cases)
        c.add("Zo\xc3\xab M\xc3\xbcller", 3904, "5552001", entry);
    const int rows = static_cast<int>(std::size(cases));
    QCOMPARE(c.model.rowCount(), rows);
    for (int i = 0; i < rows; ++i) {
        const int row = rows - 1 - i; // newest first
        QCOMPARE(text(c.model, row, HistoryModel::HowEnded), QString::fromUtf8(cases[i].second));
        const bool abandoned = cases[i].first.ending == Ending::Abandoned;
        QCOMPARE(c.model.index(row, 0).data(HistoryModel::AbandonedRole).toBool(), abandoned);
        QCOMPARE(c.model.index(row, HistoryModel::From).data(Qt::DecorationRole).isValid(),
                 abandoned);
    }

    // The time as the clock showed it then, an hour east of UTC, whatever the zone is now.
    QCOMPARE(text(c.model, 0, HistoryModel::Ended), QStringLiteral("10.12.26 14:03"));
    const QDateTime end = c.model.index(0, 0).data(HistoryModel::SortRole).toDateTime();
    QCOMPARE(end.toString(Qt::ISODate), QStringLiteral("2026-12-10T14:03:22+01:00"));
    QCOMPARE(text(c.model, 0, HistoryModel::Duration), QStringLiteral("1:05:04"));
    QCOMPARE(c.model.index(0, HistoryModel::Duration).data(HistoryModel::SortRole).toInt(), 3904);
    QCOMPARE(text(c.model, 0, HistoryModel::HowEnded, HistoryModel::FoldedRole),
             QStringLiteral("5552001 <zo\u00eb m\u00fcller>\n2001\nhq\nanswered by anna agent "
                            "after 0:18"));
}

void tst_historyModel::filterFoldsTheTypedTextKeepsTheAbandonedAndFollowsThePrune()
{
    PlayedHistory c;
    c.add("Zo\xc3\xab M\xc3\xbcller", 300);
    c.clock += 1h;
    c.add("Dan M\xc3\xbcller", 20);
    c.add("Carol Smith", 30, "", ended(Ending::Abandoned, 16, "", "sales"));
    c.proxy.sort(HistoryModel::Duration, Qt::AscendingOrder);
    const auto froms = [&c] {
        QStringList out;
        for (int row = 0; row < c.proxy.rowCount(); ++row)
            out << text(c.proxy, row, HistoryModel::From);
        return out.join(QLatin1Char('/'));
    };
    QCOMPARE(froms(), QStringLiteral("Dan M\u00fcller/Carol Smith/Zo\u00eb M\u00fcller"));
    c.proxy.setFilterText(QStringLiteral(" M\u00dcLLER "));
    QCOMPARE(froms(), QStringLiteral("Dan M\u00fcller/Zo\u00eb M\u00fcller"));
    c.proxy.setFilterText(QStringLiteral("ABANDONED IN SALES"));
    QCOMPARE(froms(), QStringLiteral("Carol Smith"));
    c.proxy.setFilterText(QString());
    c.proxy.setAbandonedOnly(true);
    QCOMPARE(froms(), QStringLiteral("Carol Smith"));

    // The oldest call leaves at the bottom, its folded text with it.
    QSignalSpy removed(&c.model, &QAbstractItemModel::rowsRemoved);
    c.clock += 23h + 1s;
    c.history.prune();
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.last().at(1).toInt(), 2);
    c.proxy.setAbandonedOnly(false);
    c.proxy.setFilterText(QStringLiteral("m\u00fcller"));
    QCOMPARE(froms(), QStringLiteral("Dan M\u00fcller"));
}

QTEST_MAIN(tst_historyModel)
#include "tst_historyModel.moc"
