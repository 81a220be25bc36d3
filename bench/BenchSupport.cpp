#include "BenchSupport.h"

#include "LiveCalls.h"
#include "PbxSim.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace bench {

void StallProbe::start()
{
    clock.start();
    running = true;
    const bool log = qEnvironmentVariableIsSet("CORVALE_STALL_LOG");
    thread = std::thread([this, log] {
        while (running) {
            const qint64 sent = clock.nsecsElapsed();
            QMetaObject::invokeMethod(
                this,
                [this, sent, log] {
                    const qint64 late = clock.nsecsElapsed() - sent;
                    longest = std::max(longest, late);
                    if (log && late > 60'000'000)
                        std::fprintf(stderr, "stall %.0f ms at %.2f s\n",
                                     static_cast<double>(late) / 1e6,
                                     static_cast<double>(sent) / 1e9);
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

} // namespace bench
