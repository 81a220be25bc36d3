#include "Control.h"

#include "Causes.h"
#include "Forgeries.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace pbxsim {

namespace {

// Cuts the first blank-separated word off `rest`.
std::string_view word(std::string_view& rest)
{
    const std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find_first_of(" \t"), rest.size());
    const std::string_view first = rest.substr(0, end);
    rest.remove_prefix(end);
    return first;
}

// What is left of the line, without the blanks around it: a caller name may have spaces.
std::string_view remainder(std::string_view rest)
{
    const std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return {};
    const std::size_t end = rest.find_last_not_of(" \t\r");
    return rest.substr(start, end - start + 1);
}

bool readNumber(std::string_view text, std::uint32_t& value)
{
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Each command with its arguments: in capitals what must be given, in brackets what may be.
constexpr std::string_view Usages[] = {
    "start [CHANNEL [NUMBER [NAME...]]]",
    "hangup CHANNEL [CAUSE]",
    "callerid CHANNEL NUMBER [NAME...]",
    "exten CHANNEL EXTENSION",
    "rename CHANNEL NEWNAME",
    "masquerade ORIGINAL CLONE",
    "bridge CHANNEL CHANNEL",
    "unbridge CHANNEL",
    "churn PER-SECOND [SECONDS]",
    "join QUEUE [CHANNEL [NUMBER [NAME...]]]",
    "abandon CHANNEL",
    "answer CHANNEL [INTERFACE]",
    "pause INTERFACE [REASON...]",
    "unpause INTERFACE",
    "add-member QUEUE INTERFACE [NAME...]",
    "remove-member QUEUE INTERFACE",
    "queue-churn PER-SECOND [SECONDS]",
    "waiting",
    "forge CHANNEL VICTIM",
    "forge-shutdown CHANNEL",
    "forge-queue QUEUE CHANNEL VICTIM",
    "count",
    "dump FILE",
    "flooded",
    "queued",
    "restart SECONDS",
    "freeze SECONDS",
    "silent [on|off]",
    "help",
};
std::string commandList()
{
    std::string list;
    for (const std::string_view usage : Usages)
        list += (list.empty() ? "" : ", ") + std::string(usage);
    return list;
}

std::string result(bool done, std::string_view why = "no such channel")
{
    return done ? std::string("ok") : "error " + std::string(why);
}

std::string queueResult(QueueTable::Result outcome)
{
    switch (outcome) {
    case QueueTable::Result::Done:
        return "ok";
    case QueueTable::Result::NoSuchQueue:
        return "error no such queue";
    case QueueTable::Result::NoSuchCaller:
        return "error no such caller waiting";
    case QueueTable::Result::NoSuchMember:
        return "error no such member";
    case QueueTable::Result::MemberBusy:
        return "error the member is paused or on a call";
    case QueueTable::Result::NoMemberFree:
        return "error no member free to answer";
    case QueueTable::Result::Exists:
        return "error the member is there already";
    case QueueTable::Result::ChannelTaken:
        break;
    }
    return "error channel exists";
}

// A call a command names: the channel, then optionally the number and a name with spaces.
Call namedCall(std::string_view channel, std::string_view& rest, CallGenerator& generator,
               std::int64_t now)
{
    Call call;
    call.channel = channel;
    call.callerNum = word(rest);
    call.callerName = remainder(rest);
    call.extension = "600";
    call.context = "from-internal";
    call.uniqueid = generator.nextUniqueid(now);
    call.startedAt = now;
    return call;
}

} // namespace

Control::Control(CallTable& calls, CallGenerator& callGenerator, EventStyle eventStyle,
                 std::uint64_t seed)
    : table(calls)
    , generator(callGenerator)
    , style(eventStyle)
    , rngSeed(seed)
    , rng(seed ^ 0x5eed)
    , bridgeIds(seed ^ 0xb41d)
    , causeRng(seed ^ 0xca05e)
    , gentle(std::make_unique<Activity>(calls, nullptr, callGenerator, seed))
{}

Control::~Control() = default;

void Control::setQueues(QueueTable* queueTable)
{
    queues = queueTable;
    callers = queues == nullptr ? nullptr
                                : std::make_unique<QueueChurn>(table, *queues, generator, rngSeed);
    gentle = std::make_unique<Activity>(table, queues, generator, rngSeed);
}

void Control::tick(Clock::time_point now, std::int64_t unixNow)
{
    if (timing.active())
        churnStep(timing.due(now), unixNow);
    if (callers != nullptr && callers->timing().active())
        callers->step(callers->timing().due(now), unixNow);
    gentle->run(now, unixNow);
}

Control::Clock::time_point Control::nextDue() const
{
    Clock::time_point next = Clock::time_point::max();
    if (timing.active())
        next = std::min(next, timing.nextDue());
    if (callers != nullptr && callers->timing().active())
        next = std::min(next, callers->timing().nextDue());
    if (gentle->active())
        next = std::min(next, gentle->nextDue());
    return next;
}

void Control::churnStep(std::uint64_t count, std::int64_t now)
{
    for (std::uint64_t i = 0; i < count; ++i) {
        // A bridged call takes its peer with it: as many start as ended.
        const std::size_t before = table.size();
        const Call* call = table.pick(rng.next());
        for (int retry = 0; call != nullptr && !call->queue.empty() && retry < 8; ++retry)
            call = table.pick(rng.next());
        if (call != nullptr && !call->queue.empty())
            continue; // only the queues' channels came up: nothing ends, nothing starts
        if (call != nullptr)
            table.hangup(std::string(call->channel), false,
                         churnCauses.empty() ? -1
                                             : churnCauses[causeRng.below(churnCauses.size())]);
        const std::size_t ended = std::max<std::size_t>(before - table.size(), 1);
        if (bChurnPairs && ended == 2) {
            Call caller = generator.next(now, true);
            Call callee = generator.next(now, true);
            const std::string first = caller.channel;
            const std::string second = callee.channel;
            table.start(std::move(caller));
            table.start(std::move(callee));
            table.bridge(first, second, bridgeUuid(bridgeIds));
            continue;
        }
        for (std::size_t n = ended; n > 0; --n)
            table.start(generator.next(now, true));
    }
}

std::string Control::run(std::string_view line, std::int64_t now)
{
    std::string_view rest = line;
    const std::string_view command = word(rest);
    if (command.empty())
        return "error empty command; commands: " + commandList();
    const std::string_view* usage = nullptr;
    for (const std::string_view& known : Usages) {
        std::string_view name = known;
        if (word(name) == command)
            usage = &known;
    }
    if (usage == nullptr)
        return "error unknown command " + std::string(command) + "; commands: " + commandList();
    // Every argument in capitals without brackets must be there.
    std::size_t needed = 0;
    for (std::string_view u = *usage; !u.empty();) {
        const std::string_view part = word(u);
        needed += !part.empty() && part.front() != '[' && part != command ? 1 : 0;
    }
    std::size_t given = 0;
    for (std::string_view r = rest; !word(r).empty();)
        ++given;
    if (given < needed)
        return "error missing argument; usage: " + std::string(*usage);

    const std::string_view arguments = rest;
    if (command.substr(0, 5) == "forge")
        return forge(command, arguments, now);
    const std::string_view first = word(rest);
    if (command == "start") {
        Call call =
            first.empty() ? generator.next(now, true) : namedCall(first, rest, generator, now);
        std::string channel = call.channel;
        return table.start(std::move(call)) ? "ok " + channel
                                            : "error channel " + channel + " exists";
    }
    if (command == "help")
        return "ok " + commandList();
    if (command == "count")
        return "ok " + std::to_string(table.size());
    if (command == "flooded")
        return "ok " + std::to_string(nFlooded);
    if (command == "churn") {
        std::uint32_t perSecond = 0;
        std::uint32_t seconds = 0;
        const std::string_view duration = word(rest);
        if (!readNumber(first, perSecond) || (!duration.empty() && !readNumber(duration, seconds)))
            return "error churn needs calls per second and, if it is to end, seconds";
        timing.begin(perSecond, seconds, Churn::Clock::now());
        return "ok";
    }
    if (command == "hangup") {
        const std::string_view causeText = word(rest);
        const int cause = causeText.empty() ? -1 : readCause(causeText);
        if (!causeText.empty() && cause < 0)
            return "error a cause is 0 to 127, or normal, busy, noanswer or rejected";
        return result(table.hangup(first, false, cause));
    }
    for (const std::string_view queueCommandName :
         {"join", "abandon", "answer", "pause", "unpause", "add-member", "remove-member",
          "queue-churn", "waiting"}) {
        if (command == queueCommandName)
            return queueCommand(command, arguments, now);
    }
    if (command == "callerid") {
        const std::string_view number = word(rest);
        return result(table.setCallerId(first, std::string(number), std::string(remainder(rest))));
    }
    if (command == "dump")
        return dumpChannels(table, std::string(first)) ? "ok " + std::to_string(table.size())
                                                       : "error cannot write " + std::string(first);
    const std::string_view second = word(rest);
    if (command == "exten")
        return result(table.setExtension(first, std::string(second)));
    if (command == "rename")
        return result(table.rename(first, std::string(second)), "no such channel or name taken");
    if (command == "masquerade")
        return result(table.masquerade(first, second, style == EventStyle::Current),
                      "needs two different channels that are up");
    if (command == "bridge")
        return result(table.bridge(first, second, bridgeUuid(bridgeIds)),
                      "needs two different channels that are up and in no bridge");
    if (command == "unbridge")
        return result(table.unbridge(first), "no such channel in a bridge");

    // The rest act on the connections.
    if (transport == nullptr)
        return "error no connections here";
    if (command == "queued") {
        const Transport::QueueFigures figures = transport->queued();
        return "ok " + std::to_string(figures.now) + " " + std::to_string(figures.peak) + " " +
               std::to_string(figures.dropped);
    }
    if (command == "silent") {
        if (first != "on" && first != "off" && !first.empty())
            return "error usage: " + std::string(*usage);
        transport->setSilent(first != "off");
        return "ok";
    }
    std::uint32_t seconds = 0;
    if (!readNumber(first, seconds))
        return "error usage: " + std::string(*usage);
    if (command == "restart")
        transport->restart(seconds);
    else
        transport->freeze(seconds);
    return "ok";
}

std::string Control::queueCommand(std::string_view command, std::string_view rest, std::int64_t now)
{
    if (queues == nullptr)
        return "error no queues here";
    const std::string_view first = word(rest);
    if (command == "waiting")
        return "ok " + std::to_string(queues->waiting()) + " " + std::to_string(queues->answered());
    if (command == "join") {
        const std::string_view channel = word(rest);
        Call call =
            channel.empty() ? generator.next(now, true) : namedCall(channel, rest, generator, now);
        const std::string name = call.channel;
        const QueueTable::Result outcome = queues->join(first, std::move(call));
        return outcome == QueueTable::Result::Done ? "ok " + name : queueResult(outcome);
    }
    if (command == "abandon") {
        const Call* call = table.find(first);
        if (call == nullptr || queues->queueOf(*call) == nullptr)
            return queueResult(QueueTable::Result::NoSuchCaller);
        return result(table.hangup(first, false, Cause::Normal));
    }
    if (command == "answer")
        return queueResult(queues->answer(first, word(rest)));
    if (command == "pause" || command == "unpause")
        return result(queues->pause(first, {}, command == "pause", remainder(rest)),
                      "no such member in any queue");
    if (command == "queue-churn") {
        std::uint32_t perSecond = 0;
        std::uint32_t seconds = 0;
        const std::string_view duration = word(rest);
        if (!readNumber(first, perSecond) || (!duration.empty() && !readNumber(duration, seconds)))
            return "error queue-churn needs callers per second and, if it is to end, seconds";
        callers->timing().begin(perSecond, seconds, Churn::Clock::now());
        return "ok";
    }
    const std::string_view interface = word(rest);
    if (command == "add-member") {
        QueueMember member;
        member.interface = interface;
        member.name = remainder(rest);
        if (member.name.empty())
            member.name = interface;
        return queueResult(queues->addMember(first, std::move(member)));
    }
    return queueResult(queues->removeMember(first, interface));
}

std::string Control::forge(std::string_view command, std::string_view rest, std::int64_t now)
{
    const std::string_view first = word(rest);
    const std::string_view second = word(rest);
    Call call;
    if (command == "forge-queue") {
        // A waiting caller's name is raw in QueueStatus in every version.
        const Call* victim = table.find(word(rest));
        if (queues == nullptr || queues->find(first) == nullptr)
            return "error no such queue";
        if (victim == nullptr)
            return "error no such victim channel";
        call = forgingCall(Dialect::Legacy, std::string(second), "5550114", {},
                           forgedQueueEntry(style, first, *victim));
        call.uniqueid = generator.nextUniqueid(now);
        call.startedAt = now;
        const std::string name = call.channel;
        const QueueTable::Result outcome = queues->join(first, std::move(call));
        return outcome == QueueTable::Result::Done ? "ok " + name : queueResult(outcome);
    }
    if (command == "forge") {
        if (table.find(second) == nullptr)
            return "error no such victim channel";
        call = forgingCall(dialect, std::string(first), "5550112", "Connected Forger",
                           forgedStatusRecord(dialect, table.find(second)->channel));
    } else {
        call = forgingCall(dialect, std::string(first), "5550113", "Shutdown Forger",
                           forgedShutdown());
    }
    call.uniqueid = generator.nextUniqueid(now);
    call.startedAt = now;
    const std::string name = call.channel;
    return table.start(std::move(call)) ? "ok " + name : "error channel " + name + " exists";
}

bool dumpChannels(const CallTable& table, const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    for (const Call& call : table.calls()) {
        std::fwrite(call.channel.data(), 1, call.channel.size(), file);
        std::fputc('\n', file);
    }
    return std::fclose(file) == 0;
}

} // namespace pbxsim
