// The client in live mode with 10,000 calls up: call events applied (the churn of calls starting
// and ending, as a current PBX writes their events), a call ending at a random row of the set,
// the periodic full listing reconciled, and one entry made for the view.
#include "Listing.h"
#include "LiveCalls.h"
#include "ManagerClient.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t Calls = 10000;
constexpr std::size_t ChurnSteps = 2000; // calls that start, and as many that end, per iteration
constexpr std::int64_t Now = 1796751600;
constexpr std::uint64_t Seed = 20240601;
constexpr std::size_t Chunk = 64 * 1024;

class SilentWindow : public corvale::WindowOps
{
public:
    std::string userName() const override { return "admin"; }
    std::string password() const override { return "secret"; }
    std::size_t callCount() const override { return 0; }
    void addCall(std::string_view, const corvale::EntryParts&) override {}
    void showMessage(std::string_view) override {}
    void endProgram() override {}
    void send(std::string_view) override {}
};

// One event with the channel block of a current PBX, as the recordings show it.
void appendEvent(std::string& out, std::string_view event, std::string_view channel,
                 std::string_view number, std::string_view name, std::string_view extra = {})
{
    out += "Event: ";
    out += event;
    out += "\r\nPrivilege: call,all\r\nChannel: ";
    out += channel;
    out += "\r\nChannelState: 6\r\nChannelStateDesc: Up\r\nCallerIDNum: ";
    out += number;
    out += "\r\nCallerIDName: ";
    out += name;
    out += "\r\nConnectedLineNum: <unknown>\r\nConnectedLineName: <unknown>\r\nLanguage: en\r\n"
           "AccountCode: \r\nContext: from-internal\r\nExten: 600\r\nPriority: 1\r\n"
           "Uniqueid: 1796751600.1234\r\nLinkedid: 1796751600.1234\r\n";
    out += extra;
    out += "\r\n";
}

struct Workload
{
    std::string listing; // greeting, login answer and the listing of the calls up
    std::string churn;   // calls starting and ending, each with its events
    std::size_t events = 0;
};

const Workload& workload()
{
    static const Workload made = [] {
        Workload w;
        const auto calls = pbxsim::generateCalls(Calls, Seed, Now);
        w.listing = "Asterisk Call Manager/13.0.0\r\n"
                    "Response: Success\r\nMessage: Authentication accepted\r\n\r\n" +
                    pbxsim::statusAnswer(calls, pbxsim::Dialect::Modern, Now);
        std::vector<std::string> up;
        for (const auto& call : calls)
            up.push_back(call.channel);
        std::mt19937_64 random(Seed);
        char channel[64];
        for (std::size_t step = 0; step < ChurnSteps; ++step) {
            std::snprintf(channel, sizeof channel, "PJSIP/churn-%08zx", step);
            appendEvent(w.churn, "Newchannel", channel, "<unknown>", "<unknown>");
            appendEvent(w.churn, "NewCallerid", channel, "5551234", "Caller \\\"Churn\\\"",
                        "CID-CallingPres: 0 (Presentation Allowed, Not Screened)\r\n");
            appendEvent(w.churn, "Newstate", channel, "5551234", "Caller \\\"Churn\\\"");
            up.emplace_back(channel);
            // A call somewhere in the list ends.
            const std::size_t at =
                std::uniform_int_distribution<std::size_t>(0, up.size() - 2)(random);
            appendEvent(w.churn, "SoftHangupRequest", up[at], "2041", "Someone", "Cause: 16\r\n");
            appendEvent(w.churn, "Hangup", up[at], "2041", "Someone",
                        "Cause: 16\r\nCause-txt: Normal Clearing\r\n");
            up[at] = std::move(up.back());
            up.pop_back();
            w.events += 5;
        }
        return w;
    }();
    return made;
}

void feed(corvale::ManagerClient& client, std::string_view bytes)
{
    for (std::size_t at = 0; at < bytes.size(); at += Chunk)
        client.dataArrival(bytes.substr(at, Chunk));
}

// Events through the whole client (framing, reading, the set) with 10,000 calls up.
void liveChurn(benchmark::State& state)
{
    const Workload& w = workload();
    std::size_t size = 0;
    SilentWindow window;
    std::optional<corvale::LiveCalls> calls;
    std::optional<corvale::ManagerClient> client;
    for (auto _ : state) {
        // A fresh client with the calls listed, outside the measured time (the last one is
        // torn down here too).
        state.PauseTiming();
        client.reset();
        calls.emplace(std::locale::classic());
        client.emplace(window, std::locale::classic());
        client->followCalls(&*calls);
        feed(*client, w.listing);
        state.ResumeTiming();
        feed(*client, w.churn);
        size = calls->size();
    }
    if (size != Calls)
        state.SkipWithError("the churn left another number of calls than it began with");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(w.events));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(w.churn.size()));
    // Calls that start plus calls that end, per second of one core.
    state.counters["churn_calls_per_s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * 2 * ChurnSteps, benchmark::Counter::kIsRate);
}

// One call ends at a random row and another starts: the set alone.
void liveSetRemoveAndAdd(benchmark::State& state)
{
    corvale::LiveCalls calls(std::locale::classic());
    std::vector<std::string> up;
    for (std::size_t i = 0; i < Calls; ++i) {
        up.push_back("SIP/" + std::to_string(i));
        calls.appeared(up.back(), {});
    }
    std::mt19937_64 random(Seed);
    std::size_t next = Calls;
    for (auto _ : state) {
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, up.size() - 1)(random);
        calls.hungUp(up[at]);
        up[at] = "SIP/" + std::to_string(next++);
        calls.appeared(up[at], {});
    }
    if (calls.size() != Calls)
        state.SkipWithError("the set lost calls");
    state.SetItemsProcessed(state.iterations() * 2);
}

// The periodic listing with every call already known: all reconciled, none removed.
void liveListing(benchmark::State& state)
{
    const Workload& w = workload();
    SilentWindow window;
    corvale::LiveCalls calls(std::locale::classic());
    corvale::ManagerClient client(window, std::locale::classic());
    client.followCalls(&calls);
    feed(client, w.listing);
    const std::string again = w.listing.substr(w.listing.find("Response: Success\r\nEventList"));
    for (auto _ : state)
        feed(client, again);
    if (calls.size() != Calls ||
        calls.completedListings() != static_cast<std::uint64_t>(state.iterations()) + 1)
        state.SkipWithError("the listings did not reconcile to the calls listed");
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * Calls));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * again.size()));
}

// What the view asks for each visible row every second.
void liveEntry(benchmark::State& state)
{
    const Workload& w = workload();
    SilentWindow window;
    corvale::LiveCalls calls(std::locale("C"));
    corvale::ManagerClient client(window, std::locale::classic());
    client.followCalls(&calls);
    feed(client, w.listing);
    std::string text;
    std::size_t row = 0;
    const auto now = calls.now();
    for (auto _ : state) {
        text.clear();
        calls.appendEntry(row, now, text);
        benchmark::DoNotOptimize(text.data());
        row = (row + 7919) % Calls;
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(liveChurn)->Name("live_churn/modern/10000")->Unit(benchmark::kMillisecond);
BENCHMARK(liveSetRemoveAndAdd)->Name("live_set_remove_add/10000")->Unit(benchmark::kNanosecond);
BENCHMARK(liveListing)->Name("live_listing/modern/10000")->Unit(benchmark::kMillisecond);
BENCHMARK(liveEntry)->Name("live_entry/10000")->Unit(benchmark::kNanosecond);

} // namespace
