// The queues of a large call centre end to end: a Session that follows calls and queues, against
// the simulator with 200 queues, 2,000 callers waiting and 1,000 members beside 10,000 bridged
// conversations, while 100 callers join and 100 leave every second (some abandoning, some
// answered). Measured: the share of one core the process used, the longest time its event loop
// was kept busy, its memory once a second, and how long after the churn the session's queues
// hold as many waiting callers and members as the simulator.
#include "BenchSupport.h"
#include "LiveCalls.h"
#include "PbxSim.h"
#include "Queues.h"
#include "session/Session.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

using namespace bench;
using namespace std::chrono_literals;

// CORVALE_QUEUES_CHURN_SECONDS changes the churn's length.
const int ChurnSeconds = environmentSeconds("CORVALE_QUEUES_CHURN_SECONDS", 60);
constexpr int Queues = 200;
constexpr int Members = 1000;
constexpr int Waiting = 2000;
constexpr int Conversations = 10000;
constexpr int PerSecond = 100;

std::size_t waitingIn(const corvale::Queues& queues)
{
    std::size_t n = 0;
    for (std::size_t row = 0; row < queues.size(); ++row)
        n += queues.at(row).callers.size();
    return n;
}

std::size_t membersIn(const corvale::Queues& queues)
{
    std::size_t n = 0;
    for (std::size_t row = 0; row < queues.size(); ++row)
        n += queues.at(row).members.size();
    return n;
}

// The simulator's callers waiting, or -1.
long simWaiting(PbxSim& sim)
{
    const QStringList answer = sim.command(QStringLiteral("waiting")).split(u' ');
    return answer.size() >= 2 && answer[0] == u"ok" ? answer[1].toLong() : -1;
}

void queueChurn(benchmark::State& state)
{
    PbxSim sim({"--calls", QString::number(2 * Conversations), "--bridged",
                QString::number(Conversations), "--dialect", "modern", "--greeting-version",
                "13.0.0", "--queues", QString::number(Queues), "--members",
                QString::number(Members), "--waiting", QString::number(Waiting), "--secret",
                "secret"},
               60000);
    if (sim.port() == 0) {
        state.SkipWithError(sim.error().toLocal8Bit().constData());
        return;
    }
    corvale::Session session;
    corvale::SessionSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = sim.port();
    settings.live = settings.reconnect = settings.queues = settings.coreShowChannels = true;
    session.setSettings(settings);
    session.userName = [] { return std::string("admin"); };
    session.password = [] { return std::string("secret"); };
    session.open();
    if (!waitFor(
            [&] {
                return session.queuesCurrent() && session.liveCalls() != nullptr &&
                       session.liveCalls()->size() >= std::size_t{2 * Conversations};
            },
            60000, 5)) {
        state.SkipWithError("the calls and queues were not listed");
        return;
    }
    const corvale::Queues& queues = *session.queues();
    if (membersIn(queues) != std::size_t{Members}) {
        state.SkipWithError("the members were not all listed");
        return;
    }
    int reads = 0; // reads that changed the queues
    QObject::connect(&session, &corvale::Session::queuesChanged, [&reads] { ++reads; });
    for (auto _ : state) {
        reads = 0;
        ChurnFigures figures;
        if (!followChurn(sim, QStringLiteral("queue-churn %1 %2").arg(PerSecond).arg(ChurnSeconds),
                         ChurnSeconds, figures)) {
            state.SkipWithError("the simulator did not start its queue churn");
            return;
        }
        // The simulator's callers once two looks 100 ms apart agree, and the session's the same.
        QElapsedTimer converging;
        converging.start();
        long before = -2;
        bool right = false;
        while (!right && converging.elapsed() < 20000) {
            const long now = simWaiting(sim);
            right = now == before && now >= 0 && waitingIn(queues) == std::size_t(now) &&
                    membersIn(queues) == std::size_t{Members};
            before = now;
            if (!right)
                runFor(100);
        }
        if (!right) {
            state.SkipWithError("the session's queues never equalled the simulator's");
            return;
        }
        setCounters(state, figures, static_cast<double>(converging.elapsed()));
        state.counters["polled"] = session.queuesPolled() ? 1 : 0;
        state.counters["changing_reads"] = reads;
    }
}

} // namespace

BENCHMARK(queueChurn)->Name("queues_live/churn")->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
