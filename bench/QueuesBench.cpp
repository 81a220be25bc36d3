// The queues of a large call centre: a QueueStatus listing of 200 queues, 2,000 callers waiting
// and 1,000 members, framed, read and reconciled (the first after a login, and the periodic one
// with everything known); and callers joining and leaving, as a current PBX writes the events.
#include "LineFramer.h"
#include "LiveCalls.h"
#include "ManagerClient.h"
#include "QueueBlock.h"
#include "Queues.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::size_t QueueCount = 200;
constexpr std::size_t CallersPerQueue = 10;
constexpr std::size_t MembersPerQueue = 5;
constexpr std::size_t Chunk = 64 * 1024;

void appendf(std::string& out, const char* format, auto... values)
{
    char line[1024];
    const int n = std::snprintf(line, sizeof line, format, values...);
    out.append(line, static_cast<std::size_t>(n));
}

std::string callerChannel(std::size_t queue, std::size_t caller)
{
    char name[64];
    std::snprintf(name, sizeof name, "PJSIP/trunk-%03zu%05zx", queue, caller);
    return name;
}

// The answer and every record, field for field as the recordings show a current PBX's.
std::string queueStatus()
{
    std::string out = "Response: Success\r\nEventList: start\r\nMessage: Queue status will "
                      "follow\r\n\r\n";
    for (std::size_t q = 0; q < QueueCount; ++q) {
        appendf(out,
                "Event: QueueParams\r\nQueue: queue-%03zu\r\nMax: 0\r\nStrategy: rrmemory\r\n"
                "Calls: %zu\r\nHoldtime: 41\r\nTalkTime: 187\r\nCompleted: 312\r\n"
                "Abandoned: 17\r\nServiceLevel: 60\r\nServicelevelPerf: 87.5\r\n"
                "ServicelevelPerf2: 82.1\r\nWeight: 0\r\n\r\n",
                q, CallersPerQueue);
        for (std::size_t m = 0; m < MembersPerQueue; ++m)
            appendf(out,
                    "Event: QueueMember\r\nQueue: queue-%03zu\r\nName: Agent %03zu-%zu\r\n"
                    "Location: PJSIP/agent-%03zu%zu\r\nStateInterface: PJSIP/agent-%03zu%zu\r\n"
                    "Membership: static\r\nPenalty: 0\r\nCallsTaken: %zu\r\n"
                    "LastCall: 1796857100\r\nLastPause: 1796850000\r\nLoginTime: 1796840000\r\n"
                    "InCall: %d\r\nStatus: %d\r\nPaused: %d\r\nPausedReason: %s\r\n"
                    "Wrapuptime: 0\r\n\r\n",
                    q, q, m, q, m, q, m, 20 + m, m == 1 ? 1 : 0, m == 1 ? 2 : 1, m == 2 ? 1 : 0,
                    m == 2 ? "Lunch" : "");
        for (std::size_t c = 0; c < CallersPerQueue; ++c)
            appendf(out,
                    "Event: QueueEntry\r\nQueue: queue-%03zu\r\nPosition: %zu\r\nChannel: %s\r\n"
                    "Uniqueid: 1796857%03zu.%zu\r\nCallerIDNum: 55501%03zu%zu\r\n"
                    "CallerIDName: Caller %03zu-%zu\r\nConnectedLineNum: unknown\r\n"
                    "ConnectedLineName: unknown\r\nWait: %zu\r\nPriority: 0\r\n\r\n",
                    q, c + 1, callerChannel(q, c).c_str(), q, c, q, c, q, c, 120 - c * 10);
    }
    appendf(out, "Event: QueueStatusComplete\r\nEventList: Complete\r\nListItems: %zu\r\n\r\n",
            QueueCount * (1 + CallersPerQueue + MembersPerQueue));
    return out;
}

// The same as the client's own listing carries it: the ActionID ends the answer and every block.
std::string guardedQueueStatus(std::string_view id)
{
    const std::string plain = queueStatus();
    const std::string end = "\r\nActionID: " + std::string(id) + "\r\n\r\n";
    std::string out;
    out.reserve(plain.size() + plain.size() / 8);
    for (std::size_t at = 0, next; (next = plain.find("\r\n\r\n", at)) != std::string::npos;
         at = next + 4)
        out.append(plain, at, next - at).append(end);
    // A PBX with QueueSummary is asked for it too; this one refuses it.
    return out + "Response: Error\r\nActionID: S\r\nMessage: Permission denied\r\n\r\n";
}

// A caller's event with the channel block of a current PBX (names escaped).
void appendCallerEvent(std::string& out, const char* event, const std::string& channel,
                       std::size_t queue, std::size_t position, std::size_t count)
{
    appendf(out,
            "Event: %s\r\nPrivilege: agent,all\r\nChannel: %s\r\nChannelState: 6\r\n"
            "ChannelStateDesc: Up\r\nCallerIDNum: 5551234\r\nCallerIDName: Caller \\\"New\\\"\r\n"
            "ConnectedLineNum: <unknown>\r\nConnectedLineName: <unknown>\r\nLanguage: en\r\n"
            "AccountCode: \r\nContext: queue-callers\r\nExten: 5000\r\nPriority: 4\r\n"
            "Uniqueid: 1796859999.%s\r\nLinkedid: 1796859999.1\r\nQueue: queue-%03zu\r\n"
            "Position: %zu\r\nCount: %zu\r\n\r\n",
            event, channel.c_str(), channel.c_str() + 12, queue, position, count);
}

// The bytes as the client will take them: framed into lines, each block to the reader.
class Reader
{
public:
    explicit Reader(corvale::Queues& into)
        : queues(into)
    {}

    void feed(std::string_view bytes)
    {
        for (std::size_t at = 0; at < bytes.size(); at += Chunk)
            framer.feed(bytes.substr(at, Chunk), [this](std::string_view line) {
                this->line(line);
                return true;
            });
    }

private:
    void line(std::string_view text)
    {
        if (text.empty()) {
            if (block.isOpen())
                block.close(queues, true);
            else if (bListingAnswer)
                queues.listingStarted(corvale::QueueListing::Status);
            bListingAnswer = false;
            return;
        }
        const std::size_t colon = text.find(':');
        if (colon == std::string_view::npos)
            return;
        const std::string_view key = text.substr(0, colon);
        std::string_view value = text.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        if (!block.isOpen() && key == "Event")
            block.open(value);
        else if (block.isOpen())
            block.field(key, value);
        else if (key == "Message" && value == "Queue status will follow")
            bListingAnswer = true;
    }

    corvale::Queues& queues;
    corvale::LineFramer framer;
    corvale::QueueBlock block;
    bool bListingAnswer = false;
};

bool listedInFull(const corvale::Queues& queues)
{
    if (queues.size() != QueueCount)
        return false;
    for (std::size_t row = 0; row < queues.size(); ++row)
        if (queues.at(row).callers.size() != CallersPerQueue ||
            queues.at(row).members.size() != MembersPerQueue)
            return false;
    return true;
}

// The first listing after a login or a reconnect: every queue, caller and member is new.
void firstListing(benchmark::State& state)
{
    const std::string bytes = queueStatus();
    std::optional<corvale::Queues> queues;
    bool right = true;
    for (auto _ : state) {
        state.PauseTiming();
        queues.emplace();
        state.ResumeTiming();
        Reader reader(*queues);
        reader.feed(bytes);
        state.PauseTiming();
        right = right && listedInFull(*queues);
        state.ResumeTiming();
    }
    if (!right)
        state.SkipWithError("the listing did not give every queue, caller and member");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The periodic listing with everything already known: all reconciled, nothing removed.
void periodicListing(benchmark::State& state)
{
    const std::string bytes = queueStatus();
    corvale::Queues queues;
    Reader reader(queues);
    reader.feed(bytes);
    for (auto _ : state)
        reader.feed(bytes);
    if (!listedInFull(queues))
        state.SkipWithError("the listings did not reconcile to what they listed");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The periodic listing through the client: framed, each block vouched for by the listing guard,
// read by the queue side and reconciled.
class Window : public corvale::WindowOps
{
public:
    std::string userName() const override { return "admin"; }
    std::string password() const override { return {}; }
    std::size_t callCount() const override { return 0; }
    void addCall(std::string_view, const corvale::EntryParts&) override {}
    void showMessage(std::string_view) override {}
    void endProgram() override {}
    void send(std::string_view) override {}
};

void guardedListing(benchmark::State& state)
{
    const std::string bytes = guardedQueueStatus("L");
    Window window;
    corvale::LiveCalls calls;
    corvale::Queues queues;
    corvale::ManagerClient client(window);
    client.setListingIds([] { return std::string("L"); });
    client.followCalls(&calls);
    client.followQueues(&queues);
    client.dataArrival("Asterisk Call Manager/13.0.0\r\nResponse: Success\r\nMessage: "
                       "Authentication accepted\r\n\r\nResponse: Success\r\nActionID: L\r\n"
                       "Message: Channel status will follow\r\n\r\nEvent: StatusComplete\r\n"
                       "ActionID: L\r\n\r\n");
    for (auto _ : state) {
        client.sendQueueListing();
        for (std::size_t at = 0; at < bytes.size(); at += Chunk)
            client.dataArrival(std::string_view(bytes).substr(at, Chunk));
    }
    if (!listedInFull(queues) || client.queueClient().statusListings() != state.iterations())
        state.SkipWithError("the guarded listings did not give every queue, caller and member");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// Callers joining at the back of their queue and the first one leaving, round the queues, with
// the listing's 2,000 callers waiting.
void joinsAndLeaves(benchmark::State& state)
{
    constexpr std::size_t Rounds = 50; // of every queue: a join and a leave each
    std::string events;
    for (std::size_t round = 0; round < Rounds; ++round)
        for (std::size_t q = 0; q < QueueCount; ++q) {
            appendCallerEvent(events, "QueueCallerJoin", callerChannel(q, CallersPerQueue + round),
                              q, CallersPerQueue + 1, CallersPerQueue + 1);
            appendCallerEvent(events, "QueueCallerLeave", callerChannel(q, round), q, 1,
                              CallersPerQueue);
        }
    // And the reverse, so that each iteration ends with the callers it began with.
    std::string back;
    for (std::size_t round = Rounds; round-- > 0;)
        for (std::size_t q = QueueCount; q-- > 0;) {
            appendCallerEvent(back, "QueueCallerLeave", callerChannel(q, CallersPerQueue + round),
                              q, CallersPerQueue, CallersPerQueue);
            appendCallerEvent(back, "QueueCallerJoin", callerChannel(q, round), q, 1,
                              CallersPerQueue + 1);
        }
    corvale::Queues queues;
    Reader reader(queues);
    reader.feed(queueStatus());
    for (auto _ : state) {
        reader.feed(events);
        reader.feed(back);
    }
    if (!listedInFull(queues) || queues.at(7).callers.front()->channel != callerChannel(7, 0))
        state.SkipWithError("the callers are not those the events leave");
    const auto applied = static_cast<double>(state.iterations()) * 4 * Rounds * QueueCount;
    state.counters["events_per_s"] = benchmark::Counter(applied, benchmark::Counter::kIsRate);
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * (events.size() + back.size())));
}

} // namespace

BENCHMARK(firstListing)->Name("queues_listing/first/200x2000x1000")->Unit(benchmark::kMillisecond);
BENCHMARK(periodicListing)
    ->Name("queues_listing/periodic/200x2000x1000")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(guardedListing)
    ->Name("queues_listing/guarded/200x2000x1000")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(joinsAndLeaves)->Name("queues_events/join_leave/2000")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
