// The real window in live mode, offscreen, following the simulator over loopback: 10,000 calls
// up, then 500 calls starting and 500 ending every second for 60 seconds. Measured: the longest
// time the event loop was kept busy, the share of one core the process used, its memory over the
// minute, and how long after the churn stops the list equals the PBX's channels.
#include "BenchSupport.h"
#include "LiveCallList.h"
#include "PbxSim.h"
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

namespace {

constexpr int Calls = 10000;
constexpr int ChurnPerSecond = 500;
// CORVALE_LIVE_CHURN_SECONDS shortens the churn, for profiling.
const int ChurnSeconds = bench::environmentSeconds("CORVALE_LIVE_CHURN_SECONDS", 60);
constexpr int WaitLimitMs = 60000;

using namespace bench;

void followTheChurn(benchmark::State& state, const char* dialect, const char* greeting)
{
    PbxSim sim({"--calls", QString::number(Calls), "--dialect", dialect, "--greeting-version",
                greeting, "--secret", "secret"},
               30000);
    if (sim.port() == 0) {
        state.SkipWithError(sim.error().toLocal8Bit().constData());
        return;
    }
    QTemporaryDir dir;

    frmMain window;
    QStringList messages;
    window.showMessageBox = [&](const QString& text) { messages << text; };
    window.exitApplication = [](int) {};
    window.setLive(true);
    window.show();
    auto* list = window.findChild<QListView*>(QStringLiteral("lstCalls"));
    window.findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText("127.0.0.1");
    window.findChild<QLineEdit*>(QStringLiteral("txtPort"))->setText(QString::number(sim.port()));
    window.findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText("secret");
    window.findChild<QPushButton*>(QStringLiteral("cmdConnect"))->click();
    if (!waitFor([&] { return list->model()->rowCount() == Calls || !messages.isEmpty(); },
                 WaitLimitMs) ||
        list->model()->rowCount() != Calls) {
        state.SkipWithError("the first listing did not arrive");
        return;
    }
    // The operator looks at the middle of the list, with a call selected there.
    const QModelIndex middle = list->model()->index(Calls / 2, 0);
    list->scrollTo(middle, QAbstractItemView::PositionAtTop);
    list->setCurrentIndex(middle);

    for (auto _ : state) {
        ChurnFigures figures;
        if (!followChurn(sim, ChurnPerSecond, ChurnSeconds, figures)) {
            state.SkipWithError("the simulator did not start its churn");
            break;
        }
        // The time until the view equals the PBX counts from the end of the churn, the wait for
        // the simulator to stand still included.
        QElapsedTimer converging;
        converging.start();
        const std::set<std::string> truth =
            settledChannels(sim, dir.filePath(QStringLiteral("channels.txt")));
        const bool equal =
            waitFor([&] { return channelsOf(window.liveList()->calls()) == truth; }, 30000);
        const double convergeMs = static_cast<double>(converging.nsecsElapsed()) / 1e6;
        state.SetIterationTime(figures.wallSeconds);

        if (truth.size() != static_cast<std::size_t>(Calls))
            state.SkipWithError("the simulator's channels could not be read");
        else if (!equal)
            state.SkipWithError("the list did not come to equal the PBX's channels");
        setCounters(state, figures, convergeMs);
        state.counters["rows"] = list->model()->rowCount();
    }
    if (!messages.isEmpty())
        state.SkipWithError(
            ("the window showed: " + messages.join(" / ")).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const auto& [name, dialect, greeting] :
         {std::tuple{"live_window/modern/10000", "modern", "13.0.0"},
          std::tuple{"live_window/legacy/10000", "legacy", "1.1"}})
        benchmark::RegisterBenchmark(name, followTheChurn, dialect, greeting)
            ->UseManualTime()
            ->Unit(benchmark::kSecond)
            ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
