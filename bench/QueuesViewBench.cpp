// The console's Queues tab over a large call centre: 200 queues, 2,000 callers waiting and 1,000
// members behind the filter, sorted by wait; the first listing taken in row by row, a caller
// joining and another leaving, the once-a-second tick, and a keystroke in the filter.
#include "QueueFilterModel.h"
#include "QueueTreeModel.h"
#include "Queues.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr std::size_t QueueCount = 200;
constexpr std::size_t CallersPerQueue = 10;
constexpr std::size_t MembersPerQueue = 5;

std::string named(const char* format, std::size_t a, std::size_t b = 0)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

struct Centre
{
    std::chrono::steady_clock::time_point clock = std::chrono::steady_clock::now();
    corvale::Queues queues{[this] { return clock; }};
    QueueTreeModel model;
    QueueFilterModel proxy;
    std::size_t nJoined = 0;

    explicit Centre(bool viewFirst)
    {
        proxy.setSourceModel(&model);
        proxy.sort(QueueTreeModel::Wait, Qt::DescendingOrder);
        if (viewFirst)
            model.addSource(0, queues, QStringLiteral("HQ"));
        list();
        if (!viewFirst)
            model.addSource(0, queues, QStringLiteral("HQ"));
    }

    void list()
    {
        queues.listingStarted(corvale::QueueListing::Status);
        for (std::size_t q = 0; q < QueueCount; ++q) {
            const std::string queue = named("queue-%03zu", q);
            corvale::QueueFields fields{queue};
            fields.completed = 312;
            fields.abandoned = 17;
            fields.serviceLevel = 60;
            fields.serviceLevelPerf = 87.5;
            queues.listedQueue(fields);
            for (std::size_t m = 0; m < MembersPerQueue; ++m) {
                const std::string name = named("Agent %03zu-%zu", q, m);
                const std::string interface = named("PJSIP/agent-%03zu%zu", q, m);
                corvale::MemberFields member{queue, interface};
                member.name = name;
                member.status = m == 1 ? 2 : 1;
                member.paused = m == 2;
                member.pausedReason = m == 2 ? "Lunch" : "";
                member.callsTaken = static_cast<std::uint32_t>(20 + m);
                queues.listedMember(member);
            }
            for (std::size_t c = 0; c < CallersPerQueue; ++c) {
                const std::string channel = named("PJSIP/trunk-%03zu%05zx", q, c);
                const std::string number = named("55501%03zu%zu", q, c);
                const std::string name = named("Caller %03zu-%zu", q, c);
                corvale::CallerFields caller{queue, channel};
                caller.number = number;
                caller.name = name;
                caller.position = static_cast<unsigned>(c + 1);
                caller.wait = static_cast<std::uint32_t>(120 - c * 10);
                queues.listedCaller(caller);
            }
        }
        queues.listingComplete(corvale::QueueListing::Status);
    }

    bool full() const
    {
        return model.rowCount() == static_cast<int>(QueueCount) &&
               proxy.rowCount(proxy.index(0, 0)) ==
                   static_cast<int>(CallersPerQueue + MembersPerQueue);
    }
};

// The first listing after a login, every row announced to the view and placed by the sort.
void BM_first_listing(benchmark::State& state)
{
    bool right = true;
    for (auto _ : state) {
        auto centre = std::make_unique<Centre>(true);
        right = right && centre->full();
        state.PauseTiming();
        centre.reset();
        state.ResumeTiming();
    }
    if (!right)
        state.SkipWithError("the view did not show the listing");
}
BENCHMARK(BM_first_listing)->Name("queues_view/first_listing")->Unit(benchmark::kMillisecond);

// A caller joins the end of one queue and the one at its front leaves: the churn's unit.
void BM_join_and_leave(benchmark::State& state)
{
    Centre centre(false);
    for (auto _ : state) {
        const std::size_t q = centre.nJoined % QueueCount;
        const std::string queue = named("queue-%03zu", q);
        const std::string channel = named("PJSIP/new-%zu", centre.nJoined++);
        corvale::CallerFields caller{queue, channel};
        caller.number = std::string_view("5551234");
        centre.queues.callerJoined(caller);
        const corvale::Queue& listed = *centre.queues.find(queue);
        const std::string first = listed.callers.front()->channel;
        centre.queues.callerLeft(queue, first, {});
    }
    if (!centre.full())
        state.SkipWithError("the queues lost their shape");
}
BENCHMARK(BM_join_and_leave)->Name("queues_view/join_and_leave")->Unit(benchmark::kMicrosecond);

// Once a second: the waits past their threshold marked, the rows in view redrawn.
void BM_tick(benchmark::State& state)
{
    Centre centre(false);
    QModelIndexList inView;
    for (int row = 0; row < 40; ++row)
        inView << centre.model.index(row, 0);
    for (auto _ : state) {
        centre.clock += std::chrono::seconds(1);
        benchmark::DoNotOptimize(centre.model.updateLongWaits());
        centre.model.tick(inView);
    }
}
BENCHMARK(BM_tick)->Name("queues_view/tick")->Unit(benchmark::kMicrosecond);

// A letter typed into the filter, and taken back.
void BM_filter_keystroke(benchmark::State& state)
{
    Centre centre(false);
    for (auto _ : state) {
        centre.proxy.setFilterText(QStringLiteral("agent 01"));
        benchmark::DoNotOptimize(centre.proxy.rowCount());
        centre.proxy.setFilterText(QString());
    }
}
BENCHMARK(BM_filter_keystroke)->Name("queues_view/filter_keystroke")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
