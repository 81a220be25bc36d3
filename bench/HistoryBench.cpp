// The history full (10,000 calls) behind its filter: a keystroke in the filter, an export of every
// call to a CSV file, and a call ending once the history is full.
#include "CsvExport.h"
#include "History.h"
#include "HistoryFilterModel.h"
#include "HistoryModel.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <chrono>
#include <string>

namespace {

const char* const Names[] = {"Zo\xc3\xab M\xc3\xbcller",
                             "Carol Smith",
                             "Bj\xc3\xb6rn \xc3\x85ngstr\xc3\xb6m",
                             "Fran\xc3\xa7ois Jones",
                             "Jos\xc3\xa9 Garc\xc3\xad"
                             "a",
                             "=HYPERLINK(\"http://x\",\"y\")"};

// The console's folding as it is today (case and accents); the filter pays for it once per
// keystroke, the rows once per call.
QString fold(const QString& text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toCaseFolded();
}

struct FullHistory
{
    std::chrono::system_clock::time_point clock = std::chrono::system_clock::now();
    corvale::History history{[this] { return corvale::WallTime{clock, 3600}; }};
    HistoryModel model{history, &fold};
    HistoryFilterModel proxy{&fold};
    int serial = 0;

    FullHistory()
    {
        proxy.setSourceModel(&model);
        proxy.sort(HistoryModel::Ended, Qt::DescendingOrder);
        for (std::size_t i = 0; i < corvale::History::MaxEntries; ++i)
            addCall();
    }

    void addCall()
    {
        const int n = serial++;
        corvale::HistoryEntry entry;
        entry.fromNumber = "555" + std::to_string(n);
        entry.fromName = Names[static_cast<std::size_t>(n) % std::size(Names)];
        entry.toNumber = std::to_string(2000 + n % 900);
        entry.toName = "Desk";
        entry.pbx = n % 2 == 0 ? "hq" : "branch";
        entry.seconds = n % 7200;
        entry.cause = 16;
        entry.causeText = "Normal Clearing";
        if (n % 5 == 0) {
            entry.ending = corvale::Ending::Abandoned;
            entry.queue = "sales";
            entry.holdSeconds = n % 300;
            entry.position = n % 9 + 1;
        }
        clock += std::chrono::seconds(8); // 10,000 calls in about 22 hours
        history.add(entry);
    }
};

FullHistory& full()
{
    static FullHistory shared;
    return shared;
}

void BM_history_filter_keystroke(benchmark::State& state)
{
    FullHistory& h = full();
    h.proxy.setFilterText(QStringLiteral("mu"));
    bool longer = false;
    for (auto _ : state) {
        h.proxy.setFilterText(longer ? QStringLiteral("mull") : QStringLiteral("mul"));
        longer = !longer;
        benchmark::DoNotOptimize(h.proxy.rowCount());
    }
    h.proxy.setFilterText(QString());
}
BENCHMARK(BM_history_filter_keystroke)
    ->Name("history/filter_keystroke")
    ->Unit(benchmark::kMillisecond);

void BM_history_export(benchmark::State& state)
{
    FullHistory& h = full();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calls.csv"));
    QList<int> columns;
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        columns << column;
    for (auto _ : state) {
        const QString message = CsvExport::write(h.proxy, columns, path);
        if (!message.isEmpty())
            state.SkipWithError(message.toStdString().c_str());
    }
    state.counters["rows"] = h.proxy.rowCount();
    state.counters["bytes"] = static_cast<double>(QFileInfo(path).size());
}
BENCHMARK(BM_history_export)->Name("history/export_csv")->Unit(benchmark::kMillisecond);

// The history full: the oldest call leaves as the newest comes, shown sorted by end.
void BM_history_call_ended_when_full(benchmark::State& state)
{
    FullHistory& h = full();
    for (auto _ : state)
        h.addCall();
    state.counters["calls"] = static_cast<double>(h.history.size());
}
BENCHMARK(BM_history_call_ended_when_full)
    ->Name("history/call_ended_when_full")
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
