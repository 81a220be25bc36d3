#include "CsvExport.h"
#include "PlayedHistory.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

class tst_csvExport : public QObject
{
    Q_OBJECT

private slots:
    void hostileNamesComeBackAsTextThroughPythonsCsvReader();
    void failedExportLeavesNothingBehind_data();
    void failedExportLeavesNothingBehind();
    void clipboardHasTheSelectedRowsInViewOrder();
};

namespace {

// Callers' names that a spreadsheet would otherwise take for formulas, and two that need only
// quoting or UTF-8.
const char* const Names[] = {"=HYPERLINK(\"http://x\",\"y\")",
                             "+cmd|' /C calc'!A0",
                             "-2+3",
                             "@SUM(A1)",
                             "\tTab",
                             "\rReturn",
                             "Ann \"The Boss\", Sales\r\nDept",
                             "Zo\xc3\xab M\xc3\xbcller"};

// The names in order of their calls' durations, longest first, and a call on another PBX.
void fill(PlayedHistory& c)
{
    for (std::size_t i = 0; i < std::size(Names); ++i)
        c.add(Names[i], static_cast<std::int64_t>(i) * 61);
    corvale::HistoryEntry other;
    other.pbx = "branch";
    c.add("Elsewhere", 0, "", other);
    c.proxy.setFilterText(QStringLiteral("hq"));
    c.proxy.sort(HistoryModel::Duration, Qt::DescendingOrder);
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

void tst_csvExport::hostileNamesComeBackAsTextThroughPythonsCsvReader()
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    PlayedHistory c;
    fill(c);
    // The columns as a view shows them: PBX hidden, How it ended moved to second place.
    const QList<int> columns = {HistoryModel::Ended, HistoryModel::HowEnded, HistoryModel::From,
                                HistoryModel::To, HistoryModel::Duration};
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calls.csv"));
    QCOMPARE(CsvExport::write(c.proxy, columns, path), QString());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF") && bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n")); // every line break is CR LF
    QProcess reader;
    reader.start(python, {QStringLiteral("-c"), QStringLiteral(R"(import csv, json, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    print(json.dumps(list(csv.reader(f, strict=True)))))"),
                          path});
    QVERIFY(reader.waitForFinished(30000) && reader.exitCode() == 0);
    const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
    QCOMPARE(rows.size(), qsizetype(std::size(Names)) + 1);
    QCOMPARE(rows[0].toVariant().toStringList(), (QStringList{"Ended", "How it ended", "From", "To",
                                                              "Duration", "Duration in seconds"}));
    for (qsizetype row = 1; row < rows.size(); ++row) {
        const std::size_t i = std::size(Names) - static_cast<std::size_t>(row);
        const QString name = QString::fromUtf8(Names[i]);
        const QString hms = QStringLiteral("0:0%1:0%1").arg(i); // i * 61 seconds
        QCOMPARE(rows[row].toVariant().toStringList(),
                 (QStringList{"2026-12-10T14:03:22+01:00", "ended normally",
                              i < 6 ? QLatin1Char('\'') + name : name, "2001", hms,
                              QString::number(i * 61)}));
    }
}

void tst_csvExport::failedExportLeavesNothingBehind_data()
{
    QTest::addColumn<QString>("target"); // in the test's folder
    QTest::addColumn<QString>("words");
    const bool root = geteuid() == 0; // root may write in any folder, not in /proc
    QTest::newRow("a folder") << "calls.csv"
                              << "is a folder";
    QTest::newRow("a missing folder") << "missing/calls.csv"
                                      << "does not exist";
    QTest::newRow("a folder it may not write in")
        << (root ? "/proc/calls.csv" : "locked/calls.csv")
        << (root ? "could not be written" : "may not write");
    QTest::newRow("a disk that fills") << "full/calls.csv"
                                       << "File too large";
}

void tst_csvExport::failedExportLeavesNothingBehind()
{
    QFETCH(QString, target);
    QFETCH(QString, words);
    PlayedHistory c;
    fill(c);
    QTemporaryDir dir;
    const QDir folder(dir.path());
    for (const char* name : {"calls.csv", "locked", "full"})
        QVERIFY(folder.mkdir(QString::fromLatin1(name)));
    QFile old(folder.filePath(QStringLiteral("full/calls.csv")));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an earlier export") > 0);
    old.close();
    QFile::setPermissions(folder.filePath(QStringLiteral("locked")),
                          QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QString path = folder.filePath(target);

    // A disk that fills is played by a limit on the size of the files this process writes.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64;
    std::signal(SIGXFSZ, SIG_IGN);
    const bool fills = target.startsWith(QLatin1String("full/"));
    if (fills)
        setrlimit(RLIMIT_FSIZE, &small);
    const QString message = CsvExport::write(c.proxy, {HistoryModel::From}, path);
    setrlimit(RLIMIT_FSIZE, &saved);

    QVERIFY2(message.contains(words), qPrintable(message));
    QVERIFY2(message.contains(QFileInfo(path).absolutePath()), qPrintable(message));
    QStringList left = entries(dir.path());
    for (const char* name : {"calls.csv", "locked", "full"})
        left += entries(folder.filePath(QString::fromLatin1(name)));
    QCOMPARE(left, (QStringList{"calls.csv", "full", "locked", "calls.csv"}));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("an earlier export"));
    QVERIFY(!QFileInfo(path).isFile() || fills);
}

void tst_csvExport::clipboardHasTheSelectedRowsInViewOrder()
{
    PlayedHistory c;
    fill(c);
    // Rows 0 (Zoë), 1 (Ann) and 4 (@SUM), picked in another order and by several cells.
    const QModelIndexList picked = {c.proxy.index(4, 1), c.proxy.index(0, 0), c.proxy.index(1, 2),
                                    c.proxy.index(4, 0)};
    QCOMPARE(CsvExport::tabSeparated(c.proxy, picked, {HistoryModel::From, HistoryModel::Duration}),
             QStringLiteral("Zo\u00eb M\u00fcller\t0:07:07\n"
                            "Ann \"The Boss\", Sales  Dept\t0:06:06\n"
                            "'@SUM(A1)\t0:03:03\n"));
    QCOMPARE(CsvExport::tabSeparated(c.proxy, {c.proxy.index(2, 0)}, {HistoryModel::From}),
             QStringLiteral("' Return\n"));
}

QTEST_MAIN(tst_csvExport)
#include "tst_csvExport.moc"
