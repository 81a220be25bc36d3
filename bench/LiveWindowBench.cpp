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

void followChurn(benchmark::State& state, const char* dialect, const char* greeting)
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

    // Every 5 ms another thread hands the event loop a note of the time; how late the loop
    // reads it is how long it was kept busy. (A timer due every millisecond would cost the
    // process more than what is measured.)
    StallProbe probe;
    // Memory once a second. The baseline is taken at 20 s: by then the allocator has settled and
    // the first periodic listing (at 15 s) has come, whose buffers are kept for the next ones.
    std::vector<double> rss;
    QTimer sampler;
    sampler.setInterval(1000);
    QObject::connect(&sampler, &QTimer::timeout, [&] { rss.push_back(residentMiB()); });

    for (auto _ : state) {
        const double cpuBefore = cpuSeconds();
        QElapsedTimer elapsed;
        elapsed.start();
        if (sim.command(QStringLiteral("churn %1 %2").arg(ChurnPerSecond).arg(ChurnSeconds)) !=
            QStringLiteral("ok")) {
            state.SkipWithError("the simulator did not start its churn");
            break;
        }
        probe.start();
        sampler.start();
        runFor(ChurnSeconds * 1000);
        probe.stop();
        sampler.stop();
        const double churnWall = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds() - cpuBefore;

        // The churn's time is over; its last calls may still be on their way in the simulator.
        // Its channels are the truth once two looks 100 ms apart agree. The time until the list
        // equals them counts from the end of the churn, that wait included.
        QElapsedTimer converging;
        converging.start();
        std::set<std::string> truth =
            pbxChannels(sim, dir.filePath(QStringLiteral("channels.txt")));
        for (int look = 0; look < 50; ++look) {
            runFor(100);
            std::set<std::string> again =
                pbxChannels(sim, dir.filePath(QStringLiteral("channels.txt")));
            const bool still = again == truth;
            truth = std::move(again);
            if (still)
                break;
        }
        const bool equal =
            waitFor([&] { return channelsOf(window.liveList()->calls()) == truth; }, 30000);
        const double convergeMs = static_cast<double>(converging.nsecsElapsed()) / 1e6;
        state.SetIterationTime(churnWall);

        if (truth.size() != static_cast<std::size_t>(Calls))
            state.SkipWithError("the simulator's channels could not be read");
        else if (!equal)
            state.SkipWithError("the list did not come to equal the PBX's channels");
        state.counters["longest_stall_ms"] = probe.longestMs();
        state.counters["cpu_share"] = cpu / churnWall;
        state.counters["converge_ms"] = convergeMs;
        if (qEnvironmentVariableIsSet("CORVALE_LIVE_RSS_SERIES")) {
            for (const double mib : rss)
                std::fprintf(stderr, "%.1f ", mib);
            std::fprintf(stderr, "MiB\n");
        }
        if (rss.size() > 22) {
            state.counters["rss_10s_mib"] = rss[9];
            state.counters["rss_20s_mib"] = rss[19];
            state.counters["rss_end_mib"] = rss.back();
            state.counters["rss_max_mib"] = *std::max_element(rss.begin() + 19, rss.end());
        }
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
        benchmark::RegisterBenchmark(name, followChurn, dialect, greeting)
            ->UseManualTime()
            ->Unit(benchmark::kSecond)
            ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
