// The cost of taking in a status listing, side by side on the same bytes: the memchr floor, the
// line framing alone in three chunk sizes, and the whole client down to the entries.
#include "LineFramer.h"
#include "Listing.h"
#include "ManagerClient.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <locale>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::int64_t Now = 1796751600;
constexpr std::uint64_t Seed = 20240601;
constexpr std::size_t ClientChunk = 64 * 1024; // what one read from the socket brings, at most

struct Listing
{
    std::string bytes;
    std::size_t lines = 0;
};

const char* dialectName(pbxsim::Dialect dialect)
{
    return dialect == pbxsim::Dialect::Legacy ? "legacy" : "modern";
}

// Made once per size and dialect, so every figure of a run measures the very same bytes.
const Listing& listing(std::size_t calls, pbxsim::Dialect dialect)
{
    static std::map<std::pair<std::size_t, pbxsim::Dialect>, Listing> made;
    auto [it, fresh] = made.try_emplace({calls, dialect});
    if (fresh) {
        it->second.bytes =
            pbxsim::statusAnswer(pbxsim::generateCalls(calls, Seed, Now), dialect, Now);
        corvale::LineFramer framer;
        framer.feed(it->second.bytes, [&](std::string_view) {
            ++it->second.lines;
            return true;
        });
    }
    return it->second;
}

void report(benchmark::State& state, const Listing& data, std::size_t calls)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.bytes.size()));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * calls));
    state.counters["bytes"] = static_cast<double>(data.bytes.size());
    state.counters["lines"] = static_cast<double>(data.lines);
}

// The floor: find every line end with memchr and do nothing else.
void memchrLines(benchmark::State& state, std::size_t calls, pbxsim::Dialect dialect)
{
    const Listing& data = listing(calls, dialect);
    for (auto _ : state) {
        const char* p = data.bytes.data();
        const char* const end = p + data.bytes.size();
        std::size_t lines = 0;
        while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
            ++lines;
            p = static_cast<const char*>(lf) + 1;
        }
        benchmark::DoNotOptimize(lines);
    }
    report(state, data, calls);
}

void framingOnly(benchmark::State& state, std::size_t calls, pbxsim::Dialect dialect,
                 std::size_t chunk)
{
    const Listing& data = listing(calls, dialect);
    const std::string_view bytes = data.bytes;
    std::size_t lines = 0;
    for (auto _ : state) {
        corvale::LineFramer framer;
        lines = 0;
        for (std::size_t pos = 0; pos < bytes.size(); pos += chunk) {
            framer.feed(bytes.substr(pos, chunk), [&](std::string_view line) {
                benchmark::DoNotOptimize(line.data());
                ++lines;
                return true;
            });
        }
    }
    if (lines != data.lines)
        state.SkipWithError("the framer found another number of lines");
    report(state, data, calls);
}

// Keeps the entries as the list would, and nothing more.
class VectorWindow : public corvale::WindowOps
{
public:
    std::vector<std::string> entries;

    std::string userName() const override { return "admin"; }
    std::string password() const override { return "secret"; }
    std::size_t callCount() const override { return entries.size(); }
    void addCall(std::string_view entry, const corvale::EntryParts&) override
    {
        entries.emplace_back(entry);
    }
    void showMessage(std::string_view) override {}
    void endProgram() override {}
    void send(std::string_view) override {}
};

const std::locale& userNumbers()
{
    // Grouped thousands and a locale lookup per number would both show here.
    static const std::locale numbers = [] {
        try {
            return std::locale("en_US.UTF-8");
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    return numbers;
}

void wholeClient(benchmark::State& state, std::size_t calls, pbxsim::Dialect dialect)
{
    const Listing& data = listing(calls, dialect);
    const std::string_view bytes = data.bytes;
    // The greeting tells the client which record layout to expect.
    const std::string_view greeting = dialect == pbxsim::Dialect::Legacy
                                          ? "Asterisk Call Manager/1.1\r\n"
                                          : "Asterisk Call Manager/13.0.0\r\n";
    std::size_t entries = 0;
    for (auto _ : state) {
        VectorWindow window;
        corvale::ManagerClient client(window, userNumbers());
        client.dataArrival(greeting);
        for (std::size_t pos = 0; pos < bytes.size(); pos += ClientChunk)
            client.dataArrival(bytes.substr(pos, ClientChunk));
        entries = window.entries.size();
        benchmark::DoNotOptimize(window.entries.data());
    }
    if (entries != calls)
        state.SkipWithError("the client made another number of entries than there are calls");
    report(state, data, calls);
}

void registerAll()
{
    for (const auto dialect : {pbxsim::Dialect::Legacy, pbxsim::Dialect::Modern}) {
        for (const std::size_t calls :
             {std::size_t{1000}, std::size_t{10000}, std::size_t{100000}}) {
            const std::string tail =
                std::string("/") + dialectName(dialect) + "/" + std::to_string(calls);
            const std::size_t whole = listing(calls, dialect).bytes.size();
            benchmark::RegisterBenchmark(("memchr" + tail).c_str(), memchrLines, calls, dialect)
                ->Unit(benchmark::kMicrosecond);
            for (const auto& [name, chunk] :
                 {std::pair<const char*, std::size_t>{"framing_1k", 1024},
                  {"framing_64k", 64 * 1024},
                  {"framing_whole", whole}})
                benchmark::RegisterBenchmark((name + tail).c_str(), framingOnly, calls, dialect,
                                             chunk)
                    ->Unit(benchmark::kMicrosecond);
            benchmark::RegisterBenchmark(("client" + tail).c_str(), wholeClient, calls, dialect)
                ->Unit(benchmark::kMicrosecond);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
