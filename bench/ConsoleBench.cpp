// The console's model with 10,000 conversations of two legs each (20,000 channels): a keystroke
// in the filter, a sort by duration, and a call ending while another starts.
#include "CallFilterModel.h"
#include "CallSources.h"
#include "CallTreeModel.h"
#include "Conversations.h"
#include "LiveCalls.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <memory>
#include <optional>
#include <random>
#include <string>

namespace {

constexpr int Conversations = 10000;

const char* const Names[] = {"Zo\xc3\xab M\xc3\xbcller",
                             "Carol Smith",
                             "Bj\xc3\xb6rn \xc3\x85ngstr\xc3\xb6m",
                             "Fran\xc3\xa7ois Jones",
                             "Jos\xc3\xa9 Garc\xc3\xad"
                             "a",
                             "Noah Wei\xc3\x9f"};

struct Console
{
    std::chrono::steady_clock::time_point clock = std::chrono::steady_clock::now();
    corvale::LiveCalls calls{std::locale::classic(), [this] { return clock; }};
    // Viewed: the console's own sources and filter; else the grouping alone.
    std::optional<CallSources> sources;
    std::optional<corvale::Conversations> alone;
    CallFilterModel proxy;
    int serial = 0;
    std::mt19937 random{3};

    explicit Console(bool view = true)
    {
        if (view) {
            sources.emplace();
            sources->add(0, calls, QStringLiteral("HQ"));
            proxy.setSourceModel(&sources->model());
            proxy.sort(CallTreeModel::Duration, Qt::DescendingOrder);
        } else {
            alone.emplace(calls);
        }
        calls.listingStarted();
        for (int i = 0; i < Conversations; ++i)
            addCall(true);
        calls.listingComplete(true);
        flush();
    }

    const corvale::Conversations& grouped() const
    {
        return sources ? *sources->conversations(0) : *alone;
    }
    void flush()
    {
        if (sources)
            sources->takeInNewCalls(0);
        else
            alone->flush();
    }

    void addCall(bool listed)
    {
        const std::string tag = std::to_string(serial++);
        const std::string caller = "PJSIP/555" + tag + "-" + tag;
        const std::string agent = "PJSIP/2" + std::to_string(serial % 900) + "-" + tag;
        const std::string seconds =
            std::to_string(std::uniform_int_distribution<>(0, 7200)(random));
        const char* name = Names[static_cast<std::size_t>(serial) % std::size(Names)];
        const std::string bridge = "B" + tag;
        const std::string linkedid = "L" + tag;
        const auto fields = [&](std::string_view number, std::string_view callerName,
                                std::string_view extension) {
            corvale::CallFields out;
            out.number = number;
            out.name = callerName;
            out.extension = extension;
            out.bridgeId = bridge;
            out.linkedid = linkedid;
            out.state = std::string_view("Up");
            return out;
        };
        // Uniqueids as a PBX numbers its channels: the caller's first.
        const std::string callerId = "1700000000." + std::to_string(2 * serial);
        const std::string agentId = "1700000000." + std::to_string(2 * serial + 1);
        if (listed) {
            calls.listedCall(caller, fields("555" + tag, name, "2001"), seconds, callerId);
            calls.listedCall(agent, fields("2001", "Desk", ""), seconds, agentId);
        } else {
            calls.appeared(caller, fields("555", name, ""), callerId);
            calls.appeared(agent, fields("2001", "", ""), agentId);
        }
    }
};

Console& console()
{
    static Console shared;
    return shared;
}

Console& groupingOnly()
{
    static Console shared(false);
    return shared;
}

void BM_console_filter_keystroke(benchmark::State& state)
{
    Console& c = console();
    c.proxy.setFilterText(QStringLiteral("mu")); // the rows' folded texts are made once
    bool longer = false;
    for (auto _ : state) {
        c.proxy.setFilterText(longer ? QStringLiteral("mull") : QStringLiteral("mul"));
        longer = !longer;
        benchmark::DoNotOptimize(c.proxy.rowCount());
    }
    c.proxy.setFilterText(QString());
}
BENCHMARK(BM_console_filter_keystroke)
    ->Name("console/filter_keystroke")
    ->Unit(benchmark::kMillisecond);

// The first keystroke after every row's text has changed (here the PBX's name): each row folded
// once.
void BM_console_filter_fold_all(benchmark::State& state)
{
    Console& c = console();
    bool other = false;
    for (auto _ : state) {
        c.sources->setName(0, other ? QStringLiteral("HQ") : QStringLiteral("Branch"));
        other = !other;
        c.proxy.setFilterText(other ? QStringLiteral("mul") : QStringLiteral("mull"));
        benchmark::DoNotOptimize(c.proxy.rowCount());
    }
    c.proxy.setFilterText(QString());
}
BENCHMARK(BM_console_filter_fold_all)
    ->Name("console/filter_fold_all")
    ->Unit(benchmark::kMillisecond);

void BM_console_sort_by_duration(benchmark::State& state)
{
    Console& c = console();
    for (auto _ : state) {
        state.PauseTiming();
        c.proxy.sort(CallTreeModel::From, Qt::AscendingOrder);
        state.ResumeTiming();
        c.proxy.sort(CallTreeModel::Duration, Qt::DescendingOrder);
        benchmark::DoNotOptimize(c.proxy.index(0, 0));
    }
}
BENCHMARK(BM_console_sort_by_duration)
    ->Name("console/sort_by_duration")
    ->Unit(benchmark::kMillisecond);

void replaceCall(Console& c)
{
    const std::size_t row =
        std::uniform_int_distribution<std::size_t>(0, c.calls.size() - 1)(c.random);
    const corvale::Conversation* call = c.grouped().conversationOf(c.calls.at(row).channel);
    std::vector<std::string> channels;
    for (const corvale::Leg* leg : call->legs)
        channels.push_back(leg->call->channel);
    for (const std::string& channel : channels)
        c.calls.hungUp(channel);
    c.addCall(false);
    c.flush();
}

// One call of two legs ends and another starts, grouped, shown sorted by duration: what the
// console does for four channel events of a busy PBX.
void BM_console_call_replaced(benchmark::State& state)
{
    Console& c = console();
    c.proxy.sort(CallTreeModel::Duration, Qt::DescendingOrder);
    for (auto _ : state)
        replaceCall(c);
    state.counters["conversations"] = static_cast<double>(c.grouped().size());
}
BENCHMARK(BM_console_call_replaced)->Name("console/call_replaced")->Unit(benchmark::kMicrosecond);

// The same, the grouping alone: its share of that cost.
void BM_console_call_replaced_grouping(benchmark::State& state)
{
    Console& c = groupingOnly();
    for (auto _ : state)
        replaceCall(c);
    state.counters["conversations"] = static_cast<double>(c.grouped().size());
}
BENCHMARK(BM_console_call_replaced_grouping)
    ->Name("console/call_replaced_grouping_only")
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
