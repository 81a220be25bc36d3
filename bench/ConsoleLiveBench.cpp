// The operator console, offscreen, following the simulator over loopback through its Session:
// 10,000 conversations of two bridged channels each (a current PBX, listed with
// CoreShowChannels), then 500 conversations ending and 500 starting every second for 30 seconds,
// each a bridged pair with its events. Measured: the share of one core the process used, the
// longest time the event loop was kept busy, its memory, and how long after the churn stops the
// tree holds exactly the PBX's conversations, each with its two legs.
#include "BenchSupport.h"
#include "CallTreeModel.h"
#include "ConsoleConnection.h"
#include "ConsoleWindow.h"
#include "PbxSim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int Conversations = 10000;
constexpr int ChurnPerSecond = 500; // conversations: each ends or starts two channels
// CORVALE_CONSOLE_CHURN_SECONDS shortens or lengthens the churn, for profiling.
const int ChurnSeconds = bench::environmentSeconds("CORVALE_CONSOLE_CHURN_SECONDS", 30);
constexpr int WaitLimitMs = 60000;

using namespace bench;

// A conversation as a set of channels; the whole tree or PBX as a set of those.
using Grouping = std::set<std::set<std::string>>;

// What the console's tree shows: each conversation row with the channels of its leg rows.
Grouping treeGrouping(const CallTreeModel& model)
{
    Grouping out;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex conversation = model.index(row, 0);
        std::set<std::string> legs;
        for (int leg = 0; leg < model.rowCount(conversation); ++leg)
            legs.insert(model.index(leg, 0, conversation)
                            .data(CallTreeModel::ChannelRole)
                            .toByteArray()
                            .toStdString());
        out.insert(std::move(legs));
    }
    return out;
}

// The PBX's conversations, from a CoreShowChannels listing of a connection of its own: the
// channels that share a BridgeId are one, a channel in no bridge is one alone. Read apart from
// the console, so that its grouping is checked against the PBX's and not against itself.
Grouping pbxGrouping(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    socket.write("Action: Login\r\nUsername: admin\r\nSecret: secret\r\nEvents: off\r\n\r\n"
                 "Action: CoreShowChannels\r\nActionID: truth\r\n\r\n");
    QByteArray bytes;
    const auto complete = [&] {
        bytes += socket.readAll();
        return bytes.contains("Event: CoreShowChannelsComplete\r\n") && bytes.endsWith("\r\n\r\n");
    };
    if (!waitFor(complete, 30000, 5))
        return {};
    std::map<std::string, std::set<std::string>> byBridge;
    Grouping out;
    std::string channel;
    std::string bridge;
    bool inEntry = false;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line == "Event: CoreShowChannel") {
            inEntry = true;
        } else if (inEntry && line.startsWith("Channel: ")) {
            channel = line.mid(9).toStdString();
        } else if (inEntry && line.startsWith("BridgeId: ")) {
            bridge = line.mid(10).toStdString();
        } else if (inEntry && line.isEmpty()) {
            if (bridge.empty())
                out.insert({channel});
            else
                byBridge[bridge].insert(channel);
            channel.clear();
            bridge.clear();
            inEntry = false;
        }
    }
    for (auto& [id, channels] : byBridge)
        out.insert(std::move(channels));
    return out;
}

std::size_t channelCount(const Grouping& grouping)
{
    std::size_t n = 0;
    for (const auto& conversation : grouping)
        n += conversation.size();
    return n;
}

void followTheChurn(benchmark::State& state)
{
    PbxSim sim({"--calls", QString::number(2 * Conversations), "--bridged",
                QString::number(Conversations), "--churn-pairs", "--dialect", "modern",
                "--greeting-version", "13.0.0", "--secret", "secret"},
               30000);
    if (sim.port() == 0) {
        state.SkipWithError(sim.error().toLocal8Bit().constData());
        return;
    }
    QTemporaryDir dir;

    ConsoleWindow window;
    QStringList failures;
    window.confirm = [](const QString&, bool&) { return false; };
    window.showFailure = [&](const QString& text) { failures << text; };
    ConsoleConnection connection(window, ConsoleConnection::DialogKey);
    ConnectionFields fields;
    fields.host = QStringLiteral("127.0.0.1");
    fields.port = QString::number(sim.port());
    connection.connectTo(fields, "secret");
    window.resize(1000, 700);
    window.show();
    CallTreeModel& model = *window.model();
    if (!waitFor(
            [&] {
                const corvale::Conversations* grouped =
                    window.sources().conversations(ConsoleConnection::DialogKey);
                return grouped != nullptr && grouped->legCount() == 2 * Conversations &&
                       model.rowCount() == Conversations;
            },
            WaitLimitMs)) {
        state.SkipWithError("the first listing did not arrive");
        return;
    }
    // The operator looks at the middle of the calls, sorted by duration (the window's own
    // order), with a call selected and opened there.
    QTreeView* tree = window.tree();
    const QModelIndex middle = tree->model()->index(Conversations / 2, 0);
    tree->scrollTo(middle, QAbstractItemView::PositionAtTop);
    tree->setCurrentIndex(middle);
    tree->expand(middle);

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
        const std::set<std::string> channels =
            settledChannels(sim, dir.filePath(QStringLiteral("channels.txt")));
        const Grouping truth = pbxGrouping(sim.port());
        const bool equal = waitFor([&] { return treeGrouping(model) == truth; }, 30000, 20);
        const double convergeMs = static_cast<double>(converging.nsecsElapsed()) / 1e6;
        state.SetIterationTime(figures.wallSeconds);

        if (truth.size() != static_cast<std::size_t>(Conversations) ||
            channelCount(truth) != channels.size())
            state.SkipWithError("the simulator's conversations could not be read");
        else if (!equal)
            state.SkipWithError("the tree did not come to equal the PBX's conversations");
        setCounters(state, figures, convergeMs);
        state.counters["conversations"] = model.rowCount();
    }
    if (!failures.isEmpty())
        state.SkipWithError(
            ("the console showed: " + failures.join(" / ")).toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The console reads and writes its settings; a benchmark keeps out of the operator's.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("org.example"));
    QCoreApplication::setApplicationName(QStringLiteral("corvale-console-bench"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RegisterBenchmark("console_live/modern/10000", followTheChurn)
        ->UseManualTime()
        ->Unit(benchmark::kSecond)
        ->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
