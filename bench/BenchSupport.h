#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace benchmark {
class State;
}

class PbxSim;

namespace corvale {
class LiveCalls;
}

// What the end-to-end benchmarks share: the event loop, the process's own costs, and what the
// simulator and the live calls hold.
namespace bench {

// Posts a note of the time to the main thread's event loop every 5 ms from a thread of its own
// and keeps the longest delay before one was read, and the most processor time the main thread
// used between two notes: on a busy machine a stall is mostly the wait for a core, which the
// second figure leaves out. With CORVALE_STALL_LOG set, every stall over 60 ms is written to
// standard error with the time it began and that processor time.
class StallProbe : public QObject
{
public:
    ~StallProbe() override { stop(); }
    void start();
    void stop();
    double longestMs() const { return static_cast<double>(longest) / 1e6; }
    double longestCpuMs() const { return static_cast<double>(longestCpu) / 1e6; }

private:
    QElapsedTimer clock;
    std::atomic<bool> running{false};
    std::thread thread;
    qint64 longest = 0; // read and written on the main thread only
    qint64 longestCpu = 0;
    qint64 lastCpu = 0;
};

// Runs the event loop until `done` holds, looking every `everyMs`; false on running out of time.
// (processEvents with a time limit does not wait for events: looping on it would spin.)
bool waitFor(const std::function<bool()>& done, qint64 limitMs, int everyMs = 10);
// Runs the event loop for this long, and nothing else.
void runFor(int ms);

// The CPU time the process has used, user and system, in seconds.
double cpuSeconds();
double residentMiB();

// A whole number from the environment, or `fallback` when it is not set.
int environmentSeconds(const char* name, int fallback);

// The simulator's channels, as its `dump` command writes them to `path`.
std::set<std::string> pbxChannels(PbxSim& sim, const QString& path);
std::set<std::string> channelsOf(const corvale::LiveCalls& calls);
// The simulator's channels once two looks 100 ms apart agree: at the end of a churn its last
// calls may still be on their way.
std::set<std::string> settledChannels(PbxSim& sim, const QString& path);

// What the process did while the simulator churned.
struct ChurnFigures
{
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double longestStallMs = 0;
    double longestStallCpuMs = 0;
    std::vector<double> rss; // MiB, once a second
};
// Has the simulator start and stop `perSecond` calls a second for `seconds`, and runs the event
// loop meanwhile with a StallProbe and a memory sample a second. False when it would not churn.
bool followChurn(PbxSim& sim, int perSecond, int seconds, ChurnFigures& out);
// The same for any churn the simulator's `command` starts, to run for `seconds`.
bool followChurn(PbxSim& sim, const QString& command, int seconds, ChurnFigures& out);
// The figures as the benchmark's counters, with the time until the view was right. Memory is
// counted from 20 s: the first periodic listing, at 15 s, leaves buffers the later ones reuse.
void setCounters(benchmark::State& state, const ChurnFigures& figures, double convergeMs);

} // namespace bench
