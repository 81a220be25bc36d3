#include "BenchSupport.h"

#include "LiveCalls.h"
#include "PbxSim.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace bench {

namespace {

// The processor time the calling thread has used, in nanoseconds.
qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace

void StallProbe::start()
{
    clock.start();
    lastCpu = threadCpuNs();
    running = true;
    const bool log = qEnvironmentVariableIsSet("CORVALE_STALL_LOG");
    thread = std::thread([this, log] {
        while (running) {
            const qint64 sent = clock.nsecsElapsed();
            QMetaObject::invokeMethod(
                this,
                [this, sent, log] {
                    const qint64 late = clock.nsecsElapsed() - sent;
                    const qint64 cpu = threadCpuNs();
                    const qint64 used = cpu - lastCpu;
                    lastCpu = cpu;
                    longest = std::max(longest, late);
                    longestCpu = std::max(longestCpu, used);
                    if (log && late > 60'000'000)
                        std::fprintf(stderr, "stall %.0f ms at %.2f s (%.1f ms of processor)\n",
                                     static_cast<double>(late) / 1e6,
                                     static_cast<double>(sent) / 1e9,
                                     static_cast<double>(used) / 1e6);
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
}

void StallProbe::stop()
{
    running = false;
    if (!thread.joinable())
        return;
    thread.join();
    QCoreApplication::processEvents(); // the notes still queued
}

bool waitFor(const std::function<bool()>& done, qint64 limitMs, int everyMs)
{
    if (done())
        return true;
    QElapsedTimer waited;
    waited.start();
    QEventLoop loop;
    QTimer check;
    check.setInterval(everyMs);
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || waited.elapsed() > limitMs)
            loop.quit();
    });
    check.start();
    loop.exec();
    return done();
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return 0;
    return fields[1].toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

int environmentSeconds(const char* name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

std::set<std::string> pbxChannels(PbxSim& sim, const QString& path)
{
    std::set<std::string> out;
    if (!sim.command(QStringLiteral("dump ") + path, 10000).startsWith(QStringLiteral("ok")))
        return out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty())
            out.insert(line.toStdString());
    return out;
}

std::set<std::string> channelsOf(const corvale::LiveCalls& calls)
{
    std::set<std::string> out;
    for (std::size_t row = 0; row < calls.size(); ++row)
        out.insert(calls.at(row).channel);
    return out;
}

std::set<std::string> settledChannels(PbxSim& sim, const QString& path)
{
    std::set<std::string> channels = pbxChannels(sim, path);
    for (int look = 0; look < 50; ++look) {
        runFor(100);
        std::set<std::string> again = pbxChannels(sim, path);
        const bool still = again == channels;
        channels = std::move(again);
        if (still)
            break;
    }
    return channels;
}

bool followChurn(PbxSim& sim, int perSecond, int seconds, ChurnFigures& out)
{
    return followChurn(sim, QStringLiteral("churn %1 %2").arg(perSecond).arg(seconds), seconds,
                       out);
}

bool followChurn(PbxSim& sim, const QString& command, int seconds, ChurnFigures& out)
{
    // Every 5 ms another thread hands the event loop a note of the time; how late the loop reads
    // it is how long it was kept busy. (A timer due every millisecond would cost the process more
    // than what is measured.)
    StallProbe probe;
    out.rss.clear();
    QTimer sampler;
    sampler.setInterval(1000);
    QObject::connect(&sampler, &QTimer::timeout, [&] { out.rss.push_back(residentMiB()); });

    const double cpuBefore = cpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    if (sim.command(command) != QStringLiteral("ok"))
        return false;
    probe.start();
    sampler.start();
    runFor(seconds * 1000);
    probe.stop();
    sampler.stop();
    out.wallSeconds = static_cast<double>(elapsed.nsecsElapsed()) / 1e9;
    out.cpuSeconds = cpuSeconds() - cpuBefore;
    out.longestStallMs = probe.longestMs();
    out.longestStallCpuMs = probe.longestCpuMs();
    return true;
}

void setCounters(benchmark::State& state, const ChurnFigures& figures, double convergeMs)
{
    state.counters["longest_stall_ms"] = figures.longestStallMs;
    state.counters["longest_stall_cpu_ms"] = figures.longestStallCpuMs;
    state.counters["cpu_share"] = figures.cpuSeconds / figures.wallSeconds;
    state.counters["converge_ms"] = convergeMs;
    const std::vector<double>& rss = figures.rss;
    if (qEnvironmentVariableIsSet("CORVALE_LIVE_RSS_SERIES")) {
        for (const double mib : rss)
            std::fprintf(stderr, "%.1f ", mib);
        std::fprintf(stderr, "MiB\n");
    }
    if (rss.size() >= 20) {
        state.counters["rss_10s_mib"] = rss[9];
        state.counters["rss_20s_mib"] = rss[19];
        state.counters["rss_end_mib"] = rss.back();
        state.counters["rss_max_mib"] = *std::max_element(rss.begin() + 19, rss.end());
    }
}

} // namespace bench
