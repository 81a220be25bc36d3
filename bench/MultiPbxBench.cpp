// The operator console with several PBXs at once, offscreen, each a simulator over loopback and a
// Session of its own. Churn: five PBXs with 2,000 calls each, on each 100 calls starting and 100
// ending every second for 30 s; measured: the share of one core the console's process used, the
// longest time its event loop was kept busy, and how long after the churn each PBX's part of the
// tree equals that PBX's channels. Start: twenty PBXs with 500 calls each, all connected at once;
// measured: the time until every call of every PBX is in the tree.
#include "BenchSupport.h"
#include "CallTreeModel.h"
#include "ConsoleConnection.h"
#include "ConsoleWindow.h"
#include "Conversations.h"
#include "PbxSim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// CORVALE_PBXS_CHURN_SECONDS changes the churn's length.
const int ChurnSeconds = bench::environmentSeconds("CORVALE_PBXS_CHURN_SECONDS", 30);

using namespace bench;

// What the tree shows of each PBX: the channels of its conversations' legs, by key.
std::map<int, std::set<std::string>> treeChannels(const CallTreeModel& model)
{
    std::map<int, std::set<std::string>> out;
    for (int row = 0; row < model.rowCount(); ++row) {
        const corvale::Conversation* conversation = model.conversationAt(model.index(row, 0));
        std::set<std::string>& channels = out[model.sourceOf(*conversation)];
        for (const corvale::Leg* leg : conversation->legs)
            channels.insert(leg->call->channel);
    }
    return out;
}

// The PBXs, the console and a connection per PBX.
struct Console
{
    std::vector<std::unique_ptr<PbxSim>> sims;
    ConsoleWindow window;
    std::vector<std::unique_ptr<ConsoleConnection>> connections;

    QString start(int pbxs, int calls)
    {
        for (int i = 0; i < pbxs; ++i) {
            sims.push_back(
                std::make_unique<PbxSim>(QStringList{"--calls", QString::number(calls), "--dialect",
                                                     "modern", "--greeting-version", "13.0.0"},
                                         30000));
            if (sims.back()->port() == 0)
                return sims.back()->error();
        }
        window.show();
        return {};
    }
    void connectAll()
    {
        for (std::size_t i = 0; i < sims.size(); ++i) {
            const int key = static_cast<int>(i) + 1;
            connections.push_back(std::make_unique<ConsoleConnection>(
                window, key, QStringLiteral("PBX %1").arg(key)));
            ConnectionFields fields;
            fields.host = QStringLiteral("127.0.0.1");
            fields.port = QString::number(sims[i]->port());
            connections.back()->connectTo(fields, "");
        }
    }
    bool allListed(int calls) const
    {
        if (window.model()->rowCount() != calls * static_cast<int>(sims.size()))
            return false;
        for (const auto& connection : connections)
            if (connection->session()->state() != corvale::Session::State::Listed)
                return false;
        return true;
    }
};

void churn(benchmark::State& state)
{
    // CORVALE_PBXS_CHURN_SHAPE=PBXS,CALLS,PER_SECOND changes the shape, for comparisons.
    int Pbxs = 5;
    int Calls = 2000;
    int PerSecond = 100;
    if (const QStringList shape = qEnvironmentVariable("CORVALE_PBXS_CHURN_SHAPE").split(u',');
        shape.size() == 3) {
        Pbxs = shape[0].toInt();
        Calls = shape[1].toInt();
        PerSecond = shape[2].toInt();
    }
    Console console;
    if (const QString why = console.start(Pbxs, Calls); !why.isEmpty()) {
        state.SkipWithError(why.toLocal8Bit().constData());
        return;
    }
    console.connectAll();
    if (!waitFor([&] { return console.allListed(Calls); }, 60000, 5)) {
        state.SkipWithError("the PBXs' calls were not all listed");
        return;
    }
    QTemporaryDir dir;
    StallProbe probe;
    for (auto _ : state) {
        const double cpuBefore = cpuSeconds();
        QElapsedTimer elapsed;
        elapsed.start();
        for (const auto& sim : console.sims)
            if (sim->command(QStringLiteral("churn %1 %2").arg(PerSecond).arg(ChurnSeconds)) !=
                QStringLiteral("ok")) {
                state.SkipWithError("a simulator did not start its churn");
                return;
            }
        probe.start();
        runFor(ChurnSeconds * 1000);
        probe.stop();
        const double wall = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
        const double cpu = cpuSeconds() - cpuBefore;

        // Each PBX's channels once two looks 100 ms apart agree; the time until the tree shows
        // them counts from the churn's end, that wait included.
        QElapsedTimer converging;
        converging.start();
        std::map<int, std::set<std::string>> truth;
        for (int look = 0; look < 50; ++look) {
            std::map<int, std::set<std::string>> now;
            for (std::size_t i = 0; i < console.sims.size(); ++i)
                now[static_cast<int>(i) + 1] =
                    pbxChannels(*console.sims[i], dir.filePath(QStringLiteral("c%1").arg(i)));
            const bool still = now == truth;
            truth = std::move(now);
            if (still)
                break;
            runFor(100);
        }
        const bool equal =
            waitFor([&] { return treeChannels(*console.window.model()) == truth; }, 30000, 5);
        state.SetIterationTime(wall);
        state.counters["cpu_share"] = cpu / wall;
        state.counters["longest_stall_ms"] = probe.longestMs();
        state.counters["longest_stall_cpu_ms"] = probe.longestCpuMs();
        state.counters["converge_ms"] = static_cast<double>(converging.nsecsElapsed()) / 1e6;
        state.counters["rows"] = console.window.model()->rowCount();
        if (!equal)
            state.SkipWithError("the tree did not come to equal the PBXs' channels");
    }
}

void startMany(benchmark::State& state)
{
    constexpr int Pbxs = 20;
    constexpr int Calls = 500;
    for (auto _ : state) {
        Console console;
        if (const QString why = console.start(Pbxs, Calls); !why.isEmpty()) {
            state.SkipWithError(why.toLocal8Bit().constData());
            return;
        }
        QElapsedTimer elapsed;
        elapsed.start();
        console.connectAll();
        const bool listed = waitFor([&] { return console.allListed(Calls); }, 60000, 5);
        state.SetIterationTime(static_cast<double>(elapsed.nsecsElapsed()) / 1e9);
        if (!listed) {
            state.SkipWithError("the PBXs' calls were not all listed");
            return;
        }
        state.counters["rows"] = console.window.model()->rowCount();
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The console's settings stay out of the operator's.
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale-bench"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("console_pbxs/churn/5x2000", churn)
        ->UseManualTime()
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("console_pbxs/start/20x500", startMany)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
