#include "ConsoleCalls.h"
#include "ConsoleWindow.h"
#include "HistoryView.h"
#include "QueueFields.h"
#include "ViewExport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>
#include <unistd.h>

using Rows = QList<QStringList>;

// File > Export... and Ctrl+C in the console window: the view in front, as it shows it.
class tst_viewExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exportWritesTheViewAsShown_data();
    void exportWritesTheViewAsShown();
    void aFailedExportSaysSoOnceAndLeavesNothing_data();
    void aFailedExportSaysSoOnceAndLeavesNothing();
    void copyTakesTheSelectedRows_data();
    void copyTakesTheSelectedRows();

private:
    // The tab in front, filtered, sorted and moved first by Duration, `hidden` hidden, every row
    // expanded.
    QTreeView* show(int tab, const QString& filter, bool callBacks, int hidden);

    std::unique_ptr<PlayedCalls> played;
    std::unique_ptr<ConsoleWindow> window;
    QStringList failures;
    QString chosenPath;
};

namespace {

const char* const Hostile = "=cmd|' /C calc'!A0";

Rows readCsv(const QString& path)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        return {};
    QProcess reader;
    reader.start(python, {QStringLiteral("-c"), QStringLiteral(R"(import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    print(json.dumps(list(csv.reader(f, strict=True)))))"),
                          path});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0)
        return {{QStringLiteral("reader failed")}};
    Rows rows;
    for (const QJsonValue row : QJsonDocument::fromJson(reader.readAllStandardOutput()).array())
        rows << row.toVariant().toStringList();
    return rows;
}

} // namespace

void tst_viewExport::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale-export-test"));
}

void tst_viewExport::init()
{
    played = std::make_unique<PlayedCalls>();
    window = std::make_unique<ConsoleWindow>();
    window->addCalls(0, played->calls, QStringLiteral("hq"));
    played->added = [this] { window->callsChanged(0); };
    window->showFailure = [this](const QString& text) { failures << text; };
    window->exporter().askFileName = [this](const QString&) { return chosenPath; };
    failures.clear();

    // Up at 37 s: the hostile caller's call (37 s; its agent's channel 32 s), Bob's (27 s) and
    // Carol's (13 s; her agent's 12 s).
    PlayedCalls& p = *played;
    const auto later = [&p](int seconds) { p.clock += std::chrono::seconds(seconds); };
    p.add({"PJSIP/100-A", "", Hostile, "200", "LA", "BA"});
    later(5);
    p.add({"PJSIP/200-A", "200", "Agent 200", "", "LA", "BA"});
    later(5);
    p.call("B", "300", "Bob", "201");
    later(14);
    p.add({"PJSIP/400-C", "400", "Carol", "202", "LC", "BC"});
    later(1);
    p.add({"PJSIP/202-C", "202", "Agent 202", "", "LC", "BC"});
    // Ended: Dave's call, busy, after 12 s; "@SUM(A1)" gave up in sales after 9 s.
    p.add({"PJSIP/500-D", "500", "Dave", "203", "LD", ""});
    p.add({"PJSIP/600-E", "", "@SUM(A1)", "700", "LE", ""});
    later(9);
    corvale::AbandonedCaller gave;
    gave.queue = "sales";
    gave.channel = "PJSIP/600-E";
    gave.position = 1;
    gave.holdTime = 9;
    window->recorder().noteAbandoned(0, gave);
    p.calls.hungUp("PJSIP/600-E", 16, "Normal Clearing");
    later(3);
    p.calls.hungUp("PJSIP/500-D", 17, "User busy");
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void tst_viewExport::cleanup()
{
    window.reset();
    played.reset();
}

QTreeView* tst_viewExport::show(int tab, const QString& filter, bool callBacks, int hidden)
{
    // 0 the calls, 1 the history, wherever its tab is.
    window->views()->setCurrentIndex(tab == 0 ? 0 : window->views()->indexOf(window->history()));
    QTreeView* tree = tab == 0 ? window->tree() : window->history()->view();
    (tab == 0 ? window->filter() : window->history()->filter())->setText(filter);
    window->history()->callBackList()->setChecked(callBacks);
    QHeaderView* header = tree->header();
    header->moveSection(header->visualIndex(4), 0); // Duration, in both, longest first
    tree->sortByColumn(4, Qt::DescendingOrder);
    tree->setColumnHidden(hidden, true);
    tree->expandAll();
    return tree;
}

void tst_viewExport::exportWritesTheViewAsShown_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("callBacks");
    QTest::addColumn<int>("hidden"); // a column
    QTest::addColumn<Rows>("rows");  // after the header

    const QString hostile = QLatin1Char('\'') + QString::fromUtf8(Hostile);
    QTest::newRow("calls, longest first, the legs of each after it")
        << 0 << "c" << false << 3 /* State */
        << Rows{{"0:00:37", "37", hostile, "200 <Agent 200>", "2"},
                {"0:00:37", "37", hostile, "200", "PJSIP/100-A"},
                {"0:00:32", "32", "200 <Agent 200>", "", "PJSIP/200-A"},
                {"0:00:13", "13", "400 <Carol>", "202 <Agent 202>", "2"},
                {"0:00:13", "13", "400 <Carol>", "202", "PJSIP/400-C"},
                {"0:00:12", "12", "202 <Agent 202>", "", "PJSIP/202-C"}};
    QTest::newRow("history, filtered")
        << 1 << "busy" << false << 0 /* Ended */
        << Rows{{"0:00:12", "12", "500 <Dave>", "203", "hq", "busy"}};
    QTest::newRow("history, the call-back list")
        << 1 << "" << true << 0
        << Rows{{"0:00:09", "9", "'@SUM(A1)", "700", "hq",
                 "abandoned in sales after 0:09 at position 1"}};
}

void tst_viewExport::exportWritesTheViewAsShown()
{
    QFETCH(int, tab);
    QFETCH(QString, filter);
    QFETCH(bool, callBacks);
    QFETCH(int, hidden);
    if (QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty())
        QSKIP("python3 is not installed");
    QTreeView* tree = show(tab, filter, callBacks, hidden);
    // Where a filter was typed, Ctrl+E comes from the filter field, which has a Ctrl+E of its own.
    QWidget* focus = tree;
    if (auto* edit = tree->parentWidget()->findChild<QLineEdit*>(); edit && !filter.isEmpty())
        focus = edit;
    focus->setFocus();
    QTemporaryDir dir;
    chosenPath = dir.filePath(QStringLiteral("view.csv"));

    QTest::keyClick(focus, Qt::Key_E, Qt::ControlModifier);

    QCOMPARE(failures, QStringList());
    Rows rows = readCsv(chosenPath);
    QVERIFY(!rows.isEmpty());
    const QStringList header = rows.takeFirst();
    QCOMPARE(header.mid(0, 2), (QStringList{"Duration", "Duration in seconds"}));
    QCOMPARE(header.size(), tab == 0 ? 5 : 6);
    QTEST(rows, "rows");
}

void tst_viewExport::aFailedExportSaysSoOnceAndLeavesNothing_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("a folder") << "taken.csv";
    // Root may write in any folder, but not in /proc.
    QTest::newRow("a folder it may not write in")
        << (geteuid() == 0 ? "/proc/calls.csv" : "locked/calls.csv");
}

void tst_viewExport::aFailedExportSaysSoOnceAndLeavesNothing()
{
    QFETCH(QString, target);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    QVERIFY(folder.mkdir(QStringLiteral("taken.csv")) && folder.mkdir(QStringLiteral("locked")));
    QFile::setPermissions(folder.filePath(QStringLiteral("locked")),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    chosenPath = folder.filePath(target);

    window->views()->setCurrentWidget(window->history());
    window->exporter().exportAction()->trigger();

    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.front().contains(QDir::toNativeSeparators(chosenPath)) ||
                 failures.front().contains(QDir::toNativeSeparators(QFileInfo(chosenPath).path())),
             qPrintable(failures.front()));
    const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
    QCOMPARE(folder.entryList(all), (QStringList{"locked", "taken.csv"}));
    QCOMPARE(QDir(folder.filePath(QStringLiteral("locked"))).entryList(all), QStringList());
    QCOMPARE(QDir(folder.filePath(QStringLiteral("taken.csv"))).entryList(all), QStringList());
    QVERIFY(!QFileInfo::exists(chosenPath) || QFileInfo(chosenPath).isDir());
}

void tst_viewExport::copyTakesTheSelectedRows_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QList<int>>("picked"); // top-level rows of the view
    QTest::addColumn<QString>("text");
    QTest::newRow("calls: two of three, in view order")
        << 0 << QList<int>{2, 0}
        << QStringLiteral("0:00:37\t'=cmd|' /C calc'!A0\t200 <Agent 200>\t2\tUp\n"
                          "0:00:13\t400 <Carol>\t202 <Agent 202>\t2\tUp\n");
    QTest::newRow("history: one")
        << 1 << QList<int>{1}
        << QStringLiteral("0:00:09\t'@SUM(A1)\t700\thq\tabandoned in sales after 0:09 at "
                          "position 1\n");
}

void tst_viewExport::copyTakesTheSelectedRows()
{
    QFETCH(int, tab);
    QFETCH(QList<int>, picked);
    QTreeView* tree = show(tab, QString(), false, tab == 0 ? 5 : 0);
    tree->collapseAll();
    for (const int row : picked)
        tree->selectionModel()->select(tree->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QGuiApplication::clipboard()->clear();
    tree->setFocus();

    QTest::keyClick(tree, Qt::Key_C, Qt::ControlModifier);

    QTEST(QGuiApplication::clipboard()->text(), "text");
}

QTEST_MAIN(tst_viewExport)
#include "tst_viewExport.moc"
