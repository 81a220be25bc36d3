// The real window in live mode with reconnection, offscreen, against the simulator with 10,000
// calls up: the simulator restarts (it closes every connection, refuses connections for a
// second, then takes them again), and the time is measured from its taking connections again
// until the window is logged in again and a new listing has made its list equal the simulator's
// calls. While it refuses, a hundred calls end and a hundred start, so that only the new listing
// can make the list right. The window retries on its own schedule (at once, then about 0.5 and
// 1 s later, ...), which the figure includes.
#include "BenchSupport.h"
#include "LiveCallList.h"
#include "LiveCalls.h"
#include "PbxSim.h"
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <set>
#include <string>

namespace {

constexpr int Calls = 10000;
constexpr int Changed = 100;
constexpr double RestartSeconds = 1.0;
constexpr int WaitLimitMs = 30000;

using namespace bench;

void reconnect(benchmark::State& state)
{
    PbxSim sim({"--calls", QString::number(Calls), "--dialect", "modern", "--greeting-version",
                "13.0.0", "--secret", "secret"},
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
    window.logLine = [](const QString&) {};
    window.setLive(true);
    window.setReconnect(true);
    window.show();
    window.findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText("127.0.0.1");
    window.findChild<QLineEdit*>(QStringLiteral("txtPort"))->setText(QString::number(sim.port()));
    window.findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText("secret");
    window.findChild<QPushButton*>(QStringLiteral("cmdConnect"))->click();
    corvale::Session& session = window.session();
    if (!waitFor([&] { return window.liveList()->calls().size() == Calls || !messages.isEmpty(); },
                 WaitLimitMs, 5) ||
        !messages.isEmpty()) {
        state.SkipWithError("the first listing did not arrive");
        return;
    }

    int attempts = 0;
    QObject::connect(&session, &corvale::Session::stateChanged, [&](corvale::Session::State s) {
        if (s == corvale::Session::State::Reconnecting)
            ++attempts;
    });
    int round = 0;
    double worst = 0;
    for (auto _ : state) {
        const std::uint64_t listings = window.liveList()->calls().completedListings();
        const std::set<std::string> before = channelsOf(window.liveList()->calls());
        QElapsedTimer elapsed;
        elapsed.start();
        if (!sim.command(QStringLiteral("restart 1")).startsWith(QStringLiteral("ok"))) {
            state.SkipWithError("the simulator did not restart");
            break;
        }
        // While it takes no connections, calls end and start: no event can tell the window.
        auto gone = before.begin();
        for (int i = 0; i < Changed; ++i, ++gone) {
            sim.command(QStringLiteral("start SIP/bench-%1-%2 555").arg(round).arg(i));
            sim.command(QStringLiteral("hangup ") + QString::fromStdString(*gone));
        }
        ++round;
        const std::set<std::string> truth =
            pbxChannels(sim, dir.filePath(QStringLiteral("channels.txt")));
        const bool equal = waitFor(
            [&] {
                return session.state() == corvale::Session::State::Listed &&
                       window.liveList()->calls().completedListings() > listings &&
                       !window.liveList()->calls().listingOpen() &&
                       channelsOf(window.liveList()->calls()) == truth;
            },
            WaitLimitMs, 5);
        // From the moment it takes connections again, a second after the restart.
        const double took = static_cast<double>(elapsed.nsecsElapsed()) / 1e9 - RestartSeconds;
        state.SetIterationTime(took);
        worst = std::max(worst, took);
        if (!equal) {
            state.SkipWithError("the list did not come to equal the simulator's calls");
            break;
        }
    }
    state.counters["reconnections"] = attempts;
    state.counters["worst_ms"] = worst * 1e3;
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
    benchmark::RegisterBenchmark("reconnect/modern/10000", reconnect)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(5);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
