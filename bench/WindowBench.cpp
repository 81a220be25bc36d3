// End to end: the real window, offscreen, logged in to the simulator over loopback; one
// iteration is one Refresh List, timed until the last of the calls is in lstCalls and painted.
#include "frmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <memory>
#include <sys/resource.h>

namespace {

constexpr int Calls = 10000;
constexpr int WaitLimitMs = 60000;

// The simulator on a free loopback port, for as long as this lives.
class SimulatedPbx
{
public:
    bool start(const QString& dialect, const QString& greetingVersion, QString& error)
    {
        process.setProgram(QStringLiteral(CORVALE_PBXSIM_PATH));
        process.setArguments({"--host", "127.0.0.1", "--port", "0", "--calls",
                              QString::number(Calls), "--dialect", dialect, "--greeting-version",
                              greetingVersion, "--secret", "secret"});
        process.start();
        QElapsedTimer waited;
        waited.start();
        QByteArray said;
        while (waited.elapsed() < WaitLimitMs && process.waitForReadyRead(1000)) {
            said += process.readAllStandardOutput();
            const qsizetype at = said.indexOf("listening ");
            const qsizetype end = said.indexOf('\n', at);
            if (at >= 0 && end > at) {
                const QByteArray address = said.mid(at, end - at).trimmed();
                port = static_cast<quint16>(address.mid(address.lastIndexOf(':') + 1).toUInt());
                return port != 0;
            }
        }
        error = QStringLiteral("the simulator did not start: ") + QString::fromLocal8Bit(said) +
                QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    ~SimulatedPbx()
    {
        process.terminate();
        if (!process.waitForFinished(5000))
            process.kill();
    }

    quint16 port = 0;

private:
    QProcess process;
};

// Runs the event loop until `done` holds; false on running out of time.
template <class Done> bool waitFor(Done done)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > WaitLimitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

double peakMemoryMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

void refreshToLastEntry(benchmark::State& state, const char* dialect, const char* greeting)
{
    SimulatedPbx pbx;
    QString error;
    if (!pbx.start(QString::fromLatin1(dialect), QString::fromLatin1(greeting), error)) {
        state.SkipWithError(error.toLocal8Bit().constData());
        return;
    }

    auto window = std::make_unique<frmMain>();
    QStringList messages;
    window->showMessageBox = [&](const QString& text) { messages << text; };
    window->exitApplication = [](int) {};
    window->show();
    const auto* list = window->findChild<QListView*>(QStringLiteral("lstCalls"));
    const auto rows = [&] { return list->model()->rowCount(); };

    window->findChild<QLineEdit*>(QStringLiteral("txtHost"))->setText("127.0.0.1");
    window->findChild<QLineEdit*>(QStringLiteral("txtPort"))->setText(QString::number(pbx.port));
    window->findChild<QLineEdit*>(QStringLiteral("txtUsername"))->setText("admin");
    window->findChild<QLineEdit*>(QStringLiteral("txtPassword"))->setText("secret");
    window->findChild<QPushButton*>(QStringLiteral("cmdConnect"))->click();
    if (!waitFor([&] { return rows() == Calls || !messages.isEmpty(); }) || rows() != Calls) {
        state.SkipWithError(("the first listing did not arrive: " + messages.join(" / "))
                                .toLocal8Bit()
                                .constData());
        return;
    }
    auto* refresh = window->findChild<QPushButton*>(QStringLiteral("cmdReFetch"));

    // The window answers input only when its event loop runs: a timer due every millisecond
    // shows the longest time the loop was kept busy.
    QElapsedTimer sinceTick;
    qint64 longestStallMs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestStallMs = std::max(longestStallMs, sinceTick.restart()); });

    for (auto _ : state) {
        ticker.start();
        sinceTick.start();
        QElapsedTimer elapsed;
        elapsed.start();
        refresh->click();
        const bool arrived = waitFor([&] { return rows() == Calls; });
        // The rows are in; what the operator sees is the paint that follows.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        state.SetIterationTime(static_cast<double>(elapsed.nsecsElapsed()) / 1e9);
        ticker.stop();
        if (!arrived) {
            state.SkipWithError("a refreshed listing did not arrive");
            break;
        }
    }
    if (!messages.isEmpty())
        state.SkipWithError(
            ("the window showed: " + messages.join(" / ")).toLocal8Bit().constData());
    state.SetItemsProcessed(state.iterations() * Calls);
    state.counters["longest_stall_ms"] = static_cast<double>(longestStallMs);
    state.counters["peak_rss_mib"] = peakMemoryMiB();
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
    benchmark::RegisterBenchmark("window/legacy/10000", refreshToLastEntry, "legacy", "1.1")
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10);
    benchmark::RegisterBenchmark("window/modern/10000", refreshToLastEntry, "modern", "13.0.0")
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
